#!/usr/bin/env bash
# Builds and runs every test. WI_BUILD_DIR and WI_CMAKE_ARGS choose another build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja ${WI_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
