// Statuses and messages of the exception family; the caller sees these texts.
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {
namespace {

std::string ComposeMessage(const std::string& message, const std::string& detail) {
  return detail.empty() ? message : message + ": " + detail;
}

}  // namespace

DataReaderLibException::DataReaderLibException(KVStatus status, const std::string& message,
                                               const std::string& detail)
    : std::runtime_error(ComposeMessage(message, detail)), status_(status) {}

DataReaderLibException::~DataReaderLibException() = default;

CannotOpenFileException::CannotOpenFileException(const std::string& detail)
    : DataReaderLibException(KVCannotOpenFile, "Cannot open specified file", detail) {}

FileAlreadyInUseException::FileAlreadyInUseException(const std::string& detail)
    : DataReaderLibException(KVFileAlreadyInUse, "File is already in use by another process", detail) {}

FileCorruptException::FileCorruptException(const std::string& /*detail*/)
    : DataReaderLibException(KVFileCorrupt, "File is corrupted or has invalid format") {}

NoMemoryAllocException::NoMemoryAllocException(const std::string& detail)
    : DataReaderLibException(KVNoMemoryAlloc, "Memory allocation failed", detail) {}

CreateDestFileException::CreateDestFileException(const std::string& detail)
    : DataReaderLibException(KVCreateDestFile, "Failed to create destination file", detail) {}

ExtractingFileException::ExtractingFileException(const std::string& detail)
    : DataReaderLibException(KVExtractingFile, "Error occurred while extracting data", detail) {}

CannotOpenExtractedFileException::CannotOpenExtractedFileException(const std::string& detail)
    : DataReaderLibException(KVCannotOpenExtractedFile, "Unable to open extracted file", detail) {}

InvalidIBLevelException::InvalidIBLevelException(const std::string& /*detail*/)
    : DataReaderLibException(KVInvalidIBLevel, "Invalid IB level specified") {}

CANIsNotSupportedException::CANIsNotSupportedException(const std::string& detail)
    : DataReaderLibException(KVCANNotSupported, "Feature or operation not supported on CAN channel",
                             detail) {}

InvalidIndexException::InvalidIndexException(const std::string& /*detail*/)
    : DataReaderLibException(KVInvalidIndex, "Invalid index") {}

}  // namespace Korvane::DataReader
