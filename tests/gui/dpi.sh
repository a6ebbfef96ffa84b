#!/usr/bin/env bash
# Runs a command against a Wine prefix of its own whose screen has the given DPI:
#   dpi.sh <dpi> <folder> <command> [arguments...]
# With VELQUIN_THEME=classic visual styles are off in it; otherwise the prefix keeps the
# theme Wine gives every new prefix, and VELQUIN_THEME says "themed".
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
# The suite's wineserver may save its registry meanwhile: it writes a new file and
# renames it, so a changed folder (tar's status 1) still copies whole files.
{ tar -C "$suite" --exclude="./$system32" --warning=no-file-changed -cf - . || [ $? -eq 1 ]; } |
    tar -C "$prefix" -xf -
cp -al "$suite/$system32" "$prefix/$system32"

export WINEPREFIX=$prefix VELQUIN_DPI=$dpi VELQUIN_THEME=${VELQUIN_THEME:-themed}
# Wine reads the DPI and the theme from here when a process of the prefix starts.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
if [ "$VELQUIN_THEME" = classic ]; then
    wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /t REG_SZ /d 0 /f \
        >/dev/null 2>&1 </dev/null
fi
"$@"
