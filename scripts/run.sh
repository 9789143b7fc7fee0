#!/usr/bin/env bash
# Builds the renderer and renders the three home views at 1920 × 1080.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target orvane-render
mkdir -p out
for k in 0 1 2; do
    build/tools/orvane-render --home "$k" -o "out/home$k.png"
done
echo "Pictures: $(pwd)/out/home0.png, home1.png, home2.png"
