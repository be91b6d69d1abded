#!/usr/bin/env bash
# Builds and runs every test. WI_BUILD_DIR and WI_CMAKE_ARGS choose another build; WI_WHOLE=1
# runs each test program whole instead of case by case; WI_TEST_LABEL builds and runs one
# group of tests only (the target tests_<label>, ctest -L).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_BUILD_DIR:-build}
label=${WI_TEST_LABEL:-}
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja ${WI_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" ${label:+--target "tests_$label"}
if [ -n "${WI_WHOLE:-}" ]; then
  # Each test program run whole, as one process, several at once: a test that only passes
  # in a process of its own fails here. The log of a failed program is shown.
  find "$build/tests" -maxdepth 1 -name 'test_*' -type f -perm -u+x | sort |
    xargs -P"$(nproc)" -I{} sh -c '"$1" >"$1.log" 2>&1 || { echo "FAILED: $1"; tail -n 60 "$1.log"; exit 1; }' _ {}
  echo "every test program passed whole"
else
  ctest --test-dir "$build" -j"$(nproc)" --output-on-failure ${label:+-L "^$label\$"}
fi
