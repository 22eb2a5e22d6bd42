#!/usr/bin/env python3
"""Runs Google Benchmark binaries and prints, for every case, the time of each peer relative to
Velmora's. Benchmarks are named "<group>/<case>/<implementation>"; the implementation called
"velmora" is the reference. A ratio above 1 means the peer is slower than Velmora.

Usage: bench/compare.py build/bin/bench_encoder [more binaries] [-- extra benchmark flags]
"""
import json
import subprocess
import sys


def run(binary, extra):
    out = subprocess.run([binary, "--benchmark_format=json", *extra], check=True, capture_output=True, text=True)
    return json.loads(out.stdout)["benchmarks"]


def main():
    args = sys.argv[1:]
    extra = []
    if "--" in args:
        extra = args[args.index("--") + 1:]
        args = args[:args.index("--")]
    if not args:
        print(__doc__)
        return 2
    cases = {}
    for binary in args:
        for b in run(binary, extra):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            name = b["run_name"] if "run_name" in b else b["name"]
            group, _, impl = name.rpartition("/")
            read = f"{int(b['read'])}/{int(b['symbols'])}" if "read" in b and "symbols" in b else ""
            cases.setdefault(group, {})[impl] = (b["real_time"], b["time_unit"], read)
    print(f"{'case':32} {'implementation':14} {'time':>14} {'peer / velmora':>15} {'read':>9}")
    for group, impls in cases.items():
        reference = impls.get("velmora")
        for impl, (time, unit, read) in sorted(impls.items(), key=lambda kv: kv[0] != "velmora"):
            ratio = f"{time / reference[0]:.2f}" if reference and impl != "velmora" else ""
            print(f"{group:32} {impl:14} {time:>11.2f} {unit:2} {ratio:>15} {read:>9}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
