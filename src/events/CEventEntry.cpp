// The common event record and the default display text.
#include "events/CEventEntry.h"

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "events/EventRecordReader.h"

namespace Korvane::DataReader::Events {
namespace {

// Record versions from which the common part carries each optional field.
constexpr int32_t kTextSinceVersion = 2;
constexpr int32_t kLevelOffsetsSinceVersion = 3;
constexpr int32_t kSecondCodeSinceVersion = 4;

const char* FixedText(int32_t type) {
  switch (type) {
    case kStartEvent: return "storing started";
    case kStopEvent: return "storing stopped";
    case kTrigEvent: return "data trigger event";
    case kVStartEvent: return "Video storing STARTED";
    case kVStopEvent: return "Video storing STOPPED";
    case kKeyboardEvent: return "Keyboard event";
    case kVoiceEvent: return "Voice event";
    default: return "";
  }
}

}  // namespace

CEventEntry::~CEventEntry() = default;

// Common record: 0x86 "EventS", int32 record version, int32 block, int32 offset,
// int32 unused, [text], [int32 count + count int32 level offsets], [int32 second
// code], 0x87 "EventS".
void CEventEntry::ReadFromStream(EventRecordReader& reader) {
  reader.FindRecordStart(kEventRecordTag);
  recordVersion_ = reader.ReadInt32();
  position_.block = reader.ReadInt32();
  position_.offset = reader.ReadInt32();
  reader.ReadInt32();
  if (recordVersion_ >= kTextSinceVersion) reader.ReadEventText(text_, oldFormat_);
  if (recordVersion_ >= kLevelOffsetsSinceVersion) {
    const int32_t count = reader.ReadInt32();
    if (count < 0 || int64_t{count} * 4 > reader.RemainingBytes()) {
      throw FileCorruptException("event level offset count");
    }
    int32_t* offsets = levelOffsets_.Place(reader.Storage(), static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) offsets[i] = reader.ReadInt32();
  }
  if (recordVersion_ >= kSecondCodeSinceVersion) secondCode_ = reader.ReadInt32();
  reader.FindRecordEnd(kEventRecordTag);
}

void CEventEntry::GetEventtext(char* out, int size) const { CopyStr(out, DefaultDisplayText().c_str(), size); }

std::string CEventEntry::DefaultDisplayText() const {
  std::string display = FixedText(type_);
  if (!text_.empty()) {
    display += "; ";
    display += text_.view();
  }
  return display;
}

}  // namespace Korvane::DataReader::Events
