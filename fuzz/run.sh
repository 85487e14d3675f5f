#!/usr/bin/env bash
# Runs fuzz targets one after another, each for SECONDS (default 600), one job at a time at low priority.
# Usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET ...]   (BUILD_DIR configured with the "fuzz" preset's variables)
# Each target starts from its seeds in fuzz/corpus/<target>/ (the PNG targets also from the PngSuite folder
# when it exists) and grows a working corpus in BUILD_DIR/fuzz-work/<target>/; inputs that crash, leak, run
# out of memory or time land in BUILD_DIR/fuzz-work/<target>-findings/. The last status line of each run
# (executions, cov, ft) goes to BUILD_DIR/fuzz-work/summary.txt.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
seconds="${2:-600}"
shift $(( $# >= 2 ? 2 : $# ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/fuzz/targets/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
suite="${TILORA_CORPORA_DIR:-$root/../shared/corpora}"
work="$build/fuzz-work"
mkdir -p "$work"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
for t in "${targets[@]}"; do
  mkdir -p "$work/$t" "$work/$t-findings"
  seeds=("$root/fuzz/corpus/$t")
  [ -d "$root/tests/data/crashers/$t" ] && seeds+=("$root/tests/data/crashers/$t")
  if [[ "$t" == png_decoder || "$t" == save_png ]] && [ -d "$suite" ]; then seeds+=("$suite"); fi
  log="$work/$t.log"
  echo "== $t: $(date -u +%H:%M:%S), log $log"
  nice -n 10 "$build/fuzz/fuzz_$t" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
    -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -malloc_limit_mb=2600 \
    -artifact_prefix="$work/$t-findings/" "$work/$t" "${seeds[@]}" >"$log" 2>&1 || true
  last="$(grep -E 'cov: [0-9]+' "$log" | tail -n 1)"
  echo "$t: $last; findings: $(ls "$work/$t-findings" | wc -l)" | tee -a "$work/summary.txt"
done
