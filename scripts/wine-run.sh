#!/bin/sh
# Runs a Windows program under Wine for the build and its tests:
#   WINEPREFIX=<prefix> scripts/wine-run.sh PROGRAM [ARGUMENTS...]
# Wine's own chatter is off unless WINEDEBUG says otherwise.
#
# The first program of a Wine session starts Wine's services, and they inherit that program's
# standard streams: whoever reads its output (CTest, test discovery) would wait until the session
# ends. So the session is started here, its services detached from our streams, and kept a few
# seconds past its last program, so back-to-back tests start in milliseconds, not seconds.
set -eu
: "${WINEPREFIX:?names the Wine prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"

# One starter at a time: a program that found the server up while its services were still
# starting would start them again, on its own streams.
exec 9>"$WINEPREFIX/.tavrel-session.lock"
flock 9
if wineserver -p10 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
exec 9>&-

exec wine "$@"
