#!/usr/bin/env python3
"""Summarises a folder of recordings in parallel with Dask: one task per recording,
each task opening its own reader in a worker process, so hundreds of recordings
spread over every core (or over a cluster, given its scheduler address). The
summary has one row per channel: the recording's channel count and duration, and
the channel's minimum, maximum and mean taken from the reduced values the
recording stores (the mean weighted by the time each reduced value covers).
With --hdf5, each task also converts its recording into an HDF5 file (needs h5py).

    python3 dask_summary.py FOLDER [--scheduler ADDRESS] [--workers N]
                                   [--csv SUMMARY.csv] [--hdf5 OUTDIR]

Workers of a remote scheduler need the kvdatareader package and the library.
"""

import argparse
import fnmatch
import importlib.util
import math
import os
import sys

# Run from a source checkout: the package lies beside this folder.
_PACKAGE_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir)
if importlib.util.find_spec("kvdatareader") is None:
    sys.path.insert(0, os.path.abspath(_PACKAGE_ROOT))

RECORDING_PATTERNS = ("*.kvd", "*.kxz", "*.k7z")
COLUMNS = ["file", "channels", "duration", "channel", "unit", "kind", "min", "max", "mean"]
# Samples per read when converting to HDF5: one window in memory per channel.
CONVERT_CHUNK = 1 << 20


def find_recordings(folder, patterns=RECORDING_PATTERNS):
    """The recordings directly in folder whose names match one of the patterns
    (case ignored), sorted by name."""
    names = sorted(os.listdir(folder))
    return [os.path.join(folder, name) for name in names
            if os.path.isfile(os.path.join(folder, name))
            and any(fnmatch.fnmatch(name.lower(), pattern.lower()) for pattern in patterns)]


def recorded_time_before(regions, times):
    """Seconds of recording before each of times, counting only time inside the
    regions (adjacent or overlapping regions are merged first)."""
    import numpy as np

    merged = []
    for start, stop in sorted((r.start, r.stop) for r in regions):
        if merged and start <= merged[-1][1]:
            merged[-1][1] = max(merged[-1][1], stop)
        else:
            merged.append([start, stop])
    starts = np.array([m[0] for m in merged])
    lengths = np.array([m[1] - m[0] for m in merged])
    before = np.concatenate(([0.0], np.cumsum(lengths)))
    slot = np.searchsorted(starts, times, side="right") - 1  # the last region starting at or before t
    inside = np.clip(times - starts[np.maximum(slot, 0)], 0.0, lengths[np.maximum(slot, 0)])
    return np.where(slot < 0, 0.0, before[np.maximum(slot, 0)] + inside)


def reduced_statistics(reduced, regions):
    """(min, max, mean) of a channel from its reduced values. Each value's average
    counts with the recorded time it covers: up to the next value, at most one
    block, and only inside the regions (a region may stop inside a block)."""
    import numpy as np

    times = reduced["time"]
    steps = np.diff(times)
    block = float(steps[steps > 0].min()) if (steps > 0).any() else 1.0
    ends = np.minimum(times + block, np.append(times[1:], np.inf))
    if regions:
        weights = recorded_time_before(regions, ends) - recorded_time_before(regions, times)
    else:
        weights = ends - times
    mean = float(np.average(reduced["ave"], weights=weights)) if weights.sum() > 0 else float(reduced["ave"].mean())
    return float(reduced["min"].min()), float(reduced["max"].max()), mean


def summarize_recording(path, hdf5_dir=None):
    """One task: the summary rows of one recording (converted to HDF5 into hdf5_dir
    when given), or a row with an error message when the library refuses it."""
    import kvdatareader

    rows = []
    try:
        with kvdatareader.open(path) as recording:
            channels = recording.channels
            regions = recording.regions
            for channel in channels:
                low = high = mean = math.nan
                if channel.kind in ("sync", "async") and channel.list == "numeric" and channel.array_size == 1:
                    try:
                        reduced = channel.reduced()
                    except kvdatareader.KVError:
                        reduced = None  # the recording stores no reduced values for it
                    if reduced is not None and len(reduced):
                        low, high, mean = reduced_statistics(reduced, regions)
                rows.append({"file": os.path.basename(path), "channels": len(channels),
                             "duration": recording.duration, "channel": channel.name, "unit": channel.unit,
                             "kind": channel.kind, "min": low, "max": high, "mean": mean})
            if hdf5_dir is not None:
                convert_to_hdf5(recording, os.path.join(hdf5_dir, os.path.basename(path) + ".h5"))
    except kvdatareader.KVError as error:
        return {"file": os.path.basename(path), "error": str(error)}
    return {"file": os.path.basename(path), "rows": rows}


def convert_to_hdf5(recording, target):
    """Writes the recording into target: its regions and events, and a group per
    channel under /channels with its values, time stamps and properties. Binary
    channels are left out (marked by an attribute). Written under a temporary
    name, so a failed conversion leaves no partial file."""
    import h5py
    import numpy as np

    partial = target + ".part"
    with h5py.File(partial, "w") as out:
        out.attrs["source"] = os.path.basename(str(recording.path))
        out.attrs["sample_rate"] = recording.sample_rate
        out.attrs["duration"] = recording.duration
        out.attrs["start_time"] = str(recording.start_time)
        out.create_dataset("regions", data=np.array([[r.start, r.stop] for r in recording.regions],
                                                    dtype=np.float64).reshape(-1, 2))
        events = out.create_group("events")
        events.create_dataset("time", data=np.array([e.time for e in recording.events], dtype=np.float64))
        events.create_dataset("type", data=np.array([e.type for e in recording.events], dtype=np.int32))
        events.create_dataset("text", data=[e.text or e.name or "" for e in recording.events],
                              dtype=h5py.string_dtype())
        group = out.create_group("channels")
        for channel in recording.channels:
            node = group.create_group(channel.name.replace("/", "_") or "channel_%d" % channel.index)
            for key in ("index", "unit", "description", "kind", "list", "rate", "scale", "offset"):
                node.attrs[key] = getattr(channel, key)
            if channel.list == "binary":
                node.attrs["skipped"] = "binary records are not converted"
                continue
            _copy_channel(channel, node, h5py, np)
    os.replace(partial, target)


def _copy_channel(channel, node, h5py, np):
    total = len(channel)
    values_out = times_out = None
    for first in range(0, max(total, 1), CONVERT_CHUNK):
        values, times = channel[first:min(first + CONVERT_CHUNK, total)]
        if values_out is None:
            text = channel.list == "text"
            dtype = h5py.string_dtype() if text else np.asarray(values).dtype
            values_out = node.create_dataset("values", shape=(total,) + np.shape(values)[1:], dtype=dtype)
            times_out = node.create_dataset("time", shape=(total,), dtype=np.float64)
        if len(values):
            values_out[first:first + len(values)] = values
            times_out[first:first + len(times)] = times


def summarize(paths, client, hdf5_dir=None):
    """Runs one task per recording on the client's cluster; returns the summary
    table (a pandas DataFrame) and the list of (file, error) of recordings that failed."""
    import pandas

    futures = client.map(summarize_recording, paths, hdf5_dir=hdf5_dir, pure=False)
    rows, failures = [], []
    for result in client.gather(futures):
        if "error" in result:
            failures.append((result["file"], result["error"]))
        else:
            rows.extend(result["rows"])
    return pandas.DataFrame(rows, columns=COLUMNS), failures


def main(argv=None):
    parser = argparse.ArgumentParser(description="Summarise a folder of recordings with Dask, one task per recording.")
    parser.add_argument("folder", help="the folder of recordings (%s)" % ", ".join(RECORDING_PATTERNS))
    parser.add_argument("--scheduler", metavar="ADDRESS", help="a running Dask scheduler (tcp://host:8786); "
                        "default: a local cluster of worker processes")
    parser.add_argument("--workers", type=int, metavar="N", help="worker processes of the local cluster "
                        "(default: one per core, at most one per recording)")
    parser.add_argument("--csv", metavar="FILE", help="also write the summary table as CSV")
    parser.add_argument("--hdf5", metavar="OUTDIR", help="convert each recording to OUTDIR/<file>.h5 (needs h5py)")
    arguments = parser.parse_args(argv)

    if not os.path.isdir(arguments.folder):
        parser.error("%s is not a folder" % arguments.folder)
    paths = [os.path.abspath(p) for p in find_recordings(arguments.folder)]
    if not paths:
        parser.error("no recordings (%s) in %s" % (", ".join(RECORDING_PATTERNS), arguments.folder))
    if arguments.workers is not None and arguments.workers < 1:
        parser.error("--workers takes 1 or more")
    hdf5_dir = None
    if arguments.hdf5:
        if importlib.util.find_spec("h5py") is None:
            print("h5py is not installed (Debian: python3-h5py): the recordings are not converted to HDF5",
                  file=sys.stderr)
        else:
            hdf5_dir = os.path.abspath(arguments.hdf5)
            os.makedirs(hdf5_dir, exist_ok=True)

    import pandas
    from dask.distributed import Client, LocalCluster

    if arguments.scheduler:
        client, cluster = Client(arguments.scheduler), None
    else:
        workers = arguments.workers or max(1, min(os.cpu_count() or 1, len(paths)))
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None)
        client = Client(cluster)
    try:
        table, failures = summarize(paths, client, hdf5_dir)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    with pandas.option_context("display.max_rows", None, "display.width", 160):
        print(table.to_string(index=False, na_rep="-", float_format=lambda v: "%.6g" % v))
    if arguments.csv:
        table.to_csv(arguments.csv, index=False)
        print("wrote %s" % arguments.csv)
    if hdf5_dir is not None:
        print("converted %d recordings into %s" % (len(paths) - len(failures), hdf5_dir))
    for name, message in failures:
        print("%s: %s" % (name, message), file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
