#!/bin/sh
# Prepares a Wine prefix for the Windows tests. Safe to run again: a prefix that is ready is left
# as it is. wine-run.sh calls this before the first program, so building never needs Wine.
#   usage: scripts/prepare-wine.sh PREFIX win32|win64
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 PREFIX win32|win64" >&2
    exit 64
fi
prefix=$1
arch=$2
# shellcheck source=wine-loader.sh
. "$(dirname "$0")/wine-loader.sh"

# The marker is written only after wineboot finished, so a half-made prefix is made again.
marker=$prefix/.tavrel-prefix-ready
if [ -f "$marker" ]; then
    exit 0
fi

mkdir -p "$prefix"
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop integration and no prompts for Mono or Gecko: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
export WINEARCH="$arch"
run_wine wineboot.exe -i </dev/null >/dev/null 2>&1 || {
    echo "prepare-wine: wineboot failed for the $arch prefix $prefix" >&2
    exit 1
}
wineserver -w
touch "$marker"
