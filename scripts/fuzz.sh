#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a
# given number of seconds, growing a corpus in build-fuzz/corpus/<target>.
# Crashes land in build-fuzz/artifacts/<target>/.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   SECONDS  time per target (default 60)
#   TARGET   flow_document_fuzzer, image_loading_fuzzer (default: both)
# Exit status: 0 when no target found anything, 1 otherwise.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if [ $# -gt 0 ]; then shift; fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(flow_document_fuzzer image_loading_fuzzer); fi
build=$root/build-fuzz

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DSTILLFLOW_FUZZ=ON -DSTILLFLOW_TESTS=OFF -DSTILLFLOW_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"
bash "$root/tests/fuzz/make_seeds.sh" "$build/seeds" >/dev/null

failed=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  inputs=("$corpus" "$build/seeds/$target")
  if [ -d "$root/tests/fuzz/regressions/$target" ]; then inputs+=("$root/tests/fuzz/regressions/$target"); fi
  echo "== $target: ${seconds}s"
  # Generous memory limits: the decoder may reserve what a header declares
  # before it finds the data missing, which is not a fault of its own.
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=30 \
      -malloc_limit_mb=4096 -rss_limit_mb=3072 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "${inputs[@]}" >"$build/$target.log" 2>&1; then
    echo "$target: nothing found, $(grep -m1 'stat::number_of_executed_units' "$build/$target.log" | awk '{print $2}') executions"
  else
    echo "$target: FOUND A FAULT, see $build/$target.log and $artifacts/"
    grep -E 'ERROR|runtime error|fuzzer:' "$build/$target.log" | head -5 || true
    failed=1
  fi
done
exit $failed
