// Window-by-window reads through the sample functions of each channel list.
#include "SampleWindows.h"

#include <algorithm>
#include <cstring>

#include "KVDataReaderLib.h"
#include "ToolError.h"

namespace kvtool {
namespace {

// A window holds at most this many values, whatever the array size.
constexpr int64_t kMaxWindowValues = int64_t{1} << 20;
// A binary payload larger than this is refused rather than allocated.
constexpr int64_t kMaxBinaryPayload = int64_t{256} << 20;

template <typename T>
T Load(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

std::string Hex(const uint8_t* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(2 * size, '0');
  for (size_t i = 0; i < size; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return out;
}

// One stored value as a double and as its exact text.
void ConvertRaw(int32_t dataType, const uint8_t* bytes, size_t size, double& value, std::string& text) {
  switch (dataType) {
    case KVDataTypeUInt8: value = Load<uint8_t>(bytes); break;
    case KVDataTypeInt8: value = Load<int8_t>(bytes); break;
    case KVDataTypeInt16: value = Load<int16_t>(bytes); break;
    case KVDataTypeUInt16: value = Load<uint16_t>(bytes); break;
    case KVDataTypeInt32: value = Load<int32_t>(bytes); break;
    case KVDataTypeUInt32: value = Load<uint32_t>(bytes); break;
    case KVDataTypeInt64: {
      const auto integer = Load<int64_t>(bytes);
      value = static_cast<double>(integer);
      text = std::to_string(integer);
      return;
    }
    case KVDataTypeFloat: value = Load<float>(bytes); break;
    case KVDataTypeDouble: value = Load<double>(bytes); break;
    default:
      // Stored forms without a number of their own (CAN records and messages).
      value = 0;
      text = Hex(bytes, size);
      return;
  }
  text.clear();
}

}  // namespace

SampleWindows::SampleWindows(const ChannelEntry& channel, SampleRange range, bool raw, int64_t windowSamples)
    : channel_(channel),
      range_(range),
      raw_(raw),
      windowSamples_(std::max<int64_t>(1, std::min(windowSamples, kMaxWindowValues / std::max(channel.arraySize, 1)))),
      next_(range.first) {}

bool SampleWindows::Next(SampleWindow& window) {
  const int64_t end = range_.first + range_.count;
  if (next_ >= end) return false;
  const auto n = static_cast<int32_t>(std::min(windowSamples_, end - next_));
  const auto values = static_cast<size_t>(n) * static_cast<size_t>(channel_.arraySize);
  window.first = next_;
  window.count = n;
  window.time.resize(static_cast<size_t>(n));
  window.texts.clear();
  const std::string what = "reading samples " + std::to_string(next_) + " to " + std::to_string(next_ + n - 1) +
                           " of " + channel_.name;
  switch (channel_.list) {
    case ChannelList::kNumeric:
      window.values.resize(values);
      if (!raw_) {
        CheckStatus(KVGetScaledSamples(channel_.index, next_, n, window.values.data(), window.time.data()), what);
        break;
      }
      rawBytes_.assign(values * static_cast<size_t>(std::max(channel_.valueBytes, 1)), 0);
      CheckStatus(KVGetRawSamples(channel_.index, next_, n, rawBytes_.data(), window.time.data()), what);
      window.texts.resize(values);
      for (size_t i = 0; i < values; ++i) {
        const size_t size = static_cast<size_t>(std::max(channel_.valueBytes, 1));
        ConvertRaw(channel_.dataType, rawBytes_.data() + i * size, size, window.values[i], window.texts[i]);
      }
      break;
    case ChannelList::kComplex: {
      std::vector<KVComplex> complex(static_cast<size_t>(n));
      const auto read = raw_ ? KVGetComplexRawSamples : KVGetComplexScaledSamples;
      CheckStatus(read(channel_.index, next_, n, complex.data(), window.time.data()), what);
      window.values.resize(2 * static_cast<size_t>(n));
      for (size_t i = 0; i < complex.size(); ++i) {
        window.values[2 * i] = complex[i].re;
        window.values[2 * i + 1] = complex[i].im;
      }
      break;
    }
    case ChannelList::kText: {
      if (next_ + n > INT32_MAX) throw ToolError(kExitBadInput, "text values beyond 2^31 are out of reach");
      rawBytes_.assign(values, 0);
      CheckStatus(KVGetTextValues(channel_.index, static_cast<int32_t>(next_), n,
                                  reinterpret_cast<char*>(rawBytes_.data()), window.time.data()),
                  what);
      window.values.clear();
      for (int32_t i = 0; i < n; ++i) {
        const char* text = reinterpret_cast<const char*>(rawBytes_.data()) + size_t(i) * size_t(channel_.arraySize);
        window.texts.emplace_back(text, strnlen(text, static_cast<size_t>(channel_.arraySize)));
      }
      break;
    }
    case ChannelList::kBinary: {
      std::vector<KVBinarySample> records(static_cast<size_t>(n));
      CheckStatus(KVGetBinRecSamples(channel_.index, next_, n, records.data(), window.time.data()), what);
      window.values.clear();
      for (const KVBinarySample& record : records) {
        if (record.size < 0 || record.size > kMaxBinaryPayload) {
          throw ToolError(kExitLibraryFailure, what + ": a payload of " + std::to_string(record.size) + " bytes");
        }
        rawBytes_.assign(static_cast<size_t>(std::max<int64_t>(record.size, 1)), 0);
        int64_t position = 0;
        if (record.size > 0) {
          CheckStatus(KVGetBinData(channel_.index, &record, reinterpret_cast<char*>(rawBytes_.data()), &position,
                                   static_cast<int32_t>(record.size)),
                      what);
        }
        window.texts.push_back(Hex(rawBytes_.data(), static_cast<size_t>(record.size)));
      }
      break;
    }
  }
  next_ += n;
  return true;
}

}  // namespace kvtool
