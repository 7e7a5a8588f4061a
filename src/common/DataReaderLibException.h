// The exceptions that carry a KVStatus from wherever a failure is found to the
// call frame, which turns them into the caller's status and message. Every
// subsystem throws these; they depend on nothing but the public status codes.
#pragma once

#include <stdexcept>
#include <string>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader {

// A failure with a status. what() is the message, or "message: detail" when a
// detail is given.
class DataReaderLibException : public std::runtime_error {
 public:
  DataReaderLibException(KVStatus status, const std::string& message, const std::string& detail = {});
  ~DataReaderLibException() override;

  KVStatus status() const noexcept { return status_; }

 private:
  KVStatus status_;
};

class CannotOpenFileException : public DataReaderLibException {
 public:
  explicit CannotOpenFileException(const std::string& detail = {});
};

class FileAlreadyInUseException : public DataReaderLibException {
 public:
  explicit FileAlreadyInUseException(const std::string& detail = {});
};

// Corrupt file content. The detail helps when debugging but never reaches the
// caller: the message is always the class message.
class FileCorruptException : public DataReaderLibException {
 public:
  explicit FileCorruptException(const std::string& detail = {});
};

// A caller buffer that is too small, or a required pointer that is null.
class NoMemoryAllocException : public DataReaderLibException {
 public:
  explicit NoMemoryAllocException(const std::string& detail = {});
};

class CreateDestFileException : public DataReaderLibException {
 public:
  explicit CreateDestFileException(const std::string& detail = {});
};

class ExtractingFileException : public DataReaderLibException {
 public:
  explicit ExtractingFileException(const std::string& detail = {});
};

class CannotOpenExtractedFileException : public DataReaderLibException {
 public:
  explicit CannotOpenExtractedFileException(const std::string& detail = {});
};

// The message is always the class message, whatever the detail.
class InvalidIBLevelException : public DataReaderLibException {
 public:
  explicit InvalidIBLevelException(const std::string& detail = {});
};

class CANIsNotSupportedException : public DataReaderLibException {
 public:
  explicit CANIsNotSupportedException(const std::string& detail = {});
};

// The message is always "Invalid index", whatever the detail.
class InvalidIndexException : public DataReaderLibException {
 public:
  explicit InvalidIndexException(const std::string& detail = {});
};

}  // namespace Korvane::DataReader
