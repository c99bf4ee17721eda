# aviqpak: a short test-pattern clip coded losslessly into an AVI file, decoded and compared,
# then a YUV 4:2:0 version of it, and the files described.
set -euo pipefail
export AVIQPAK_DRIVER="$MC_LIB/libaviqpak.so"
out="$MC_OUT/aviqpak"
mkdir -p "$out"
ffmpeg -v error -f lavfi -i "testsrc2=size=320x240:rate=25" -frames:v 8 -f rawvideo -pix_fmt bgr24 -y "$out/clip.raw"
# Repeat the last picture twice so that null frames appear.
tail -c $((320 * 240 * 3)) "$out/clip.raw" > "$out/last.raw"
cat "$out/last.raw" "$out/last.raw" >> "$out/clip.raw"

"$MC_BIN/aviqpak" encode --size 320x240 --pix-fmt bgr24 --split --null-frames "$out/clip.raw" "$out/clip.avi"
"$MC_BIN/aviqpak" decode "$out/clip.avi" "$out/clip.decoded.raw"
cmp "$out/clip.raw" "$out/clip.decoded.raw" && echo "RGB round trip: identical"
"$MC_BIN/aviqpak" info "$out/clip.avi"

"$MC_BIN/aviqpak" encode --size 320x240 --pix-fmt bgr24 --mode yuv420 "$out/clip.raw" "$out/clip-yuv420.avi"
"$MC_BIN/aviqpak" info "$out/clip-yuv420.avi" | grep -E "colour mode|coded bytes"
ffprobe -v error -show_entries stream=codec_tag_string,width,height,nb_frames -of default=nw=1 "$out/clip.avi"
