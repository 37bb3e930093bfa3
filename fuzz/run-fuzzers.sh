#!/usr/bin/env bash
# Builds the fuzz targets with clang in a build folder of their own and runs
# each for a given time, starting from the committed seeds.
#
#   fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 60); TARGETs among camera, pattern, frame and
# xtra (default all). The build folder is build-fuzz (MARKEYE_FUZZ_BUILD
# overrides it); each target keeps its growing corpus in <build>/corpus/<target>,
# writes what it finds to <build>/artifacts/<target>/ and its log to
# <build>/fuzz-<target>.log. Exits non-zero when any target found a crash, a
# leak, a broken promise or a timeout.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(camera pattern frame xtra)
fi
build=${MARKEYE_FUZZ_BUILD:-build-fuzz}

# Longest input each target makes: a pattern file of 32 x 32 cells, raw
# pixels tiled over the frame, a long session of calls.
declare -A max_len=([camera]=1024 [pattern]=65536 [frame]=16384 [xtra]=4096)

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARKEYE_BUILD_FUZZERS=ON -DMARKEYE_BUILD_TESTS=OFF -DMARKEYE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target/
  log=$build/fuzz-$target.log
  mkdir -p "$corpus" "$artifacts"
  echo "== fuzz_$target for $seconds s"
  status=0
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" -len_control=0 \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$corpus" "fuzz/seeds/$target" >"$log" 2>&1 || status=$?
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    grep -E '(ERROR|SUMMARY|broke a promise|Test unit written)' "$log" || tail -n 20 "$log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "== fuzzing found problems in: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
echo "== fuzzing: ${#targets[@]} targets ran $seconds s each without findings"
