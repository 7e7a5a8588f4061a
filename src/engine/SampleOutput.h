// SampleOutput: the host's buffers of one sample read, and the decoding of stored
// samples into them in the output form asked for. The sample readers hand it runs
// of consecutive stored samples; it writes values (or characters) and time stamps
// and advances its own cursors. The buffers belong to the host.
#pragma once

#include <cstdint>

#include "setup/ScaleType.h"

namespace Korvane::DataReader {

class CKVChannel;

class SampleOutput {
 public:
  // `channel` is the channel asked for; `storage` the one whose stored samples are
  // read (its parent for a decoded channel, else the channel itself). `values` may
  // be null only when nothing is to be written to it (character output, Text).
  // Time stamps are seconds from the measurement start: position / sampleRate,
  // brought to the external clock when one is given (non-zero).
  SampleOutput(const CKVChannel& channel, const CKVChannel& storage, void* values, double* timeStamps,
               bool charOutput, char* chars, ScaleType scaleType, double sampleRate, double externalClock);

  // Bytes of one stored sample: GetArraySize values of the storage channel.
  int64_t StoredSampleBytes() const noexcept { return storedSampleBytes_; }

  // Decodes `count` stored samples lying back to back at `bytes`; the first is at
  // full-rate position `position`, the next ones `step` positions apart.
  void Put(const uint8_t* bytes, int64_t count, int64_t position, int64_t step);
  // Where `count` stored samples may be read straight into, when the output form is
  // their plain copy (raw output of a channel with stored bytes of its own); else
  // null. PutInPlace then accounts for them.
  uint8_t* PlainCopyDestination() const noexcept;
  void PutInPlace(int64_t count, int64_t position, int64_t step);
  // The same when the time stamps were written to TimeStampSlot() already.
  void PutInPlace(int64_t count);
  // Decodes `count` stored samples whose time stamps (seconds) are `times`; null
  // when they were already written to TimeStampSlot().
  void PutTimed(const uint8_t* bytes, int64_t count, const double* times);
  // Where the time stamp of the next sample goes (null when none are wanted).
  double* TimeStampSlot() const noexcept { return timeStamps_ != nullptr ? timeStamps_ + delivered_ : nullptr; }

  // The binary forms write payloads into the value buffer, of `capacity` bytes.
  void SetBinaryCapacity(int capacity) noexcept { binaryCapacity_ = capacity; }
  // Bytes of payload written by the binary forms so far (the last payload's size
  // for BinaryData).
  int BinaryBytes() const noexcept { return binaryBytes_; }

  // Samples delivered so far.
  int64_t Delivered() const noexcept { return delivered_; }

 private:
  void PutValues(const uint8_t* bytes, int64_t values);
  void PutTimes(int64_t count, int64_t position, int64_t step);
  void PutScaledPlain(const uint8_t* bytes, int64_t values);
  void PutDecodedRaw(const uint8_t* bytes, int64_t values);
  void PutBinary(const uint8_t* bytes, int64_t values);
  double TimeOfPosition(int64_t position) const noexcept;

  const CKVChannel& channel_;
  const CKVChannel& storage_;
  uint8_t* values_;
  uint8_t* binaryOutput_;       // the payload forms write from the buffer's start
  double* timeStamps_;
  bool charOutput_;
  char* chars_;
  ScaleType scaleType_;
  double sampleRate_;
  double externalClock_;
  int storedValueBytes_;        // one stored number of the storage channel
  int valuesPerSample_;
  int64_t storedSampleBytes_;
  bool decoded_;                // the value is decoded out of the stored bytes (DI bit, CAN signal)
  double factor_ = 1;
  double summand_ = 0;
  int64_t delivered_ = 0;
  int binaryCapacity_ = 0;
  int binaryBytes_ = 0;
};

}  // namespace Korvane::DataReader
