// Asynchronous samples through the timestamp index: per region, the samples from
// the first one at or after its start up to the first one at or after its stop,
// told apart by their numbers in the channel, so that a run of equal time stamps
// at a region's edge is counted and delivered exactly once whichever leaves it
// spans. Values are copied in bounded pieces, time stamps straight into the
// caller's buffer; the query keeps the iterator and the region's end, so the next
// window goes on without a search.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "engine/IndexErrors.h"
#include "engine/SampleOutput.h"
#include "engine/StoredReads.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

namespace {

// Values are copied through a buffer of at most this many bytes (at least one
// sample), whatever window is asked for.
constexpr int64_t kCopyChunkBytes = int64_t{1} << 20;

int64_t SampleNumber(const AsyncIndexManager::IterPtr& it) {
  const uint64_t number = it->getSampleNumber();
  if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) throw FileCorruptException("index count");
  return static_cast<int64_t>(number);
}

uint32_t IndexOf(const CKVChannel& storage) { return static_cast<uint32_t>(storage.GetAsyncIndex()); }

// The most samples the channel can have: each takes its value and an 8-byte time
// stamp in the value stream. Counts from the leaves beyond it are damaged.
int64_t MostSamples(AsyncIndexManager& manager, uint32_t index) {
  const auto& channel = manager.getChannel(index);
  const uint64_t bytes = channel->getLoader()->valueStreamSize();
  return static_cast<int64_t>(std::min<uint64_t>(bytes / (uint64_t{channel->getValueSize()} + sizeof(double)),
                                                 static_cast<uint64_t>(std::numeric_limits<int64_t>::max())));
}

int64_t RegionSamples(uint64_t n, int64_t most) {
  if (n > static_cast<uint64_t>(most)) throw FileCorruptException("index count");
  return static_cast<int64_t>(n);
}

}  // namespace

int64_t CDataLoadEngine::IndexAsyncSamplesCount(const CKVChannel& storage, int firstRegion, int lastRegion) const {
  AsyncIndexManager* manager = getChannelAsyncManager(&storage);
  const uint32_t index = IndexOf(storage);
  return WithIndexCorruptionMapped([&] {
    const int64_t most = MostSamples(*manager, index);
    int64_t count = 0;
    for (int region = firstRegion; region <= lastRegion; ++region) {
      const uint64_t n = manager->getSampleCount(index, getEventStartTime(region), getEventStopTime(region), false);
      // The regions do not overlap: together they hold no more than the channel.
      count = CheckedAdd(count, RegionSamples(n, most), "index count");
      if (count > most) throw FileCorruptException("index count");
    }
    return count;
  });
}

void CDataLoadEngine::ReadIndexAsyncSamples(const CKVChannel& storage, const AsyncWindow& window,
                                            TAsyncSamplesQuery& query, SampleOutput& output) {
  AsyncIndexManager* manager = getChannelAsyncManager(&storage);
  const uint32_t index = IndexOf(storage);
  WithIndexCorruptionMapped([&] {
    const auto& channel = manager->getChannel(index);
    const int64_t valueSize = channel->getValueSize();
    // The index stores what the setup says one sample holds; a value larger than
    // the value stream cannot be stored at all.
    if (valueSize != output.StoredSampleBytes() ||
        static_cast<uint64_t>(valueSize) > channel->getLoader()->valueStreamSize()) {
      throw FileCorruptException("AsyncIndex value size");
    }
    const int64_t chunkSamples = std::max<int64_t>(1, kCopyChunkBytes / valueSize);
    const int64_t most = MostSamples(*manager, index);
    const int64_t end = SaturatingAdd(window.first, window.count);
    std::vector<uint8_t> buffer;

    int64_t number = 0;  // the number of the sample `it` stands on, inside the regions
    int region = window.firstRegion;
    AsyncIndexManager::IterPtr it;
    int64_t available = 0;  // samples of `region` from `it` on
    if (Resumes(query, window)) {
      number = query.nextSample;
      region = query.region;
      it = query.iterator;
      available = std::max<int64_t>(0, query.regionEnd - number);
    }
    query = TAsyncSamplesQuery{};
    query.firstRegion = window.firstRegion;
    query.lastRegion = window.lastRegion;

    for (; region <= window.lastRegion && number < end; ++region, it = {}) {
      if (!it) {
        it = manager->searchTimestampForStartPos(index, getEventStartTime(region), false);
        const AsyncIndexManager::IterPtr stop = manager->searchTimestampForEndPos(index, getEventStopTime(region), false);
        if (!it || !stop) continue;
        // The stored numbers size the region once; from here on the region is
        // counted down by what is copied, so a resumed window ends it where one
        // read of everything would, even where damaged leaves number their
        // samples otherwise than the walk over them finds them.
        const int64_t stored = std::max<int64_t>(0, SampleNumber(stop) - SampleNumber(it));
        available = RegionSamples(static_cast<uint64_t>(stored), most);
      }
      if (number + available <= window.first) {
        number += available;
        continue;
      }
      if (number < window.first) {
        it = manager->moveIterator(index, it, window.first - number, MoveFailStrategy::StopAtEnd);
        available -= window.first - number;
        number = window.first;
      }
      while (available > 0 && number < end) {
        int64_t want = std::min(available, end - number);
        // The stored bytes go straight to the host when that is the form asked
        // for; otherwise through a bounded buffer.
        uint8_t* destination = output.PlainCopyDestination();
        if (destination == nullptr) {
          want = std::min(want, chunkSamples);
          if (buffer.size() < static_cast<size_t>(want * valueSize)) buffer.resize(static_cast<size_t>(want * valueSize));
        }
        const auto copied = static_cast<int64_t>(manager->copySamples(
            index, it, static_cast<uint64_t>(want), destination != nullptr ? destination : buffer.data(),
            output.TimeStampSlot()));
        // Leaves that end before the stored numbers said end the region.
        if (copied <= 0) break;
        if (destination != nullptr) {
          output.PutInPlace(copied);
        } else {
          output.PutTimed(buffer.data(), copied, nullptr);
        }
        number += copied;
        available -= copied;
        query.nextSample = number;
        query.region = region;
        query.iterator = it;
        query.regionEnd = number + available;
      }
    }
  });
}

}  // namespace Korvane::DataReader
