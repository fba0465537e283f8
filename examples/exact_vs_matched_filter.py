"""Exact restoration against a matched filter on the same series.

Makes series of one etalon each (which one, the procedures are not told) at
noise 20, 50 and 100, restores each with etalon.recognize, with the workbench's
own matched-filter baseline (etalon.recognize(..., method="matched-filter")) and
with SciPy's correlate + find_peaks over the 20 etalons, and plots the share of
pulses each finds at their exact position.

The two matched filters differ: the baseline scores every position by the fit
|e|^2 - 2<y, e> (so etalons of different energy compare fairly), takes the best
positions greedily at least Tmin apart while a fit is below 0, and keeps the
one etalon whose fits sum smallest; find_peaks keeps local maxima of the best
gain only, and has no notion of one etalon for the series.

    PYTHONPATH=build/python python3 examples/exact_vs_matched_filter.py [out.png]
"""

import sys
import time

import matplotlib
import numpy as np
from scipy.signal import correlate, find_peaks

import etalon

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the backend)

NOISE = (20, 50, 100)
REPEATS = 20
TMIN, TMAX = 40, 181


def matched_filter(samples, etalons):
    """Pulse starts where some etalon's fit gain 2<y, e> - |e|^2 peaks."""
    x = samples.astype(float)
    gains = np.stack([2 * correlate(x, e, mode="valid") - e @ e for e in etalons.astype(float)])
    best = gains.max(axis=0)
    peaks, _ = find_peaks(best, height=0, distance=TMIN)
    return peaks


def exact_share(found, truth):
    return np.isin(truth, found).mean()


def main(out):
    etalons = etalon.alphabet()
    streams = etalon.Streams()
    shares = {"etalon.recognize": [], "matched-filter baseline": [],
              "correlate + find_peaks": []}
    seconds = {name: 0.0 for name in shares}
    for noise in NOISE:
        exact, greedy, filtered = [], [], []
        for repeat in range(REPEATS):
            # Recognition tells which one etalon a series is made of.
            series = etalon.make_series(type=4, noise=noise, tmin=TMIN, tmax=TMAX,
                                        sequence=[repeat % 20 + 1] * 30, streams=streams)
            start = time.perf_counter()
            best = etalon.recognize(series.samples, tmin=TMIN, tmax=TMAX)[0]
            seconds["etalon.recognize"] += time.perf_counter() - start
            start = time.perf_counter()
            baseline = etalon.recognize(series.samples, tmin=TMIN, tmax=TMAX,
                                        method="matched-filter")[0]
            seconds["matched-filter baseline"] += time.perf_counter() - start
            start = time.perf_counter()
            peaks = matched_filter(series.samples, etalons)
            seconds["correlate + find_peaks"] += time.perf_counter() - start
            exact.append(exact_share(best.positions, series.positions))
            greedy.append(exact_share(baseline.positions, series.positions))
            filtered.append(exact_share(peaks, series.positions))
        shares["etalon.recognize"].append(np.mean(exact))
        shares["matched-filter baseline"].append(np.mean(greedy))
        shares["correlate + find_peaks"].append(np.mean(filtered))

    print("noise  " + "  ".join(f"{name:>24}" for name in shares))
    for i, noise in enumerate(NOISE):
        print(f"{noise:5d}  " + "  ".join(f"{shares[name][i]:24.3f}" for name in shares))
    runs = len(NOISE) * REPEATS
    for name, total in seconds.items():
        print(f"{name}: {1000 * total / runs:.2f} ms a series")

    for name, values in shares.items():
        plt.plot(NOISE, values, marker="o", label=name)
    plt.xlabel("noise sigma")
    plt.ylabel("share of pulses found at their exact position")
    plt.ylim(0, 1.05)
    plt.legend()
    plt.title("Unknown pulse count, 20 etalons, 1200 samples")
    plt.savefig(out, dpi=100, bbox_inches="tight")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "exact_vs_matched_filter.png")
