#!/bin/sh
# Makes the fuzz seed corpora under OUT: OUT/disc/ (images, shared by
# fuzz_disc_walk and fuzz_disc_install) and OUT/ships/ (child output streams
# for fuzz_ship_protocol). Images are tiny xorriso images of a small HV1 tree
# in several formats, the tests' hostile images from SEED_WRITER, and the past
# findings kept in findings/.
# Usage: make-seeds.sh OUT SEED_WRITER
set -eu
out=$1
tree=$out/tree
rm -rf "$out"
mkdir -p "$out/disc" "$out/ships" "$tree/HV1/GAMEDAT" "$tree/HV1/STREAMS" "$tree/HV1/EMPTY"

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

# Child output streams: the first byte is the target's mode (see
# fuzz_targets.cpp): 0x04 one byte a poll with a window, 0x41 sixteen a
# poll without one, 0x02 pipe ended at once with idle turns, 0xFE wide polls.
# Between them: CR LF, empty lines, NUL bytes, bad UTF-8, big numbers, lines
# of 600 and 700 bytes.
cd "$out/ships"
printf '\004STEP caf\303\251 \342\234\210\nPROGRESS 1 10\nSTEP \377\376bad\nDONE\n' > done
printf '\101STEP Fetching\r\nPROGRESS 3 4\r\n\n\r\r\nDONE\r\n' > crlf
printf '\002ERROR no network\nSTEP a\000b\nERROR x\000y\n\000\nERROR \n' > errors
printf '\376PROGRESS 99999999999 +7\nPROGRESS\nPROGRESS  \t 12x 34\nDONE \ndone\nDONE' > numbers
printf '\004STEP %s\nPROGRESS 5 6\n%s\nERROR %s\n' "$(printf %600s | tr ' ' S)" \
  "$(printf %600s | tr ' ' L)" "$(printf %700s | tr ' ' E)" > long

touch ../stamp
