// Marker scan of the event stream. Scanning for markers rather than walking the
// records keeps the scanner small and tolerant: a report on a damaged recording
// must show what it can, and type-specific record tails need no decoding.
#include "StoredEvents.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kvtool {
namespace {

constexpr std::array<uint8_t, 7> kRecordStart = {0x86, 'E', 'v', 'e', 'n', 't', 'S'};
// Behind the start marker: record version, block, offset (int32 each).
constexpr size_t kFieldsBytes = 12;
constexpr int32_t kStartEvent = 1;
constexpr int32_t kStopEvent = 2;

int32_t LoadInt32(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
  int32_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

// The codes the event list can hold; a marker behind any other four bytes is text
// or voice data that happens to look like one (a record of an unknown type stops
// the library from opening the file, so nothing real is lost).
bool KnownType(int32_t type) {
  static constexpr int32_t kTypes[] = {1, 2, 3, 11, 12, 20, 21, 22, 24, 25, 26, 27};
  return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

}  // namespace

std::vector<StoredEvent> ScanStoredEvents(std::span<const uint8_t> stream) {
  std::vector<StoredEvent> events;
  // The stream version comes first; records follow it.
  auto from = stream.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(4, stream.size()));
  while (true) {
    const auto marker = std::search(from, stream.end(), kRecordStart.begin(), kRecordStart.end());
    if (marker == stream.end()) break;
    const auto at = static_cast<size_t>(marker - stream.begin());
    from = marker + 1;
    if (at < 4 || stream.size() - at < kRecordStart.size() + kFieldsBytes) continue;
    const int32_t type = LoadInt32(stream.data() + at - 4);
    if (!KnownType(type)) continue;
    const uint8_t* fields = stream.data() + at + kRecordStart.size();
    events.push_back({type, LoadInt32(fields), LoadInt32(fields + 4), LoadInt32(fields + 8), at});
  }
  return events;
}

std::vector<StoredRegion> PairStoredRegions(const std::vector<StoredEvent>& events, int32_t blockSize) {
  std::vector<StoredRegion> regions;
  int64_t start = 0;
  bool open = false;
  for (const StoredEvent& event : events) {
    // int32 x int32 plus an int32 always fits in 64 bits.
    const int64_t position = int64_t{event.block} * blockSize + event.offset;
    if (event.type == kStartEvent) {
      start = position;
      open = true;
    } else if (event.type == kStopEvent) {
      regions.push_back({start, position});
      open = false;
    }
  }
  if (open) regions.push_back({start, std::nullopt});
  return regions;
}

}  // namespace kvtool
