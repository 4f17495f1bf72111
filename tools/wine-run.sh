#!/usr/bin/env bash
# Runs a Windows executable of the cross-build under wine: the emulator that
# CTest puts before every test command of build-windows.
#
# The wine prefix lives in the build folder (QUORVEL_WINEPREFIX overrides it)
# and is made on first use, without the Mono and Gecko installers asking
# anything; parallel first uses wait for one another. The wine server and
# wine's own system processes are started apart from the program, with their
# output in a log: started from a test they would hold on to CTest's output
# pipe after the test ended, and the server prints object dumps when a
# process ends with serial I/O pending. Output lines lose the CR that Windows
# programs write, so that CTest reads test lists as on Linux.
#
# Usage: tools/wine-run.sh [--prepare | --stop | --exec] [PROGRAM.exe [ARGS...]]
#   --prepare  makes the prefix and starts the server, then returns
#   --stop     ends the server of this prefix and every process in it
#   --exec     becomes the program's process (its pid is the caller's $!),
#              output untouched
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$here/build-windows/wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
log="$WINEPREFIX.log"

prepare() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/.ready" ]; then
        rm -rf "$WINEPREFIX"
        wine wineboot -i >>"$log" 2>&1
        wineserver -w
        touch "$WINEPREFIX/.ready"
    fi
    # Stays until --stop, or a minute after the last program ended.
    if wineserver -p60 >>"$log" 2>&1; then
        wine wineboot >>"$log" 2>&1
    fi
    flock -u 9
    exec 9>&-
}

case "${1:-}" in
    --prepare)
        prepare
        exit 0
        ;;
    --stop)
        [ -d "$WINEPREFIX" ] && wineserver -k >>"$log" 2>&1 || true
        exit 0
        ;;
    --exec)
        shift
        prepare
        exec wine "$@"
        ;;
esac

prepare
set +e
wine "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
