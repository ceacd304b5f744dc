#!/usr/bin/env bash
# Reads the Windows resources back out of the built program and checks what
# a person's system goes by: the icon in seven sizes; a manifest that parses
# (Windows refuses to start a program whose manifest does not), runs the
# program asInvoker and asks for Common Controls 6; the version; the GUI
# subsystem (no console window); and only the system's DLLs (a static runtime).
#
#   check_resources.sh PROGRAM.exe VERSION
# Environment: HV_OBJDUMP (default x86_64-w64-mingw32-objdump).
exe=${1:?usage: check_resources.sh PROGRAM.exe VERSION}
version=${2:?usage: check_resources.sh PROGRAM.exe VERSION}
fail() {
  echo "check_resources: FAIL: $*" >&2
  exit 1
}
resource() { wrestool -x --raw --type="$1" --name=1 "$exe"; }

# The icon group as the shell reads it: one 32-bit entry per size. After a
# 6-byte header, 14 bytes an entry: width and height (0 for 256) first, the
# bit depth at 6.
sizes=$(resource 14 | od -An -v -tu1 -j 6 -w14 | awk '$1 == $2 && $7 == 32 {print $1 ? $1 : 256}')
[ "$(echo $sizes)" = "16 24 32 48 64 128 256" ] || fail "32-bit icon sizes are '$(echo $sizes)'"

# The manifest the loader reads (RT_MANIFEST 24, id 1).
resource 24 | python3 -c 'import sys, xml.dom.minidom as x; x.parse(sys.stdin)' ||
  fail "the manifest does not parse"
manifest=$(resource 24 | tr -s ' \n' ' ')
grep -q '<requestedExecutionLevel level="asInvoker"' <<<"$manifest" || fail "not asInvoker"
cc6='name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"[^>]* '
grep -Eq "$cc6"'publicKeyToken="6595b64144ccf1df"' <<<"$manifest" || fail "manifest: no CC 6"

# The version resource: its fixed part (at 40, after the header and key)
# starts with the signature 0xFEEF04BD and version 1.0, then holds the file
# and product versions as two pairs of 16-bit halves, low word first; its
# strings are UTF-16, each key followed by its value.
IFS=. read -r a b c d _ <<<"$version.0.0.0"
fixed=$(resource 16 | od -An -tu2 -j 40 -N 24 | tr -s ' \n' ' ')
[ "$fixed" = " 1213 65263 0 1 $b $a $d $c $b $a $d $c " ] ||
  fail "version: the fixed part ($fixed) does not hold $version"
strings=$(resource 16 | strings -el -n 1 | tr '\n' '|')
for pair in "ProductName|Halvorn Glint" "ProductVersion|$version" "FileVersion|$version"; do
  grep -qF "|$pair|" <<<"|$strings" || fail "version: no $pair"
done

pe=$("${HV_OBJDUMP:-x86_64-w64-mingw32-objdump}" -p "$exe") || fail "objdump cannot read $exe"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$pe" || fail "not the Windows GUI subsystem"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$pe" | tr 'A-Z' 'a-z')
system='^(kernel32|user32|gdi32|shell32|comdlg32|comctl32|advapi32|ole32|oleaut32|shlwapi|msvcrt|ucrtbase|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
grep -qx 'kernel32.dll' <<<"$dlls" && ! grep -Evq "$system" <<<"$dlls" ||
  fail "imports '$(echo $dlls)': only the system's DLLs (a static runtime)"
