"""The viewer's server over HTTP on the kit's viewer recording (four reduced levels,
three regions, a negative scale, a divided and an asynchronous channel): every
envelope bucket holds exactly the extremes of the samples a direct read finds in
its span, at and around each level's boundary and across the region gaps; bad
parameters get 400, requests without the token 403."""

import json
import subprocess
import sys
import threading
import urllib.error
import urllib.request

import numpy as np
import pytest

import kvdatareader

RATE = 1000.0  # the recording's full rate: time stamps are positions / RATE


@pytest.fixture(scope="module")
def recording(files):
    with kvdatareader.open(files / "viewer.kvd") as opened:
        yield opened


def get(url, headers=None):
    """(status, headers, body) of a GET."""
    request = urllib.request.Request(url, headers=headers or {})
    try:
        with urllib.request.urlopen(request) as answer:
            return answer.status, answer.headers, answer.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read()


def data(served, channel, t0, t1, width):
    status, _, body = get(f"{served.url}api/data?channel={channel}&t0={t0!r}&t1={t1!r}&width={width}")
    assert status == 200, body
    return json.loads(body)


def positions(times):
    """Full-rate positions of time stamps (ends of spans: the first position not in them)."""
    return np.ceil(np.asarray(times) * RATE - 1e-6).astype(np.int64)


def check_envelope(answer, channel, t0, t1, width):
    """Each bucket's min and max are those of the samples in [t, t_end); the buckets
    are ordered, disjoint, at most `width`, and together hold every sample in view."""
    values, times = channel.read()
    at = positions(times)
    rows = [i for i, low in enumerate(answer["min"]) if low is not None]
    assert 0 < len(rows) <= width
    start = positions([answer["t"][i] for i in rows])
    end = positions([answer["t_end"][i] for i in rows])
    assert np.all(start[1:] >= end[:-1]) and np.all(end > start)
    covered = 0
    for k, i in enumerate(rows):
        inside = values[(at >= start[k]) & (at < end[k])]
        assert inside.size, f"bucket {answer['t'][i]} holds no sample"
        assert (answer["min"][i], answer["max"][i]) == (inside.min(), inside.max()), answer["t"][i]
        covered += inside.size
    in_view = np.count_nonzero((times >= t0) & (times < t1))
    assert covered >= in_view
    before_first = np.count_nonzero((at >= start[0]) & (times < t0))
    after_last = np.count_nonzero((at < end[-1]) & (times >= t1))
    assert covered == in_view + before_first + after_last


# (t0, t1, width): the level each view is drawn from for a synchronous channel.
# One value of level L spans 100 x 4^L samples (0.1, 0.4, 1.6, 6.4 s).
VIEWS = [
    ((0.0, 32.0, 5), 3),        # 6.4 s per pixel: level 3 exactly
    ((0.0, 32.0, 6), 2),        # just under: level 2
    ((0.0, 40.0, 25), 2),       # 1.6 s: level 2 exactly
    ((0.0, 40.0, 26), 1),
    ((10.0, 30.0, 50), 1),      # 0.4 s, across both gaps
    ((10.0, 30.0, 51), 0),
    ((11.05, 13.05, 20), 0),    # 0.1 s, starting inside a value, across the first gap
    ((11.05, 13.05, 21), None),  # under one value per pixel: extremes of the samples
    ((0.0, 40.0, 997), None),
]


@pytest.mark.parametrize("name", ["Voltage", "Current", "Torque"])
@pytest.mark.parametrize("view, level", VIEWS)
def test_synchronous_envelopes_are_the_extremes_of_the_samples(served, recording, name, view, level):
    channel = recording[name]
    answer = data(served, channel.index, *view)
    if level is None and len(channel.window(view[0], view[1])[0]) <= 2 * view[2]:
        assert answer["mode"] == "samples"
        return
    assert (answer["mode"], answer["level"]) == ("envelope", level)
    check_envelope(answer, channel, *view)


@pytest.mark.parametrize("view", [view for view, _ in VIEWS])
def test_asynchronous_envelopes_come_from_the_samples_not_the_reduced_items(served, recording, view):
    pressure = recording["Pressure"]
    answer = data(served, pressure.index, *view)
    if answer["mode"] == "envelope":
        assert answer["level"] is None
        check_envelope(answer, pressure, *view)
    else:
        values, _ = pressure.window(*view[:2])
        assert values.size <= 2 * view[2]


@pytest.mark.parametrize("name", ["Voltage", "Torque", "Pressure"])
def test_zoomed_in_far_enough_the_samples_come_as_they_are_with_a_neighbour_on_each_side(
        served, recording, name):
    channel = recording[name]
    t0, t1 = 19.9, 20.3  # the end of the second region and the gap after it
    answer = data(served, channel.index, t0, t1, 800)
    assert answer["mode"] == "samples"
    first, end = channel.positions(t0, t1)
    values, times = channel.read(first - 1, end - first + 2)
    drawn = [(t, v) for t, v in zip(answer["t"], answer["min"]) if v is not None]
    assert drawn == list(zip(times.tolist(), values.tolist()))
    assert answer["min"] == answer["max"]
    # The step into the gap of a synchronous channel is broken by a None row.
    assert (None in answer["min"]) == (channel.kind == "sync")


@pytest.mark.parametrize("level", [0, 1, 2, 3])
@pytest.mark.parametrize("start, stop", [(0.0, 40.0), (11.95, 12.6), (12.8, 12.81), (20.5, 25.0), (-5.0, 0.05)])
def test_reduced_values_over_a_span_are_those_whose_interval_reaches_into_it(recording, level, start, stop):
    voltage = recording["Voltage"]
    every = voltage.reduced(level)
    duration = voltage.reduced_level(level).duration
    wanted = every[(every["time"] < stop) & (every["time"] + duration > start)]
    assert voltage.reduced(level, start, stop).tolist() == wanted.tolist()


def test_a_view_beside_the_recording_is_empty(served, recording):
    answer = data(served, recording["Voltage"].index, 100.0, 200.0, 400)
    assert answer["t"] == [] or all(t <= 40 for t in answer["t"])


def test_readers_lent_to_concurrent_requests_give_the_answers_of_one_at_a_time(served, recording):
    queries = [(recording[name].index, *view) for name in ("Voltage", "Pressure") for view, _ in VIEWS[:6]]
    alone = [data(served, *query) for query in queries]
    together = [None] * len(queries)

    def fetch(k):
        together[k] = data(served, *queries[k])

    threads = [threading.Thread(target=fetch, args=(k,)) for k in range(len(queries))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert together == alone


def test_the_recording_lists_plottable_channels_regions_and_events(served, recording):
    status, headers, body = get(served.url + "api/recording")
    assert status == 200 and headers["Content-Type"] == "application/json"
    summary = json.loads(body)
    assert [c["name"] for c in summary["channels"]] == ["Voltage", "Current", "Torque", "Pressure"]
    assert summary["regions"] == [list(region) for region in recording.regions]
    assert summary["channels"][0]["unit"] == "V" and summary["channels"][3]["kind"] == "async"
    assert [(found.level, found.samples_per_value) for found in recording["Torque"].reduced_levels()] == [
        (0, 100), (1, 400), (2, 1600), (3, 6400)]


BAD_QUERIES = [
    "", "channel=0&t0=0&t1=1", "channel=x&t0=0&t1=1&width=10", "channel=-1&t0=0&t1=1&width=10",
    "channel=99&t0=0&t1=1&width=10", "channel=1e0&t0=0&t1=1&width=10", "channel=0&t0=nan&t1=1&width=10",
    "channel=0&t0=inf&t1=1&width=10", "channel=0&t0=-1e400&t1=1&width=10", "channel=0&t0=1e13&t1=2e13&width=10",
    "channel=0&t0=0x10&t1=1&width=10", "channel=0&t0=%20&t1=1&width=10", "channel=0&t0=2&t1=1&width=10",
    "channel=0&t0=1&t1=1&width=10", "channel=0&t0=0&t1=1&width=0", "channel=0&t0=0&t1=1&width=10001",
    "channel=0&t0=0&t1=1&width=1.5", "channel=0&t0=0&t1=1&width=", "channel=0&channel=1&t0=0&t1=1&width=10",
    "channel=0&t0=0&t1=1&width=10&x=1", "channel=0&t0=0&t1=1&width=10&" + "&".join(["y=1"] * 50),
    "channel=0&t0=0&t1=1&width=10&pad=" + "9" * 600, "channel=%ff&t0=0&t1=1&width=10", "channel", "&&&",
    "channel=0&t0=0&t1=1e-320&width=10000",
]


@pytest.mark.parametrize("query", BAD_QUERIES)
def test_bad_parameters_get_a_400_with_a_message(served, query):
    status, headers, body = get(served.url + "api/data?" + query)
    assert status == 400, body
    assert headers["Content-Type"] == "application/json"
    assert json.loads(body)["error"] and b"Traceback" not in body


def test_the_recording_answer_takes_no_parameters(served):
    assert get(served.url + "api/recording?channel=0")[0] == 400


@pytest.mark.parametrize("path, headers, status", [
    ("/", {}, 403),
    ("/api/recording", {}, 403),
    ("/{token}x/api/recording", {}, 403),
    ("/{short}/api/recording", {}, 403),
    ("/{token}/api/recording", {"Host": "evil.example:80"}, 403),
    ("/{token}/api/recording", {}, 200),
    ("/{token}/", {}, 200),
    ("/{token}/static/viewer.js", {}, 200),
    ("/{token}/static/../server.py", {}, 404),
    ("/{token}/static/%2e%2e/server.py", {}, 404),
    ("/{token}/nothing", {}, 404),
])
def test_only_requests_with_the_token_are_answered(served, path, headers, status):
    base = f"http://127.0.0.1:{served.server_port}"
    url = base + path.format(token=served.token, short=served.token[:-1])
    assert get(url, headers)[0] == status


def test_the_token_alone_redirects_to_the_page_and_only_get_is_answered(served):
    opener = urllib.request.build_opener(type("NoRedirect", (urllib.request.HTTPRedirectHandler,),
                                              {"redirect_request": lambda *args: None}))
    with pytest.raises(urllib.error.HTTPError) as redirect:
        opener.open(served.url.rstrip("/"))
    assert redirect.value.code == 308 and redirect.value.headers["Location"] == f"/{served.token}/"
    request = urllib.request.Request(served.url + "api/recording", data=b"x", method="POST")
    with pytest.raises(urllib.error.HTTPError) as refused:
        urllib.request.urlopen(request)
    assert refused.value.code == 405


def test_view_prints_the_address_and_serves_until_stopped(files):
    command = [sys.executable, "-m", "kvdatareader", "view", str(files / "viewer.kvd"), "--no-browser"]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        line = process.stdout.readline()
        assert line.startswith("Viewing ") and " at http://127.0.0.1:" in line, line + process.stderr.read()
        url = line.split(" at ", 1)[1].strip()
        assert get(url + "api/recording")[0] == 200
    finally:
        process.terminate()
        process.wait(timeout=10)


def test_view_of_a_missing_file_fails_as_the_library_refuses(files):
    finished = subprocess.run([sys.executable, "-m", "kvdatareader", "view", str(files / "missing.kvd"),
                               "--no-browser"], capture_output=True, text=True, timeout=60)
    assert finished.returncode == 1 and "missing.kvd" in finished.stderr


def test_warming_up_reads_the_last_samples_on_every_reader_and_waits_for_lent_ones(files, monkeypatch):
    from kvdatareader.channel import Channel
    from kvdatareader.viewer.server import ReaderPool

    reads = []
    real_read = Channel.read

    def read(channel, start=0, count=None, **options):
        reads.append((id(channel._recording), channel.index, start, len(channel)))
        return real_read(channel, start, count, **options)

    monkeypatch.setattr(Channel, "read", read)
    pool = ReaderPool(files / "viewer.kvd", size=2)
    try:
        with pool.reader() as lent:
            warming = threading.Thread(target=pool.warm, args=([0, 2],))
            warming.start()
            warming.join(timeout=0.5)
            assert warming.is_alive()  # it waits for the reader a request holds
            first = lent
        warming.join(timeout=30)
        assert not warming.is_alive()
        assert len(pool._opened) == 2 and first in pool._opened
        expected = {(id(reader), index) for reader in pool._opened for index in (0, 2)}
        assert {(reader, index) for reader, index, _, _ in reads} == expected
        assert all(start == count - 1 for _, _, start, count in reads)
    finally:
        pool.close()


def test_closing_the_pool_while_it_warms_up_stops_the_warm_up(files):
    from kvdatareader.viewer.server import ReaderPool

    pool = ReaderPool(files / "viewer.kvd", size=2)
    failures = []

    def warm():
        try:
            pool.warm(list(range(3)) * 200, budget=60)
        except Exception as error:  # noqa: BLE001 - the test reports whatever escaped
            failures.append(error)

    warming = threading.Thread(target=warm)
    warming.start()
    pool.close()
    warming.join(timeout=30)
    assert not warming.is_alive() and not failures
    assert all(reader.closed for reader in pool._opened)
