#!/usr/bin/env bash
# Checks halvorn-disc against an independent program: `list` must see the
# same records as isoinfo on every image given: type, extent, size and path,
# compared as sorted lists (the two walk directories in different orders).
# Exit 0 when they agree. (What `convert` makes of each kind of image is
# checked in tests/disc/tool_test.cpp.)
# Usage: compare-convert.sh HALVORN_DISC ISO...
set -eu
tool=$1
for image in "${@:2}"; do
  # isoinfo without -R/-J shows the primary tree's own identifiers; drop the
  # version suffix and one final dot as the reader does. A record's line:
  # mode, links, owner, group, size, date (3 fields), "[", extent, flags, name.
  diff <("$tool" list "$image" | sort) <(isoinfo -l -i "$image" | awk '
    /^Directory listing of / { dir = substr($4, 2) }
    $9 == "[" && $12 != "." && $12 != ".." {
      sub(/\.?(;.*)?$/, "", $12)
      printf "%s\t%d\t%s\t%s%s\n", substr($1, 1, 1) == "d" ? "d" : "f", $10, $5, dir, $12
    }' | sort) >&2 || { echo "FAIL: isoinfo lists $image otherwise" >&2; exit 1; }
done
