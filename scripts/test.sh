#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
timeout 600 tests/x11/run-x11.sh --build build    # the Linux show on a virtual display

# The Windows program, cross-built, then run under Wine on a virtual display.
cmake --preset windows
cmake --build --preset windows -j "$(nproc)"
tests/wine/run-e2e.sh
