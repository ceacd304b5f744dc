#!/bin/sh
# Makes the fuzz seed corpora under OUT: OUT/disc/ (images, shared by
# fuzz_disc_walk and fuzz_disc_install) and OUT/ships/ (child output streams
# for fuzz_ship_protocol). Images are tiny xorriso images of a small HV1 tree
# in several formats, the tests' hostile images from SEED_WRITER, and the past
# findings kept in findings/.
# Usage: make-seeds.sh OUT SEED_WRITER
set -eu
out=$1
hostile=$2

rm -rf "$out"
mkdir -p "$out/disc" "$out/ships" "$out/tree"

# The tree: a few tiny files, GAMEDAT\X.DAT of 5 bytes for the one-row manifest.
tree=$out/tree
mkdir -p "$tree/HV1/GAMEDAT" "$tree/HV1/STREAMS" "$tree/HV1/EMPTY"
printf HELLO > "$tree/HV1/GAMEDAT/X.DAT"
printf 'mission one\r\n' > "$tree/HV1/GAMEDAT/MISSN01.MIS"
: > "$tree/HV1/GAMEDAT/ZERO.DAT"
printf 'MZ' > "$tree/HV1/HV1.EXE"
printf 'stream' > "$tree/HV1/STREAMS/INTRO.STR"
printf 'readme\n' > "$tree/README.TXT"

mk() {
  name=$1
  shift
  "$(dirname "$0")/../../scripts/make-test-images.sh" --iso "$out/disc/$name" "$tree" -no-pad "$@"
  size=$(wc -c < "$out/disc/$name")
  if [ "$size" -gt 131072 ]; then
    echo "make-seeds: $name is $size bytes, over the 128 KiB the targets take" >&2
    exit 1
  fi
}
mk level1.iso -iso-level 1
mk level2.iso -iso-level 2
mk level2-nover.iso -iso-level 2 -N
mk level3-joliet.iso -iso-level 3 -J
mk level3-rr.iso -iso-level 3 -R
mk level1-joliet-rr.iso -iso-level 1 -J -R
rm -rf "$tree"

"$hostile" "$out/disc"
# Inputs that once broke an invariant stay in the corpus, so every run
# replays them.
for finding in "$(dirname "$0")"/findings/*; do
  cp "$finding" "$out/disc/finding-$(basename "$finding")"
done

# Child output streams: the first byte is the target's mode (see
# fuzz_targets.cpp): 0x04 one byte a poll with a window, 0x41 sixteen a
# poll without one, 0x02 pipe ended at once with idle turns, 0xFE wide polls.
s=$out/ships
printf '\004STEP Fetching\nPROGRESS 1 10\nPROGRESS 10 10\nDONE\n' > "$s/done"
printf '\101STEP Fetching\r\nPROGRESS 3 4\r\nDONE\r\n' > "$s/crlf"
printf '\002ERROR no network\nERROR still none\n' > "$s/errors"
printf '\376PROGRESS 99999999999 +7\nPROGRESS\nPROGRESS  \t 12x 34\nDONE \ndone\nDONE' > "$s/numbers"
printf '\004STEP caf\303\251 \342\234\210\nSTEP \377\376bad\nPROGRESS 1 2\nERROR \n' > "$s/utf8"
printf '\004STEP a\000b\nERROR x\000y\n\000\nDONE\000\n' > "$s/nul"
{ printf '\004STEP '; head -c 600 /dev/zero | tr '\0' 'S'; printf '\nPROGRESS 5 6\n'; } > "$s/long-step"
{ printf '\101'; head -c 600 /dev/zero | tr '\0' 'L'; printf '\nDONE\n'; } > "$s/long-line"
{ printf '\002ERROR '; head -c 700 /dev/zero | tr '\0' 'E'; printf '\n'; } > "$s/long-error"
printf '\005\n\n\r\r\nDONE\n' > "$s/empty-lines"

touch "$out/stamp"
