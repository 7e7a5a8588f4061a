"""Samples of every channel kind against the values the kit wrote: synchronous,
an array at a divided rate, a counter, asynchronous, a text single value,
complex, binary and stored text; raw forms, slices, time windows and reduced
values."""

import numpy as np
import pytest

import kvdatareader

SAMPLE_CHANNELS = ["Voltage", "Current", "Temperature", "Spectrum", "Revolutions", "Pressure"]


def written(expected, name):
    channel = expected["sample"]["channels"][name]
    values = np.array(channel["values"])
    if channel["arraySize"] > 1:
        values = values.reshape(-1, channel["arraySize"])
    return values, np.array(channel["times"])


@pytest.mark.parametrize("path", ["sample.kvd", "sample.kxz"])
@pytest.mark.parametrize("name", SAMPLE_CHANNELS)
def test_sample_channels_read_back_as_written(files, expected, path, name):
    values, times = written(expected, name)
    with kvdatareader.open(files / path) as recording:
        channel = recording[name]
        got_values, got_times = channel.read()
        raw_values, raw_times = channel.read(raw=True)
        assert len(channel) == len(times)
    assert got_values.dtype == np.float64 and got_values.shape == values.shape
    np.testing.assert_array_equal(got_values, values)
    np.testing.assert_array_equal(got_times, times)
    # The setup scales by 1 and offsets by 0: the stored numbers are the values.
    assert raw_values.dtype == {7: np.float64, 8: np.uint32}[expected["sample"]["channels"][name]["dataType"]]
    np.testing.assert_array_equal(raw_values.astype(np.float64), values)
    np.testing.assert_array_equal(raw_times, times)


def test_text_single_value(sample, expected):
    values, times = sample["Operator"].read()
    assert values == [expected["sample"]["operator"]]
    np.testing.assert_array_equal(times, [0.0])


def test_complex_channel_scaled_and_raw(kinds, expected):
    phase, want = kinds["Phase"], expected["kinds"]["Phase"]
    stored = np.array(want["re"]) + 1j * np.array(want["im"])
    raw, times = phase.read(raw=True)
    scaled, _ = phase.read()
    assert raw.dtype == scaled.dtype == np.complex128
    np.testing.assert_array_equal(raw, stored)
    np.testing.assert_array_equal(times, want["times"])
    np.testing.assert_allclose(scaled.real, stored.real * phase.scale + phase.offset)
    np.testing.assert_allclose(scaled.imag, stored.imag * phase.scale + phase.offset)


def test_scaled_numeric_channel(kinds, expected):
    voltage, want = kinds["Voltage"], expected["kinds"]["Voltage"]
    raw, _ = voltage.read(raw=True)
    scaled, times = voltage.read()
    np.testing.assert_array_equal(raw, want["values"])
    np.testing.assert_allclose(scaled, np.array(want["values"]) * voltage.scale + voltage.offset)
    np.testing.assert_array_equal(times, want["times"])


def test_binary_channel_payloads_and_locators(kinds, expected):
    want = expected["kinds"]["Pictures"]
    payloads, times = kinds["Pictures"].read()
    assert payloads == [bytes.fromhex(p) for p in want["payloads"]]
    np.testing.assert_array_equal(times, want["times"])
    locators, _ = kinds["Pictures"].read(raw=True)
    assert locators["size"].tolist() == [len(p) for p in payloads]
    assert kinds["Pictures"].read(1, 2)[0] == payloads[1:3]


def test_stored_text_channel(kinds, expected):
    want = expected["kinds"]["Notes"]
    texts, times = kinds["Notes"].read()
    assert texts == [bytes.fromhex(t).decode() for t in want["texts"]]
    np.testing.assert_array_equal(times, want["times"])


@pytest.mark.parametrize("key", [slice(10, 20), slice(-5, None), slice(None, None, 7), slice(5540, 9999),
                                 slice(100, 50), slice(None, None, -3)])
def test_slices_match_the_whole_read(sample, key):
    values, times = sample["Spectrum"].read()
    got_values, got_times = sample["Spectrum"][key]
    np.testing.assert_array_equal(got_values, values[key])
    np.testing.assert_array_equal(got_times, times[key])


def test_read_into_arrays_of_the_caller(sample):
    values, times = sample["Spectrum"].read(10, 20)
    out = (np.full((25, 8), np.nan), np.full(25, np.nan))
    got_values, got_times = sample["Spectrum"].read(10, 20, out=out)
    assert np.shares_memory(got_values, out[0]) and np.isnan(out[1][20:]).all()
    np.testing.assert_array_equal(got_values, values)
    np.testing.assert_array_equal(got_times, times)
    for bad in [(np.empty((25, 8), np.float32), np.empty(25)), (np.empty((5, 8)), np.empty(25)),
                (np.empty((25, 8))[:, ::2], np.empty(25))]:
        with pytest.raises(ValueError):
            sample["Spectrum"].read(10, 20, out=bad)


def test_single_sample_and_bounds(sample):
    values, times = sample["Voltage"].read()
    assert sample["Voltage"][-1] == (values[-1], times[-1])
    with pytest.raises(IndexError):
        sample["Voltage"][len(times)]


# Boundaries inside regions, on region edges and in the gaps (regions 0-2, 3-4.55, 6-8 s).
CUTS = [-1.0, 0.0005, 0.7, 2.0, 2.5, 3.0, 3.0001, 4.549, 4.55, 5.0, 6.0, 7.9995, 9.0]


@pytest.mark.parametrize("recording,name", [("sample", "Voltage"), ("sample", "Spectrum"), ("sample", "Pressure"),
                                            ("kinds", "Pictures"), ("kinds", "Notes"), ("kinds", "Phase")])
def test_consecutive_windows_join_without_repeat(request, recording, name):
    channel = request.getfixturevalue(recording)[name]
    values, times = channel.read()
    pieces = [channel.window(t0, t1) for t0, t1 in zip(CUTS, CUTS[1:])]
    for (t0, t1), (piece_values, piece_times) in zip(zip(CUTS, CUTS[1:]), pieces):
        mask = (times >= t0) & (times < t1)
        np.testing.assert_array_equal(piece_times, times[mask])
        assert len(piece_values) == mask.sum()
    joined = np.concatenate([t for _, t in pieces])
    np.testing.assert_array_equal(joined, times)
    if isinstance(values, np.ndarray):
        np.testing.assert_array_equal(np.concatenate([v for v, _ in pieces]), values)
    else:
        assert sum((v for v, _ in pieces), []) == values


def test_window_edge_cases(sample):
    voltage = sample["Voltage"]
    assert len(voltage.window(5.0, 1.0)[1]) == 0
    assert len(voltage.window(2.0, 3.0)[1]) == 0  # the gap between two regions
    assert sample["Operator"].window(100, 200)[0] == ["Ada"]  # a single value is kept whole
    with pytest.raises(ValueError):
        voltage.window(float("nan"), 1)


@pytest.mark.parametrize("name", ["Voltage", "Pressure"])
@pytest.mark.parametrize("level", [None, 0, 1])
def test_reduced_values_hold_the_statistics_of_the_written_signal(sample, expected, name, level):
    reduced = sample[name].reduced(level)
    assert reduced.dtype.names == ("time", "min", "max", "ave", "rms") and len(reduced) > 1
    assert np.all(np.diff(reduced["time"]) > 0)
    if level is None:
        np.testing.assert_array_equal(reduced, sample[name].reduced(0))
    if name != "Voltage":
        return  # Pressure's statistics are of its full-rate signal, not of its samples
    values, times = written(expected, name)
    span = reduced["time"][1] - reduced["time"][0]
    regions = np.reshape(expected["sample"]["regions"], (-1, 2))
    checked = 0
    for record in reduced:
        t = record["time"]
        if not any(start <= t and t + span <= stop for start, stop in regions):
            continue  # a block cut by a region's end
        block = values[(times >= t - 1e-9) & (times < t + span - 1e-9)]
        assert record["min"] == block.min() and record["max"] == block.max()
        assert record["ave"] == pytest.approx(block.mean(), rel=1e-9)
        assert record["rms"] == pytest.approx(np.sqrt(np.mean(block ** 2)), rel=1e-9)
        checked += 1
    assert checked > 0


def test_channels_without_reduced_values(sample):
    assert len(sample["Spectrum"].reduced()) == 0
