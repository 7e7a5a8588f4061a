// Exported channel-list and channel-property functions.
#include "KVDataReaderLib.h"
#include "api/CallFrame.h"

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::Api;

extern "C" {

KV_API KVStatus KVIGetChannelListCount(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetChannelListCount(); });
}
KV_API int32_t KVGetChannelListCount(void) { return ValueOrFailure<int32_t>(KVIGetChannelListCount); }

KV_API KVStatus KVIGetChannelList(KVReaderHandle reader, KVChannel* channels) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetChannelList(channels); });
}
KV_API KVStatus KVGetChannelList(KVChannel* channels) { return KVIGetChannelList(ActiveHandle(), channels); }

KV_API KVStatus KVIGetChannelListItem(KVReaderHandle reader, int32_t position, int32_t* index, char* name,
                                      char* unit, char* description, int32_t* color, int32_t* arraySize,
                                      int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetChannelListItem(position, index, name, unit, description, reinterpret_cast<uint32_t*>(color),
                           arraySize, maxLength);
  });
}
KV_API KVStatus KVGetChannelListItem(int32_t position, int32_t* index, char* name, char* unit, char* description,
                                     int32_t* color, int32_t* arraySize, int32_t maxLength) {
  return KVIGetChannelListItem(ActiveHandle(), position, index, name, unit, description, color, arraySize,
                               maxLength);
}

KV_API KVStatus KVIGetComplexChannelListCount(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetComplexChannelListCount(); });
}
KV_API int32_t KVGetComplexChannelListCount(void) {
  return ValueOrFailure<int32_t>(KVIGetComplexChannelListCount);
}

KV_API KVStatus KVIGetComplexChannelList(KVReaderHandle reader, KVChannel* channels) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetComplexChannelList(channels); });
}
KV_API KVStatus KVGetComplexChannelList(KVChannel* channels) {
  return KVIGetComplexChannelList(ActiveHandle(), channels);
}

KV_API KVStatus KVIGetComplexChannelListItem(KVReaderHandle reader, int32_t position, int32_t* index, char* name,
                                             char* unit, char* description, int32_t* color, int32_t* arraySize,
                                             int32_t maxLength) {
  return CallReader(reader, [&](CKVDataReader& r) {
    r.KVGetComplexChannelListItem(position, index, name, unit, description, reinterpret_cast<uint32_t*>(color),
                                  arraySize, maxLength);
  });
}
KV_API KVStatus KVGetComplexChannelListItem(int32_t position, int32_t* index, char* name, char* unit,
                                            char* description, int32_t* color, int32_t* arraySize,
                                            int32_t maxLength) {
  return KVIGetComplexChannelListItem(ActiveHandle(), position, index, name, unit, description, color, arraySize,
                                      maxLength);
}

KV_API KVStatus KVIGetBinChannelListCount(KVReaderHandle reader, int32_t* count) {
  return CallReaderForValue(reader, count, [](CKVDataReader& r) { return r.KVGetBinChannelListCount(); });
}
KV_API int32_t KVGetBinChannelListCount(void) { return ValueOrFailure<int32_t>(KVIGetBinChannelListCount); }

KV_API KVStatus KVIGetBinChannelList(KVReaderHandle reader, KVChannel* channels) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetBinChannelList(channels); });
}
KV_API KVStatus KVGetBinChannelList(KVChannel* channels) { return KVIGetBinChannelList(ActiveHandle(), channels); }

// Text lists exist on the active reader only; the count leaves the last status alone.
KV_API int32_t KVGetTextChannelListCount(void) {
  CKVDataReader* reader = FromHandle(ActiveHandle());
  return reader != nullptr ? reader->KVGetTextChannelListCount() : -1;
}
KV_API KVStatus KVGetTextChannelList(KVChannel* channels) {
  return CallReader(ActiveHandle(), [&](CKVDataReader& r) { r.KVGetTextChannelList(channels); });
}

KV_API KVStatus KVIGetChannelFactors(KVReaderHandle reader, int32_t index, double* scale, double* offset) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetChannelFactors(index, scale, offset); });
}
KV_API KVStatus KVGetChannelFactors(int32_t index, double* scale, double* offset) {
  return KVIGetChannelFactors(ActiveHandle(), index, scale, offset);
}

KV_API KVStatus KVIGetChannelProps(KVReaderHandle reader, int32_t index, int32_t selector, void* buffer,
                                   int32_t* size) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetChannelProps(index, selector, buffer, size); });
}
KV_API KVStatus KVGetChannelProps(int32_t index, int32_t selector, void* buffer, int32_t* size) {
  return KVIGetChannelProps(ActiveHandle(), index, selector, buffer, size);
}

}  // extern "C"
