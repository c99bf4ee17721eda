#!/usr/bin/env bash
# The aviqpak tool's promises: help, exit status 1 with a message on bad use, the driver
# settings in the registry store, packed YUV output only where the driver allows it.
set -euo pipefail
tool=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"
fail() { echo "tool check: $*" >&2; exit 1; }
expect_fail() {  # expect_fail "message part" command...
  local want=$1; shift
  local err
  if err=$("$@" 2>&1 >/dev/null); then fail "succeeded: $*"; fi
  [[ $err == *"$want"* ]] || fail "message for '$*' was '$err', expected '$want'"
}

"$tool" --help | grep -q "aviqpak encode" || fail "--help"
expect_fail "usage" "$tool"
expect_fail "unknown command" "$tool" frobnicate
expect_fail "bad --size" "$tool" encode --size 0x10 --pix-fmt bgr24 a b
expect_fail "--pix-fmt" "$tool" encode --size 8x8 a b
expect_fail "cannot open" "$tool" encode --size 8x8 --pix-fmt bgr24 missing.raw out.avi
head -c 100 /dev/zero > partial.raw
expect_fail "inside a frame" "$tool" encode --size 8x8 --pix-fmt bgr24 partial.raw out.avi
echo "not an avi" > bad.avi
expect_fail "not an AVI file" "$tool" info bad.avi

# 8 frames of 64x48 bgra and bgr24; bgra round trip and a YUV stream decoded to packed YUV.
head -c $((64 * 48 * 4 * 8)) /dev/urandom > bgra.raw
"$tool" encode --size 64x48 --pix-fmt bgra bgra.raw bgra.avi 2>/dev/null
"$tool" decode bgra.avi bgra.back
cmp -s bgra.raw bgra.back || fail "bgra round trip"
expect_fail "cannot load driver" "$tool" decode --driver /nonexistent.so bgra.avi out.raw
head -c $((64 * 48 * 3 * 8)) /dev/urandom > bgr.raw
"$tool" encode --size 64x48 --pix-fmt bgr24 --mode yuv422 bgr.raw yuv.avi 2>/dev/null
"$tool" config --yuv-enable off > /dev/null
expect_fail "--yuv-enable on" "$tool" decode --pix-fmt uyvy yuv.avi out.uyvy
"$tool" config --yuv-enable on | grep -q "YUV Enable           on" || fail "config output"
"$tool" decode --pix-fmt uyvy yuv.avi out.uyvy
[[ $(stat -c %s out.uyvy) == $((64 * 48 * 2 * 8)) ]] || fail "uyvy size"
expect_fail "cannot decode" "$tool" decode --pix-fmt bgra yuv.avi out.raw
echo "tool check passed"
