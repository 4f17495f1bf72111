#!/usr/bin/env bash
# Starts the built program on the current X display (Xvfb, no window manager),
# finds its window by its title, checks by their colours that the status line
# spans the 800 pixels of the content's bottom 24 and the background the 616
# above, and ends it once through "Quit" and once through the window's close
# button; both must exit 0.
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "smoke: $*" >&2; exit 1; }
box() { convert "$work/shot.png" -fill black +opaque "$1" -fill white -opaque "$1" -format '%@' info:; }

for how in quit close; do
    "$program" & pid=$!
    # Other tests' windows on the same display can make a search fail once.
    for _ in $(seq 1 200); do
        window=$(xdotool search --onlyvisible --name '^Kelvarin    Quorvel Init File Maker v1.20$' 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window with the program's title"
    for _ in $(seq 1 25); do
        import -window "$window" "$work/shot.png"
        status=$(box '#8DA3DA')
        [[ $status == 800x24+* ]] && break
        sleep 0.2
    done
    [[ $status =~ ^800x24\+([0-9]+)\+([0-9]+)$ ]] || fail "status line is $status, not 800x24"
    x=${BASH_REMATCH[1]} y=$((BASH_REMATCH[2] - 616))
    [[ $(box '#364D95') == "800x616+$x+$y" ]] || fail "the background is not the 800x616 above the status line"

    if [ "$how" = quit ]; then
        xdotool mousemove --window "$window" $((x + 148 + 30)) $((y + 533 + 12)) click 1
    else
        width=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
        xdotool mousemove --window "$window" $((width - 15)) $((y / 2)) click 1
    fi
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$pid" 2>/dev/null || fail "the program did not end within 10 s after $how"
    rc=0; wait "$pid" || rc=$?; pid=
    [ "$rc" -eq 0 ] || fail "exit code $rc after $how"
done
