#!/bin/sh
# Checks that `halvorn-disc list` sees the same records as isoinfo on every
# image given: type, extent, size and path, compared as sorted lists (the two
# walk directories in different orders). Exit 0 when all agree.
# Usage: compare-disc-listing.sh HALVORN_DISC IMAGE...
set -eu
tool=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
for image in "$@"; do
  "$tool" list "$image" | sort > "$tmp/ours"
  # isoinfo without -R/-J shows the primary tree's own identifiers; drop the
  # version suffix and one final dot as the reader does.
  isoinfo -l -i "$image" | awk '
    /^Directory listing of / { dir = substr($0, 22); sub(/^\//, "", dir); next }
    /\[ *[0-9]+ [0-9a-fA-F]+\]/ {
      extent = $0
      sub(/^.*\[ */, "", extent)
      sub(/ .*$/, "", extent)
      name = $0
      sub(/^.*\] +/, "", name)
      sub(/ $/, "", name)
      if (name == "." || name == "..") next
      sub(/;.*$/, "", name)
      sub(/\.$/, "", name)
      printf "%s\t%s\t%s\t%s%s\n", substr($1, 1, 1) == "d" ? "d" : "f", extent, $5, dir, name
    }' | sort > "$tmp/theirs"
  if cmp -s "$tmp/ours" "$tmp/theirs"; then
    echo "same: $image ($(wc -l < "$tmp/ours") records)"
  else
    echo "DIFFERENT: $image" >&2
    diff "$tmp/ours" "$tmp/theirs" | head -20 >&2
    status=1
  fi
done
exit $status
