#!/usr/bin/env bash
# The kill test at full length: Tolvane's server installation on a fresh PC killed with
# SIGKILL at 200 points spread over the run (or POINTS), each PC restarted, checked and
# repaired. Prints the counts: kill points, corruptions, leftovers, failed recoveries.
#
#   scripts/kill-test.sh [--os xp|nt4] [POINTS]
#
# --os nt4: Tolvane's server installation and the wizard's run on a Windows NT 4.0 PC,
# which replace the PC's own run-time library, each killed before every file call of the
# placements that replace a file and before POINTS calls drawn at random; prints, for each
# program, the files found missing or half-replaced after the restart. XP is the default.
# WI_BUILD_DIR chooses another build (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_BUILD_DIR:-build}
os=xp
if [ "${1:-}" = "--os" ]; then
  os=${2:?"--os needs xp or nt4"}
  shift 2
fi
case "$os" in
  xp) filter='KillTest.*' ;;
  nt4) filter='Nt4KillTest.*' ;;
  *)
    echo "kill-test.sh: unknown --os $os (xp or nt4)" >&2
    exit 2
    ;;
esac
points=${1:-200}
cmake --build "$build" -j3 --target test_system_recovery >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
WI_KILL_POINTS=$points "$build/tests/test_system_recovery" --gtest_filter="$filter" --gtest_brief=1 |
  grep -v '^Running main'
