#!/bin/sh
# Makes the fuzz seed corpus OUT/disc/ (images, shared by fuzz_disc_walk and
# fuzz_disc_install). Images are tiny xorriso images of a small HV1 tree
# in several formats, the tests' hostile images from SEED_WRITER, and the past
# findings kept in findings/.
# Usage: make-seeds.sh OUT SEED_WRITER
set -eu
out=$1
tree=$out/tree
rm -rf "$out"
mkdir -p "$out/disc" "$tree/HV1/GAMEDAT" "$tree/HV1/STREAMS" "$tree/HV1/EMPTY"

# The tree: a few tiny files, an empty one, GAMEDAT\X.DAT of 5 bytes for the
# one-row manifest.
printf HELLO > "$tree/HV1/GAMEDAT/X.DAT"
: > "$tree/HV1/GAMEDAT/ZERO.DAT"
printf 'stream' > "$tree/HV1/STREAMS/INTRO.STR"
printf 'readme\n' > "$tree/README.TXT"
for level in "1" "2" "2 -N" "3 -J" "3 -R" "1 -J -R"; do
  iso=$out/disc/level$(echo "$level" | tr -d ' ').iso
  # Unpadded, each is about 80 KiB: within the 128 KiB the targets take.
  # shellcheck disable=SC2086 # a level and its options, as words
  "$(dirname "$0")/../../scripts/make-test-images.sh" --iso "$iso" "$tree" -no-pad -iso-level $level
done

"$2" "$out/disc"
# Inputs that once broke an invariant stay in the corpus, so every run
# replays them.
cp "$(dirname "$0")"/findings/* "$out/disc/"

touch "$out/stamp"
