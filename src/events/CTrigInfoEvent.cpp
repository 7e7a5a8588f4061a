// The trigger information block that follows the common record of trigger-type
// events from a record version on.
#include "events/CTrigInfoEvent.h"

#include <cstdint>

#include "events/EventRecordReader.h"

namespace Korvane::DataReader::Events {
namespace {

// Trigger information block: uint8 present flag; when non-zero: int32, uint8, a
// compact index list, then int32, int32, int64, int64, int32, int64, int32.
constexpr int64_t kBlockHeadBytes = 4 + 1;
constexpr int64_t kBlockTailBytes = 4 + 4 + 8 + 8 + 4 + 8 + 4;

}  // namespace

void CTrigInfoEvent::ReadFromStream(EventRecordReader& reader) {
  CEventEntry::ReadFromStream(reader);
  if (recordVersion() < HasInfoStreamVersion()) return;
  if (reader.ReadUInt8() == 0) return;
  reader.SkipBytes(kBlockHeadBytes);
  reader.SkipIndexList();
  reader.SkipBytes(kBlockTailBytes);
}

}  // namespace Korvane::DataReader::Events
