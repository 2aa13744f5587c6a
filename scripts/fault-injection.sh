#!/bin/sh
# The full reliability run: 300 kill trials and 100 full-disk trials per command, the read-only
# trials, every tag operation over the generated broken mp3 files and ../shared/corpus/mp3
# under AddressSanitizer, and 60 kill and 30 full-disk trials per tag-writing command on a tree
# of mp3 files, and the write journal's trials (20 kills on ntfs-3g, 10 on ext4 through a loop
# device, 20 rounds of two writers; the mounts need root). Figures go to stdout and to $OUT (JSON).
set -eu
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-reliability}
ASAN_BUILD=${ASAN_BUILD:-build-rel-asan}
KILL_TRIALS=${KILL_TRIALS:-300}
FSIZE_TRIALS=${FSIZE_TRIALS:-100}
TAG_KILL_TRIALS=${TAG_KILL_TRIALS:-60}
TAG_FSIZE_TRIALS=${TAG_FSIZE_TRIALS:-30}
JOURNAL_TRIALS=${JOURNAL_TRIALS:-20}
OUT=${OUT:-$BUILD/reliability.json}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEX_BUILD_TESTS=OFF \
    -DTUNEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j2 --target tunex-cli
cmake -S . -B "$ASAN_BUILD" -G Ninja -DTUNEX_SANITIZE=ON -DTUNEX_BUILD_TESTS=OFF \
    -DTUNEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$ASAN_BUILD" -j2 --target tunex-cli

exec /usr/bin/python3 tests/reliability/reliability.py \
    --cli "$BUILD/src/cli/tunex-cli" --tag-cli "$ASAN_BUILD/src/cli/tunex-cli" \
    --shipped-base data/base --corpus ../shared/corpus/mp3 \
    --kill-trials "$KILL_TRIALS" --fsize-trials "$FSIZE_TRIALS" \
    --tag-kill-trials "$TAG_KILL_TRIALS" --tag-fsize-trials "$TAG_FSIZE_TRIALS" \
    --journal-trials "$JOURNAL_TRIALS" --json "$OUT" "$@"
