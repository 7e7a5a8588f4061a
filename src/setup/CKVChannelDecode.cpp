// CKVChannel: turning stored samples into numbers. Plain values by data type,
// digital-input bits out of their port's sample, CAN signals out of their
// message's payload, complex pairs and characters.
#include <cmath>
#include <cstring>
#include <limits>

#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

namespace {

template <class T>
T Load(const void* bytes) noexcept {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// The widest CAN signal the masks cover.
constexpr int kMaxCANSignalBits = 32;

constexpr uint32_t CutMask(int bits) noexcept {
  return bits >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << bits) - 1;
}
constexpr uint32_t SignBit(int bits) noexcept { return bits == 0 ? 0 : uint32_t{1} << (bits - 1); }
constexpr uint32_t SignedMask(int bits) noexcept { return bits == 0 ? 0 : ~(SignBit(bits) - 1); }

}  // namespace

double CKVChannel::GetValueToDouble(const void* sample) const noexcept {
  switch (DataType) {
    case kTypeUInt8:
      return Load<uint8_t>(sample);
    case kTypeInt8:
      return Load<int8_t>(sample);
    case kTypeInt16:
      return Load<int16_t>(sample);
    case kTypeUInt16:
      return Load<uint16_t>(sample);
    case kTypeInt32:
      return Load<int32_t>(sample);
    case kTypeFloat:
    case kTypeComplexFloat:
      return Load<float>(sample);
    case kTypeInt64:
      return static_cast<double>(Load<int64_t>(sample));
    case kTypeDouble:
    case kTypeComplexDouble:
      return Load<double>(sample);
    case kTypeUInt32:
      return Load<uint32_t>(sample);
    default:
      return 0.0;
  }
}

int64_t CKVChannel::GetValueToInt64(const void* sample) const noexcept {
  const double value = GetValueToDouble(sample);
  // Stored floats may hold anything; an out-of-range conversion is undefined.
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (value < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

char CKVChannel::GetValueToChar(const void* sample) const noexcept {
  const double value = GetValueToDouble(sample);
  if (std::isnan(value)) return 0;
  int asInt;
  if (value >= 2147483648.0) {
    asInt = std::numeric_limits<int>::max();
  } else if (value < -2147483648.0) {
    asInt = std::numeric_limits<int>::min();
  } else {
    asInt = static_cast<int>(value);
  }
  return static_cast<char>(static_cast<unsigned char>(static_cast<unsigned int>(asInt) & 0xFFu));
}

double CKVChannel::DecodeCANCh(const uint8_t* payload, int payloadBytes) const noexcept {
  const int bits = SignalBitLength;
  if (BitLength <= 0 || bits <= 0 || bits > kMaxCANSignalBits) return 0;
  // The signal's bytes must all lie inside the stored payload.
  if (StartByte < 0 || EndByte < 0 || StartByte >= payloadBytes || EndByte >= payloadBytes) return 0;
  if (StartBitInByte < 0 || StartBitInByte > 7) return 0;

  uint32_t v = static_cast<uint32_t>(payload[StartByte]) >> StartBitInByte;
  int shift = 8 - StartBitInByte;
  if (DataDirection == 1 && StartByte > EndByte) {
    v &= CutMask(shift);
    for (int i = StartByte - 1; i >= EndByte && shift < 32; --i, shift += 8) {
      v |= static_cast<uint32_t>(payload[i]) << shift;
    }
  } else if (DataDirection != 1 && StartByte < EndByte) {
    v &= CutMask(shift);
    for (int i = StartByte + 1; i <= EndByte && shift < 32; ++i, shift += 8) {
      v |= static_cast<uint32_t>(payload[i]) << shift;
    }
  }
  v &= CutMask(bits);

  if (CANDataType == 1) {
    if ((v & SignBit(bits)) != 0) v |= SignedMask(bits);
    return static_cast<int32_t>(v);
  }
  if (CANDataType == 2) {
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
  }
  return v;
}

double CKVChannel::DecodeDICh(const uint8_t* portSample) const noexcept {
  // The port's sample is read in the port's own data type.
  const CKVChannel& port = ParentChannel != nullptr ? *ParentChannel : *this;
  const int64_t v = port.GetValueToInt64(portSample);
  return static_cast<double>((v >> (BitNo & 63)) & 1);
}

double CKVChannel::GetScaledValueFromBuf(const uint8_t* buffer, int64_t& position, void* raw) const {
  const uint8_t* sample = buffer + position;
  double v;
  if (DecodedFromParent) {
    const int parentBytes = StoredSampleBytes();
    if (ChannelGroup == kGroupDI) {
      v = DecodeDICh(sample);
    } else if (ChannelGroup == kGroupCAN) {
      v = DecodeCANCh(sample, parentBytes);
    } else {
      v = 0;
    }
    position += parentBytes;
  } else if (IsCAN() && MultiplexType == 2) {
    v = DecodeCANCh(sample, GetSampleBytes());
    position += GetSampleBytes();
  } else {
    if (raw != nullptr) std::memcpy(raw, sample, static_cast<size_t>(GetSampleBytes()));
    v = GetValueToDouble(sample);
    position += GetSampleBytes();
  }
  return GetScaledValue(v);
}

void CKVChannel::GetComplexValueFromBuf(const uint8_t* buffer, int64_t& position, KVComplex* out,
                                        ScaleType scaleType) const {
  const int half = GetSampleBytes() / 2;
  double re = GetValueToDouble(buffer + position);
  position += half;
  double im = GetValueToDouble(buffer + position);
  position += half;
  if (scaleType != ScaleType::Raw) {
    im = GetScaledValue(im);
    re = GetScaledValue(re);
  }
  out->re = re;
  out->im = im;
}

char CKVChannel::GetCharValueFromBuf(const uint8_t* buffer, int64_t& position) const {
  const char c = GetValueToChar(buffer + position);
  position += GetSampleBytes();
  return c;
}

}  // namespace Korvane::DataReader
