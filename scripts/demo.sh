#!/usr/bin/env bash
# The demo: installs what is missing, builds, makes a fresh demo PC (demo/pc) with the
# sample media as its drive D: (demo/media), puts Tolvane beside the media's Files\ folder
# and runs it there: in a window when a display is present, otherwise headless with a
# script that installs the server and answers its dialogs. Then shows what the
# installation did to the PC. Running it again starts from a fresh PC.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

scripts/setup-deps.sh
echo "== building (Release, build/; log in build/demo-build.log)"
mkdir -p build
if ! { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build build -j"$(nproc)" --target Tolvane machine media; } >build/demo-build.log 2>&1; then
  tail -40 build/demo-build.log
  exit 1
fi

machine() { "$top/build/tools/machine/machine" "$@"; }
demo=$top/demo
rm -rf "$demo/pc" "$demo/media" "$demo/screenshots" "$demo/tolvane.script"
mkdir -p "$demo/screenshots"

echo "== a new PC: $demo/pc"
machine new "$demo/pc"
echo "== the installation media, drive D: of the PC: $demo/media"
"$top/build/tools/media/media" "$demo/media" --tolvane >/dev/null
ln -s "$demo/media" "$demo/pc/drives/d"
cp "$top/build/tolvane/Tolvane" "$demo/media/Tolvane"

export WINPC=$demo/pc
export WI_SNAPSHOT_DIR=$demo/screenshots
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ -z "${WI_HEADLESS:-}" ]; then
  echo "== D:\\Tolvane in a window: choose \"Installer le serveur et le client Firebird\", then OK"
  "$demo/media/Tolvane"
else
  echo "== D:\\Tolvane without a display: installing the server by script"
  cat >"$demo/tolvane.script" <<'SCRIPT'
# Install the server and its client, answer the completion message; should a library be
# in use, decline the restart for now.
check VcRadioButton2
click bOK
dialog information | L'installation du serveur Firebird est terminée! | ok
dialog confirmation | Voulez-vous redémarrer maintenant? | no
SCRIPT
  WI_HEADLESS=1 WI_UI_SCRIPT="$demo/tolvane.script" "$demo/media/Tolvane"
fi

echo
echo "== what Tolvane did to the PC (machine log $demo/pc)"
machine log "$demo/pc" | grep -v -i "beep" | grep -i "tolvane" || true
echo
echo "== services (machine services $demo/pc)"
machine services "$demo/pc" | grep -A4 "^Firebird" || machine services "$demo/pc"
echo
shots=$(find "$demo/screenshots" -name '*.png' | sort)
if [ -n "$shots" ]; then
  echo "== screenshots:"
  echo "$shots"
else
  echo "== no screenshots were written to $demo/screenshots"
fi
