"""Quick-look pictures of a recording with matplotlib: one axis per unit on a shared
time axis, the recorded regions shaded (the gaps between them left white and the
curves broken there), events marked and labelled. The figure is the caller's; with a
path it is drawn by the Agg backend alone and never enters pyplot's list of figures.

What is drawn: synchronous and asynchronous channels of the numeric list.
Synchronous channels are lines, asynchronous ones points; an array channel is drawn
as its first value ("Spectrum[0]"). Single values, text, binary and complex channels
are left out (asking for one by name is an error).
"""

import math
import os

import numpy as np

# At most this many points are drawn per channel: longer windows become min/max
# envelopes over as many time bins, taken from the reduced values when the
# recording stores them, so a long recording plots in about the time of one small read.
MAX_POINTS = 10000

# Figure size: 10 inches wide, 1 inch for title and time axis plus 2 per axis, at
# 100 dots per inch (a PNG of 1000 x (100 + 200 x axes) pixels).
WIDTH_INCHES = 10.0
AXIS_INCHES = 2.0
MARGIN_INCHES = 1.0
DPI = 100

REGION_COLOR = "0.92"
EVENT_COLOR = "tab:red"


def plot_recording(recording, channels=None, start=None, stop=None, path=None):
    """Draws the channels (names or Channel objects; None for all drawable ones) from
    start to stop seconds (t0 <= t < t1; default the recorded span) and returns the
    matplotlib Figure; writes it as a PNG when path is given."""
    selected = _select_channels(recording, channels)
    t0, t1 = _window(recording, start, stop)

    groups = {}  # unit -> channels, in channel order
    for channel in selected:
        groups.setdefault(channel.unit or "", []).append(channel)

    regions, events = recording.regions, recording.events
    figure = _new_figure(len(groups), path is not None)
    axes = figure.subplots(len(groups), 1, sharex=True, squeeze=False)[:, 0]
    for axis, (unit, members) in zip(axes, groups.items()):
        _shade_regions(axis, regions, t0, t1)
        _mark_events(axis, events, t0, t1, label=axis is axes[0])
        for channel in members:
            _draw_channel(axis, channel, t0, t1, regions)
        axis.set_ylabel(unit or "(no unit)")
        axis.legend(loc="upper right", fontsize=7, framealpha=0.8)
        axis.grid(True, linewidth=0.3, alpha=0.5)
    axes[-1].set_xlim(t0, t1)
    axes[-1].set_xlabel("Time (s)")
    figure.suptitle(_title(recording), fontsize=10)

    if path is not None:
        figure.savefig(os.fspath(path), dpi=DPI, format="png")
    return figure


def _select_channels(recording, channels):
    if channels is None:
        chosen = [c for c in recording.channels if _drawable(c)]
        if not chosen:
            raise ValueError("the recording has no channel to plot (no numeric synchronous or asynchronous channel)")
        return chosen
    if isinstance(channels, (str, bytes)):
        channels = [channels]
    chosen = []
    for item in channels:
        channel = recording[item] if isinstance(item, str) else item
        if not _drawable(channel):
            kind = {"sync": "synchronous", "async": "asynchronous", "single": "single-value"}.get(channel.kind)
            raise ValueError(
                "%s cannot be plotted: it is a %s channel of the %s list; plotted are numeric synchronous and "
                "asynchronous channels" % (channel.name, kind, channel.list))
        chosen.append(channel)
    if not chosen:
        raise ValueError("no channel given to plot")
    return chosen


def _drawable(channel):
    return channel.kind in ("sync", "async") and channel.list == "numeric"


def _window(recording, start, stop):
    regions = recording.regions
    if regions:
        first, last = min(r.start for r in regions), max(r.stop for r in regions)
    else:
        first, last = 0.0, float(recording.duration)
    t0 = first if start is None else float(start)
    t1 = last if stop is None else float(stop)
    if not (math.isfinite(t0) and math.isfinite(t1)) or t0 >= t1:
        raise ValueError("the window from %g s to %g s is empty: the start must lie before the stop" % (t0, t1))
    return t0, t1


def _new_figure(axis_count, for_file):
    size = (WIDTH_INCHES, MARGIN_INCHES + AXIS_INCHES * axis_count)
    if for_file:
        from matplotlib.backends.backend_agg import FigureCanvasAgg
        from matplotlib.figure import Figure

        figure = Figure(figsize=size, dpi=DPI, layout="constrained")
        FigureCanvasAgg(figure)
        return figure
    # Without a path the figure goes through pyplot, so it shows in an interactive
    # session or notebook (pyplot falls back to Agg when there is no display).
    import matplotlib.pyplot as pyplot

    return pyplot.figure(figsize=size, dpi=DPI, layout="constrained")


def _shade_regions(axis, regions, t0, t1):
    for region in regions:
        left, right = max(region.start, t0), min(region.stop, t1)
        if left < right:
            axis.axvspan(left, right, color=REGION_COLOR, zorder=0, linewidth=0, gid="region")


def _mark_events(axis, events, t0, t1, label):
    for event in events:
        if not t0 <= event.time <= t1:  # a stop event at the window's end is still drawn
            continue
        axis.axvline(event.time, color=EVENT_COLOR, linewidth=0.8, linestyle="--", zorder=1, gid="event")
        if label:
            text = event.text or event.name or str(event.type)
            axis.annotate(text, xy=(event.time, 1.0), xycoords=("data", "axes fraction"), xytext=(2, -2),
                          textcoords="offset points", rotation=90, va="top", ha="left", fontsize=7,
                          color=EVENT_COLOR, gid="event-label")


def _draw_channel(axis, channel, t0, t1, regions):
    label = channel.name if channel.array_size <= 1 else "%s[0]" % channel.name
    first, last, low, high, spacing = _channel_points(channel, t0, t1)
    if channel.kind == "async":
        line = axis.plot(first, low, linestyle="none", marker=".", markersize=3, label=label)[0]
        if high is not low:
            axis.plot(first, high, linestyle="none", marker=".", markersize=3, color=line.get_color())
    elif spacing is None:
        times, low = _break_gaps(first, low, 1.0 / channel.rate if channel.rate else None)
        axis.plot(times, low, linewidth=0.8, label=label)
    else:
        x, low, high = _steps(first, last, low, high, spacing, regions)
        # The middle line takes the next colour of the cycle; the envelope shares it.
        line = axis.plot(x, (low + high) / 2, linewidth=0.6, label=label)[0]
        axis.fill_between(x, low, high, color=line.get_color(), alpha=0.4, linewidth=0)


def _channel_points(channel, t0, t1):
    """(first, last, low, high, spacing) to draw: plain samples (first is last, low
    is high, spacing None), or the minimum and maximum of intervals that start at
    first and end one spacing after last: the reduced values, or time bins of
    them or of the samples when there are more than MAX_POINTS."""
    period = 1.0 / channel.rate if channel.kind == "sync" and channel.rate else None
    if period and (t1 - t0) / period > MAX_POINTS:
        reduced = _reduced_in(channel, t0, t1)
        if reduced is not None:
            times = reduced["time"]
            steps = np.diff(times)
            block = float(steps[steps > 0].min()) if (steps > 0).any() else period
            if len(times) <= MAX_POINTS:
                return times, times, reduced["min"], reduced["max"], block
            return _bins(times, reduced["min"], reduced["max"], t0, t1, block) + (block,)
    values, times = channel.window(t0, t1)
    values = np.asarray(values)
    if values.ndim == 2:
        values = values[:, 0]
    values = values.astype(np.float64, copy=False)
    times = np.asarray(times, dtype=np.float64)
    if len(times) > MAX_POINTS:
        return _bins(times, values, values, t0, t1, period) + (period or (t1 - t0) / MAX_POINTS,)
    return times, times, values, values, None


def _reduced_in(channel, t0, t1):
    """The channel's reduced values in [t0, t1), or None when it has none."""
    from . import KVError

    try:
        reduced = channel.reduced()
    except KVError:
        return None
    if reduced is None or len(reduced) == 0:
        return None
    times = reduced["time"]
    inside = (times >= t0) & (times < t1)
    return reduced[inside] if inside.any() else None


def _bins(times, low, high, t0, t1, spacing=None):
    """Minimum and maximum per time bin over at most MAX_POINTS bins, as (first
    time, last time, low, high) of the bins that hold values. Bins are at least
    two spacings of the input wide (when it is regular)."""
    width = (t1 - t0) / MAX_POINTS
    if spacing:
        width = max(width, 2.0 * spacing)
    times = np.asarray(times, dtype=np.float64)
    slots = np.floor((times - t0) / width).astype(np.int64)
    order = np.argsort(slots, kind="stable")
    slots, times = slots[order], times[order]
    starts = np.flatnonzero(np.r_[True, slots[1:] != slots[:-1]])
    stops = np.r_[starts[1:], len(slots)] - 1
    low = np.minimum.reduceat(np.asarray(low, dtype=np.float64)[order], starts)
    high = np.maximum.reduceat(np.asarray(high, dtype=np.float64)[order], starts)
    return times[starts], times[stops], low, high


def _steps(first, last, low, high, spacing, regions):
    """Each value drawn flat from first to one spacing after last, cut at the next
    value's start and at the end of its region; a NaN between intervals that do
    not touch leaves the gap between them (a region gap) empty."""
    ends = np.minimum(last + spacing, np.append(first[1:], np.inf))
    if regions:
        spans = sorted((r.start, r.stop) for r in regions)
        starts = np.array([s[0] for s in spans])
        stops = np.array([s[1] for s in spans])
        slot = np.searchsorted(starts, last, side="right") - 1
        stop = stops[np.maximum(slot, 0)]
        ends = np.where((slot >= 0) & (last < stop), np.minimum(ends, stop), ends)
    x = np.column_stack([first, ends]).ravel()
    low, high = np.repeat(low, 2), np.repeat(high, 2)
    gaps = 2 * (np.flatnonzero(first[1:] > ends[:-1] + 0.5 * spacing) + 1)
    return np.insert(x, gaps, np.nan), np.insert(low, gaps, np.nan), np.insert(high, gaps, np.nan)


def _break_gaps(times, values, spacing):
    """Inserts a NaN wherever consecutive samples lie further apart than one and a
    half sample periods, so a line does not bridge the gap between two regions."""
    if len(times) < 2:
        return times, values
    steps = np.diff(times)
    if spacing is None:
        spacing = float(np.median(steps))
    jumps = np.flatnonzero(steps > 1.5 * spacing) + 1
    if len(jumps) == 0:
        return times, values
    return np.insert(times, jumps, np.nan), np.insert(values, jumps, np.nan)


def _title(recording):
    name = os.path.basename(str(recording.path))
    try:
        return "%s  (stored %s)" % (name, recording.store_time.strftime("%Y-%m-%d %H:%M:%S"))
    except (AttributeError, ValueError, OverflowError):
        return name
