"""Fixtures: the recordings the test kit writes (tests/python/write_test_recordings)
with the values it wrote, in a temporary directory per test session."""

import json
import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


def _writer():
    configured = os.environ.get("KV_TEST_RECORDING_WRITER")
    if configured:
        return configured
    for build in sorted(ROOT.glob("build*")):
        candidate = build / "tests" / "python" / "write_test_recordings"
        if candidate.exists():
            return str(candidate)
    pytest.skip("write_test_recordings is not built (set KV_TEST_RECORDING_WRITER)")


@pytest.fixture(scope="session")
def files(tmp_path_factory):
    directory = tmp_path_factory.mktemp("recordings")
    subprocess.run([_writer(), str(directory)], check=True, stdout=subprocess.DEVNULL)
    return directory


@pytest.fixture(scope="session")
def expected(files):
    return json.loads((files / "expected.json").read_text())


@pytest.fixture
def sample(files):
    import kvdatareader

    with kvdatareader.open(files / "sample.kvd") as recording:
        yield recording


@pytest.fixture
def kinds(files):
    import kvdatareader

    with kvdatareader.open(files / "kinds.kvd") as recording:
        yield recording


@pytest.fixture(scope="module")
def served(files):
    """The viewer's server on the viewer recording, answering on a thread of its own."""
    from kvdatareader.viewer import server as viewer_server

    server = viewer_server.start(files / "viewer.kvd")
    thread = viewer_server.run_in_thread(server)
    yield server
    server.shutdown()
    server.server_close()
    thread.join()
