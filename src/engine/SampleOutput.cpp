// Decoding runs of stored samples into the host's buffers. Plain numeric channels
// with scaled output take a tight loop per data type (the common case, and the one
// that must keep up with the disk); every other form goes value by value through
// the channel model's decoders.
#include "engine/SampleOutput.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "KVDataReaderLib.h"
#include "setup/CKVChannel.h"
#include "setup/ChannelCodes.h"

namespace Korvane::DataReader {

namespace {

template <class T>
void ScaleRun(const uint8_t* bytes, int64_t values, double factor, double summand, uint8_t* out) {
  for (int64_t i = 0; i < values; ++i) {
    T stored;
    std::memcpy(&stored, bytes + i * static_cast<int64_t>(sizeof(T)), sizeof(T));
    const double scaled = static_cast<double>(stored) * factor + summand;
    std::memcpy(out + i * 8, &scaled, 8);
  }
}

// Truncation toward zero that saturates instead of leaving the integer's range (a
// stored float may hold anything; NaN gives 0).
int64_t Truncated(double value) {
  if (!(value == value)) return 0;
  if (value >= 9223372036854775808.0) return INT64_MAX;
  if (value < -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(value);
}

// A decoded number written in the channel's own stored form, for the raw output of
// channels that have no stored bytes of their own.
void StoreAsDataType(int dataType, double value, uint8_t* out) {
  auto store = [out](auto typed) { std::memcpy(out, &typed, sizeof typed); };
  switch (dataType) {
    case kTypeUInt8: store(static_cast<uint8_t>(Truncated(value))); break;
    case kTypeInt8: store(static_cast<int8_t>(Truncated(value))); break;
    case kTypeInt16: store(static_cast<int16_t>(Truncated(value))); break;
    case kTypeUInt16: store(static_cast<uint16_t>(Truncated(value))); break;
    case kTypeInt32: store(static_cast<int32_t>(Truncated(value))); break;
    case kTypeUInt32: store(static_cast<uint32_t>(Truncated(value))); break;
    case kTypeInt64: store(Truncated(value)); break;
    case kTypeFloat: store(static_cast<float>(value)); break;
    case kTypeDouble: store(value); break;
    default: break;
  }
}

}  // namespace

SampleOutput::SampleOutput(const CKVChannel& channel, const CKVChannel& storage, void* values, double* timeStamps,
                           bool charOutput, char* chars, ScaleType scaleType, double sampleRate,
                           double externalClock)
    : channel_(channel),
      storage_(storage),
      values_(static_cast<uint8_t*>(values)),
      binaryOutput_(static_cast<uint8_t*>(values)),
      timeStamps_(timeStamps),
      charOutput_(charOutput),
      chars_(chars),
      scaleType_(scaleType),
      sampleRate_(sampleRate),
      externalClock_(externalClock),
      storedValueBytes_(storage.GetSampleBytes()),
      valuesPerSample_(&storage == &channel ? channel.GetArraySize() : 1),
      storedSampleBytes_(static_cast<int64_t>(storedValueBytes_) * valuesPerSample_),
      decoded_(&storage != &channel || (channel.IsCAN() && channel.MultiplexType == 2)) {
  channel.GetScaling(factor_, summand_);
}

double SampleOutput::TimeOfPosition(int64_t position) const noexcept {
  const double seconds = static_cast<double>(position) / sampleRate_;
  return externalClock_ != 0 ? seconds * sampleRate_ / externalClock_ : seconds;
}

void SampleOutput::Put(const uint8_t* bytes, int64_t count, int64_t position, int64_t step) {
  if (count <= 0) return;
  PutValues(bytes, count * valuesPerSample_);
  PutTimes(count, position, step);
}

uint8_t* SampleOutput::PlainCopyDestination() const noexcept {
  const bool plainCopy = scaleType_ == ScaleType::RawEx || (scaleType_ == ScaleType::Raw && !channel_.IsComplex());
  return plainCopy && !charOutput_ && !decoded_ ? values_ : nullptr;
}

void SampleOutput::PutInPlace(int64_t count, int64_t position, int64_t step) {
  if (count <= 0) return;
  values_ += count * storedSampleBytes_;
  PutTimes(count, position, step);
}

void SampleOutput::PutInPlace(int64_t count) {
  if (count <= 0) return;
  values_ += count * storedSampleBytes_;
  delivered_ += count;
}

void SampleOutput::PutTimes(int64_t count, int64_t position, int64_t step) {
  if (timeStamps_ != nullptr) {
    double* out = timeStamps_ + delivered_;
    for (int64_t i = 0; i < count; ++i) out[i] = TimeOfPosition(position + i * step);
  }
  delivered_ += count;
}

void SampleOutput::PutTimed(const uint8_t* bytes, int64_t count, const double* times) {
  if (count <= 0) return;
  PutValues(bytes, count * valuesPerSample_);
  if (timeStamps_ != nullptr && times != nullptr) {
    std::memcpy(timeStamps_ + delivered_, times, static_cast<size_t>(count) * sizeof(double));
  }
  delivered_ += count;
}

void SampleOutput::PutValues(const uint8_t* bytes, int64_t values) {
  if (charOutput_) {
    for (int64_t i = 0; i < values; ++i) *chars_++ = channel_.GetValueToChar(bytes + i * storedValueBytes_);
    return;
  }
  if (scaleType_ == ScaleType::BinaryData || scaleType_ == ScaleType::BinaryPacked ||
      scaleType_ == ScaleType::BinaryRecords) {
    PutBinary(bytes, values);
    return;
  }
  if (channel_.IsCANPortChannel() && !decoded_) {
    // A port channel carries whole bus frames: they have a raw form but no number.
    if (scaleType_ == ScaleType::Scaled) {
      std::memset(values_, 0, static_cast<size_t>(values) * 8);
      values_ += values * 8;
    } else if (scaleType_ == ScaleType::Raw || scaleType_ == ScaleType::RawEx) {
      std::memcpy(values_, bytes, static_cast<size_t>(values * storedValueBytes_));
      values_ += values * storedValueBytes_;
    }
    return;
  }
  if (channel_.IsComplex()) {
    if (scaleType_ == ScaleType::RawEx) {
      std::memcpy(values_, bytes, static_cast<size_t>(values * storedValueBytes_));
      values_ += values * storedValueBytes_;
      return;
    }
    int64_t position = 0;
    for (int64_t i = 0; i < values; ++i) {
      KVComplex value;
      channel_.GetComplexValueFromBuf(bytes, position, &value, scaleType_);
      std::memcpy(values_, &value, sizeof value);
      values_ += sizeof value;
    }
    return;
  }
  switch (scaleType_) {
    case ScaleType::Scaled:
      if (decoded_) {
        int64_t position = 0;
        for (int64_t i = 0; i < values; ++i) {
          const double value = channel_.GetScaledValueFromBuf(bytes, position, nullptr);
          std::memcpy(values_ + i * 8, &value, 8);
        }
      } else {
        PutScaledPlain(bytes, values);
      }
      values_ += values * 8;
      return;
    case ScaleType::Raw:
    case ScaleType::RawEx:
      if (decoded_) {
        PutDecodedRaw(bytes, values);
      } else {
        std::memcpy(values_, bytes, static_cast<size_t>(values * storedValueBytes_));
      }
      values_ += values * channel_.GetSampleBytes();
      return;
    default:
      return;  // Text and the binary forms write no values here
  }
}

void SampleOutput::PutScaledPlain(const uint8_t* bytes, int64_t values) {
  switch (channel_.DataType) {
    case kTypeUInt8: return ScaleRun<uint8_t>(bytes, values, factor_, summand_, values_);
    case kTypeInt8: return ScaleRun<int8_t>(bytes, values, factor_, summand_, values_);
    case kTypeInt16: return ScaleRun<int16_t>(bytes, values, factor_, summand_, values_);
    case kTypeUInt16: return ScaleRun<uint16_t>(bytes, values, factor_, summand_, values_);
    case kTypeInt32: return ScaleRun<int32_t>(bytes, values, factor_, summand_, values_);
    case kTypeUInt32: return ScaleRun<uint32_t>(bytes, values, factor_, summand_, values_);
    case kTypeInt64: return ScaleRun<int64_t>(bytes, values, factor_, summand_, values_);
    case kTypeFloat: return ScaleRun<float>(bytes, values, factor_, summand_, values_);
    case kTypeDouble: return ScaleRun<double>(bytes, values, factor_, summand_, values_);
    default:
      // Text, binary and CAN records have no number; the channel model says 0.
      for (int64_t i = 0; i < values; ++i) {
        const double value = channel_.GetScaledValue(channel_.GetValueToDouble(bytes + i * storedValueBytes_));
        std::memcpy(values_ + i * 8, &value, 8);
      }
  }
}

// A binary channel's samples locate payloads in its binary stream: the payload
// forms copy them into the buffer, the record form copies the 16-byte locators as
// stored (little-endian, as KVBinarySample holds them). Any other channel asked for
// records gets its stored bytes in 16-byte slots, zero-padded, so that nothing is
// read beyond a sample.
void SampleOutput::PutBinary(const uint8_t* bytes, int64_t values) {
  constexpr int64_t kRecordBytes = 16;
  if (scaleType_ == ScaleType::BinaryRecords) {
    const size_t copied = static_cast<size_t>(std::min<int64_t>(storedValueBytes_, kRecordBytes));
    for (int64_t i = 0; i < values; ++i) {
      std::memset(values_ + i * kRecordBytes, 0, kRecordBytes);
      std::memcpy(values_ + i * kRecordBytes, bytes + i * storedValueBytes_, copied);
    }
    values_ += values * kRecordBytes;
    return;
  }
  if (!channel_.IsBinary()) return;
  int64_t position = 0;
  for (int64_t i = 0; i < values; ++i) {
    channel_.GetBinDataFromBuf(bytes, position, binaryOutput_, binaryBytes_, binaryCapacity_, scaleType_);
  }
}

// A digital-input bit or a CAN signal has no stored bytes of its own: its raw value
// is the decoded number before scaling, in the channel's own data type.
void SampleOutput::PutDecodedRaw(const uint8_t* bytes, int64_t values) {
  const int outBytes = channel_.GetSampleBytes();
  int64_t position = 0;
  for (int64_t i = 0; i < values; ++i) {
    const uint8_t* sample = bytes + position;
    double value = 0;
    if (channel_.ChannelGroup == kGroupDI) {
      value = channel_.DecodeDICh(sample);
    } else if (channel_.IsCAN()) {
      value = channel_.DecodeCANCh(sample, storedValueBytes_);
    }
    position += storedValueBytes_;
    StoreAsDataType(channel_.DataType, value, values_ + i * outBytes);
  }
}

}  // namespace Korvane::DataReader
