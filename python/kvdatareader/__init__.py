"""kvdatareader: measurement recordings as numpy arrays and pandas frames, through
the KVDataReaderLib64 shared library's C interface (ctypes, no compiler needed).

    import kvdatareader
    with kvdatareader.open("sample.kvd") as rec:
        values, times = rec["Voltage"].read()
"""

from . import errors
from .channel import Axis, Channel, ReducedLevel
from .errors import CannotOpenFileError, ChannelNotFoundError, CorruptFileError, KVError
from .recording import Event, MeasurementInfo, Recording, Region, open

__version__ = "5.0.6"

__all__ = ["open", "Recording", "Channel", "Event", "Region", "MeasurementInfo", "Axis", "ReducedLevel", "errors", "KVError",
           "CorruptFileError", "CannotOpenFileError", "ChannelNotFoundError", "__version__"]
