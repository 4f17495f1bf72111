#!/usr/bin/env bash
# Starts the built program on the current X display (the test suite runs under
# Xvfb, with no window manager), finds its window by its title, checks that the
# editor's content is 800 by 640 pixels, and ends it once through the "Quit"
# button and once through the window's own close button; both must exit 0.
set -euo pipefail

program=$(realpath "$1")
title="Kelvarin    Quorvel Init File Maker v1.20"
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT

fail() { echo "smoke: $*" >&2; exit 1; }

# Bounding box "WxH+X+Y" of the pixels of one colour in a screenshot.
colour_box() { convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%@' info:; }

run_once() {
    "$program" &
    pid=$!

    # Other tests open and close windows on the same display, which can make
    # a single search fail; it is simply asked again.
    local window=
    for _ in $(seq 1 200); do
        window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window titled '$title'"

    # The content is found by its colours: the status line spans the content's
    # whole width along its bottom 24 pixels, the background fills the rest.
    local status background
    for _ in $(seq 1 25); do
        import -window "$window" "$work/shot.png"
        status=$(colour_box "$work/shot.png" '#8DA3DA')
        background=$(colour_box "$work/shot.png" '#364D95')
        [[ $status == 800x24+* ]] && break
        sleep 0.2
    done
    [[ $status =~ ^800x24\+([0-9]+)\+([0-9]+)$ ]] || fail "status line is $status, not 800x24"
    local x=${BASH_REMATCH[1]} status_y=${BASH_REMATCH[2]}
    [[ $background =~ ^800x616\+${x}\+([0-9]+)$ ]] || fail "background is $background"
    local y=${BASH_REMATCH[1]}
    [ $((status_y - y)) -eq 616 ] || fail "content is not 640 pixels high"

    case $1 in
        quit)  xdotool mousemove --window "$window" $((x + 148 + 30)) $((y + 533 + 12)) click 1 ;;
        close) local width; width=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
               xdotool mousemove --window "$window" $((width - 15)) $((y / 2)) click 1 ;;
    esac

    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    ! kill -0 "$pid" 2>/dev/null || fail "the program did not end within 10 s after $1"
    local rc=0
    wait "$pid" || rc=$?
    pid=
    [ "$rc" -eq 0 ] || fail "exit code $rc after $1"
}

run_once quit
run_once close
