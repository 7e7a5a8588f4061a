"""One channel of an open recording: its properties and its samples as numpy
arrays. Every read hands numpy buffers to the library, which fills them in
place: values (n,) or (n, array_size), time stamps (n,) in seconds. Text and
binary channels give lists of str and bytes."""

import ctypes
import math
import operator
from collections import namedtuple

import numpy as np

from . import _records as R
from ._library import lib
from .errors import InvalidLevelError, KVError, check

Axis = namedtuple("Axis", "name unit size values")
ReducedLevel = namedtuple("ReducedLevel", "level count duration samples_per_value")

# Samples per library call: the calls count in int32.
_MAX_CALL = 1 << 30
# Reduced records per KVGetReducedValuesBlock window.
_REDUCED_WINDOW = 65536
# Records read from the start of a level to find its step between values.
_LEVEL_PROBE = 4096
# Reduced levels a recording can store, and the last position an int32 can name.
REDUCED_LEVELS = 6
_MAX_POSITION = (1 << 31) - 1


class Channel:
    """A channel; made by Recording.channels, never directly."""

    def __init__(self, recording, index, name, unit, description, array_size, data_type, list_name,
                 list_position):
        self._recording = recording
        self.index = index
        self.name = name
        self.unit = unit
        self.description = description
        self.array_size = max(array_size, 1)
        self.data_type = data_type
        self.list = list_name                # 'numeric', 'complex', 'binary' or 'text'
        self._list_position = list_position  # position in the numeric list (trigger table), else -1
        self._cache = {}

    def __repr__(self):
        return (f"<Channel {self.index} {self.name!r} [{self.unit}] {self.kind} {self.list} "
                f"{R.DATA_TYPE_NAMES.get(self.data_type, self.data_type)}>")

    # ----- properties read on first use -----------------------------------

    def _cached(self, key, compute):
        value = self._cache.get(key)
        if value is None:
            value = self._cache[key] = compute()
        return value

    def _int_prop(self, selector):
        value = ctypes.c_int32(0)
        size = ctypes.c_int32(4)
        check(lib().KVIGetChannelProps(self._recording._live(), self.index, selector, ctypes.byref(value),
                                       ctypes.byref(size)), f"reading a property of {self.name}")
        return value.value

    @property
    def kind(self):
        """'sync', 'async' or 'single'."""
        return self._cached("kind", lambda: R.CHANNEL_KINDS.get(self._int_prop(R.CH_TYPE), "sync"))

    @property
    def value_size(self):
        """Bytes of one stored value."""
        return self._cached("value_size", lambda: self._int_prop(R.CH_DATA_TYPE_SIZE))

    def _factors(self):
        scale, offset = ctypes.c_double(), ctypes.c_double()
        check(lib().KVIGetChannelFactors(self._recording._live(), self.index, ctypes.byref(scale),
                                         ctypes.byref(offset)), f"reading the scaling of {self.name}")
        return scale.value, offset.value

    @property
    def scale(self):
        return self._cached("factors", self._factors)[0]

    @property
    def offset(self):
        return self._cached("factors", self._factors)[1]

    @property
    def rate(self):
        """Samples per second of a synchronous channel; 0.0 for the others."""
        return self._cached("rate", self._rate)

    def _rate(self):
        if self.kind != "sync":
            return 0.0
        recording = self._recording
        if self._list_position >= 0 and recording._region_count() > 0:
            x_unit, y_unit = ctypes.create_string_buffer(16), ctypes.create_string_buffer(32)
            x_start, count, rate = ctypes.c_double(), ctypes.c_double(), ctypes.c_double()
            kind = ctypes.c_int32()
            status = lib().KVIGetTriggerDataChannelInfoF(
                recording._live(), 0, self._list_position, x_unit, 16, y_unit, 32, ctypes.byref(x_start),
                ctypes.byref(count), ctypes.byref(rate), ctypes.byref(kind))
            if status == R.OK and rate.value > 0:
                return rate.value
        if self.list == "numeric" and len(self) >= 2:
            _, times = self.read(0, 2)
            if times[1] > times[0]:
                return 1.0 / float(times[1] - times[0])
        return float(recording.sample_rate)

    @property
    def axes(self):
        """The array axes (name, unit, size, values per position); empty for a plain channel."""
        return self._cached("axes", self._axes)

    def _axes(self):
        handle = self._recording._live()
        count = ctypes.c_int32(0)
        check(lib().KVIGetArrayInfoCount(handle, self.index, ctypes.byref(count)), f"counting the axes of {self.name}")
        if count.value <= 0:
            return []
        infos = (R.KVArrayInfo * count.value)()
        check(lib().KVIGetArrayInfoList(handle, self.index, infos), f"reading the axes of {self.name}")
        axes = []
        for axis, info in enumerate(infos):
            values = []
            number = ctypes.c_double()
            for position in range(max(info.size, 0)):
                status = lib().KVIGetArrayIndexValueF(handle, self.index, axis, position, ctypes.byref(number))
                if status == R.OK:
                    values.append(number.value)
                else:
                    text = ctypes.create_string_buffer(256)
                    check(lib().KVIGetArrayIndexValue(handle, self.index, axis, position, text, 256),
                          f"reading axis {axis} of {self.name}")
                    values.append(R.text(text.raw))
            axes.append(Axis(R.text(info.name), R.text(info.unit), int(info.size), values))
        return axes

    @property
    def custom_properties(self):
        """The channel's custom properties as a dict of int, float or str."""
        return self._cached("custom", self._custom_properties)

    def _custom_properties(self):
        handle = self._recording._live()
        count = self._int_prop(R.CH_CUSTOM_PROPS_COUNT)
        if count <= 0:
            return {}
        entries = (R.KVCustomProperty * count)()
        size = ctypes.c_int32(ctypes.sizeof(entries))
        check(lib().KVIGetChannelProps(handle, self.index, R.CH_CUSTOM_PROPS, entries, ctypes.byref(size)),
              f"reading the custom properties of {self.name}")
        properties = {}
        for entry in entries:
            if entry.value_type == R.PROPERTY_INTEGER:
                value = entry.int_value
            elif entry.value_type == R.PROPERTY_FLOAT:
                value = entry.float_value
            else:
                value = R.text(entry.string_value)
            properties[R.text(entry.name)] = value
        return properties

    def __len__(self):
        """The number of samples (1 for a single value)."""
        return self._cached("count", self._count)

    def _count(self):
        if self.list == "text":
            with self._recording._text_slot() as library:
                count = library.KVGetTextValuesCount(self.index)
            if count < 0:
                raise KVError(R.INVALID_INDEX, f"counting the text values of {self.name}: channel not found")
            return int(count)
        function = {"numeric": lib().KVIGetScaledSamplesCount, "complex": lib().KVIGetComplexScaledSamplesCount,
                    "binary": lib().KVIGetBinarySamplesCount}[self.list]
        count = ctypes.c_int64(-1)
        check(function(self._recording._live(), self.index, ctypes.byref(count)),
              f"counting the samples of {self.name}")
        if count.value < 0:
            raise KVError(R.INVALID_INDEX, f"counting the samples of {self.name}: channel index out of range")
        return count.value

    # ----- samples --------------------------------------------------------

    def _span(self, start, count):
        n = len(self)
        start = operator.index(start)
        if start < 0:
            start = max(start + n, 0)
        start = min(start, n)
        count = n - start if count is None else max(0, min(operator.index(count), n - start))
        return start, count

    def read(self, start=0, count=None, raw=False, out=None):
        """(values, times) of `count` samples from sample `start` (all to the end by
        default). raw=True gives the stored numbers in the stored type (binary
        channels: their payload locators). out=(values, times) reads a numeric or
        complex channel into arrays of the caller's (C-contiguous, of the read's dtype,
        at least `count` samples long) and returns views of the part filled."""
        start, count = self._span(start, count)
        if out is not None:
            return self._read_into(start, count, raw, *out)
        if self.list == "numeric":
            return self._read_numeric(start, count, raw)
        if self.list == "complex":
            return self._read_complex(start, count, raw)
        if self.list == "binary":
            return self._read_binary(start, count, raw)
        return self._read_text(start, count)

    def __getitem__(self, key):
        """channel[a:b] -> (values, times) of those samples; channel[i] -> (value, time)."""
        if isinstance(key, slice):
            first, stop, step = key.indices(len(self))
            if step == 1:
                return self.read(first, max(0, stop - first))
            if step > 0:
                values, times = self.read(first, max(0, stop - first))
                return values[::step], times[::step]
            first_read = stop + 1
            values, times = self.read(first_read, max(0, first - first_read + 1))
            return values[::step], times[::step]
        position = operator.index(key)
        n = len(self)
        if position < 0:
            position += n
        if not 0 <= position < n:
            raise IndexError(f"sample {key} of {self.name} is out of range (0 to {n - 1})")
        values, times = self.read(position, 1)
        return values[0], times[0]

    def _fill(self, function, start, count, values, times):
        """Reads in calls of at most _MAX_CALL samples straight into the arrays."""
        handle = self._recording._live()
        stride = values.strides[0] if values.ndim else values.itemsize
        base, time_base = values.ctypes.data, times.ctypes.data
        done = 0
        while done < count:
            n = min(count - done, _MAX_CALL)
            check(function(handle, self.index, start + done, n, base + done * stride, time_base + done * 8),
                  f"reading samples {start + done} to {start + done + n - 1} of {self.name}")
            done += n

    def _shape(self, count):
        return (count,) if self.array_size == 1 else (count, self.array_size)

    def raw_dtype(self):
        """The numpy type of the stored values (a void type of the stored size for the
        types numpy has none for)."""
        size = self.value_size
        dtype = R.DATA_TYPE_DTYPES.get(self.data_type)
        if dtype is None or dtype.itemsize != size:
            return np.dtype(("V", max(size, 1)))
        return dtype

    def _read_into(self, start, count, raw, values, times):
        if self.list == "numeric":
            dtype = self.raw_dtype() if raw else np.dtype(np.float64)
            function = lib().KVIGetRawSamples if raw else lib().KVIGetScaledSamples
        elif self.list == "complex" and not (raw and self.data_type == 9):
            dtype = np.dtype(np.complex128)
            function = lib().KVIGetComplexRawSamples if raw else lib().KVIGetComplexScaledSamples
        else:
            raise TypeError(f"out= takes numeric and complex channels, not the {self.list} channel {self.name}")
        shape = self._shape(count)
        for array, want in ((values, dtype), (times, np.dtype(np.float64))):
            if not (isinstance(array, np.ndarray) and array.dtype == want and array.flags.c_contiguous
                    and array.flags.writeable):
                raise ValueError(f"out= needs writeable C-contiguous {want} arrays")
        if values.shape[1:] != shape[1:] or len(values) < count or times.ndim != 1 or len(times) < count:
            raise ValueError(f"out= needs values of shape {('n',) + shape[1:]} and times of shape (n,), n >= {count}")
        self._fill(function, start, count, values, times)
        return values[:count], times[:count]

    def _read_numeric(self, start, count, raw):
        dtype = self.raw_dtype() if raw else np.dtype(np.float64)
        values = np.empty(self._shape(count), dtype)
        times = np.empty(count, np.float64)
        function = lib().KVIGetRawSamples if raw else lib().KVIGetScaledSamples
        self._fill(function, start, count, values, times)
        return values, times

    def _read_complex(self, start, count, raw):
        values = np.empty(self._shape(count), np.complex128)  # KVComplex: two doubles, real first
        times = np.empty(count, np.float64)
        function = lib().KVIGetComplexRawSamples if raw else lib().KVIGetComplexScaledSamples
        self._fill(function, start, count, values, times)
        if raw and self.data_type == 9:
            values = values.astype(np.complex64)
        return values, times

    def _read_binary(self, start, count, raw):
        locators = np.empty(count, R.BINARY_SAMPLE_DTYPE)
        times = np.empty(count, np.float64)
        self._fill(lib().KVIGetBinRecSamples, start, count, locators, times)
        if raw:
            return locators, times
        handle = self._recording._live()
        sizes = locators["size"]
        if count and (sizes.min() < 0 or sizes.max() > (1 << 30)):
            raise KVError(R.FILE_CORRUPT, f"binary samples of {self.name} hold impossible sizes")
        payloads = []
        done = 0
        while done < count:
            # As many payloads per call as fit in a buffer below 1 GiB (each behind its int32 length).
            ends = np.cumsum(sizes[done:] + 4)
            n = max(1, int(np.searchsorted(ends, 1 << 30, side="right")))
            total = int(ends[n - 1])
            buffer = np.empty(total, np.uint8)
            size = ctypes.c_int32(total)
            check(lib().KVIGetBinarySamplesEx(handle, self.index, start + done, n, buffer.ctypes.data, None,
                                              ctypes.byref(size)),
                  f"reading binary samples {start + done} to {start + done + n - 1} of {self.name}")
            data = buffer[:size.value].tobytes()
            at = 0
            for _ in range(n):
                length = int.from_bytes(data[at:at + 4], "little")
                payloads.append(data[at + 4:at + 4 + length])
                at += 4 + length
            done += n
        return payloads, times

    def _read_text(self, start, count):
        width = self.array_size
        chars = np.zeros(count * width, np.uint8)
        times = np.empty(count, np.float64)
        done = 0
        with self._recording._text_slot() as library:
            while done < count:
                n = min(count - done, _MAX_CALL // width)
                check(library.KVGetTextValues(self.index, start + done, n, chars.ctypes.data + done * width,
                                              times.ctypes.data + done * 8),
                      f"reading text values {start + done} to {start + done + n - 1} of {self.name}")
                done += n
        data = chars.tobytes()
        texts = [data[i:i + width].split(b"\0", 1)[0].decode("utf-8", "surrogateescape")
                 for i in range(0, count * width, width)]
        return texts, times

    # ----- time windows ---------------------------------------------------

    def _time_at(self, position):
        """The time stamp of one sample, read alone."""
        time = np.empty(1, np.float64)
        if self.list == "numeric":
            self._fill(lib().KVIGetScaledSamples, position, 1, np.empty(self.array_size), time)
        elif self.list == "complex":
            self._fill(lib().KVIGetComplexScaledSamples, position, 1, np.empty(self.array_size, np.complex128), time)
        elif self.list == "binary":
            self._fill(lib().KVIGetBinRecSamples, position, 1, np.empty(1, R.BINARY_SAMPLE_DTYPE), time)
        else:
            _, time = self._read_text(position, 1)
        return float(time[0])

    def _at_or_after(self, t, low, high):
        """The first position in [low, high) whose time stamp is at or after t (high when none)."""
        while low < high:
            middle = (low + high) // 2
            if self._time_at(middle) < t:
                low = middle + 1
            else:
                high = middle
        return low

    def positions(self, t0, t1):
        """(first, end): the sample positions whose time stamps lie in [t0, t1)."""
        t0, t1 = float(t0), float(t1)
        if math.isnan(t0) or math.isnan(t1):
            raise ValueError("a time window needs numbers, not NaN")
        n = len(self)
        first = self._at_or_after(t0, 0, n)
        return first, (self._at_or_after(t1, first, n) if t0 < t1 else first)

    def window(self, t0, t1):
        """(values, times) of the samples with t0 <= time < t1, on the library's
        time-stamp scale (seconds). Consecutive windows never repeat a sample. A
        single value is kept whole whatever the window."""
        t0, t1 = float(t0), float(t1)
        if math.isnan(t0) or math.isnan(t1):
            raise ValueError("a time window needs numbers, not NaN")
        if self.kind == "single":
            return self.read()
        if not t0 < t1:
            return self.read(0, 0)
        n = len(self)
        first = self._at_or_after(t0, 0, n)
        end = self._at_or_after(t1, first, n)
        return self.read(first, end - first)

    # ----- reduced values -------------------------------------------------

    def _reduced_block(self, level, position, count):
        """Records [position, position + count) of a level, fewer past the last stored one."""
        # Records past the stored ones are left as they were: NaN time stamps mark them.
        block = np.empty(count, R.REDUCED_DTYPE)
        block["time"] = np.nan
        index = ctypes.c_int32(self.index)
        check(lib().KVIGetReducedValuesBlock(self._recording._live(), ctypes.byref(index), 1, position, count, level,
                                             block.ctypes.data),
              f"reading the reduced values of {self.name} at level {level}")
        missing = np.flatnonzero(np.isnan(block["time"]))
        return block[:int(missing[0])] if missing.size else block

    def _reduced_time(self, level, position):
        """The time stamp of one record of a level, None past the last."""
        record = self._reduced_block(level, position, 1)
        return float(record["time"][0]) if len(record) else None

    def reduced_levels(self):
        """The reduced levels stored for the channel, finest first: ReducedLevel(level,
        count, duration, samples_per_value). duration is the seconds one value covers
        (never less than the true interval: above the first level it is the shortest
        step between the level's first stored values); samples_per_value counts
        full-rate samples. Empty for channels without reduced values."""
        levels = self._cache.get("levels")
        if levels is None:
            levels = self._cache["levels"] = self._find_reduced_levels()
        return list(levels)

    def reduced_level(self, level):
        """The ReducedLevel of one level, None when it is not stored for the channel."""
        return next((found for found in self.reduced_levels() if found.level == level), None)

    def _find_reduced_levels(self):
        if self.list != "numeric" or self.kind == "single" or self.array_size != 1:
            return []
        count, duration = ctypes.c_int32(0), ctypes.c_double(0)
        check(lib().KVIGetReducedValuesCount(self._recording._live(), self.index, ctypes.byref(count),
                                             ctypes.byref(duration)), f"counting the reduced values of {self.name}")
        if count.value <= 0 or not duration.value > 0:
            return []
        rate = self._recording.sample_rate
        levels = []
        first = None
        for level in range(REDUCED_LEVELS):
            try:
                head = self._reduced_block(level, 0, _LEVEL_PROBE)
            except InvalidLevelError:
                continue  # below the channel's first stored level
            except KVError as error:
                if error.status != R.ERROR:  # anything but "Channel not stored"
                    raise
                if first is None:
                    first = level
                continue
            if first is None:
                first = level
            if not len(head):
                continue
            if level == first:
                step = duration.value
            else:
                steps = np.diff(head["time"])
                steps = steps[steps > 0]
                if not steps.size:
                    continue  # one value per region: its span is unknown, and finer levels serve
                step = float(steps.min())
            if rate > 0:
                # Time stamps are whole full-rate positions over the rate: undo their rounding.
                step = max(round(step * rate), 1) / rate
            stored = len(head) if len(head) < _LEVEL_PROBE else self._reduced_count(level, len(head))
            levels.append(ReducedLevel(level, stored, step, int(round(step * rate)) if rate > 0 else 0))
        return levels

    def _reduced_count(self, level, known):
        """The records of a level, at least `known`: doubling probes, then bisection."""
        low, high = known - 1, known
        while self._reduced_time(level, high) is not None:
            low, high = high, min(2 * high, _MAX_POSITION)
            if low == _MAX_POSITION:
                return low + 1
        while high - low > 1:  # low is stored, high is not
            middle = (low + high) // 2
            if self._reduced_time(level, middle) is None:
                high = middle
            else:
                low = middle
        return high

    def _reduced_position(self, level, count, t):
        """The first record of a level whose time stamp is above t (count when none)."""
        low, high = 0, count
        while low < high:
            middle = (low + high) // 2
            time = self._reduced_time(level, middle)
            if time is not None and time <= t:
                low = middle + 1
            else:
                high = middle
        return low

    def reduced(self, level=None, start=None, stop=None):
        """The stored reduced values: a structured array with fields time, min, max,
        ave and rms (scaled). level=None reads the channel's first stored level;
        a level number reads that level (InvalidLevelError below the first stored).
        start/stop (seconds) keep the values whose interval reaches into [start, stop)."""
        handle = self._recording._live()
        if start is not None or stop is not None:
            return self._reduced_window(level, start, stop)
        if level is None:
            count, duration = ctypes.c_int32(0), ctypes.c_double(0)
            check(lib().KVIGetReducedValuesCount(handle, self.index, ctypes.byref(count), ctypes.byref(duration)),
                  f"counting the reduced values of {self.name}")
            values = np.empty(max(count.value, 0), R.REDUCED_DTYPE)
            if count.value > 0:
                check(lib().KVIGetReducedValues(handle, self.index, 0, count.value, values.ctypes.data),
                      f"reading the reduced values of {self.name}")
            return values
        level = operator.index(level)
        parts = []
        position = 0
        while True:
            block = self._reduced_block(level, position, _REDUCED_WINDOW)
            parts.append(block)
            position += len(block)
            if len(block) < _REDUCED_WINDOW or position > _MAX_POSITION - _REDUCED_WINDOW:
                break
        return np.concatenate(parts) if len(parts) > 1 else parts[0].copy()

    def _reduced_window(self, level, start, stop):
        start = -math.inf if start is None else float(start)
        stop = math.inf if stop is None else float(stop)
        if math.isnan(start) or math.isnan(stop):
            raise ValueError("a time window needs numbers, not NaN")
        levels = self.reduced_levels()
        found = levels[0] if level is None and levels else self.reduced_level(level)
        if found is None:
            if level is None:
                return np.empty(0, R.REDUCED_DTYPE)
            self._reduced_block(operator.index(level), 0, 1)  # raises the library's own status
            raise KVError(R.ERROR, f"the reduced values of {self.name} at level {level} are not stored")
        if not start < stop:
            return np.empty(0, R.REDUCED_DTYPE)
        # The value holding start begins at or before it: one before the first above.
        first = max(self._reduced_position(found.level, found.count, start) - 1, 0)
        end = self._reduced_position(found.level, found.count, math.nextafter(stop, -math.inf))
        parts = []
        position = first
        while position < end:
            block = self._reduced_block(found.level, position, min(end - position, _REDUCED_WINDOW))
            if not len(block):
                break
            parts.append(block)
            position += len(block)
        values = np.concatenate(parts) if parts else np.empty(0, R.REDUCED_DTYPE)
        return values[values["time"] + found.duration > start] if len(values) else values
