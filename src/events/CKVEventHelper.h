// CKVEventHelper: the event list of an open file. It reads the event stream once
// at open, owns the events until Clear, lists them for the host, and derives the
// recorded regions (start to stop) that the data load engine maps time onto.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "KVDataReaderLib.h"
#include "events/CEventEntry.h"
#include "events/EventArena.h"
#include "events/KVStartStopEvent.h"

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader::Events {

using MultiStream::CStream;

class CKVEventHelper {
 public:
  // Events read from the stream live in the owner's arena: an event taken out of
  // the list must not outlive its owner.
  using EventList = std::vector<EventPtr>;

  CKVEventHelper() = default;
  virtual ~CKVEventHelper();

  CKVEventHelper(const CKVEventHelper&) = delete;
  CKVEventHelper& operator=(const CKVEventHelper&) = delete;

  // Files of version 7099 and older store event texts as 8-bit characters.
  void SetOldFormat(bool oldFormat) noexcept { oldFormat_ = oldFormat; }
  bool OldFormat() const noexcept { return oldFormat_; }

  // Reads the whole event stream, appending its events in stored order. Events read
  // before a corrupt record stay in the list. The stream is read in chunks of
  // `windowBytes` (tests pass small ones to put chunk ends inside records).
  static constexpr int32_t kReadWindowBytes = 1 << 16;
  void ReadFromStream(CStream* stream, int32_t windowBytes = kReadWindowBytes);

  // A new event of the kind the type code names, or FileCorruptException for a code
  // no kind has.
  EventPtr CreateEventFromType(int type) const;

  // The measurement properties the regions are computed with: the block size, the
  // sample rate and the six reduced-level rates (entry 0 the block size, entries 1
  // to 5 the IB rate of each level).
  void SetBlockSize(int32_t blockSize) noexcept { blockSize_ = blockSize; }
  void SetSampleRate(double sampleRate) noexcept { sampleRate_ = sampleRate; }
  void SetIBRates(const std::array<int32_t, kReducedLevelCount>& rates) noexcept { ibRates_ = rates; }
  int32_t BlockSize() const noexcept { return blockSize_; }
  double SampleRate() const noexcept { return sampleRate_; }

  // The start-store offset in days, kept here for the reader.
  void SetStartStoreOffset(double days) noexcept { startStoreOffset_ = days; }
  double StartStoreOffset() const noexcept { return startStoreOffset_; }

  // Part of the open sequence; the regions are derived on demand.
  void Initiate() noexcept {}

  // Deletes every event.
  void Clear() noexcept {
    events_.clear();
    arena_.Release();
    storage_.Release();
    DropCounts();
  }

  // The events in stored order; the region repair edits this list in place.
  EventList& Events() noexcept {
    DropCounts();
    return events_;
  }
  const EventList& Events() const noexcept { return events_; }

  // Number of events the public list shows (every kind the list can hold). The
  // counts are taken in one pass on first use and kept until the events change.
  int GetEventListCnt() const noexcept;
  // Fills GetEventListCnt() records: type, time in seconds, display text.
  void GetEventList(KVEvent* out) const;
  // The record of the listed event at `position` (InvalidIndexException outside 0
  // to GetEventListCnt() - 1). The listed events are indexed on first use, so
  // reading every position costs one pass, not one per position.
  void GetEventListItem(int position, KVEvent* out) const;

  // Number of recorded regions: one per stop event.
  int GetStartStopEventListCnt() const noexcept;
  // Fills GetStartStopEventListCnt() regions, in list order.
  void GetStartStopEventList(KVStartStopEvent* out) const;

  // Position of the first start event (the last event is not considered), or -1.
  int64_t GetStartEvent() const noexcept;
  // Position of the last stop event, or -1.
  int64_t GetStopEvent() const noexcept;

  int64_t calculateEventPosition(const RecordPosition& position) const noexcept {
    return position.calculatePosition(blockSize_);
  }
  int64_t calculateEventPosition(const CEventEntry& event) const noexcept {
    return calculateEventPosition(event.position());
  }

 private:
  bool oldFormat_ = false;
  int32_t blockSize_ = 0;
  double sampleRate_ = 0;
  double startStoreOffset_ = 0;
  std::array<int32_t, kReducedLevelCount> ibRates_{};
  // The events read and their texts and level offsets; declared before the list,
  // so that the events are destroyed first.
  EventArena arena_;
  EventArena storage_;
  EventList events_;
  // The listed events in list order, built on first use and dropped when the
  // events change.
  mutable std::vector<const CEventEntry*> listed_;
  mutable bool listedBuilt_ = false;
  // The listed and the stop events, counted on first use.
  mutable int listedCount_ = 0;
  mutable int stopCount_ = 0;
  mutable bool counted_ = false;

  void DropCounts() noexcept {
    listedBuilt_ = false;
    counted_ = false;
  }
  void CountEvents() const noexcept;
  // CreateEventFromType, in the arena.
  EventPtr PlaceEventOfType(int type);
  void FillEvent(const CEventEntry& event, KVEvent* out) const;
};

}  // namespace Korvane::DataReader::Events
