#!/usr/bin/env python3
"""Loads 10 000-entry subtitle files with our readers and with ffmpeg's demuxers in one run and
prints the times side by side: ours / ffmpeg below 1 means ours is faster. "lines" is a plain
line-by-line read of the same file (the floor for any reader).

usage: bench/subtitles/ratios.py [BENCH_BINARY]   (default: build/release/bench/subtitle_load_bench)
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
    binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "build/release/bench/subtitle_load_bench")
    if not os.path.exists(binary):
        print(f"ratios: {binary} not found; build it with: bash scripts/build release", file=sys.stderr)
        return 1
    run = subprocess.run([binary, "--benchmark_format=json", "--benchmark_min_time=0.5"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stderr, file=sys.stderr)
        return 1
    times = {}
    for b in json.loads(run.stdout)["benchmarks"]:
        who, case = b["name"].split("_", 1)
        times.setdefault(case, {})[who] = b["real_time"]  # milliseconds
    print(f"{'file (10 000 entries)':24} {'ours ms':>9} {'ffmpeg ms':>10} {'lines ms':>9} {'ours/ffmpeg':>12}")
    for case, t in times.items():
        print(f"{case:24} {t['Ours']:9.2f} {t['Ffmpeg']:10.2f} {t['Lines']:9.2f} {t['Ours'] / t['Ffmpeg']:12.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
