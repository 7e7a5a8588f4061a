// Page header reading.
#include "multistream/CFilePage.h"

#include <cstring>

#include "common/LittleEndian.h"
#include "multistream/CFileStream.h"

namespace Korvane::DataReader::MultiStream {
namespace {

constexpr int32_t kMagicBytes = 4;
constexpr int32_t kNumberOffset = 4;
constexpr int32_t kPreviousOffset = 8;
constexpr int32_t kNextOffset = 16;
constexpr int32_t kFixedHeaderBytes = 24;
constexpr int32_t kExtraOffset = 28;
constexpr int32_t kExtendedHeaderBytes = CFilePage::kMaxHeaderBytes;

}  // namespace

bool CFilePage::ReadHeader(CFileStream& carrier) {
  uint8_t header[kExtendedHeaderBytes] = {};
  const int64_t got = carrier.ReadAt(position, header, kExtendedHeaderBytes, 0);
  return ParseHeader(header, got);
}

bool CFilePage::ParseHeader(const uint8_t* header, int64_t available) {
  if (available < kFixedHeaderBytes) return false;
  const bool isPage = std::memcmp(header, "PAGE", kMagicBytes) == 0;
  const bool isPag1 = std::memcmp(header, "PAG1", kMagicBytes) == 0;
  recognised = isPage || isPag1;
  number = LoadI32(header + kNumberOffset);
  previous = LoadI64(header + kPreviousOffset);
  next = LoadI64(header + kNextOffset);
  if (isPag1 && available >= kExtendedHeaderBytes) extra = LoadI32(header + kExtraOffset);
  return true;
}

}  // namespace Korvane::DataReader::MultiStream
