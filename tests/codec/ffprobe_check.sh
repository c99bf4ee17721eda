#!/usr/bin/env bash
# Writes an AVI file with the aviqpak tool and has ffprobe read it: one video stream, FourCC
# QPAK, every frame counted, null frames present as timed entries that are not key frames; then
# decodes it back and compares with the source.
set -euo pipefail
tool=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"
fail() { echo "ffprobe check: $*" >&2; exit 1; }

w=176 h=144 frame=$((176 * 144 * 3))
ffmpeg -v error -f lavfi -i "testsrc2=size=${w}x${h}:rate=25" -frames:v 4 -f rawvideo -pix_fmt bgr24 src.raw
# Frames 0 1 1 1 2 3 3: three repeats become null frames.
pick() { dd if=src.raw bs=$frame skip=$1 count=1 status=none; }
{ pick 0; pick 1; pick 1; pick 1; pick 2; pick 3; pick 3; } > clip.raw

"$tool" encode --size ${w}x${h} --pix-fmt bgr24 --split --null-frames clip.raw clip.avi 2> encode.log

streams=$(ffprobe -v error -show_entries stream=codec_type,codec_tag_string,nb_frames -of csv=p=0 clip.avi)
[[ "$streams" == "video,QPAK,7" ]] || fail "streams: '$streams' (expected one video stream, QPAK, 7 frames)"
# Empty chunks carry no data, so ffprobe skips them; their frames still take their time slots.
packets=$(ffprobe -v error -select_streams v -show_entries packet=pts,flags -of csv=p=0 clip.avi | tr '\n' ' ')
[[ "$packets" == "0,K_ 1,K_ 4,K_ 5,K_ " ]] || fail "packets: '$packets'"
"$tool" info clip.avi > info.txt
grep -q "frames:         7 (4 key, 3 null)" info.txt || fail "index: $(grep frames: info.txt)"

"$tool" decode clip.avi back.raw
cmp -s clip.raw back.raw || fail "decoded frames differ from the source"

# A YUV layout decodes to pictures of the right size.
"$tool" encode --size ${w}x${h} --pix-fmt bgr24 --mode yuv420 clip.raw yuv.avi 2> /dev/null
"$tool" decode yuv.avi yuv.raw
[[ $(stat -c %s yuv.raw) == $(stat -c %s clip.raw) ]] || fail "YUV decode size"
echo "ffprobe check passed"
