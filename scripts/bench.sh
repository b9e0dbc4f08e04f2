#!/usr/bin/env bash
# Builds the Linux leg, runs every benchmark program and prints each row against its baseline from
# the same run, with the targets the rows are held to.
#   scripts/bench.sh           the full run, a few minutes: every program runs in 3 processes of
#                              its own, each row 5 times there, baselines interleaved at random;
#                              a figure is the median of its 15 repetitions
#   scripts/bench.sh --quick   one short repetition, to try the command; its figures are rough
# Separate processes matter: where the loader and the kernel place buffers differs from process to
# process, and some rows shift with it. Raw results stay in build/linux/bench-results/.
set -euo pipefail
cd "$(dirname "$0")/.."

min_time=0.1
repetitions=5
processes=3
case "${1:-}" in
--quick)
    min_time=0.02
    repetitions=1
    processes=1
    ;;
"") ;;
*)
    echo "usage: scripts/bench.sh [--quick]" >&2
    exit 64
    ;;
esac

scripts/setup.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux

# The module's pipe name is fixed, so the run gets a network namespace of its own where the system
# allows one: a running server or test run cannot take the name from under it, nor it from them.
isolate=()
if unshare --net --map-root-user true 2>/dev/null; then
    isolate=(unshare --net --map-root-user)
else
    echo "bench: no private network namespace here; nothing else may hold the pipe's name" >&2
fi

# Other work on the machine moves the figures; the load average shows whether there was any.
load_before=$(cut -d' ' -f1 /proc/loadavg)
results=build/linux/bench-results
rm -rf "$results"
mkdir -p "$results"
for program in build/linux/bin/*_benchmark; do
    name=$(basename "$program")
    for run in $(seq "$processes"); do
        echo "bench: running $name ($run of $processes)" >&2
        "${isolate[@]}" "$program" \
            --benchmark_min_time="$min_time" \
            --benchmark_repetitions="$repetitions" \
            --benchmark_enable_random_interleaving=true \
            --benchmark_out="$results/$name.$run.json" \
            --benchmark_out_format=json >"$results/$name.$run.txt" 2>&1 ||
            {
                echo "bench: $name failed; see $results/$name.$run.txt" >&2
                exit 1
            }
    done
done

python3 scripts/bench_table.py --module build/linux/bin/tavrel.so "$results"/*.json
echo "Load average (1 minute) before the run: $load_before; at its end: $(cut -d' ' -f1 /proc/loadavg)" \
    "(the benchmark itself adds about 1)"
