#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux leg natively, the Windows leg under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

# Another compiler's warnings, on the same sources.
cmake --preset linux-clang
cmake --build --preset linux-clang

cmake --preset windows
cmake --build --preset windows
ctest --preset windows

# Each fuzz target for a bounded time from its seed corpus.
scripts/fuzz.sh 30

# The whole Linux suite again under AddressSanitizer (leak checks on) and UBSan; last, so the run
# ends on the test runner's summary.
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan
