"""The library's records as ctypes structures, laid out byte for byte as the C
interface gives them (KVEvent packed to 1, KVCustomProperty to 4), with the
numbers of its status codes, selectors and data types."""

import ctypes

import numpy as np

c_int32 = ctypes.c_int32
c_int64 = ctypes.c_int64
c_double = ctypes.c_double


class KVFileInfo(ctypes.Structure):
    _fields_ = [("sample_rate", c_double), ("start_store_time", c_double), ("duration", c_double)]


class KVMeasurementInfo(ctypes.Structure):
    _fields_ = [
        ("sample_rate", c_double),
        ("start_measure_time", c_double),
        ("start_store_time", c_double),
        ("duration", c_double),
    ]


class KVChannel(ctypes.Structure):
    _fields_ = [
        ("index", c_int32),
        ("name", ctypes.c_char * 100),
        ("unit", ctypes.c_char * 20),
        ("description", ctypes.c_char * 200),
        ("color", ctypes.c_uint32),
        ("array_size", c_int32),
        ("data_type", c_int32),
    ]


class KVEvent(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("event_type", c_int32), ("time_stamp", c_double), ("event_text", ctypes.c_char * 200)]


class KVReducedValue(ctypes.Structure):
    _fields_ = [("time_stamp", c_double), ("ave", c_double), ("min", c_double), ("max", c_double), ("rms", c_double)]


class KVArrayInfo(ctypes.Structure):
    _fields_ = [("index", c_int32), ("name", ctypes.c_char * 100), ("unit", ctypes.c_char * 20), ("size", c_int32)]


class KVBinarySample(ctypes.Structure):
    _fields_ = [("position", c_int64), ("size", c_int64)]


class KVComplex(ctypes.Structure):
    _fields_ = [("re", c_double), ("im", c_double)]


class KVCustomProperty(ctypes.Structure):
    _pack_ = 4
    _fields_ = [
        ("name", ctypes.c_char * 100),
        ("value_type", c_int32),
        ("int_value", c_int64),
        ("float_value", c_double),
        ("string_value", ctypes.c_char * 100),
    ]


# The sizes the header promises; checked once on import so a layout slip cannot
# pass unnoticed.
RECORD_SIZES = {
    KVFileInfo: 24,
    KVMeasurementInfo: 32,
    KVChannel: 336,
    KVEvent: 212,
    KVReducedValue: 40,
    KVArrayInfo: 128,
    KVBinarySample: 16,
    KVComplex: 16,
    KVCustomProperty: 220,
}
for _record, _size in RECORD_SIZES.items():
    assert ctypes.sizeof(_record) == _size, (_record.__name__, ctypes.sizeof(_record))

# The same records as numpy dtypes, for arrays the library fills in place.
# KVReducedValue's fields in the order users read them; the offsets are the record's.
REDUCED_DTYPE = np.dtype({"names": ["time", "min", "max", "ave", "rms"], "formats": ["<f8"] * 5,
                          "offsets": [0, 16, 24, 8, 32], "itemsize": 40})
BINARY_SAMPLE_DTYPE = np.dtype([("position", "<i8"), ("size", "<i8")])
EVENT_DTYPE = np.dtype({"names": ["type", "time", "text"], "formats": ["<i4", "<f8", "S200"],
                        "offsets": [0, 4, 12], "itemsize": 212})
assert REDUCED_DTYPE.itemsize == 40 and EVENT_DTYPE.itemsize == 212

# Status codes.
OK = 0
ERROR = 1
CANNOT_OPEN_FILE = 2
FILE_ALREADY_IN_USE = 3
FILE_CORRUPT = 4
NO_MEMORY_ALLOC = 5
CREATE_DEST_FILE = 6
EXTRACTING_FILE = 7
CANNOT_OPEN_EXTRACTED_FILE = 8
INVALID_IB_LEVEL = 9
CAN_NOT_SUPPORTED = 10
INVALID_READER_HANDLE = 11
INVALID_INDEX = 12

# KVChannelProps selectors.
CH_DATA_TYPE = 0
CH_DATA_TYPE_SIZE = 1
CH_INDEX_STRING = 2
CH_INDEX_STRING_LENGTH = 3
CH_TYPE = 4
CH_SCALE = 5
CH_OFFSET = 6
CH_CUSTOM_PROPS = 11
CH_CUSTOM_PROPS_COUNT = 12
CH_LONG_NAME = 13
CH_LONG_NAME_LENGTH = 14

# KVChannelType.
CHANNEL_KINDS = {0: "sync", 1: "async", 2: "single"}

# KVDataType -> numpy dtype of the raw form (None: no numeric form).
DATA_TYPE_DTYPES = {
    0: np.dtype("<u1"),
    1: np.dtype("<i1"),
    2: np.dtype("<i2"),
    3: np.dtype("<u2"),
    4: np.dtype("<i4"),
    5: np.dtype("<f4"),
    6: np.dtype("<i8"),
    7: np.dtype("<f8"),
    8: np.dtype("<u4"),
    9: np.dtype("<c8"),
    10: np.dtype("<c16"),
}
DATA_TYPE_NAMES = {
    0: "uint8", 1: "int8", 2: "int16", 3: "uint16", 4: "int32", 5: "float32", 6: "int64", 7: "float64",
    8: "uint32", 9: "complex64", 10: "complex128", 11: "text", 12: "binary", 13: "can_record",
    14: "can_record_long", 15: "can8", 16: "can16", 17: "can32", 18: "can64",
}

# Event types of region starts and stops.
START_EVENT = 1
STOP_EVENT = 2

# Custom property value kinds.
PROPERTY_INTEGER = 1
PROPERTY_FLOAT = 2
PROPERTY_STRING = 3


def text(field):
    """A zero-terminated char array field as str (bytes that are not UTF-8 kept as escapes)."""
    return bytes(field).split(b"\0", 1)[0].decode("utf-8", "surrogateescape")

CHANNEL_DTYPE = np.dtype([("index", "<i4"), ("name", "S100"), ("unit", "S20"), ("description", "S200"),
                          ("color", "<u4"), ("array_size", "<i4"), ("data_type", "<i4")])
assert CHANNEL_DTYPE.itemsize == ctypes.sizeof(KVChannel)
