#!/usr/bin/env bash
# avi2mp4 beside ffmpeg on the same input: a 60 s 720x576 MPEG-4 Visual + MP3 AVI made here with
# ffmpeg (into build/bench-data, never committed). ffmpeg remuxes with +genpts (without it B-frame
# files get wrong times) and +faststart (and -c:v mpeg4 before -i to know the FourCC), so both write a fast-start MP4. One run each; the times,
# the ratio and the peak memory of both are printed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${MC_BIN:-$top/build/release/bin}
data=$top/build/bench-data
mkdir -p "$data"
in=$data/bench_720x576_60s.avi
if [ ! -s "$in" ]; then
  echo "making $in ..." >&2
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=720x576:rate=25:duration=60 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 -avoid_negative_ts disabled \
    -c:v mpeg4 -vtag KU50 -f_strict unofficial -bf 2 -q:v 3 -c:a libmp3lame -b:a 192k "$in"
fi
if [ ! -x "$bin/avi2mp4" ]; then
  echo "no $bin/avi2mp4: run scripts/build release first" >&2
  exit 1
fi
python3 - "$bin/avi2mp4" "$in" "$data" <<'PY'
import os, resource, subprocess, sys, time
tool, src, data = sys.argv[1:4]

# Each command runs under its own small wrapper, so its peak memory is its own.
WRAP = ("import resource, subprocess, sys, time\n"
        "t = time.perf_counter()\n"
        "subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)\n"
        "print(time.perf_counter() - t, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n")

def run(cmd):
    out = subprocess.run([sys.executable, "-c", WRAP] + cmd, check=True, capture_output=True, text=True).stdout
    elapsed, rss = out.split()
    return float(elapsed), int(rss)  # seconds, KiB

ours, ours_rss = run([tool, "--log", os.devnull, src, os.path.join(data, "ours.mp4")])
# "-c:v mpeg4" before -i tells ffmpeg what the KU50 FourCC holds; it changes nothing else.
peer, peer_rss = run(["ffmpeg", "-nostdin", "-y", "-v", "error", "-fflags", "+genpts", "-c:v", "mpeg4", "-i", src,
                      "-c", "copy", "-movflags", "+faststart", os.path.join(data, "ffmpeg.mp4")])
size = os.path.getsize(src) / 1e6
print(f"input: {size:.1f} MB, 60 s 720x576 MPEG-4 Visual (B-frames) + MP3")
print(f"avi2mp4 (two passes): {ours:.3f} s, peak RSS {ours_rss / 1024:.1f} MiB")
print(f"ffmpeg -c copy +faststart: {peer:.3f} s, peak RSS {peer_rss / 1024:.1f} MiB")
print(f"ratio ffmpeg/avi2mp4: {peer / ours:.2f} (above 1: avi2mp4 is faster)")
PY
