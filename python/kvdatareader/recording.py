"""An open recording: one reader of its own (KVICreateReader), so recordings on
different threads read in parallel while ctypes releases the GIL in every call.
A Recording belongs to one thread at a time. Its reader is destroyed on close(),
on leaving a `with` block, or when the Recording is garbage-collected."""

import ctypes
import datetime
import errno
import os
import weakref
from collections import namedtuple

import numpy as np

from . import _records as R
from . import _registry
from ._library import lib
from .channel import Channel
from .errors import CannotOpenFileError, ChannelNotFoundError, check

Event = namedtuple("Event", "type name time text")
Region = namedtuple("Region", "start stop")
MeasurementInfo = namedtuple("MeasurementInfo", "sample_rate start_measure_time start_store_time duration")

EVENT_NAMES = {1: "storing started", 2: "storing stopped", 3: "data trigger", 11: "video start", 12: "video stop",
               20: "keyboard", 21: "notice", 22: "voice", 24: "module", 25: "alarm", 26: "alarm level", 27: "alarm"}

# Day times count days, with fractions, from day 0 on 1899-12-30.
_DAY_ZERO = datetime.datetime(1899, 12, 30)


def day_time(days):
    """A library day time as datetime (None for 0, which means unknown)."""
    if not days or not np.isfinite(days):
        return None
    return _DAY_ZERO + datetime.timedelta(days=float(days))


def _release(handle, state):
    slot = state.pop("slot", None)
    if slot is not None:
        _registry.release(slot.position)
    if handle.value:
        lib().KVIDestroyReader(handle)
        handle.value = None


def open(path):  # noqa: A001 - the package's entry point, kvdatareader.open
    """Opens a recording; use it as a context manager to release the reader on exit."""
    return Recording(path)


class Recording:
    """An open recording file (plain or zip-packaged)."""

    def __init__(self, path):
        self.path = os.fspath(path)
        library = lib()
        self._handle = ctypes.c_void_p()
        check(library.KVICreateReader(ctypes.byref(self._handle)), "creating a reader")
        self._state = {}
        self._finalizer = weakref.finalize(self, _release, self._handle, self._state)
        info = R.KVFileInfo()
        status = library.KVIOpenDataFile(self._handle, os.fsencode(self.path), ctypes.byref(info))
        if status != R.OK:
            try:
                check(status, f"cannot open {self.path}")
            except CannotOpenFileError as error:
                error.filename, error.strerror = self.path, error.message
                if not os.path.exists(self.path):
                    error.errno = errno.ENOENT
                raise
            finally:
                self._finalizer()
        measurement = R.KVMeasurementInfo()
        check(library.KVIGetMeasurementInfo(self._handle, ctypes.byref(measurement)),
              f"reading the measurement info of {self.path}")
        self.info = MeasurementInfo(measurement.sample_rate, measurement.start_measure_time,
                                    measurement.start_store_time, measurement.duration)
        self._channels = None
        self._by_name = None
        self._regions = None

    # ----- life -----------------------------------------------------------

    def close(self):
        """Closes the file and destroys the reader (also any registry reader it used)."""
        self._finalizer()

    @property
    def closed(self):
        return not self._finalizer.alive

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        state = "closed" if self.closed else f"{len(self.channels)} channels, {self.duration:g} s"
        return f"<Recording {self.path!r} {state}>"

    def _live(self):
        """The reader handle; ValueError once closed."""
        if not self._finalizer.alive:
            raise ValueError(f"the recording {self.path} is closed")
        return self._handle

    def _text_slot(self):
        """The registry reader with this file open, for the text functions."""
        self._live()
        slot = self._state.get("slot")
        if slot is None:
            slot = self._state["slot"] = _registry.Slot(self.path)
        return slot

    # ----- recording properties -------------------------------------------

    @property
    def sample_rate(self):
        return self.info.sample_rate

    @property
    def start_time(self):
        """When the measurement started (datetime, None when not stored)."""
        return day_time(self.info.start_measure_time)

    @property
    def store_time(self):
        """When storing started (datetime, None when not stored)."""
        return day_time(self.info.start_store_time)

    @property
    def duration(self):
        """Stored length in seconds."""
        return self.info.duration

    @property
    def storing_type(self):
        value = ctypes.c_int32(0)
        check(lib().KVIGetStoringType(self._live(), ctypes.byref(value)), "reading the storing type")
        return value.value

    @property
    def header(self):
        """The header entries: name -> int, float or str (None when no value is stored)."""
        handle = self._live()
        count = ctypes.c_int32(0)
        check(lib().KVIGetHeaderEntryCount(handle, ctypes.byref(count)), "counting the header entries")
        entries = np.zeros(max(count.value, 0), R.CHANNEL_DTYPE)
        if count.value > 0:
            check(lib().KVIGetHeaderEntryList(handle, entries.ctypes.data), "reading the header entries")
        header = {}
        text = ctypes.create_string_buffer(256)
        for entry in entries:
            status = lib().KVIGetHeaderEntryText(handle, int(entry["index"]), text, 256)
            name = R.text(entry["name"])
            if status == R.ERROR:
                header[name] = None
                continue
            check(status, f"reading the header entry {name}")
            header[name] = _header_value(R.text(text.raw), int(entry["data_type"]))
        return header

    @property
    def events(self):
        """The event list: Event(type, name, time, text), time in seconds."""
        handle = self._live()
        count = ctypes.c_int32(0)
        check(lib().KVIGetEventListCount(handle, ctypes.byref(count)), "counting the events")
        records = np.zeros(max(count.value, 0), R.EVENT_DTYPE)
        if count.value > 0:
            check(lib().KVIGetEventList(handle, records.ctypes.data), "reading the events")
        return [Event(int(r["type"]), EVENT_NAMES.get(int(r["type"]), "other"), float(r["time"]), R.text(r["text"]))
                for r in records]

    @property
    def regions(self):
        """The recorded regions, Region(start, stop) in seconds, stop exclusive: each
        stop closes the region opened by the start before it."""
        if self._regions is None:
            regions = []
            start = 0.0
            for event in self.events:
                if event.type == R.START_EVENT:
                    start = event.time
                elif event.type == R.STOP_EVENT:
                    regions.append(Region(start, event.time))
            self._regions = regions
        return list(self._regions)

    def _region_count(self):
        count = ctypes.c_int32(0)
        if lib().KVIGetTriggerDataTriggerCountF(self._live(), ctypes.byref(count)) != R.OK:
            return 0
        return count.value

    # ----- channels -------------------------------------------------------

    @property
    def channels(self):
        """Every channel of the numeric, complex, binary and text lists, in index order."""
        if self._channels is None:
            self._channels = self._load_channels()
            self._by_name = {}
            for channel in self._channels:
                self._by_name.setdefault(channel.name, channel)
        return list(self._channels)

    def _list(self, count_function, list_function):
        handle = self._live()
        count = ctypes.c_int32(0)
        check(count_function(handle, ctypes.byref(count)), "counting channels")
        records = np.zeros(max(count.value, 0), R.CHANNEL_DTYPE)
        if count.value > 0:
            check(list_function(handle, records.ctypes.data), "listing channels")
        return records

    def _load_channels(self):
        library = lib()
        channels = []
        lists = (("numeric", library.KVIGetChannelListCount, library.KVIGetChannelList),
                 ("complex", library.KVIGetComplexChannelListCount, library.KVIGetComplexChannelList),
                 ("binary", library.KVIGetBinChannelListCount, library.KVIGetBinChannelList))
        listed = set()
        for name, count_function, list_function in lists:
            records = self._list(count_function, list_function)
            channels.extend(self._channels_of(records, name))
            listed.update(records["index"].tolist())
        if self._has_text_channels(listed):
            with self._text_slot() as registry:
                count = registry.KVGetTextChannelListCount()
                records = np.zeros(max(count, 0), R.CHANNEL_DTYPE)
                if count > 0:
                    check(registry.KVGetTextChannelList(records.ctypes.data), "listing the text channels")
            channels.extend(self._channels_of(records, "text"))
        channels.sort(key=lambda channel: channel.index)
        return channels

    def _channels_of(self, records, list_name):
        """Channels of one list's records, decoded column by column."""
        def texts(column):
            return [value.decode("utf-8", "surrogateescape") for value in records[column].tolist()]

        numeric = list_name == "numeric"
        return [Channel(self, index, name, unit, description, array_size, data_type, list_name,
                        position if numeric else -1)
                for position, (index, name, unit, description, array_size, data_type) in enumerate(zip(
                    records["index"].tolist(), texts("name"), texts("unit"), texts("description"),
                    records["array_size"].tolist(), records["data_type"].tolist()))]

    def _has_text_channels(self, listed):
        """Whether a channel outside the other lists is a text channel: only then is
        the file opened on a registry reader for the text list."""
        handle = self._live()
        value = ctypes.c_int32(0)
        size = ctypes.c_int32(4)
        index = 0
        while True:
            if index not in listed:
                size.value = 4
                status = lib().KVIGetChannelProps(handle, index, R.CH_DATA_TYPE, ctypes.byref(value),
                                                  ctypes.byref(size))
                if status == R.INVALID_INDEX:
                    return False
                if status == R.OK and value.value == 11:
                    return True
            index += 1

    def __getitem__(self, key):
        """A channel by name, or by channel index (an int)."""
        channels = self.channels
        if isinstance(key, str):
            channel = self._by_name.get(key)
            if channel is not None:
                return channel
            raise ChannelNotFoundError(f"no channel is named {key!r}{self._closest(key)}")
        try:
            index = int(key)
        except (TypeError, ValueError):
            raise TypeError(f"channels are found by name or index, not by {type(key).__name__}") from None
        for channel in channels:
            if channel.index == index:
                return channel
        raise ChannelNotFoundError(f"no channel has index {index}{self._closest(str(key))}")

    def __contains__(self, name):
        self.channels
        return name in self._by_name

    def __iter__(self):
        return iter(self.channels)

    def __len__(self):
        return len(self.channels)

    def closest_names(self, text, limit=3):
        """Up to `limit` channel names closest to text: names containing it first,
        then by edit distance."""
        wanted = text.lower()
        ranked = []
        for channel in self.channels:
            name = channel.name.lower()
            distance = 0 if wanted and wanted in name else _edit_distance(wanted, name) + 1
            ranked.append((distance, channel.name))
        ranked.sort(key=lambda pair: pair[0])
        return [name for _, name in ranked[:limit]]

    def _closest(self, text):
        names = self.closest_names(text)
        if not names:
            return " (the recording has no channels)"
        return "; closest: " + ", ".join(repr(name) for name in names)

    # ----- tables and pictures --------------------------------------------

    def _select(self, channels):
        if channels is None:
            return self.channels
        if isinstance(channels, (str, int, Channel)):
            channels = [channels]
        return [c if isinstance(c, Channel) else self[c] for c in channels]

    def to_pandas(self, channels=None, start=None, stop=None):
        """One pandas DataFrame per time base, indexed by time: synchronous channels of
        one rate with the same time stamps share "sync_<rate>Hz"; each asynchronous
        channel is "async_<name>", each single value "single_<name>". start/stop (seconds)
        select a half-open window; single values are kept whole."""
        import pandas as pd

        t0 = -np.inf if start is None else float(start)
        t1 = np.inf if stop is None else float(stop)
        windowed = start is not None or stop is not None
        tables = {}    # name -> (times, {column: values})
        sync_keys = {}  # rate -> table names of that rate
        for channel in self._select(channels):
            values, times = channel.window(t0, t1) if windowed else channel.read()
            columns = _columns(channel, values)
            if channel.kind == "sync" and channel.rate > 0:
                base = "sync_" + _rate_text(channel.rate) + "Hz"
                for name in sync_keys.setdefault(base, []):
                    if np.array_equal(tables[name][0], times):
                        tables[name][1].update(columns)
                        break
                else:
                    name = _unique(tables, base)
                    sync_keys[base].append(name)
                    tables[name] = (times, dict(columns))
            else:
                prefix = "single_" if channel.kind == "single" else "async_"
                tables[_unique(tables, prefix + _safe_name(channel.name))] = (times, dict(columns))
        return {name: pd.DataFrame(columns, index=pd.Index(times, name="time"))
                for name, (times, columns) in tables.items()}

    def plot(self, channels=None, start=None, stop=None, path=None):
        """A quick look: one axis per unit, regions shaded, events marked; saved to
        path when given. Needs matplotlib."""
        from .plot import plot_recording

        return plot_recording(self, channels=channels, start=start, stop=stop, path=path)


def _header_value(text, data_type):
    if data_type in (11, 12):
        return text
    try:
        return int(text) if data_type in (0, 1, 2, 3, 4, 6, 8) else float(text)
    except ValueError:
        return text


def _columns(channel, values):
    if isinstance(values, list) or np.ndim(values) == 1:
        return [(channel.name, values)]
    return [(f"{channel.name}[{k}]", values[:, k]) for k in range(values.shape[1])]


def _rate_text(rate):
    text = repr(float(rate))
    return text[:-2] if text.endswith(".0") else text


def _safe_name(name):
    out = "".join(c if c.isascii() and (c.isalnum() or c in "_-.") else "_" for c in name)
    return "_" + out if out in ("", ".", "..") else out


def _unique(tables, name):
    candidate, n = name, 2
    while candidate in tables:
        candidate, n = f"{name}_{n}", n + 1
    return candidate


def _edit_distance(a, b):
    row = list(range(len(b) + 1))
    for i in range(1, len(a) + 1):
        diagonal, row[0] = row[0], i
        for j in range(1, len(b) + 1):
            above = row[j]
            row[j] = min(row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1]))
            diagonal = above
    return row[len(b)]
