#!/bin/sh
# Makes the fuzz seed corpus OUT/disc/ (images, shared by fuzz_disc_walk and
# fuzz_disc_install): the tests' hostile images from SEED_WRITER, and the past
# findings kept in findings/. (Images a mastering program made added little:
# beside these, a few branches of name comparison and of the root's names,
# which the fuzzer reaches by mutation within seconds.)
# Usage: make-seeds.sh OUT SEED_WRITER
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/disc"
"$2" "$out/disc"
# Inputs that once broke an invariant stay in the corpus, so every run
# replays them.
cp "$(dirname "$0")"/findings/* "$out/disc/"
touch "$out/stamp"
