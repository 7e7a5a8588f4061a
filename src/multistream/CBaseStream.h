// CBaseStream: a named stream that belongs to a container (a paged stream of a
// multi-stream file or an unpacked zip member). The container owns it; callers
// get a borrowed pointer that stays valid until the container closes its file.
#pragma once

#include <cstdint>

#include "multistream/CStream.h"

namespace Korvane::DataReader::MultiStream {

// Stream codes are up to 8 ASCII characters, kept zero-terminated.
inline constexpr int32_t kStreamCodeChars = 8;

class CBaseStream : public CStream {
 public:
  CBaseStream();
  ~CBaseStream() override;

  // The stream code, zero-terminated (empty for unnamed streams).
  const char* Code() const noexcept { return code_; }
  // Sets the code from the first 8 characters of `code`, zero-padding the rest.
  void SetCode(const char* code);

  // Copies the whole stream, from its beginning, into a new file at path (created or
  // truncated). Returns true when every byte was written; on any failure the partial
  // file is removed and false is returned. Damaged stream content still throws.
  bool WriteToFile(const char* path);

 private:
  char code_[kStreamCodeChars + 1] = {};
};

}  // namespace Korvane::DataReader::MultiStream
