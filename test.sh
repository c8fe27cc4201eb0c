#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build
cmake --build build
ctest --test-dir build --output-on-failure --parallel 2
