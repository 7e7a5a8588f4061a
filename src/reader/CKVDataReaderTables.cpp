// The reduced-data and trigger-data tables: the channel list seen as columns of
// numbers for hosts that pass only numbers and texts. A reduced-data column r is
// statistic r % 4 (maximum, minimum, average, RMS) of channel-list entry r / 4; a
// trigger is a recorded region. Columns are addressed through the channel list
// the reader keeps for the open file, so that a host walking every column by name
// or number does one lookup per call.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "engine/CDataLoadEngine.h"
#include "reader/CKVDataReader.h"
#include "reader/ChannelLists.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {
namespace {

constexpr int32_t kStatistics = 4;
// Column name suffixes, by statistic (the reduced value selector).
constexpr std::array<const char*, kStatistics> kSuffixes = {"_Max", "_Min", "_Ave", "_RMS"};
constexpr size_t kSuffixChars = 4;
constexpr char kSeconds[] = "Seconds";

void RequireOutput(const void* output, int32_t count) {
  if (output == nullptr && count > 0) throw NoMemoryAllocException();
}

// Both unit texts of a column description, each cut to its length.
void CopyUnits(const CKVChannel& channel, char* xUnit, int32_t xLength, char* yUnit, int32_t yLength) {
  KVChannel record;
  channel.GetChannelInfo(&record);
  CopyStr(xUnit, kSeconds, xLength);
  CopyStr(yUnit, record.unit, yLength);
}

}  // namespace

int32_t CKVDataReader::KVGetReducedDataChannelCountF() const { return kStatistics * channelList_.Count(); }

// The name, then the suffix, both within the length: a short buffer gets the name
// and suffix cut together rather than a suffix written past its end.
void CKVDataReader::KVGetReducedDataChannelNameF(int32_t column, char* text, int32_t maxLength) const {
  if (text == nullptr || maxLength <= 0) throw NoMemoryAllocException();
  std::memset(text, 0, static_cast<size_t>(maxLength));
  if (column < 0) throw InvalidIndexException();
  const std::string name = channelList_.NameAt(column / kStatistics) + kSuffixes[static_cast<size_t>(column % kStatistics)];
  CopyStr(text, name.c_str(), maxLength);
}

int32_t CKVDataReader::KVGetReducedDataChannelIndexF(const char* name) const {
  if (name == nullptr) throw NoMemoryAllocException();
  const std::string text(name);
  if (text.size() < kSuffixChars) return -1;
  const std::string suffix = text.substr(text.size() - kSuffixChars);
  for (int32_t statistic = 0; statistic < kStatistics; ++statistic) {
    if (suffix != kSuffixes[static_cast<size_t>(statistic)]) continue;
    const int32_t position = channelList_.PositionOf(text.substr(0, text.size() - kSuffixChars));
    return position < 0 ? -1 : kStatistics * position + statistic;
  }
  return -1;
}

void CKVDataReader::KVGetRecudedDataChannelInfoF(int32_t column, char* xUnit, int32_t xLength, char* yUnit,
                                                 int32_t yLength, double* xStart, int32_t* blocks,
                                                 double* rate) const {
  if (xUnit == nullptr || yUnit == nullptr || xStart == nullptr || blocks == nullptr || rate == nullptr) {
    throw NoMemoryAllocException();
  }
  if (column < 0) throw InvalidIndexException();
  const CKVChannel& channel = channelList_.At(column / kStatistics);
  CopyUnits(channel, xUnit, xLength, yUnit, yLength);
  int count = 0;
  double duration = 0;
  engine_->GetReducedValuesCount(&channel, count, duration);
  *blocks = count;
  *xStart = 0;
  *rate = duration > 0 ? 1 / duration : 0;
}

void CKVDataReader::KVGetRecudedDataF(int32_t column, double* x, double* y, int32_t position, int32_t count) const {
  RequireOutput(y, count);
  if (column < 0) throw InvalidIndexException();
  engine_->GetReducedValues(&channelList_.At(column / kStatistics), position, count, nullptr, y, x,
                            column % kStatistics, nullptr, nullptr, nullptr, nullptr);
}

void CKVDataReader::KVGetRecudedYDataF(int32_t column, double* y, int32_t position, int32_t count) const {
  KVGetRecudedDataF(column, nullptr, y, position, count);
}

void CKVDataReader::KVGetRecudedDataAllF(int32_t column, double* minima, double* averages, double* maxima,
                                         double* rmsValues, int32_t position, int32_t count) const {
  if (count > 0 && (minima == nullptr || averages == nullptr || maxima == nullptr || rmsValues == nullptr)) {
    throw NoMemoryAllocException();
  }
  if (column < 0) throw InvalidIndexException();
  engine_->GetReducedValues(&channelList_.At(column / kStatistics), position, count, nullptr, nullptr, nullptr,
                            KVReducedAll, minima, averages, maxima, rmsValues);
}

int32_t CKVDataReader::KVGetTriggerDataTriggerCountF() const { return engine_->GetRegionCount(); }

double CKVDataReader::KVGetTriggerDataTriggerTimeF(int32_t trigger) const {
  return engine_->getEventStartTime(trigger);
}

void CKVDataReader::KVGetTriggerDataChannelNameF(int32_t position, char* text, int32_t maxLength) const {
  if (text == nullptr || maxLength <= 0) throw NoMemoryAllocException();
  CopyStr(text, channelList_.NameAt(position).c_str(), maxLength);
}

int32_t CKVDataReader::KVGetTriggerDataChannelIndexF(const char* name) const {
  if (name == nullptr) throw NoMemoryAllocException();
  return channelList_.PositionOf(name);
}

void CKVDataReader::KVGetTriggerDataChannelInfoF(int32_t trigger, int32_t position, char* xUnit, int32_t xLength,
                                                 char* yUnit, int32_t yLength, double* xStart, double* count,
                                                 double* rate, int32_t* type) const {
  if (xUnit == nullptr || yUnit == nullptr || xStart == nullptr || count == nullptr || rate == nullptr ||
      type == nullptr) {
    throw NoMemoryAllocException();
  }
  const CKVChannel& channel = channelList_.At(position);
  if (trigger < 0 || trigger >= engine_->GetRegionCount()) throw InvalidIndexException();
  CopyUnits(channel, xUnit, xLength, yUnit, yLength);
  const int64_t samples = engine_->GetSamplesCount(&channel, trigger, trigger);
  *count = static_cast<double>(samples);
  *rate = engine_->GetChRate(&channel);
  *type = engine_->GetChType(&channel);
  *xStart = 0;
  if (samples > 0) {
    // The first sample's time stamp; its value (a KVComplex per element at most)
    // goes nowhere the host sees.
    std::vector<double> values(static_cast<size_t>(std::max(channel.GetArraySize(), 1)) * 2);
    engine_->GetSamples(&channel, 0, 1, values.data(), xStart, trigger, trigger, ScaleType::Scaled);
  }
}

void CKVDataReader::KVGetTriggerDataF(int32_t trigger, int32_t position, double* y, double* x, double start,
                                      int32_t count) const {
  RequireOutput(y, count);
  const CKVChannel& channel = channelList_.At(position);
  if (trigger < 0 || trigger >= engine_->GetRegionCount()) throw InvalidIndexException();
  if (count <= 0) return;
  // The start position truncated toward zero; a start that is no sample position
  // (negative, not a number, beyond any count) is an invalid index.
  if (!(start > -1) || start >= static_cast<double>(std::numeric_limits<int64_t>::max())) {
    throw InvalidIndexException();
  }
  engine_->GetSamples(&channel, static_cast<int64_t>(start), count, y, x, trigger, trigger, ScaleType::Scaled);
}

}  // namespace Korvane::DataReader
