// Synchronous samples: a window of one channel over a range of recorded regions,
// read online from the data blocks of "DBDATA" (one slice of the channel per
// block) or offline from the channel's own stream (its samples back to back).
// Samples are numbered consecutively over the regions; within a region, sample k
// lies at full-rate position SRDiv x k + (start offset rounded up to a multiple of
// SRDiv), counted from the region's start block.
#include <algorithm>
#include <vector>

#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "engine/DataBlockWindow.h"
#include "engine/SampleOutput.h"
#include "engine/StoredReads.h"
#include "multistream/CBaseStream.h"
#include "multistream/CStreamContainer.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {

namespace {

// A channel's own stream is read in pieces of at most this many bytes (at least
// one sample), so that memory stays constant whatever window is asked for.
constexpr int64_t kOwnStreamChunkBytes = int64_t{1} << 20;

int64_t FloorDiv(int64_t a, int64_t b) noexcept {
  const int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Where one region's samples of a channel lie.
struct SyncRegion {
  int64_t samples = 0;       // samples of the channel in the region
  int64_t firstPosition = 0; // full-rate position of sample 0 from the region's start block
  int64_t startPosition = 0; // full-rate position of the region's start block
  int64_t storedBase = 0;    // stored index of the region's start block in the data blocks
};

SyncRegion GeometryOf(const Events::KVStartStopEvent& region, int64_t divider, int64_t blockSize) {
  SyncRegion g;
  g.samples = std::max<int64_t>(0, CeilDiv(region.stop_pos, divider) - CeilDiv(region.start_pos, divider));
  g.firstPosition = CeilDiv(region.start_offset, divider) * divider;
  g.startPosition = static_cast<int64_t>(region.start_block) * blockSize;
  g.storedBase = region.stored_block_base[0];
  return g;
}

}  // namespace

bool CDataLoadEngine::ClampWindow(int64_t first, int count, int& firstRegion, int& lastRegion) const {
  if (count <= 0) return false;
  if (first < 0) throw InvalidIndexException();
  firstRegion = std::max(firstRegion, 0);
  lastRegion = std::min(lastRegion, GetRegionCount() - 1);
  return firstRegion <= lastRegion;
}

SampleOutput CDataLoadEngine::OutputFor(const CKVChannel& channel, void* values, double* timeStamps, bool charOutput,
                                        char* chars, ScaleType scaleType) const {
  SampleOutput output(channel, *StorageChannel(&channel), values, timeStamps, charOutput, chars, scaleType,
                      setup_->GetSampleRate(), setup_->GetExternalClock());
  if (output.StoredSampleBytes() <= 0) throw FileCorruptException("sample size");
  return output;
}

// At most this many stored blocks hold the rest of a window (the regions follow
// each other in the stored data).
int64_t CDataLoadEngine::BlocksLeft(const SyncWindow& window, const SampleOutput& output, int64_t divider,
                                    int64_t blockSize) noexcept {
  return CeilDiv((window.count - output.Delivered()) * divider, blockSize) + 1;
}

const CKVChannel* CDataLoadEngine::StorageChannel(const CKVChannel* channel) noexcept {
  return channel->DecodedFromParent && channel->ParentChannel != nullptr ? channel->ParentChannel : channel;
}

void CDataLoadEngine::GetSyncSamples(const CKVChannel* channel, int64_t first, int count, void* values,
                                     double* timeStamps, int firstRegion, int lastRegion, bool charOutput,
                                     char* chars, ScaleType scaleType) {
  if (!ClampWindow(first, count, firstRegion, lastRegion)) return;
  const CKVChannel& storage = *StorageChannel(channel);
  SampleOutput output = OutputFor(*channel, values, timeStamps, charOutput, chars, scaleType);
  if (setup_->GetBlockSize() <= 0) throw FileCorruptException("BlockSize");
  const SyncWindow window{first, count, firstRegion, lastRegion};
  if (HasOfflineData(&storage)) {
    ReadOwnStreamSamples(storage, window, output);
  } else {
    ReadDataBlockSamples(storage, window, output);
  }
}

// Each block holds the channel's slice of BlockSize / SRDiv samples at its DBOffset;
// a run of samples inside one block is one read of just those samples, unless the
// block window holds the block (channels read in turn over the same stretch).
void CDataLoadEngine::ReadDataBlockSamples(const CKVChannel& storage, const SyncWindow& window,
                                           SampleOutput& output) {
  if (dbData_ == nullptr || storage.OnlineInfo == nullptr) throw ChannelNotStored();
  const int64_t blockSize = setup_->GetBlockSize();
  const int64_t blockBytes = setup_->GetOnlineInfo()->DBOffset;
  const int64_t divider = std::max(storage.SRDiv, 1);
  const int64_t perBlock = blockSize / divider;
  const int64_t sampleBytes = output.StoredSampleBytes();
  const int64_t sliceOffset = storage.OnlineInfo->DBOffset;
  const int64_t sliceBytes = CheckedMul(perBlock, sampleBytes, "slice size");
  if (perBlock <= 0 || blockBytes <= 0 || sliceOffset < 0 || sliceOffset > blockBytes - sliceBytes ||
      sliceBytes > dbData_->Size()) {
    throw FileCorruptException("DBOffset");
  }
  std::vector<uint8_t> slice(static_cast<size_t>(sliceBytes));
  bool begun = false;
  bool wholeBlocks = false;

  int64_t before = 0;  // samples of the regions already passed
  for (int r = window.firstRegion; r <= window.lastRegion && output.Delivered() < window.count; ++r) {
    const SyncRegion region = GeometryOf(regions_[static_cast<size_t>(r)], divider, blockSize);
    if (before + region.samples <= window.first) {
      before += region.samples;
      continue;
    }
    for (int64_t k = std::max<int64_t>(0, window.first - before);
         k < region.samples && output.Delivered() < window.count;) {
      const int64_t position = CheckedAdd(CheckedMul(divider, k, "sample"), region.firstPosition, "sample");
      const int64_t block = FloorDiv(position, blockSize);
      const int64_t inBlock = position - block * blockSize;
      const int64_t element = inBlock / divider;
      const int64_t take = std::min({(blockSize - 1 - inBlock) / divider + 1, region.samples - k,
                                     window.count - output.Delivered()});
      // A block size that the divider does not divide puts samples beyond the slice.
      if (element + take > perBlock) throw FileCorruptException("SRDiv");
      const int64_t storedBlock = CheckedAdd(region.storedBase, block, "stored block");
      if (!begun) {
        begun = true;
        wholeBlocks = blockWindow_.BeginRead(&storage, storedBlock) &&
                      BlocksLeft(window, output, divider, blockSize) <= DataBlockWindow::kMaxBytes / blockBytes;
      }
      blockWindow_.Touch(storedBlock);
      const int64_t inSlice = sliceOffset + element * sampleBytes;
      const uint8_t* held = blockWindow_.Block(storedBlock);
      if (held == nullptr && wholeBlocks) {
        held = blockWindow_.Load(dbData_, storedBlock, BlocksLeft(window, output, divider, blockSize), blockBytes);
      }
      if (held != nullptr) {
        output.Put(held + inSlice, take, region.startPosition + position, divider);
      } else {
        const int64_t at = CheckedAdd(CheckedMul(storedBlock, blockBytes, "block position"), inSlice, "block position");
        if (uint8_t* destination = output.PlainCopyDestination()) {
          ReadAt(dbData_, at, destination, take * sampleBytes, "DBDATA");
          output.PutInPlace(take, region.startPosition + position, divider);
        } else {
          ReadAt(dbData_, at, slice.data(), take * sampleBytes, "DBDATA");
          output.Put(slice.data(), take, region.startPosition + position, divider);
        }
      }
      k += take;
    }
    before += region.samples;
  }
}

// The channel's own stream holds its samples back to back from PosInDBStream, the
// stored blocks of every region one after the other.
void CDataLoadEngine::ReadOwnStreamSamples(const CKVChannel& storage, const SyncWindow& window,
                                           SampleOutput& output) {
  MultiStream::CBaseStream* stream = container_->StreamByCode(storage.OfflineInfo->DBStreamName);
  if (stream == nullptr) throw ChannelNotStored();
  const int64_t origin = storage.OfflineInfo->PosInDBStream;
  if (origin < 0) throw FileCorruptException("PosInDBStream");
  const int64_t blockSize = setup_->GetBlockSize();
  const int64_t divider = std::max(storage.SRDiv, 1);
  const int64_t sampleBytes = output.StoredSampleBytes();
  if (sampleBytes > stream->Size()) throw FileCorruptException("sample size");
  const int64_t chunkSamples = std::max<int64_t>(1, kOwnStreamChunkBytes / sampleBytes);
  std::vector<uint8_t> chunk;

  int64_t before = 0;
  for (int r = window.firstRegion; r <= window.lastRegion && output.Delivered() < window.count; ++r) {
    const SyncRegion region = GeometryOf(regions_[static_cast<size_t>(r)], divider, blockSize);
    if (before + region.samples <= window.first) {
      before += region.samples;
      continue;
    }
    const int64_t regionFirst =
        FloorDiv(CheckedAdd(CheckedMul(blockSize, region.storedBase, "stored block"), region.firstPosition,
                            "stored block"),
                 divider);
    int64_t k = std::max<int64_t>(0, window.first - before);
    int64_t remaining = std::min(region.samples - k, window.count - output.Delivered());
    while (remaining > 0) {
      const int64_t take = std::min(remaining, chunkSamples);
      if (chunk.size() < static_cast<size_t>(take * sampleBytes)) chunk.resize(static_cast<size_t>(take * sampleBytes));
      const int64_t at = CheckedAdd(
          origin, CheckedMul(CheckedAdd(regionFirst, k, "sample"), sampleBytes, "sample position"), "sample position");
      ReadAt(stream, at, chunk.data(), take * sampleBytes, "DBStreamName");
      output.Put(chunk.data(), take, region.startPosition + region.firstPosition + divider * k, divider);
      k += take;
      remaining -= take;
    }
    before += region.samples;
  }
}

// --- Dispatch -----------------------------------------------------------------

void CDataLoadEngine::GetSamples(const CKVChannel* channel, int64_t first, int count, void* values,
                                 double* timeStamps, int firstRegion, int lastRegion, ScaleType scaleType) {
  if (channel->IsBinary()) return;
  if (channel->Async) {
    GetAsyncSamples(channel, first, count, values, timeStamps, firstRegion, lastRegion, false, nullptr, scaleType);
    return;
  }
  if (channel->SingleValue) {
    // The single value is the channel's only sample.
    if (first == 0 && count > 0) GetSingleValue(channel, values, timeStamps, scaleType);
    return;
  }
  GetSyncSamples(channel, first, count, values, timeStamps, firstRegion, lastRegion, false, nullptr, scaleType);
}

void CDataLoadEngine::GetSamples(const CKVChannel* channel, int64_t first, int count, void* values,
                                 double* timeStamps, ScaleType scaleType) {
  GetSamples(channel, first, count, values, timeStamps, 0, GetRegionCount() - 1, scaleType);
}

}  // namespace Korvane::DataReader
