// CheckAndRepairEventList: makes the start/stop events of an open file agree with
// the data that actually reached the file. A recording cut off by a power loss or a
// full disk leaves stops beyond the stored blocks, an open start or no region at
// all; the repair moves, drops and synthesizes events in the event list owner's
// list, which keeps owning them.
#pragma once

#include <array>
#include <cstdint>

#include "setup/CKVOnlineInfo.h"

namespace Korvane::DataReader {

namespace Events {
class CKVEventHelper;
}

// What the stored streams hold, measured by the engine before the repair.
struct StoredDataExtent {
  // Whole "DBDATA" blocks, or -1 when unknown (not a full recording, no stream, or
  // no block size).
  int64_t dataBlocks = -1;
  // Whole records per reduced level, or -1 when the level's stream or record size
  // is unknown.
  std::array<int64_t, kIBLevelCount> levelRecords = {-1, -1, -1, -1, -1, -1};
  // Level-0 blocks per reduced value of each level (at least 1).
  std::array<int64_t, kIBLevelCount> midRates = {1, 1, 1, 1, 1, 1};
  int32_t blockSize = 0;  // full-rate samples per data block
  int startingLevel = 0;  // first reduced level the recording stores
  int levelCount = 0;     // reduced levels present
};

// Applies the partly-filled-record rule: a level counts one record more when the
// level below holds records that do not fill a whole record of this level.
void CountPartlyFilledRecords(StoredDataExtent& extent);

// Repairs the list in place. Returns true when the list ends with a stop (always
// after a repair). Throws FileCorruptException "Missing start event" for a stop
// that no start opened.
bool CheckAndRepairEventList(Events::CKVEventHelper& events, const StoredDataExtent& extent);

}  // namespace Korvane::DataReader
