#!/usr/bin/env bash
# Usage: orvanta_render_cli.sh TOOL SCRATCH_DIR
set -u
tool=$1
dir=$2
rm -rf "$dir" && mkdir -p "$dir"
fail=0
expect() {  # expect STATUS DESCRIPTION ARGS...
  local want=$1 what=$2
  shift 2
  "$tool" "$@" >"$dir/out" 2>"$dir/err"
  local got=$?
  if [[ $got != "$want" ]]; then
    echo "FAIL: $what: status $got, expected $want"; cat "$dir/err"; fail=1
  fi
}
expect 0 "help" --help
grep -q "usage: orvanta-render" "$dir/out" || { echo "FAIL: help text"; fail=1; }
expect 1 "no output prefix" --text hi
expect 1 "unknown option" --out "$dir/x" --bogus
expect 1 "missing value" --out
expect 1 "odd width" --out "$dir/x" --size 721x576
expect 1 "position out of range" --out "$dir/x" --x 101
expect 1 "bad colour" --out "$dir/x" --colour GG0000
expect 1 "text and file together" --out "$dir/x" --text a --subtitle b.srt
expect 1 "unreadable subtitle file" --out "$dir/x" --subtitle "$dir/none.srt"
expect 1 "unwritable output" --out /nonexistent/folder/x --text hi
grep -q "cannot create" "$dir/err" || { echo "FAIL: message for unwritable output"; fail=1; }
expect 0 "both layouts" --out "$dir/ok" --size 64x32 --text "Hi" --osd-video elapsed
for f in ok-yuy2.png ok-rgb.png; do
  [[ $(head -c 8 "$dir/$f" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || { echo "FAIL: $f is not a PNG"; fail=1; }
done
printf '1\n00:00:01,000 --> 00:00:02,000\nFirst\n\n2\n00:00:03,000 --> 00:00:04,000\nSecond\n' > "$dir/movie.srt"
expect 0 "subtitle file entry" --out "$dir/file" --size 64x32 --subtitle "$dir/movie.srt" --at 3500 --layout rgb
grep -q "SubRip, 2 entries; at 3500 ms: an entry is showing" "$dir/out" || { echo "FAIL: file entry report"; cat "$dir/out"; fail=1; }
expect 0 "subtitle file between entries" --out "$dir/gap" --size 64x32 --subtitle "$dir/movie.srt" --at 2500 --layout rgb
grep -q "nothing showing" "$dir/out" || { echo "FAIL: gap report"; fail=1; }
# The ANSI code page is the host's choice: Windows-1251 bytes draw like the same UTF-8 text.
HOST_ANSI_CODEPAGE=1251 "$tool" --out "$dir/cp1251" --size 96x32 --text "$(printf '\xcf\xf0\xe8\xe2\xe5\xf2')" --layout rgb >/dev/null
"$tool" --out "$dir/utf8" --size 96x32 --text "$(printf '\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82')" --layout rgb >/dev/null
cmp -s "$dir/cp1251-rgb.png" "$dir/utf8-rgb.png" || { echo "FAIL: code page 1251 text differs from UTF-8"; fail=1; }
exit $fail
