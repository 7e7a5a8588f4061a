// CEventEntry: one stored event, and the event kinds that store nothing beyond the
// common record. Events are created by CKVEventHelper while it reads the event
// stream and are owned by its list; each owns its texts and level offsets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "events/StoredSpan.h"
#include "events/RecordPosition.h"

namespace Korvane::DataReader::Events {

class CEventEntry;
class CKVEventHelper;
class EventRecordReader;

// Deletes an event wherever it was made: on the heap, or in the event list owner's
// arena (which then keeps the memory until it clears its list).
struct EventDeleter {
  void operator()(CEventEntry* event) const noexcept;
};
using EventPtr = std::unique_ptr<CEventEntry, EventDeleter>;

// Type codes of the stored events.
enum EventType : int32_t {
  kStartEvent = 1,
  kStopEvent = 2,
  kTrigEvent = 3,
  kVStartEvent = 11,
  kVStopEvent = 12,
  kKeyboardEvent = 20,
  kNoticeEvent = 21,
  kVoiceEvent = 22,
  kModuleEvent = 24,
  kAlarmEvent = 25,
  kCursorInfoEvent = 26,
  kAlarmLevelEvent = 27,
};

// Frame tag of the common event record ("EventS" between 0x86 and 0x87 markers).
inline constexpr char kEventRecordTag[] = "EventS";

class CEventEntry {
 public:
  CEventEntry(int32_t type, bool oldFormat) : type_(type), oldFormat_(oldFormat) {}
  virtual ~CEventEntry();

  CEventEntry(const CEventEntry&) = delete;
  CEventEntry& operator=(const CEventEntry&) = delete;

  // Reads one stored record (the common part and what the kind adds).
  virtual void ReadFromStream(EventRecordReader& reader);

  // Writes the display text into out: at most size - 1 characters, then zeros up to
  // size.
  virtual void GetEventtext(char* out, int size) const;

  int32_t type() const noexcept { return type_; }
  int32_t recordVersion() const noexcept { return recordVersion_; }
  const RecordPosition& position() const noexcept { return position_; }
  // For start events: one stored-record offset per reduced level, in level order.
  const LevelOffsets& levelOffsets() const noexcept { return levelOffsets_; }
  int32_t secondCode() const noexcept { return secondCode_; }
  // The event's own text; empty when the record stores none.
  std::string text() const { return text_.str(); }
  bool oldFormat() const noexcept { return oldFormat_; }

  // For the region repair, which moves stops and synthesizes events.
  void setPosition(const RecordPosition& position) noexcept { position_ = position; }
  void setRecordVersion(int32_t version) noexcept { recordVersion_ = version; }
  void setSecondCode(int32_t code) noexcept { secondCode_ = code; }
  void setLevelOffsets(std::span<const int32_t> offsets) { levelOffsets_.assign(offsets); }
  void setText(std::string_view text) { text_.assign(text); }

 protected:
  // The fixed text of the type, "; " and the event's own text when it has one.
  std::string DefaultDisplayText() const;

 private:
  friend struct EventDeleter;
  friend class CKVEventHelper;

  int32_t type_;
  int32_t recordVersion_ = 0;
  RecordPosition position_;
  int32_t secondCode_ = 0;
  bool oldFormat_;
  bool inArena_ = false;  // placed in an arena: destroyed, not deleted
  LevelOffsets levelOffsets_;
  EventText text_;
};

inline void EventDeleter::operator()(CEventEntry* event) const noexcept {
  if (event == nullptr) return;
  if (event->inArena_) {
    event->~CEventEntry();
  } else {
    delete event;
  }
}

class CVStopEvent : public CEventEntry {
 public:
  explicit CVStopEvent(bool oldFormat) : CEventEntry(kVStopEvent, oldFormat) {}
};

class CKeyboardEvent : public CEventEntry {
 public:
  explicit CKeyboardEvent(bool oldFormat) : CEventEntry(kKeyboardEvent, oldFormat) {}
};

class CCursorInfoEvent : public CEventEntry {
 public:
  explicit CCursorInfoEvent(bool oldFormat) : CEventEntry(kCursorInfoEvent, oldFormat) {}
};

}  // namespace Korvane::DataReader::Events
