"""The module under Python threads, thread counts and interruptions."""

import os
import signal
import sys
import threading
import time

import numpy as np
import pytest

import etalon

GRID = dict(type=4, pulses_from=8, pulses_to=10, noise_from=20, noise_steps=3, noise_step=40)


def on_threads(*calls):
    """Runs the calls on threads released together; their results in order."""
    start, results = threading.Barrier(len(calls)), [None] * len(calls)
    threads = [threading.Thread(target=lambda i=i: (start.wait(), results.__setitem__(i, c())))
               for i, c in enumerate(calls)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


def test_calls_sharing_streams_on_two_threads_run_one_after_another():
    make = lambda s: etalon.make_series(type=4, length=32767, noise=30, streams=s).samples.tolist()
    # Long enough for the two runs to overlap.
    simulate = lambda s: etalon.simulate(streams=s, repeats=60, **GRID).errors.tolist()
    for call, rounds in ((make, 40), (simulate, 3)):
        serial = etalon.Streams()
        want = [call(serial), call(serial)]
        assert want[0] != want[1]
        for _ in range(rounds):
            shared = etalon.Streams()
            assert on_threads(lambda: call(shared), lambda: call(shared)) in (want, want[::-1])
            assert shared == serial


def test_threads_beyond_the_cores_all_take_part():
    if not os.path.isdir("/proc/self/task"):
        pytest.skip("no /proc/self/task to count the process's threads")
    wanted, peak = 2 * os.cpu_count() + 8, []
    got = etalon.simulate(threads=wanted, repeats=400, **GRID,
                          progress=lambda d, t: peak.append(len(os.listdir("/proc/self/task"))))
    assert max(peak) > wanted  # the caller besides them; held to the cores, far fewer
    assert got.errors.tolist() == etalon.simulate(threads=1, repeats=400, **GRID).errors.tolist()


def others_ran_during(call):
    """How often another Python thread ran while `call` did: never while it holds the GIL."""
    ran, stop, ready = [0], threading.Event(), threading.Event()

    def other():
        ready.set()
        while not stop.is_set():
            ran[0] += 1
            time.sleep(0.0001)

    interval = sys.getswitchinterval()
    sys.setswitchinterval(30)  # no forced switches: it runs only when the GIL is let go
    thread = threading.Thread(target=other)
    try:
        thread.start()
        ready.wait()
        before = ran[0]
        call()
        return ran[0] - before
    finally:
        sys.setswitchinterval(interval)
        stop.set()
        thread.join()


def test_alphabet_files_are_read_and_written_without_the_gil(tmp_path):
    shapes, path = np.tile(etalon.alphabet(), (1, 50)).astype(np.int64), str(tmp_path / "a.json")
    assert others_ran_during(lambda: sum(range(3_000_000))) == 0  # the measure can fail
    assert others_ran_during(lambda: [etalon.write_alphabet(path, shapes) for _ in range(50)])
    assert others_ran_during(lambda: [etalon.read_alphabet(path) for _ in range(50)])
    assert etalon.read_alphabet(path).tolist() == shapes.tolist()


def test_interrupt_or_raising_progress_stops_simulate_and_keeps_the_streams():
    long_run = dict(type=4, pulses_from=8, pulses_to=8, noise_steps=1, repeats=65535)
    streams = etalon.Streams()
    etalon.make_series(streams=streams)
    before, calls = streams.state, []

    def raising(error):
        def progress(done, total):
            calls.append(done)
            raise error()
        return progress

    def nested(done, total):
        calls.append(done)
        etalon.make_series(streams=streams)  # would wait for the run calling it

    class Stop(Exception):
        pass

    for progress, raised in ((raising(Stop), Stop), (raising(KeyboardInterrupt), KeyboardInterrupt),
                             (nested, ValueError)):
        calls.clear()
        with pytest.raises(raised):
            etalon.simulate(streams=streams, progress=progress, **long_run)
        assert len(calls) == 1 and calls[0] < 65535 and streams.state == before

    # Ctrl-C while the caller waits for a run of hours, lest it come after the end.
    running = threading.Event()
    threading.Thread(target=lambda: (running.wait(), os.kill(os.getpid(), signal.SIGINT))).start()
    with pytest.raises(KeyboardInterrupt):
        etalon.simulate(type=4, repeats=65535, streams=streams,
                        progress=lambda done, total: running.set())
    assert streams.state == before
