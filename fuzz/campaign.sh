#!/usr/bin/env bash
# A fuzzing campaign: runs every target for a given time from the committed
# corpus, merges what it found into the committed, minimised corpus
# (fuzz/corpus/<target>/) and appends each run to the cumulative record
# fuzz/campaign-record.tsv (date, target, seconds, inputs, findings, peak
# memory, inputs per second, machine load), from which docs/robustness.md's
# table of cumulative inputs is made.
#
#   fuzz/campaign.sh SECONDS [TARGET...]
#
# One target at a time (each is one process on one core). The build folder
# is build-fuzz (MARKEYE_FUZZ_BUILD overrides it); findings go to
# <build>/artifacts/<target>/ and the logs to <build>/campaign-<target>.log.
# Exits non-zero when any target found something; the others still run.
set -euo pipefail
cd "$(dirname "$0")/.."
source fuzz/fuzz-settings.sh

if [ $# -lt 1 ]; then
  echo "usage: fuzz/campaign.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${MARKEYE_FUZZ_TARGETS[@]}")
fi
build=${MARKEYE_FUZZ_BUILD:-build-fuzz}
record=fuzz/campaign-record.tsv

markeye_fuzz_build "$build" "${targets[@]}"
mapfile -t targets < <(markeye_fuzz_built "$build" "${targets[@]}")
if [ ! -f "$record" ]; then
  printf 'date\ttarget\tseconds\tinputs\tfindings\tpeak_rss_mb\tinputs_per_s\tload\n' >"$record"
fi

failed=()
for target in "${targets[@]}"; do
  committed=fuzz/corpus/$target
  grown=$build/campaign/$target
  artifacts=$build/artifacts/$target/
  log=$build/campaign-$target.log
  rm -rf "$grown"
  mkdir -p "$committed" "$grown" "$artifacts"
  mapfile -t flags < <(markeye_fuzz_flags "$target")
  seeds=()
  if [ -d "fuzz/seeds/$target" ]; then
    seeds=("fuzz/seeds/$target")
  fi
  echo "== fuzz_$target for $seconds s"
  findings_before=$(find "$artifacts" -type f | wc -l)
  status=0
  started=$(date +%s)
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" "${flags[@]}" -artifact_prefix="$artifacts" \
    "$grown" "$committed" "${seeds[@]}" >"$log" 2>&1 || status=$?
  # A finding ends the run early: the record has the time it ran.
  ran=$(( $(date +%s) - started ))
  findings=$(( $(find "$artifacts" -type f | wc -l) - findings_before ))
  if [ "$status" -ne 0 ] && [ "$findings" -eq 0 ]; then
    findings=1
  fi
  inputs=$(markeye_fuzz_stat "$log" number_of_executed_units)
  rate=$(markeye_fuzz_stat "$log" average_exec_per_sec)
  rss=$(markeye_fuzz_stat "$log" peak_rss_mb)
  load=$(cut -d' ' -f1 /proc/loadavg)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$target" "$(( ran < seconds ? ran : seconds ))" "${inputs:-0}" \
    "$findings" "${rss:-0}" "${rate:-0}" "$load" >>"$record"
  echo "   ${inputs:-0} inputs, ${rate:-0}/s, ${rss:-0} MB, $findings findings"
  if [ "$status" -ne 0 ]; then
    grep -E '(ERROR|SUMMARY|broke a promise|Test unit written)' "$log" || tail -n 20 "$log"
    failed+=("$target")
  fi
  # The smallest set of inputs that keeps the coverage of the committed
  # corpus, the seeds and this run's, written back as the committed corpus.
  merged=$build/merged/$target
  rm -rf "$merged"
  mkdir -p "$merged"
  "$build/fuzz/fuzz_$target" -merge=1 "${flags[@]}" "$merged" "$committed" "$grown" "${seeds[@]}" \
    >>"$log" 2>&1 || true
  if [ -n "$(ls -A "$merged")" ]; then
    rm -rf "$committed"
    mv "$merged" "$committed"
  fi
  echo "   corpus: $(ls "$committed" | wc -l) files, $(du -sk "$committed" | cut -f1) kB"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "== campaign found problems in: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
echo "== campaign: ${#targets[@]} targets ran $seconds s each without findings"
