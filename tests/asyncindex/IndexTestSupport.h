// Streams and helpers the index tests share: a Stream over a file written by the
// test kit, and a manager loaded from the test kit's streams (memory streams, whose
// read counts show how many nodes a search reads).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/AsyncManager.h"
#include "asyncindex/MemoryStream.h"
#include "testkit/AsyncIndexWriter.h"

namespace Korvane::DataReader::AsyncIndexTest {

using TestKit::AsyncIndexChannelInfo;
using TestKit::AsyncIndexChannelContents;
using TestKit::AsyncIndexStreams;
using TestKit::AsyncIndexWriter;
using Manager = AsyncIndexManager;
using IndexChannel = Manager::ChannelType;
using IterPtr = Manager::IterPtr;
using StreamPtr = kit::local_shared_ptr<Stream>;

// A read-only Stream over a file on disk.
class FileStream final : public Stream {
 public:
  explicit FileStream(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    if (file_ == nullptr) throw std::runtime_error("cannot open " + path);
    std::fseek(file_, 0, SEEK_END);
    size_ = static_cast<uint64_t>(std::ftell(file_));
    std::fseek(file_, 0, SEEK_SET);
  }
  ~FileStream() override { std::fclose(file_); }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  uint64_t read(void* buffer, uint64_t length) override {
    if (std::fread(buffer, 1, length, file_) != length) throw StreamException();
    return length;
  }
  uint64_t write(const void*, uint64_t) override { return 0; }
  uint64_t writeIncomplete(const void*, uint64_t) override { return 0; }
  uint64_t writeBackwards(const void*, uint64_t, uint64_t, bool) override { return 0; }
  uint64_t seek(SeekOrigin origin, int64_t offset) override {
    std::fseek(file_, static_cast<long>(offset), origin == SeekOrigin::Begin ? SEEK_SET : SEEK_CUR);
    return getCurrentPos();
  }
  uint64_t getCurrentPos() override { return static_cast<uint64_t>(std::ftell(file_)); }
  uint64_t getSize() override { return size_; }
  bool isEof() override { return getCurrentPos() >= size_; }
  void rewind() override { std::fseek(file_, 0, SEEK_SET); }

 private:
  std::FILE* file_;
  uint64_t size_ = 0;
};

struct ChannelSetup {
  uint32_t index = 0;
  uint32_t valueSize = 8;
  uint64_t valueStart = 0;
  uint64_t nodeStart = 0;
};

inline ChannelSetup SetupOf(const AsyncIndexChannelInfo& info, uint32_t valueSize = 8) {
  return ChannelSetup{info.channelIndex, valueSize, info.valueStreamStart, info.nodeStreamStart};
}

// A manager over the three streams (kept for inspection).
struct LoadedIndex {
  std::unique_ptr<Manager> manager = std::make_unique<Manager>();
  kit::local_shared_ptr<MemoryStream> values;
  kit::local_shared_ptr<MemoryStream> nodes;
  kit::local_shared_ptr<MemoryStream> roots;
};

inline LoadedIndex LoadIndex(const AsyncIndexStreams& streams, const std::vector<ChannelSetup>& channels) {
  LoadedIndex index;
  index.values = kit::make_local_shared<MemoryStream>(streams.valueStream);
  index.nodes = kit::make_local_shared<MemoryStream>(streams.nodeStream);
  index.roots = kit::make_local_shared<MemoryStream>(streams.rootNodeStream);
  index.manager->setValueAndTimestampStream(index.values);
  index.manager->setNodeStream(index.nodes);
  index.manager->setRootNodeStream(index.roots);
  for (const ChannelSetup& channel : channels) {
    index.manager->addChannel(channel.index, channel.valueSize);
    index.manager->setValTsStreamOffset(channel.index, channel.valueStart);
    index.manager->setNodeStreamOffset(channel.index, channel.nodeStart);
  }
  index.manager->initializeLoading();
  return index;
}

// A channel of the given time stamps in leaves of leafCapacity samples.
inline AsyncIndexChannelContents ChannelContents(uint32_t channelIndex, std::vector<double> timestamps, uint32_t leafCapacity) {
  AsyncIndexChannelContents contents;
  contents.channelIndex = channelIndex;
  contents.timestamps = std::move(timestamps);
  contents.leafCapacity = leafCapacity;
  return contents;
}

// Writes one channel and loads it (channel index 1).
inline LoadedIndex LoadOne(const AsyncIndexChannelContents& contents, bool finalized = true,
                           AsyncIndexChannelInfo* info = nullptr) {
  AsyncIndexWriter writer(finalized);
  const AsyncIndexChannelInfo written = writer.AddChannel(contents);
  if (info != nullptr) *info = written;
  return LoadIndex(writer.Streams(), {SetupOf(written, contents.valueSize)});
}

// 0, 1, 2, ... count - 1 as time stamps.
inline std::vector<double> Ramp(size_t count, double step = 1.0) {
  std::vector<double> stamps(count);
  for (size_t i = 0; i < count; ++i) stamps[i] = static_cast<double>(i) * step;
  return stamps;
}

// Sample number an iterator stands on, -1 for an empty one.
inline int64_t NumberOf(const IterPtr& it) { return it ? static_cast<int64_t>(it->getSampleNumber()) : -1; }

// The stored value of the sample the iterator stands on, as the writer's number.
inline uint64_t ValueOf(const IterPtr& it) {
  it->resolve();
  uint64_t n = 0;
  for (uint32_t i = 0; i < 8 && i < it->getValueSize(); ++i) n |= uint64_t{it->getCurrentValue()[i]} << (8 * i);
  return n;
}

}  // namespace Korvane::DataReader::AsyncIndexTest
