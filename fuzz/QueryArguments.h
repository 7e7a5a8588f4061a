// The arguments a host passes to the query functions, as the whole-file query fuzz
// target makes them: buffers with guard bytes on both sides, checked after every
// call, and indexes, positions, counts and capacities drawn from the input's
// parameter bytes around the counts the library reports.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace Korvane::DataReader::Fuzz {

// A host buffer of a given size with a canary pattern in front of and behind it; a
// call that writes past either end aborts, so libFuzzer records the input.
class Guarded {
 public:
  static constexpr size_t kGuard = 64;
  static constexpr uint8_t kCanary = 0xA5;

  explicit Guarded(size_t bytes) : bytes_(bytes), storage_(bytes + 2 * kGuard, kCanary) {
    std::memset(storage_.data() + kGuard, 0xCD, bytes);
  }

  template <typename T = void>
  T* As() {
    return reinterpret_cast<T*>(storage_.data() + kGuard);
  }
  char* Chars() { return As<char>(); }
  size_t Bytes() const { return bytes_; }
  // The first value of the buffer, for scalar outputs.
  template <typename T>
  T Value() const {
    T value{};
    std::memcpy(&value, storage_.data() + kGuard, std::min(sizeof(T), bytes_));
    return value;
  }

  void Check(const char* call) const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (storage_[i] != kCanary || storage_[kGuard + bytes_ + i] != kCanary) {
        std::fprintf(stderr, "%s wrote %s its buffer of %zu bytes\n", call,
                     storage_[i] != kCanary ? "in front of" : "past", bytes_);
        std::abort();
      }
    }
  }

 private:
  size_t bytes_;
  std::vector<uint8_t> storage_;
};

// A guarded buffer for one value of T.
template <typename T>
class Out : public Guarded {
 public:
  Out() : Guarded(sizeof(T)) {}
  T* p() { return As<T>(); }
  T Get() const { return Value<T>(); }
};

// Checks every buffer a call was given.
template <typename... Buffers>
void CheckAll(const char* call, const Buffers&... buffers) {
  (buffers.Check(call), ...);
}

// The largest buffer the target allocates, so that a huge count is tried only where
// the library delivers few values, never by allocating what the count asks for.
constexpr int64_t kMaxBufferBytes = int64_t{4} << 20;

// Parameter bytes, read round and round; each draw turns one byte into a value
// near a reported count or an extreme.
class Params {
 public:
  Params(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint8_t Byte() {
    if (size_ == 0) return 0;
    const uint8_t b = bytes_[next_ % size_];
    ++next_;
    // After each full round the same bytes pick differently.
    return static_cast<uint8_t>(b + next_ / size_ * 37);
  }
  bool Bit() { return (Byte() & 1) != 0; }

  // A position or count around n: -1, 0, 1, n-1, n, n+1, n/2, a small one, the
  // extremes of int32 and int64.
  int64_t Around(int64_t n) {
    const uint8_t b = Byte();
    switch (b % 12) {
      case 0: return -1;
      case 1: return 0;
      case 2: return 1;
      case 3: return Add(n, -1);
      case 4: return n;
      case 5: return Add(n, 1);
      case 6: return n / 2;
      case 7: return b / 12;
      case 8: return std::numeric_limits<int32_t>::max();
      case 9: return std::numeric_limits<int32_t>::min();
      case 10: return std::numeric_limits<int64_t>::max();
      default: return b % 2 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(b);
    }
  }
  int32_t Around32(int64_t n) { return Narrow(Around(n)); }

  // n + d, held at the ends of int64 (the counts come from a damaged file).
  static int64_t Add(int64_t n, int64_t d) {
    int64_t sum = 0;
    if (!__builtin_add_overflow(n, d, &sum)) return sum;
    return d < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  }

  static int32_t Narrow(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
  }

  // A text capacity: zero, negative, one, a small one, or enough for `needed`.
  int32_t TextLength(int32_t needed) {
    const uint8_t b = Byte();
    switch (b % 7) {
      case 0: return 0;
      case 1: return -1 - b;
      case 2: return 1;
      case 3: return std::max(needed - 1, 0);
      case 4: return needed;
      case 5: return b / 7;
      default: return 256;
    }
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t next_ = 0;
};

// The count to size buffers by when the library gave none (its call failed): as
// many values as a window asks for.
constexpr int64_t kUnknownCount = std::numeric_limits<int64_t>::max();

// How many values of `bytesPerValue` a read of `count` from `position` writes when
// the channel holds `available`; the count shrinks so that the buffer stays within
// kMaxBufferBytes. Returns the values to allocate.
inline int64_t Deliverable(int64_t available, int64_t position, int64_t& count, int64_t bytesPerValue) {
  if (count <= 0 || available <= 0 || bytesPerValue <= 0) return 0;
  const int64_t first = std::max<int64_t>(position, 0);
  const int64_t left = first >= available ? 0 : available - first;
  const int64_t most = kMaxBufferBytes / bytesPerValue;
  int64_t values = std::min(count, left);
  if (values > most) {
    values = most;
    count = most;
  }
  return values;
}

}  // namespace Korvane::DataReader::Fuzz
