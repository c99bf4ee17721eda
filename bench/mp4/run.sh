#!/usr/bin/env bash
# MP4 benchmarks, side by side in one run:
#  1. writing and reading 100 000 samples through the sample tables, against plain fwrite/fread
#     of the same bytes (Google Benchmark, bench/mp4/mp4_bench);
#  2. mp4faststart on a ~200 MB file against ffmpeg -c copy -movflags +faststart on the same file.
# The big input is generated with ffmpeg into build/ and never committed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/build" release mp4_bench mp4faststart >/dev/null
rel="$top/build/release"
work="$top/build/bench-mp4"
mkdir -p "$work"

echo "== sample tables: 100 000 samples"
"$rel/bench/mp4_bench" --benchmark_format=csv 2>/dev/null > "$work/tables.csv"
awk -F, 'NR>1 { gsub(/"/, "", $1); t[$1] = $3 } END {
  printf "  write: %.1f ms through the tables, %.1f ms plain fwrite -> ratio %.2f\n", t["BM_WriteSamples"], t["BM_WritePlain"], t["BM_WriteSamples"] / t["BM_WritePlain"];
  printf "  read:  %.1f ms through the tables, %.1f ms plain fread  -> ratio %.2f\n", t["BM_ReadSamples"], t["BM_ReadPlain"], t["BM_ReadSamples"] / t["BM_ReadPlain"];
}' "$work/tables.csv"

big="$work/big.mp4"
if [[ ! -f "$big" ]]; then
  echo "== generating a ~200 MB input with ffmpeg (once)"
  ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -f lavfi -i sine=frequency=440 \
    -t 600 -fs 200M -c:v mpeg4 -q:v 1 -bf 2 -c:a libmp3lame -ac 2 "$big"
fi
ls -l "$big" | awk '{ printf "  input: %.1f MB\n", $5 / 1e6 }'
sync

now() { date +%s.%N; }
# Each run ends when its output is on disk, so that neither is timed against the page cache alone.
# Three rounds, alternating which goes first, and the medians compared: the disk is shared with
# other work, and a single write-back stall would otherwise decide the ratio.
ours() { "$rel/bin/mp4faststart" "$big" "$work/ours.mp4" >/dev/null 2>&1; sync "$work/ours.mp4"; }
peer() { ffmpeg -v error -y -i "$big" -c copy -map 0 -movflags +faststart "$work/ffmpeg.mp4"; sync "$work/ffmpeg.mp4"; }
timed() { local a b; a=$(now); "$1"; b=$(now); awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", b - a }'; }
cat "$big" > /dev/null
ours_times=() peer_times=()
for round in 1 2 3; do
  rm -f "$work/ours.mp4" "$work/ffmpeg.mp4"; sync
  if (( round % 2 )); then
    ours_times+=("$(timed ours)"); peer_times+=("$(timed peer)")
  else
    peer_times+=("$(timed peer)"); ours_times+=("$(timed ours)")
  fi
done
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
o=$(median "${ours_times[@]}") p=$(median "${peer_times[@]}")
echo "== fast start of the same file (3 rounds: mp4faststart ${ours_times[*]} s; ffmpeg ${peer_times[*]} s)"
awk -v o="$o" -v p="$p" 'BEGIN { printf "  median mp4faststart %.3f s, ffmpeg %.3f s -> ratio (ffmpeg / mp4faststart) %.2f\n", o, p, p / o }'
rm -f "$work/ours.mp4" "$work/ffmpeg.mp4"
