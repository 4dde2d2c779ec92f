#!/usr/bin/env bash
# Builds the reader's fuzz target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz, and runs it for SECONDS
# (default 60) from a seed corpus of good and nearly good records.
# A difference between the read paths, a crash or a leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/deps.sh --fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKORVEX_FUZZ=ON -DKORVEX_BUILD_GUI=OFF \
  -DKORVEX_BUILD_TESTS=OFF -DKORVEX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 --target record_reader_fuzz

corpus=build-fuzz/corpus
mkdir -p "$corpus"
# Seeds: the first byte picks the settings, the rest is the record.
printf '\0time_s,value\n0,1\n0.001,2\n0.002,3\n' >"$corpus/csv"
printf '\1 1.5\n 2.5\n 3.5\n' >"$corpus/rate"
printf '\0%s\n' '0.000000000e+000 1.000000000e+000' '1.000000000e-003 2.500000000e+000' \
  '2.000000000e-003 -3.000000000e+000' >"$corpus/korvex"
printf '\2t;a;b\n0;1,5;2\n1;2,5;3\n2;3,5;4\n' >"$corpus/comma-mark"
printf '\3# ms\n0\t1\n1\t2\n2\t4\n' >"$corpus/ms"
build-fuzz/tests/fuzz/record_reader_fuzz -max_total_time="$seconds" -max_len=4096 \
  -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
