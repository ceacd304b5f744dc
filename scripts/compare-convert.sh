#!/bin/sh
# Checks halvorn-disc against independent programs. `list` must see the same
# records as isoinfo on every image given: type, extent, size and path,
# compared as sorted lists (the two walk directories in different orders).
# On a raw image made from the first: bchunk's .iso from the .bin/.cue must
# equal `convert`'s byte for byte (and both the original); a .chd made by
# chdman is named with the chdman command that unpacks it, and that command's
# .cue converts to the original; a UDF-only image made by mkudffs is named as
# one. Exit 0 when all agree.
# Usage: compare-convert.sh HALVORN_DISC MAKE_RAW_IMAGE ISO...
set -eu
tool=$1 make_raw=$2 iso=$3
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for image in "$@"; do
  "$tool" list "$image" | sort > "$tmp/ours"
  # isoinfo without -R/-J shows the primary tree's own identifiers; drop the
  # version suffix and one final dot as the reader does.
  isoinfo -l -i "$image" | awk '
    /^Directory listing of / { dir = substr($0, 22); sub(/^\//, "", dir); next }
    /\[ *[0-9]+ [0-9a-fA-F]+\]/ {
      split($0, part, /[][] */)  # part[2]: "EXTENT FLAGS", part[3]: the name and a space
      name = part[3]
      sub(/ $/, "", name)
      if (name == "." || name == "..") next
      sub(/\.?(;.*)?$/, "", name)
      printf "%s\t%d\t%s\t%s%s\n", substr($1, 1, 1) == "d" ? "d" : "f", part[2], $5, dir, name
    }' | sort > "$tmp/theirs"
  diff "$tmp/ours" "$tmp/theirs" | head -20 >&2
  cmp -s "$tmp/ours" "$tmp/theirs" || fail "isoinfo lists $image otherwise"
done

"$make_raw" "$iso" "$tmp/disc.bin"
printf '%s\r\n' 'FILE "disc.bin" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 01 00:00:00' \
  > "$tmp/disc.cue"
(cd "$tmp" && bchunk disc.bin disc.cue ref >/dev/null)
"$tool" convert "$tmp/disc.cue" "$tmp/ours.iso" >/dev/null || fail "convert of the .cue"
cmp "$tmp/ref01.iso" "$tmp/ours.iso" || fail "bchunk's image and ours differ"
cmp "$iso" "$tmp/ours.iso" || fail "ours differs from the original"

chdman createcd -i "$tmp/disc.cue" -o "$tmp/disc.chd" >/dev/null 2>&1 || fail "chdman createcd"
"$tool" verify "$tmp/disc.chd" > "$tmp/chd.txt" && fail "verify accepted a .chd"
command=$(grep '^  chdman extractcd ' "$tmp/chd.txt") ||
  { cat "$tmp/chd.txt"; fail "no chdman command"; }
[ "$command" = "  chdman extractcd -i \"$tmp/disc.chd\" -o \"$tmp/disc.cue\"" ] ||
  fail "unexpected command: $command"
rm "$tmp/disc.cue" "$tmp/disc.bin"
eval "$command" >/dev/null 2>&1 || fail "the printed chdman command"
"$tool" convert "$tmp/disc.cue" "$tmp/from-chd.iso" >/dev/null || fail "convert of chdman's .cue"
cmp "$iso" "$tmp/from-chd.iso" || fail "the .chd's image differs from the original"

dd if=/dev/zero of="$tmp/udf.img" bs=1M count=4 2>/dev/null
mkudffs --media-type=hd --blocksize=2048 "$tmp/udf.img" >/dev/null 2>&1 || fail "mkudffs"
"$tool" verify "$tmp/udf.img" > "$tmp/udf.txt" && fail "verify accepted a UDF-only image"
grep -q 'a UDF-only image' "$tmp/udf.txt" || { cat "$tmp/udf.txt"; fail "UDF not named"; }
