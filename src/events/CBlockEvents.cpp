// Stored blocks of notice, voice, module and alarm events.
#include "events/CBlockEvents.h"

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "events/EventRecordReader.h"

namespace Korvane::DataReader::Events {
namespace {

inline constexpr char kNoticeTag[] = "NoticS";
inline constexpr char kVoiceTag[] = "VoiceS";
inline constexpr char kModuleTag[] = "ModulS";
inline constexpr char kAlarmTag[] = "AlarmS";

// Framed text block: 0x86 tag, int32 unused, text, 0x87 tag.
void ReadTextBlock(EventRecordReader& reader, const char* tag, bool oldFormat, EventText& text) {
  reader.FindRecordStart(tag);
  reader.ReadInt32();
  reader.ReadEventText(text, oldFormat);
  reader.FindRecordEnd(tag);
}

}  // namespace

void CNoticeEvent::ReadFromStream(EventRecordReader& reader) {
  CEventEntry::ReadFromStream(reader);
  ReadTextBlock(reader, kNoticeTag, oldFormat(), noticeText_);
}

void CNoticeEvent::GetEventtext(char* out, int size) const {
  CopyStr(out, noticeText_.empty() ? "Text event" : ("Notice - " + noticeText_.str()).c_str(), size);
}

// Voice block: 0x86 "VoiceS", int32 unused, int32 length L, L bytes of sound, 0x87 "VoiceS".
void CVoiceEvent::ReadFromStream(EventRecordReader& reader) {
  CEventEntry::ReadFromStream(reader);
  reader.FindRecordStart(kVoiceTag);
  reader.ReadInt32();
  const int32_t length = reader.ReadInt32();
  if (length < 0) throw FileCorruptException("voice block length");
  reader.SkipBytes(length);
  reader.FindRecordEnd(kVoiceTag);
}

void CModuleEvent::ReadFromStream(EventRecordReader& reader) {
  CEventEntry::ReadFromStream(reader);
  ReadTextBlock(reader, kModuleTag, oldFormat(), moduleText_);
}

void CModuleEvent::GetEventtext(char* out, int size) const {
  CopyStr(out, moduleText_.empty() ? "Module action" : moduleText_.str().c_str(), size);
}

// Alarm block: 0x86 "AlarmS", int32 unused, uint8 kept, text, 0x87 "AlarmS".
void CAlarmEvent::ReadFromStream(EventRecordReader& reader) {
  CEventEntry::ReadFromStream(reader);
  reader.FindRecordStart(kAlarmTag);
  reader.ReadInt32();
  alarmByte_ = reader.ReadUInt8();
  reader.ReadEventText(alarmText_, oldFormat());
  reader.FindRecordEnd(kAlarmTag);
}

}  // namespace Korvane::DataReader::Events
