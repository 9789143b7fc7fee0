#!/usr/bin/env bash
# The whole time of one 1920 × 1080 picture from orvane-render, start-up and file included:
# a view outside the set, whose every sample escapes at once (what any picture costs besides
# its steps: loading, fonts, bands, caption, the file), home view 0, and the deep view. Each
# figure is the median of RUNS runs (default 15).
#   bench/picture_timing.sh [BUILD_DIR [RUNS]]     (default: build 15)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-15}"
renderer="$build/render/orvane-render"
[[ -x "$renderer" ]] || { echo "no $renderer: build first" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# The medians of RUNS runs of the renderer: wall and processor milliseconds.
measure() {
    python3 - "$runs" "$renderer" "$@" -o "$scratch/picture.bmp" <<'EOF_PY'
import resource, statistics, subprocess, sys, time
walls, processors = [], []
for _ in range(int(sys.argv[1])):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(sys.argv[2:], check=True, stdout=subprocess.DEVNULL)
    walls.append(time.monotonic() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    processors.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
print(f"{1000 * statistics.median(walls):8.1f} ms wall"
      f" {1000 * statistics.median(processors):8.1f} ms processor")
EOF_PY
}

echo "orvane-render --size 1920x1080 on $(nproc) processors, median of $runs runs"
printf '%-12s ' "outside" && measure --size 1920x1080 --view 100 100 1
printf '%-12s ' "home 0" && measure --size 1920x1080 --home 0
printf '%-12s ' "deep" && measure --size 1920x1080 --view -0.24974786780659766 0.74104255026363564 4.5e-12
