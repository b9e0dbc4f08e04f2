#!/bin/sh
# Runs a Windows program under Wine for the build and its tests:
#   WINEPREFIX=<prefix> TAVREL_WINEARCH=win32|win64 scripts/wine-run.sh PROGRAM [ARGUMENTS...]
# Wine's own chatter is off unless WINEDEBUG says otherwise. The prefix is made on first use.
#
# The first program of a Wine session starts Wine's services, and they inherit that program's
# standard streams: whoever reads its output (CTest, test discovery) would wait until the session
# ends. So the session is started here, its services detached from our streams, and kept a few
# seconds past its last program, so back-to-back tests start in milliseconds, not seconds.
set -eu
: "${WINEPREFIX:?names the Wine prefix}"
arch=${TAVREL_WINEARCH:-win32}
export WINEDEBUG="${WINEDEBUG:--all}"
here=$(dirname "$0")
# shellcheck source=wine-loader.sh
. "$here/wine-loader.sh"

# One starter at a time: a program that found the server up while its services were still
# starting would start them again, on its own streams. The same lock guards making the prefix.
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX/.tavrel-session.lock"
flock 9
"$here/prepare-wine.sh" "$WINEPREFIX" "$arch" 9>&-
if wineserver -p10 </dev/null >/dev/null 2>&1 9>&-; then
    run_wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
exec 9>&-

run_wine "$@"
