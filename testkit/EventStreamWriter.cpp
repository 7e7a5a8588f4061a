#include "testkit/EventStreamWriter.h"

#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

constexpr uint8_t kStartMarker = 0x86;
constexpr uint8_t kEndMarker = 0x87;
constexpr int32_t kEndOfEvents = -1;

void Marker(ByteWriter& out, uint8_t marker, const char* tag) { out.U8(marker).Text(tag); }

// int32 count, then 8-bit characters (old format) or UTF-16LE code units.
void StoredText(ByteWriter& out, const std::string& text, bool oldFormat) {
  out.I32(static_cast<int32_t>(text.size()));
  for (char c : text) {
    out.U8(static_cast<uint8_t>(c));
    if (!oldFormat) out.U8(0);
  }
}

void IndexList(ByteWriter& out, const TriggerInfo& info) {
  const bool shortForm = !info.forceLongForm && info.indexList.size() <= 7;
  if (shortForm) {
    out.U8(static_cast<uint8_t>(info.indexList.size()));
    for (uint32_t value : info.indexList) out.U16(static_cast<uint16_t>(value));
  } else {
    out.U8(8).U8(static_cast<uint8_t>(info.indexList.size()));
    for (uint32_t value : info.indexList) out.U32(value);
  }
}

bool IsTriggerType(int32_t type) { return type == 1 || type == 2 || type == 3 || type == 11; }

}  // namespace

EventStreamWriter& EventStreamWriter::Add(const EventRecord& record) {
  records_.push_back(record);
  return *this;
}

EventStreamWriter& EventStreamWriter::AddStart(int32_t block, int32_t offset, std::vector<int32_t> levelOffsets) {
  EventRecord record;
  record.type = 1;
  record.block = block;
  record.offset = offset;
  record.levelOffsets = std::move(levelOffsets);
  return Add(record);
}

EventStreamWriter& EventStreamWriter::AddStop(int32_t block, int32_t offset) {
  EventRecord record;
  record.type = 2;
  record.block = block;
  record.offset = offset;
  return Add(record);
}

std::vector<uint8_t> EventStreamWriter::RecordBytes(const EventRecord& r) const {
  ByteWriter out;
  for (size_t i = 0; i < r.junkBeforeRecord; ++i) out.U8(static_cast<uint8_t>(0x41 + i % 26));
  Marker(out, kStartMarker, "EventS");
  out.I32(r.recordVersion).I32(r.block).I32(r.offset).I32(0);
  if (r.recordVersion >= 2) StoredText(out, r.text, oldFormat_);
  if (r.recordVersion >= 3) {
    out.I32(static_cast<int32_t>(r.levelOffsets.size()));
    for (int32_t value : r.levelOffsets) out.I32(value);
  }
  if (r.recordVersion >= 4) out.I32(r.secondCode);
  Marker(out, kEndMarker, "EventS");

  const int32_t infoSince = r.type == 2 ? 6 : 5;
  if (IsTriggerType(r.type) && r.recordVersion >= infoSince) {
    out.U8(r.hasTriggerInfo ? 1 : 0);
    if (r.hasTriggerInfo) {
      out.I32(7).U8(3);
      IndexList(out, r.triggerInfo);
      out.I32(1).I32(2).I64(3).I64(4).I32(5).I64(6).I32(7);
    }
  }
  switch (r.type) {
    case 21:
      Marker(out, kStartMarker, "NoticS");
      out.I32(0);
      StoredText(out, r.blockText, oldFormat_);
      Marker(out, kEndMarker, "NoticS");
      break;
    case 22:
      Marker(out, kStartMarker, "VoiceS");
      out.I32(0).I32(r.voiceLength);
      for (int32_t i = 0; i < r.voiceLength; ++i) out.U8(static_cast<uint8_t>(i * 7));
      Marker(out, kEndMarker, "VoiceS");
      break;
    case 24:
      Marker(out, kStartMarker, "ModulS");
      out.I32(0);
      StoredText(out, r.blockText, oldFormat_);
      Marker(out, kEndMarker, "ModulS");
      break;
    case 25:
    case 27:
      Marker(out, kStartMarker, "AlarmS");
      out.I32(0).U8(r.alarmByte);
      StoredText(out, r.blockText, oldFormat_);
      Marker(out, kEndMarker, "AlarmS");
      break;
    default:
      break;
  }
  return out.Take();
}

std::vector<uint8_t> EventStreamWriter::Finish(bool terminate) const {
  ByteWriter out;
  out.I32(streamVersion_);
  if (streamVersion_ == 1) out.I32(static_cast<int32_t>(records_.size()));
  for (const EventRecord& record : records_) {
    out.I32(record.type);
    out.Bytes(RecordBytes(record));
  }
  if (streamVersion_ >= 2 && terminate) out.I32(kEndOfEvents);
  return out.Take();
}

}  // namespace Korvane::DataReader::TestKit
