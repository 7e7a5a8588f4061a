// Region repair: the walk over start and stop events that clamps every stop to the
// stored blocks, drops regions without stored data and closes what stays open.
#include "engine/CheckAndRepairEventList.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "common/DataReaderLibException.h"
#include "engine/StoredReads.h"
#include "events/CEventEntry.h"
#include "events/CKVEventHelper.h"

namespace Korvane::DataReader {

namespace {

using Events::CEventEntry;
using Events::RecordPosition;

// Second code and texts of the events the repair synthesizes.
constexpr int32_t kSynthesizedSecondCode = 255;
constexpr char kSynthesizedStartText[] = "B";
constexpr char kSynthesizedStopText[] = "E";

constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

int64_t SaturatingMul(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  int64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) return ((a < 0) != (b < 0)) ? -kInt64Max : kInt64Max;
  return product;
}


int32_t ClampToBlock(int64_t block) {
  return static_cast<int32_t>(std::clamp<int64_t>(block, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The open start of the walk: its list index and, per level, its block at that
// level and its stored-record offset.
struct OpenStart {
  size_t index = 0;
  int64_t block = 0;
  int64_t position = 0;
  std::array<int64_t, kIBLevelCount> levelBlock{};
  std::array<int64_t, kIBLevelCount> levelOffset{};
};

OpenStart RememberStart(const CEventEntry& start, size_t index, const StoredDataExtent& extent,
                        int32_t blockSize) {
  OpenStart open;
  open.index = index;
  open.block = start.position().block;
  open.position = start.position().calculatePosition(blockSize);
  const Events::LevelOffsets& offsets = start.levelOffsets();
  for (int level = 0; level < kIBLevelCount; ++level) {
    open.levelBlock[level] = open.block / extent.midRates[level];
    open.levelOffset[level] = level < static_cast<int>(offsets.size()) ? offsets[level] : 0;
  }
  return open;
}

// Level-`level` values the region needs up to its stop (its end index there): a stop
// inside a block needs that partly filled block, and the value holding it, stored.
int64_t StopEnd(const RecordPosition& stop, int level, const StoredDataExtent& extent) {
  const int64_t mid = extent.midRates[level];
  if (extent.blockSize <= 0) return CeilDiv(stop.block, mid);
  return CeilDiv(stop.calculatePosition(extent.blockSize), SaturatingMul(extent.blockSize, mid));
}

// The last stored level-0 block the region opened by `start` may use when it is
// closed at `stop`, or none when the stored data reach that far. -1 means that a
// stream holds nothing of the region at all.
std::optional<int64_t> LastUsableBlock(const OpenStart& start, const RecordPosition& stop,
                                       const StoredDataExtent& extent) {
  std::optional<int64_t> last;
  if (extent.dataBlocks >= 0 &&
      extent.dataBlocks <
          SaturatingAdd(StopEnd(stop, 0, extent), SaturatingSub(start.levelOffset[0], start.levelBlock[0]))) {
    last = extent.dataBlocks - 1;
  }
  for (int level = extent.startingLevel; level < extent.levelCount; ++level) {
    const int64_t records = extent.levelRecords[level];
    if (records < 0) continue;
    const int64_t mid = extent.midRates[level];
    const int64_t need = SaturatingSub(
        SaturatingAdd(StopEnd(stop, level, extent), SaturatingSub(start.levelOffset[level], start.levelBlock[level])),
        1);
    if (records >= need) continue;
    const int64_t limitBlocks = records > 0 ? SaturatingMul(records - 1, mid) : -1;
    last = last ? std::min(*last, limitBlocks) : limitBlocks;
  }
  return last;
}

Events::EventPtr Synthesize(const Events::CKVEventHelper& events, int type, const char* text,
                                        int32_t block, int levelCount) {
  Events::EventPtr event = events.CreateEventFromType(type);
  event->setSecondCode(kSynthesizedSecondCode);
  event->setText(text);
  event->setPosition(RecordPosition{block, 0});
  event->setLevelOffsets(std::vector<int32_t>(static_cast<size_t>(std::max(levelCount, 0)), 0));
  return event;
}

// The block a stop closing `start` is given when the list ended with the start
// open: the end of the shortest stored stream.
int64_t EndOfStoredData(const OpenStart& start, const StoredDataExtent& extent) {
  int64_t end = extent.dataBlocks >= 0
                    ? SaturatingAdd(extent.dataBlocks, SaturatingSub(start.block, start.levelOffset[0]))
                    : std::numeric_limits<int32_t>::max();
  for (int level = extent.startingLevel; level < extent.levelCount; ++level) {
    const int64_t records = extent.levelRecords[level];
    if (records < 0) continue;
    const int64_t mid = extent.midRates[level];
    end = std::min(end, SaturatingSub(SaturatingMul(mid, SaturatingAdd(start.block / mid, records)),
                                      start.levelOffset[0]));
  }
  return end;
}

// Level-0 blocks every stored stream covers, or -1 when none is known.
int64_t CoveredBlocks(const StoredDataExtent& extent) {
  int64_t covered = extent.dataBlocks;
  for (int level = extent.startingLevel; level < extent.levelCount; ++level) {
    if (extent.levelRecords[level] < 0) continue;
    const int64_t blocks = SaturatingMul(extent.levelRecords[level], extent.midRates[level]);
    covered = covered < 0 ? blocks : std::min(covered, blocks);
  }
  return covered;
}

}  // namespace

void CountPartlyFilledRecords(StoredDataExtent& extent) {
  for (int level = extent.startingLevel + 1; level < extent.levelCount; ++level) {
    const int64_t below = extent.levelRecords[level - 1];
    int64_t& records = extent.levelRecords[level];
    if (below < 0 || records < 0) continue;
    const int64_t ratio = extent.midRates[level] / extent.midRates[level - 1];
    if (ratio <= 0) continue;
    const int64_t rest = SaturatingSub(below, SaturatingMul(records, ratio));
    if (rest > 0 && rest < ratio) ++records;
  }
}

bool CheckAndRepairEventList(Events::CKVEventHelper& events, const StoredDataExtent& extent) {
  Events::CKVEventHelper::EventList& list = events.Events();
  const int32_t blockSize = extent.blockSize;
  std::optional<OpenStart> open;

  for (size_t i = 0; i < list.size(); ++i) {
    CEventEntry& event = *list[i];
    if (event.type() == Events::kStartEvent) {
      open = RememberStart(event, i, extent, blockSize);
      continue;
    }
    if (event.type() != Events::kStopEvent) continue;
    if (!open) throw FileCorruptException("Missing start event");

    const std::optional<int64_t> last = LastUsableBlock(*open, event.position(), extent);
    if (!last) {
      open.reset();
      continue;
    }
    const int level = extent.startingLevel;
    const int64_t mid = extent.midRates[level];
    // A damaged start (a negative stored offset at a level of a huge rate) makes the
    // products saturate; the sums hold there too instead of wrapping.
    const int64_t moved =
        SaturatingAdd(SaturatingMul(open->levelBlock[level], mid),
                      SaturatingSub(SaturatingAdd(*last, 1), SaturatingMul(open->levelOffset[level], mid)));
    event.setPosition(RecordPosition{ClampToBlock(moved), 0});
    // A region left without any stored sample is dropped with its start; what
    // follows the cut lies beyond the stored data as well.
    const bool empty = event.position().calculatePosition(blockSize) <= open->position;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(empty ? open->index : i + 1), list.end());
    open.reset();
    break;
  }

  if (open) {
    const int64_t end = EndOfStoredData(*open, extent);
    Events::EventPtr stop =
        Synthesize(events, Events::kStopEvent, kSynthesizedStopText, ClampToBlock(end), extent.levelCount);
    if (stop->position().calculatePosition(blockSize) > open->position) {
      list.push_back(std::move(stop));
    } else {
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(open->index), list.end());
    }
  }

  const bool hasStop = std::any_of(list.begin(), list.end(),
                                   [](const auto& event) { return event->type() == Events::kStopEvent; });
  if (!hasStop) {
    const int64_t covered = std::max<int64_t>(CoveredBlocks(extent), 0);
    list.push_back(Synthesize(events, Events::kStartEvent, kSynthesizedStartText, 0, extent.levelCount));
    list.push_back(
        Synthesize(events, Events::kStopEvent, kSynthesizedStopText, ClampToBlock(covered), extent.levelCount));
  }
  // Events of other kinds may follow the last stop; what matters is that no
  // start is left open.
  const auto lastRegionEvent = std::find_if(list.rbegin(), list.rend(), [](const auto& event) {
    return event->type() == Events::kStartEvent || event->type() == Events::kStopEvent;
  });
  return lastRegionEvent != list.rend() && (*lastRegionEvent)->type() == Events::kStopEvent;
}

}  // namespace Korvane::DataReader
