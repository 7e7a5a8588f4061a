"""The quick-look plot and the plot command line, on the sample recording the test
kit writes: the PNG's size, regions and events drawn on every axis, lines broken at
region gaps, envelopes for long channels, and the command's exit statuses."""

import os
import struct
import subprocess
import sys

import numpy as np
import pytest

import kvdatareader
from kvdatareader import plot


@pytest.fixture
def sample_path(files):
    """The sample recording the kit wrote (conftest's files)."""
    return str(files / "sample.kvd")


def png_size(path):
    with open(path, "rb") as png:
        head = png.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR"
    return struct.unpack(">II", head[16:24])


def tagged(axis, gid):
    return [a for a in list(axis.patches) + list(axis.lines) + list(axis.texts) if a.get_gid() == gid]


def line_of(axis, label):
    return next(line for line in axis.lines if line.get_label() == label)


def axis_of(figure, unit):
    return next(a for a in figure.axes if a.get_ylabel() == unit)


@pytest.mark.parametrize("start, stop", [(None, None), (1.5, 7.0)])
def test_png_size_regions_and_events(sample_path, tmp_path, start, stop):
    target = tmp_path / "look.png"
    with kvdatareader.open(sample_path) as rec:
        figure = rec.plot(start=start, stop=stop, path=target)
        drawable = [c for c in rec.channels if c.kind in ("sync", "async") and c.list == "numeric"]
        t0 = min(r.start for r in rec.regions) if start is None else start
        t1 = max(r.stop for r in rec.regions) if stop is None else stop
        regions = [r for r in rec.regions if r.start < t1 and r.stop > t0]
        events = [e for e in rec.events if t0 <= e.time <= t1]
    units = {c.unit for c in drawable}
    assert len(figure.axes) == len(units) > 1
    assert png_size(target) == (1000, 100 + 200 * len(units))
    assert len(regions) == 3 and events
    for axis in figure.axes:
        assert axis.get_xlim() == (t0, t1)
        spans = sorted(p.get_xy()[:, 0].min() for p in tagged(axis, "region"))
        assert spans == pytest.approx([max(r.start, t0) for r in regions])
        assert len(tagged(axis, "event")) == len(events)
    assert len(tagged(figure.axes[0], "event-label")) == len(events)


def test_lines_hold_the_window_and_break_at_gaps(sample_path):
    with kvdatareader.open(sample_path) as rec:
        figure = rec.plot(channels=["Voltage", "Spectrum", "Pressure"], start=1.5, stop=7.0)
        voltage, voltage_times = rec["Voltage"].window(1.5, 7.0)
        spectrum, _ = rec["Spectrum"].window(1.5, 7.0)
        pressure, pressure_times = rec["Pressure"].window(1.5, 7.0)
    try:
        line = line_of(axis_of(figure, "V"), "Voltage")
        x, y = np.asarray(line.get_xdata()), np.asarray(line.get_ydata())
        assert np.array_equal(x[np.isfinite(x)], voltage_times) and np.array_equal(y[np.isfinite(y)], voltage)
        assert np.count_nonzero(np.isnan(x)) == 2  # one break in each region gap
        # An array channel is drawn as its first value.
        first = line_of(axis_of(figure, "(no unit)"), "Spectrum[0]").get_ydata()
        assert np.array_equal(np.asarray(first)[np.isfinite(first)], spectrum[:, 0])
        points = line_of(axis_of(figure, "bar"), "Pressure")
        assert points.get_linestyle() == "None" and points.get_marker() == "."
        assert np.array_equal(points.get_xdata(), pressure_times) and np.array_equal(points.get_ydata(), pressure)
    finally:
        import matplotlib.pyplot

        matplotlib.pyplot.close(figure)


@pytest.mark.parametrize("max_points", [50, 20])  # reduced values as they are, and time bins of them
def test_long_channels_become_envelopes_of_the_reduced_values(sample_path, tmp_path, monkeypatch, max_points):
    monkeypatch.setattr(plot, "MAX_POINTS", max_points)
    with kvdatareader.open(sample_path) as rec:
        figure = rec.plot(channels=["Voltage"], path=tmp_path / "long.png")
        values, _ = rec["Voltage"].read()
        gaps = [(a.stop, b.start) for a, b in zip(rec.regions, rec.regions[1:])]
    axis = figure.axes[0]
    (envelope,) = axis.collections
    vertices = np.concatenate([path.vertices for path in envelope.get_paths()])
    assert vertices[:, 1].min() == values.min() and vertices[:, 1].max() == values.max()
    middle = np.asarray(line_of(axis, "Voltage").get_xdata())
    # One piece per region: nothing drawn across a gap.
    assert len(envelope.get_paths()) == len(gaps) + 1 and np.count_nonzero(np.isnan(middle)) == len(gaps)
    for stop, start in gaps:
        assert not np.any((vertices[:, 0] > stop) & (vertices[:, 0] < start))
        assert not np.any((middle > stop) & (middle < start))


@pytest.mark.parametrize("arguments, error", [
    ({"channels": ["Operator"]}, ValueError),   # a text single value
    ({"channels": ["Voltag"]}, KeyError),
    ({"start": 5.0, "stop": 2.0}, ValueError),
    ({"start": float("nan")}, ValueError),
])
def test_bad_requests_raise(sample_path, arguments, error):
    with kvdatareader.open(sample_path) as rec, pytest.raises(error):
        rec.plot(path=os.devnull, **arguments)


@pytest.mark.parametrize("arguments, status, message", [
    (["{sample}"], 0, ""),
    (["{sample}", "--channels", "Voltage", "Pressure", "--from", "1", "--to", "4"], 0, ""),
    (["{missing}"], 1, "Cannot open specified file"),
    (["{sample}", "--channels", "Voltag"], 2, "'Voltage'"),
    (["{sample}", "--from", "5", "--to", "2"], 2, "empty"),
    (["{sample}", "--from", "soon"], 2, "invalid float"),
    (["{sample}", "-o", "{folder}/no/such.png"], 3, "cannot write"),
])
def test_command_line_exit_statuses(sample_path, tmp_path, arguments, status, message):
    target = tmp_path / "quicklook.png"
    names = {"sample": sample_path, "missing": str(tmp_path / "missing.kvd"), "folder": str(tmp_path)}
    command = [sys.executable, "-m", "kvdatareader", "plot", "-o", str(target)]
    result = subprocess.run(command + [a.format(**names) for a in arguments], capture_output=True, text=True,
                            timeout=120)
    assert result.returncode == status, result.stderr
    assert message in result.stderr
    assert target.exists() == (status == 0)
    if status == 0:
        assert png_size(target)[0] == 1000
