#!/usr/bin/env bash
# Builds the programs; starts the show when an X display is usable, else renders the three
# home views at 1920 × 1080.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target orvane-render orvane
if [[ -n "${DISPLAY:-}" ]]; then
    echo "The show: Esc or a left click ends it; pictures go to the Orvane folder of your pictures folder."
    status=0
    build/shell/x11/orvane || status=$?
    # Status 1: the display cannot be opened after all.
    [[ $status -ne 1 ]] && exit "$status"
fi
mkdir -p out
for k in 0 1 2; do
    build/render/orvane-render --home "$k" -o "out/home$k.png"
done
echo "Pictures: $(pwd)/out/home0.png, home1.png, home2.png"
