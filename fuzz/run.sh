#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs each libFuzzer target from its seed corpus for SECONDS (default 60);
# the conversion's target also from the P3 reader's seeds.
# Any crash, leak, out-of-memory or time-out fails the run; the input that
# caused it is left in fuzz/findings/ to be fixed and added to fuzz/crashers/.
# Usage: fuzz/run.sh [SECONDS] (after: cmake --preset fuzz && cmake --build --preset fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz/fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz/findings
status=0
for target in ppma_read_fuzzer bmp_read_fuzzer bmp_print_fuzzer travorn_fuzzer; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/$target/* "$work/$target/"
  seeds=("$work/$target")
  if [ "$target" = travorn_fuzzer ]; then
    seeds+=(fuzz/corpus/ppma_read_fuzzer)
  elif [ "$target" != ppma_read_fuzzer ] && [ -d ../shared/corpus/bmpsuite ]; then
    seeds+=(../shared/corpus/bmpsuite/g ../shared/corpus/bmpsuite/q ../shared/corpus/bmpsuite/b)
  fi
  echo "== $target: ${seconds}s"
  if ! timeout $((seconds + 120)) "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=5 \
      -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix=fuzz/findings/ \
      "${seeds[@]}" > "$work/$target.log" 2>&1; then
    status=1
    tail -n 60 "$work/$target.log"
  fi
  # A target that ran no input has checked nothing.
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/$target.log" || true
  if ! grep -qE '^stat::number_of_executed_units: *[1-9]' "$work/$target.log"; then
    echo "$target ran no input"
    status=1
  fi
done
exit $status
