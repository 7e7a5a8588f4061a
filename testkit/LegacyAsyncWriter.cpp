// Builders of legacy asynchronous blocks, from the writer's own layout constants.
#include "testkit/LegacyAsyncWriter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {

namespace {

// A reduced item: minimum, maximum, average and RMS, each 8 or 4 bytes.
constexpr int32_t kItemValues = 4;
// Bytes no reader should use: the lead of a stream and the tail's unread word.
constexpr uint8_t kFiller = 0xEE;
constexpr uint32_t kUnreadFiller = 0xEEEEEEEE;

std::vector<uint8_t> Tail(const LegacyAsyncBlock& block) {
  ByteWriter out;
  out.I32(block.count).U32(kUnreadFiller).I64(block.cumulative).I64(block.position);
  static_assert(LegacyAsyncFormat::kCumulativeOffset == 8 && LegacyAsyncFormat::kPositionOffset == 16);
  return out.Take();
}

void Put(std::vector<uint8_t>& bytes, size_t position, const uint8_t* data, size_t size) {
  if (position + size > bytes.size()) throw std::invalid_argument("tail outside its record");
  std::copy(data, data + size, bytes.begin() + static_cast<std::ptrdiff_t>(position));
}

}  // namespace

LegacyAsyncBlocks BuildLegacyAsyncBlocks(const DataLayout& layout, const LegacyAsyncChannel& channel,
                                         size_t leadingDataBytes) {
  const std::vector<double>& times = channel.timestamps;
  const auto valueSize = static_cast<size_t>(channel.sampleBytes) * static_cast<size_t>(channel.arraySize);
  if (valueSize == 0 || channel.sampleRate <= 0 || channel.level < 0 || channel.level >= kWriterLevelCount) {
    throw std::invalid_argument("legacy channel without samples sizes, rate or level");
  }
  if (!std::is_sorted(times.begin(), times.end())) throw std::invalid_argument("time stamps must ascend");
  if (!channel.values.empty() && channel.values.size() != times.size() * valueSize) {
    throw std::invalid_argument("value bytes do not match the time stamps");
  }
  const double absSeconds =
      static_cast<double>(layout.MidRate(channel.level) * layout.blockSize) / channel.sampleRate;

  LegacyAsyncBlocks result;
  result.dataStart = leadingDataBytes;
  result.level = channel.level;
  ByteWriter data;
  for (size_t i = 0; i < leadingDataBytes; ++i) data.U8(kFiller);
  int64_t cumulative = 0;
  for (const StoredInterval& stored : StoredIntervals(layout, channel.level).intervals) {
    LegacyAsyncBlock block;
    block.interval = stored.interval;
    block.time = static_cast<double>(stored.interval) * absSeconds;
    block.position = static_cast<int64_t>(data.size() - leadingDataBytes);
    std::vector<int64_t> members;
    for (const auto& [firstPosition, endPosition] : stored.ranges) {
      const auto from =
          std::lower_bound(times.begin(), times.end(), static_cast<double>(firstPosition) / channel.sampleRate);
      const auto to =
          std::lower_bound(times.begin(), times.end(), static_cast<double>(endPosition) / channel.sampleRate);
      for (auto it = from; it < to; ++it) members.push_back(it - times.begin());
    }
    block.count = static_cast<int32_t>(members.size());
    cumulative += block.count;
    block.cumulative = cumulative;
    for (int64_t i : members) {
      if (channel.values.empty()) {
        data.Bytes(SampleValueBytes(static_cast<uint64_t>(i), static_cast<uint32_t>(valueSize)));
      } else {
        data.Bytes(channel.values.data() + static_cast<size_t>(i) * valueSize, valueSize);
      }
    }
    for (int64_t i : members) data.F32(static_cast<float>(times[static_cast<size_t>(i)] - block.time));
    result.storedSamples.insert(result.storedSamples.end(), members.begin(), members.end());
    const std::vector<uint8_t> tail = Tail(block);
    result.tails.insert(result.tails.end(), tail.begin(), tail.end());
    result.blocks.push_back(block);
  }
  result.data = data.Take();
  return result;
}

void PatchLegacyTails(std::vector<uint8_t>& levelRecords, int32_t recordBytes, int32_t tailOffset,
                      const LegacyAsyncBlocks& blocks) {
  if (recordBytes < 1 || tailOffset < 0 || tailOffset + LegacyAsyncFormat::kTailBytes > recordBytes ||
      levelRecords.size() != blocks.blocks.size() * static_cast<size_t>(recordBytes)) {
    throw std::invalid_argument("the level's records do not match the blocks");
  }
  for (size_t b = 0; b < blocks.blocks.size(); ++b) {
    Put(levelRecords, b * static_cast<size_t>(recordBytes) + static_cast<size_t>(tailOffset),
        blocks.tails.data() + b * LegacyAsyncFormat::kTailBytes, LegacyAsyncFormat::kTailBytes);
  }
}

std::vector<uint8_t> BuildOwnLegacyReducedStream(const DataLayout& layout, const ReducedChannelValues* items,
                                                 const LegacyAsyncBlocks& blocks, size_t leadingBytes) {
  const int32_t itemBytes = items == nullptr ? 0 : kItemValues * (items->doublePrecision ? 8 : 4);
  const int32_t stride = itemBytes + LegacyAsyncFormat::kTailBytes;
  std::vector<uint8_t> stream =
      items == nullptr ? std::vector<uint8_t>(leadingBytes + blocks.blocks.size() * static_cast<size_t>(stride), 0)
                       : BuildOwnReducedStream(layout, blocks.level, *items, leadingBytes,
                                               static_cast<size_t>(LegacyAsyncFormat::kTailBytes));
  std::fill(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(leadingBytes), kFiller);
  std::vector<uint8_t> records(stream.begin() + static_cast<std::ptrdiff_t>(leadingBytes), stream.end());
  PatchLegacyTails(records, stride, itemBytes, blocks);
  std::copy(records.begin(), records.end(), stream.begin() + static_cast<std::ptrdiff_t>(leadingBytes));
  return stream;
}

}  // namespace Korvane::DataReader::TestKit
