#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, with the sanitizers; only they and the
# libraries they need) and runs them all at once, each for WI_FUZZ_SECONDS (30) from its
# seeds in fuzz/seeds/<Name>. A crash, a leak, an escaped exception or an input slower than
# 10 s fails the run and shows that target's log; the corpus grown is thrown away.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${WI_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${WI_FUZZ_SECONDS:-30}
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DWI_FUZZ=ON -DWI_SANITIZE=ON -DWI_BENCH=OFF ${WI_FUZZ_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
declare -A pids
for seeds in fuzz/seeds/*/; do
  name=$(basename "$seeds")
  mkdir -p "$work/$name/corpus"
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$work/$name/" "$work/$name/corpus" "$seeds" >"$work/$name/log" 2>&1 &
  pids[$name]=$!
done
failed=0
for name in "${!pids[@]}"; do
  if wait "${pids[$name]}"; then
    echo "fuzz_$name: $(grep -o 'Done [0-9]* runs' "$work/$name/log" || echo done)"
  else
    echo "FAILED: fuzz_$name"
    tail -n 40 "$work/$name/log"
    failed=1
  fi
done
exit $failed
