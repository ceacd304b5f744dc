#!/bin/sh
# Builds the disc images the tests read, with xorriso, into OUT:
#   level1.iso          ISO level 1, version suffixes ";1", no extensions
#   level2-nover.iso    ISO level 2 without version suffixes
#   level3-joliet-rr.iso ISO level 3 with Joliet and Rock Ridge
#   full.iso            the whole game folder as the manifest lists it
# and the trees they were made from (trees/small, trees/full), which the tests
# compare extracted files against. Contents are a cheap repeated pattern.
# Usage: make-test-images.sh OUT MANIFEST_CPP
set -eu
out=$1
manifest=$2

rm -rf "$out"
mkdir -p "$out/trees"

# fill FILE SIZE: SIZE bytes of the file's own name, repeated.
fill() {
  mkdir -p "$(dirname "$1")"
  yes "$1" | head -c "$2" > "$1"
}

small=$out/trees/small
cd "$out/trees"
mkdir -p small && cd small
fill HV1/HV1.EXE 4321
i=1
while [ $i -le 22 ]; do
  fill "HV1/GAMEDAT/F$(printf %02d $i).DAT" $((i * 997))
  i=$((i + 1))
done
: > HV1/GAMEDAT/EMPTY.DAT
fill HV1/GAMEDAT/ONEMEG.DAT 1048576
fill HV1/GAMEDAT/ONEMEGP1.DAT 1048577
fill HV1/STREAMS/INTRO.STR 70001
# Enough records to fill several directory sectors.
i=1
while [ $i -le 150 ]; do
  fill "HV1/MANY/M$(printf %03d $i).DAT" $((i * 3))
  i=$((i + 1))
done
fill HV1/D1/D2/D3/D4/D5/D6/LEAF.TXT 77
mkdir -p HV1/EMPTYDIR
fill README.TXT 100

mk() {
  name=$1
  shift
  xorriso -as mkisofs -quiet "$@" -V HV1_DISC1 -o "$out/$name" "$small" 2>"$out/xorriso.log" ||
    { cat "$out/xorriso.log" >&2; exit 1; }
}
mk level1.iso -iso-level 1
mk level2-nover.iso -iso-level 2 -N
mk level3-joliet-rr.iso -iso-level 3 -J -R

# The full-size image: every manifest row, plus a file the manifest does not list.
cd "$out/trees"
mkdir -p full && cd full
sed -n 's/^ *{u"\([^"]*\)", \([0-9'"'"']*\)},.*$/\1 \2/p' "$manifest" | tr -d "'" |
  while read -r path size; do
    fill "HV1/$(printf %s "$path" | sed 's/\\\\/\//g')" "$size"
  done
rows=$(find HV1 -type f | wc -l)
if [ "$rows" -ne 124 ]; then
  echo "make-test-images: expected 124 manifest files, made $rows" >&2
  exit 1
fi
fill HV1/README.TXT 1234
xorriso -as mkisofs -quiet -iso-level 2 -J -R -V HV1_DISC1 -o "$out/full.iso" "$out/trees/full" \
  2>"$out/xorriso.log" || { cat "$out/xorriso.log" >&2; exit 1; }

touch "$out/stamp"
