#!/usr/bin/env bash
# The one command for a release: builds optimised release builds and writes into dist/, for each
# kind of server, an archive holding the stripped module and client, a short text on installing
# and using them, and the licence; beside it a debug archive with their debug information; and
# SHA256SUMS over every archive.
#   scripts/package.sh            every kind: linux-x64 linux-x86 windows-x64 windows-x86
#   scripts/package.sh KIND...    only these
# Two runs from the same commit give byte-identical archives, wherever the source tree lies: the
# binaries hold no build paths, and every file in an archive has the commit's time
# (SOURCE_DATE_EPOCH, unless set already), root as owner and fixed permissions, in name order.
# CPack would add the files in the order the folder lists them, so GNU tar and zip write the
# archives here.
set -euo pipefail
cd "$(dirname "$0")/.."

all_kinds=(linux-x64 linux-x86 windows-x64 windows-x86)
preset_of() {
    case "$1" in
    linux-x64) echo release-linux ;;
    linux-x86) echo release-linux32 ;;
    windows-x64) echo release-windows64 ;;
    windows-x86) echo release-windows ;;
    *) return 1 ;;
    esac
}
kinds=("$@")
if ((${#kinds[@]} == 0)); then
    kinds=("${all_kinds[@]}")
fi
for kind in "${kinds[@]}"; do
    if ! preset_of "$kind" >/dev/null; then
        echo "usage: scripts/package.sh [KIND...]  (KIND: ${all_kinds[*]})" >&2
        exit 64
    fi
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ] && ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null); then
    echo "package: no git history here; set SOURCE_DATE_EPOCH to the release commit's time" >&2
    exit 64
fi
export SOURCE_DATE_EPOCH
# zip stores local times; the sort order must not depend on the language either.
export TZ=UTC LC_ALL=C

scripts/setup.sh

# Writes the folder ROOT/NAME into ARCHIVE, as a zip or a gzipped tar after its suffix.
write_archive() {
    local root=$1 name=$2 archive=$3
    chmod -R u=rwX,go=rX "$root/$name"
    find "$root/$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    case $archive in
    *.tar.gz)
        tar --create --format=gnu --sort=name --mtime="@$SOURCE_DATE_EPOCH" \
            --owner=0 --group=0 --numeric-owner -C "$root" "$name" | gzip -9 -n >"$archive"
        ;;
    *.zip)
        local output
        output="$(pwd)/$archive"
        # -X: no extra fields, so no owner and no second set of times.
        (cd "$root" && find "$name" -type f | sort | zip -X -q -9 -@ "$output")
        ;;
    esac
}

rm -rf dist build/package
mkdir -p dist build/package
for kind in "${kinds[@]}"; do
    preset=$(preset_of "$kind")
    echo "package: building $kind ($preset)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "build/$preset/CMakeCache.txt")
    name=tavrel-$version-$kind
    suffix=.tar.gz
    if [[ $kind == windows-* ]]; then
        suffix=.zip
    fi
    # The Runtime component is the archive's content; the Debug component its debug files.
    for part in Runtime Debug; do
        cmake --install "build/$preset" --prefix "build/package/$part/$name" --component "$part" \
            >/dev/null
    done
    write_archive build/package/Runtime "$name" "dist/$name$suffix"
    write_archive build/package/Debug "$name" "dist/$name-debug$suffix"
done

sums=$(cd dist && sha256sum -- *)
echo "$sums" >dist/SHA256SUMS
echo "package: in dist/ after ${SECONDS} s:"
for archive in dist/*; do
    echo "  $(basename "$archive"): $(stat -c %s "$archive") bytes"
done
for module in build/package/Runtime/*/tavrel.so build/package/Runtime/*/tavrel.dll; do
    if [ -f "$module" ]; then
        echo "  stripped module $(basename "$(dirname "$module")")/$(basename "$module"):" \
            "$(stat -c %s "$module") bytes"
    fi
done
