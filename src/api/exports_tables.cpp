// Exported table functions: the reduced-data and the trigger-data tables.
#include "KVDataReaderLib.h"
#include "api/CallFrame.h"

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::Api;

extern "C" {

KV_API KVStatus KVIGetReducedDataChannelCountF(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetReducedDataChannelCountF(); });
}
KV_API int32_t KVGetReducedDataChannelCountF(void) {
  return ValueOrFailure<int32_t>(KVIGetReducedDataChannelCountF);
}

KV_API KVStatus KVIGetReducedDataChannelNameF(KVReaderHandle reader, int32_t column, char* text,
                                              int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetReducedDataChannelNameF(column, text, maxLength); });
}
KV_API KVStatus KVGetReducedDataChannelNameF(int32_t column, char* text, int32_t maxLength) {
  return KVIGetReducedDataChannelNameF(ActiveHandle(), column, text, maxLength);
}

KV_API KVStatus KVIGetReducedDataChannelIndexF(KVReaderHandle reader, const char* name, int32_t* column) {
  return CallReaderForValue(reader, column, [&](CKVDataReader& r) { return r.KVGetReducedDataChannelIndexF(name); });
}
KV_API int32_t KVGetReducedDataChannelIndexF(const char* name) {
  return ValueOrFailure<int32_t>(KVIGetReducedDataChannelIndexF, name);
}

KV_API KVStatus KVIGetRecudedDataChannelInfoF(KVReaderHandle reader, int32_t column, char* xUnit, int32_t xLength,
                                              char* yUnit, int32_t yLength, double* xStart, int32_t* blocks,
                                              double* rate) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetRecudedDataChannelInfoF(column, xUnit, xLength, yUnit, yLength, xStart, blocks, rate);
  });
}
KV_API KVStatus KVGetRecudedDataChannelInfoF(int32_t column, char* xUnit, int32_t xLength, char* yUnit,
                                             int32_t yLength, double* xStart, int32_t* blocks, double* rate) {
  return KVIGetRecudedDataChannelInfoF(ActiveHandle(), column, xUnit, xLength, yUnit, yLength, xStart, blocks,
                                       rate);
}

KV_API KVStatus KVIGetRecudedDataF(KVReaderHandle reader, int32_t column, double* x, double* y, int32_t position,
                                   int32_t count) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetRecudedDataF(column, x, y, position, count); });
}
KV_API KVStatus KVGetRecudedDataF(int32_t column, double* x, double* y, int32_t position, int32_t count) {
  return KVIGetRecudedDataF(ActiveHandle(), column, x, y, position, count);
}

KV_API KVStatus KVIGetRecudedYDataF(KVReaderHandle reader, int32_t column, double* y, int32_t position,
                                    int32_t count) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetRecudedYDataF(column, y, position, count); });
}
KV_API KVStatus KVGetRecudedYDataF(int32_t column, double* y, int32_t position, int32_t count) {
  return KVIGetRecudedYDataF(ActiveHandle(), column, y, position, count);
}

KV_API KVStatus KVIGetRecudedDataAllF(KVReaderHandle reader, int32_t column, double* minima, double* averages,
                                      double* maxima, double* rmsValues, int32_t position, int32_t count) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetRecudedDataAllF(column, minima, averages, maxima, rmsValues, position, count);
  });
}
KV_API KVStatus KVGetRecudedDataAllF(int32_t column, double* minima, double* averages, double* maxima,
                                     double* rmsValues, int32_t position, int32_t count) {
  return KVIGetRecudedDataAllF(ActiveHandle(), column, minima, averages, maxima, rmsValues, position, count);
}

KV_API KVStatus KVIGetTriggerDataTriggerCountF(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetTriggerDataTriggerCountF(); });
}
KV_API int32_t KVGetTriggerDataTriggerCountF(void) {
  return ValueOrFailure<int32_t>(KVIGetTriggerDataTriggerCountF);
}

KV_API KVStatus KVIGetTriggerDataTriggerTimeF(KVReaderHandle reader, int32_t trigger, double* time) {
  return CallReaderForValue(reader, time, [&](CKVDataReader& r) { return r.KVGetTriggerDataTriggerTimeF(trigger); });
}
KV_API double KVGetTriggerDataTriggerTimeF(int32_t trigger) {
  return ValueOrFailure<double>(KVIGetTriggerDataTriggerTimeF, trigger);
}

KV_API KVStatus KVIGetTriggerDataChannelNameF(KVReaderHandle reader, int32_t position, char* text,
                                              int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetTriggerDataChannelNameF(position, text, maxLength); });
}
KV_API KVStatus KVGetTriggerDataChannelNameF(int32_t position, char* text, int32_t maxLength) {
  return KVIGetTriggerDataChannelNameF(ActiveHandle(), position, text, maxLength);
}

KV_API KVStatus KVIGetTriggerDataChannelIndexF(KVReaderHandle reader, const char* name, int32_t* position) {
  return CallReaderForValue(reader, position,
                            [&](CKVDataReader& r) { return r.KVGetTriggerDataChannelIndexF(name); });
}
KV_API int32_t KVGetTriggerDataChannelIndexF(const char* name) {
  return ValueOrFailure<int32_t>(KVIGetTriggerDataChannelIndexF, name);
}

KV_API KVStatus KVIGetTriggerDataChannelInfoF(KVReaderHandle reader, int32_t trigger, int32_t position, char* xUnit,
                                              int32_t xLength, char* yUnit, int32_t yLength, double* xStart,
                                              double* count, double* rate, int32_t* type) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetTriggerDataChannelInfoF(trigger, position, xUnit, xLength, yUnit, yLength, xStart, count, rate, type);
  });
}
KV_API KVStatus KVGetTriggerDataChannelInfoF(int32_t trigger, int32_t position, char* xUnit, int32_t xLength,
                                             char* yUnit, int32_t yLength, double* xStart, double* count,
                                             double* rate, int32_t* type) {
  return KVIGetTriggerDataChannelInfoF(ActiveHandle(), trigger, position, xUnit, xLength, yUnit, yLength, xStart,
                                       count, rate, type);
}

KV_API KVStatus KVIGetTriggerDataF(KVReaderHandle reader, int32_t trigger, int32_t position, double* y, double* x,
                                   double start, int32_t count) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetTriggerDataF(trigger, position, y, x, start, count); });
}
KV_API KVStatus KVGetTriggerDataF(int32_t trigger, int32_t position, double* y, double* x, double start,
                                  int32_t count) {
  return KVIGetTriggerDataF(ActiveHandle(), trigger, position, y, x, start, count);
}

}  // extern "C"
