#!/usr/bin/env bash
# subdump end to end: its output for a few fixtures, the language and frame-rate options, and
# the exit status and message when no reader accepts a file.
set -uo pipefail
subdump=$(realpath "$1")
fixtures=$(cd "$(dirname "$0")/fixtures" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/subdump-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect_output() {  # name, expected text, command...
  local name=$1 expected=$2
  shift 2
  local actual
  actual=$("$@" 2>&1)
  local rc=$?
  [[ $rc -eq 0 ]] || fail "$name: exit status $rc"
  [[ "$actual" == "$expected" ]] || fail "$name: got
$actual
expected
$expected"
}

expect_output "SSA fixture" "format   Sub Station Alpha
path     $fixtures/dialogue.ssa
streams  none
delay    0 ms
entries  4 (start and end in ms)
      1000       3500  Where are you going?
      3200       5000  To the station.\\nWait for me!
     62040      65000  - Hurry.\\n- Coming!
   3600000    3602500  The end." "$subdump" "$fixtures/dialogue.ssa"

expect_output "frames without a rate" "format   MicroDVD
path     $fixtures/pending.txt
streams  none
delay    0 ms
note     times are frame numbers: the file states no frame rate (give --fps)
entries  3 (start and end in frames)
        25         75  No frame rate here
       100        199  Open end\\ntwo lines
       200        250  Last  " "$subdump" "$fixtures/pending.txt"

expect_output "frames with --fps" "format   MicroDVD
path     $fixtures/pending.txt
streams  none
delay    0 ms
entries  3 (start and end in ms)
      1000       3000  No frame rate here
      4000       7960  Open end\\ntwo lines
      8000      10000  Last  " "$subdump" --fps 25 "$fixtures/pending.txt"

printf '{10}{20}Hello\n' > "$work/en.sub"
printf '{10}{20}Bonjour\n' > "$work/fr.sub"
printf '[Micro DVD Ini File]\n[SUBTITLES]\n1=0000English\nFile=en.sub\n2=0000French\nFile=fr.sub\n' > "$work/movie.ini"
pushd "$work" >/dev/null
expect_output "relative index path, --lang" "format   MicroDVD-INI
path     $work/movie.ini
streams  2, selected 1 (French)
    0 English
  * 1 French
delay    0 ms
entries  1 (start and end in ms)
       400        800  Bonjour" "$subdump" --lang french --fps 25 movie.ini
popd >/dev/null

printf 'notes\n' > "$work/notes.sub"
message=$("$subdump" "$work/notes.sub" 2>&1 >/dev/null)
[[ $? -eq 1 ]] || fail "unreadable file: exit status"
[[ "$message" == *"no subtitle reader accepts"*"SubViewer 1.0      read the file but found no entries"*"MicroDVD           not this format"* ]] ||
  fail "unreadable file: message was: $message"
"$subdump" "$work/missing.srt" >/dev/null 2>&1 && fail "missing file accepted"
"$subdump" "$work/notes.xyz" >/dev/null 2>&1 && fail "unknown extension accepted"
"$subdump" --fps -3 "$fixtures/pending.txt" >/dev/null 2>&1 && fail "negative --fps accepted"
"$subdump" --bogus >/dev/null 2>&1 && fail "unknown option accepted"
"$subdump" >/dev/null 2>&1 && fail "no file accepted"
"$subdump" --help | grep -q "Usage: subdump" || fail "--help"

[[ $failures -eq 0 ]] && echo "subdump: all checks passed"
exit $((failures > 0))
