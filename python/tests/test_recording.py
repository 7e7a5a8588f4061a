"""The recording: its properties, channel properties and lookup, events and
regions, tables per time base, every error class, the release of readers, the
library search, and two recordings read on two threads at once."""

import datetime
import gc
import threading

import numpy as np
import pytest

import kvdatareader
from kvdatareader import _library, _registry


def test_recording_properties(sample, expected):
    assert sample.sample_rate == expected["sample"]["sampleRate"]
    assert sample.duration == pytest.approx(8.0)
    assert sample.store_time == datetime.datetime(2025, 12, 9, 9, 0)  # day 46000.375 of the setup
    assert isinstance(sample.storing_type, int)
    assert isinstance(sample.header, dict)
    assert [c.index for c in sample.channels] == sorted(c.index for c in sample.channels)


def test_events_and_regions(sample, expected):
    bounds = expected["sample"]["regions"]
    assert sample.regions == [kvdatareader.Region(a, b) for a, b in zip(bounds[::2], bounds[1::2])]
    assert [(e.type, e.name) for e in sample.events] == [(1, "storing started"), (2, "storing stopped")] * 3
    assert [e.time for e in sample.events] == pytest.approx(bounds)


def test_header_entries_and_marks(kinds, expected):
    assert kinds.header == expected["kinds"]["header"]
    mark = expected["kinds"]["mark"]
    (event,) = [e for e in kinds.events if e.type == mark["type"]]
    assert (event.name, event.time) == ("keyboard", pytest.approx(mark["time"])) and mark["text"] in event.text
    assert kinds.regions == [(0.0, 1.0)]


CHANNELS = [  # recording, name, kind, list, data type, array size, unit, rate
    ("sample", "Voltage", "sync", "numeric", 7, 1, "V", 1000),
    ("sample", "Spectrum", "sync", "numeric", 7, 8, "", 100),
    ("sample", "Revolutions", "sync", "numeric", 8, 1, "rev", 1000),
    ("sample", "Operator", "single", "text", 11, 256, "", 0),
    ("sample", "Pressure", "async", "numeric", 7, 1, "bar", 0),
    ("kinds", "Phase", "sync", "complex", 10, 1, "", 1000),
    ("kinds", "Pictures", "async", "binary", 12, 1, "", 0),
    ("kinds", "Notes", "async", "text", 11, 256, "", 0),
]


@pytest.mark.parametrize("recording,name,kind,list_name,data_type,array_size,unit,rate", CHANNELS)
def test_channel_properties(request, recording, name, kind, list_name, data_type, array_size, unit, rate):
    channel = request.getfixturevalue(recording)[name]
    assert (channel.kind, channel.list, channel.data_type, channel.array_size, channel.unit, channel.rate) == (
        kind, list_name, data_type, array_size, unit, rate)
    assert request.getfixturevalue(recording)[channel.index] is channel


def test_axes_description_and_custom_properties(sample, kinds):
    (axis,) = sample["Spectrum"].axes
    assert (axis.name, axis.unit, axis.size, axis.values) == ("Frequency", "Hz", 8, [50.0 * k for k in range(8)])
    assert sample["Voltage"].axes == []
    assert kinds["Voltage"].description == "supply voltage"
    assert kinds["Voltage"].custom_properties == {"Gain": 5, "Sensor": "PT100"}
    assert "Frames" not in kinds  # a CAN message is on no channel list


def test_to_pandas_one_frame_per_time_base(sample, expected):
    frames = sample.to_pandas()
    assert set(frames) == {"sync_1000Hz", "sync_100Hz", "single_Operator", "async_Pressure"}
    fast = frames["sync_1000Hz"]
    assert list(fast.columns) == ["Voltage", "Current", "Temperature", "Revolutions"]
    np.testing.assert_array_equal(fast.index, expected["sample"]["channels"]["Voltage"]["times"])
    np.testing.assert_array_equal(fast["Current"], expected["sample"]["channels"]["Current"]["values"])
    assert list(frames["sync_100Hz"].columns) == [f"Spectrum[{k}]" for k in range(8)]
    assert frames["single_Operator"]["Operator"].tolist() == ["Ada"]
    window = sample.to_pandas(["Voltage", "Pressure"], start=1.5, stop=3.5)
    assert set(window) == {"sync_1000Hz", "async_Pressure"}
    for frame in window.values():
        assert frame.index.min() >= 1.5 and frame.index.max() < 3.5


ERRORS = [  # file, exception classes it must be, status
    ("missing.kvd", (kvdatareader.CannotOpenFileError, FileNotFoundError, kvdatareader.KVError), 2),
    ("garbage.kvd", (kvdatareader.CorruptFileError, kvdatareader.KVError), 4),
    ("nosetup.kvd", (kvdatareader.CorruptFileError, kvdatareader.KVError), 4),
]


@pytest.mark.parametrize("name,classes,status", ERRORS)
def test_files_that_do_not_open(files, name, classes, status):
    with pytest.raises(classes[0]) as caught:
        kvdatareader.open(files / name)
    assert all(isinstance(caught.value, c) for c in classes)
    assert caught.value.status == status and name in str(caught.value)
    assert caught.value.message.endswith(("Cannot open specified file", "File is corrupted or has invalid format"))


@pytest.mark.parametrize("key,closest", [("Voltag", "Voltage"), ("pressure", "Pressure"), ("Spectra", "Spectrum"),
                                         (999, None)])
def test_unknown_channels_name_the_closest(sample, key, closest):
    with pytest.raises(KeyError) as caught:
        sample[key]
    assert "closest" in str(caught.value)
    if closest:
        assert sample.closest_names(key)[0] == closest and repr(closest) in str(caught.value)


def test_library_errors_carry_status_and_message(sample):
    with pytest.raises(kvdatareader.errors.InvalidLevelError) as caught:
        sample["Voltage"].reduced(-1)
    assert caught.value.status == 9 and "Invalid IB level specified" in str(caught.value)


def test_context_manager_and_garbage_collection_release_the_reader(files):
    with kvdatareader.open(files / "sample.kvd") as recording:
        assert recording["Operator"].read()[0] == ["Ada"]  # takes a registry reader
        slot = recording._state["slot"].position
    assert recording.closed and recording._handle.value is None and slot in _registry._free
    with pytest.raises(ValueError):
        recording["Voltage"].read()
    finalizer = kvdatareader.open(files / "sample.kvd")._finalizer
    gc.collect()
    assert not finalizer.alive


def test_library_search_lists_where_it_looked(monkeypatch, tmp_path):
    monkeypatch.setattr(_library, "candidates", lambda: [str(tmp_path / "nowhere.so"), str(tmp_path)])
    with pytest.raises(_library.LibraryNotFoundError) as caught:
        _library._load()
    assert "nowhere.so (no such file)" in str(caught.value) and "KVDATAREADER_LIB" in str(caught.value)


def test_two_recordings_on_two_threads(files):
    paths = [files / "sample.kvd", files / "sample.kxz"]
    names = ["Voltage", "Spectrum", "Pressure", "Operator"]

    def read_all(path):
        with kvdatareader.open(path) as recording:
            return [recording[name].read() for name in names] + [recording["Voltage"].window(1.0, 6.5)]

    sequential = [read_all(path) for path in paths]
    results, errors = [None, None], []
    barrier = threading.Barrier(2)

    def worker(slot):
        try:
            barrier.wait()
            for _ in range(20):
                results[slot] = read_all(paths[slot])
        except BaseException as error:  # noqa: BLE001 - reported below
            errors.append(error)

    threads = [threading.Thread(target=worker, args=(slot,)) for slot in (0, 1)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    assert not errors and not any(thread.is_alive() for thread in threads)
    for got, want in zip(results, sequential):
        for (got_values, got_times), (want_values, want_times) in zip(got, want):
            np.testing.assert_array_equal(got_times, want_times)
            assert np.array_equal(got_values, want_values) if isinstance(want_values, np.ndarray) \
                else got_values == want_values
