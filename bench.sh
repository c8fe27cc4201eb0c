#!/usr/bin/env bash
# Builds (optimised) and runs every benchmark of bench/. Each prints its
# figures and its ratio against a baseline measured in the same run.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-packages.sh packages-bench.txt
scripts/setup.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF
cmake --build build-bench
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# Photos made for the benchmarks are kept between runs in build-bench/bench-data
# (or $VELMORA_BENCH_DATA); the first run makes them.
for bench in build-bench/bench/velmora-bench-*; do
    [[ -f "$bench" && -x "$bench" ]] || continue
    echo "== ${bench##*/}"
    "$bench"
done
