#!/usr/bin/env bash
# Installs what is missing, builds, and starts Velmora PC.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build
cmake --build build --target velmora-pc
exec ./build/velmora-pc
