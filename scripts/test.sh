#!/usr/bin/env bash
# Sets up, builds and runs every test. --sanitize builds into build-asan with
# AddressSanitizer and UndefinedBehaviorSanitizer instead; --tsan builds the
# core and command line (Qt itself is not instrumented) into build-tsan with
# ThreadSanitizer, for the writer and spectrum threads.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DKORVEX_SANITIZE=ON -DKORVEX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo)
elif [ "${1:-}" = "--tsan" ]; then
  build=build-tsan
  flags=(-DKORVEX_SANITIZE_THREAD=ON -DKORVEX_BUILD_GUI=OFF -DKORVEX_BUILD_BENCH=OFF
         -DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

scripts/deps.sh
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2
