#!/usr/bin/env bash
# Checks that the release archives are reproducible: runs scripts/package.sh a second time, from
# a copy of this source tree in another folder (as it is now, without its build output), and
# compares the archives it writes byte for byte with those in dist/, which the first run wrote.
#   scripts/check-reproducible.sh [KIND...]   default: linux-x64, the quickest to build
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
if ((${#kinds[@]} == 0)); then
    kinds=(linux-x64)
fi
# Both runs must stamp the same time, and the copy has no git history to read it from.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar --create --exclude=./.git --exclude=./build --exclude=./dist --exclude=./.cache . |
    tar --extract -C "$copy"
echo "check-reproducible: packaging ${kinds[*]} again in $copy"
"$copy/scripts/package.sh" "${kinds[@]}" >"$copy/package.log" 2>&1 || {
    cat "$copy/package.log" >&2
    echo "check-reproducible: the second run failed" >&2
    exit 1
}

compared=()
for second in "$copy"/dist/tavrel-*; do
    first=dist/$(basename "$second")
    if ! cmp -s "$first" "$second"; then
        echo "check-reproducible: $first differs from the second run's (or is missing)" >&2
        exit 1
    fi
    compared+=("$(basename "$second")")
done
((${#compared[@]})) || {
    echo "check-reproducible: the second run wrote no archives" >&2
    exit 1
}
echo "check-reproducible: the second run, in another folder, gave the same bytes: ${compared[*]}"
