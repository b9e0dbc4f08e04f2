#!/usr/bin/env bash
# Installs what building and testing need, from Debian packages, only when something is missing.
#   scripts/setup.sh           everything: both Linux legs (the 32-bit one with the compiler's
#                              32-bit mode), both Windows legs (MinGW-w64, Wine), and the tools
#                              the release archives need
#   scripts/setup.sh --linux   only what the native Linux build needs
set -euo pipefail

want_every_leg=1
case "${1:-}" in
--linux) want_every_leg=0 ;;
"") ;;
*)
    echo "usage: scripts/setup.sh [--linux]" >&2
    exit 64
    ;;
esac

packages=(cmake ninja-build g++ clang clang-format libgtest-dev googletest libbenchmark-dev
    libclang-rt-14-dev
    python3 binutils shellcheck)
if ((want_every_leg)); then
    packages+=(g++-multilib g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 zip unzip)
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
# Wine's 32-bit half comes from the i386 architecture.
if ((want_every_leg)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing+=(wine32)
fi

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
# Each Windows test run makes its own Wine prefix when it first needs one.
