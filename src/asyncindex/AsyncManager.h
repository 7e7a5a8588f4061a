// AsyncManager: the index channels that share one set of index streams (value,
// node and root-node stream). It is configured first (streams, channels, their
// starts), then initializeLoading reads the root-node stream once and the manager
// answers searches, counts, moves and copies. It owns its channels; the streams
// are shared with them through kit::local_shared_ptr.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/Channel.h"
#include "asyncindex/IndexTypes.h"
#include "asyncindex/LocalSharedPtr.h"
#include "asyncindex/StoredBytes.h"
#include "asyncindex/Stream.h"
#include "asyncindex/TsComparer.h"

// Root-node stream: a flag byte, then channel records until the end of the stream
// or a channel index of all ones.
struct RootNodeStreamLayout {
  static constexpr uint64_t kUnfinishedFlag = 0;  // u8: 0 = every tree finalized
  static constexpr uint64_t kFirstRecord = 1;
  static constexpr uint32_t kEndOfRecords = 0xFFFFFFFF;
  static constexpr uint64_t kChannelIndexBytes = 4;  // u32 channel index opens each record
  static constexpr uint64_t kRootPositionBytes = 8;  // finalized record: u64 root position
};

template <uint32_t N, class TKey, class TComparer>
class AsyncManager {
 public:
  enum State : int32_t { Configuring = 0, Loaded = 1 };

  using ChannelType = Channel<N, TKey, TComparer>;
  using ChannelPtr = kit::local_shared_ptr<ChannelType>;
  using IterPtr = typename ChannelType::IterPtr;
  using StreamPtr = kit::local_shared_ptr<Stream>;

  State getState() const noexcept { return state_; }

  // The three streams; each throws InvalidStateException once loaded.
  void setValueAndTimestampStream(StreamPtr stream);
  void setNodeStream(StreamPtr stream);
  void setRootNodeStream(StreamPtr stream);
  // Adds channel index with values of valueSize bytes; throws InvalidStateException
  // once loaded, DuplicateChannelIndexException for an index already present.
  void addChannel(uint32_t index, uint32_t valueSize);
  // A channel's value-stream and node-stream starts; InvalidStateException once
  // loaded, ChannelNotFoundException for an unknown index.
  void setValTsStreamOffset(uint32_t index, uint64_t offset);
  void setNodeStreamOffset(uint32_t index, uint64_t offset);
  // The channel; ChannelNotFoundException when absent.
  const ChannelPtr& getChannel(uint32_t index) const;

  // Reads the root-node stream: the roots of finalized trees or the unattached
  // nodes of unfinished ones, and moves to Loaded. Throws InvalidStateException
  // unless configuring, ConfigurationFailedException when a stream is missing,
  // CorruptIndexException for a damaged finalized stream.
  void initializeLoading();

  // The sample for t by the strategies (position, when given, says where it lies);
  // empty on a miss. The query calls below throw InvalidStateException unless
  // loaded and ChannelNotFoundException for an unknown index.
  IterPtr searchTimestamp(uint32_t index, TKey t, DuplFoundStrategy dupl, NotFoundStrategy miss,
                          FoundPosition* position = nullptr);
  IterPtr getFirstPos(uint32_t index);
  IterPtr getLastPos(uint32_t index);
  IterPtr moveIterator(uint32_t index, const IterPtr& it, int64_t delta, MoveFailStrategy strategy);
  // Where a window starting at t begins: the first sample at or after t (with
  // includeNeighbours the last sample before t when there is one).
  IterPtr searchTimestampForStartPos(uint32_t index, TKey t, bool includeNeighbours);
  // Where a window ending at t ends (exclusive): at the first sample at or after t
  // (with includeNeighbours past the first sample after t).
  IterPtr searchTimestampForEndPos(uint32_t index, TKey t, bool includeNeighbours);
  // Samples with t0 <= time stamp < t1; with includeNeighbours also the sample just
  // before t0 and the one just after t1.
  uint64_t getSampleCount(uint32_t index, TKey t0, TKey t1, bool includeNeighbours);
  // Copies the samples from start up to end (Channel::getSamples).
  void getSamples(uint32_t index, const IterPtr& start, const IterPtr& end, void* values, TKey* timestamps,
                  uint64_t& count);
  // Copies up to maxCount samples from it onwards and moves it behind them
  // (Channel::copyForward); returns the number copied.
  uint64_t copySamples(uint32_t index, IterPtr& it, uint64_t maxCount, void* values, TKey* timestamps) {
    return loadedChannel(index).copyForward(it, maxCount, values, timestamps);
  }

 private:
  void requireState(State state) const {
    if (state_ != state) throw InvalidStateException();
  }
  ChannelType& loadedChannel(uint32_t index) {
    const ChannelPtr& channel = getChannel(index);
    requireState(Loaded);
    return *channel;
  }
  void loadFinalized(Stream& root);
  void loadUnfinished(Stream& root);

  State state_ = Configuring;
  std::unordered_map<uint32_t, ChannelPtr> channels_;
  StreamPtr valueStream_;
  StreamPtr nodeStream_;
  StreamPtr rootNodeStream_;
};

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::setValueAndTimestampStream(StreamPtr stream) {
  requireState(Configuring);
  valueStream_ = std::move(stream);
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::setNodeStream(StreamPtr stream) {
  requireState(Configuring);
  nodeStream_ = std::move(stream);
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::setRootNodeStream(StreamPtr stream) {
  requireState(Configuring);
  rootNodeStream_ = std::move(stream);
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::addChannel(uint32_t index, uint32_t valueSize) {
  requireState(Configuring);
  if (channels_.count(index) != 0) throw DuplicateChannelIndexException();
  ChannelPtr channel = kit::make_local_shared<ChannelType>(index, valueSize);
  channel->useManagerStreams(valueStream_, nodeStream_, rootNodeStream_);
  channels_.emplace(index, std::move(channel));
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::setValTsStreamOffset(uint32_t index, uint64_t offset) {
  requireState(Configuring);
  getChannel(index)->setValTsStreamOffset(offset);
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::setNodeStreamOffset(uint32_t index, uint64_t offset) {
  requireState(Configuring);
  getChannel(index)->setNodeStreamOffset(offset);
}

template <uint32_t N, class TKey, class TComparer>
const typename AsyncManager<N, TKey, TComparer>::ChannelPtr& AsyncManager<N, TKey, TComparer>::getChannel(
    uint32_t index) const {
  const auto found = channels_.find(index);
  if (found == channels_.end()) throw ChannelNotFoundException();
  return found->second;
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::initializeLoading() {
  requireState(Configuring);
  if (!valueStream_ || !nodeStream_ || !rootNodeStream_) throw ConfigurationFailedException();
  for (auto& [index, channel] : channels_) {
    channel->setCacheDepth(1);
    channel->useManagerStreams(valueStream_, nodeStream_, rootNodeStream_);
  }
  Stream& root = *rootNodeStream_;
  uint8_t unfinished = 0;
  const bool hasFlag = root.getSize() > RootNodeStreamLayout::kUnfinishedFlag;
  if (hasFlag) {
    root.seek(SeekOrigin::Begin, RootNodeStreamLayout::kUnfinishedFlag);
    root.read(&unfinished, 1);
  }
  // An empty root-node stream: the writer has not written a tree yet.
  const bool finalized = hasFlag && unfinished == 0;
  for (auto& [index, channel] : channels_) channel->setFinalized(finalized);
  if (hasFlag) {
    if (finalized) loadFinalized(root);
    else loadUnfinished(root);
  }
  state_ = Loaded;
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::loadFinalized(Stream& root) {
  const uint64_t size = root.getSize();
  uint64_t position = RootNodeStreamLayout::kFirstRecord;
  while (position < size) {
    // A finalized stream ends after a whole record or an end marker.
    if (size - position < RootNodeStreamLayout::kChannelIndexBytes) throw CorruptIndexException();
    uint8_t bytes[RootNodeStreamLayout::kRootPositionBytes];
    root.seek(SeekOrigin::Begin, static_cast<int64_t>(position));
    root.read(bytes, RootNodeStreamLayout::kChannelIndexBytes);
    position += RootNodeStreamLayout::kChannelIndexBytes;
    const uint32_t index = StoredBytes::loadU32(bytes);
    if (index == RootNodeStreamLayout::kEndOfRecords) break;
    if (size - position < RootNodeStreamLayout::kRootPositionBytes) throw CorruptIndexException();
    root.read(bytes, RootNodeStreamLayout::kRootPositionBytes);
    position += RootNodeStreamLayout::kRootPositionBytes;
    const auto found = channels_.find(index);
    // Records of channels this manager does not serve are passed over.
    if (found != channels_.end()) found->second->loadRoot(StoredBytes::loadU64(bytes));
  }
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::loadUnfinished(Stream& root) {
  const uint64_t size = root.getSize();
  root.seek(SeekOrigin::Begin, RootNodeStreamLayout::kFirstRecord);
  // Parses records of unknown channels without keeping their nodes.
  ChannelType skipper(0, 0);
  for (;;) {
    const uint64_t position = root.getCurrentPos();
    // The writer may still be appending: a record cut short ends the loading.
    if (position >= size || size - position < RootNodeStreamLayout::kChannelIndexBytes) return;
    uint8_t bytes[RootNodeStreamLayout::kChannelIndexBytes];
    root.read(bytes, sizeof bytes);
    const uint32_t index = StoredBytes::loadU32(bytes);
    if (index == RootNodeStreamLayout::kEndOfRecords) return;
    const auto found = channels_.find(index);
    const bool complete = found != channels_.end() ? found->second->loadNotFinalizedNodes(root)
                                                   : skipper.loadNotFinalizedNodes(root, false);
    if (!complete) return;
  }
}

template <uint32_t N, class TKey, class TComparer>
typename AsyncManager<N, TKey, TComparer>::IterPtr AsyncManager<N, TKey, TComparer>::searchTimestamp(
    uint32_t index, TKey t, DuplFoundStrategy dupl, NotFoundStrategy miss, FoundPosition* position) {
  requireState(Loaded);
  ChannelType& channel = *getChannel(index);
  FoundPosition found = FoundPosition::NotFound;
  IterPtr it = channel.searchTimestamp(channel.findLeaf(t), t, dupl, miss, found);
  if (position != nullptr) *position = found;
  return it;
}

template <uint32_t N, class TKey, class TComparer>
typename AsyncManager<N, TKey, TComparer>::IterPtr AsyncManager<N, TKey, TComparer>::getFirstPos(uint32_t index) {
  requireState(Loaded);
  return getChannel(index)->getFirstPos();
}

template <uint32_t N, class TKey, class TComparer>
typename AsyncManager<N, TKey, TComparer>::IterPtr AsyncManager<N, TKey, TComparer>::getLastPos(uint32_t index) {
  requireState(Loaded);
  return getChannel(index)->getLastPos();
}

template <uint32_t N, class TKey, class TComparer>
typename AsyncManager<N, TKey, TComparer>::IterPtr AsyncManager<N, TKey, TComparer>::moveIterator(
    uint32_t index, const IterPtr& it, int64_t delta, MoveFailStrategy strategy) {
  requireState(Loaded);
  return getChannel(index)->moveIterator(it, delta, strategy);
}

template <uint32_t N, class TKey, class TComparer>
typename AsyncManager<N, TKey, TComparer>::IterPtr AsyncManager<N, TKey, TComparer>::searchTimestampForStartPos(
    uint32_t index, TKey t, bool includeNeighbours) {
  FoundPosition position = FoundPosition::NotFound;
  IterPtr it = searchTimestamp(index, t, DuplFoundStrategy::First,
                               includeNeighbours ? NotFoundStrategy::PreviousOrNext : NotFoundStrategy::Next, &position);
  if (position != FoundPosition::NotFound) return it;
  return includeNeighbours ? IterPtr() : getChannel(index)->getLastPos();
}

template <uint32_t N, class TKey, class TComparer>
typename AsyncManager<N, TKey, TComparer>::IterPtr AsyncManager<N, TKey, TComparer>::searchTimestampForEndPos(
    uint32_t index, TKey t, bool includeNeighbours) {
  FoundPosition position = FoundPosition::NotFound;
  IterPtr it = searchTimestamp(index, t, DuplFoundStrategy::Last,
                               includeNeighbours ? NotFoundStrategy::NextOrPrevious : NotFoundStrategy::Previous,
                               &position);
  ChannelType& channel = *getChannel(index);
  switch (position) {
    case FoundPosition::Before:
      return channel.moveIterator(it, 1, MoveFailStrategy::StopAtEnd);
    case FoundPosition::NotFound:
      return includeNeighbours ? IterPtr() : channel.getFirstPos();
    case FoundPosition::Exact:
    case FoundPosition::After:
      if (includeNeighbours) return channel.moveIterator(it, 1, MoveFailStrategy::StopAtEnd);
      return channel.moveIteratorBackwardsWhileTimestampEqual(it, MoveFailStrategy::StopAtEnd);
  }
  return {};
}

template <uint32_t N, class TKey, class TComparer>
uint64_t AsyncManager<N, TKey, TComparer>::getSampleCount(uint32_t index, TKey t0, TKey t1, bool includeNeighbours) {
  ChannelType& channel = loadedChannel(index);
  IterPtr start = searchTimestampForStartPos(index, t0, includeNeighbours);
  IterPtr end = searchTimestampForEndPos(index, t1, includeNeighbours);
  return start && end ? channel.getSampleCount(start, end) : 0;
}

template <uint32_t N, class TKey, class TComparer>
void AsyncManager<N, TKey, TComparer>::getSamples(uint32_t index, const IterPtr& start, const IterPtr& end,
                                                  void* values, TKey* timestamps, uint64_t& count) {
  loadedChannel(index).getSamples(start, end, values, timestamps, count);
}

// The index as files store it: fan-out 8 over double time stamps. Compiled once in
// AsyncManager.cpp.
using AsyncIndexManager = AsyncManager<8, double, TsComparer<double>>;
extern template class InnerNode<8, double, TsComparer<double>>;
extern template class LeafNode<double, TsComparer<double>>;
extern template class Iterator<double, TsComparer<double>>;
extern template class Channel<8, double, TsComparer<double>>;
extern template class AsyncManager<8, double, TsComparer<double>>;
