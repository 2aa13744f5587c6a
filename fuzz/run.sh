#!/usr/bin/env bash
# Runs every fuzz target in turn for the given number of seconds (default 60) and prints, per
# target, the executions and the findings. Usage: fuzz/run.sh [seconds] [target...]
# Targets come from build-fuzz (FUZZ_BUILD overrides). The seed corpora in fuzz/corpus stay as
# they are; what a run learns goes to $FUZZ_BUILD/fuzz-work/<target>/, findings to .../findings/.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="${FUZZ_BUILD:-$here/../build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_settings fuzz_record_line fuzz_collection fuzz_friend_search fuzz_easy_tag_name
           fuzz_export fuzz_id3_tags fuzz_format_tags)
fi

# Each exec writes files and the tag writers fsync them; memory-backed scratch keeps that cheap.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

summary=()
status=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz: $binary is missing; build with make fuzz" >&2
    exit 1
  fi
  work="$build/fuzz-work/$target"
  mkdir -p "$work/corpus" "$work/findings"
  corpora=("$work/corpus" "$here/corpus/$target")
  max_len=4096
  if [ "$target" = fuzz_id3_tags ]; then
    max_len=20000
    # The shared corpus of real broken files, read only, where the checkout has it.
    [ -d "$here/../../shared/corpus/mp3" ] && corpora+=("$here/../../shared/corpus/mp3")
  fi
  dict=()
  [ -f "$here/$target.dict" ] && dict=(-dict="$here/$target.dict")
  before=$(find "$work/findings" -type f | wc -l)
  log="$work/last-run.log"
  echo "== $target: $seconds s"
  ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0}" UBSAN_OPTIONS="print_stacktrace=1" \
    "$binary" "${corpora[@]}" "${dict[@]}" -max_total_time="$seconds" -max_len="$max_len" \
    -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  after=$(find "$work/findings" -type f | wc -l)
  found=$((after - before))
  if [ "$rc" -ne 0 ] && [ "$found" -eq 0 ]; then
    found=1  # a failure that left no input behind still counts
  fi
  [ "$found" -gt 0 ] && status=1 && grep -m3 -E 'ERROR|check failed|runtime error' "$log"
  summary+=("$(printf '%-20s executions %10s   findings %s' "$target" "${execs:-?}" "$found")")
done

echo
echo "fuzz summary ($seconds s per target)"
printf '%s\n' "${summary[@]}"
exit "$status"
