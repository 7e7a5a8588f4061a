// A plain multi-stream file whose streams count the reads made through them and
// the bytes those reads ask for, for the tests that bound how often the engine
// reads the stored data.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "multistream/CBaseStream.h"
#include "multistream/CMultiStream.h"
#include "multistream/CStreamContainer.h"

namespace Korvane::DataReader {

class CountingStream : public MultiStream::CBaseStream {
 public:
  explicit CountingStream(MultiStream::CBaseStream* inner) : inner_(inner) { SetCode(inner->Code()); }
  int64_t Seek(int64_t offset, MultiStream::EnumSeekOrigin origin) override { return inner_->Seek(offset, origin); }
  int32_t Write(const void* data, int32_t length) override { return inner_->Write(data, length); }
  int32_t Read(void* buffer, int32_t length) override {
    ++reads;
    bytes += length;
    return inner_->Read(buffer, length);
  }
  int32_t ReadBytesAt(int64_t position, void* buffer, int32_t length) override {
    ++reads;
    bytes += length;
    return inner_->ReadBytesAt(position, buffer, length);
  }
  int64_t Size() override { return inner_->Size(); }

  int64_t reads = 0;
  int64_t bytes = 0;

 private:
  MultiStream::CBaseStream* inner_;
};

class CountingContainer : public MultiStream::CStreamContainer {
 public:
  void OpenFile(const char* path) override {
    inner_.OpenFile(path);
    std::memcpy(DescriptionField(), inner_.Description(), MultiStream::kDescriptionChars + 1);
  }
  void CloseFile() override {
    wrapped_.clear();
    inner_.CloseFile();
  }
  MultiStream::CBaseStream* StreamByCode(const char* code) override {
    const auto found = wrapped_.find(code);
    if (found != wrapped_.end()) return found->second.get();
    MultiStream::CBaseStream* stream = inner_.StreamByCode(code);
    if (stream == nullptr) return nullptr;
    return wrapped_.emplace(code, std::make_unique<CountingStream>(stream)).first->second.get();
  }
  int32_t GetFileVersionInt() override { return inner_.GetFileVersionInt(); }

  int64_t Reads() const {
    int64_t total = 0;
    for (const auto& [code, stream] : wrapped_) total += stream->reads;
    return total;
  }
  // The bytes asked of one stream so far (0 for a stream not handed out).
  int64_t BytesOf(const std::string& code) const {
    const auto found = wrapped_.find(code);
    return found == wrapped_.end() ? 0 : found->second->bytes;
  }

 private:
  MultiStream::CMultiStream inner_;
  std::map<std::string, std::unique_ptr<CountingStream>> wrapped_;
};

}  // namespace Korvane::DataReader
