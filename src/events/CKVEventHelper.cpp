// Reading the event stream, the public event list and the recorded regions.
#include "events/CKVEventHelper.h"

#include "common/DataReaderLibException.h"
#include "events/CBlockEvents.h"
#include "events/CTrigInfoEvent.h"
#include "events/EventRecordReader.h"
#include "multistream/CBufferedStream.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader::Events {
namespace {

// Event stream: int32 stream version V. V = 1: int32 count, then count times an
// int32 type code and its record. V >= 2: type code and record pairs until the
// type code -1 or until fewer than 5 bytes remain.
constexpr int32_t kCountedStreamVersion = 1;
constexpr int32_t kEndOfEvents = -1;
constexpr int64_t kTypeCodeBytes = 4;
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

void CKVEventHelper::ReadFromStream(CStream* source) {
  listedBuilt_ = false;
  // Records are taken apart a few bytes at a time: read them through a window.
  MultiStream::CBufferedStream buffered(*source);
  CStream* stream = &buffered;
  const int32_t version = ReadInt32(*stream);
  if (version <= 0) throw FileCorruptException("event stream version");
  auto readEvent = [&](int32_t type) {
    std::unique_ptr<CEventEntry> event = CreateEventFromType(type);
    event->ReadFromStream(stream);
    events_.push_back(std::move(event));
  };
  if (version == kCountedStreamVersion) {
    const int32_t count = ReadInt32(*stream);
    for (int32_t i = 0; i < count; ++i) readEvent(ReadInt32(*stream));
    return;
  }
  while (stream->Position() < stream->Size() - kTypeCodeBytes) {
    const int32_t type = ReadInt32(*stream);
    if (type == kEndOfEvents) break;
    readEvent(type);
  }
}

std::unique_ptr<CEventEntry> CKVEventHelper::CreateEventFromType(int type) const {
  switch (type) {
    case kStartEvent: return std::make_unique<CStartEvent>(oldFormat_);
    case kStopEvent: return std::make_unique<CStopEvent>(oldFormat_);
    case kTrigEvent: return std::make_unique<CTrigEvent>(oldFormat_);
    case kVStartEvent: return std::make_unique<CVStartEvent>(oldFormat_);
    case kVStopEvent: return std::make_unique<CVStopEvent>(oldFormat_);
    case kKeyboardEvent: return std::make_unique<CKeyboardEvent>(oldFormat_);
    case kNoticeEvent: return std::make_unique<CNoticeEvent>(oldFormat_);
    case kVoiceEvent: return std::make_unique<CVoiceEvent>(oldFormat_);
    case kModuleEvent: return std::make_unique<CModuleEvent>(oldFormat_);
    case kAlarmEvent: return std::make_unique<CAlarmEvent>(oldFormat_);
    case kCursorInfoEvent: return std::make_unique<CCursorInfoEvent>(oldFormat_);
    case kAlarmLevelEvent: return std::make_unique<CAlarmLevelEvent>(oldFormat_);
    default: throw FileCorruptException("unknown event type");
  }
}

int CKVEventHelper::GetEventListCnt() const noexcept {
  int count = 0;
  for (const auto& event : events_) count += IsListedType(event->type()) ? 1 : 0;
  return count;
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
  int count = 0;
  for (const auto& event : events_) count += event->type() == kStopEvent ? 1 : 0;
  return count;
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
  int64_t gaps[kReducedLevelCount] = {};
  int64_t previousEnd[kReducedLevelCount] = {};
  KVStartStopEvent region{};
  for (const auto& event : events_) {
    const RecordPosition& position = event->position();
    if (event->type() == kStartEvent) {
      start = position;
      const std::vector<int32_t>& offsets = event->levelOffsets();
      for (int k = 0; k < kReducedLevelCount; ++k) {
        region.event_first_block[k] = static_cast<size_t>(k) < offsets.size() ? offsets[k] : 0;
        const int64_t gap = start.block / divisors.mid[k] - previousEnd[k];
        if (gap > 0) gaps[k] = CheckedAdd(gaps[k], gap);
      }
    } else if (event->type() == kStopEvent) {
      region.start_pos = start.calculatePosition(blockSize_);
      region.stop_pos = position.calculatePosition(blockSize_);
      region.start_block = start.block;
      region.start_offset = start.offset;
      region.stop_block = position.block;
      region.stop_offset = position.offset;
      for (int k = 0; k < kReducedLevelCount; ++k) {
        const int64_t abs = divisors.abs[k];
        const int64_t mid = divisors.mid[k];
        region.first_index[k] = region.start_pos / abs;
        region.end_index[k] = CheckedAdd(region.stop_pos - 1, abs) / abs;
        region.stored_block_base[k] = CheckedMultiply(mid, CheckedAdd(start.block / mid, -gaps[k]));
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
