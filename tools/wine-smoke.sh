#!/usr/bin/env bash
# Starts the Windows program under wine on the current X display, finds its
# window by its title, checks that the window is the 800 by 640 editor plus
# frame, and ends it through the "Quit" button; the program must exit with 0.
#
# Usage: tools/wine-smoke.sh PROGRAM.exe
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "$1")"
title="Kelvarin    Quorvel Init File Maker v1.20"
content_width=800
content_height=640

fail() { echo "wine-smoke: $*" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || fail "needs an X display"

pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null || true' EXIT

# The program's working folder is a scratch one, so that nothing it might
# write lands in the tree.
work="$(mktemp -d)"
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
(cd "$work" && exec "$here/tools/wine-run.sh" --exec "$program") &
pid=$!

# The first start in a fresh prefix takes a while; the search ends as soon as
# the window is mapped.
# Other tests open and close windows on the same display, which can make a
# single search fail; it is simply asked again.
window=
for _ in $(seq 1 900); do
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1) || true
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled '$title'"
[ "$(xdotool getwindowname "$window")" = "$title" ] || fail "the title is not '$title'"

# JUCE draws its own title bar and border inside the native window, so the
# content's place follows from the window's size: equal borders left, right
# and bottom, the title bar above.
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
read -r width height <<<"$geometry"
border=$(((width - content_width) / 2))
top=$((height - content_height - border))
[ $((width - content_width)) -ge 0 ] && [ $(((width - content_width) % 2)) -eq 0 ] ||
    fail "the window is $width wide for ${content_width}-pixel content"
[ "$top" -gt "$border" ] && [ "$top" -lt 60 ] || fail "the window is $height high for ${content_height}-pixel content"

# The Quit button spans x 148..211, y 533..557 of the content.
xdotool mousemove --window "$window" $((border + 180)) $((top + 545)) click 1

for _ in $(seq 1 300); do
    if ! kill -0 "$pid" 2>/dev/null; then
        status=0
        wait "$pid" || status=$?
        pid=""
        [ "$status" -eq 0 ] || fail "the program exited with $status"
        echo "wine-smoke: window shown and closed through Quit"
        exit 0
    fi
    sleep 0.1
done
fail "the program did not end within 30 s of the click on Quit"
