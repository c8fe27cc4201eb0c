#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: in a plain
# build (build/); built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), where any report fails the run; the Qt-free tests once more
# as a Windows build under Wine (build-win/), which must run exactly as many
# tests as the plain build's Qt-free set; and the whole program for Windows
# (Qt for mingw-w64 built once into a cache, build-win-app/ and its zip),
# started from the unpacked zip under Wine. VELMORA_SKIP_WINDOWS=1 leaves the
# Windows part out. Prints how long each step took, also when one fails.
set -euo pipefail
cd "$(dirname "$0")"

timings=()
# step NAME COMMAND...: runs COMMAND and notes its time under NAME.
step() {
    local name=$1 started=$SECONDS
    shift
    "$@"
    timings+=("$(printf '%6d s  %s' $((SECONDS - started)) "$name")")
}
report() {
    local status=$?
    echo "Where the time went:"
    printf '%s\n' "${timings[@]}"
    printf '%6d s  in all%s\n' "$SECONDS" "$( ((status == 0)) || echo ", failed after the last step above")"
}
trap report EXIT

step "native build" eval 'scripts/setup.sh build && cmake --build build'
step "native tests" ctest --test-dir build --output-on-failure --parallel 2

step "sanitizer build" eval 'scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCHMARKS=OFF && cmake --build build-asan'
step "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure --parallel 2

if [[ ${VELMORA_SKIP_WINDOWS:-} == 1 ]]; then
    echo "VELMORA_SKIP_WINDOWS=1: the Windows part is left out"
    exit 0
fi
step "Windows: dlib for mingw-w64 (cached)" scripts/windows-dlib.sh
step "Windows: Qt-free build and tests under Wine" scripts/test-windows.sh
native=$(ctest --test-dir build -N -L qt_free | sed -n 's/^Total Tests: //p')
windows=$(ctest --test-dir build-win -N -L qt_free | sed -n 's/^Total Tests: //p')
echo "Qt-free tests: $native natively, $windows under Wine"
[[ -n "$native" && "$native" == "$windows" ]]
step "Windows: Qt for mingw-w64 (cached)" scripts/windows-qt.sh
step "Windows: program, zip and setup program" scripts/package-windows.sh
step "Windows: the setup program and the program under Wine" scripts/smoke-windows.sh
