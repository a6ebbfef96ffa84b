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

# The release's image: ASLR with high entropy, DEP, terminal-server aware, and only the
# system's own libraries imported.
pe=$(x86_64-w64-mingw32-objdump -p "$scratch/one/build/dist/app/Velquin.exe")
flags=$((16#$(awk '/^DllCharacteristics/ {print $2}' <<<"$pe")))
imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$pe" | sort)
printf 'DllCharacteristics %#06x; imports: %s\n' "$flags" "$(echo $imports)"
((flags & 0x20 && flags & 0x40 && flags & 0x100 && flags & 0x8000)) ||
    { echo "FAIL: ASLR (high entropy), DEP or terminal-server awareness is off"; status=1; }
system='(kernel32|user32|gdi32|comdlg32|shell32|ole32|oleaut32|msvcrt|advapi32|shlwapi|imm32|rpcrt4|combase)\.dll'
foreign=$(grep -vxE "$system" <<<"$imports" || true)
[ -z "$foreign" ] || { echo "FAIL: imports beyond the system's own:" $foreign; status=1; }

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
