// Text values and binary samples: the text forms of every channel kind, and the
// payloads binary channels keep in a stream of their own, each located by the
// 16-byte record that is the channel's stored sample (read as asynchronous
// samples).
#include <algorithm>

#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

int64_t CDataLoadEngine::GetTextValuesCount(const CKVChannel* channel) const {
  if (channel->SingleValue) return 1;
  if (storingKind_ == Reduced) return 0;
  if (channel->Async) return GetAsyncSamplesCount(channel, 0, GetRegionCount() - 1);
  return GetSyncSamplesCount(channel, 0, GetRegionCount() - 1);
}

void CDataLoadEngine::GetTextValues(const CKVChannel* channel, int first, int count, char* text, double* timeStamps) {
  if (channel->Async) {
    GetAsyncSamples(channel, first, count, nullptr, timeStamps, 0, GetRegionCount() - 1, true, text, ScaleType::Text);
  } else if (channel->SingleValue) {
    if (first != 0 || count <= 0) return;
    GetSingleTextValue(channel, text, channel->GetArraySize());
    if (timeStamps != nullptr) timeStamps[0] = 0;
  } else {
    GetSyncSamples(channel, first, count, nullptr, timeStamps, 0, GetRegionCount() - 1, true, text, ScaleType::Text);
  }
}

void CDataLoadEngine::GetBinarySamples(const CKVChannel* channel, int64_t first, char* buffer, double* timeStamp,
                                       int* size) {
  GetAsyncSamples(channel, first, 1, buffer, timeStamp, 0, GetRegionCount() - 1, false, nullptr,
                  ScaleType::BinaryData, size);
}

void CDataLoadEngine::GetBinarySamplesEx(const CKVChannel* channel, int64_t first, int count, char* buffer,
                                         double* timeStamps, int* size) {
  GetAsyncSamples(channel, first, count, buffer, timeStamps, 0, GetRegionCount() - 1, false, nullptr,
                  ScaleType::BinaryPacked, size);
}

void CDataLoadEngine::GetBinaryRecSamples(const CKVChannel* channel, int64_t first, int count, double* timeStamps,
                                          KVBinarySample* records) {
  GetAsyncSamples(channel, first, count, records, timeStamps, 0, GetRegionCount() - 1, false, nullptr,
                  ScaleType::BinaryRecords);
}

void CDataLoadEngine::GetBinaryData(const CKVChannel* channel, const KVBinarySample& record, char* buffer,
                                    int64_t* position, int capacity) const {
  channel->GetBinDataFromSample(&record, reinterpret_cast<uint8_t*>(buffer), *position, capacity);
}

}  // namespace Korvane::DataReader
