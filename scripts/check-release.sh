#!/usr/bin/env bash
# Checks that the release is reproducible and whole:
#   1. builds the Windows package here (build/windows), then again from a copy
#      of this tree in another folder, with another time zone and umask, and
#      compares the bytes of both programs and of the zip; the copy is made as
#      a source archive is unpacked (no .git, every file with the commit's
#      time) and packaged without SOURCE_DATE_EPOCH, so the zip must take the
#      time from the files;
#   2. unpacks the zip and checks what it holds: exactly the listed entries,
#      the programs as built, SHA256SUMS matching every file, and the zip's
#      own .sha256.
# The programs are built without SOURCE_DATE_EPOCH, which the linker would
# otherwise take for the header's time; only the zip takes its entries' time
# from it (default: the last commit's time). Exits 1 on any difference.
# HV_JOBS: parallel jobs (2).
set -u
cd "$(dirname "$0")/.."
jobs=${HV_JOBS:-2}
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
unset SOURCE_DATE_EPOCH
status=0
fail() { echo "check-release: FAIL: $*"; status=1; }

# package [EPOCH]: the programs and the zip, its time EPOCH when given.
# A folder already configured is not configured again: the Windows tests may
# be running from it.
package() {
  { [ -f build/windows/CMakeCache.txt ] || cmake --preset windows >/dev/null; } &&
    cmake --build --preset windows -j"$jobs" --target launcher halvorn_disc &&
    if [ -n "${1:-}" ]; then
      SOURCE_DATE_EPOCH=$1 cmake --build --preset windows --target package
    else
      cmake --build --preset windows --target package
    fi
}
package "$epoch" >/dev/null || { echo "check-release: FAIL: the package does not build here"; exit 1; }

other=$(mktemp -d /tmp/hv-rebuild.XXXXXX)
trap 'rm -rf "$other"' EXIT
# The tree as it is, committed or not, without this folder's builds.
mkdir "$other/another-source"
git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -x -C "$other/another-source"
find "$other/another-source" -exec touch -h -d "@$epoch" {} +
(cd "$other/another-source" && umask 077 && TZ=Pacific/Kiritimati package >/dev/null) ||
  { echo "check-release: FAIL: the package does not build in $other/another-source"; exit 1; }

zip_name=$(cd build/windows && ls play-halvorn-glint-*-windows.zip)
for file in "Play Halvorn Glint.exe" halvorn-disc.exe "$zip_name"; do
  a="build/windows/$file" b="$other/another-source/build/windows/$file"
  if cmp -s "$a" "$b"; then
    echo "check-release: ok: $file is byte-identical in both builds ($(sha256sum < "$a" | cut -c1-16)...)"
  else
    fail "$file differs between the builds: $(cmp -l "$a" "$b" 2>&1 | wc -l) bytes, first: $(cmp "$a" "$b" 2>&1)"
  fi
done

unpacked="$other/unpacked"
mkdir "$unpacked"
bsdtar -xf "build/windows/$zip_name" -C "$unpacked" || fail "the zip does not unpack"
listed=$(bsdtar -tf "build/windows/$zip_name" | tr '\n' '|')
expected='Play Halvorn Glint.exe|README.txt|tools/halvorn-disc.exe|SHA256SUMS|'
[ "$listed" = "$expected" ] || fail "the zip holds '$listed', expected '$expected'"
cmp -s "$unpacked/Play Halvorn Glint.exe" "build/windows/Play Halvorn Glint.exe" ||
  fail "the zip's launcher is not the one built"
cmp -s "$unpacked/tools/halvorn-disc.exe" build/windows/halvorn-disc.exe ||
  fail "the zip's halvorn-disc.exe is not the one built"
summed=$(cut -c67- "$unpacked/SHA256SUMS" | sort | tr '\n' '|')
held=$(cd "$unpacked" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | tr '\n' '|')
[ "$summed" = "$held" ] || fail "SHA256SUMS lists '$summed', the zip holds '$held'"
(cd "$unpacked" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not match the contents"
(cd build/windows && sha256sum --quiet --strict -c "$zip_name.sha256") || fail "$zip_name.sha256 does not match the zip"
[ "$status" = 0 ] && echo "check-release: ok: $zip_name holds what it lists, and its sums check"
exit $status
