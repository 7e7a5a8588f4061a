"""The registry readers behind the functions the library offers on its active
reader only (the text channel list and text values). Each Recording that has
text channels opens its file a second time on a registry reader of its own; one
module-wide lock serialises every registry call together with the
KVSetActiveReader that selects its reader, since the active reader is
process-wide state. A closed recording's registry reader is kept for the next
one (the registry cannot remove a single reader)."""

import ctypes
import threading

from . import _records as R
from ._library import lib
from .errors import check

_lock = threading.RLock()
_free = []      # registry positions with no file open
_owned = 0      # registry readers this module created


def _new_slot():
    global _owned
    library = lib()
    if _owned == 0 and library.KVInit() == 0:
        _owned = 1
        return 0
    # Another part of the process may have made registry readers: add one of our own.
    if library.KVAddReader() != 0 and library.KVInit() != 0:
        check(R.ERROR, "creating a registry reader")
    count = ctypes.c_int32(0)
    check(library.KVGetNumReaders(ctypes.byref(count)), "counting the registry readers")
    _owned += 1
    return count.value - 1


class Slot:
    """A registry reader with the file open; use `with slot:` around every call on it."""

    def __init__(self, path):
        with _lock:
            position = _free.pop() if _free else _new_slot()
            check(lib().KVSetActiveReader(position), "selecting a registry reader")
            info = R.KVFileInfo()
            status = lib().KVOpenDataFile(path.encode(), ctypes.byref(info))
            if status != R.OK:
                _free.append(position)
                check(status, f"opening {path} for its text channels")
            self.position = position

    def __enter__(self):
        _lock.acquire()
        try:
            check(lib().KVSetActiveReader(self.position), "selecting a registry reader")
        except BaseException:
            _lock.release()
            raise
        return lib()

    def __exit__(self, *exc):
        _lock.release()


def release(position):
    """Closes the file of a registry reader and keeps the reader for reuse."""
    with _lock:
        if lib().KVSetActiveReader(position) == 0:
            lib().KVCloseDataFile()
            _free.append(position)
