"""What the viewer draws of one channel over one view: per pixel column the true
extremes of the samples under it, taken from the coarsest reduced level that
still gives at least one value per pixel, or from the samples themselves when
the view is narrower than one value of the finest level; few enough samples are
sent as they are.

Bucket edges: a reduced value covers an interval of the recording, and a pixel
column's edge can cut through it. Each value goes whole to the column its
interval starts in, and each bucket reports the span it really covers, from the
start of its first value to the end of its last; so no extreme is ever dropped
or counted twice, and the envelope's min and max are exactly those of the
samples in [t, t_end) of each bucket, which lies at most one value off its
column. Asynchronous channels are reduced from their samples: their reduced
items describe the signal over each interval, not the samples stored."""

import math

import numpy as np

# Samples per pixel up to which the samples themselves are sent.
SAMPLES_PER_PIXEL = 2
# Samples per read when samples are reduced to extremes.
SAMPLE_CHUNK = 1 << 20


class Buckets:
    """Extremes over consecutive spans: start, end (exclusive), minimum, maximum."""

    def __init__(self, start, end, minimum, maximum):
        self.start, self.end, self.minimum, self.maximum = start, end, minimum, maximum

    @classmethod
    def of(cls, columns, start, end, minimum, maximum):
        """(buckets, their columns): items sorted by start, grouped by the pixel column
        each was given."""
        if not len(columns):
            return cls(*(np.empty(0) for _ in range(4))), columns
        heads = np.flatnonzero(np.diff(columns, prepend=columns[0] - 1))
        return cls(start[heads], np.maximum.reduceat(end, heads), np.minimum.reduceat(minimum, heads),
                   np.maximum.reduceat(maximum, heads)), columns[heads]

    def __len__(self):
        return len(self.start)


def columns_of(times, t0, step, width):
    """The pixel column of each time; times before t0 go to the first, after the view to the last."""
    return np.clip(np.floor((times - t0) / step), 0, width - 1).astype(np.int64)


def view(channel, regions, t0, t1, width):
    """The drawing of a channel over [t0, t1) on `width` pixel columns, as a dict:
    mode "envelope" (t, t_end, min, max per bucket) or "samples" (t, and min = max
    = the value), with None values between points that lie in different regions."""
    step = (t1 - t0) / width
    level = None
    if channel.kind == "sync":
        fitting = [found for found in channel.reduced_levels() if found.duration <= step]
        level = fitting[-1] if fitting else None
    if level is not None:
        drawn, read = _from_level(channel, level, t0, t1, width)
    else:
        drawn, read = _from_samples(channel, t0, t1, width)
    answer = {"channel": channel.index, "mode": "samples" if isinstance(drawn, tuple) else "envelope",
              "level": None if level is None else level.level,
              "samples_per_value": None if level is None else level.samples_per_value, "read": int(read)}
    if isinstance(drawn, tuple):
        times, values = drawn
        gaps = _gaps(times, regions) if channel.kind == "sync" else np.empty(0, np.int64)
        answer.update(_with_gaps(gaps, t=times, min=values, max=values))
    else:
        gaps = _gaps(drawn.start, regions) if channel.kind == "sync" else np.empty(0, np.int64)
        answer.update(_with_gaps(gaps, t=drawn.start, t_end=drawn.end, min=drawn.minimum, max=drawn.maximum))
    return answer


def _from_level(channel, level, t0, t1, width):
    """Buckets of a level's values; one value past the view bounds the last one's end."""
    values = channel.reduced(level.level, t0, t1 + level.duration)
    starts = values["time"]
    ends = np.minimum(starts + level.duration, np.append(starts[1:], math.inf))
    inside = starts < t1
    starts, ends, values = starts[inside], ends[inside], values[inside]
    columns = columns_of(starts, t0, (t1 - t0) / width, width)
    buckets, _ = Buckets.of(columns, starts, ends, values["min"], values["max"])
    return buckets, len(values)


def _from_samples(channel, t0, t1, width):
    """The samples in view (with one on either side, so lines reach the edges) when
    there are few, else their extremes per pixel column, read in chunks."""
    first, end = channel.positions(t0, t1)
    if end - first <= SAMPLES_PER_PIXEL * width:
        first, end = max(first - 1, 0), min(end + 1, len(channel))
        values, times = channel.read(first, end - first)
        return (times, values), end - first
    step = (t1 - t0) / width
    parts = []
    for position in range(first, end, SAMPLE_CHUNK):
        values, times = channel.read(position, min(SAMPLE_CHUNK, end - position))
        columns = columns_of(times, t0, step, width)
        parts.append(Buckets.of(columns, times, times, values, values))
    buckets = _join(parts)
    # A bucket reaches up to the next one's first sample, the last up to the first
    # sample past the view, or to the view's end when none follows.
    last = channel.read(end, 1)[1][0] if end < len(channel) else t1
    buckets.end = np.append(buckets.start[1:], last)
    return buckets, end - first


def _join(parts):
    """One Buckets of chunks' buckets; a column cut by a chunk edge becomes one bucket."""
    start, end, minimum, maximum, columns = [], [], [], [], []
    for buckets, chunk_columns in parts:
        if columns and len(chunk_columns) and columns[-1][-1] == chunk_columns[0]:
            end[-1][-1] = buckets.end[0]
            minimum[-1][-1] = min(minimum[-1][-1], buckets.minimum[0])
            maximum[-1][-1] = max(maximum[-1][-1], buckets.maximum[0])
            buckets = Buckets(buckets.start[1:], buckets.end[1:], buckets.minimum[1:], buckets.maximum[1:])
            chunk_columns = chunk_columns[1:]
        start.append(buckets.start.copy())
        end.append(buckets.end.copy())
        minimum.append(buckets.minimum.copy())
        maximum.append(buckets.maximum.copy())
        columns.append(chunk_columns)
    if not start:
        return Buckets(*(np.empty(0) for _ in range(4)))
    return Buckets(np.concatenate(start), np.concatenate(end), np.concatenate(minimum), np.concatenate(maximum))


def _gaps(times, regions):
    """Positions i where point i and point i + 1 lie in different regions."""
    if len(times) < 2 or not regions:
        return np.empty(0, np.int64)
    starts = np.array([region.start for region in regions])
    region = np.searchsorted(starts, times, side="right")
    return np.flatnonzero(np.diff(region))


def _with_gaps(gaps, **columns):
    """The columns as lists for JSON, a None row after each gap position (its time
    halfway across the gap), non-finite numbers as None."""
    out = {}
    for name, column in columns.items():
        column = np.asarray(column, np.float64)
        if gaps.size:
            if name in ("t", "t_end"):
                filler = (column[gaps] + column[gaps + 1]) / 2
            else:
                filler = np.full(gaps.size, np.nan)
            column = np.insert(column, gaps + 1, filler)
        listed = column.tolist()
        if not np.isfinite(column).all():
            listed = [value if math.isfinite(value) else None for value in listed]
        out[name] = listed
    return out
