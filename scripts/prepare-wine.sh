#!/bin/sh
# Prepares the Wine prefix the Windows tests run in. Safe to run again: an existing prefix is
# left as it is.
#   usage: scripts/prepare-wine.sh PREFIX
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 PREFIX" >&2
    exit 2
fi
prefix=$1

# The marker is written only after wineboot finished, so a half-made prefix is made again.
marker=$prefix/.tavrel-prefix-ready
if [ -f "$marker" ]; then
    exit 0
fi

mkdir -p "$prefix"
export WINEPREFIX="$(cd "$prefix" && pwd)"
export WINEDEBUG=-all
# No desktop integration and no prompts for Mono or Gecko: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
WINEARCH=win32 wineboot -i
wineserver -w
touch "$marker"
