#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, when any is missing.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config libsqlite3-dev sqlite3 libfreetype-dev
      libpng-dev libx11-dev fonts-dejavu-core libgtest-dev libgmock-dev libbenchmark-dev
      libxtst-dev libxext-dev xvfb x11-utils xdotool openbox poppler-utils xclip clang
      libclang-rt-14-dev clang-format clang-tidy)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
