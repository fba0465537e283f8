"""The module under Python threads, thread counts and interruptions."""

import os
import signal
import sys
import threading
import time

import numpy as np
import pytest

import etalon

SMALL_GRID = dict(type=4, pulses_from=8, pulses_to=10, noise_from=20, noise_steps=3, noise_step=40,
                  repeats=3)


def at_once(*calls):
    """Runs the calls on threads released together; their results in order."""
    start = threading.Barrier(len(calls))
    results = [None] * len(calls)

    def run(i):
        start.wait()
        results[i] = calls[i]()

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(calls))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


def test_calls_sharing_streams_on_two_threads_run_one_after_another():
    def make(streams):
        return etalon.make_series(type=4, length=32767, noise=30, streams=streams).samples.tolist()

    def simulate(streams):  # long enough for the two runs to overlap
        return etalon.simulate(streams=streams, **dict(SMALL_GRID, repeats=60)).errors.tolist()

    for call, rounds in ((make, 40), (simulate, 3)):
        start = etalon.Streams()
        serial = start.copy()
        want = [call(serial), call(serial)]
        assert want[0] != want[1]
        for _ in range(rounds):
            shared = start.copy()
            got = at_once(lambda: call(shared), lambda: call(shared))
            assert got in (want, want[::-1]), call.__name__
            assert shared == serial, call.__name__


def test_threads_beyond_the_cores_all_take_part():
    tasks = "/proc/self/task"
    if not os.path.isdir(tasks):
        pytest.skip("no /proc/self/task to count the process's threads")
    wanted = 2 * os.cpu_count() + 8
    grid = dict(SMALL_GRID, repeats=400)
    peak = []

    def count_threads(done, total):
        peak.append(len(os.listdir(tasks)))

    got = etalon.simulate(threads=wanted, progress=count_threads, **grid)
    # The arena's threads besides the caller's; a pool held to the cores has
    # far fewer, whatever else the process runs.
    assert max(peak) > wanted
    assert got.errors.tolist() == etalon.simulate(threads=1, **grid).errors.tolist()


def others_ran_during(call):
    """How often another Python thread ran while `call` did: never while it holds the GIL."""
    ran = [0]
    stop = threading.Event()
    ready = threading.Event()

    def other():
        ready.set()
        while not stop.is_set():
            ran[0] += 1
            time.sleep(0.0001)

    interval = sys.getswitchinterval()
    # No forced switches: the other thread runs only when the GIL is let go.
    sys.setswitchinterval(30)
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
    shapes = np.tile(etalon.alphabet(), (1, 50)).astype(np.int64)  # read in place
    path = str(tmp_path / "a.json")

    def writes():
        for _ in range(50):
            etalon.write_alphabet(path, shapes)

    def reads():
        for _ in range(50):
            assert etalon.read_alphabet(path).shape == shapes.shape

    assert others_ran_during(lambda: sum(range(3_000_000))) == 0  # the measure can fail
    assert others_ran_during(writes) > 0
    assert others_ran_during(reads) > 0


def test_interrupt_or_raising_progress_stops_simulate_and_keeps_the_streams():
    endless = dict(type=4, pulses_from=8, pulses_to=8, noise_steps=1, repeats=65535)
    streams = etalon.Streams()
    etalon.make_series(streams=streams)
    before = streams.state

    class Stop(Exception):
        pass

    def raising(error):
        def progress(done, total):
            calls.append(done)
            raise error()
        return progress

    def nested(done, total):
        calls.append(done)
        etalon.make_series(streams=streams)  # would wait for the run calling it

    for progress, raised in ((raising(Stop), Stop), (raising(KeyboardInterrupt), KeyboardInterrupt),
                             (nested, ValueError)):
        calls = []
        with pytest.raises(raised):
            etalon.simulate(streams=streams, progress=progress, **endless)
        assert len(calls) == 1 and calls[0] < 65535
        assert streams.state == before

    def interrupt_once(running, delay=0.0):
        def send():
            running.wait()
            time.sleep(delay)
            os.kill(os.getpid(), signal.SIGINT)
        threading.Thread(target=send).start()

    # Ctrl-C while the caller waits for the run.
    running = threading.Event()
    interrupt_once(running)
    with pytest.raises(KeyboardInterrupt):
        etalon.simulate(streams=streams, progress=lambda done, total: running.set(), **endless)
    assert streams.state == before

    # Ctrl-C while waiting for a Streams that another thread's run holds.
    running, release = threading.Event(), threading.Event()

    def held(done, total):
        running.set()
        if release.is_set():
            raise Stop()

    stopped = []

    def other():
        try:
            etalon.simulate(streams=streams, progress=held, **endless)
        except Stop:
            stopped.append(True)

    holder = threading.Thread(target=other)
    holder.start()
    running.wait()
    with pytest.raises(KeyboardInterrupt):
        interrupt_once(running, delay=0.2)
        etalon.make_series(streams=streams)
    release.set()
    holder.join()
    assert stopped and streams.state == before
