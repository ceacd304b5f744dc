#!/usr/bin/env bash
# Reads the Windows resources back out of the built program and checks what
# a person's system goes by: the icon in seven sizes; a manifest that parses
# (Windows refuses to start a program whose manifest does not), runs the
# program asInvoker and asks for Common Controls 6; the version; the GUI
# subsystem (no console window); and only the system's DLLs (a static runtime).
#
#   check_resources.sh PROGRAM.exe VERSION
# Environment: HV_OBJDUMP (default x86_64-w64-mingw32-objdump).
set -u
exe=${1:?usage: check_resources.sh PROGRAM.exe VERSION}
version=${2:?usage: check_resources.sh PROGRAM.exe VERSION}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "check_resources: FAIL: $*" >&2
  exit 1
}

# The icon group as the shell reads it: one 32-bit entry per size.
wrestool -x --type=14 --name=1 "$exe" > "$work/icon.ico"
sizes=$(icotool -l "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\) --height=\1 --bit-depth=32 .*/\1/p')
[ "$(echo $sizes)" = "16 24 32 48 64 128 256" ] || fail "32-bit icon sizes are '$(echo $sizes)'"

# The manifest the loader reads (RT_MANIFEST 24, id 1) and the version
# resource, both against what they must say.
wrestool -x --raw --type=24 --name=1 "$exe" > "$work/manifest.xml"
wrestool -x --raw --type=16 --name=1 "$exe" > "$work/version.bin"
python3 - "$work/manifest.xml" "$work/version.bin" "$version" <<'PY' || fail "the manifest or version resource (above)"
import re, struct, sys, xml.dom.minidom
doc = xml.dom.minidom.parse(sys.argv[1])
attrs = lambda tag, *names: [tuple(e.getAttribute(n) for n in names)
                             for e in doc.getElementsByTagName(tag)]
assert attrs("requestedExecutionLevel", "level") == [("asInvoker",)], "manifest: not asInvoker"
assert ("Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df") in attrs(
    "assemblyIdentity", "name", "version", "publicKeyToken"), "manifest: no Common Controls 6"
# The fixed part (after its signature 0xFEEF04BD) holds the file and product
# versions as two pairs of 16-bit halves; the strings are UTF-16, each key
# padded with zeros before its value.
data, want = open(sys.argv[2], "rb").read(), sys.argv[3]
v = [int(p) for p in (want.split(".") + ["0"] * 4)[:4]]
at = data.find(struct.pack("<I", 0xFEEF04BD))
assert at >= 0 and struct.unpack_from("<4I", data, at + 8) == ((v[0] << 16) | v[1],
    (v[2] << 16) | v[3]) * 2, "version: the fixed file and product versions are not " + want
text = data.decode("utf-16-le", "replace")
for key, value in (("ProductName", "Halvorn Glint"), ("ProductVersion", want), ("FileVersion", want)):
    assert re.search(key + "\0+" + re.escape(value) + "\0", text), "version: %s is not " % key + value
PY

"${HV_OBJDUMP:-x86_64-w64-mingw32-objdump}" -p "$exe" > "$work/pe" || fail "objdump cannot read $exe"
grep -Eq '^Subsystem[[:space:]]+00000002' "$work/pe" || fail "not the Windows GUI subsystem"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/pe" | tr 'A-Z' 'a-z')
system='^(kernel32|user32|gdi32|shell32|comdlg32|comctl32|advapi32|ole32|oleaut32|shlwapi|msvcrt|ucrtbase|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
if ! grep -qx 'kernel32.dll' <<<"$dlls" || grep -Evq "$system" <<<"$dlls"; then
  fail "imports '$(echo $dlls)': only the system's DLLs (a static runtime)"
fi
echo "check_resources: all checks passed for $exe"
