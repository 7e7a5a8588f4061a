// Asynchronous samples: the count and the window read of channels whose samples
// carry their own time stamps, routed to the legacy blocks (channels without an
// index) or the timestamp index, and the per-channel query that lets consecutive
// windows go on where the previous one stopped.
#include <algorithm>

#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "engine/SampleOutput.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {

int64_t CDataLoadEngine::GetAsyncSamplesCount(const CKVChannel* channel, int firstRegion, int lastRegion) const {
  firstRegion = std::max(firstRegion, 0);
  lastRegion = std::min(lastRegion, GetRegionCount() - 1);
  if (lastRegion < firstRegion) return 0;
  const CKVChannel& storage = *StorageChannel(channel);
  if (storage.GetAsyncIndex() < 0) return LegacyAsyncSamplesCount(storage, firstRegion, lastRegion);
  return IndexAsyncSamplesCount(storage, firstRegion, lastRegion);
}

void CDataLoadEngine::GetAsyncSamples(const CKVChannel* channel, int64_t first, int count, void* values,
                                      double* timeStamps, int firstRegion, int lastRegion, bool charOutput,
                                      char* chars, ScaleType scaleType, int* binaryBytes) {
  const int capacity = binaryBytes != nullptr ? *binaryBytes : 0;
  if (binaryBytes != nullptr) *binaryBytes = 0;
  if (!ClampWindow(first, count, firstRegion, lastRegion)) return;
  RequireCountableRegions(channel, firstRegion, lastRegion);
  const CKVChannel& storage = *StorageChannel(channel);
  SampleOutput output = OutputFor(*channel, values, timeStamps, charOutput, chars, scaleType);
  output.SetBinaryCapacity(capacity);
  const AsyncWindow window{first, count, firstRegion, lastRegion};
  TAsyncSamplesQuery& query = QueryOf(channel);
  // Whatever happens below, the payload bytes written so far reach the caller.
  struct BinaryBytesOut {
    int* target;
    const SampleOutput& output;
    ~BinaryBytesOut() {
      if (target != nullptr) *target = output.BinaryBytes();
    }
  } binaryOut{binaryBytes, output};
  try {
    if (storage.GetAsyncIndex() < 0) {
      ReadLegacyAsyncSamples(storage, window, query, output);
    } else {
      ReadIndexAsyncSamples(storage, window, query, output);
    }
  } catch (...) {
    // A window that failed half-way leaves no position to resume from.
    query = TAsyncSamplesQuery{};
    throw;
  }
}

size_t CDataLoadEngine::QuerySlot(const CKVChannel* channel) const {
  const auto found = queryOfChannel_.find(channel);
  if (found == queryOfChannel_.end()) throw InvalidIndexException();
  return found->second;
}

TAsyncSamplesQuery& CDataLoadEngine::QueryOf(const CKVChannel* channel) { return queries_[QuerySlot(channel)]; }

void CDataLoadEngine::RequireCountableRegions(const CKVChannel* channel, int firstRegion, int lastRegion) {
  RegionRange& counted = countedRegions_[QuerySlot(channel)];
  if (counted.first == firstRegion && counted.last == lastRegion) return;
  GetAsyncSamplesCount(channel, firstRegion, lastRegion);
  counted = {firstRegion, lastRegion};
}

bool CDataLoadEngine::Resumes(const TAsyncSamplesQuery& query, const AsyncWindow& window) noexcept {
  return query.nextSample >= 0 && window.first >= query.nextSample && query.firstRegion == window.firstRegion &&
         query.lastRegion == window.lastRegion && query.region >= window.firstRegion &&
         query.region <= window.lastRegion;
}

}  // namespace Korvane::DataReader
