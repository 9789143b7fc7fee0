#!/usr/bin/env bash
# The whole time of a 1920 × 1080 tour of ten pictures recorded as a video, against the same
# tour without one: wall time, processor time and peak memory of orvane-render.
#   bench/video_timing.sh [BUILD_DIR [FORMAT...]]     (default: build, mp4 webm mkv)
# The seed fixes the tour; no picture is saved. The lossless .mkv of ten pictures takes
# about 2.5 GB of disk while it is measured.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
formats=("${@:2}")
[[ ${#formats[@]} -eq 0 ]] && formats=(mp4 webm mkv)
renderer="$build/render/orvane-render"
[[ -x "$renderer" ]] || { echo "no $renderer: build first" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

tour=(--tour 10 --size 1920x1080 --seed 1 --no-save)

# One run of the renderer: its wall and processor seconds and its largest resident set.
measure() {
    python3 - "$renderer" "$@" <<'EOF'
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{wall:7.1f} s wall {usage.ru_utime + usage.ru_stime:7.1f} s processor"
      f" {usage.ru_maxrss // 1024:5d} MB peak", end="")
EOF
}

echo "orvane-render ${tour[*]} on $(nproc) processors"
printf '%-20s ' "no video"
measure "${tour[@]}"
echo
for format in "${formats[@]}"; do
    video="$scratch/tour.$format"
    printf '%-20s ' "--video tour.$format"
    measure "${tour[@]}" --video "$video"
    printf ' %6d MB file\n' "$(($(stat -c %s "$video") / 1000000))"
    rm -f "$video"
done
