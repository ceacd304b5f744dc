#!/usr/bin/env bash
# Reads the Windows resources back out of the built program with icoutils and
# binutils, and checks them against what the program must carry:
#   - one icon group and seven icons, each a PNG of 16..256 px square, 8-bit RGBA;
#   - a manifest asking for asInvoker, Common Controls 6 and Windows 10/11;
#   - a version resource naming the product and its version;
#   - the GUI subsystem, and imports of system DLLs only (a static runtime).
#
#   check_resources.sh PROGRAM.exe VERSION
# Environment: HV_OBJDUMP (default x86_64-w64-mingw32-objdump).
set -u

exe=${1:?usage: check_resources.sh PROGRAM.exe VERSION}
version=${2:?usage: check_resources.sh PROGRAM.exe VERSION}
objdump=${HV_OBJDUMP:-x86_64-w64-mingw32-objdump}
failures=0

fail() {
  echo "check_resources: FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "check_resources: ok: $*"; }

for tool in wrestool icotool python3 "$objdump"; do
  command -v "$tool" >/dev/null || { echo "check_resources: FAIL: $tool not found" >&2; exit 2; }
done
[ -f "$exe" ] || { echo "check_resources: FAIL: no program at $exe" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! wrestool -l "$exe" >"$work/list" 2>"$work/list.err"; then
  fail "wrestool cannot list the resources of $exe: $(cat "$work/list.err")"
fi

# --- Icons -------------------------------------------------------------------
groups=$(grep -c -- '--type=14 ' "$work/list")
icons=$(grep -c -- '--type=3 ' "$work/list")
[ "$groups" -eq 1 ] && pass "one icon group" || fail "expected 1 icon group (type 14), found $groups"
[ "$icons" -eq 7 ] && pass "seven icons" || fail "expected 7 icons (type 3), found $icons"

sizes=()
for name in $(grep -- '--type=3 ' "$work/list" | sed -n 's/.*--name=\([^ ]*\).*/\1/p'); do
  name=${name//\'/}
  png="$work/icon-$name.png"
  if ! wrestool -x --raw --type=3 --name="$name" "$exe" >"$png" 2>/dev/null; then
    fail "icon $name cannot be extracted"
    continue
  fi
  # Signature (8), IHDR length and type (8), width, height (4 + 4), depth, colour type.
  read -r -a head <<<"$(od -An -v -tu1 -N26 "$png" | tr '\n' ' ')"
  if [ "${#head[@]}" -lt 26 ]; then
    fail "icon $name is too short to be a PNG ($(stat -c %s "$png") bytes)"
    continue
  fi
  magic="${head[*]:0:8}"
  if [ "$magic" != "137 80 78 71 13 10 26 10" ]; then
    fail "icon $name is not stored as PNG (first bytes: $magic)"
    continue
  fi
  chunk=$(printf '%b' "$(printf '\\%03o' "${head[@]:12:4}")")
  [ "$chunk" = "IHDR" ] || { fail "icon $name: PNG does not start with IHDR"; continue; }
  width=$(( (head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19] ))
  height=$(( (head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23] ))
  depth=${head[24]}
  colour=${head[25]}
  [ "$width" -eq "$height" ] || fail "icon $name is not square: ${width}x${height}"
  if [ "$depth" -ne 8 ] || [ "$colour" -ne 6 ]; then
    fail "icon $name (${width}px) is not 8-bit RGBA: bit depth $depth, colour type $colour"
  fi
  sizes+=("$width")
done
found_sizes=$(printf '%s\n' "${sizes[@]}" | sort -n | tr '\n' ' ' | sed 's/ $//')
if [ "$found_sizes" = "16 24 32 48 64 128 256" ]; then
  pass "icon sizes $found_sizes, PNG, RGBA"
else
  fail "icon sizes are '$found_sizes', expected '16 24 32 48 64 128 256'"
fi

# The group as the shell reads it: seven 32-bit entries of the same sizes.
group_name=$(grep -- '--type=14 ' "$work/list" | head -1 | sed -n 's/.*--name=\([^ ]*\).*/\1/p')
group_name=${group_name//\'/}
if [ -n "$group_name" ] &&
   wrestool -x --type=14 --name="$group_name" "$exe" >"$work/group.ico" 2>/dev/null &&
   icotool -l "$work/group.ico" >"$work/group.list" 2>/dev/null; then
  entries=$(grep -c -- '--bit-depth=32' "$work/group.list")
  group_sizes=$(sed -n 's/.*--width=\([0-9]*\) --height=\1 .*/\1/p' "$work/group.list" |
                sort -n | tr '\n' ' ' | sed 's/ $//')
  if [ "$entries" -eq 7 ] && [ "$group_sizes" = "16 24 32 48 64 128 256" ]; then
    pass "icon group lists seven 32-bit entries"
  else
    fail "icon group lists $entries 32-bit entries of sizes '$group_sizes': $(tr '\n' ';' <"$work/group.list")"
  fi
else
  fail "icon group cannot be extracted or read by icotool"
fi

# --- Manifest ----------------------------------------------------------------
manifests=$(grep -c -- '--type=24 ' "$work/list")
if [ "$manifests" -ne 1 ]; then
  fail "expected 1 manifest (type 24), found $manifests"
fi
if grep -q -- "--type=24 --name=1 " "$work/list" &&
   wrestool -x --raw --type=24 --name=1 "$exe" >"$work/manifest.xml" 2>/dev/null; then
  manifest=$(tr -s ' \t\r\n' ' ' <"$work/manifest.xml")
  check_manifest() {  # description, extended regex
    if grep -Eq -- "$2" <<<"$manifest"; then pass "manifest: $1"; else fail "manifest lacks $1"; fi
  }
  check_manifest "requestedExecutionLevel asInvoker" \
    '<requestedExecutionLevel [^>]*level="asInvoker"'
  check_manifest "uiAccess false" '<requestedExecutionLevel [^>]*uiAccess="false"'
  for attr in 'name="Microsoft.Windows.Common-Controls"' 'version="6.0.0.0"' \
              'processorArchitecture="\*"' 'publicKeyToken="6595b64144ccf1df"'; do
    check_manifest "the Common Controls 6 dependency ($attr)" \
      "<dependentAssembly> ?<assemblyIdentity [^>]*$attr"
  done
  check_manifest "supportedOS of Windows 10 and 11" \
    '<supportedOS Id="\{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a\}"'
  if python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' \
       "$work/manifest.xml" 2>"$work/xml.err"; then
    pass "manifest is well-formed XML"
  else
    fail "manifest is not well-formed XML: $(tail -1 "$work/xml.err")"
  fi
else
  fail "no manifest with id 1 (RT_MANIFEST 24, name 1)"
fi

# --- Version -----------------------------------------------------------------
if wrestool -x --raw --type=16 "$exe" >"$work/version.bin" 2>/dev/null && [ -s "$work/version.bin" ]; then
  python3 - "$work/version.bin" "$version" >"$work/version.out" 2>&1 <<'PY'
import re, struct, sys
data = open(sys.argv[1], "rb").read()
want = sys.argv[2]
bad = []
# The fixed part: signature 0xFEEF04BD, then the file and product versions.
at = data.find(struct.pack("<I", 0xFEEF04BD))
parts = [int(p) for p in want.split(".")] + [0, 0, 0, 0]
ms, ls = (parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]
if at < 0:
    bad.append("no VS_FIXEDFILEINFO")
else:
    fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
    if (fms, fls) != (ms, ls):
        bad.append("binary file version %d.%d.%d.%d" % (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF))
    if (pms, pls) != (ms, ls):
        bad.append("binary product version %d.%d.%d.%d" % (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF))
# The strings are UTF-16: key, zero padding to a 4-byte boundary, value.
text = data.decode("utf-16-le", errors="replace")
def value(key):
    m = re.search(key + "\0+([^\0]*)\0", text)
    return m.group(1) if m else None
for key, expected in (("ProductName", "Halvorn Glint"), ("ProductVersion", want),
                      ("FileVersion", want), ("OriginalFilename", "Play Halvorn Glint.exe")):
    got = value(key)
    if got != expected:
        bad.append("%s is %r, expected %r" % (key, got, expected))
for key in ("FileDescription", "InternalName", "LegalCopyright"):
    if not value(key):
        bad.append("%s is missing" % key)
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
  if [ $? -eq 0 ]; then
    pass "version resource: Halvorn Glint $version"
  else
    while IFS= read -r line; do fail "version resource: $line"; done <"$work/version.out"
  fi
else
  fail "no version resource (type 16)"
fi

# --- PE header and imports ---------------------------------------------------
if "$objdump" -p "$exe" >"$work/pe" 2>"$work/pe.err"; then
  subsystem=$(sed -n 's/^Subsystem[[:space:]]*\([0-9a-fA-F]*\).*/\1/p' "$work/pe")
  if [ "$subsystem" = "00000002" ]; then
    pass "GUI subsystem"
  else
    fail "subsystem is '$subsystem', expected 00000002 (Windows GUI)"
  fi
  system_dlls='^(kernel32|user32|gdi32|shell32|comdlg32|comctl32|advapi32|ole32|oleaut32|shlwapi|msvcrt|ucrtbase|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/pe" | tr 'A-Z' 'a-z' | tr -d '\r')
  [ -n "$dlls" ] || fail "no imported DLLs found in the import table"
  for dll in $dlls; do
    if ! grep -Eq "$system_dlls" <<<"$dll"; then
      fail "imports $dll, which is not a system DLL (the runtime must be linked statically)"
    fi
  done
  [ -n "$dlls" ] && pass "imports: $(echo $dlls)"
else
  fail "objdump cannot read $exe: $(cat "$work/pe.err")"
fi

if [ "$failures" -ne 0 ]; then
  echo "check_resources: $failures check(s) failed for $exe" >&2
  exit 1
fi
echo "check_resources: all checks passed for $exe"
