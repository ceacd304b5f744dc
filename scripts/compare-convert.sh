#!/bin/sh
# Checks `halvorn-disc convert` against independent programs on a raw image
# made from ISO: bchunk's .iso from the .bin/.cue must equal ours byte for
# byte (and both the original); a .chd made by chdman is named with the
# chdman command that unpacks it, and that command's .cue converts to the
# original; a UDF-only image made by mkudffs is named as one.
# Usage: compare-convert.sh HALVORN_DISC MAKE_RAW_IMAGE ISO
set -eu
tool=$1
make_raw=$2
iso=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$make_raw" "$iso" "$tmp/disc.bin"
printf 'FILE "disc.bin" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n' > "$tmp/disc.cue"
(cd "$tmp" && bchunk disc.bin disc.cue ref >/dev/null)
"$tool" convert "$tmp/disc.cue" "$tmp/ours.iso" >/dev/null || fail "convert of the .cue"
cmp "$tmp/ref01.iso" "$tmp/ours.iso" || fail "bchunk's image and ours differ"
cmp "$iso" "$tmp/ours.iso" || fail "ours differs from the original"
echo "bchunk: same bytes"

chdman createcd -i "$tmp/disc.cue" -o "$tmp/disc.chd" >/dev/null 2>&1 || fail "chdman createcd"
"$tool" verify "$tmp/disc.chd" > "$tmp/chd.txt" && fail "verify accepted a .chd"
command=$(grep '^  chdman extractcd ' "$tmp/chd.txt") || { cat "$tmp/chd.txt"; fail "no chdman command"; }
[ "$command" = "  chdman extractcd -i \"$tmp/disc.chd\" -o \"$tmp/disc.cue\"" ] ||
  fail "unexpected command: $command"
rm "$tmp/disc.cue" "$tmp/disc.bin"
eval "$command" >/dev/null 2>&1 || fail "the printed chdman command"
"$tool" convert "$tmp/disc.cue" "$tmp/from-chd.iso" >/dev/null || fail "convert of chdman's .cue"
cmp "$iso" "$tmp/from-chd.iso" || fail "the .chd's image differs from the original"
echo "chdman: named, unpacked and converted to the same bytes"

dd if=/dev/zero of="$tmp/udf.img" bs=1M count=4 2>/dev/null
mkudffs --media-type=hd --blocksize=2048 "$tmp/udf.img" >/dev/null 2>&1 || fail "mkudffs"
"$tool" verify "$tmp/udf.img" > "$tmp/udf.txt" && fail "verify accepted a UDF-only image"
grep -q 'a UDF-only image' "$tmp/udf.txt" || { cat "$tmp/udf.txt"; fail "UDF not named"; }
echo "mkudffs: named UDF-only"
