"""Finds and loads the shared library and declares the argument and result types
of every function the package calls, so ctypes converts nothing by guesswork.
Looked for, in order: $KVDATAREADER_LIB, next to the package, in a build tree of
the source checkout the package sits in, then on the system's library path."""

import ctypes
import ctypes.util
import os
import sys
import threading
from ctypes import POINTER, c_char_p, c_double, c_int32, c_int64, c_void_p

from . import _records as R

if sys.platform == "darwin":
    LIBRARY_FILE = "libKVDataReaderLib64.dylib"
elif os.name == "nt":
    LIBRARY_FILE = "KVDataReaderLib64.dll"
else:
    LIBRARY_FILE = "libKVDataReaderLib64.so"

_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))

_i32p = POINTER(c_int32)
_i64p = POINTER(c_int64)
_f64p = POINTER(c_double)
_h = c_void_p  # KVReaderHandle

# name: (restype, argtypes). Buffers the package fills are c_void_p, so numpy
# arrays pass their address (arr.ctypes.data) with no conversion.
_SIGNATURES = {
    "KVICreateReader": (c_int32, [POINTER(c_void_p)]),
    "KVIDestroyReader": (c_int32, [_h]),
    "KVGetLastStatus": (c_int32, [_i32p, c_char_p, _i32p]),
    "KVGetVersionEx": (c_int32, [_i32p, _i32p, _i32p]),
    "KVIOpenDataFile": (c_int32, [_h, c_char_p, POINTER(R.KVFileInfo)]),
    "KVICloseDataFile": (c_int32, [_h]),
    "KVIGetMeasurementInfo": (c_int32, [_h, POINTER(R.KVMeasurementInfo)]),
    "KVIGetStoringType": (c_int32, [_h, _i32p]),
    "KVIGetChannelListCount": (c_int32, [_h, _i32p]),
    "KVIGetChannelList": (c_int32, [_h, c_void_p]),
    "KVIGetComplexChannelListCount": (c_int32, [_h, _i32p]),
    "KVIGetComplexChannelList": (c_int32, [_h, c_void_p]),
    "KVIGetBinChannelListCount": (c_int32, [_h, _i32p]),
    "KVIGetBinChannelList": (c_int32, [_h, c_void_p]),
    "KVIGetChannelFactors": (c_int32, [_h, c_int32, _f64p, _f64p]),
    "KVIGetChannelProps": (c_int32, [_h, c_int32, c_int32, c_void_p, _i32p]),
    "KVIGetScaledSamplesCount": (c_int32, [_h, c_int32, _i64p]),
    "KVIGetComplexScaledSamplesCount": (c_int32, [_h, c_int32, _i64p]),
    "KVIGetBinarySamplesCount": (c_int32, [_h, c_int32, _i64p]),
    "KVIGetScaledSamples": (c_int32, [_h, c_int32, c_int64, c_int32, c_void_p, c_void_p]),
    "KVIGetRawSamples": (c_int32, [_h, c_int32, c_int64, c_int32, c_void_p, c_void_p]),
    "KVIGetComplexScaledSamples": (c_int32, [_h, c_int32, c_int64, c_int32, c_void_p, c_void_p]),
    "KVIGetComplexRawSamples": (c_int32, [_h, c_int32, c_int64, c_int32, c_void_p, c_void_p]),
    "KVIGetBinRecSamples": (c_int32, [_h, c_int32, c_int64, c_int32, c_void_p, c_void_p]),
    "KVIGetBinarySamplesEx": (c_int32, [_h, c_int32, c_int64, c_int32, c_void_p, c_void_p, _i32p]),
    "KVIGetHeaderEntryCount": (c_int32, [_h, _i32p]),
    "KVIGetHeaderEntryList": (c_int32, [_h, c_void_p]),
    "KVIGetHeaderEntryText": (c_int32, [_h, c_int32, c_char_p, c_int32]),
    "KVIGetArrayInfoCount": (c_int32, [_h, c_int32, _i32p]),
    "KVIGetArrayInfoList": (c_int32, [_h, c_int32, c_void_p]),
    "KVIGetArrayIndexValueF": (c_int32, [_h, c_int32, c_int32, c_int32, _f64p]),
    "KVIGetArrayIndexValue": (c_int32, [_h, c_int32, c_int32, c_int32, c_char_p, c_int32]),
    "KVIGetEventListCount": (c_int32, [_h, _i32p]),
    "KVIGetEventList": (c_int32, [_h, c_void_p]),
    "KVIGetTriggerDataTriggerCountF": (c_int32, [_h, _i32p]),
    "KVIGetTriggerDataChannelInfoF": (c_int32, [_h, c_int32, c_int32, c_char_p, c_int32, c_char_p, c_int32, _f64p,
                                                _f64p, _f64p, _i32p]),
    "KVIGetReducedValuesCount": (c_int32, [_h, c_int32, _i32p, _f64p]),
    "KVIGetReducedValues": (c_int32, [_h, c_int32, c_int32, c_int32, c_void_p]),
    "KVIGetReducedValuesBlock": (c_int32, [_h, _i32p, c_int32, c_int32, c_int32, c_int32, c_void_p]),
    # The registry, for the functions offered on the active reader only.
    "KVInit": (c_int32, []),
    "KVAddReader": (c_int32, []),
    "KVGetNumReaders": (c_int32, [_i32p]),
    "KVSetActiveReader": (c_int32, [c_int32]),
    "KVOpenDataFile": (c_int32, [c_char_p, POINTER(R.KVFileInfo)]),
    "KVCloseDataFile": (c_int32, []),
    "KVGetTextChannelListCount": (c_int32, []),
    "KVGetTextChannelList": (c_int32, [c_void_p]),
    "KVGetTextValuesCount": (c_int64, [c_int32]),
    "KVGetTextValues": (c_int32, [c_int32, c_int32, c_int32, c_void_p, c_void_p]),
}


class LibraryNotFoundError(OSError):
    """The shared library was found nowhere; the message lists every place tried."""


def candidates():
    """Paths (or bare names for the system's loader) in the order they are tried."""
    found = []
    configured = os.environ.get("KVDATAREADER_LIB")
    if configured:
        found.append(os.path.join(configured, LIBRARY_FILE) if os.path.isdir(configured) else configured)
    # Next to the package: inside it, or beside it (cmake --install puts the
    # package in the library's directory).
    found.append(os.path.join(_PACKAGE_DIR, LIBRARY_FILE))
    found.append(os.path.join(os.path.dirname(_PACKAGE_DIR), LIBRARY_FILE))
    # A source checkout: <root>/python/kvdatareader, the library in <root>/build*/src.
    root = os.path.dirname(os.path.dirname(_PACKAGE_DIR))
    try:
        builds = sorted(d for d in os.listdir(root) if d.startswith("build"))
    except OSError:
        builds = []
    for build in builds:
        found.append(os.path.join(root, build, "src", LIBRARY_FILE))
    system = ctypes.util.find_library("KVDataReaderLib64")
    found.append(system or LIBRARY_FILE)
    return found


def _load():
    tried = []
    for path in candidates():
        bare = os.sep not in path
        if not bare and not os.path.exists(path):
            tried.append(f"{path} (no such file)")
            continue
        try:
            lib = ctypes.CDLL(path)
        except OSError as error:
            tried.append(f"{path} ({error})")
            continue
        for name, (restype, argtypes) in _SIGNATURES.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        lib.kv_path = path
        return lib
    raise LibraryNotFoundError(
        "the KVDataReaderLib64 shared library was not found; tried:\n  " + "\n  ".join(tried)
        + "\nSet KVDATAREADER_LIB to the library's path.")


_lib = None
_load_lock = threading.Lock()


def lib():
    """The loaded library (loaded on first use)."""
    global _lib
    if _lib is None:
        with _load_lock:
            if _lib is None:
                _lib = _load()
    return _lib


def last_status():
    """(status, message) of the calling thread's last library call."""
    status = c_int32(0)
    size = c_int32(1024)
    buffer = ctypes.create_string_buffer(size.value)
    if lib().KVGetLastStatus(ctypes.byref(status), buffer, ctypes.byref(size)) != 0:
        buffer = ctypes.create_string_buffer(size.value + 1)
        size = c_int32(len(buffer))
        lib().KVGetLastStatus(ctypes.byref(status), buffer, ctypes.byref(size))
    return status.value, buffer.value.decode("utf-8", "replace")
