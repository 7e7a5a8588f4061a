// The timestamp index's own exception family. Each carries a negative code of
// the index; when one reaches the call frame the caller sees status 1 and the
// message, the code stays inside the library.
#pragma once

#include <stdexcept>
#include <string>

class AsyncIndexLibException : public std::runtime_error {
 public:
  AsyncIndexLibException(int code, const std::string& message);
  ~AsyncIndexLibException() override;

  int code() const noexcept { return code_; }

 private:
  int code_;
};

class DuplicateChannelIndexException : public AsyncIndexLibException {
 public:
  DuplicateChannelIndexException();
};

class InvalidStateException : public AsyncIndexLibException {
 public:
  InvalidStateException();
};

class CursorEofException : public AsyncIndexLibException {
 public:
  CursorEofException();
};

class TooMuchDataException : public AsyncIndexLibException {
 public:
  TooMuchDataException();
};

class ConfigurationFailedException : public AsyncIndexLibException {
 public:
  ConfigurationFailedException();
};

class ChannelNotFoundException : public AsyncIndexLibException {
 public:
  ChannelNotFoundException();
};

// A read of an index stream that could not deliver the bytes asked for.
class StreamException : public AsyncIndexLibException {
 public:
  StreamException();
};

// Index content that no writer produces: a node or leaf data outside its stream, an
// inner node with more items than it can hold, a loop in the tree or in the leaf
// links. The engine reports it as a corrupt file.
class CorruptIndexException : public AsyncIndexLibException {
 public:
  CorruptIndexException();
};
