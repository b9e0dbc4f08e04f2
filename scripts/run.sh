#!/usr/bin/env bash
# Sets up, builds the Linux leg and starts the stand-in host with the module. Arguments go to
# tavrel-host (try --help). Send it commands from another terminal:
#   build/linux/bin/tavrel-send status
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux --target tavrel-host tavrel-send tavrel tier0 >/dev/null
exec build/linux/bin/tavrel-host "$@"
