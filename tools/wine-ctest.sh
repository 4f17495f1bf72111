#!/usr/bin/env bash
# Runs CTest in the Windows build folder with every test under one wine prefix
# of that folder. The prefix and its server are made ready first, on the
# current X display, and tools/wine-com-broker.py serves the serial tests'
# lines; both end afterwards whatever the outcome.
#
# Usage: tools/wine-ctest.sh BUILD_FOLDER [CTEST ARGS...]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
shift
export QUORVEL_WINEPREFIX="$build/wine"

"$here/tools/wine-run.sh" --prepare

address_file="$build/wine-com-broker.address"
rm -f "$address_file"
python3 "$here/tools/wine-com-broker.py" "$QUORVEL_WINEPREFIX" "$address_file" &
broker=$!
trap 'kill "$broker" 2>/dev/null; wait "$broker" 2>/dev/null; "$here/tools/wine-run.sh" --stop' EXIT

for _ in $(seq 1 100); do
    [ -s "$address_file" ] && break
    kill -0 "$broker" 2>/dev/null || { echo "wine-ctest: the COM broker did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$address_file" ] || { echo "wine-ctest: the COM broker did not start" >&2; exit 1; }
export QUORVEL_WINE_COM_BROKER="$(cat "$address_file")"

cd "$build"
ctest "$@"
