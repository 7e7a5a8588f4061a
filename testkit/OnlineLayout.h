// OnlineLayout: where each channel of a recording lies in the shared streams, laid
// out as the acquisition side lays them out: channel after channel in stored-list
// order, each synchronous channel's slice of a "DBDATA" block, each channel's part
// of the records of every reduced level, each single value's "SVINFO" entry. The
// test kit computes it from its own constants; setups take the offsets through
// OnlineInfoRecord and the stream builders through their offsets.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "testkit/MeasurementDataWriter.h"
#include "testkit/XmlNode.h"

namespace Korvane::DataReader::TestKit {

// What the layout needs to know of one stored channel (synchronous, single value,
// or asynchronous in the timestamp index).
struct LayoutChannel {
  bool singleValue = false;
  int32_t valueBytes = 8;  // bytes of one stored value
  int32_t arraySize = 1;   // values per sample
  int32_t srDiv = 1;
  // Statistics items per reduced value: 1 for a plain channel, 0 for an array
  // channel without item channels, the array size with them.
  int32_t statisticsItems = 1;
  bool doublePrecision = true;  // statistics as doubles, else floats
  int firstLevel = 0;           // first reduced level stored
  // Channel number in the timestamp index, -1 for a channel without one. An
  // indexed asynchronous channel has no slice of the blocks, and its part of a
  // record of its first level ends in a 1-byte tail behind the statistics item.
  int32_t asyncIndex = -1;
};

// A channel's offsets: its slice in a block (synchronous) or its "SVINFO" entry
// (single value), and its part of a record at each level (0 below its first level).
struct ChannelPlacement {
  int32_t dbOffset = 0;
  std::array<int32_t, kWriterLevelCount> ibOffsets{};

  std::vector<int> IBOffsets() const { return {ibOffsets.begin(), ibOffsets.end()}; }
};

struct OnlineLayout {
  int32_t blockBytes = 0;                              // one "DBDATA" block
  std::array<int32_t, kWriterLevelCount> recordBytes{};  // one record of each level
  int32_t singleValueInfoBytes = 0;                    // "SVINFO"
  std::vector<ChannelPlacement> channels;              // in the order given

  std::vector<int> RecordBytes() const { return {recordBytes.begin(), recordBytes.end()}; }
};

// Bytes of a synchronous channel's part of a record of `level`: its statistics
// items (min, max, average, RMS: 32 bytes as doubles, 16 as floats) at its first
// level, and above it the same plus the sums carried up from the level below
// (another 32 or 16 bytes, whatever the item count). The items come first; an
// indexed asynchronous channel adds its 1-byte tail at its first level.
int32_t ReducedPartBytes(const LayoutChannel& channel, int level);

// Lays the channels out in the order given. Throws std::invalid_argument for a
// divider that does not divide the block size.
OnlineLayout PlanOnlineLayout(int32_t blockSize, const std::vector<LayoutChannel>& channels);

// The channel's "OnlineInfo" record: its slice or entry offset, for a sampled
// channel its reduced-level offsets, and its channel number in the index.
XmlNode OnlineInfoRecord(const LayoutChannel& channel, const ChannelPlacement& placement);

}  // namespace Korvane::DataReader::TestKit
