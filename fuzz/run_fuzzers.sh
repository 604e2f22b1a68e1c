#!/usr/bin/env bash
# Runs each fuzz target for a bounded time on its corpus: seeds written by the event writer plus
# the regression inputs of tests/regressions, copied into a scratch directory so that the
# source tree is never touched. Fails on any finding and keeps the scratch directory then.
# Usage: fuzz/run_fuzzers.sh <fuzz-build-dir> [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: fuzz/run_fuzzers.sh <fuzz-build-dir> [seconds-per-target]}
seconds=${2:-60}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorlind-fuzz.XXXXXX")

"$build/fuzz/vorlind-fuzz-seeds" "$scratch/replay" "$scratch/event"
shopt -s nullglob
for input in tests/regressions/replay-*; do cp "$input" "$scratch/replay/"; done
for input in tests/regressions/event-*; do cp "$input" "$scratch/event/"; done

status=0
for target in fuzz_replay fuzz_event; do
  corpus=$scratch/${target#fuzz_}
  echo "== $target: $seconds s on $(ls "$corpus" | wc -l) inputs"
  if ! "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -dict=fuzz/replay.dict -print_final_stats=1 \
      -artifact_prefix="$scratch/$target-" >"$scratch/$target.log" 2>&1; then
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
    "$scratch/$target.log" || true
  artifacts=("$scratch/$target"-*)
  if [ ${#artifacts[@]} -gt 0 ]; then status=1; fi
  if [ $status -ne 0 ]; then
    tail -n 60 "$scratch/$target.log"
    echo "$target found a fault; inputs and log kept in $scratch" >&2
    exit 1
  fi
done
rm -rf "$scratch"
