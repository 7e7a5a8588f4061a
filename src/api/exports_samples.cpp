// Exported sample functions: sample counts, scaled, raw and complex samples,
// binary samples with their payloads, and text values.
#include "KVDataReaderLib.h"
#include "api/CallFrame.h"

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::Api;

namespace {

KVStatus SamplesCount(KVReaderHandle reader, int32_t index, int64_t* count) {
  return CallReaderForValue(reader, count, [&](CKVDataReader& r) { return r.KVGetSamplesCount(index); });
}

}  // namespace

extern "C" {

KV_API KVStatus KVIGetScaledSamplesCount(KVReaderHandle reader, int32_t index, int64_t* count) {
  return SamplesCount(reader, index, count);
}
KV_API int64_t KVGetScaledSamplesCount(int32_t index) {
  return ValueOrFailure<int64_t>(KVIGetScaledSamplesCount, index);
}

KV_API KVStatus KVIGetRawSamplesCount(KVReaderHandle reader, int32_t index, int64_t* count) {
  return SamplesCount(reader, index, count);
}
KV_API int64_t KVGetRawSamplesCount(int32_t index) { return ValueOrFailure<int64_t>(KVIGetRawSamplesCount, index); }

KV_API KVStatus KVIGetComplexScaledSamplesCount(KVReaderHandle reader, int32_t index, int64_t* count) {
  return SamplesCount(reader, index, count);
}
KV_API int64_t KVGetComplexScaledSamplesCount(int32_t index) {
  return ValueOrFailure<int64_t>(KVIGetComplexScaledSamplesCount, index);
}

KV_API KVStatus KVIGetComplexRawSamplesCount(KVReaderHandle reader, int32_t index, int64_t* count) {
  return SamplesCount(reader, index, count);
}
KV_API int64_t KVGetComplexRawSamplesCount(int32_t index) {
  return ValueOrFailure<int64_t>(KVIGetComplexRawSamplesCount, index);
}

KV_API KVStatus KVIGetBinarySamplesCount(KVReaderHandle reader, int32_t index, int64_t* count) {
  return SamplesCount(reader, index, count);
}
KV_API int64_t KVGetBinarySamplesCount(int32_t index) {
  return ValueOrFailure<int64_t>(KVIGetBinarySamplesCount, index);
}

KV_API KVStatus KVIGetScaledSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                    double* data, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetScaledSamples(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetScaledSamples(int32_t index, int64_t position, int32_t count, double* data,
                                   double* timeStamps) {
  return KVIGetScaledSamples(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetRawSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count, void* data,
                                 double* timeStamps) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetRawSamples(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetRawSamples(int32_t index, int64_t position, int32_t count, void* data, double* timeStamps) {
  return KVIGetRawSamples(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetComplexScaledSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                           KVComplex* data, double* timeStamps) {
  return CallReader(
      reader, [&](CKVDataReader& r) { r.KVGetComplexScaledSamples(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetComplexScaledSamples(int32_t index, int64_t position, int32_t count, KVComplex* data,
                                          double* timeStamps) {
  return KVIGetComplexScaledSamples(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetComplexRawSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                        KVComplex* data, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetComplexRawSamples(index, position, count, data, timeStamps); });
}
KV_API KVStatus KVGetComplexRawSamples(int32_t index, int64_t position, int32_t count, KVComplex* data,
                                       double* timeStamps) {
  return KVIGetComplexRawSamples(ActiveHandle(), index, position, count, data, timeStamps);
}

KV_API KVStatus KVIGetBinarySamples(KVReaderHandle reader, int32_t index, int64_t position, char* buffer,
                                    double* timeStamp, int32_t* size) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetBinarySamples(index, position, buffer, timeStamp, size); });
}
KV_API KVStatus KVGetBinarySamples(int32_t index, int64_t position, char* buffer, double* timeStamp,
                                   int32_t* size) {
  return KVIGetBinarySamples(ActiveHandle(), index, position, buffer, timeStamp, size);
}

KV_API KVStatus KVIGetBinarySamplesEx(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                      char* buffer, double* timeStamps, int32_t* size) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetBinarySamplesEx(index, position, count, buffer, timeStamps, size);
  });
}
KV_API KVStatus KVGetBinarySamplesEx(int32_t index, int64_t position, int32_t count, char* buffer,
                                     double* timeStamps, int32_t* size) {
  return KVIGetBinarySamplesEx(ActiveHandle(), index, position, count, buffer, timeStamps, size);
}

KV_API KVStatus KVIGetBinRecSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                    KVBinarySample* records, double* timeStamps) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetBinRecSamples(index, position, count, records, timeStamps); });
}
KV_API KVStatus KVGetBinRecSamples(int32_t index, int64_t position, int32_t count, KVBinarySample* records,
                                   double* timeStamps) {
  return KVIGetBinRecSamples(ActiveHandle(), index, position, count, records, timeStamps);
}

KV_API KVStatus KVIGetBinData(KVReaderHandle reader, int32_t index, const KVBinarySample* sample, char* buffer,
                              int64_t* position, int32_t size) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetBinData(index, sample, buffer, position, size); });
}
KV_API KVStatus KVGetBinData(int32_t index, const KVBinarySample* sample, char* buffer, int64_t* position,
                             int32_t size) {
  return KVIGetBinData(ActiveHandle(), index, sample, buffer, position, size);
}

KV_API int64_t KVGetTextValuesCount(int32_t index) {
  int64_t count = 0;
  const KVStatus status =
      CallReader(ActiveHandle(), [&](CKVDataReader& r) { count = r.KVGetTextValuesCount(index); });
  return status == KVOk ? count : static_cast<int64_t>(status);
}

KV_API KVStatus KVGetTextValues(int32_t index, int32_t position, int32_t count, char* text, double* timeStamps) {
  return CallReader(ActiveHandle(),
                    [&](CKVDataReader& r) { r.KVGetTextValues(index, position, count, text, timeStamps); });
}

}  // extern "C"
