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
    : DataReaderLibException(CannotOpenFile, "Cannot open specified file", detail) {}

FileAlreadyInUseException::FileAlreadyInUseException(const std::string& detail)
    : DataReaderLibException(FileAlreadyInUse, "File is already in use by another process", detail) {}

FileCorruptException::FileCorruptException(const std::string& /*detail*/)
    : DataReaderLibException(FileCorrupt, "File is corrupted or has invalid format") {}

NoMemoryAllocException::NoMemoryAllocException(const std::string& detail)
    : DataReaderLibException(NoMemoryAlloc, "Memory allocation failed", detail) {}

CreateDestFileException::CreateDestFileException(const std::string& detail)
    : DataReaderLibException(CreateDestFile, "Failed to create destination file", detail) {}

ExtractingFileException::ExtractingFileException(const std::string& detail)
    : DataReaderLibException(ExtractingFile, "Error occurred while extracting data", detail) {}

CannotOpenExtractedFileException::CannotOpenExtractedFileException(const std::string& detail)
    : DataReaderLibException(CannotOpenExtractedFile, "Unable to open extracted file", detail) {}

InvalidIBLevelException::InvalidIBLevelException(const std::string& /*detail*/)
    : DataReaderLibException(InvalidIBLevel, "Invalid IB level specified") {}

CANIsNotSupportedException::CANIsNotSupportedException(const std::string& detail)
    : DataReaderLibException(CANNotSupported, "Feature or operation not supported on CAN channel",
                             detail) {}

InvalidIndexException::InvalidIndexException(const std::string& /*detail*/)
    : DataReaderLibException(InvalidIndex, "Invalid index") {}

}  // namespace Korvane::DataReader
