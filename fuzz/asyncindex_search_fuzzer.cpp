// Arbitrary bytes as the three streams of an index manager with four channels:
// load them, then search with every strategy, move, count and copy. Damaged
// streams may end any call with an index exception, never with a crash, a hang,
// a leak or an oversized allocation.
//
// Input: u32 value-stream length, u32 node-stream length, u32 value-stream start
// and u32 node-stream start of channel 3, f64 a time to search (24 bytes), then
// the value, node and root-node streams (lengths cut to what the input holds).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/AsyncManager.h"
#include "asyncindex/MemoryStream.h"

namespace {

using Manager = AsyncIndexManager;
using IterPtr = Manager::IterPtr;

constexpr size_t kHeaderBytes = 24;
constexpr uint64_t kMaxCopy = 4096;
struct ChannelShape {
  uint32_t index;
  uint32_t valueSize;
};
constexpr ChannelShape kChannels[] = {{0, 8}, {1, 4}, {2, 1}, {3, 8}};

uint32_t LoadU32(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24; }

double LoadF64(const uint8_t* p) {
  const uint64_t bits = uint64_t{LoadU32(p)} | uint64_t{LoadU32(p + 4)} << 32;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Runs one call; an index exception ends only that call.
template <class Call>
void Try(Call&& call) {
  try {
    call();
  } catch (const AsyncIndexLibException&) {
  }
}

void Copy(Manager& m, uint32_t channel, const IterPtr& start, const IterPtr& end, uint32_t valueSize) {
  const uint64_t wanted = m.getChannel(channel)->getSampleCount(start, end);
  uint64_t capacity = std::min(wanted, kMaxCopy);
  std::vector<uint8_t> values(capacity * valueSize + 1);
  std::vector<double> stamps(capacity + 1);
  m.getSamples(channel, start, end, values.data(), stamps.data(), capacity);
}

void Exercise(Manager& m, const ChannelShape& shape, double probe) {
  const uint32_t channel = shape.index;
  auto& indexChannel = *m.getChannel(channel);
  std::vector<double> times{probe, 0.0};
  IterPtr first;
  IterPtr last;
  Try([&] { first = m.getFirstPos(channel); });
  Try([&] { last = m.getLastPos(channel); });
  Try([&] {
    if (!first) return;
    IterPtr it = m.moveIterator(channel, first, 0, MoveFailStrategy::StopAtEnd);
    it->checkIfOverNode();
    it->resolve();
    times.push_back(it->getCurrentTimestamp());
  });
  Try([&] {
    if (!last) return;
    IterPtr it = m.moveIterator(channel, last, -1, MoveFailStrategy::StopAtEnd);
    it->resolve();
    times.push_back(it->getCurrentTimestamp());
    times.push_back(it->getCurrentTimestamp() + 0.5);
  });
  const int64_t deltas[] = {1, -1, 7, -7, 1000, -1000, INT64_MAX, INT64_MIN};
  for (double t : times) {
    for (auto dupl : {DuplFoundStrategy::First, DuplFoundStrategy::Last}) {
      for (int32_t miss = 0; miss <= 7; ++miss) {
        Try([&] {
          IterPtr it = m.searchTimestamp(channel, t, dupl, static_cast<NotFoundStrategy>(miss));
          if (!it || miss != 3) return;
          for (int64_t delta : deltas) {
            Try([&] { m.moveIterator(channel, it, delta, MoveFailStrategy::StopAtEnd); });
            Try([&] { m.moveIterator(channel, it, delta, MoveFailStrategy::ReturnEmpty); });
          }
          Try([&] { indexChannel.moveIteratorBackwardsWhileTimestampEqual(it, MoveFailStrategy::StopAtEnd); });
          Try([&] { indexChannel.moveIteratorBackwardsWhileTimestampEqual(it, MoveFailStrategy::ReturnEmpty); });
        });
      }
    }
  }
  for (double t0 : times) {
    for (double t1 : times) {
      for (bool include : {false, true}) {
        Try([&] { m.getSampleCount(channel, t0, t1, include); });
        Try([&] {
          IterPtr start = m.searchTimestampForStartPos(channel, t0, include);
          IterPtr end = m.searchTimestampForEndPos(channel, t1, include);
          Copy(m, channel, start, end, shape.valueSize);
        });
      }
    }
  }
  Try([&] { Copy(m, channel, first, last, shape.valueSize); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  size_t rest = size - kHeaderBytes;
  const uint8_t* cursor = data + kHeaderBytes;
  const size_t valueBytes = std::min<size_t>(LoadU32(data), rest);
  const std::vector<uint8_t> values(cursor, cursor + valueBytes);
  cursor += valueBytes;
  rest -= valueBytes;
  const size_t nodeBytes = std::min<size_t>(LoadU32(data + 4), rest);
  const std::vector<uint8_t> nodes(cursor, cursor + nodeBytes);
  cursor += nodeBytes;
  rest -= nodeBytes;
  const std::vector<uint8_t> roots(cursor, cursor + rest);

  Manager m;
  m.setValueAndTimestampStream(kit::make_local_shared<MemoryStream>(values));
  m.setNodeStream(kit::make_local_shared<MemoryStream>(nodes));
  m.setRootNodeStream(kit::make_local_shared<MemoryStream>(roots));
  for (const ChannelShape& shape : kChannels) m.addChannel(shape.index, shape.valueSize);
  m.setValTsStreamOffset(3, LoadU32(data + 8));
  m.setNodeStreamOffset(3, LoadU32(data + 12));
  try {
    m.initializeLoading();
  } catch (const AsyncIndexLibException&) {
    return 0;
  }
  const double probe = LoadF64(data + 16);
  for (const ChannelShape& shape : kChannels) Exercise(m, shape, probe);
  return 0;
}
