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
