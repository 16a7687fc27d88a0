#!/usr/bin/env bash
# Runs the whole test suite of a build made by scripts/setup.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build}
cd "$here"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
