// The timestamp index reports a damaged tree, or a read its streams cannot
// satisfy, with its own exceptions; the engine passes them on as the library's
// FileCorruptException, so the host sees a damaged file (status 4) rather than an
// index failure.
#pragma once

#include "asyncindex/AsyncIndexLibException.h"
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {

template <class Action>
decltype(auto) WithIndexCorruptionMapped(Action&& action) {
  try {
    return action();
  } catch (const CorruptIndexException& error) {
    throw FileCorruptException(error.what());
  } catch (const StreamException& error) {
    throw FileCorruptException(error.what());
  }
}

}  // namespace Korvane::DataReader
