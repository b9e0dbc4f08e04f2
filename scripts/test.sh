#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux leg natively, both Windows legs under Wine.
# A machine that cannot run 32-bit programs still builds the 32-bit leg and checks its built files;
# the run then says in one line what it did not run, and why.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

runs_32_bit=1
if ! why_not_32_bit=$(scripts/runs-32-bit-programs.sh); then
    runs_32_bit=0
fi

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

# Another compiler's warnings, on the same sources.
cmake --preset linux-clang
cmake --build --preset linux-clang

# 32-bit Windows, the host's own target.
cmake --preset windows
cmake --build --preset windows
if ((runs_32_bit)); then
    ctest --preset windows
else
    # Listing the other tests would run 32-bit programs: only the checks of the built files run.
    ctest --test-dir build/windows/tests/binary --output-on-failure
    echo "test: NOT RUN: the 32-bit Windows suite under Wine (only its built-file checks ran):" \
        "$why_not_32_bit"
fi

# 64-bit Windows, under 64-bit Wine; runs on every machine.
cmake --preset windows64
cmake --build --preset windows64
ctest --preset windows64

# Each fuzz target for a bounded time from its seed corpus.
scripts/fuzz.sh 30

# The whole Linux suite again under AddressSanitizer (leak checks on) and UBSan; last, so the run
# ends on the test runner's summary.
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan
