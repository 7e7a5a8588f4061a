// Reduced values: the argument checks of the reduced-value functions in front of
// the engine's reduced reads. The engine writes straight into the host's arrays.
#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "reader/CKVDataReader.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {
namespace {

// A count above 0 needs somewhere to put the values.
void RequireOutput(const void* output, int32_t count) {
  if (output == nullptr && count > 0) throw NoMemoryAllocException();
}

void ReadStatistic(const CDataLoadEngine& engine, const CKVChannel& channel, int32_t position, int32_t count,
                   double* data, double* timeStamps, int selector) {
  engine.GetReducedValues(&channel, position, count, nullptr, data, timeStamps, selector, nullptr, nullptr, nullptr,
                          nullptr);
}

}  // namespace

void CKVDataReader::KVGetReducedValuesCount(int32_t index, int32_t* count, double* blockDuration) const {
  const CKVChannel& channel = ChannelAt(index);
  if (count == nullptr || blockDuration == nullptr) throw NoMemoryAllocException();
  int values = 0;
  engine_->GetReducedValuesCount(&channel, values, *blockDuration);
  *count = values;
}

void CKVDataReader::KVGetReducedValues(int32_t index, int32_t position, int32_t count,
                                       KVReducedValue* records) const {
  RequireOutput(records, count);
  engine_->GetReducedValues(&ChannelAt(index), position, count, records, nullptr, nullptr, KVReducedRecords, nullptr,
                            nullptr, nullptr, nullptr);
}

void CKVDataReader::KVGetReducedAveValues(int32_t index, int32_t position, int32_t count, double* data,
                                          double* timeStamps) const {
  RequireOutput(data, count);
  ReadStatistic(*engine_, ChannelAt(index), position, count, data, timeStamps, KVReducedAverage);
}

void CKVDataReader::KVGetReducedMinValues(int32_t index, int32_t position, int32_t count, double* data,
                                          double* timeStamps) const {
  RequireOutput(data, count);
  ReadStatistic(*engine_, ChannelAt(index), position, count, data, timeStamps, KVReducedMinimum);
}

void CKVDataReader::KVGetReducedMaxValues(int32_t index, int32_t position, int32_t count, double* data,
                                          double* timeStamps) const {
  RequireOutput(data, count);
  ReadStatistic(*engine_, ChannelAt(index), position, count, data, timeStamps, KVReducedMaximum);
}

void CKVDataReader::KVGetReducedRMSValues(int32_t index, int32_t position, int32_t count, double* data,
                                          double* timeStamps) const {
  RequireOutput(data, count);
  ReadStatistic(*engine_, ChannelAt(index), position, count, data, timeStamps, KVReducedRMS);
}

void CKVDataReader::KVGetReducedValuesBlock(int32_t* indexes, int32_t channelCount, int32_t position, int32_t count,
                                            int32_t level, KVReducedValue* records) const {
  RequireOutput(records, count);
  engine_->GetReducedValuesBlock(indexes, channelCount, position, count, level, records, nullptr, nullptr,
                                 KVReducedRecords, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace Korvane::DataReader
