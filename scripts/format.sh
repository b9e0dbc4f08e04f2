#!/usr/bin/env bash
# Formats the project's C++ sources with the root .clang-format:
#   scripts/format.sh           rewrites every file that is not formatted
#   scripts/format.sh --check   changes nothing, lists the files that are not formatted
# Exit codes: 0 done (with --check: every file formatted), 1 unformatted files found (--check),
# 64 usage, 69 no clang-format. CLANG_FORMAT names another clang-format to use.
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
case "$#:${1:-}" in
0:) ;;
1:--check) check=true ;;
*)
    echo "usage: scripts/format.sh [--check]" >&2
    exit 64
    ;;
esac

# The style file is written for clang-format 14; another version may format differently.
formatter="${CLANG_FORMAT:-}"
if [[ -z "$formatter" ]]; then
    for candidate in clang-format-14 clang-format; do
        if command -v "$candidate" >/dev/null; then
            formatter="$candidate"
            break
        fi
    done
fi
if [[ -z "$formatter" ]] || ! command -v "$formatter" >/dev/null; then
    echo "format: no clang-format found (install clang-format-14, or set CLANG_FORMAT)" >&2
    exit 69
fi

# The tracked sources in a work tree; every source outside the build folders elsewhere.
files=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    while IFS= read -r -d '' file; do
        files+=("$file")
    done < <(git ls-files -z -- '*.cpp' '*.h')
else
    while IFS= read -r -d '' file; do
        files+=("$file")
    done < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
fi

if ! $check; then
    if ((${#files[@]} > 0)); then
        "$formatter" -i --style=file -- "${files[@]}"
    fi
    exit 0
fi

unformatted=0
for file in "${files[@]}"; do
    if ! "$formatter" --style=file -- "$file" | cmp -s - "$file"; then
        echo "$file"
        unformatted=$((unformatted + 1))
    fi
done
if ((unformatted > 0)); then
    echo "format: $unformatted file(s) not formatted; scripts/format.sh formats them" >&2
    exit 1
fi
