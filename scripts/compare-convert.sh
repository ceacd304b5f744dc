#!/usr/bin/env bash
# Checks halvorn-disc against an independent program: `list` must see the
# same records as isoinfo on every image given: type, extent, size and path,
# compared as sorted lists (the two walk directories in different orders).
# Exit 0 when they agree. (What `convert` makes of each kind of image is
# checked in tests/disc/tool_test.cpp.)
# Usage: compare-convert.sh HALVORN_DISC ISO...
set -eu
tool=$1
shift
for image in "$@"; do
  # isoinfo without -R/-J shows the primary tree's own identifiers; drop the
  # version suffix and one final dot as the reader does.
  diff <("$tool" list "$image" | sort) <(isoinfo -l -i "$image" | awk '
    /^Directory listing of / { dir = substr($0, 22); sub(/^\//, "", dir); next }
    /\[ *[0-9]+ [0-9a-fA-F]+\]/ {
      split($0, part, /[][] */)  # part[2]: "EXTENT FLAGS", part[3]: the name and a space
      name = part[3]
      sub(/ $/, "", name)
      if (name == "." || name == "..") next
      sub(/\.?(;.*)?$/, "", name)
      printf "%s\t%d\t%s\t%s%s\n", substr($1, 1, 1) == "d" ? "d" : "f", part[2], $5, dir, name
    }' | sort) >&2 || { echo "FAIL: isoinfo lists $image otherwise" >&2; exit 1; }
done
