#!/usr/bin/env bash
# Installs the Debian packages of packages.txt that are missing, then
# configures the build directory given as $1 (default: build) with any
# further CMake arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh packages.txt

build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
