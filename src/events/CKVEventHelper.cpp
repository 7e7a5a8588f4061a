// Reading the event stream, the public event list and the recorded regions.
#include "events/CKVEventHelper.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <type_traits>

#include "common/DataReaderLibException.h"
#include "events/CBlockEvents.h"
#include "events/CTrigInfoEvent.h"
#include "events/EventRecordReader.h"

namespace Korvane::DataReader::Events {
namespace {

// Event stream: int32 stream version V. V = 1: int32 count, then count times an
// int32 type code and its record. V >= 2: type code and record pairs until the
// type code -1 or until fewer than 5 bytes remain.
constexpr int32_t kCountedStreamVersion = 1;
constexpr int32_t kEndOfEvents = -1;
constexpr int64_t kTypeCodeBytes = 4;
// A type code, the common record's two framings (marker and tag) and its four
// int32 fields: the fewest bytes an event takes.
constexpr int64_t kSmallestRecordBytes = kTypeCodeBytes + 2 * (1 + MultiStream::kRecordTagBytes) + 4 * 4;
constexpr int kEventTextRoom = sizeof(KVEvent::event_text);

bool IsListedType(int32_t type) {
  switch (type) {
    case kStartEvent: case kStopEvent: case kTrigEvent: case kVStartEvent: case kVStopEvent:
    case kKeyboardEvent: case kNoticeEvent: case kVoiceEvent: case kModuleEvent: case kAlarmEvent:
    case kCursorInfoEvent: case kAlarmLevelEvent:
      return true;
    default:
      return false;
  }
}

int64_t CheckedMultiply(int64_t a, int64_t b) {
  int64_t product;
  if (__builtin_mul_overflow(a, b, &product)) throw FileCorruptException("reduced level rates overflow");
  return product;
}

int64_t CheckedAdd(int64_t a, int64_t b) {
  int64_t sum;
  if (__builtin_add_overflow(a, b, &sum)) throw FileCorruptException("event position overflow");
  return sum;
}

// Full-rate samples per reduced value of each level (abs) and level-0 blocks per
// reduced value (mid), from the block size and the IB rates of levels 1 to 5.
struct LevelDivisors {
  int64_t mid[kReducedLevelCount];
  int64_t abs[kReducedLevelCount];
};

// A block's quotient and remainder by the level-0 blocks per value of every level
// (truncating, as block / mid does). Blocks are 32-bit: a block that is not
// negative is divided in 32 bits, and by nothing where the divisor is larger.
struct LevelBlocks {
  int64_t quotient[kReducedLevelCount];
  int64_t remainder[kReducedLevelCount];

  void Of(int32_t block, const LevelDivisors& divisors) {
    for (int k = 0; k < kReducedLevelCount; ++k) {
      const int64_t mid = divisors.mid[k];
      if (block >= 0 && mid > block) {
        quotient[k] = 0;
      } else if (block >= 0) {
        quotient[k] = static_cast<uint32_t>(block) / static_cast<uint32_t>(mid);
      } else {
        quotient[k] = block / mid;
      }
      remainder[k] = block - quotient[k] * mid;
    }
  }
};

LevelDivisors ComputeLevelDivisors(int32_t blockSize, const std::array<int32_t, kReducedLevelCount>& rates) {
  if (blockSize <= 0) throw FileCorruptException("block size");
  LevelDivisors divisors{};
  divisors.mid[0] = 1;
  for (int level = 1; level < kReducedLevelCount; ++level) {
    if (rates[level] <= 0) throw FileCorruptException("reduced level rate");
    divisors.mid[level] = CheckedMultiply(divisors.mid[level - 1], rates[level]);
  }
  for (int level = 0; level < kReducedLevelCount; ++level) {
    divisors.abs[level] = CheckedMultiply(blockSize, divisors.mid[level]);
  }
  return divisors;
}

}  // namespace

CKVEventHelper::~CKVEventHelper() = default;

void CKVEventHelper::ReadFromStream(CStream* source, int32_t windowBytes) {
  listedBuilt_ = false;
  if (!counted_) CountEvents();
  EventRecordReader reader(*source, windowBytes, storage_);
  const int32_t version = reader.ReadInt32();
  if (version <= 0) throw FileCorruptException("event stream version");
  // Every record takes at least kSmallestRecordBytes of the stream, so this is
  // room for as many events as the stream can hold, and no more.
  auto reserveFor = [&](int64_t records) {
    const int64_t room = std::clamp<int64_t>(records, 0, reader.RemainingBytes() / kSmallestRecordBytes);
    events_.reserve(events_.size() + static_cast<size_t>(room));
  };
  auto readEvent = [&](int32_t type) {
    EventPtr event = PlaceEventOfType(type);
    event->ReadFromStream(reader);
    listedCount_ += IsListedType(type) ? 1 : 0;
    stopCount_ += type == kStopEvent ? 1 : 0;
    events_.push_back(std::move(event));
  };
  if (version == kCountedStreamVersion) {
    const int32_t count = reader.ReadInt32();
    reserveFor(count);
    for (int32_t i = 0; i < count; ++i) readEvent(reader.ReadInt32());
    return;
  }
  reserveFor(INT64_MAX);
  while (reader.Position() < reader.Size() - kTypeCodeBytes) {
    const int32_t type = reader.ReadInt32();
    if (type == kEndOfEvents) break;
    readEvent(type);
  }
}

namespace {

// Makes the event kind that `type` names with `make`, which is given a tag of the
// kind's type.
template <class Make>
EventPtr MakeEventOfType(int type, Make&& make) {
  switch (type) {
    case kStartEvent: return make(std::type_identity<CStartEvent>{});
    case kStopEvent: return make(std::type_identity<CStopEvent>{});
    case kTrigEvent: return make(std::type_identity<CTrigEvent>{});
    case kVStartEvent: return make(std::type_identity<CVStartEvent>{});
    case kVStopEvent: return make(std::type_identity<CVStopEvent>{});
    case kKeyboardEvent: return make(std::type_identity<CKeyboardEvent>{});
    case kNoticeEvent: return make(std::type_identity<CNoticeEvent>{});
    case kVoiceEvent: return make(std::type_identity<CVoiceEvent>{});
    case kModuleEvent: return make(std::type_identity<CModuleEvent>{});
    case kAlarmEvent: return make(std::type_identity<CAlarmEvent>{});
    case kCursorInfoEvent: return make(std::type_identity<CCursorInfoEvent>{});
    case kAlarmLevelEvent: return make(std::type_identity<CAlarmLevelEvent>{});
    default: throw FileCorruptException("unknown event type");
  }
}

}  // namespace

EventPtr CKVEventHelper::CreateEventFromType(int type) const {
  return MakeEventOfType(type, [&]<class Kind>(std::type_identity<Kind>) { return EventPtr(new Kind(oldFormat_)); });
}

EventPtr CKVEventHelper::PlaceEventOfType(int type) {
  return MakeEventOfType(type, [&]<class Kind>(std::type_identity<Kind>) {
    EventPtr event(new (arena_.Allocate(sizeof(Kind))) Kind(oldFormat_));
    event->inArena_ = true;
    return event;
  });
}

void CKVEventHelper::CountEvents() const noexcept {
  listedCount_ = 0;
  stopCount_ = 0;
  for (const auto& event : events_) {
    listedCount_ += IsListedType(event->type()) ? 1 : 0;
    stopCount_ += event->type() == kStopEvent ? 1 : 0;
  }
  counted_ = true;
}

int CKVEventHelper::GetEventListCnt() const noexcept {
  if (!counted_) CountEvents();
  return listedCount_;
}

void CKVEventHelper::FillEvent(const CEventEntry& event, KVEvent* out) const {
  out->event_type = event.type();
  out->time_stamp = static_cast<double>(calculateEventPosition(event)) / sampleRate_;
  event.GetEventtext(out->event_text, kEventTextRoom);
}

void CKVEventHelper::GetEventList(KVEvent* out) const {
  for (const auto& event : events_) {
    if (IsListedType(event->type())) FillEvent(*event, out++);
  }
}

void CKVEventHelper::GetEventListItem(int position, KVEvent* out) const {
  if (!listedBuilt_) {
    listed_.clear();
    for (const auto& event : events_) {
      if (IsListedType(event->type())) listed_.push_back(event.get());
    }
    listedBuilt_ = true;
  }
  if (position < 0 || static_cast<size_t>(position) >= listed_.size()) throw InvalidIndexException();
  FillEvent(*listed_[static_cast<size_t>(position)], out);
}

int CKVEventHelper::GetStartStopEventListCnt() const noexcept {
  if (!counted_) CountEvents();
  return stopCount_;
}

// Walks the events once. A start is remembered with its level offsets, and the
// blocks between the previous region's end and this start are counted as a gap at
// every level; a stop completes a region from the remembered start. So a stop
// without a new start repeats the previous start, a second start replaces the
// first, and a start after the last stop gives no region. A region ends at its
// end index: a stop inside a block leaves that partly filled block (and the
// value of each level holding it) in the stored streams, so the gap to the next
// region counts from behind it.
void CKVEventHelper::GetStartStopEventList(KVStartStopEvent* out) const {
  if (GetStartStopEventListCnt() == 0) return;
  const LevelDivisors divisors = ComputeLevelDivisors(blockSize_, ibRates_);
  RecordPosition start;
  LevelBlocks startBlocks;  // of the remembered start
  startBlocks.Of(start.block, divisors);
  int64_t gaps[kReducedLevelCount] = {};
  int64_t previousEnd[kReducedLevelCount] = {};
  KVStartStopEvent region{};
  LevelBlocks stopBlocks;
  for (const auto& event : events_) {
    const int32_t type = event->type();
    if (type == kStartEvent) {
      start = event->position();
      startBlocks.Of(start.block, divisors);
      const LevelOffsets& offsets = event->levelOffsets();
      for (int k = 0; k < kReducedLevelCount; ++k) {
        region.event_first_block[k] = static_cast<size_t>(k) < offsets.size() ? offsets[k] : 0;
        const int64_t gap = startBlocks.quotient[k] - previousEnd[k];
        if (gap > 0) gaps[k] = CheckedAdd(gaps[k], gap);
      }
    } else if (type == kStopEvent) {
      const RecordPosition& position = event->position();
      region.start_pos = start.calculatePosition(blockSize_);
      region.stop_pos = position.calculatePosition(blockSize_);
      region.start_block = start.block;
      region.start_offset = start.offset;
      region.stop_block = position.block;
      region.stop_offset = position.offset;
      // A position at a block and an offset within it, both not negative, lies in
      // the level value that holds its block: the quotients of the blocks serve.
      const bool startWithinBlock = start.block >= 0 && start.offset >= 0 && start.offset < blockSize_;
      const bool stopWithinBlock = position.block >= 0 && position.offset >= 0 && position.offset < blockSize_;
      if (stopWithinBlock) stopBlocks.Of(position.block, divisors);
      for (int k = 0; k < kReducedLevelCount; ++k) {
        const int64_t abs = divisors.abs[k];
        region.first_index[k] = startWithinBlock ? startBlocks.quotient[k] : region.start_pos / abs;
        // (stop - 1 + abs) / abs: the stop rounded up to whole values of the level.
        const int64_t roundedUp = CheckedAdd(region.stop_pos - 1, abs);
        region.end_index[k] = stopWithinBlock ? stopBlocks.quotient[k] +
                                                    (stopBlocks.remainder[k] > 0 || position.offset > 0 ? 1 : 0)
                                              : roundedUp / abs;
        region.stored_block_base[k] =
            CheckedMultiply(divisors.mid[k], CheckedAdd(startBlocks.quotient[k], -gaps[k]));
        previousEnd[k] = region.end_index[k];
      }
      *out++ = region;
    }
  }
}

int64_t CKVEventHelper::GetStartEvent() const noexcept {
  if (events_.size() < 2) return -1;
  for (size_t i = 0; i + 1 < events_.size(); ++i) {
    if (events_[i]->type() == kStartEvent) return calculateEventPosition(*events_[i]);
  }
  return -1;
}

int64_t CKVEventHelper::GetStopEvent() const noexcept {
  for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
    if ((*it)->type() == kStopEvent) return calculateEventPosition(**it);
  }
  return -1;
}

}  // namespace Korvane::DataReader::Events
