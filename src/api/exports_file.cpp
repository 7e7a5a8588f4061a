// Exported file functions: open, close and the file-level queries.
#include "KVDataReaderLib.h"
#include "api/CallFrame.h"

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::Api;

extern "C" {

KV_API KVStatus KVIOpenDataFile(KVReaderHandle reader, const char* fileName, KVFileInfo* info) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVOpenDataFile(fileName, info); });
}
KV_API KVStatus KVOpenDataFile(const char* fileName, KVFileInfo* info) {
  return KVIOpenDataFile(ActiveHandle(), fileName, info);
}

KV_API KVStatus KVICloseDataFile(KVReaderHandle reader) {
  return CallReader(reader, [](CKVDataReader& r) { r.KVCloseDataFile(); });
}
KV_API KVStatus KVCloseDataFile(void) { return KVICloseDataFile(ActiveHandle()); }

KV_API KVStatus KVIGetMeasurementInfo(KVReaderHandle reader, KVMeasurementInfo* info) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetMeasurementInfo(info); });
}
KV_API KVStatus KVGetMeasurementInfo(KVMeasurementInfo* info) { return KVIGetMeasurementInfo(ActiveHandle(), info); }

KV_API KVStatus KVIGetMultiFileIndex(KVReaderHandle reader, int32_t* index) {
  return CallReaderForValue(reader, index, [](CKVDataReader& r) { return r.KVGetMultiFileIndex(); });
}
KV_API int32_t KVGetMultiFileIndex(void) { return ValueOrFailure<int32_t>(KVIGetMultiFileIndex); }

KV_API KVStatus KVIGetStoringType(KVReaderHandle reader, int32_t* storingType) {
  return CallReaderForValue(reader, storingType, [](CKVDataReader& r) { return r.KVGetStoringType(); });
}
KV_API int32_t KVGetStoringType(void) { return ValueOrFailure<int32_t>(KVIGetStoringType); }

KV_API KVStatus KVIExportHeader(KVReaderHandle reader, const char* fileName) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVExportHeader(fileName); });
}
KV_API KVStatus KVExportHeader(const char* fileName) { return KVIExportHeader(ActiveHandle(), fileName); }

KV_API KVStatus KVIGetStream(KVReaderHandle reader, const char* streamName, void* buffer, int32_t* size) {
  return CallReader(reader, [&](CKVDataReader& r) { r.KVGetStream(streamName, buffer, size); });
}
KV_API KVStatus KVGetStream(const char* streamName, void* buffer, int32_t* size) {
  return KVIGetStream(ActiveHandle(), streamName, buffer, size);
}

}  // extern "C"
