#!/usr/bin/env bash
# Prints the table of cumulative inputs per target for docs/robustness.md
# from the campaign record (fuzz/campaign-record.tsv): runs, seconds,
# inputs and findings summed, and the issue's goal (10 million inputs for
# the parser and decoder targets, 1 million for the others).
#
#   fuzz/campaign-table.sh [RECORD]
set -euo pipefail
cd "$(dirname "$0")/.."
record=${1:-fuzz/campaign-record.tsv}

awk -F '\t' '
  BEGIN {
    split("camera_file pattern_file board image video", parsers, " ")
    for (k in parsers) goal[parsers[k]] = 10000000
  }
  NR > 1 {
    if (!($2 in runs)) order[++count] = $2
    runs[$2]++; seconds[$2] += $3; inputs[$2] += $4; findings[$2] += $5
  }
  function grouped(n,   text) {
    text = sprintf("%d", n)
    while (text ~ /[0-9][0-9][0-9][0-9]/) sub(/[0-9][0-9][0-9]($| )/, " &", text)
    return text
  }
  END {
    for (k = 1; k <= count; k++) {
      t = order[k]
      target = t in goal ? goal[t] : 1000000
      printf "| `fuzz_%s` | %d | %s | %s | %d | %s (%.0f %%) |\n", t, runs[t], grouped(seconds[t]), grouped(inputs[t]),
             findings[t], grouped(target), 100 * inputs[t] / target
    }
  }' "$record"
