// The per-thread last status and message: what KVGetLastStatus reports. Each
// thread sees only the statuses of its own calls.
#pragma once

#include <cstdint>
#include <string>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader::Api {

// Records the status and message of the call that just ended in this thread.
void SetLastStatus(KVStatus status, const char* message) noexcept;

KVStatus LastStatus() noexcept;
const std::string& LastStatusMessage() noexcept;

// The KVGetLastStatus protocol: returns 13 and writes only the needed size when the
// capacity in *size is negative or not above the message length; otherwise writes the
// status and the zero-filled message and returns 0.
int32_t CopyLastStatus(int32_t* status, char* buffer, int32_t* size) noexcept;

}  // namespace Korvane::DataReader::Api
