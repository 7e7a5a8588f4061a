// OnlineLayout: the shared-stream layout of a recording's channels, from the
// kit's own constants.
#include "testkit/OnlineLayout.h"

#include <stdexcept>

#include "testkit/SetupBuilder.h"

namespace Korvane::DataReader::TestKit {

namespace {

// Statistics item: minimum, maximum, average, RMS.
constexpr int32_t kItemBytesDouble = 4 * 8;
constexpr int32_t kItemBytesFloat = 4 * 4;
// Sums carried up from the level below, on every level above the first.
constexpr int32_t kCarriedBytesDouble = 32;
constexpr int32_t kCarriedBytesFloat = 16;
// "SVINFO" entry: position in "SVDATA2" and the stored word.
constexpr int32_t kSingleValueInfoBytes = 8;
// Behind the item of an indexed asynchronous channel, at its first level.
constexpr int32_t kIndexTailBytes = 1;

}  // namespace

int32_t ReducedPartBytes(const LayoutChannel& channel, int level) {
  if (channel.singleValue || level < channel.firstLevel) return 0;
  int32_t bytes = channel.statisticsItems * (channel.doublePrecision ? kItemBytesDouble : kItemBytesFloat);
  if (level > channel.firstLevel) bytes += channel.doublePrecision ? kCarriedBytesDouble : kCarriedBytesFloat;
  if (level == channel.firstLevel && channel.asyncIndex >= 0) bytes += kIndexTailBytes;
  return bytes;
}

OnlineLayout PlanOnlineLayout(int32_t blockSize, const std::vector<LayoutChannel>& channels) {
  OnlineLayout layout;
  for (const LayoutChannel& channel : channels) {
    ChannelPlacement placement;
    if (channel.singleValue) {
      placement.dbOffset = layout.singleValueInfoBytes;
      layout.singleValueInfoBytes += kSingleValueInfoBytes;
      layout.channels.push_back(placement);
      continue;
    }
    if (channel.srDiv < 1 || blockSize % channel.srDiv != 0) {
      throw std::invalid_argument("the divider must divide the block size");
    }
    if (channel.asyncIndex < 0) {
      placement.dbOffset = layout.blockBytes;
      layout.blockBytes += blockSize / channel.srDiv * channel.valueBytes * channel.arraySize;
    }
    for (int level = channel.firstLevel; level < kWriterLevelCount; ++level) {
      placement.ibOffsets[static_cast<size_t>(level)] = layout.recordBytes[static_cast<size_t>(level)];
      layout.recordBytes[static_cast<size_t>(level)] += ReducedPartBytes(channel, level);
    }
    layout.channels.push_back(placement);
  }
  return layout;
}

XmlNode OnlineInfoRecord(const LayoutChannel& channel, const ChannelPlacement& placement) {
  return OnlineInfoRecord(placement.dbOffset, channel.singleValue ? std::vector<int>{} : placement.IBOffsets(),
                          channel.asyncIndex);
}

}  // namespace Korvane::DataReader::TestKit
