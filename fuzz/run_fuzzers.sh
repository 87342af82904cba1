#!/usr/bin/env bash
# Runs every fuzz target of build-fuzz/ (or those named) for SECONDS each, one per core at a time,
# from the seed corpora plus generated large seeds, with inputs up to MAX_LEN bytes. Findings land
# in build-fuzz/fuzz-runs/<target>/crashes/; the summary gives executions, coverage and findings.
set -uo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${SECONDS_EACH:-3600}
MAX_LEN=${MAX_LEN:-4194304}
JOBS=${JOBS:-$(nproc)}
TIMEOUT=${TIMEOUT:-60}
BIN=build-fuzz/bin
RUNS=build-fuzz/fuzz-runs
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_archive_directory fuzz_archive_extract fuzz_rtf_reader fuzz_decompress_block
  fuzz_line_list_load fuzz_object_data fuzz_search_text)

declare -A seeds=(
  [fuzz_archive_directory]=fuzz/archive/corpus_directory
  [fuzz_archive_extract]=fuzz/archive/corpus_extract
  [fuzz_rtf_reader]=fuzz/rtf/reader_corpus
  [fuzz_decompress_block]=fuzz/rtf/decompress_corpus
  [fuzz_line_list_load]=fuzz/richedit/corpus
  [fuzz_object_data]=fuzz/objects/corpus
  [fuzz_search_text]=fuzz/search/corpus
)
declare -A dicts=([fuzz_rtf_reader]=fuzz/rtf/rtf.dict [fuzz_line_list_load]=fuzz/rtf/rtf.dict)

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:abort_on_error=1}
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  local t=$1 dir=$RUNS/$1
  mkdir -p "$dir/corpus" "$dir/crashes"
  cp -n "${seeds[$t]}"/* "$dir/corpus/" 2>/dev/null
  python3 fuzz/make_large_seeds.py "$t" "$dir/corpus"
  local dict=() log
  [ -n "${dicts[$t]:-}" ] && dict=(-dict="${dicts[$t]}")
  # Each run keeps a log of its own, so runs spread over several sittings add up.
  log=$dir/log-$(date +%Y%m%d-%H%M%S).txt
  local cpu TIMEFORMAT='%U %S'
  # A timeout is 60 s by default (TIMEOUT; raise it when the fuzzers share the machine at a low
  # priority): the sanitizers make a run some five times slower, and a multi-megabyte input
  # that the program reads in a few seconds (20,000 members, 240,000 paragraphs) is no hang.
  # The time keyword gives the user and system seconds of the fuzzer and its forks.
  { time "$BIN/$t" "$dir/corpus" "${dict[@]}" -max_len="$MAX_LEN" -len_control=100 -max_total_time="$SECONDS_EACH" \
    -timeout="$TIMEOUT" -rss_limit_mb=2560 -malloc_limit_mb=2048 -print_final_stats=1 -fork=1 -ignore_crashes=1 \
    -ignore_timeouts=1 -ignore_ooms=1 -artifact_prefix="$dir/crashes/" >"$log" 2>&1; } 2>"$log.cpu"
  cpu=$(awk '{printf "%d", $1 + $2}' "$log.cpu")
  # In fork mode the last status line "#N: cov: C ft: F corp: K exec/s ..." holds the totals.
  local last execs cov
  last=$(grep -a -E '^#[0-9]+: cov:' "$log" | tail -1)
  execs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
  cov=$(grep -o -E 'cov: [0-9]+ ft: [0-9]+' <<<"$last")
  # Slow units are inputs that took over 10 s, kept for a look; crashes, timeouts, leaks and
  # running out of memory are the findings.
  printf '%s: %s executions, %s, %s CPU seconds, %s corpus files, %s findings, %s slow units\n' "$t" "$execs" \
    "$cov" "$cpu" "$(ls "$dir/corpus" | wc -l)" "$(ls "$dir/crashes" | grep -vc '^slow-unit-')" \
    "$(ls "$dir/crashes" | grep -c '^slow-unit-')" | tee -a "$dir/summary.txt"
}

running=0
for t in "${targets[@]}"; do
  [ -x "$BIN/$t" ] || { echo "$t: not built (make fuzz)"; continue; }
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then wait -n; running=$((running - 1)); fi
done
wait
