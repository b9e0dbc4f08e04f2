#!/usr/bin/env python3
"""Prints the benchmark table: every row beside its baseline from the same run, the ratio in the
terms its target uses, and whether the target is met. Reads Google Benchmark's JSON output
(medians when the run had repetitions). Standard library only.

    scripts/bench_table.py [--module tavrel.so] RESULT.json...
"""

import argparse
import json
import os
import platform
import re
import statistics
import subprocess
import sys

# Ratio kinds: "time" is our time over the baseline's (at most the bound); "throughput" is our
# rate over the baseline's (at least the bound); "speed" is the baseline's time over ours (at
# least the bound); "report" has no bound.
RELAY_ROWS = [
    ("idle frame, no client", "IdleFrame_NoClient/Module", "IdleFrame_NoClient/BareAccept",
     "time", 1.10),
    ("  bare poll of the listener (what the frame makes instead)", "IdleFrame_NoClient/BarePoll",
     "IdleFrame_NoClient/BareAccept", "time", None),
    ("idle frame, silent client", "IdleFrame_SilentClient/Module",
     "IdleFrame_SilentClient/BareReceive", "time", 1.10),
]
for _count in (1, 16, 128):
    RELAY_ROWS.append((f"drain {_count} message(s)", f"Drain/Module/{_count}",
                       f"Drain/BareReceive/{_count}", "throughput", 0.90))
for _count in (1, 16, 128):
    RELAY_ROWS.append((f"  drain {_count} vs receive + NUL scan", f"Drain/Module/{_count}",
                       f"Drain/BareReceiveAndScan/{_count}", "throughput", None))
RELAY_ROWS.append(("longest frame under a flood of 512 messages", "Flood/Module",
                   "Flood/BareReceive", "time", None))
FORMAT_ROWS = [
    ('FormatToBuffer "%d"', "FormatInteger/FormatToBuffer", "FormatInteger/Snprintf", "time",
     1.10),
    ('FormatToBuffer "%f"', "FormatFloat/FormatToBuffer", "FormatFloat/Snprintf", "time", 1.10),
    ("  the runtime library's two checks alone", "FormatChecks/ChecksOnly",
     "FormatInteger/Snprintf", "time", None),
]
ASSIGNMENT_ROWS = [
    ("text assignment", "AssignText", "SnprintfText", "time", None),
    ("float assignment", "AssignFloat", "SnprintfFloat", "time", None),
    ("integer assignment", "AssignInteger", "SnprintfInteger", "time", None),
]
LOAD_ROWS = [
    ("LoadPlugin, first load of a mapping", "Load/FirstLoad", "Load/MathAlreadyStarted", "time",
     None),
]
# The math rows held to a bound; every other variant is reported against its family's baseline.
MATH_TARGETS = {
    "ReciprocalSquareRoot/EstimateSSE": ("speed", 2.0),
    "SineAndCosine/SSE": ("speed", 2.0),
    "SineAndCosine/SSE2": ("speed", 2.0),
}
# In programs this table does not know, a variant starting with one of these is its family's
# baseline.
BASELINE_PREFIXES = ("Library", "Bare", "Snprintf", "Baseline", "Direct")
# Fields of Google Benchmark's JSON that are not counters.
RESERVED_FIELDS = {"family_index", "per_family_instance_index", "repetitions", "repetition_index",
                   "threads", "iterations", "real_time", "cpu_time", "error_occurred"}


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def load_results(paths):
    """Row name -> one entry whose time and counters are the medians of every repetition in every
    file (a program may have run several times, each in a process of its own); the context of the
    first file; and the program each row came from."""
    samples, context, sources = {}, {}, {}
    for path in paths:
        with open(path) as stream:
            data = json.load(stream)
        context = context or data.get("context", {})
        program = os.path.basename(path).split(".", 1)[0]
        for entry in data.get("benchmarks", []):
            if entry.get("run_type", "iteration") != "iteration":
                continue  # medians are taken here, over every process's repetitions
            name = re.sub(r"/manual_time$", "", entry.get("run_name", entry["name"]))
            samples.setdefault(name, []).append(entry)
            sources[name] = program
    rows = {}
    for name, entries in samples.items():
        row = dict(entries[0])
        times = [nanoseconds(entry) for entry in entries if "error_message" not in entry]
        if times:
            row["real_time"], row["time_unit"] = median(times), "ns"
            if len(times) >= 4:
                quartiles = statistics.quantiles(times, n=4)
                row["spread"] = (quartiles[2] - quartiles[0]) / 2 / row["real_time"]
            row["samples"] = len(times)
        for key, value in entries[0].items():
            if key not in RESERVED_FIELDS and isinstance(value, (int, float)):
                row[key] = median([entry.get(key, value) for entry in entries])
        errors = [entry["error_message"] for entry in entries if "error_message" in entry]
        if errors:
            row["error_message"] = errors[0]
        rows[name] = row
    # Random interleaving shuffles the output; show rows in the order the programs declare them.
    order = sorted(rows, key=lambda name: (sources[name], rows[name].get("family_index", 0),
                                           rows[name].get("per_family_instance_index", 0)))
    return {name: rows[name] for name in order}, context, sources


def nanoseconds(entry):
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[entry.get("time_unit", "ns")]
    return entry["real_time"] * scale


def show_time(entry):
    value = nanoseconds(entry)
    if value >= 1e6:
        text = f"{value / 1e6:.2f} ms"
    elif value >= 1e3:
        text = f"{value / 1e3:.2f} us"
    else:
        text = f"{value:.2f} ns"
    # Half the interquartile range of the repetitions, against the median.
    if "spread" in entry:
        text += f" ±{100 * entry['spread']:.0f}%"
    return text


def judge(ours, base, kind, bound):
    """The ratio as text, the target as text, and the verdict."""
    if "error_message" in ours or "error_message" in base:
        return "error", "", "ERROR"
    ratio_time = nanoseconds(ours) / nanoseconds(base)
    if kind == "time":
        ratio, text = ratio_time, f"{ratio_time:.2f}x time"
    elif kind == "throughput":
        ratio = 1.0 / ratio_time
        text = f"{ratio:.2f}x rate"
    else:  # speed
        ratio = 1.0 / ratio_time
        text = f"{ratio:.2f}x speed"
    if bound is None:
        return text, "report", ""
    if kind == "time":
        return text, f"<= {bound:.2f}x", "met" if ratio <= bound else "MISSED"
    return text, f">= {bound:.2f}x", "met" if ratio >= bound else "MISSED"


def print_table(title, lines):
    if not lines:
        return
    print(f"\n{title}")
    widths = [max(len(line[i]) for line in lines) for i in range(len(lines[0]))]
    header = ("row", "ours", "baseline", "ratio", "target", "")
    widths = [max(width, len(head)) for width, head in zip(widths, header)]
    print("  ".join(head.ljust(width) for head, width in zip(header, widths)).rstrip())
    for line in lines:
        print("  ".join(cell.ljust(width) for cell, width in zip(line, widths)).rstrip())


def explicit_rows(rows, definitions, used):
    lines = []
    for label, ours_name, base_name, kind, bound in definitions:
        ours, base = rows.get(ours_name), rows.get(base_name)
        if ours is None or base is None:
            lines.append((label, "missing", "missing", "", "", "MISSING"))
            continue
        used.update((ours_name, base_name))
        ratio, target, verdict = judge(ours, base, kind, bound)
        lines.append((label, show_time(ours), show_time(base), ratio, target, verdict))
    return lines


def split_name(name):
    parts = name.split("/")
    return parts[0], (parts[1] if len(parts) > 1 else ""), "/".join(parts[2:])


def family_rows(rows, names, targets, used, note=lambda name: ""):
    """Rows compared within their family, against the variant named as its baseline."""
    baselines = {}
    for name in names:
        family, variant, arguments = split_name(name)
        if variant.startswith(BASELINE_PREFIXES):
            baselines[(family, arguments)] = name
    lines = []
    for name in names:
        family, variant, arguments = split_name(name)
        base_name = baselines.get((family, arguments))
        if base_name is None or base_name == name:
            continue
        kind, bound = targets.get(name, ("speed", None))
        ratio, target, verdict = judge(rows[name], rows[base_name], kind, bound)
        label = name + note(name)
        lines.append((label, show_time(rows[name]), split_name(base_name)[1] + " " +
                      show_time(rows[base_name]), ratio, target, verdict))
        used.update((name, base_name))
    return lines


def static_data(module):
    """Sizes of .data and .bss of the module, from binutils' size."""
    try:
        output = subprocess.run(["size", "-A", module], capture_output=True, text=True,
                                check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return None
    sizes = {}
    for line in output.splitlines():
        fields = line.split()
        if len(fields) >= 2 and fields[0] in (".data", ".bss") and fields[1].isdigit():
            sizes[fields[0]] = int(fields[1])
    return sizes


def machine(context):
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo") as stream:
            for line in stream:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    cpus = context.get("num_cpus", os.cpu_count())
    mhz = context.get("mhz_per_cpu", "?")
    return (f"{model}, {cpus} logical CPUs at {mhz} MHz nominal; Linux {platform.release()}; "
            f"{' '.join(platform.libc_ver())}; benchmark library built as "
            f"{context.get('library_build_type', '?')}")


def cpu_flags():
    try:
        with open("/proc/cpuinfo") as stream:
            for line in stream:
                if line.startswith("flags"):
                    return set(line.split(":", 1)[1].split())
    except OSError:
        pass
    return set()


def math_note(name, has_3dnow):
    if name.endswith("/CallOnly"):
        return " (the call alone)"
    if "3DNow" in name and not has_3dnow:
        return " (no 3DNow! here: portable code)"
    return ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--module", help="the built module, for its static data size")
    parser.add_argument("results", nargs="+")
    arguments = parser.parse_args()

    rows, context, sources = load_results(arguments.results)
    print(f"Machine: {machine(context)}")
    counts = sorted({row.get("samples", 1) for row in rows.values()})
    print(f"Run: {context.get('date', '?')}; each figure is the median of {'/'.join(map(str, counts))} "
          "repetitions (over every process that ran its program), ± half their interquartile range")
    used = set()
    print_table("Relay (the loaded module, called by position)",
                explicit_rows(rows, RELAY_ROWS, used))
    print_table("Formatting", explicit_rows(rows, FORMAT_ROWS, used))

    has_3dnow = "3dnow" in cpu_flags()
    math_names = [name for name in rows if sources[name] == "math_benchmark"]
    print_table("Math, a call through a pointer as the routine table makes it",
                family_rows(rows, math_names, MATH_TARGETS, used,
                            lambda name: math_note(name, has_3dnow)))
    allocation_names = [name for name in rows if sources[name] == "allocation_benchmark"]
    allocation_lines = []
    for name in allocation_names:
        if name.startswith("Routed/") and "Direct/" + name[len("Routed/"):] in rows:
            base_name = "Direct/" + name[len("Routed/"):]
            ratio, target, verdict = judge(rows[name], rows[base_name], "time", None)
            allocation_lines.append((name, show_time(rows[name]), show_time(rows[base_name]),
                                     ratio, target, verdict))
            used.update((name, base_name))
    print_table("Allocation routing (size / debug heap) against the host allocator called directly",
                allocation_lines)

    if any(row[1] in rows for row in ASSIGNMENT_ROWS):
        print_table("Console variable value assignment, steady state, against snprintf of the "
                    "same value into 32 bytes", explicit_rows(rows, ASSIGNMENT_ROWS, used))
    else:
        print("\nValue assignment (text, float, integer) against snprintf: TODO, lands with the "
              "console variables")
    known = {"math_benchmark", "allocation_benchmark", "format_benchmark", "relay_benchmark"}
    other_names = [name for name in rows if sources[name] not in known]
    print_table("Other rows (each variant against its family's baseline)",
                family_rows(rows, other_names, {}, used))

    print("\nLoad")
    lines = explicit_rows(rows, LOAD_ROWS, used)
    for label, ours, base, ratio, _, _ in lines:
        print(f"  {label}: {ours}; with the math start-up already done: {base} ({ratio})")
    if "StartUp" in rows:
        used.add("StartUp")
        print(f"  math start-up alone, tables warm: {show_time(rows['StartUp'])}")

    print("\nCounts")
    for count in (1, 16, 128):
        entry = rows.get(f"Drain/Module/{count}")
        if entry is not None:
            print(f"  heap blocks per relayed message, batches of {count}: "
                  f"{entry.get('heap_blocks_per_message', '?'):g} (target 0)")
    for name in ("IdleFrame_NoClient/Module", "IdleFrame_SilentClient/Module"):
        entry = rows.get(name)
        if entry is not None:
            print(f"  heap blocks per idle frame, {name.split('/')[0][10:]}: "
                  f"{entry.get('heap_blocks_per_frame', '?'):g}")
    for name in other_names:
        for counter, value in rows[name].items():
            if ("heap" in counter or "allocator" in counter) and isinstance(value, (int, float)):
                print(f"  {name}: {counter} {value:g}")
    load = rows.get("Load/FirstLoad")
    if load is not None:
        print(f"  host heap held after load: {load.get('heap_blocks_after_load', 0):g} block(s), "
              f"{load.get('heap_bytes_after_load', 0):g} bytes")
    if arguments.module:
        sizes = static_data(arguments.module)
        if sizes:
            print(f"  static data of {os.path.basename(arguments.module)}: .data "
                  f"{sizes.get('.data', 0)} + .bss {sizes.get('.bss', 0)} = "
                  f"{sizes.get('.data', 0) + sizes.get('.bss', 0)} bytes")

    unused = sorted(name for name in rows if name not in used)
    if unused:
        print("\nRows without a baseline here: " + ", ".join(unused))
    errors = [name for name, entry in rows.items() if "error_message" in entry]
    for name in errors:
        print(f"ERROR {name}: {rows[name]['error_message']}", file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
