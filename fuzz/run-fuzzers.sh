#!/usr/bin/env bash
# Builds the fuzz targets with clang in a build folder of their own and runs
# each for a given time, starting from the committed corpus and seeds.
#
#   fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 15); TARGETs among those in fuzz-settings.sh
# (default all). The build folder is build-fuzz (MARKEYE_FUZZ_BUILD
# overrides it); each target keeps what it adds to the corpus in
# <build>/corpus/<target>, writes what it finds to <build>/artifacts/<target>/
# and its log to <build>/fuzz-<target>.log. Exits non-zero when any target
# found a crash, a leak, a broken promise or a timeout.
set -euo pipefail
cd "$(dirname "$0")/.."
source fuzz/fuzz-settings.sh

seconds=${1:-15}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${MARKEYE_FUZZ_TARGETS[@]}")
fi
build=${MARKEYE_FUZZ_BUILD:-build-fuzz}

markeye_fuzz_build "$build" "${targets[@]}"
mapfile -t targets < <(markeye_fuzz_built "$build" "${targets[@]}")

failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target/
  log=$build/fuzz-$target.log
  mkdir -p "$corpus" "$artifacts"
  echo "== fuzz_$target for $seconds s"
  mapfile -t flags < <(markeye_fuzz_flags "$target")
  sources=()
  for folder in "fuzz/corpus/$target" "fuzz/seeds/$target"; do
    if [ -d "$folder" ]; then
      sources+=("$folder")
    fi
  done
  status=0
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" "${flags[@]}" -artifact_prefix="$artifacts" \
    "$corpus" "${sources[@]}" >"$log" 2>&1 || status=$?
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
