// Named container streams: their code and the export of their bytes to a file.
#include "multistream/CBaseStream.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace Korvane::DataReader::MultiStream {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Large enough that an export of a big stream is a few hundred carrier reads.
constexpr int32_t kExportChunkBytes = 64 * 1024;

}  // namespace

CBaseStream::CBaseStream() = default;
CBaseStream::~CBaseStream() = default;

void CBaseStream::SetCode(const char* code) {
  std::memset(code_, 0, sizeof code_);
  if (code != nullptr) std::strncpy(code_, code, kStreamCodeChars);
}

bool CBaseStream::WriteToFile(const char* path) {
  if (path == nullptr) return false;
  std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path, "wb"));
  if (!out) return false;

  bool complete = true;
  try {
    Seek(0, kSeekBegin);
    int64_t remaining = Size();
    std::vector<char> chunk(static_cast<size_t>(remaining < kExportChunkBytes ? remaining : kExportChunkBytes));
    while (remaining > 0 && complete) {
      const int32_t want = remaining < kExportChunkBytes ? static_cast<int32_t>(remaining) : kExportChunkBytes;
      const int32_t got = ReadBytes(chunk.data(), want);
      if (got > 0 && std::fwrite(chunk.data(), 1, static_cast<size_t>(got), out.get()) != static_cast<size_t>(got)) {
        complete = false;
      }
      if (got != want) complete = false;
      remaining -= want;
    }
    if (std::fflush(out.get()) != 0) complete = false;
  } catch (...) {
    out.reset();
    std::remove(path);
    throw;
  }
  if (std::fclose(out.release()) != 0) complete = false;
  if (!complete) std::remove(path);
  return complete;
}

}  // namespace Korvane::DataReader::MultiStream
