#!/usr/bin/env bash
# The main job: builds the Linux launcher and a demo release folder, then runs
# a first start (setup from a generated disc image, the ship models with their
# progress, the game started) and a second start that goes straight to the
# game, and prints the setup log.
#
#   scripts/demo.sh                unattended: --setup-from IMAGE --ships-yes
#   scripts/demo.sh --interactive  answer the questions at the terminal
#   HV_DEMO_SHIPS_FAIL=1 scripts/demo.sh   the ship setup fails (see the retry)
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh demo
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target launcher halvorn_disc hv_fixtures

demo=$PWD/build/demo
root="$demo/Halvorn Glint"
image=$demo/morvath-saga-disc1.iso
rm -rf "$root"
mkdir -p "$root/bin/python" "$root/tools" "$root/models" "$root/cutscenes"
cp build/linux/play-halvorn-glint "$root/"
cp build/linux/fixtures/hv1-glint.exe "$root/bin/hv1-glint.exe"
ln -s "$(python3 -c 'import sys; print(sys.executable)')" "$root/bin/python/python.exe"
cp scripts/demo/install_ships.py "$root/tools/install_ships.py"
if [ ! -s "$image" ]; then
  echo "== making a disc image that matches the manifest (placeholder contents)"
  build/linux/halvorn-disc manifest > "$demo/manifest.tsv"
  scripts/make-test-images.sh --game "$demo/manifest.tsv" "$image"
fi
export HV_STANDIN_RECORD="$root/game-started.txt"

echo "== first start"
if [ "${1:-}" = "--interactive" ]; then
  echo "(the image is $image)"
  "$root/play-halvorn-glint" && first=0 || first=$?
else
  echo "\$ play-halvorn-glint --setup-from $image --ships-yes"
  "$root/play-halvorn-glint" --setup-from "$image" --ships-yes && first=0 || first=$?
fi
echo "exit code $first"
echo "== second start"
echo "\$ play-halvorn-glint"
"$root/play-halvorn-glint" && second=0 || second=$?
echo "exit code $second"
sleep 0.2
echo "== the game program was started like this:"
cat "$root/game-started.txt" 2>/dev/null || echo "(not started)"
echo "== setup.log"
cat "$root/setup.log"
[ "$first" = 0 ] && [ "$second" = 0 ]
