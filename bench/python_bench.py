#!/usr/bin/env python3
"""What the Python module adds to a call: tesk_ae's blend (Over) of two 4K float32 RGBA arrays
and premultiply of a 64 x 64 one, against the same calls timed by tesk_bench from C++, in turns
on one machine. Medians; the module's 4K call both into a fresh array and into out=.

    PYTHONPATH=build/python python3 bench/python_bench.py build/bench/tesk_bench [--turns 2]
"""

import argparse
import re
import statistics
import subprocess
import time

import numpy as np

import tesk_ae

CASES = [
    # (tesk_bench row, layout column, unit, the module's call)
    ("Blend Over (0)", "float RGBA", "ms", "blend"),
    ("Premultiply 64 x 64, fresh caches", "float RGBA", "us", "premultiply"),
]


def cpp_times(bench, reps):
    output = subprocess.run([bench, "--benchmark_filter=none", "--reps=%d" % reps,
                             "--only=Blend Over (0)"], capture_output=True, text=True,
                            check=True).stdout
    output += subprocess.run([bench, "--benchmark_filter=none",
                              "--only=Premultiply 64 x 64, fresh"], capture_output=True,
                             text=True, check=True).stdout
    times = {}
    for row, layout, _, _ in CASES:
        match = re.search(re.escape(row) + r"\s+" + re.escape(layout) + r"\s+([0-9.]+)", output)
        times[row] = float(match.group(1)) if match else float("nan")
    return times


def median_time(call, reps):
    call()
    samples = []
    for _ in range(reps):
        start = time.perf_counter()
        call()
        samples.append(time.perf_counter() - start)
    return statistics.median(samples)


def python_times(reps):
    rng = np.random.default_rng(1)
    front = rng.random((2160, 3840, 4), dtype=np.float32)
    back = rng.random((2160, 3840, 4), dtype=np.float32)
    out = np.empty_like(back)
    small = rng.random((64, 64, 4), dtype=np.float32)
    small_out = np.empty_like(small)
    return {
        "blend": median_time(lambda: tesk_ae.blend(front, back, 0), reps) * 1e3,
        "blend out=": median_time(lambda: tesk_ae.blend(front, back, 0, out=out), reps) * 1e3,
        "premultiply": median_time(lambda: tesk_ae.premultiply(small, out=small_out),
                                   200) * 1e6,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tesk_bench")
    parser.add_argument("--turns", type=int, default=2)
    parser.add_argument("--reps", type=int, default=7)
    args = parser.parse_args()
    print("| turn | call | C++ | Python | Python into out= | Python - C++ |")
    print("|---|---|---:|---:|---:|---:|")
    for turn in range(1, args.turns + 1):
        cpp = cpp_times(args.tesk_bench, args.reps)
        py = python_times(args.reps)
        blend = cpp["Blend Over (0)"]
        print("| %d | 4K float Blend Over | %.1f ms | %.1f ms | %.1f ms | %+.1f%% (out=: %+.1f%%) |"
              % (turn, blend, py["blend"], py["blend out="], 100 * (py["blend"] / blend - 1),
                 100 * (py["blend out="] / blend - 1)))
        small = cpp["Premultiply 64 x 64, fresh caches"]
        print("| %d | 64 x 64 float Premultiply | %.1f us | | %.1f us | %+.1f us |"
              % (turn, small, py["premultiply"], py["premultiply"] - small))


if __name__ == "__main__":
    main()
