// Exported header-entry, array-axis and event functions.
#include "KVDataReaderLib.h"
#include "api/CallFrame.h"

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::Api;

extern "C" {

KV_API KVStatus KVIGetHeaderEntryCount(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetHeaderEntryCount(); });
}
KV_API int32_t KVGetHeaderEntryCount(void) { return ValueOrFailure<int32_t>(KVIGetHeaderEntryCount); }

KV_API KVStatus KVIGetHeaderEntryList(KVReaderHandle reader, KVChannel* entries) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetHeaderEntryList(entries); });
}
KV_API KVStatus KVGetHeaderEntryList(KVChannel* entries) { return KVIGetHeaderEntryList(ActiveHandle(), entries); }

KV_API KVStatus KVIGetHeaderEntryListItem(KVReaderHandle reader, int32_t position, int32_t* index, char* name,
                                          char* unit, char* description, uint32_t* color, int32_t* arraySize,
                                          int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetHeaderEntryListItem(position, index, name, unit, description, color, arraySize, maxLength);
  });
}
KV_API KVStatus KVGetHeaderEntryListItem(int32_t position, int32_t* index, char* name, char* unit,
                                         char* description, uint32_t* color, int32_t* arraySize,
                                         int32_t maxLength) {
  return KVIGetHeaderEntryListItem(ActiveHandle(), position, index, name, unit, description, color, arraySize,
                                   maxLength);
}

KV_API KVStatus KVIGetHeaderEntryText(KVReaderHandle reader, int32_t index, char* text, int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetHeaderEntryText(index, text, maxLength); });
}
KV_API KVStatus KVGetHeaderEntryText(int32_t index, char* text, int32_t maxLength) {
  return KVIGetHeaderEntryText(ActiveHandle(), index, text, maxLength);
}

KV_API KVStatus KVIGetHeaderEntryTextF(KVReaderHandle reader, int32_t position, char* text, int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetHeaderEntryTextF(position, text, maxLength); });
}
KV_API KVStatus KVGetHeaderEntryTextF(int32_t position, char* text, int32_t maxLength) {
  return KVIGetHeaderEntryTextF(ActiveHandle(), position, text, maxLength);
}

KV_API KVStatus KVIGetHeaderEntryNameF(KVReaderHandle reader, int32_t position, char* text, int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetHeaderEntryNameF(position, text, maxLength); });
}
KV_API KVStatus KVGetHeaderEntryNameF(int32_t position, char* text, int32_t maxLength) {
  return KVIGetHeaderEntryNameF(ActiveHandle(), position, text, maxLength);
}

KV_API KVStatus KVIGetHeaderEntryIDF(KVReaderHandle reader, int32_t position, char* text, int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetHeaderEntryIDF(position, text, maxLength); });
}
KV_API KVStatus KVGetHeaderEntryIDF(int32_t position, char* text, int32_t maxLength) {
  return KVIGetHeaderEntryIDF(ActiveHandle(), position, text, maxLength);
}

KV_API KVStatus KVIGetArrayInfoCount(KVReaderHandle reader, int32_t index, int32_t* count) {
  return CallReaderForValue(reader, count, [&](CKVDataReader& r) { return r.KVGetArrayInfoCount(index); });
}
KV_API int32_t KVGetArrayInfoCount(int32_t index) { return ValueOrFailure<int32_t>(KVIGetArrayInfoCount, index); }

KV_API KVStatus KVIGetArrayInfoList(KVReaderHandle reader, int32_t index, KVArrayInfo* infos) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetArrayInfoList(index, infos); });
}
KV_API KVStatus KVGetArrayInfoList(int32_t index, KVArrayInfo* infos) {
  return KVIGetArrayInfoList(ActiveHandle(), index, infos);
}

KV_API KVStatus KVIGetArrayIndexValue(KVReaderHandle reader, int32_t index, int32_t axis, int32_t position,
                                      char* text, int32_t maxLength) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetArrayIndexValue(index, axis, position, text, maxLength); });
}
KV_API KVStatus KVGetArrayIndexValue(int32_t index, int32_t axis, int32_t position, char* text, int32_t maxLength) {
  return KVIGetArrayIndexValue(ActiveHandle(), index, axis, position, text, maxLength);
}

KV_API KVStatus KVIGetArrayIndexValueF(KVReaderHandle reader, int32_t index, int32_t axis, int32_t position,
                                       double* value) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetArrayIndexValueF(index, axis, position, value); });
}
KV_API KVStatus KVGetArrayIndexValueF(int32_t index, int32_t axis, int32_t position, double* value) {
  return KVIGetArrayIndexValueF(ActiveHandle(), index, axis, position, value);
}

KV_API KVStatus KVIGetEventListCount(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetEventListCount(); });
}
KV_API int32_t KVGetEventListCount(void) { return ValueOrFailure<int32_t>(KVIGetEventListCount); }

KV_API KVStatus KVIGetEventList(KVReaderHandle reader, KVEvent* events) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetEventList(events); });
}
KV_API KVStatus KVGetEventList(KVEvent* events) { return KVIGetEventList(ActiveHandle(), events); }

KV_API KVStatus KVIGetEventListItem(KVReaderHandle reader, int32_t position, int32_t* type, double* time,
                                    char* text, int32_t maxLength) {
  return CallReader(reader,
                    [&](CKVDataReader& r) { r.KVGetEventListItem(position, type, time, text, maxLength); });
}
KV_API KVStatus KVGetEventListItem(int32_t position, int32_t* type, double* time, char* text, int32_t maxLength) {
  return KVIGetEventListItem(ActiveHandle(), position, type, time, text, maxLength);
}

KV_API KVStatus KVIGetEventTimeF(KVReaderHandle reader, int32_t position, double* time) {
  return CallReaderForValue(reader, time, [&](CKVDataReader& r) { return r.KVGetEventTimeF(position); });
}
KV_API double KVGetEventTimeF(int32_t position) { return ValueOrFailure<double>(KVIGetEventTimeF, position); }

KV_API KVStatus KVIGetEventTextF(KVReaderHandle reader, int32_t position, char* text, int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetEventTextF(position, text, maxLength); });
}
KV_API KVStatus KVGetEventTextF(int32_t position, char* text, int32_t maxLength) {
  return KVIGetEventTextF(ActiveHandle(), position, text, maxLength);
}

KV_API KVStatus KVIGetEventTypeF(KVReaderHandle reader, int32_t position, int32_t* type) {
  return CallReaderForValue(reader, type, [&](CKVDataReader& r) { return r.KVGetEventTypeF(position); });
}
KV_API int32_t KVGetEventTypeF(int32_t position) { return ValueOrFailure<int32_t>(KVIGetEventTypeF, position); }

}  // extern "C"
