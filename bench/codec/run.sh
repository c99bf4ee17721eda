#!/usr/bin/env bash
# Side-by-side speed and compression of QPAK and its peers on the same raw RGB24 frames.
#
#   bench/codec/run.sh [FRAMES]        (default 10 frames per source)
#
# Frames come from ffmpeg's testsrc2, mandelbrot and smptebars sources at 720x576 and 1920x1080.
# QPAK is timed in-process through the driver (bench/qpak_bench --table): whole frames on one
# thread, and split frames with band B on a second thread. ffmpeg's huffyuv, ffv1 and utvideo are
# timed with -benchmark_all on one thread, counting only the encoder and decoder calls (the
# conversion from bgr24 to each encoder's own pixel format is not charged to them); lz4 -1 and
# zstd -1 compress the same raw file with their command-line tools (whole process time). Speeds
# are MB/s of raw RGB24 input, best of three runs; "ratio" is raw size / coded size; the last two
# columns compare encode and decode speed with huffyuv on the same frames.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
frames=${1:-10}
bench=$top/build/release/bench/qpak_bench
[[ -x $bench ]] || "$top/scripts/build" release >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/qpak-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOSTREG_PATH=$work/registry.reg

now() { date +%s%N; }
# best of three wall-clock runs of a command, in seconds
best3() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    local t=$(( t1 - t0 ))
    [[ -z $best || $t -lt $best ]] && best=$t
  done
  echo "scale=6; $best / 1000000000" | bc
}
# sum of the "real" microseconds of one kind of call reported by ffmpeg -benchmark_all
calls() { awk -v kind="$1" '$0 ~ "bench:" && $0 ~ kind { for (i = 1; i < NF; i++) if ($(i+1) == "real") s += $i } END { printf "%.6f", s / 1e6 }'; }
best3calls() {
  local kind=$1; shift
  local best=""
  for _ in 1 2 3; do
    local t
    t=$("$@" 2>&1 | calls "$kind")
    if [[ -z $best ]] || (( $(echo "$t < $best" | bc) )); then best=$t; fi
  done
  echo "$best"
}
mbps() { echo "scale=1; $1 / $2 / 1000000" | bc; }

rows=$work/rows.txt
: > "$rows"
for size in 720x576 1920x1080; do
  w=${size%x*} h=${size#*x}
  for src in testsrc2 mandelbrot smptebars; do
    raw=$work/$src-$size.raw
    ffmpeg -v error -f lavfi -i "$src=size=$size:rate=25" -frames:v "$frames" -pix_fmt bgr24 -f rawvideo -y "$raw"
    bytes=$(stat -c %s "$raw")
    "$bench" --table "$w" "$h" "$src=$raw" | while read -r name variant enc dec ratio; do
      echo "$name $size $variant $enc $dec $ratio" >> "$rows"
    done
    for codec in huffyuv ffv1 utvideo; do
      enc=$work/$codec.nut
      te=$(best3calls encode_video ffmpeg -hide_banner -nostats -benchmark_all -threads 1 -f rawvideo -pix_fmt bgr24 \
        -s "$size" -i "$raw" -c:v "$codec" -threads 1 -y "$enc")
      td=$(best3calls decode_video ffmpeg -hide_banner -nostats -benchmark_all -threads 1 -i "$enc" -f null -)
      coded=$(ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 "$enc" | awk '{s += $1} END {print s}')
      echo "$src $size $codec $(mbps "$bytes" "$te") $(mbps "$bytes" "$td") $(echo "scale=3; $bytes / $coded" | bc)" >> "$rows"
    done
    for tool in lz4 zstd; do
      packed=$work/raw.$tool
      if [[ $tool == lz4 ]]; then
        te=$(best3 lz4 -1 -q -f "$raw" "$packed")
        td=$(best3 lz4 -d -q -f "$packed" /dev/null)
      else
        te=$(best3 zstd -1 -T1 -q -f "$raw" -o "$packed")
        td=$(best3 zstd -d -q -f "$packed" -o /dev/null)
      fi
      coded=$(stat -c %s "$packed")
      echo "$src $size $tool-1 $(mbps "$bytes" "$te") $(mbps "$bytes" "$td") $(echo "scale=3; $bytes / $coded" | bc)" >> "$rows"
    done
    rm -f "$raw"
  done
done

echo "frames per source: $frames; MB/s of raw RGB24 input; x = speed relative to huffyuv on the same frames"
awk '
  { key = $1 " " $2; n[key]++; line[key, n[key]] = $0; if ($3 == "huffyuv") { he[key] = $4; hd[key] = $5 } ; order[key] = ++seen[key] == 1 ? ++keys : order[key]; names[order[key]] = key }
  END {
    printf "%-11s %-10s %-12s %10s %10s %8s %9s %9s\n", "source", "size", "codec", "enc MB/s", "dec MB/s", "ratio", "enc x", "dec x"
    for (k = 1; k <= keys; k++) {
      key = names[k]
      for (i = 1; i <= n[key]; i++) {
        split(line[key, i], f, " ")
        printf "%-11s %-10s %-12s %10.1f %10.1f %8.3f %8.2fx %8.2fx\n", f[1], f[2], f[3], f[4], f[5], f[6], f[4] / he[key], f[5] / hd[key]
        if (f[3] == "qpak-whole") { w[key] = f[4] }
        if (f[3] == "qpak-split2") { s[key] = f[4] }
      }
    }
    print ""
    for (k = 1; k <= keys; k++) { key = names[k]; printf "split on two threads / whole frame, encode: %-22s %.2fx\n", key, s[key] / w[key] }
  }' "$rows"
