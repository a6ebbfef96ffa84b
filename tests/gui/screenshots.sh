#!/usr/bin/env bash
# Screenshots of Velquin.exe with frames and captions, inside a Wine desktop window:
#   screenshots.sh <velquin_gui_tests.exe> <Velquin.exe> <output folder> [copy-to folder]
# The driver loads a patch through the real dialogs and poses; this script takes
# main.png, hunk-tip.png, source-tip.png, patches.png and about.png, and checks that they show
# something. DISPLAY and WINEPREFIX
# come from the caller; under dpi.sh (VELQUIN_DPI) the desktop grows with the DPI and
# the copies are named main-<dpi>dpi.png and about-<dpi>dpi.png, or main-classic.png and
# about-classic.png with visual styles off (VELQUIN_THEME=classic); the tooltips and the
# two patches are copied at 96 DPI, themed, only.
set -euo pipefail

driver=$1
exe=$2
out=$3
copy_to=${4:-}
dpi=${VELQUIN_DPI:-96}
desktop_size="$((800 * (dpi + 96) / 192))x$((600 * (dpi + 96) / 192))"
suffix=""
[ "$dpi" = 96 ] || suffix="-${dpi}dpi"
[ "${VELQUIN_THEME:-}" != classic ] || suffix="-classic$suffix"

fail() { echo "screenshots: $*" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
command -v import >/dev/null || fail "ImageMagick's import is missing"

mkdir -p "$out"
poses=(main hunk-tip source-tip patches about)
rm -f "$out"/*.ready "$out"/*.done "$out"/*.png

# The desktop gives windows the frames a window manager would draw.
wine explorer /desktop=velquin,"$desktop_size" "$(winepath -w "$driver")" --screenshots "$exe" "$out" &
desktop=$!
finish() {
    if kill -0 "$desktop" 2>/dev/null; then kill "$desktop" 2>/dev/null || true; fi
    wait "$desktop" 2>/dev/null || true
}
trap finish EXIT

# The desktop window's place on the screen, as WxH+X+Y.
desktop_geometry() {
    xwininfo -root -tree 2>/dev/null | grep -i 'wine desktop' | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -n 1
}

shoot() {  # pose name
    local name=$1 i
    for i in $(seq 600); do
        [ -e "$out/$name.ready" ] && break
        kill -0 "$desktop" 2>/dev/null || fail "the driver ended before posing $name"
        sleep 0.1
    done
    [ -e "$out/$name.ready" ] || fail "no $name pose within 60 s"
    sleep 0.5  # let the last paint reach the screen
    local geometry
    geometry=$(desktop_geometry || true)
    if [ -n "$geometry" ]; then
        import -window root -crop "$geometry" +repage "$out/$name.png"
    else
        import -window root "$out/$name.png"
    fi
    touch "$out/$name.done"
}

for name in "${poses[@]}"; do shoot "$name"; done

for i in $(seq 300); do
    kill -0 "$desktop" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$desktop" 2>/dev/null; then
    fail "the desktop did not close after the driver was done"
fi
wait "$desktop" || fail "the driver failed"

# A picture that shows something has many colours and is far from flat.
for name in "${poses[@]}"; do
    png="$out/$name.png"
    [ -s "$png" ] || fail "$png is missing"
    read -r colours spread < <(convert "$png" -format '%k %[fx:standard_deviation]\n' info:)
    echo "$name.png: $(identify -format '%wx%h' "$png"), $colours colours, spread $spread"
    [ "$colours" -ge 16 ] || fail "$png has only $colours colours"
    awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' || fail "$png looks blank (spread $spread)"
done
if cmp -s "$out/main.png" "$out/about.png" || cmp -s "$out/hunk-tip.png" "$out/source-tip.png" ||
    cmp -s "$out/main.png" "$out/patches.png"; then
    fail "two pictures are the same"
fi

if [ -n "$copy_to" ]; then
    cp "$out/main.png" "$copy_to/main$suffix.png"
    cp "$out/about.png" "$copy_to/about$suffix.png"
    if [ -z "$suffix" ]; then
        cp "$out/hunk-tip.png" "$copy_to/tooltip-hunk.png"
        cp "$out/source-tip.png" "$copy_to/tooltip-source.png"
        cp "$out/patches.png" "$copy_to/patches.png"
    fi
fi
