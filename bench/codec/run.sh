#!/usr/bin/env bash
# Side-by-side speed and compression of QPAK and its peers on the same raw RGB24 frames.
#
#   bench/codec/run.sh [FRAMES]        (default 10 frames per source)
#
# Frames come from ffmpeg's testsrc2, mandelbrot and smptebars sources at 720x576 and 1920x1080.
# Two views of speed, both in MB/s of raw RGB24 input, best of three runs:
#   call:    the codec alone, in processor time (so that other work on the machine disturbs it
#            less). QPAK is timed in-process through the driver (bench/qpak_bench --table; the
#            two-thread split in wall time, since only the wall clock shows its gain); ffmpeg's
#            huffyuv, ffv1 and utvideo with -benchmark_all on one thread, counting the user and
#            system time of the encoder and decoder calls after the first frame (the conversion
#            from bgr24 to each encoder's own pixel format is not charged to them).
#   process: a whole command on the raw file: `aviqpak encode` / `aviqpak decode` (AVI file out),
#            `ffmpeg -threads 1 ... -c:v X` into a NUT file and back to `-f null`, `lz4 -1` and
#            `zstd -1 -T1` and their decompression (lz4 and zstd have only this view).
# QPAK runs whole frames on one thread ("qpak-whole") and split frames with band B on a second
# thread ("qpak-split2"). "ratio" is raw size / coded size; the x columns compare with huffyuv on
# the same frames and in the same view.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
frames=${1:-10}
(( frames >= 2 )) || { echo "run.sh: at least 2 frames" >&2; exit 1; }
bench=$top/build/release/bench/qpak_bench
tool=$top/build/release/bin/aviqpak
[[ -x $bench && -x $tool ]] || "$top/scripts/build" release >/dev/null
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
  awk -v ns="$best" 'BEGIN { printf "%.6f", ns / 1e9 }' 
}
# sum of the user and system microseconds of one kind of call reported by ffmpeg -benchmark_all
# (the first call, which pays for the process's first touches of its buffers, is left out)
calls() { awk -v kind="$1" '$0 ~ "bench:" && $0 ~ kind && ++n > 1 { for (i = 1; i < NF; i++) if ($(i+1) == "user" || $(i+1) == "sys") s += $i } END { printf "%.6f", s / 1e6 }'; }
best3calls() {
  local kind=$1; shift
  local best=""
  for _ in 1 2 3; do
    local t
    t=$("$@" 2>&1 | calls "$kind")
    if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}
mbps() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.1f", b / s / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
rows=$work/rows.txt gains=$work/gains.txt
: > "$rows"
: > "$gains"
for size in 720x576 1920x1080; do
  w=${size%x*} h=${size#*x}
  for src in testsrc2 mandelbrot smptebars; do
    raw=$work/$src-$size.raw
    ffmpeg -v error -f lavfi -i "$src=size=$size:rate=25" -frames:v "$frames" -pix_fmt bgr24 -f rawvideo -y "$raw"
    bytes=$(stat -c %s "$raw")
    declare -A call=()
    while read -r name variant enc dec ratio gain; do
      call[$variant]="$enc $dec $ratio"
      [[ -n ${gain:-} ]] && echo "$src $size $gain" >> "$gains"
    done < <("$bench" --table "$w" "$h" "$src=$raw")
    for variant in qpak-whole qpak-split2; do
      if [[ $variant == qpak-split2 ]]; then
        "$tool" config --multi-thread on >/dev/null
        opts=(--split)
      else
        "$tool" config --multi-thread off >/dev/null
        opts=()
      fi
      te=$(best3 "$tool" encode --size "$size" --pix-fmt bgr24 "${opts[@]}" "$raw" "$work/q.avi")
      td=$(best3 "$tool" decode "$work/q.avi" /dev/null)
      read -r ce cd cr <<< "${call[$variant]}"
      echo "$src $size $variant $ce $cd $(mbps "$bytes" "$te") $(mbps "$bytes" "$td") $cr" >> "$rows"
    done
    for codec in huffyuv ffv1 utvideo; do
      enc=$work/$codec.nut
      args=(-hide_banner -nostats -threads 1 -f rawvideo -pix_fmt bgr24 -s "$size" -i "$raw" -c:v "$codec" -threads 1 -y "$enc")
      ce=$(best3calls encode_video ffmpeg -benchmark_all "${args[@]}")
      cd=$(best3calls decode_video ffmpeg -hide_banner -nostats -benchmark_all -threads 1 -i "$enc" -f null -)
      pe=$(best3 ffmpeg "${args[@]}")
      pd=$(best3 ffmpeg -hide_banner -nostats -threads 1 -i "$enc" -f null -)
      coded=$(ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 "$enc" | awk '{s += $1} END {print s}')
      timed=$(( bytes / frames * (frames - 1) ))
      echo "$src $size $codec $(mbps "$timed" "$ce") $(mbps "$timed" "$cd") $(mbps "$bytes" "$pe") $(mbps "$bytes" "$pd") $(ratio "$bytes" "$coded")" >> "$rows"
    done
    for packer in lz4 zstd; do
      packed=$work/raw.$packer
      if [[ $packer == lz4 ]]; then
        te=$(best3 lz4 -1 -q -f "$raw" "$packed")
        td=$(best3 lz4 -d -q -f "$packed" /dev/null)
      else
        te=$(best3 zstd -1 -T1 -q -f "$raw" -o "$packed")
        td=$(best3 zstd -d -q -f "$packed" -o /dev/null)
      fi
      coded=$(stat -c %s "$packed")
      echo "$src $size $packer-1 - - $(mbps "$bytes" "$te") $(mbps "$bytes" "$td") $(ratio "$bytes" "$coded")" >> "$rows"
    done
    rm -f "$raw"
  done
done

echo "frames per source: $frames; MB/s of raw RGB24 input; x = speed relative to huffyuv on the same frames, same view"
echo "load average ($(nproc) processors): $load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
awk '
  function x(a, b) { return (a == "-" || b == "" || b == 0) ? "-" : sprintf("%.2fx", a / b) }
  function v(a) { return a == "-" ? "-" : sprintf("%.1f", a) }
  {
    key = $1 " " $2
    if (!(key in seen)) { seen[key] = 1; names[++keys] = key }
    line[key, ++n[key]] = $0
    if ($3 == "huffyuv") { hc[key] = $4; hd[key] = $5; hp[key] = $6; hq[key] = $7 }
  }
  END {
    printf "%-11s %-10s %-12s %9s %9s %9s %9s %9s | %7s %7s %7s %7s\n", "source", "size", "codec", "enc call", "dec call", "enc proc", "dec proc", "ratio", "enc x", "dec x", "encP x", "decP x"
    for (k = 1; k <= keys; k++) {
      key = names[k]
      for (i = 1; i <= n[key]; i++) {
        split(line[key, i], f, " ")
        printf "%-11s %-10s %-12s %9s %9s %9s %9s %9.3f | %7s %7s %7s %7s\n", f[1], f[2], f[3], v(f[4]), v(f[5]), v(f[6]), v(f[7]), f[8], x(f[4], hc[key]), x(f[5], hd[key]), x(f[6], hp[key]), x(f[7], hq[key])
      }
    }
  }' "$rows"
echo
awk '{ printf "split frames on two threads / whole frames, encode, both in wall time: %-11s %-10s %.2fx\n", $1, $2, $3 }' "$gains"
