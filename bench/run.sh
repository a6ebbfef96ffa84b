#!/usr/bin/env bash
# Runs the benchmarks and prints their figures: the engine natively over the in-memory
# list, LoadPatch and ApplyPatch against the real list box under Wine, then the
# program's main window through its commands under Wine.
#   bench/run.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
# Wine needs DISPLAY and WINEPREFIX from the caller; without a display the Windows
# bench runs on a virtual one of its own when xvfb-run is there.
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 NATIVE_BUILD_DIR WINDOWS_BUILD_DIR" >&2
    exit 2
fi
native=$1/bench/velquin_engine_bench
windows=$2/bench/velquin_list_bench.exe
limit=${VELQUIN_BENCH_TIMEOUT:-1200}  # seconds for each bench
status=0

echo "== Engine, native build, in-memory list"
if [ -x "$native" ]; then
    timeout "$limit" "$native" || { echo "native bench failed ($?)"; status=1; }
else
    echo "missing $native: configure $1 with -DVELQUIN_BENCH=ON and build it"
    status=1
fi

echo
echo "== Real list box, Windows build"
if [ ! -f "$windows" ]; then
    echo "missing $windows: configure $2 for Windows with -DVELQUIN_BENCH=ON and build it"
    exit 1
fi
if [ "$(uname -s)" != Linux ]; then
    timeout "$limit" "$windows" || { echo "Windows bench failed ($?)"; status=1; }
    timeout "$limit" "$windows" --window || { echo "Windows window bench failed ($?)"; status=1; }
    exit $status
fi
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
run=(wine "$windows")
if [ -z "${DISPLAY:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        echo "no DISPLAY and no xvfb-run: the Windows bench needs a display"
        exit 1
    fi
    run=(xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}")
fi
timeout "$limit" "${run[@]}" </dev/null || { echo "Windows bench failed ($?)"; status=1; }

# The main window on a desktop of Wine's own: with no window manager on the display, Wine
# would wait two seconds for one each time a window closes.
echo
echo "== The main window, Windows build"
timeout "$limit" "${run[@]:0:${#run[@]}-1}" explorer /desktop=velquin-bench,1280x1024 "$windows" --window </dev/null ||
    { echo "Windows window bench failed ($?)"; status=1; }
exit $status
