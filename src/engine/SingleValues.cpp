// Single values: one value (or one array, or one text) per measurement. Online
// channels find theirs through an 8-byte entry of "SVINFO" at the channel's
// DBOffset (position in "SVDATA2", stored word), offline channels at PosInDBStream
// of their own stream (a stored-flag byte, then the numbers, or a text length and
// the text).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "common/LittleEndian.h"
#include "common/TextUtils.h"
#include "engine/CDataLoadEngine.h"
#include "engine/SampleOutput.h"
#include "engine/StoredReads.h"
#include "events/CKVEventHelper.h"
#include "multistream/CBaseStream.h"
#include "multistream/CStreamContainer.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"
#include "setup/ChannelCodes.h"

namespace Korvane::DataReader {

namespace {

// "SVINFO" entry of an online single-value channel, at the channel's DBOffset.
struct SingleValueInfoLayout {
  static constexpr int64_t kPosition = 0;  // i32 position in "SVDATA2"
  static constexpr int64_t kStored = 4;    // i32: 0 = nothing stored (text: its length)
  static constexpr int64_t kBytes = 8;
};
// Offline single-value stream at PosInDBStream: a stored-flag byte, then the value;
// a text value is an i32 length and the text.
constexpr int64_t kOfflineStoredFlagBytes = 1;
constexpr int64_t kOfflineTextLengthBytes = 4;
// The most characters a header entry's text has.
constexpr int kHeaderEntryTextChars = 255;
// Offline channels whose single value can be read have this status.
constexpr int kOfflineValueStored = 3;

struct SingleValueEntry {
  int64_t position = 0;
  int64_t stored = 0;
};

int SaturatedInt(double value) noexcept {
  if (!(value == value)) return 0;
  return static_cast<int>(std::clamp(value, static_cast<double>(std::numeric_limits<int>::min()),
                                     static_cast<double>(std::numeric_limits<int>::max())));
}

// The online entry of a channel, or none when the file has no "SVINFO".
bool ReadEntry(MultiStream::CBaseStream* info, const CKVChannel& channel, SingleValueEntry& entry) {
  if (info == nullptr || channel.OnlineInfo == nullptr) return false;
  uint8_t bytes[SingleValueInfoLayout::kBytes];
  ReadAt(info, channel.OnlineInfo->DBOffset, bytes, sizeof bytes, "SVINFO");
  entry.position = LoadI32(bytes + SingleValueInfoLayout::kPosition);
  entry.stored = LoadI32(bytes + SingleValueInfoLayout::kStored);
  return true;
}

}  // namespace

int64_t CDataLoadEngine::GetSingleValueCount(const CKVChannel* channel) const {
  if (channel->CalcSingleValue == 1) return 0;
  if (HasOfflineData(channel)) {
    const CKVOfflineInfo& offline = *channel->OfflineInfo;
    MultiStream::CBaseStream* stream = container_ != nullptr ? container_->StreamByCode(offline.DBStreamName) : nullptr;
    if (stream == nullptr) return 0;
    uint8_t stored = 0;
    ReadAt(stream, offline.PosInDBStream, &stored, kOfflineStoredFlagBytes, "PosInDBStream");
    return stored != 0 ? 1 : 0;
  }
  SingleValueEntry entry;
  if (!ReadEntry(streams_[kSingleValueInfoSlot], *channel, entry)) return 0;
  return entry.stored != 0 ? 1 : 0;
}

void CDataLoadEngine::GetSingleValue(const CKVChannel* channel, void* values, double* timeStamp,
                                     ScaleType scaleType) const {
  if (channel->CalcSingleValue == 1) return;
  if (scaleType != ScaleType::Scaled && scaleType != ScaleType::Raw && scaleType != ScaleType::RawEx) return;
  const int64_t bytes = CheckedMul(channel->GetSampleBytes(), channel->GetArraySize(), "sample size");
  if (bytes <= 0) throw FileCorruptException("sample size");
  MultiStream::CBaseStream* stream = nullptr;
  int64_t position = 0;
  if (HasOfflineData(channel)) {
    const CKVOfflineInfo& offline = *channel->OfflineInfo;
    stream = container_->StreamByCode(offline.DBStreamName);
    if (stream == nullptr) throw ChannelNotStored();
    uint8_t stored = 0;
    ReadAt(stream, offline.PosInDBStream, &stored, kOfflineStoredFlagBytes, "PosInDBStream");
    if (stored == 0) throw ChannelNotStored();
    position = CheckedAdd(offline.PosInDBStream, kOfflineStoredFlagBytes, "PosInDBStream");
  } else {
    SingleValueEntry entry;
    if (!ReadEntry(streams_[kSingleValueInfoSlot], *channel, entry) || entry.stored == 0) return;
    stream = streams_[kSingleValueDataSlot];
    if (stream == nullptr) throw FileCorruptException("SVDATA2");
    position = entry.position;
  }
  // The value must lie in its stream before anything is allocated for it.
  if (position < 0 || bytes > stream->Size() - position) throw FileCorruptException("single value");
  std::vector<uint8_t> value(static_cast<size_t>(bytes));
  ReadAt(stream, position, value.data(), bytes, "single value");
  SampleOutput output(*channel, *channel, values, nullptr, false, nullptr, scaleType, setup_->GetSampleRate(),
                      setup_->GetExternalClock());
  output.PutTimed(value.data(), 1, nullptr);
  if (timeStamp != nullptr) *timeStamp = static_cast<double>(events_->GetStopEvent()) / setup_->GetSampleRate();
}

void CDataLoadEngine::GetSingleTextValue(const CKVChannel* channel, char* buffer, int length) const {
  if (HasOfflineData(channel)) {
    const CKVOfflineInfo& offline = *channel->OfflineInfo;
    if (offline.Status != kOfflineValueStored) throw DataReaderLibException(KVError, "Channel value not available");
    MultiStream::CBaseStream* stream = container_->StreamByCode(offline.DBStreamName);
    if (stream == nullptr) throw ChannelNotStored();
    uint8_t stored = 0;
    ReadAt(stream, offline.PosInDBStream, &stored, kOfflineStoredFlagBytes, "PosInDBStream");
    if (stored == 0 || channel->DataType != kTypeText || length <= 0 || buffer == nullptr) return;
    uint8_t word[kOfflineTextLengthBytes];
    const int64_t lengthAt = CheckedAdd(offline.PosInDBStream, kOfflineStoredFlagBytes, "PosInDBStream");
    ReadAt(stream, lengthAt, word, sizeof word, "text length");
    const int64_t n = std::clamp<int64_t>(LoadI32(word), 0, length - 1);
    ReadAt(stream, lengthAt + kOfflineTextLengthBytes, buffer, n, "text value");
    buffer[n] = '\0';
    return;
  }
  if (length <= 0 || buffer == nullptr) return;
  SingleValueEntry entry;
  if (!ReadEntry(streams_[kSingleValueInfoSlot], *channel, entry)) return;
  MultiStream::CBaseStream* data = streams_[kSingleValueDataSlot];
  const int64_t n = std::clamp<int64_t>(entry.stored, 0, length - 1);
  if (n > 0 && data == nullptr) throw FileCorruptException("SVDATA2");
  if (n > 0) ReadAt(data, entry.position, buffer, n, "text value");
  buffer[n] = '\0';
}

void CDataLoadEngine::GetHeaderEntryText(const CKVChannel* channel, char* buffer, int length) const {
  if (buffer == nullptr || length <= 0) return;
  if (channel->ListedAsText) {
    GetSingleTextValue(channel, buffer, length);
    return;
  }
  // The value in its scaled form: doubles, or KVComplex (real part first).
  const int64_t slots = std::max(channel->GetArraySize(), 1);
  std::vector<double> value(static_cast<size_t>(slots) * 2, 0.0);
  GetSingleValue(channel, value.data(), nullptr, ScaleType::Scaled);
  char text[400];
  if (channel->DataType == kTypeInt32) {
    std::snprintf(text, sizeof text, "%i", SaturatedInt(value[0]));
  } else {
    std::snprintf(text, sizeof text, "%f", value[0]);
  }
  CopyStr(buffer, text, std::min(length, kHeaderEntryTextChars));
}

}  // namespace Korvane::DataReader
