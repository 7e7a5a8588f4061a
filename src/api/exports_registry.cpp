// Exported registry, status and version functions.
#include "KVDataReaderLib.h"
#include "api/LastStatus.h"
#include "api/ReaderRegistry.h"
#include "reader/CKVDataReader.h"

using namespace Korvane::DataReader::Api;

using Korvane::DataReader::CKVDataReader;

extern "C" {

KV_API int32_t KVInit(void) { return InitRegistry(); }

KV_API int32_t KVDeInit(void) { return DeInitRegistry(); }

KV_API int32_t KVAddReader(void) { return AddRegistryReader(); }

KV_API int32_t KVGetNumReaders(int32_t* count) { return CountRegistryReaders(count); }

KV_API int32_t KVSetActiveReader(int32_t position) { return SetActiveRegistryReader(position); }

KV_API KVStatus KVICreateReader(KVReaderHandle* handle) { return CreateUnregisteredReader(handle); }

KV_API KVStatus KVIDestroyReader(KVReaderHandle handle) { return DestroyUnregisteredReader(handle); }

KV_API int32_t KVGetLastStatus(int32_t* status, char* buffer, int32_t* size) {
  return CopyLastStatus(status, buffer, size);
}

KV_API int32_t KVGetVersion(void) { return ActiveReaderVersion(); }

KV_API int32_t KVGetVersionEx(int32_t* major, int32_t* minor, int32_t* patch) {
  if (major != nullptr) *major = CKVDataReader::kVersionMajor;
  if (minor != nullptr) *minor = CKVDataReader::kVersionMinor;
  if (patch != nullptr) *patch = CKVDataReader::kVersionPatch;
  return KVOk;
}

}  // extern "C"
