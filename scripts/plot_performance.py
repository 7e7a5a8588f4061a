#!/usr/bin/env python3
"""Draws the figure of doc/performance.md from the benchmarks' JSON output.

Usage: plot_performance.py RESULTS_DIR OUTPUT.png

RESULTS_DIR holds one JSON file per benchmark (`make bench` writes them). The figure
shows what the scale benchmark measured at each recording size, read throughput
(the library against one sequential read of the same file) and peak memory, and,
when the reader benchmark's results are there, the open time per channel by the
number of channels. Panels whose benchmark is missing are left out.
"""
import json
import pathlib
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

MIB = 1 << 20
MEMORY_BUDGET = 64 * MIB


def load_runs(results_dir):
    """Every benchmark run of every JSON file, aggregates (mean, median...) left out."""
    runs = []
    for path in sorted(pathlib.Path(results_dir).glob("*.json")):
        try:
            document = json.loads(path.read_text())
        except (OSError, json.JSONDecodeError) as error:
            print(f"skipping {path}: {error}", file=sys.stderr)
            continue
        for run in document.get("benchmarks", []):
            if run.get("run_type", "iteration") == "iteration" and "error_occurred" not in run:
                runs.append(run)
    return runs


def median_by(runs, key):
    """Runs grouped by key(run), each group's counters reduced to their medians."""
    groups = {}
    for run in runs:
        groups.setdefault(key(run), []).append(run)
    merged = {}
    for group_key, group in groups.items():
        merged[group_key] = {
            name: sorted(run[name] for run in group)[len(group) // 2]
            for name in group[0]
            if isinstance(group[0][name], (int, float)) and all(name in run for run in group)
        }
    return dict(sorted(merged.items()))


def scale_points(runs, order):
    """Scale benchmark runs of one read order, by file size."""
    prefix = order + "/"
    chosen = [r for r in runs if r["name"].startswith(prefix) and "file_bytes" in r]
    return median_by(chosen, lambda run: run["file_bytes"])


def open_points(runs):
    """Open benchmark runs by channel count (the name's first argument), those with
    the fewest events (its second) only, so that the events do not count per channel."""
    chosen = [r for r in runs if r["name"].startswith("BM_OpenRecording/") and open_time(r) is not None]
    if not chosen:
        return {}
    # Arguments come bare ("1000") or named ("channels:1000").
    arguments = lambda run: [int(part.split(":")[-1]) for part in run["name"].split("/")[1:3]]
    fewest = min(arguments(run)[1] for run in chosen)
    chosen = [run for run in chosen if arguments(run)[1] == fewest]
    return median_by(chosen, lambda run: arguments(run)[0])


def plot_throughput(axis, window, channel, stored):
    sizes = [size / MIB for size in window]
    axis.plot(sizes, [p["baseline_bytes_per_s"] / MIB for p in window.values()], "k--o",
              label="one sequential read of the file")
    axis.plot(sizes, [p["read_bytes_per_s"] / MIB for p in window.values()], "C0-o",
              label="every channel, window by window")
    for points, style, label in ((stored, "C2-o", "the same, samples as stored"),
                                 (channel, "C1-o", "every channel, one after the other")):
        if points:
            axis.plot([size / MIB for size in points], [p["read_bytes_per_s"] / MIB for p in points.values()],
                      style, label=label)
    axis.set_xscale("log", base=2)
    axis.set_xlabel("recording size [MiB]")
    axis.set_ylabel("file bytes per second [MiB/s]")
    axis.set_title("Reading a whole recording (page cache warm)")
    axis.legend(fontsize="small")


def plot_memory(axis, window, channel):
    for points, style, label in ((window, "C0-o", "window by window"), (channel, "C1-o", "one after the other")):
        if points:
            axis.plot([size / MIB for size in points], [p["peak_rss_bytes"] / MIB for p in points.values()],
                      style, label=label)
    axis.axhline(MEMORY_BUDGET / MIB, color="k", linestyle=":", label="64 MiB")
    axis.set_xscale("log", base=2)
    axis.set_ylim(bottom=0)
    axis.set_xlabel("recording size [MiB]")
    axis.set_ylabel("peak resident memory [MiB]")
    axis.set_title("Memory while reading")
    axis.legend(fontsize="small")


def open_time(run):
    """Microseconds per channel of an open: the mean, by whichever name the run gives it."""
    return run.get("open_us_per_channel", run.get("us_per_channel"))


def plot_open(axis, points):
    channels = list(points)
    axis.plot(channels, [open_time(p) for p in points.values()], "C2-o")
    axis.set_xscale("log")
    axis.set_ylim(bottom=0)
    axis.set_xlabel("channels in the setup")
    axis.set_ylabel("open time per channel [µs]")
    axis.set_title("Opening a recording")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    runs = load_runs(argv[1])
    window = scale_points(runs, "BM_ScaleRead")
    channel = scale_points(runs, "BM_ScaleReadChannelByChannel")
    stored = scale_points(runs, "BM_ScaleReadStored")
    opening = open_points(runs)
    panels = []
    if window:
        panels += [lambda axis: plot_throughput(axis, window, channel, stored),
                   lambda axis: plot_memory(axis, window, channel)]
    if opening:
        panels.append(lambda axis: plot_open(axis, opening))
    if not panels:
        print(f"no scale or open benchmark results in {argv[1]}", file=sys.stderr)
        return 1
    figure, axes = plt.subplots(1, len(panels), figsize=(5.5 * len(panels), 4.2), squeeze=False)
    for draw, axis in zip(panels, axes[0]):
        draw(axis)
        axis.grid(True, alpha=0.3)
    figure.tight_layout()
    figure.savefig(argv[2], dpi=110)
    print(f"wrote {argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
