#!/usr/bin/env bash
# The release is reproducible: two copies of the sources in different folders give
# byte-identical Velquin.exe and zip, and the zip holds what a user needs.
#   reproducible.sh SOURCE_TREE SCRATCH_FOLDER
set -euo pipefail

root=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/one" "$scratch/second/copy"
trap 'rm -rf "$scratch"' EXIT

# The files git would commit, as they are now.
copy_sources() {
    (cd "$root" && git ls-files -z -co --exclude-standard | tar --null -T - -cf -) | (cd "$1" && tar -xf -)
}
copy_sources "$scratch/one"
copy_sources "$scratch/second/copy"

unset VELQUIN_BUILD_DIR  # each copy builds in its own tree
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
for tree in "$scratch/one" "$scratch/second/copy"; do
    (cd "$tree" && ./velquin dist >"$tree.log" 2>&1) || { cat "$tree.log"; echo "FAIL: ./velquin dist in $tree"; exit 1; }
done

status=0
zip=$(cd "$scratch/one" && echo dist/Velquin-*-win64.zip)

# The release's image: ASLR with high entropy, DEP, terminal-server aware, and nothing
# imported beyond the system's own libraries.
python3 - "$scratch/one/build/dist/app/Velquin.exe" <<'PE' || status=1
import struct, sys
image = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", image, 0x3C)[0]
sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
optional = pe + 24
flags = struct.unpack_from("<H", image, optional + 70)[0]
table = optional + optional_size
def offset(rva):
    for i in range(sections):
        size, address, _, raw = struct.unpack_from("<IIII", image, table + 40 * i + 8)
        if address <= rva < address + size:
            return rva - address + raw
    sys.exit("FAIL: RVA %#x is in no section" % rva)
imports, at = [], offset(struct.unpack_from("<I", image, optional + 120)[0])
while struct.unpack_from("<I", image, at + 12)[0]:
    name = offset(struct.unpack_from("<I", image, at + 12)[0])
    imports.append(image[name:image.index(b"\0", name)].decode().lower())
    at += 20
allowed = {n + ".dll" for n in "kernel32 user32 gdi32 comdlg32 shell32 ole32 oleaut32 msvcrt advapi32 shlwapi "
           "imm32 rpcrt4 combase".split()}
wanted = {"HIGH_ENTROPY_VA": 0x20, "DYNAMIC_BASE": 0x40, "NX_COMPAT": 0x100, "TERMINAL_SERVER_AWARE": 0x8000}
print("DllCharacteristics %#06x, imports: %s" % (flags, " ".join(sorted(imports))))
missing = [name for name, bit in wanted.items() if not flags & bit]
foreign = sorted(set(imports) - allowed)
if missing or foreign:
    sys.exit("FAIL: flags missing: %s; imports outside the system's own: %s" % (missing, foreign))
PE
for file in build/dist/app/Velquin.exe "$zip" "$zip.sha256"; do
    if cmp -s "$scratch/one/$file" "$scratch/second/copy/$file"; then
        echo "same: $file"
    else
        echo "FAIL: $file differs between the two builds"
        status=1
    fi
done

(cd "$scratch/one/dist" && sha256sum -c "${zip##*/}.sha256") || { echo "FAIL: the checksum file does not verify"; status=1; }
listing=$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$scratch/one/$zip")
if [ "$listing" != "Velquin.exe README.txt LICENSE.txt" ]; then
    echo "FAIL: the zip holds: $listing"
    status=1
fi
unzipped=$(python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("Velquin.exe"))' \
    "$scratch/one/$zip" | sha256sum | cut -d' ' -f1)
built=$(sha256sum "$scratch/one/build/dist/app/Velquin.exe" | cut -d' ' -f1)
[ "$unzipped" = "$built" ] || { echo "FAIL: the zip's Velquin.exe is not the one built"; status=1; }
exit $status
