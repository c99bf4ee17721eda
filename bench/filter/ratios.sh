#!/usr/bin/env bash
# Runs the colour-conversion and text-layer benchmarks of the optimised build and prints the
# time per pixel of every version beside libswscale's on the same frames, as ratios.
#   bash bench/filter/ratios.sh            (after: bash scripts/build release)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin="$top/build/release/bench"
[[ -x "$bin/colour_bench" ]] || { echo "ratios.sh: build first with: bash scripts/build release" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$bin/colour_bench" --benchmark_format=json --benchmark_min_time=0.3 >"$tmp/colour.json" 2>/dev/null
"$bin/text_layer_bench" --benchmark_format=json --benchmark_min_time=0.3 >"$tmp/text.json" 2>/dev/null
python3 - "$tmp/colour.json" "$tmp/text.json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if "error_occurred" not in b}
levels = {-1: "converter", 0: "scalar", 1: "sse2", 2: "avx2"}
sizes = {0: "720x576", 1: "1920x1080"}
for ours, peer, what in (("Yuy2ToRgb32", "SwsYuyvToBgr0", "YUY2 -> RGB32 (swscale yuyv422 -> bgr0)"),
                         ("Rgb32To565", "SwsBgr0To565", "RGB32 -> RGB565 (swscale bgr0 -> rgb565le)")):
    print(what)
    for hd, size in sizes.items():
        p = runs.get(f"{peer}/hd:{hd}")
        if not p:
            continue
        pn = p["ns_per_pixel"] * 1e9  # the counter is seconds per pixel
        print(f"  {size:>9}  swscale   {pn:6.3f} ns/pixel")
        for lv, name in levels.items():
            r = runs.get(f"{ours}/level:{lv}/hd:{hd}")
            if r:
                n = r["ns_per_pixel"] * 1e9
                print(f"  {size:>9}  {name:9} {n:6.3f} ns/pixel   {pn / n:5.2f}x swscale's speed")
d = runs.get("DoubleCif")
if d:
    print(f"Doubling 352x288 -> 704x576: {d['real_time']:.1f} {d['time_unit']} per frame")
print("Text layer, 720x576")
for b in json.load(open(sys.argv[2]))["benchmarks"]:
    print(f"  {b['name']:28} {b['real_time']:10.2f} {b['time_unit']}")
PY
