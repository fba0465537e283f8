"""Speed of the etalon module: threads, call overhead, and SciPy's matched filter.

    PYTHONPATH=build/python python3 bench/python_bench.py [--cpp build/bench/processing_bench]

1. Two Python threads (a pool's) restoring 20 series each at once against the
   same work one after the other (time ratio; with the GIL released it nears
   0.5 on two free cores).
2. etalon.recognize on processing_bench's recognizeKnownNumberChain/whole case
   (N 1200, L 20, Tmin 40, Tmax 181, 18 pulses of etalon 5, noise 20, all 20
   etalons) against that benchmark's own time for the C++ call, read from its
   JSON output in the same run (min and median over the repetitions).
3. etalon.recognize against SciPy correlate + find_peaks over the 20 etalons
   (the example's matched filter) on the same series, an unknown pulse count,
   with the share of pulses each finds at their exact position.
"""

import argparse
import concurrent.futures
import importlib.util
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

import etalon

HERE = os.path.dirname(os.path.abspath(__file__))
REPETITIONS = 5


def timed(work, repetitions=REPETITIONS):
    """Seconds of each repetition of work()."""
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return times


def min_median(times):
    return min(times), statistics.median(times)


def threads_ratio():
    made = [etalon.make_series(type=4, noise=30, sequence=[i % 20 + 1] * 30) for i in range(40)]
    halves = [made[:20], made[20:]]

    def restore(batch):
        for series in batch:
            etalon.recognize(series.samples)

    def one_after_another():
        restore(halves[0])
        restore(halves[1])

    # Two threads kept between runs, as a pool keeps them: a fresh thread's
    # first calls make its work tables, which would weigh on 20 short calls.
    with concurrent.futures.ThreadPoolExecutor(2) as pool:

        def at_once():
            for done in [pool.submit(restore, h) for h in halves]:
                done.result()

        at_once()
        # Interleaved, so a change in the machine's load touches both alike.
        alone, together = [], []
        for _ in range(REPETITIONS):
            alone += timed(one_after_another, 1)
            together += timed(at_once, 1)
    return min(together) / min(alone), min(alone), min(together)


def cpp_times(binary):
    """processing_bench's recognizeKnownNumberChain/whole/fast per call, in us,
    one figure a repetition."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([binary, "--benchmark_filter=^recognizeKnownNumberChain/whole/fast$",
                        f"--benchmark_repetitions={REPETITIONS}", "--benchmark_min_time=0.2",
                        f"--benchmark_out={out.name}", "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL)
        runs = json.load(open(out.name))["benchmarks"]
    times = [r["real_time"] for r in runs if r.get("run_type") == "iteration"]
    assert times and runs[0]["time_unit"] == "us", "the benchmark gave no time in us"
    return times


def python_times():
    """etalon.recognize per call on the same case, in us."""
    series = etalon.make_series(type=1, pulses=18, noise=20, sequence=[5] * 30)
    calls = 2000
    etalon.recognize(series.samples, pulses=18)  # warm

    def loop():
        for _ in range(calls):
            etalon.recognize(series.samples, pulses=18)

    return [t / calls * 1e6 for t in timed(loop)]


def matched_filter():
    """The example's correlate + find_peaks over the etalons."""
    path = os.path.join(HERE, "..", "examples", "exact_vs_matched_filter.py")
    spec = importlib.util.spec_from_file_location("exact_vs_matched_filter", path)
    example = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(example)
    return example.matched_filter


def against_scipy():
    try:
        found_by_filter = matched_filter()
    except ImportError as missing:
        print(f"3. skipped: {missing.name} is not installed (python3-scipy, python3-matplotlib)")
        return None
    etalons = etalon.alphabet()
    streams = etalon.Streams()
    noise_levels = (20, 50)
    made = {n: [etalon.make_series(type=4, noise=n, sequence=[i % 20 + 1] * 30, streams=streams)
                for i in range(20)] for n in noise_levels}
    every = [s for n in noise_levels for s in made[n]]

    def exact(found, series):
        return np.isin(series.positions, found).sum()

    shares = {}
    for n in noise_levels:
        pulses = sum(len(s.positions) for s in made[n])
        shares[n] = (sum(exact(etalon.recognize(s.samples)[0].positions, s) for s in made[n]) /
                     pulses,
                     sum(exact(found_by_filter(s.samples, etalons), s) for s in made[n]) / pulses)
    ours, theirs = [], []
    for _ in range(REPETITIONS):
        ours += timed(lambda: [etalon.recognize(s.samples) for s in every], 1)
        theirs += timed(lambda: [found_by_filter(s.samples, etalons) for s in every], 1)
    per_series = 1e3 / len(every)
    return min(theirs) / min(ours), min(ours) * per_series, min(theirs) * per_series, shares


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cpp", default=os.path.join(HERE, "..", "build", "bench",
                                                      "processing_bench"),
                        help="the processing_bench binary")
    args = parser.parse_args()

    ratio, alone, together = threads_ratio()
    print(f"1. two threads at once / one after another: {ratio:.2f} "
          f"({1e3 * together:.1f} ms against {1e3 * alone:.1f} ms; target <= 0.6)")

    if os.path.exists(args.cpp):
        # Alternated, so a change in the machine's load touches both alike.
        py, cpp = [], []
        for _ in range(3):
            py += python_times()
            cpp += cpp_times(args.cpp)
        py, cpp = min_median(py), min_median(cpp)
        print(f"2. etalon.recognize {py[0]:.1f} us (median {py[1]:.1f}), processing_bench "
              f"{cpp[0]:.1f} us (median {cpp[1]:.1f}): overhead {100 * (py[0] / cpp[0] - 1):+.1f} % "
              f"(medians {100 * (py[1] / cpp[1] - 1):+.1f} %; target within 10 %)")
    else:
        print(f"2. skipped: no {args.cpp} (cmake --build build --target processing_bench)")

    compared = against_scipy()
    if compared:
        speedup, ours, theirs, shares = compared
        print(f"3. etalon.recognize {ours:.2f} ms a series, correlate + find_peaks "
              f"{theirs:.2f} ms: {speedup:.1f}x (target >= 5x)")
        for n, (exact, filtered) in shares.items():
            print(f"   noise {n}: exact pulses {exact:.3f} etalon.recognize, "
                  f"{filtered:.3f} correlate + find_peaks")


if __name__ == "__main__":
    sys.exit(main())
