#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time from its seed corpus:
#   scripts/fuzz.sh [SECONDS]   (default 30 per target)
# New inputs the fuzzer finds go to a scratch folder, so the seeds in fuzz/corpus stay as kept.
# A failing input is left in build/linux-fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

cmake --preset linux-fuzz
cmake --build --preset linux-fuzz

artifacts=build/linux-fuzz/artifacts
mkdir -p "$artifacts"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# Every fuzz target the build made, each with its seed corpus in fuzz/corpus/<name>.
targets=(build/linux-fuzz/bin/*_fuzzer)
if [ ! -x "${targets[0]}" ]; then
    echo "fuzz: the build made no fuzz targets" >&2
    exit 1
fi
for program in "${targets[@]}"; do
    target=$(basename "$program" _fuzzer)
    mkdir -p "$scratch/$target"
    log="$scratch/$target.log"
    if ! "$program" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$scratch/$target" "fuzz/corpus/$target" \
        >"$log" 2>&1; then
        cat "$log" >&2
        echo "fuzz: $target failed; the input is in $artifacts" >&2
        exit 1
    fi
    echo "fuzz: $target: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$') executions in ${seconds} s"
done
