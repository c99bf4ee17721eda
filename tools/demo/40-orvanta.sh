# Draws subtitles and the time display onto generated test pictures with orvanta-render.
set -euo pipefail
out="$MC_OUT/orvanta"
mkdir -p "$out"
r="$MC_BIN/orvanta-render"
"$r" --out "$out/subtitle" --text "The quick brown fox jumps over the lazy dog.\nSecond line – «café», 20 €"
"$r" --out "$out/wrapped-left" --x 10 --y 20 --text "A long subtitle line that does not fit into the width of the picture is wrapped between words, left aligned." --layout rgb
"$r" --out "$out/opaque-right" --x 90 --y 50 --opaque --colour FFFF40 --text "Opaque box,\nright aligned" --layout rgb
"$r" --out "$out/scripts" --text "Привет, мир! Γειά σου κόσμε! ⣿" --layout yuy2
"$r" --out "$out/osd" --osd-video elapsed --osd-at 3723000 --osd-world 21:07 --text "Time display top right" --layout yuy2
"$r" --out "$out/outline-zoom" --size 160x64 --height -100 --y 60 --text "Ag" --zoom 6 --layout rgb
# An entry of a subtitle file (SubRip, UTF-8) at 2.5 s.
printf '1\r\n00:00:01,000 --> 00:00:04,000\r\nA subtitle file entry,\r\nits second line.\r\n\r\n2\r\n00:00:05,000 --> 00:00:08,000\r\nПривет!\r\n' > "$out/movie.srt"
"$r" --out "$out/file-entry" --subtitle "$out/movie.srt" --at 2500 --layout yuy2
