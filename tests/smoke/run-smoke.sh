#!/usr/bin/env bash
# Starts the built program on the X display (Xvfb, no window manager), finds
# its window by title, checks that it ignores SIGXFSZ (a size limit fails a
# save, never ends it), that it is centred and, by colours, that the content
# is 800 by 640 with the status line at the bottom; then ends it through
# "Quit" and through the close button, each with exit code 0.
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "smoke: $*" >&2; exit 1; }
box() { convert "$work/shot.png" -fill black +opaque "$1" -fill white -opaque "$1" -format '%@' info:; }

for how in quit close; do
    env --default-signal=XFSZ "$program" & pid=$!
    # Other tests' windows on the same display can make a search fail once.
    for _ in $(seq 1 200); do
        window=$(xdotool search --onlyvisible --name '^Kelvarin    Quorvel Init File Maker v1.20$' 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window with the program's title"
    read -r wx wy width height < <(xdotool getwindowgeometry "$window" | tr ',x' '  ' | awk '/Position/{x=$2;y=$3} /Geometry/{print x, y, $2, $3}')
    read -r sw sh < <(xdpyinfo | awk '/dimensions:/{split($2, d, "x"); print d[1], d[2]}')
    (( 0x$(awk '/^SigIgn:/{print $2}' "/proc/$pid/status") & 0x1000000 )) || fail "SIGXFSZ is not ignored"
    (( wx - (sw - width) / 2 <= 2 && (sw - width) / 2 - wx <= 2 && wy - (sh - height) / 2 <= 2 && (sh - height) / 2 - wy <= 2 )) || fail "the window is not centred"
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
        xdotool mousemove --window "$window" $((width - 15)) $((y / 2)) click 1
    fi
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$pid" 2>/dev/null || fail "the program did not end within 10 s after $how"
    rc=0; wait "$pid" || rc=$?; pid=
    [ "$rc" -eq 0 ] || fail "exit code $rc after $how"
done
