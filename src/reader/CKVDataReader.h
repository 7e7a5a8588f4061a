// CKVDataReader: one reader, holding at most one open data file, behind every
// exported function. Each public method serves the exported function of the same
// name; failures leave it as exceptions of the DataReaderLibException family.
#pragma once

#include <cstdint>

namespace Korvane::DataReader {

class CKVDataReader {
 public:
  static constexpr int32_t kVersionMajor = 5;
  static constexpr int32_t kVersionMinor = 0;
  static constexpr int32_t kVersionPatch = 6;

  // A closed reader. Sets the process locale to "C" so that numbers in setup
  // documents read with a decimal point.
  CKVDataReader();
  virtual ~CKVDataReader();

  CKVDataReader(const CKVDataReader&) = delete;
  CKVDataReader& operator=(const CKVDataReader&) = delete;

  // The library version as major * 1000000 + minor * 1000 + patch (5000006).
  int32_t KVGetVersion() const noexcept;

  // True between a successful open and the next close.
  bool IsFileOpen() const noexcept { return fileOpen_; }

 private:
  bool fileOpen_ = false;
  int32_t multiFileIndex_ = -1;
};

}  // namespace Korvane::DataReader
