// The one frame every exported function runs in: it resolves the reader, runs one
// CKVDataReader method, and turns its outcome into a KVStatus and the per-thread
// message. No exception ever leaves through an exported function.
#pragma once

#include <exception>

#include "KVDataReaderLib.h"
#include "api/LastStatus.h"
#include "common/DataReaderLibException.h"
#include "reader/CKVDataReader.h"

namespace Korvane::DataReader::Api {

inline CKVDataReader* FromHandle(KVReaderHandle handle) noexcept {
  return reinterpret_cast<CKVDataReader*>(handle);
}

inline KVReaderHandle ToHandle(CKVDataReader* reader) noexcept {
  return reinterpret_cast<KVReaderHandle>(reader);
}

// The registry's active reader as a handle (null when there is none).
KVReaderHandle ActiveHandle() noexcept;

// Runs body; success leaves status 0 and an empty message, an exception its status
// (1 for exceptions outside the DataReaderLibException family) and its what().
template <class Body>
KVStatus RunGuarded(Body&& body) noexcept {
  try {
    body();
  } catch (const DataReaderLibException& e) {
    SetLastStatus(e.status(), e.what());
    return e.status();
  } catch (const std::exception& e) {
    SetLastStatus(KVError, e.what());
    return KVError;
  } catch (...) {
    SetLastStatus(KVError, "Unknown error");
    return KVError;
  }
  SetLastStatus(KVOk, "");
  return KVOk;
}

// The frame of a KVI function: a null handle gives status 11 and touches nothing else.
template <class Method>
KVStatus CallReader(KVReaderHandle handle, Method&& method) noexcept {
  CKVDataReader* reader = FromHandle(handle);
  if (reader == nullptr) {
    SetLastStatus(KVInvalidReaderHandle, "Invalid reader handle");
    return KVInvalidReaderHandle;
  }
  return RunGuarded([&] { method(*reader); });
}

// The frame of a KVI function that reports a value through its last pointer.
template <class T, class Method>
KVStatus CallReaderForValue(KVReaderHandle handle, T* value, Method&& method) noexcept {
  return CallReader(handle, [&](CKVDataReader& reader) {
    if (value == nullptr) throw NoMemoryAllocException();
    *value = method(reader);
  });
}

// The KV twin of a value-reporting KVI function, on the active reader: the value,
// or -1 when the call failed (its status stays available to KVGetLastStatus).
template <class T, class KviFunction, class... Args>
T ValueOrFailure(KviFunction kviFunction, Args... args) noexcept {
  T value{};
  return kviFunction(ActiveHandle(), args..., &value) == KVOk ? value : T(-1);
}

}  // namespace Korvane::DataReader::Api
