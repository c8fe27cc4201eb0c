#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a
# plain build (build/) and once built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), where any report fails the run.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh build
cmake --build build
ctest --test-dir build --output-on-failure --parallel 2

scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCHMARKS=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure --parallel 2
