"""The Dask example (examples/dask_summary.py) on a folder of three copies of the
sample recording and a damaged file, with a local cluster of two worker processes:
the summary against direct reads, the HDF5 files against the channels, and the
damaged file reported without stopping the others."""

import csv
import math
import pathlib
import shutil
import subprocess
import sys

import numpy as np
import pytest

import kvdatareader

SCRIPT = pathlib.Path(__file__).resolve().parents[1] / "examples" / "dask_summary.py"
COPIES = ["a.kvd", "b.kvd", "c.kvd"]


@pytest.fixture(scope="module")
def run(files, tmp_path_factory):
    """Runs the example once: (the process result, its summary rows, the folder)."""
    pytest.importorskip("distributed")
    folder = tmp_path_factory.mktemp("folder")
    for name in COPIES:
        shutil.copy(files / "sample.kvd", folder / name)
    (folder / "damaged.kvd").write_bytes(b"not a recording" * 10)
    out = tmp_path_factory.mktemp("out")
    command = [sys.executable, str(SCRIPT), str(folder), "--workers", "2", "--csv", str(out / "summary.csv"),
               "--hdf5", str(out / "h5")]
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    rows = list(csv.DictReader(open(out / "summary.csv"))) if (out / "summary.csv").exists() else []
    return result, rows, folder, out


def test_damaged_file_is_reported_and_the_others_summarised(run):
    result, rows, _, _ = run
    assert result.returncode == 1, result.stderr
    assert "damaged.kvd" in result.stderr and "status 4" in result.stderr
    assert sorted({row["file"] for row in rows}) == COPIES


def test_summary_matches_direct_reads(run):
    _, rows, folder, _ = run
    with kvdatareader.open(folder / COPIES[0]) as rec:
        for name in COPIES:
            mine = {row["channel"]: row for row in rows if row["file"] == name}
            assert len(mine) == len(rec.channels)
            checked = 0
            for channel in rec.channels:
                row = mine[channel.name]
                assert int(row["channels"]) == len(rec.channels) and float(row["duration"]) == rec.duration
                has_reduced = channel.kind in ("sync", "async") and channel.array_size == 1 and len(channel.reduced())
                if not has_reduced:
                    assert row["min"] == row["max"] == row["mean"] == ""
                    continue
                values, _ = channel.read()
                if channel.kind == "sync":
                    # The mean counts each reduced value by the time it covers: equal to the samples' mean
                    # also where a region stops inside a reduced interval.
                    assert float(row["min"]) == values.min() and float(row["max"]) == values.max()
                    assert math.isclose(float(row["mean"]), values.mean(), rel_tol=1e-12)
                    checked += 1
                else:
                    # Reduced values of an asynchronous channel cover the signal between its samples.
                    assert float(row["min"]) <= values.min() and float(row["max"]) >= values.max()
            assert checked >= 3


def test_hdf5_files_hold_the_channels(run):
    h5py = pytest.importorskip("h5py")
    _, _, folder, out = run
    assert sorted(p.name for p in (out / "h5").iterdir()) == [name + ".h5" for name in COPIES]
    with kvdatareader.open(folder / COPIES[1]) as rec, h5py.File(out / "h5" / (COPIES[1] + ".h5"), "r") as h5:
        assert h5["regions"][:].tolist() == [[r.start, r.stop] for r in rec.regions]
        for channel in rec.channels:
            group = h5["channels"][channel.name]
            values, times = channel.read()
            stored = group["values"][:]
            if channel.list == "text":
                stored = np.array([v.decode() for v in stored])
            assert np.array_equal(stored, values) and np.array_equal(group["time"][:], times)
            assert group.attrs["unit"] == channel.unit
