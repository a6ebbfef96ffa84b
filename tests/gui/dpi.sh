#!/usr/bin/env bash
# Runs a command against a Wine prefix of its own whose screen has the given DPI:
#   dpi.sh <dpi> <folder> <command> [arguments...]
# The prefix is made in <folder> from the suite's (WINEPREFIX), so the suite's own
# prefix and its wineserver are left alone while other tests use them: the registry is
# copied and takes the DPI, the system folder is linked, the rest copied. The command
# sees the prefix in WINEPREFIX and the DPI in VELQUIN_DPI; the prefix's wineserver is
# ended and the prefix removed when it is done.
set -euo pipefail

dpi=$1
folder=$2
shift 2

suite=${WINEPREFIX:-}
[ -n "$suite" ] && [ -f "$suite/system.reg" ] || { echo "dpi.sh: WINEPREFIX names no prefix" >&2; exit 2; }
prefix=$folder/prefix
system32=drive_c/windows/system32

finish() {
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap finish EXIT

rm -rf "$prefix"
mkdir -p "$prefix"
tar -C "$suite" --exclude="./$system32" -cf - . | tar -C "$prefix" -xf -
cp -al "$suite/$system32" "$prefix/$system32"

export WINEPREFIX=$prefix VELQUIN_DPI=$dpi
# Wine reads the DPI from here when a process of the prefix starts.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
"$@"
