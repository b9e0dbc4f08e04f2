#!/usr/bin/env bash
# Checks the release archives in dist/ (scripts/package.sh writes them) as a server operator uses
# them: the checksums hold; each archive holds exactly the module, the client, README.txt and
# LICENSE in one folder; and, unpacked, the module loads into the stand-in host of the same
# release build and relays a command that the unpacked client sends. The stand-in runtime
# library comes from that build, as a server brings its own. Archives whose programs this machine
# cannot run (32-bit ones where 32-bit programs fail) get the first two checks only, and one line
# says so.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."
here=$(pwd)

# The pipe's name is fixed: the Linux relays run in a network namespace of their own, where no
# running server or other test can take the name from them, nor they from it. (Windows programs
# are kept apart by the release build's own Wine prefix.)
if [ -z "${TAVREL_PRIVATE_NETWORK:-}" ]; then
    for isolate in "unshare --net" "unshare --net --map-root-user"; do
        read -ra command <<<"$isolate"
        if "${command[@]}" true 2>/dev/null; then
            TAVREL_PRIVATE_NETWORK=1 exec "${command[@]}" "$self" "$@"
        fi
    done
    echo "check-archives: no private network namespace here; nothing else may hold the pipe's name" >&2
fi

runs_32_bit=1
if ! why_not_32_bit=$(scripts/runs-32-bit-programs.sh); then
    runs_32_bit=0
fi

scratch=$(mktemp -d)
host=""
cleanup() {
    if [ -n "$host" ]; then
        kill "$host" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "check-archives: $*" >&2
    exit 1
}

# Waits until FILE has a line that starts with TEXT, or the host has ended.
await_line() {
    local file=$1 text=$2
    for _ in $(seq 2400); do
        if grep -q -F -- "$text" "$file" 2>/dev/null; then
            return 0
        fi
        if ! kill -0 "$host" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    fail "no \"$text\" from the host; it said: $(cat "$file")"
}

(cd dist && sha256sum --check --quiet SHA256SUMS) || fail "dist/SHA256SUMS does not match"

checked=()
not_run=()
for archive in dist/tavrel-*; do
    name=$(basename "$archive")
    case $name in
    *-debug.tar.gz | *-debug.zip) continue ;;
    *.tar.gz) folder=${name%.tar.gz} ;;
    *.zip) folder=${name%.zip} ;;
    *) continue ;;
    esac
    kind=${folder#tavrel-*-}
    case $kind in
    linux-x64) preset=release-linux module=tavrel.so client=tavrel-send ;;
    linux-x86) preset=release-linux32 module=tavrel.so client=tavrel-send ;;
    windows-x64) preset=release-windows64 module=tavrel.dll client=tavrel-send.exe arch=win64 ;;
    windows-x86) preset=release-windows module=tavrel.dll client=tavrel-send.exe arch=win32 ;;
    *) fail "$name: unknown kind '$kind'" ;;
    esac

    unpacked=$scratch/$kind
    mkdir -p "$unpacked"
    case $name in
    *.tar.gz) tar -xzf "$archive" -C "$unpacked" ;;
    *.zip) unzip -q "$archive" -d "$unpacked" ;;
    esac
    contents=$(cd "$unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
    expected=$(for file in LICENSE README.txt "$module" "$client"; do
        echo "./$folder/$file"
    done | LC_ALL=C sort | tr '\n' ' ')
    [ "$contents" = "$expected" ] || fail "$name holds [$contents], expected [$expected]"

    if [[ $kind == *-x86 ]] && ((!runs_32_bit)); then
        not_run+=("$kind")
        continue
    fi

    # The module relays one command from the client, then quit; the frame limit ends a host that
    # never hears it.
    dir=$unpacked/$folder
    bin=build/$preset/bin
    log=$scratch/$kind.log
    text="relayed from the unpacked $kind archive"
    if [[ $kind == linux-* ]]; then
        LD_LIBRARY_PATH=$bin "$bin/tavrel-host" --tickrate 100 --frames 6000 "$dir/$module" \
            </dev/null >"$log" 2>&1 &
        host=$!
        await_line "$log" "tavrel-host: loaded $dir/$module"
        "$dir/$client" "echo $text" quit
    else
        wine=(env WINEPREFIX="$here/build/$preset/wineprefix" TAVREL_WINEARCH="$arch"
            scripts/wine-run.sh)
        "${wine[@]}" "$bin/tavrel-host.exe" --tickrate 100 --frames 6000 "Z:$dir/$module" \
            </dev/null >"$log" 2>&1 &
        host=$!
        await_line "$log" "tavrel-host: loaded Z:$dir/$module"
        "${wine[@]}" "$dir/$client" "echo $text" quit
    fi
    status=0
    wait "$host" || status=$?
    host=""
    ((status == 0)) || fail "$kind: the host ended with $status: $(cat "$log")"
    tr -d '\r' <"$log" | grep -qx -- "$text" || fail "$kind: the command was not relayed: $(cat "$log")"
    checked+=("$kind")
done

((${#checked[@]} + ${#not_run[@]})) || fail "no archives in dist/; run scripts/package.sh first"
echo "check-archives: the unpacked module relayed the unpacked client's command: ${checked[*]:-none}"
if ((${#not_run[@]})); then
    echo "check-archives: NOT RUN: loading the unpacked ${not_run[*]} archives (only their" \
        "checksums and contents were checked): $why_not_32_bit"
fi
