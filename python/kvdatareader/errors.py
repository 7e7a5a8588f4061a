"""Exceptions: every failing library call raises a KVError subclass chosen by its
status, carrying the status and the library's message. A file that cannot be
opened is also a FileNotFoundError, a damaged one a CorruptFileError."""

from . import _records as R


class KVError(Exception):
    """A library call failed: .status is its status code, .message the library's text."""

    status = R.ERROR

    def __init__(self, status, message):
        super().__init__(status, message)
        self.status = status
        self.message = message

    def __str__(self):
        return f"{self.message} (status {self.status})"


class CannotOpenFileError(KVError, FileNotFoundError):
    status = R.CANNOT_OPEN_FILE

    def __init__(self, status, message):
        KVError.__init__(self, status, message)
        self.filename = None

    __str__ = KVError.__str__


class FileInUseError(KVError):
    status = R.FILE_ALREADY_IN_USE


class CorruptFileError(KVError):
    status = R.FILE_CORRUPT


class NoMemoryError(KVError):
    """A buffer was too small or missing."""

    status = R.NO_MEMORY_ALLOC


class CreateFileError(KVError):
    status = R.CREATE_DEST_FILE


class ExtractError(KVError):
    status = R.EXTRACTING_FILE


class OpenExtractedFileError(KVError):
    status = R.CANNOT_OPEN_EXTRACTED_FILE


class InvalidLevelError(KVError):
    status = R.INVALID_IB_LEVEL


class CANNotSupportedError(KVError):
    status = R.CAN_NOT_SUPPORTED


class InvalidReaderError(KVError):
    status = R.INVALID_READER_HANDLE


class InvalidIndexError(KVError):
    status = R.INVALID_INDEX


_BY_STATUS = {cls.status: cls for cls in (
    KVError, CannotOpenFileError, FileInUseError, CorruptFileError, NoMemoryError, CreateFileError, ExtractError,
    OpenExtractedFileError, InvalidLevelError, CANNotSupportedError, InvalidReaderError, InvalidIndexError)}


class ChannelNotFoundError(KeyError):
    """No channel has the name or index asked for; the message names the closest."""

    def __str__(self):
        return str(self.args[0]) if self.args else ""


def error_for(status, message):
    """The exception for a failed call's status (unknown codes give a plain KVError)."""
    return _BY_STATUS.get(status, KVError)(status, message)


def check(status, what=""):
    """Raises the matching KVError when status is not 0; the library's own message
    comes from the calling thread's last status, prefixed with what was being done."""
    if status == R.OK:
        return
    from ._library import last_status

    last, message = last_status()
    if last != status or not message:
        message = f"status {status}"
    raise error_for(status, f"{what}: {message}" if what else message)
