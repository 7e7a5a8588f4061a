// Decoding of stored statistics items and the writing of the reduced output forms.
#include "engine/ReducedItem.h"

#include <bit>
#include <cstddef>
#include <utility>

#include "common/LittleEndian.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

namespace {

using Layout = ReducedItemLayout;

int ValueBytes(const CKVChannel& channel) noexcept {
  return channel.IsDoublePrecision() ? Layout::kDoubleBytes : Layout::kFloatBytes;
}

double LoadNumber(const uint8_t* item, int slot, int valueBytes) noexcept {
  const uint8_t* p = item + static_cast<ptrdiff_t>(slot) * valueBytes;
  if (valueBytes == Layout::kDoubleBytes) return std::bit_cast<double>(static_cast<uint64_t>(LoadI64(p)));
  return static_cast<double>(std::bit_cast<float>(LoadU32(p)));
}

template <class T>
T* Advance(T* array, int64_t elements) noexcept {
  return array != nullptr ? array + elements : nullptr;
}

}  // namespace

bool HasComplexBuffers(const CKVChannel& channel) noexcept {
  return channel.IsComplex() && channel.Async && channel.ComplexIBBuffers;
}

int ReducedReadBytes(const CKVChannel& channel) noexcept {
  const int values = HasComplexBuffers(channel) ? Layout::kComplexBufferReadValues : Layout::kPlainValues;
  return values * ValueBytes(channel);
}

int64_t OwnReducedStride(const CKVChannel& channel) noexcept {
  const int values = HasComplexBuffers(channel) ? Layout::kComplexBufferValues : Layout::kPlainValues;
  int64_t stride = static_cast<int64_t>(values) * ValueBytes(channel);
  if (channel.Async) {
    stride += channel.GetAsyncIndex() < 0 ? Layout::kAsyncTailBytes : Layout::kAsyncIndexedTailBytes;
  }
  return stride;
}

ReducedItemDecoder::ReducedItemDecoder(const CKVChannel& channel) noexcept
    : valueBytes_(ValueBytes(channel)),
      hasRms_(!HasComplexBuffers(channel)),
      rmsRescaled_(channel.HasOrigScale),
      rmsDivisor_(channel.OrigScale),
      rmsFactor_(channel.Scale) {
  channel.GetScaling(factor_, summand_);
}

ScaledReducedValue ReducedItemDecoder::Decode(const uint8_t* item) const noexcept {
  ScaledReducedValue value;
  value.minimum = LoadNumber(item, Layout::kMinimum, valueBytes_) * factor_ + summand_;
  value.maximum = LoadNumber(item, Layout::kMaximum, valueBytes_) * factor_ + summand_;
  value.average = LoadNumber(item, Layout::kAverage, valueBytes_) * factor_ + summand_;
  value.hasRms = hasRms_;
  if (hasRms_) {
    const double rms = LoadNumber(item, Layout::kRms, valueBytes_);
    value.rms = rmsRescaled_ ? rms / rmsDivisor_ * rmsFactor_ : rms;
  }
  // A negative scale turns the stored minimum into the larger value.
  if (value.minimum > value.maximum) std::swap(value.minimum, value.maximum);
  return value;
}

ScaledReducedValue DecodeReducedItem(const CKVChannel& channel, const uint8_t* item) noexcept {
  return ReducedItemDecoder(channel).Decode(item);
}

double SelectReducedValue(const ScaledReducedValue& value, int selector) noexcept {
  switch (selector) {
    case KVReducedMaximum: return value.maximum;
    case KVReducedMinimum: return value.minimum;
    case KVReducedAverage: return value.average;
    case KVReducedRMS: return value.hasRms ? value.rms : 0;
    default: return 0;
  }
}

void ReducedOutputs::Put(int64_t position, const ScaledReducedValue& value, double timeStamp) const noexcept {
  if (selector == KVReducedRecords) {
    if (records == nullptr) return;
    KVReducedValue& record = records[position];
    record.time_stamp = timeStamp;
    record.ave = value.average;
    record.min = value.minimum;
    record.max = value.maximum;
    if (value.hasRms) record.rms = value.rms;
    return;
  }
  if (!HasForm()) return;
  if (timeStamps != nullptr) timeStamps[position] = timeStamp;
  if (selector != KVReducedAll) {
    if (values != nullptr) values[position] = SelectReducedValue(value, selector);
    return;
  }
  if (minima != nullptr) minima[position] = value.minimum;
  if (averages != nullptr) averages[position] = value.average;
  if (maxima != nullptr) maxima[position] = value.maximum;
  if (rmsValues != nullptr && value.hasRms) rmsValues[position] = value.rms;
}

ReducedOutputs ReducedOutputs::Shifted(int64_t elements) const noexcept {
  ReducedOutputs shifted = *this;
  shifted.records = Advance(records, elements);
  shifted.values = Advance(values, elements);
  shifted.timeStamps = Advance(timeStamps, elements);
  shifted.minima = Advance(minima, elements);
  shifted.averages = Advance(averages, elements);
  shifted.maxima = Advance(maxima, elements);
  shifted.rmsValues = Advance(rmsValues, elements);
  return shifted;
}

}  // namespace Korvane::DataReader
