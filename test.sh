#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: in a plain
# build (build/); built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), where any report fails the run; and the Qt-free tests once
# more as a Windows build under Wine (build-win/), which must run exactly as
# many tests as the plain build's Qt-free set.
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

scripts/test-windows.sh
native=$(ctest --test-dir build -N -L qt_free | sed -n 's/^Total Tests: //p')
windows=$(ctest --test-dir build-win -N -L qt_free | sed -n 's/^Total Tests: //p')
echo "Qt-free tests: $native natively, $windows under Wine"
[[ -n "$native" && "$native" == "$windows" ]]
