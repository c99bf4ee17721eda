# Writes a few small subtitle files in different formats and shows how subdump reads them.
set -euo pipefail
out="$MC_OUT/subtitles"
mkdir -p "$out"
d="$MC_BIN/subdump"

# SubRip with a byte-order mark and CR LF line ends, saved as .txt: MicroDVD and TMPlayer are
# tried first and refuse it.
printf '\xef\xbb\xbf1\r\n00:00:01,000 --> 00:00:03,500\r\n<i>Where are you going?</i>\r\n\r\n2\r\n00:00:04,000 --> 00:00:06,000\r\nTo the station.\r\nWait for me!\r\n' > "$out/movie.txt"
"$d" "$out/movie.txt"

# MicroDVD counts frames: without a frame rate in the file, --fps converts them.
printf '{25}{87}Hello|World\n{100}{150}{y:i}Styled\n' > "$out/movie.sub"
"$d" --fps 25 "$out/movie.sub"

# An index naming one file per language; --lang picks the stream.
printf '{1}{1}23.976\n{250}{300}Bonjour\n' > "$out/movie-fr.sub"
printf '[Micro DVD Ini File]\n[SUBTITLES]\n1=0000English\nFile=movie.sub\n2=0000French\nFile=movie-fr.sub\n' > "$out/movie.ini"
"$d" --lang French "$out/movie.ini"

# A file no reader accepts: subdump says which readers refused it and exits with 1.
printf 'just some notes\n' > "$out/notes.srt"
if "$d" "$out/notes.srt"; then echo "notes.srt should not load" >&2; exit 1; fi
