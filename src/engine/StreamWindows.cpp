// Reads through a few forward windows of a container stream.
#include "engine/StreamWindows.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/DataReaderLibException.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader {

void WindowBudget::Join(StreamWindows* owner) { owners_.push_back(owner); }

void WindowBudget::Leave(StreamWindows* owner) noexcept {
  Returned(owner->heldBytes_);
  owners_.erase(std::remove(owners_.begin(), owners_.end(), owner), owners_.end());
}

void WindowBudget::Reserve(StreamWindows* owner, uint64_t bytes) {
  owner->lastRefill_ = ++clock_;
  while (held_ + bytes > limit_) {
    StreamWindows* oldest = nullptr;
    for (StreamWindows* other : owners_) {
      if (other != owner && other->heldBytes_ > 0 && (oldest == nullptr || other->lastRefill_ < oldest->lastRefill_)) {
        oldest = other;
      }
    }
    if (oldest == nullptr) break;  // the owner's own windows: at most a few MiB
    oldest->Release();
  }
  held_ += bytes;
}

StreamWindows::StreamWindows(MultiStream::CStream* stream, WindowBudget* budget) : stream_(stream), budget_(budget) {
  if (budget_ != nullptr) budget_->Join(this);
}

StreamWindows::~StreamWindows() {
  if (budget_ != nullptr) budget_->Leave(this);
}

void StreamWindows::Release() noexcept {
  for (Window& window : windows_) {
    window.storage.reset();
    window.capacity = 0;
    window.size = 0;
  }
  if (budget_ != nullptr) budget_->Returned(heldBytes_);
  heldBytes_ = 0;
}

uint64_t StreamWindows::Size() {
  if (size_ < 0) size_ = std::max<int64_t>(stream_->Size(), 0);
  return static_cast<uint64_t>(size_);
}

bool StreamWindows::Read(uint64_t position, void* out, uint64_t length) {
  const uint64_t size = Size();
  if (position > size || length > size - position) return false;
  // A long piece no window holds goes straight to the caller.
  if (Find(position, length) == nullptr && length >= WindowFor(position).nextBytes) {
    return ReadDirect(position, static_cast<uint8_t*>(out), length);
  }
  const uint8_t* bytes = View(position, length);
  if (bytes == nullptr) return false;
  std::memcpy(out, bytes, length);
  return true;
}

const uint8_t* StreamWindows::View(uint64_t position, uint64_t length) {
  Window* window = Hold(position, length);
  return window != nullptr ? window->storage.get() + (position - window->start) : nullptr;
}

StreamWindows::Window* StreamWindows::Hold(uint64_t position, uint64_t length) {
  const uint64_t size = Size();
  if (position > size || length > size - position || length > kMaxWindowBytes) return nullptr;
  ++uses_;
  if (Window* held = Find(position, length)) {
    held->served += length;
    held->lastUse = uses_;
    return held;
  }
  Window& window = WindowFor(position);
  Adapt(window);
  const uint64_t refill = std::min(std::max(window.nextBytes, length), size - position);
  if (refill > window.capacity) {
    const uint64_t grown = refill - window.capacity;
    if (budget_ != nullptr) budget_->Reserve(this, grown);
    // What the window held is refilled whole, so nothing is carried over.
    window.storage.reset(new uint8_t[refill]);
    window.capacity = refill;
    heldBytes_ += grown;
  }
  window.start = position;
  window.served = length;
  window.lastUse = uses_;
  return Refill(window, position, refill, length) ? &window : nullptr;
}

bool StreamWindows::Refill(Window& window, uint64_t position, uint64_t bytes, uint64_t piece) {
  window.size = 0;
  if (bytes > piece) {
    // A damaged page behind the piece fails the refill, not the piece: whether a
    // piece can be read must not depend on how far the window reaches.
    try {
      if (ReadDirect(position, window.storage.get(), bytes)) {
        window.size = bytes;
        return true;
      }
    } catch (const DataReaderLibException&) {
    }
  }
  if (!ReadDirect(position, window.storage.get(), piece)) return false;
  window.size = piece;
  return true;
}

StreamWindows::Window* StreamWindows::Find(uint64_t position, uint64_t length) {
  for (Window& window : windows_) {
    if (window.size != 0 && position >= window.start && position + length <= window.start + window.size) {
      return &window;
    }
  }
  return nullptr;
}

// The window whose reader the piece continues (it starts at most a small step
// behind that window's end), else the one used longest ago.
StreamWindows::Window& StreamWindows::WindowFor(uint64_t position) {
  Window* oldest = &windows_[0];
  for (Window& window : windows_) {
    const uint64_t end = window.start + window.size;
    if (window.size != 0 && position >= window.start && position <= end + kMinWindowBytes) return window;
    if (window.lastUse < oldest->lastUse) oldest = &window;
  }
  return *oldest;
}

void StreamWindows::Adapt(Window& window) noexcept {
  if (window.size == 0) return;
  if (window.served >= window.size / 2) {
    window.nextBytes = std::min(window.nextBytes * 2, kMaxWindowBytes);
  } else if (window.served < window.size / 4) {
    window.nextBytes = std::max(window.nextBytes / 2, kMinWindowBytes);
  }
}

bool StreamWindows::ReadDirect(uint64_t position, uint8_t* out, uint64_t length) {
  uint64_t done = 0;
  while (done < length) {
    const auto chunk = static_cast<int32_t>(
        std::min<uint64_t>(length - done, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
    if (stream_->ReadBytesAt(static_cast<int64_t>(position + done), out + done, chunk) != chunk) return false;
    done += static_cast<uint64_t>(chunk);
  }
  return true;
}

}  // namespace Korvane::DataReader
