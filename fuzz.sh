#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# on its seed corpus in fuzz/corpus/<name>. New inputs found go to
# build-fuzz/corpus/<name>; a crash leaves its input in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-60}

scripts/setup.sh build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_FUZZERS=ON \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF -DVELMORA_BUILD_BENCHMARKS=OFF
targets=$(sed -n 's/^velmora_add_fuzzer(\([a-z_0-9]*\) .*/\1/p' fuzz/CMakeLists.txt)
cmake --build build-fuzz --target $targets

mkdir -p build-fuzz/findings
status=0
for target in $targets; do
    seeds=fuzz/corpus/${target#fuzz_}
    work=build-fuzz/corpus/${target#fuzz_}
    mkdir -p "$work" "$seeds"
    # fuzz/<target>.flags holds options of the target's own, one per line.
    flags=()
    [[ -f fuzz/$target.flags ]] && mapfile -t flags < <(grep -v '^#' fuzz/$target.flags)
    echo "== $target for ${seconds}s"
    if ! build-fuzz/fuzz/$target "$work" "$seeds" "${flags[@]}" -max_total_time="$seconds" \
            -artifact_prefix=build-fuzz/findings/$target- -print_final_stats=1 2>&1 \
            | grep -E "^(#[0-9]+ +DONE|==[0-9]+==ERROR|SUMMARY|stat::number_of_executed_units)"; then
        :
    fi
    if ls build-fuzz/findings/$target-* >/dev/null 2>&1; then
        echo "!! $target found inputs that fail: build-fuzz/findings/$target-*"
        status=1
    fi
done
exit $status
