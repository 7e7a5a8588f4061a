// LegacyAsyncWriter: writes an asynchronous channel in legacy blocks, the scheme of
// channels without a timestamp index: one block per stored reduced record of the
// channel's first stored level, located by a 24-byte tail inside that record, with
// the block's values and then its float time stamps (seconds after the block's
// time) in the data stream ("DBASDAT" + level online, the channel's own stream
// offline). It uses its own copy of the stored layouts, never the library's code.
#pragma once

#include <cstdint>
#include <vector>

#include "testkit/MeasurementDataWriter.h"

namespace Korvane::DataReader::TestKit {

// The stored layouts, as the writer knows them.
namespace LegacyAsyncFormat {
constexpr int32_t kTailBytes = 24;
constexpr size_t kCountOffset = 0;       // i32 samples in the block
constexpr size_t kCumulativeOffset = 8;  // i64 samples up to and including the block
constexpr size_t kPositionOffset = 16;   // i64 block data position after the data start
constexpr size_t kTimeBytes = 4;         // f32 seconds after the block's time
}  // namespace LegacyAsyncFormat

// An asynchronous channel: time stamps in seconds from the start of the recording
// (ascending), sampleBytes x arraySize value bytes per sample (empty: the bytes of
// SampleValueBytes of each sample's number), and the level whose records carry its
// tails (its first stored reduced level).
struct LegacyAsyncChannel {
  std::vector<double> timestamps;
  std::vector<uint8_t> values;
  int32_t sampleBytes = 8;
  int32_t arraySize = 1;
  int level = 0;
  double sampleRate = 1000;
};

// One written block, for tests that work out what the reader must deliver.
struct LegacyAsyncBlock {
  int64_t interval = 0;     // recording interval of the level the record covers
  double time = 0;          // interval x AbsRate(level) / sampleRate
  int32_t count = 0;
  int64_t cumulative = 0;
  int64_t position = 0;     // after the data start
};

struct LegacyAsyncBlocks {
  std::vector<LegacyAsyncBlock> blocks;  // one per stored record, in record order
  std::vector<uint8_t> tails;            // the blocks' tails, 24 bytes each, back to back
  std::vector<uint8_t> data;             // the data stream, leading bytes included
  // Indexes into the channel's samples of the stored ones, block after block: the
  // samples of block b are entries cumulative - count to cumulative - 1.
  std::vector<int64_t> storedSamples;
  size_t dataStart = 0;                  // the leading bytes (PosInDBStream offline)
  int level = 0;
};

// The blocks of the channel: records enumerated as BuildReducedLevel stores them
// (an interval two regions share is one record, holding the samples of both).
// A block holds, in time order, the samples whose time t lies in a region
// (start / rate <= t < stop / rate, region positions) and in the record's interval
// (interval x AbsRate <= t x rate < (interval + 1) x AbsRate); other samples are
// not stored. Block data lies at dataStart + position: count values, then count
// floats (t - block time). Blocks follow each other in the data stream without
// gaps; an empty block has the position where the next one begins. The four bytes
// between count and cumulative count are filled with 0xEE, as is the lead.
LegacyAsyncBlocks BuildLegacyAsyncBlocks(const DataLayout& layout, const LegacyAsyncChannel& channel,
                                         size_t leadingDataBytes = 0);

// Online channel: writes block b's tail into record b of the level's records at
// tailOffset (the channel's reduced offset of the level plus its tail offset), the
// records being recordBytes apart. The records must be the level's records of the
// same layout (as many as there are blocks).
void PatchLegacyTails(std::vector<uint8_t>& levelRecords, int32_t recordBytes, int32_t tailOffset,
                      const LegacyAsyncBlocks& blocks);

// Offline channel: its reduced stream of the blocks' level: leadingBytes of filler (its
// PosInIBStream), then per block the channel's statistics item followed by the
// block's tail (stride item size + 24). Without items (a channel that stores only
// reduced time stamps) the records are the tails alone (stride 24).
std::vector<uint8_t> BuildOwnLegacyReducedStream(const DataLayout& layout, const ReducedChannelValues* items,
                                                 const LegacyAsyncBlocks& blocks, size_t leadingBytes = 0);

}  // namespace Korvane::DataReader::TestKit
