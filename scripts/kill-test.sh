#!/usr/bin/env bash
# The kill test at full length: Tolvane's server installation on a fresh PC killed with
# SIGKILL at 200 points spread over the run (or POINTS), each PC restarted, checked and
# repaired. Prints the counts: kill points, corruptions, leftovers, failed recoveries.
# WI_BUILD_DIR chooses another build (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_BUILD_DIR:-build}
points=${1:-200}
cmake --build "$build" -j3 --target test_system_recovery >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
WI_KILL_POINTS=$points "$build/tests/test_system_recovery" --gtest_filter='KillTest.*' --gtest_brief=1 |
  grep -v '^Running main'
