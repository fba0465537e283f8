"""The module against etalon-cli: same settings, same numbers."""

import json
import os
import subprocess
import sys
import threading

import numpy as np
import pytest

import etalon

CLI = os.environ.get("ETALON_CLI", "etalon-cli")


def cli(*args):
    done = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, check=True)
    return [json.loads(line) for line in done.stdout.splitlines()]


def chain_rows(chains):
    return [(c.criterion, c.etalons.tolist(), c.positions.tolist(), c.cut_starts.tolist(),
             c.cut_ends.tolist()) for c in chains]


def cli_rows(result):
    return [(c["distance"], c["pulsesList"], c["positionsList"], c["cutStartsList"],
             c["cutEndsList"]) for c in result["chains"]["chains"]]


def write_samples(path, samples):
    path.write_text("\n".join(str(v) for v in samples) + "\n")
    return path


def test_alphabet_and_series_match_cli():
    printed = cli("alphabet")[0]["etalons"]
    assert etalon.alphabet().tolist() == [e["lpData"] for e in printed]
    for settings in [dict(type=1, noise=20), dict(type=4, noise=50, tmin=30),
                     dict(type=36, subset=[3, 5, 7], noise=10), dict(type=2, level=60, pulses=12)]:
        options = []
        for name, value in settings.items():
            options += ["--" + name, ",".join(map(str, value)) if isinstance(value, list) else value]
        want = cli("series", *options)[0]["series"][0]
        got = etalon.make_series(**settings)
        assert got.samples.tolist() == want["lpNoisyData"], settings
        assert got.pure.tolist() == want["lpPureData"], settings
        assert got.positions.tolist() == want["lpPositions"], settings
        assert got.etalons.tolist() == want["lpEtalons"], settings
        assert (got.cut_starts.tolist(), got.cut_ends.tolist()) == \
            (want["lpCutStarts"], want["lpCutEnds"]), settings
        assert (got.pulses, got.min_pulses, got.max_pulses) == \
            (want["wImpulseQuantity"], want["wMinPulses"], want["wMaxPulses"]), settings


@pytest.mark.parametrize("task,known,level", [
    ("recognition", True, 100), ("recognition", False, 100), ("recognition", True, 70),
    ("detection", True, 100), ("detection", False, 80), ("joint", True, 100),
])
def test_restoring_matches_cli(tmp_path, task, known, level):
    series = etalon.make_series(type=1 if known else 4, noise=40, sequence=[2, 5, 9, 5, 2])
    path = write_samples(tmp_path / "s.csv", series.samples)
    options = ["--task", task, "--processing-level", level, "--etalon", 5]
    pulses = series.pulses if known else None
    if known:
        options += ["--pulses", pulses]
    want = cli_rows(cli("process", "--samples", path, *options)[0])
    got = etalon.restore(series.samples, task=task, etalon=5, pulses=pulses,
                         processing_level=level)
    assert chain_rows(got) == want
    assert len(want) > 0
    if task == "recognition":
        assert chain_rows(etalon.recognize(series.samples, pulses=pulses,
                                           processing_level=level)) == want
    if task == "detection":
        shape = etalon.alphabet()[4]
        assert chain_rows(etalon.detect(series.samples, shape, pulses=pulses,
                                        processing_level=level)) == \
            [(c, [1] * len(e), p, s, t) for c, e, p, s, t in want]  # its own alphabet of one


def test_tuples_match_cli():
    for proceeding in (1, 2):
        made = ["--type", 36, "--subset", "3,5,7", "--noise", 30, "--proceeding", proceeding]
        series = etalon.make_series(type=36, subset=[3, 5, 7], noise=30)
        want = cli_rows(cli("process", *made, "--task", "detection")[0])
        got = etalon.detect_tuples(series.samples, subset=[3, 5, 7], proceeding=proceeding,
                                   pulses=series.pulses)
        assert chain_rows(got) == want
        printed = cli("process", *made, "--subsets", "3,5,7;2,4", "--pick", 1)[0]
        want = cli_rows(printed)
        got = etalon.recognize_tuples(series.samples, subsets=[[3, 5, 7], [2, 4]], pick=1,
                                      proceeding=proceeding, pulses=series.pulses)
        assert chain_rows(got) == want and len(want) > 0
        assert got.returned == printed["returned"] == 1


def test_matched_filter_method(tmp_path):
    # Noise 0: every pick is a true pulse of etalon 3, whose fit -E none beats.
    clean = etalon.make_series(type=4, sequence=[3] * 30)
    for got in (etalon.detect(clean.samples, 3, method="matched-filter"),
                etalon.recognize(clean.samples, method="matched-filter"),
                etalon.restore(clean.samples, task="joint", method="matched-filter")):
        assert len(got) == 1
        assert got[0].positions.tolist() == clean.positions.tolist()
        assert set(got[0].etalons.tolist()) == {3}
    noisy = etalon.make_series(noise=50, sequence=[2, 5, 9])
    path = write_samples(tmp_path / "s.csv", noisy.samples)
    want = cli_rows(cli("process", "--samples", path, "--pulses", noisy.pulses,
                        "--method", "matched-filter")[0])
    assert chain_rows(etalon.recognize(noisy.samples, pulses=noisy.pulses,
                                       method="matched-filter")) == want
    assert want != chain_rows(etalon.recognize(noisy.samples, pulses=noisy.pulses))
    with pytest.raises(ValueError, match="method"):
        etalon.detect(clean.samples, 1, method="greedy")
    with pytest.raises(ValueError, match="method"):
        etalon.restore(clean.samples, task="detection", subset=[1, 2],
                       method="matched-filter")


def test_streams_make_calls_reproducible():
    assert etalon.make_series(noise=30).samples.tolist() == \
        etalon.make_series(noise=30).samples.tolist()
    streams = etalon.Streams()
    kept = streams.copy()
    first = etalon.make_series(type=4, noise=30, streams=streams)
    second = etalon.make_series(type=4, noise=30, streams=streams)
    assert streams != kept and second.samples.tolist() != first.samples.tolist()
    want = cli("series", "--type", 4, "--noise", 30, "--count", 2)[0]["series"]
    assert [first.samples.tolist(), second.samples.tolist()] == \
        [s["lpNoisyData"] for s in want]
    again = etalon.make_series(type=4, noise=30, streams=kept)
    assert again.samples.tolist() == first.samples.tolist()


def test_simulation_matches_cli_for_any_thread_count():
    grid = dict(pulses_from=8, pulses_to=10, noise_from=20, noise_steps=3, noise_step=40,
                repeats=3)
    options = [x for name, value in grid.items() for x in ("--" + name.replace("_", "-"), value)]
    want = cli("simulate", "--type", 4, *options)[0]["simulation"]
    seen = []
    for threads in (1, 2):
        got = etalon.simulate(type=4, threads=threads, progress=lambda d, t: seen.append((d, t)),
                              **grid)
        assert got.errors.tolist() == want["lpErrors"]
        assert got.detection_errors.tolist() == want["lpDetectionErrors"]
        assert got.recognition_errors.tolist() == want["lpRecognitionErrors"]
        assert got.pulses.tolist() == want["wPulseValues"]
        assert got.noise_levels.tolist() == want["lpNoiseLevels"]
    assert seen[-1] == (27, 27)
    assert np.asarray(want["lpErrors"]).sum() > 0


def test_simulation_with_baseline_matches_cli_and_keeps_the_exact_grid():
    grid = dict(pulses_from=8, pulses_to=10, noise_from=20, noise_steps=3, noise_step=40,
                repeats=3)
    options = [x for name, value in grid.items() for x in ("--" + name.replace("_", "-"), value)]
    want = cli("simulate", "--type", 4, "--baseline", *options)[0]["baseline"]
    alone = etalon.simulate(type=4, **grid)
    both = etalon.simulate(type=4, baseline=True, **grid)
    assert alone.baseline_errors is None and alone.exact_position_share is None
    assert both.errors.tolist() == alone.errors.tolist()
    assert both.baseline_errors.tolist() == want["lpErrors"]
    assert both.baseline_detection_errors.tolist() == want["lpDetectionErrors"]
    assert both.baseline_recognition_errors.tolist() == want["lpRecognitionErrors"]
    assert both.true_pulses.tolist() == want["truePulses"]
    for mine, theirs in ((both.exact_position_share, "exact"),
                         (both.baseline_exact_position_share, "matched-filter")):
        assert mine.shape == (3, 3)
        assert np.allclose(mine, want["exactPositionShare"][theirs])
    assert both.baseline_errors.tolist() != both.errors.tolist()
    with pytest.raises(ValueError, match="baseline"):
        etalon.simulate(type=36, task="detection", subset=[1, 2], baseline=True, **grid)


def test_wrong_input_raises_naming_the_argument():
    samples = etalon.make_series().samples
    wrong_type = [
        (lambda: etalon.recognize(samples.astype(complex)), "samples"),
        (lambda: etalon.recognize(["a", "b"]), "samples"),
        (lambda: etalon.recognize(samples, etalon.alphabet().astype(float)), "etalons"),
        (lambda: etalon.recognize(samples, tmin="40"), "tmin"),
        (lambda: etalon.detect_tuples(samples, subset=[1.5, 2]), "subset"),
    ]
    wrong_value = [
        (lambda: etalon.recognize(samples.reshape(30, 40)), "samples"),
        (lambda: etalon.recognize(np.zeros(0, np.int16)), "samples"),
        (lambda: etalon.recognize(samples[:10]), "samples"),
        (lambda: etalon.recognize(samples, tmin=100, tmax=50), "tmin"),
        (lambda: etalon.recognize(np.array([1.0, np.nan] * 100)), "samples"),
        (lambda: etalon.recognize(samples, pulses=500), "pulses"),
        (lambda: etalon.recognize(samples, etalon.alphabet()[:, :1]), "etalons"),
        (lambda: etalon.detect(samples, 21), "etalon"),
        (lambda: etalon.restore(samples, task="guess"), "task"),
        (lambda: etalon.make_series(type=3), "type"),
        (lambda: etalon.simulate(pulses_from=99), "pulses_from"),
    ]
    for call, name in wrong_type:
        with pytest.raises(TypeError, match=name):
            call()
    for call, name in wrong_value:
        with pytest.raises(ValueError, match=name):
            call()
    with pytest.raises(MemoryError, match="Restoring the series needs"):
        etalon.recognize(samples, memory_limit="64K")


def test_any_layout_and_dtype_gives_the_same_chains(tmp_path):
    series = etalon.make_series(noise=40)
    want = chain_rows(etalon.recognize(series.samples, pulses=series.pulses))
    strided = np.repeat(series.samples, 2)[::2]
    assert not strided.flags.c_contiguous
    for samples in (strided, series.samples.astype(np.int64), series.samples.astype(float)):
        assert chain_rows(etalon.recognize(samples, pulses=series.pulses)) == want
    # Values beyond 16 bits are scaled as the recording reader scales them.
    loud = series.samples * 1000.5
    read = etalon.read_recording(str(write_samples(tmp_path / "loud.csv", loud)))
    assert read.scaled
    assert chain_rows(etalon.recognize(loud, pulses=series.pulses)) == \
        chain_rows(etalon.recognize(read.samples, pulses=series.pulses))


def test_a_recording_of_any_length_and_depth_is_restored_whole(tmp_path):
    shape = etalon.alphabet()[2].astype(np.int32)
    samples = np.zeros(40000, np.int16)
    truth = np.arange(50, 39981, 100)
    for x in truth:
        samples[x:x + 20] = shape * 390  # up to 32,370: sums past 32 bits
    chains = etalon.detect(samples, 3, tmin=60)
    assert chains[0].positions.dtype == np.int64
    assert chains[0].positions.tolist() == truth.tolist()
    assert etalon.detect(samples, 3, tmin=60, tmax=None)[0].positions.tolist() == truth.tolist()
    greedy = etalon.detect(samples, 3, tmin=60, method="matched-filter")
    assert greedy[0].positions.tolist() == truth.tolist()
    # An etalon at full depth, whose energy a series' 32-bit sums refuse.
    deep = (shape * 390).astype(np.int16)
    assert etalon.detect(samples, deep, tmin=60)[0].positions.tolist() == truth.tolist()
    path = tmp_path / "long.csv"
    path.write_text("\n".join(map(str, samples.tolist())))
    read = etalon.read_recording(str(path), first=7)
    assert len(read.samples) == 40000 - 7
    with pytest.raises(ValueError, match="the unknown count works at any length"):
        etalon.detect(samples, 3, tmin=60, pulses=400)
    # Progress from the whole-recording sweep; an exception from it ends the run.
    seen = []
    etalon.recognize(np.tile(samples, 40), tmin=60, progress=lambda d, t: seen.append((d, t)))
    assert seen and seen[-1][0] == seen[-1][1] and seen == sorted(seen)

    def stop(done, total):
        raise RuntimeError("enough")
    with pytest.raises(RuntimeError, match="enough"):
        etalon.recognize(np.tile(samples, 40), tmin=60, progress=stop)


def test_two_threads_restoring_at_once_match_one_after_another():
    made = [etalon.make_series(type=4, noise=n) for n in (30, 60)]
    alone = [chain_rows(etalon.recognize(s.samples)) for s in made]
    together = [None, None]

    def work(i):
        together[i] = chain_rows(etalon.recognize(made[i].samples))

    threads = [threading.Thread(target=work, args=(i,)) for i in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert together == alone


def test_files_round_trip_and_refusals(tmp_path):
    shapes = etalon.alphabet()[:3, :12]
    for name in ("a.json", "a.csv"):
        etalon.write_alphabet(str(tmp_path / name), shapes)
        assert etalon.read_alphabet(str(tmp_path / name)).tolist() == shapes.tolist()
    (tmp_path / "t.csv").write_text("time,volts\n0,3\n1,-4\n2,5\n")
    read = etalon.read_recording(str(tmp_path / "t.csv"), column="volts", first=1)
    assert (read.samples.tolist(), read.first, read.scaled) == ([-4, 5], 1, False)
    with pytest.raises(ValueError, match="no column"):
        etalon.read_recording(str(tmp_path / "t.csv"), column=3)
    with pytest.raises(ValueError, match="holds no etalons|no such|cannot"):
        etalon.read_alphabet(str(tmp_path / "missing.json"))


def test_example_runs(tmp_path):
    pytest.importorskip("scipy", reason="the example needs python3-scipy")
    pytest.importorskip("matplotlib", reason="the example needs python3-matplotlib")
    script = os.path.join(os.path.dirname(__file__), "../../examples/exact_vs_matched_filter.py")
    done = subprocess.run([sys.executable, script, str(tmp_path / "f.png")], capture_output=True,
                          text=True, check=True)
    assert "etalon.recognize" in done.stdout and (tmp_path / "f.png").stat().st_size > 0
