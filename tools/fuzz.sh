#!/usr/bin/env bash
# Builds the picture fuzzer with clang and runs it.
#   tools/fuzz.sh [seconds]     default 60; any crash, leak or sanitizer report fails
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTIVRA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2
corpus=build-fuzz/corpus
mkdir -p "$corpus"
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-fuzz/tests/fuzz/make_fuzz_corpus build-fuzz/seed-corpus
build-fuzz/tests/fuzz/picture_fuzzer -max_total_time="$seconds" -rss_limit_mb=2560 \
  -max_len=65536 -timeout=20 -print_final_stats=1 -artifact_prefix=build-fuzz/ \
  "$corpus" build-fuzz/seed-corpus 2>&1 | grep -v '^#[0-9]' | tail -n 25
exit "${PIPESTATUS[0]}"
