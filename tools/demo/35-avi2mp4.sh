# The AVI-to-MP4 converter and the AVI-file handler: make a small AVI with ffmpeg (MPEG-4 Visual
# with B-frames and MP3), convert it, show the log, look at the result with ffprobe, then export
# the MP4 back to an AVI through the MP4 handler with avicopy.
set -euo pipefail
out=$MC_OUT/avi2mp4
mkdir -p "$out"
export LANTREL_MODULE=$MC_LIB/liblantrel.so
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 -avoid_negative_ts disabled \
  -c:v mpeg4 -vtag KU50 -f_strict unofficial -bf 2 -c:a libmp3lame "$out/sample.avi"
echo "== avi2mp4 sample.avi sample.mp4 (log kept in sample.log)"
"$MC_BIN/avi2mp4" --log "$out/sample.log" "$out/sample.avi" "$out/sample.mp4" >/dev/null
grep -v "^found\|ignoring this VOP" "$out/sample.log"
echo "== top-level atoms"
python3 - "$out/sample.mp4" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 0
while at + 8 <= len(data):
    size, kind = struct.unpack(">I4s", data[at:at + 8])
    print(f"  {kind.decode()} at {at}, {size} bytes")
    if size < 8:
        break
    at += size
PY
echo "== ffprobe"
ffprobe -v error -show_entries stream=codec_name,width,height,nb_frames,duration:format=format_name \
  -of default=noprint_wrappers=1 "$out/sample.mp4"
echo "== avicopy sample.mp4 back.avi"
"$MC_BIN/avicopy" "$out/sample.mp4" "$out/back.avi" >/dev/null
ffprobe -v error -show_entries stream=codec_tag_string,nb_frames -of csv=p=0 "$out/back.avi"
same=$(cmp <(ffmpeg -nostdin -v error -c:v mpeg4 -i "$out/sample.avi" -map 0:v -f framemd5 - | grep -v '^#' | cut -d, -f6) \
           <(ffmpeg -nostdin -v error -c:v mpeg4 -i "$out/back.avi" -map 0:v -f framemd5 - | grep -v '^#' | cut -d, -f6) \
       && echo yes || echo no)
echo "decoded pictures of back.avi equal sample.avi: $same"
