#!/usr/bin/env bash
# The checks that need no build: shellcheck over the scripts, and that the C++ sources are
# formatted (scripts/format.sh --check). Runs both and reports each.
# Exit codes: 0 clean, 1 a check found something, 69 shellcheck or clang-format is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v shellcheck >/dev/null; then
    echo "lint: shellcheck not found (install shellcheck)" >&2
    exit 69
fi

status=0
# .shellcheckrc at the root lets it follow the scripts' source lines.
scripts=(scripts/*.sh .ci/run)
if ! shellcheck -- "${scripts[@]}"; then
    echo "lint: shellcheck found problems in scripts/" >&2
    status=1
fi

format_status=0
scripts/format.sh --check || format_status=$?
if ((format_status == 69)); then
    exit 69
elif ((format_status != 0)); then
    status=1
fi
exit "$status"
