// The statistics item a channel stores per reduced interval, and the output forms
// a window of decoded items is written in. The engine's reduced reads decode every
// item through DecodeReducedItem and hand it to a ReducedOutputs, which writes
// into the caller's arrays; nothing here owns memory.
#pragma once

#include <bit>
#include <cstdint>
#include <utility>

#include "KVDataReaderLib.h"
#include "common/LittleEndian.h"

namespace Korvane::DataReader {

class CKVChannel;

// A stored statistics item, little-endian: minimum, maximum, average and RMS, each
// an IEEE double for channels of double precision, else an IEEE float. Complex
// channels of asynchronous recordings with ComplexIBBuffers store twelve numbers
// instead, of which only the first three (without an RMS) are read.
struct ReducedItemLayout {
  static constexpr int kMinimum = 0;  // value slots, in numbers from the item's start
  static constexpr int kMaximum = 1;
  static constexpr int kAverage = 2;
  static constexpr int kRms = 3;
  static constexpr int kPlainValues = 4;
  static constexpr int kComplexBufferValues = 12;
  static constexpr int kComplexBufferReadValues = 3;
  static constexpr int kDoubleBytes = 8;
  static constexpr int kFloatBytes = 4;
  // The most an item decode reads.
  static constexpr int kLargestReadBytes = kPlainValues * kDoubleBytes;
  // What follows each item of an asynchronous channel stored on its own: a time
  // record without an index, a flag byte with one.
  static constexpr int kAsyncTailBytes = 24;
  static constexpr int kAsyncIndexedTailBytes = 1;
};
static_assert(ReducedItemLayout::kLargestReadBytes == 32);

// Whether the channel's items are the twelve-number complex form.
bool HasComplexBuffers(const CKVChannel& channel) noexcept;
// Bytes a decode reads from the item's start (32, 16, 24 or 12).
int ReducedReadBytes(const CKVChannel& channel) noexcept;
// Bytes from one item to the next in a stream of the channel's own.
int64_t OwnReducedStride(const CKVChannel& channel) noexcept;
// Where an asynchronous channel's tail lies in its part of a reduced record:
// behind its statistics items, or at 0 for a channel that stores only reduced
// time stamps.
int64_t CalculateReducedRecAsyncOffset(const CKVChannel& channel) noexcept;

// One item, scaled by the channel; minimum <= maximum even for negative scales.
struct ScaledReducedValue {
  double minimum = 0;
  double maximum = 0;
  double average = 0;
  double rms = 0;
  bool hasRms = true;
};

// The decoding of one channel's items, with what it needs of the channel worked
// out once, so that reads of many items do not ask the channel again per item.
class ReducedItemDecoder {
 public:
  explicit ReducedItemDecoder(const CKVChannel& channel) noexcept;
  // Decodes the item at `item`, which holds ReducedReadBytes(channel) bytes.
  ScaledReducedValue Decode(const uint8_t* item) const noexcept;

 private:
  int valueBytes_;
  bool hasRms_;
  double factor_;   // GetScaledValue(x) is x * factor_ + summand_
  double summand_;
  bool rmsRescaled_;  // GetValueRMS(x) is x / rmsDivisor_ * rmsFactor_ when set, else x
  double rmsDivisor_;
  double rmsFactor_;
};

// Decodes the item at `item`, which holds ReducedReadBytes(channel) bytes.
ScaledReducedValue DecodeReducedItem(const CKVChannel& channel, const uint8_t* item) noexcept;
// The statistic of selector 0 (maximum), 1 (minimum), 2 (average) or 3 (RMS, 0
// when the item has none); 0 for any other selector.
double SelectReducedValue(const ScaledReducedValue& value, int selector) noexcept;

// The caller's output arrays of a reduced read and the selector that chooses
// which of them are written (-1 records, 0 to 3 values, 4 the four arrays; time
// stamps go with 0 to 4 when given). A null array is never written.
struct ReducedOutputs {
  KVReducedValue* records = nullptr;
  double* values = nullptr;
  double* timeStamps = nullptr;
  int selector = KVReducedRecords;
  double* minima = nullptr;
  double* averages = nullptr;
  double* maxima = nullptr;
  double* rmsValues = nullptr;

  // Whether the selector names a form at all.
  bool HasForm() const noexcept { return selector >= KVReducedRecords && selector <= KVReducedAll; }
  // Writes one value at element `position` of the arrays the selector uses.
  void Put(int64_t position, const ScaledReducedValue& value, double timeStamp) const noexcept;
  // The same outputs starting `elements` further on (a channel's slice of a block read).
  ReducedOutputs Shifted(int64_t elements) const noexcept;
};

// --- Inline: a block read decodes and writes one item per channel and record ---

inline ScaledReducedValue ReducedItemDecoder::Decode(const uint8_t* item) const noexcept {
  using Layout = ReducedItemLayout;
  double stored[Layout::kPlainValues];
  const int count = hasRms_ ? Layout::kPlainValues : Layout::kComplexBufferReadValues;
  if (valueBytes_ == Layout::kDoubleBytes) {
    for (int i = 0; i < count; ++i) stored[i] = std::bit_cast<double>(static_cast<uint64_t>(LoadI64(item + 8 * i)));
  } else {
    for (int i = 0; i < count; ++i) stored[i] = static_cast<double>(std::bit_cast<float>(LoadU32(item + 4 * i)));
  }
  ScaledReducedValue value;
  value.minimum = stored[Layout::kMinimum] * factor_ + summand_;
  value.maximum = stored[Layout::kMaximum] * factor_ + summand_;
  value.average = stored[Layout::kAverage] * factor_ + summand_;
  value.hasRms = hasRms_;
  if (hasRms_) value.rms = rmsRescaled_ ? stored[Layout::kRms] / rmsDivisor_ * rmsFactor_ : stored[Layout::kRms];
  // A negative scale turns the stored minimum into the larger value.
  if (value.minimum > value.maximum) std::swap(value.minimum, value.maximum);
  return value;
}

inline void ReducedOutputs::Put(int64_t position, const ScaledReducedValue& value, double timeStamp) const noexcept {
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

}  // namespace Korvane::DataReader
