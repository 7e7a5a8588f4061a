// Exported reduced-value functions: the statistics of a channel, and of several
// channels at once.
#include "KVDataReaderLib.h"
#include "api/CallFrame.h"

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::Api;

extern "C" {

KV_API KVStatus KVIGetReducedValuesCount(KVReaderHandle reader, int32_t index, int32_t* count,
                                         double* blockDuration) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetReducedValuesCount(index, count, blockDuration); });
}
KV_API KVStatus KVGetReducedValuesCount(int32_t index, int32_t* count, double* blockDuration) {
  return KVIGetReducedValuesCount(ActiveHandle(), index, count, blockDuration);
}

KV_API KVStatus KVIGetReducedValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                    KVReducedValue* values) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetReducedValues(index, position, count, values); });
}
KV_API KVStatus KVGetReducedValues(int32_t index, int32_t position, int32_t count, KVReducedValue* values) {
  return KVIGetReducedValues(ActiveHandle(), index, position, count, values);
}

KV_API KVStatus KVIGetReducedAveValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double* data, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetReducedAveValues(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetReducedAveValues(int32_t index, int32_t position, int32_t count, double* data,
                                      double* timeStamps) {
  return KVIGetReducedAveValues(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetReducedMinValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double* data, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetReducedMinValues(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetReducedMinValues(int32_t index, int32_t position, int32_t count, double* data,
                                      double* timeStamps) {
  return KVIGetReducedMinValues(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetReducedMaxValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double* data, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetReducedMaxValues(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetReducedMaxValues(int32_t index, int32_t position, int32_t count, double* data,
                                      double* timeStamps) {
  return KVIGetReducedMaxValues(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetReducedRMSValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double* data, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetReducedRMSValues(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetReducedRMSValues(int32_t index, int32_t position, int32_t count, double* data,
                                      double* timeStamps) {
  return KVIGetReducedRMSValues(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetReducedValuesBlock(KVReaderHandle reader, int32_t* indexes, int32_t channelCount,
                                         int32_t position, int32_t count, int32_t level, KVReducedValue* values) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetReducedValuesBlock(indexes, channelCount, position, count, level, values);
  });
}
KV_API KVStatus KVGetReducedValuesBlock(int32_t* indexes, int32_t channelCount, int32_t position, int32_t count,
                                        int32_t level, KVReducedValue* values) {
  return KVIGetReducedValuesBlock(ActiveHandle(), indexes, channelCount, position, count, level, values);
}

}  // extern "C"
