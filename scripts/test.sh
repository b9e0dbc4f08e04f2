#!/usr/bin/env bash
# Sets up, builds and runs every test: both Linux legs natively, both Windows legs under Wine, and
# the release archives (written, unpacked and run, and built twice to compare).
# A machine that cannot run 32-bit programs still builds the 32-bit legs and checks their built
# files; the run then says in one line per leg what it did not run, and why.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# The scripts pass shellcheck and the sources are formatted.
scripts/lint.sh

runs_32_bit=1
if ! why_not_32_bit=$(scripts/runs-32-bit-programs.sh); then
    runs_32_bit=0
fi

# A 32-bit leg: built on every machine; its suite runs where 32-bit programs run, elsewhere only
# the checks of its built files (listing the other tests would run 32-bit programs).
test_32_bit_leg() {
    local preset=$1 suite=$2
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    if ((runs_32_bit)); then
        ctest --preset "$preset"
    else
        ctest --test-dir "build/$preset/tests/binary" --output-on-failure
        echo "test: NOT RUN: $suite (only its built-file checks ran): $why_not_32_bit"
    fi
}

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

# Another compiler's warnings, on the same sources.
cmake --preset linux-clang
cmake --build --preset linux-clang

# 32-bit Linux, for 32-bit servers.
test_32_bit_leg linux32 "the 32-bit Linux suite"

# 32-bit Windows, the host's own target.
test_32_bit_leg windows "the 32-bit Windows suite under Wine"

# 64-bit Windows, under 64-bit Wine; runs on every machine.
cmake --preset windows64
cmake --build --preset windows64
ctest --preset windows64

# The release: every archive, then each unpacked and run, then one built again elsewhere.
scripts/package.sh
scripts/check-archives.sh
scripts/check-reproducible.sh

# Each fuzz target for a bounded time from its seed corpus.
scripts/fuzz.sh 30

# The whole Linux suite again under AddressSanitizer (leak checks on) and UBSan; last, so the run
# ends on the test runner's summary.
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan
