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
exit $fail
