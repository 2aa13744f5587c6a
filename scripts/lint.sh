#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over every tracked source in src/ (or the files
# named), the headers they include from src/ with them. Exits 1 on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-lint}
JOBS=${JOBS:-$(nproc)}

# Only the compile commands are needed; nothing is built. The tests and the benchmark are left
# out of the lint, so their targets are not configured.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DTUNEX_BUILD_TESTS=OFF -DTUNEX_BUILD_BENCH=OFF >/dev/null

if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files 'src/*.cpp')
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# One log a file, printed whole afterwards, so that parallel runs do not interleave their lines.
start=$SECONDS
printf '%s\0' "${files[@]}" | xargs -0 -P "$JOBS" -I{} sh -c '
    log="$2/$(printf %s "$1" | tr / _).log"
    if ! clang-tidy -p "$3" --quiet "$1" >"$log" 2>&1; then
        printf "%s\n" "$1" >>"$2/failed"
    fi' sh {} "$logs" "$BUILD"

# clang-tidy counts the warnings it suppressed in system headers; only findings are of interest.
for log in "$logs"/*.log; do
    grep -Ev '^[0-9]+ warnings?( and [0-9]+ errors?)? generated\.$' "$log" || true
done

elapsed=$((SECONDS - start))
if [ -s "$logs/failed" ]; then
    findings=$(cat "$logs"/*.log | grep -E '^[^ ].*: (warning|error): ' | sort -u | wc -l)
    echo "lint: $findings findings in $(wc -l <"$logs/failed") of ${#files[@]} files (${elapsed} s)"
    exit 1
fi
echo "lint: ${#files[@]} files clean (${elapsed} s)"
