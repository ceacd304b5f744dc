#!/bin/sh
# The one script that makes disc images (with xorriso):
#   make-test-images.sh OUT MANIFEST        the tests' images, into OUT:
#     level1.iso (ISO level 1, ";1" suffixes), level2-nover.iso (level 2, no
#     suffixes), level3-joliet-rr.iso (level 3, Joliet and Rock Ridge) of a
#     small tree, and full.iso of every manifest row; the trees they were made
#     from (trees/small, trees/full) are kept for comparing extracted files
#   make-test-images.sh --game MANIFEST IMAGE   one image the launcher accepts
# MANIFEST is disc/manifest.cpp or what `halvorn-disc manifest` prints.
# Contents are each file's own name, repeated: cheap, and no two files alike.
set -eu

fill() {
  mkdir -p "$(dirname "$1")"
  yes "$1" | head -c "$2" > "$1"
}

# iso IMAGE TREE [OPTION...]: xorriso takes options after the tree too.
iso() {
  xorriso -as mkisofs -quiet -V HV1_DISC1 -o "$@" 2>"$1.log" || { cat "$1.log" >&2; exit 1; }
  rm -f "$1.log"
}

# TREE/HV1 holding every manifest row at its size, and a file no row lists.
game_tree() {
  case $2 in
    *.cpp) sed -n 's/^ *{u"\([^"]*\)", \([0-9'"'"']*\)},.*$/\1 \2/p' "$2" | tr -d "'" ;;
    *) tr '\t' ' ' < "$2" ;;
  esac | (
    mkdir -p "$1" && cd "$1"
    while read -r path size; do fill "HV1/$(printf %s "$path" | tr -s '\\' /)" "$size"; done
    fill HV1/README.TXT 1234
  )
}

case $1 in
  --game)
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    game_tree "$tmp" "$2"
    iso "$3" "$tmp" -iso-level 2 -J -R
    exit 0 ;;
esac

out=$1
rm -rf "$out"
mkdir -p "$out/trees/small"
cd "$out/trees/small"
fill HV1/HV1.EXE 4321
for i in $(seq 1 22); do fill "HV1/GAMEDAT/F$(printf %02d "$i").DAT" $((i * 997)); done
: > HV1/GAMEDAT/EMPTY.DAT
fill HV1/GAMEDAT/ONEMEG.DAT 1048576
fill HV1/GAMEDAT/ONEMEGP1.DAT 1048577
fill HV1/STREAMS/INTRO.STR 70001
# Enough records to fill several directory sectors.
for i in $(seq 1 150); do fill "HV1/MANY/M$(printf %03d "$i").DAT" $((i * 3)); done
fill HV1/D1/D2/D3/D4/D5/D6/LEAF.TXT 77
mkdir -p HV1/EMPTYDIR
fill README.TXT 100
iso "$out/level1.iso" "$out/trees/small" -iso-level 1
iso "$out/level2-nover.iso" "$out/trees/small" -iso-level 2 -N
iso "$out/level3-joliet-rr.iso" "$out/trees/small" -iso-level 3 -J -R
game_tree "$out/trees/full" "$2"
iso "$out/full.iso" "$out/trees/full" -iso-level 2 -J -R
touch "$out/stamp"
