// CStreamContainer: an open data file seen as a set of streams found by code, with
// the writer's version number and a description text. CMultiStream (plain files)
// and CZipStream (zip-packaged files) implement it; the container owns every
// stream it hands out, and those stay valid until CloseFile or destruction.
#pragma once

#include <cstdint>

#include "multistream/CBaseStream.h"

namespace Korvane::DataReader::MultiStream {

// The description text holds up to this many characters plus a terminator.
inline constexpr int32_t kDescriptionChars = 96;

class CStreamContainer {
 public:
  CStreamContainer();
  virtual ~CStreamContainer();

  CStreamContainer(const CStreamContainer&) = delete;
  CStreamContainer& operator=(const CStreamContainer&) = delete;

  // Opens the data file at path; throws the DataReaderLibException family on failure.
  virtual void OpenFile(const char* path) = 0;
  // Releases the open file; harmless when none is open.
  virtual void CloseFile() = 0;
  // The first stream whose code equals `code` exactly (case-sensitive), or null.
  virtual CBaseStream* StreamByCode(const char* code) = 0;
  // The writer's version number (for example 7305); files below 7100 use the old
  // event layout.
  virtual int32_t GetFileVersionInt() = 0;

  // The description text, zero-terminated (empty when no file is open).
  const char* Description() const noexcept { return description_; }

 protected:
  // Empties the text, including the bytes behind its terminator.
  void ClearDescription() noexcept;
  // The whole field, which a plain file's header fills with all 96 stored bytes.
  char* DescriptionField() noexcept { return description_; }

 private:
  char description_[kDescriptionChars + 1] = {};
};

}  // namespace Korvane::DataReader::MultiStream
