#!/usr/bin/env bash
# A short fuzzing run of each reader of outside input (flow document,
# picture loading) under AddressSanitizer and UndefinedBehaviorSanitizer,
# starting from generated seeds and the committed regression inputs.
# Usage: fuzz_smoke_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build_dir=${1:?usage: fuzz_smoke_e2e.sh BUILD_DIR SOURCE_DIR}
source_dir=${2:?usage: fuzz_smoke_e2e.sh BUILD_DIR SOURCE_DIR}
seconds=${STILLFLOW_FUZZ_SMOKE_SECONDS:-15}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz smoke: skipped, clang++ not found"
  exit 0
fi

work=$build_dir/fuzz
mkdir -p "$work"
if ! { cmake -S "$source_dir/tests/fuzz" -B "$work" -DCMAKE_CXX_COMPILER=clang++ &&
       cmake --build "$work" -j2; } >"$work/build.log" 2>&1; then
  echo "fuzz smoke: building the fuzz targets failed"
  tail -20 "$work/build.log"
  exit 1
fi
rm -rf "$work/run"
bash "$source_dir/tests/fuzz/make_seeds.sh" "$work/run/seeds" >/dev/null

status=0
for target in flow_document_fuzzer image_loading_fuzzer; do
  corpus=$work/run/corpus/$target
  mkdir -p "$corpus" "$work/run/artifacts"
  inputs=("$corpus" "$work/run/seeds/$target")
  if [ -d "$source_dir/tests/fuzz/regressions/$target" ]; then
    inputs+=("$source_dir/tests/fuzz/regressions/$target")
  fi
  log=$work/run/$target.log
  if "$work/$target" -max_total_time="$seconds" -timeout=20 -malloc_limit_mb=4096 -rss_limit_mb=3072 \
      -print_final_stats=1 -artifact_prefix="$work/run/artifacts/$target-" "${inputs[@]}" >"$log" 2>&1; then
    echo "fuzz smoke: $target ok, $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') executions"
  else
    echo "fuzz smoke: $target FAILED (log: $log)"
    grep -E 'ERROR|runtime error|fuzzer:|Test unit written' "$log" | head -10 || true
    status=1
  fi
done
exit $status
