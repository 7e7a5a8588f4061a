// Field reads of event records on top of CStream, each checked against the stream.
#include "events/EventRecordReader.h"

#include <bit>
#include <memory>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader::Events {
namespace {

static_assert(std::endian::native == std::endian::little, "stored integers are read in place");

template <class T>
T ReadValue(CStream& stream) {
  T value{};
  if (stream.ReadBytes(&value, sizeof value) != static_cast<int32_t>(sizeof value)) {
    throw FileCorruptException("EOF detected");
  }
  return value;
}

}  // namespace

int32_t ReadInt32(CStream& stream) { return ReadValue<int32_t>(stream); }

uint8_t ReadUInt8(CStream& stream) { return ReadValue<uint8_t>(stream); }

int64_t RemainingBytes(CStream& stream) { return stream.Size() - stream.Position(); }

void SkipBytes(CStream& stream, int64_t count) {
  if (count < 0 || count > RemainingBytes(stream)) throw FileCorruptException("EOF detected");
  stream.Seek(count, MultiStream::kSeekCurrent);
}

std::string ReadEventText(CStream& stream, bool oldFormat) {
  char* raw = nullptr;
  const int32_t bytes = stream.ReadAllocStringFromStream64(raw, !oldFormat);
  const std::unique_ptr<char[]> owned(raw);
  if (!oldFormat) ConvertUnicodeToASCII(raw, static_cast<size_t>(bytes) + 1);
  return std::string(raw);
}

}  // namespace Korvane::DataReader::Events
