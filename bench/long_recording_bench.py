"""Long recordings: the exact unknown-count chain over a whole recording against
SciPy's correlate + find_peaks on the same samples and etalons, timed in one
run, with each side's peak memory taken in a process of its own.

    PYTHONPATH=build/python python3 bench/long_recording_bench.py [--quick]

A synthetic 360 Hz recording (16-bit, noise and pulses of two etalons of 90
samples), Tmin 90, Tmax 1,800, joint detection and identification; then the
growth of time and memory from 10^6 to 3*10^7 samples for every task and for
an unbounded Tmax.
"""
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy as np

RATE = 360
LENGTH = 90
TMIN, TMAX = 90, 1800

CHILD = r"""
import json, sys, time
import numpy as np
samples = np.load(sys.argv[1])
shapes = np.load(sys.argv[2])
kind = sys.argv[3]
if kind != "scipy":
    import etalon
else:
    from scipy import signal
def status(field):
    with open("/proc/self/status") as f:
        return next(int(l.split()[1]) for l in f if l.startswith(field + ":"))
# The peak is counted from here: the kernel's high-water mark set back to now.
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
base = status("VmRSS")
start = time.perf_counter()
if kind == "scipy":
    y = samples.astype(np.float64)
    fits = [signal.correlate(y, s.astype(np.float64), mode="valid") for s in shapes]
    best = np.maximum(fits[0], fits[1])
    found = len(signal.find_peaks(best, distance=%(tmin)d)[0])
else:
    task, tmax = kind.split(":")
    chains = etalon.restore(samples, task=task, etalons=[1, 2], alphabet=shapes,
                            tmin=%(tmin)d, tmax=None if tmax == "none" else int(tmax))
    found = len(chains[0].positions) if chains else 0
seconds = time.perf_counter() - start
peak = status("VmHWM") - base
print(json.dumps({"seconds": seconds, "peak_mb": peak / 1024, "found": found}))
""" % {"tmin": TMIN}


def recording(n, rng):
    t = np.arange(LENGTH)
    shapes = np.stack([3000 * np.sin(np.pi * t / LENGTH),
                       3000 * np.sin(2 * np.pi * t / LENGTH)]).astype(np.int16)
    samples = rng.normal(0, 900, n).astype(np.int16)
    x = 100
    while x + LENGTH < n:
        samples[x:x + LENGTH] += shapes[rng.integers(2)]
        x += int(rng.integers(TMIN + 10, TMAX - 10))
    return samples, shapes


def run(kind, samples_path, shapes_path):
    out = subprocess.run([sys.executable, "-c", CHILD, samples_path, shapes_path, kind],
                         check=True, capture_output=True, text=True, env=os.environ)
    return json.loads(out.stdout)


def best_of(runs, kind, samples_path, shapes_path):
    results = [run(kind, samples_path, shapes_path) for _ in range(runs)]
    return min(results, key=lambda r: r["seconds"])


def main():
    quick = "--quick" in sys.argv
    rng = np.random.default_rng(32)
    day = 1_000_000 if quick else RATE * 86400
    lengths = [10**6, 3 * 10**6] if quick else [10**6, 3 * 10**6, 10**7, 3 * 10**7]
    runs = 1 if quick else 3
    with tempfile.TemporaryDirectory() as folder:
        def saved(n):
            samples, shapes = recording(n, rng)
            paths = os.path.join(folder, f"s{n}.npy"), os.path.join(folder, "shapes.npy")
            np.save(paths[0], samples)
            np.save(paths[1], shapes)
            return paths

        paths = saved(day)
        ours = best_of(runs, "joint:1800", *paths)
        scipy = best_of(runs, "scipy", *paths)
        print(f"{day:,} samples (a day at {RATE} Hz when full), two etalons of {LENGTH}, "
              f"Tmin {TMIN}, Tmax {TMAX}, best of {runs}")
        print(f"{'method':<28}{'seconds':>10}{'peak MB':>10}{'pulses':>10}")
        print(f"{'exact chain (joint)':<28}{ours['seconds']:>10.2f}{ours['peak_mb']:>10.1f}"
              f"{ours['found']:>10}")
        print(f"{'SciPy correlate+find_peaks':<28}{scipy['seconds']:>10.2f}"
              f"{scipy['peak_mb']:>10.1f}{scipy['found']:>10}")
        print(f"exact chain / SciPy time: {ours['seconds'] / scipy['seconds']:.2f}")
        print()
        print(f"{'task':<22}{'N':>12}{'seconds':>10}{'peak MB':>10}{'t exp':>8}{'m exp':>8}")
        sized = {n: saved(n) for n in lengths}
        for kind in ("joint:1800", "detection:1800", "recognition:1800", "joint:none"):
            last = None
            for n in lengths:
                r = best_of(1, kind, *sized[n])
                grow = ""
                if last:
                    ratio = math.log(n / last[0])
                    grow = (f"{math.log(r['seconds'] / last[1]) / ratio:>8.2f}"
                            f"{math.log(max(r['peak_mb'], 1) / max(last[2], 1)) / ratio:>8.2f}")
                print(f"{kind:<22}{n:>12,}{r['seconds']:>10.2f}{r['peak_mb']:>10.1f}{grow}")
                last = (n, r["seconds"], r["peak_mb"])


if __name__ == "__main__":
    main()
