// Samples, text values and binary samples: the argument checks of the sample
// functions in front of one engine read each. The engine writes straight into the
// host's buffers.
#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "reader/CKVDataReader.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {
namespace {

// A count above 0 needs somewhere to put the values.
void RequireOutput(const void* output, int32_t count) {
  if (output == nullptr && count > 0) throw NoMemoryAllocException();
}

// A CAN channel's samples are whole bus frames unless it is the port channel or a
// signal decoded from them; those others have no value of their own.
void RequireReadableCAN(const CKVChannel& channel) {
  if (channel.IsCAN() && !channel.IsCANPortChannel() && !channel.IsCANDecoded()) {
    throw CANIsNotSupportedException();
  }
}

// A complex channel's samples are KVComplex records of 16 bytes; the plain sample
// functions promise a double (or the stored bytes of one value) per value, so a
// host that sized its buffer by that would be overrun.
void RequirePlainValues(const CKVChannel& channel) {
  if (channel.IsComplex()) {
    throw DataReaderLibException(KVError, "Complex channel: read it with the complex sample functions");
  }
}

}  // namespace

int64_t CKVDataReader::KVGetSamplesCount(int32_t index) const {
  const CKVChannel* channel = ChannelOrNull(index);
  return channel != nullptr ? engine_->GetSamplesCount(channel) : -1;
}

// The checks every sample read shares, then the read in the form asked for.
const CKVChannel& CKVDataReader::ReadSamples(int32_t index, int64_t position, int32_t count, void* data,
                                             double* timeStamps, ScaleType scaleType) const {
  RequireOutput(data, count);
  const CKVChannel& channel = ChannelAt(index);
  if (count > 0) engine_->GetSamples(&channel, position, count, data, timeStamps, scaleType);
  return channel;
}

void CKVDataReader::KVGetScaledSamples(int32_t index, int64_t position, int32_t count, double* data,
                                       double* timeStamps) const {
  RequirePlainValues(ChannelAt(index));
  RequireReadableCAN(ReadSamples(index, position, count, data, timeStamps, ScaleType::Scaled));
}

void CKVDataReader::KVGetRawSamples(int32_t index, int64_t position, int32_t count, void* data,
                                    double* timeStamps) const {
  RequirePlainValues(ChannelAt(index));
  RequireReadableCAN(ReadSamples(index, position, count, data, timeStamps, ScaleType::Raw));
}

void CKVDataReader::KVGetComplexScaledSamples(int32_t index, int64_t position, int32_t count, KVComplex* data,
                                              double* timeStamps) const {
  ReadSamples(index, position, count, data, timeStamps, ScaleType::Scaled);
}

void CKVDataReader::KVGetComplexRawSamples(int32_t index, int64_t position, int32_t count, KVComplex* data,
                                           double* timeStamps) const {
  ReadSamples(index, position, count, data, timeStamps, ScaleType::Raw);
}

void CKVDataReader::KVGetBinarySamples(int32_t index, int64_t position, char* buffer, double* timeStamp,
                                       int32_t* size) const {
  if (buffer == nullptr || size == nullptr || *size == 0) throw NoMemoryAllocException();
  engine_->GetBinarySamples(&ChannelAt(index), position, buffer, timeStamp, size);
}

void CKVDataReader::KVGetBinarySamplesEx(int32_t index, int64_t position, int32_t count, char* buffer,
                                         double* timeStamps, int32_t* size) const {
  if (buffer == nullptr || size == nullptr || *size == 0) throw NoMemoryAllocException();
  engine_->GetBinarySamplesEx(&ChannelAt(index), position, count, buffer, timeStamps, size);
}

void CKVDataReader::KVGetBinRecSamples(int32_t index, int64_t position, int32_t count, KVBinarySample* records,
                                       double* timeStamps) const {
  const CKVChannel& channel = ChannelAt(index);
  // The records are written whatever else happens: without them there is nowhere to go.
  RequireOutput(records, count);
  engine_->GetBinaryRecSamples(&channel, position, count, timeStamps, records);
}

void CKVDataReader::KVGetBinData(int32_t index, const KVBinarySample* sample, char* buffer, int64_t* position,
                                 int32_t size) const {
  const CKVChannel& channel = ChannelAt(index);
  if (sample == nullptr || buffer == nullptr || position == nullptr) throw NoMemoryAllocException();
  engine_->GetBinaryData(&channel, *sample, buffer, position, size);
}

int64_t CKVDataReader::KVGetTextValuesCount(int32_t index) const {
  const CKVChannel* channel = ChannelOrNull(index);
  return channel != nullptr ? engine_->GetTextValuesCount(channel) : -1;
}

void CKVDataReader::KVGetTextValues(int32_t index, int32_t position, int32_t count, char* text,
                                    double* timeStamps) const {
  if (text == nullptr) throw NoMemoryAllocException();
  engine_->GetTextValues(&ChannelAt(index), position, count, text, timeStamps);
}

}  // namespace Korvane::DataReader
