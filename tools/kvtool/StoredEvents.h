// The start and stop events as the event stream stores them, before the library
// repairs a cut-off recording: the library hands out only the repaired list, and
// a health report must show what the recording itself says. A scanner over the
// raw stream bytes (from KVGetStream) that never reads outside them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kvtool {

struct StoredEvent {
  int32_t type = 0;           // event type code (1 start, 2 stop, ...)
  int32_t recordVersion = 0;
  int32_t block = 0;          // record position: data block and offset in it
  int32_t offset = 0;
  size_t streamOffset = 0;    // where the record's start marker lies in the stream
};

// Every record of a known event type in stream order. Records are found by their
// start marker (0x86 "EventS"); the type code is the int32 before it, block and
// offset follow the record version. Texts are not decoded. Any bytes are safe.
// A record with junk between its type code and its marker (which the library
// skips) cannot be placed and is left out.
std::vector<StoredEvent> ScanStoredEvents(std::span<const uint8_t> stream);

// A region as the stored start and stop events give it, in full-rate samples from
// the start of the measurement; a start the recording never stopped has no stop.
struct StoredRegion {
  int64_t start = 0;
  std::optional<int64_t> stop;
};

// Regions paired the way the library pairs events: a stop closes the region of the
// latest start (a stop without a start of its own repeats the previous start), and
// a start that no stop follows is kept open. Positions are block x blockSize + offset.
std::vector<StoredRegion> PairStoredRegions(const std::vector<StoredEvent>& events, int32_t blockSize);

}  // namespace kvtool
