// Stored blocks of notice, voice, module and alarm events.
#include "events/CBlockEvents.h"

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "events/EventRecordReader.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader::Events {
namespace {

inline constexpr char kNoticeTag[] = "NoticS";
inline constexpr char kVoiceTag[] = "VoiceS";
inline constexpr char kModuleTag[] = "ModulS";
inline constexpr char kAlarmTag[] = "AlarmS";

// Framed text block: 0x86 tag, int32 unused, text, 0x87 tag.
std::string ReadTextBlock(CStream& stream, const char* tag, bool oldFormat) {
  stream.GenCheckFore64(tag);
  ReadInt32(stream);
  std::string text = ReadEventText(stream, oldFormat);
  stream.GenCheckBack64(tag);
  return text;
}

}  // namespace

void CNoticeEvent::ReadFromStream(CStream* stream) {
  CEventEntry::ReadFromStream(stream);
  noticeText_ = ReadTextBlock(*stream, kNoticeTag, oldFormat());
}

void CNoticeEvent::GetEventtext(char* out, int size) const {
  CopyStr(out, noticeText_.empty() ? "Text event" : ("Notice - " + noticeText_).c_str(), size);
}

// Voice block: 0x86 "VoiceS", int32 unused, int32 length L, L bytes of sound, 0x87 "VoiceS".
void CVoiceEvent::ReadFromStream(CStream* stream) {
  CEventEntry::ReadFromStream(stream);
  stream->GenCheckFore64(kVoiceTag);
  ReadInt32(*stream);
  const int32_t length = ReadInt32(*stream);
  if (length < 0) throw FileCorruptException("voice block length");
  SkipBytes(*stream, length);
  stream->GenCheckBack64(kVoiceTag);
}

void CModuleEvent::ReadFromStream(CStream* stream) {
  CEventEntry::ReadFromStream(stream);
  moduleText_ = ReadTextBlock(*stream, kModuleTag, oldFormat());
}

void CModuleEvent::GetEventtext(char* out, int size) const {
  CopyStr(out, moduleText_.empty() ? "Module action" : moduleText_.c_str(), size);
}

// Alarm block: 0x86 "AlarmS", int32 unused, uint8 kept, text, 0x87 "AlarmS".
void CAlarmEvent::ReadFromStream(CStream* stream) {
  CEventEntry::ReadFromStream(stream);
  stream->GenCheckFore64(kAlarmTag);
  ReadInt32(*stream);
  alarmByte_ = ReadUInt8(*stream);
  alarmText_ = ReadEventText(*stream, oldFormat());
  stream->GenCheckBack64(kAlarmTag);
}

}  // namespace Korvane::DataReader::Events
