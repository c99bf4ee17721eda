#!/usr/bin/env bash
# MP4 container library: makes a small MP4 with ffmpeg, dumps its atom tree, rewrites it with the
# moov in front and checks the result against its streams.
set -euo pipefail
out="$MC_OUT/mp4"
mkdir -p "$out"
if ! command -v ffmpeg >/dev/null; then
  echo "30-mp4: ffmpeg is not installed; skipped"
  exit 0
fi
ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:duration=2 -c:v mpeg4 -bf 2 -c:a libmp3lame -ac 2 "$out/small.mp4"
"$MC_BIN/mp4dump" "$out/small.mp4" > "$out/small.dump.txt"
echo "30-mp4: dump of small.mp4: $(wc -l < "$out/small.dump.txt") lines (head below)"
head -12 "$out/small.dump.txt"
"$MC_BIN/mp4faststart" "$out/small.mp4" "$out/small-fast.mp4" > /dev/null
first=$(head -c 8 "$out/small-fast.mp4" | tail -c 4)
echo "30-mp4: small-fast.mp4 starts with '$first'"
"$MC_BIN/mp4dump" --check "$out/small-fast.mp4" > "$out/small-fast.check.txt"
grep -E '^(INFO|WARNING|ERROR|FATAL)' "$out/small-fast.check.txt" | grep -v -- '-VOP\[' | head -20
