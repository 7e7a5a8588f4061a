// Decoding of stored statistics items and the writing of the reduced output forms.
#include "engine/ReducedItem.h"

#include <cstddef>

#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

namespace {

using Layout = ReducedItemLayout;

int ValueBytes(const CKVChannel& channel) noexcept {
  return channel.IsDoublePrecision() ? Layout::kDoubleBytes : Layout::kFloatBytes;
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

int64_t CalculateReducedRecAsyncOffset(const CKVChannel& channel) noexcept {
  if (channel.getOnlyIBTimeStamp()) return 0;
  const int values = HasComplexBuffers(channel) ? Layout::kComplexBufferValues : Layout::kPlainValues;
  constexpr int64_t kArrayPartBytes = 8;
  return static_cast<int64_t>(channel.getIBArrayChSize()) * kArrayPartBytes +
         static_cast<int64_t>(channel.getIBItemChSize()) * values * ValueBytes(channel);
}

ReducedItemDecoder::ReducedItemDecoder(const CKVChannel& channel) noexcept
    : valueBytes_(ValueBytes(channel)),
      hasRms_(!HasComplexBuffers(channel)),
      rmsRescaled_(channel.HasOrigScale),
      rmsDivisor_(channel.OrigScale),
      rmsFactor_(channel.Scale) {
  channel.GetScaling(factor_, summand_);
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
