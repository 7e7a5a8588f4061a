// The process-wide registry of readers and the active reader every KV function
// acts on. The registry owns its readers until DeInit; it is not synchronised:
// hosts serialise registry calls.
#pragma once

#include <cstdint>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader::Api {

// Each returns what its exported function returns (Part of the C interface:
// 0 on success, 1 when the registry is in the wrong state; then nothing changes
// and the last status stays as it was).
int32_t InitRegistry() noexcept;
int32_t DeInitRegistry() noexcept;
int32_t AddRegistryReader() noexcept;
int32_t CountRegistryReaders(int32_t* count) noexcept;
int32_t SetActiveRegistryReader(int32_t position) noexcept;

// KVGetVersion: the version number when a reader is active, else -1.
int32_t ActiveReaderVersion() noexcept;

// Readers outside the registry, owned by the caller.
KVStatus CreateUnregisteredReader(KVReaderHandle* handle) noexcept;
KVStatus DestroyUnregisteredReader(KVReaderHandle handle) noexcept;

}  // namespace Korvane::DataReader::Api
