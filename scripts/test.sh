#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows
scripts/test-native.sh  # release, ASan+UBSan and TSan builds

# The Windows program, cross-built, then run under Wine on a virtual display.
cmake --preset windows
cmake --build --preset windows -j "$(nproc)"
tests/wine/run-e2e.sh
