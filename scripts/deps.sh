#!/usr/bin/env bash
# Installs what a command needs, when it is missing (Debian, as root).
#   scripts/deps.sh demo   the main job: the Linux build and the image maker
#   scripts/deps.sh        every test: both builds, Wine and Xvfb, the
#                          sanitizers and fuzzers, the image tools
#   scripts/deps.sh bench  every test's, and the programs the benchmarks
#                          measure the tool against
set -eu
need=()
have() { command -v "$1" >/dev/null 2>&1; }

# The Linux build (its configure reads GoogleTest's sources) and the image maker.
have cmake || need+=(cmake)
have make || need+=(make)
have g++ || need+=(g++)
have python3 || need+=(python3)
have xorriso || need+=(xorriso)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)

if [ "${1:-test}" != demo ]; then
  have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
  have wine || need+=(wine wine64)
  have Xvfb || need+=(xvfb)
  have xdotool || need+=(xdotool)
  have xwd || need+=(x11-apps)
  have isoinfo || need+=(genisoimage)
  have wrestool || need+=(icoutils)
  have bsdtar || need+=(libarchive-tools)
  have clang++ || need+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    need+=(libclang-rt-dev)
  [ -x /usr/bin/time ] || need+=(time)
  [ -x /usr/bin/convert ] || need+=(imagemagick)
fi
[ "${1:-test}" = bench ] && { have bchunk || need+=(bchunk); }
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing packages: ${need[*]} (run as root, or: sudo apt-get install ${need[*]})" >&2
  exit 1
fi
echo "installing: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
