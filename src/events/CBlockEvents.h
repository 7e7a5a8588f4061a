// The events whose record is followed by a framed block of their own: notice,
// voice, module and alarm events. Each block is framed by 0x86 and 0x87 markers
// with the block's tag; the voice data itself is skipped, not kept.
#pragma once

#include <cstdint>
#include <string>

#include "events/StoredSpan.h"

#include "events/CEventEntry.h"

namespace Korvane::DataReader::Events {

class CNoticeEvent : public CEventEntry {
 public:
  explicit CNoticeEvent(bool oldFormat) : CEventEntry(kNoticeEvent, oldFormat) {}

  void ReadFromStream(EventRecordReader& reader) override;
  // "Notice - " and the notice text, or "Text event" without one.
  void GetEventtext(char* out, int size) const override;

  std::string noticeText() const { return noticeText_.str(); }

 private:
  EventText noticeText_;
};

class CVoiceEvent : public CEventEntry {
 public:
  explicit CVoiceEvent(bool oldFormat) : CEventEntry(kVoiceEvent, oldFormat) {}

  void ReadFromStream(EventRecordReader& reader) override;
};

class CModuleEvent : public CEventEntry {
 public:
  explicit CModuleEvent(bool oldFormat) : CEventEntry(kModuleEvent, oldFormat) {}

  void ReadFromStream(EventRecordReader& reader) override;
  // The module text, or "Module action" without one.
  void GetEventtext(char* out, int size) const override;

  std::string moduleText() const { return moduleText_.str(); }

 private:
  EventText moduleText_;
};

class CAlarmEvent : public CEventEntry {
 public:
  explicit CAlarmEvent(bool oldFormat) : CAlarmEvent(kAlarmEvent, oldFormat) {}

  void ReadFromStream(EventRecordReader& reader) override;

  std::string alarmText() const { return alarmText_.str(); }
  uint8_t alarmByte() const noexcept { return alarmByte_; }

 protected:
  CAlarmEvent(int32_t type, bool oldFormat) : CEventEntry(type, oldFormat) {}

 private:
  EventText alarmText_;
  uint8_t alarmByte_ = 0;
};

class CAlarmLevelEvent : public CAlarmEvent {
 public:
  explicit CAlarmLevelEvent(bool oldFormat) : CAlarmEvent(kAlarmLevelEvent, oldFormat) {}
};

}  // namespace Korvane::DataReader::Events
