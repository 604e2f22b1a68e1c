#!/usr/bin/env bash
# Runs the fuzz targets on copies of their corpora (the kept corpus of fuzz/corpus/<kind>, the
# event writer's seeds and the regression inputs of tests/regressions) in a scratch directory, so
# that the tree is never touched, and prints runs, exec/s, edges and findings of each. Bounded
# runs (CI) take one target after the other. A campaign (--long) runs JOBS targets at a time and
# then merges what they found into fuzz/corpus, keeping the smallest inputs up to the bytes its
# kind may take in the repository. Fails on any finding and keeps the scratch directory then.
# Usage: fuzz/run_fuzzers.sh <fuzz-build-dir> <seconds-per-target> [--long [JOBS]]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: fuzz/run_fuzzers.sh <fuzz-build-dir> <seconds> [--long [jobs]]}
seconds=${2:-60}
long=${3:-}
jobs=${4:-3}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorlind-fuzz.XXXXXX")
declare -A keptBytes=([replay]=98304 [event]=131072 [plan]=98304)

"$build/fuzz/vorlind-fuzz-seeds" "$scratch/replay" "$scratch/event" >/dev/null
mkdir -p "$scratch/plan"
shopt -s nullglob
for kind in replay event plan; do
  for input in tests/regressions/$kind-* fuzz/corpus/$kind/*; do cp "$input" "$scratch/$kind/"; done
done

run() {
  "$build/fuzz/fuzz_$1" "$scratch/$1" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -dict=fuzz/replay.dict -print_final_stats=1 -artifact_prefix="$scratch/$1-" \
    >"$scratch/$1.log" 2>&1
}

status=0
for kind in replay event plan; do
  if [ "$long" = --long ]; then
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    run $kind &
  else
    run $kind || status=1
  fi
done
wait || true
for kind in replay event plan; do
  findings=("$scratch/$kind"-*)
  awk -v target=fuzz_$kind -v found=${#findings[@]} '
    /^#[0-9]+.*cov: / { for (i = 1; i < NF; ++i) if ($i == "cov:") edges = $(i + 1) }
    /^stat::number_of_executed_units/ { runs = $2 }
    /^stat::average_exec_per_sec/ { speed = $2 }
    END { printf "%s: %d runs, %d exec/s, %d edges, %d findings\n", target, runs, speed, edges,
          found }
  ' "$scratch/$kind.log"
  if [ ${#findings[@]} -gt 0 ] || ! grep -q '^stat::average_exec_per_sec' "$scratch/$kind.log"; then
    status=1
    tail -n 40 "$scratch/$kind.log"
  elif [ "$long" = --long ]; then
    mkdir -p "$scratch/merged-$kind" "fuzz/corpus/$kind"
    "$build/fuzz/fuzz_$kind" -merge=1 "$scratch/merged-$kind" "fuzz/corpus/$kind" "$scratch/$kind" \
      >"$scratch/merge-$kind.log" 2>&1
    find "$scratch/merged-$kind" -type f -printf '%s %p\n' | sort -n |
      awk -v budget="${keptBytes[$kind]}" '(total += $1) > budget { print $2 }' | xargs -r rm --
    rm -rf "fuzz/corpus/$kind" && mv "$scratch/merged-$kind" "fuzz/corpus/$kind"
    kept=(fuzz/corpus/$kind/*)
    echo "fuzz/corpus/$kind: ${#kept[@]} inputs, $(cat "${kept[@]}" /dev/null | wc -c) bytes"
  fi
done
if [ $status -ne 0 ]; then
  echo "a fuzz target found a fault; inputs and logs kept in $scratch" >&2
  exit 1
fi
rm -rf "$scratch"
