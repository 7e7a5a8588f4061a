"""How long the viewer takes to answer a view: the server on a recording, and the
page's requests for two channels (at once, as the page sends them) over the
whole recording, a stretch where the finest reduced level gives about one value
per pixel, a zoomed-in window drawn from the samples' extremes and one drawn from
the samples themselves. Each view is asked once cold (right after the server
started and its readers warmed up) and then `--repeats` times; the median and
worst are printed with what was read and the load average.

    /usr/bin/python3 python/bench/bench_viewer.py RECORDING [--channels 0 7] [--width 1600]

A large recording: build/bench/write_bench_recording bench.kvd 16500000 (64
channels at 10 kHz, about 4 GB)."""

import argparse
import json
import os
import pathlib
import statistics
import sys
import threading
import time
import urllib.request

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))

from kvdatareader.viewer import server as viewer_server  # noqa: E402


def fetch(url):
    with urllib.request.urlopen(url) as answer:
        return json.loads(answer.read())


def ask(server, channels, t0, t1, width):
    """(seconds, answers) of one view: every channel's request at once."""
    answers = [None] * len(channels)

    def one(k):
        answers[k] = fetch(f"{server.url}api/data?channel={channels[k]}&t0={t0!r}&t1={t1!r}&width={width}")

    threads = [threading.Thread(target=one, args=(k,)) for k in range(len(channels))]
    start = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return time.perf_counter() - start, answers


def describe(answer):
    if answer["mode"] == "samples":
        return f"{answer['read']} samples"
    if answer["level"] is None:
        return f"extremes of {answer['read']} samples"
    return f"level {answer['level']}: {answer['read']} values"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("recording")
    parser.add_argument("--channels", type=int, nargs="+", default=[0, 7])
    parser.add_argument("--width", type=int, default=1600)
    parser.add_argument("--repeats", type=int, default=9)
    arguments = parser.parse_args()

    started = time.perf_counter()
    server = viewer_server.start(arguments.recording)
    opened = time.perf_counter() - started
    server.viewer.warming.join()
    warmed = time.perf_counter() - started - opened
    viewer_server.run_in_thread(server)
    summary = server.viewer.summary
    first = min([0.0] + [region[0] for region in summary["regions"]])
    last = max([summary["duration"]] + [region[1] for region in summary["regions"]])
    with server.viewer.pool.reader() as recording:
        finest = min((level.samples_per_value for c in arguments.channels for level in recording[c].reduced_levels()),
                     default=100)
    middle = (first + last) / 2
    # One finest-level value per pixel, then a tenth and a thousandth of that.
    span = finest / summary["sample_rate"] * arguments.width
    views = [("whole recording", first, last), ("one value per pixel", middle - span / 2, middle + span / 2),
             ("zoomed in 10x further", middle - span / 20, middle + span / 20),
             ("zoomed in to samples", middle - span / 2000, middle + span / 2000)]
    size = os.path.getsize(arguments.recording)
    print(f"{arguments.recording}: {size / 1e9:.2f} GB, {len(summary['channels'])} channels, "
          f"{last - first:.0f} s; server ready in {opened * 1000:.0f} ms, readers warmed "
          f"{warmed * 1000:.0f} ms later")
    print(f"channels {arguments.channels}, {arguments.width} px wide; load average "
          f"{' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    for name, t0, t1 in views:
        cold, answers = ask(server, arguments.channels, t0, t1, arguments.width)
        times = [ask(server, arguments.channels, t0, t1, arguments.width)[0] for _ in range(arguments.repeats)]
        print(f"  {name:24s} {t1 - t0:12.4f} s  cold {cold * 1000:7.1f} ms  median {statistics.median(times) * 1000:7.1f}"
              f" ms  worst {max(times) * 1000:7.1f} ms  ({'; '.join(describe(a) for a in answers)})")
    print(f"load average after: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    server.shutdown()
    server.server_close()


if __name__ == "__main__":
    main()
