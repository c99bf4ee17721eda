#!/usr/bin/env python3
"""Runs the string benchmark and prints SharedString's time per case as a multiple of
std::string's on the same work (below 1: SharedString is faster).

usage: bench/common/ratios.py [BENCH_BINARY]   (default: build/release/bench/common_string_bench)
"""
import json
import os
import subprocess
import sys


def main():
    if "--help" in sys.argv:
        print(__doc__.strip())
        return 0
    top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "build/release/bench/common_string_bench")
    if not os.path.exists(binary):
        print(f"ratios: {binary} not found; build it with: bash scripts/build release", file=sys.stderr)
        return 1
    run = subprocess.run([binary, "--benchmark_format=json", "--benchmark_min_time=0.2"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stderr, file=sys.stderr)
        return 1
    times = {}
    for b in json.loads(run.stdout)["benchmarks"]:
        op, kind_arg = b["name"].split("<", 1)
        kind, arg = kind_arg.split(">/")
        times[(op, arg, kind.strip())] = b["real_time"]
    print(f"{'operation':<10}{'size':>6}  {'SharedString ns':>16}{'std::string ns':>16}{'ratio':>8}")
    for (op, arg, kind), t in times.items():
        if kind != "SharedString":
            continue
        peer = times.get((op, arg, "std::string"))
        if peer:
            print(f"{op:<10}{arg:>6}  {t:>16.1f}{peer:>16.1f}{t / peer:>8.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
