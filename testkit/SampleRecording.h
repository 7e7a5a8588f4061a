// SampleRecording: the demo's recording, built by the test kit: three analogue
// channels, an array channel at a tenth of the rate, a counter, a text single
// value and an asynchronous channel in the timestamp index, stored online in three regions with gaps between them (the second one
// stopping inside a block), with two reduced levels. The demo writes it to disk;
// tests read it back and compare with the values it holds, which come with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/MeasurementDataWriter.h"
#include "testkit/RecordingWriter.h"

namespace Korvane::DataReader::TestKit {

// One synchronous channel of the sample recording, as written.
struct SampleChannel {
  std::string index;  // its index string ("AI;0")
  std::string name;
  int32_t dataType = 7;
  int32_t srDiv = 1;
  int32_t arraySize = 1;
  // Physical values over the whole recording time, arraySize per sample; sample i
  // belongs to full-rate position i x srDiv. The setup scales every channel by 1
  // and offsets it by 0, so these are also the stored numbers. The regions hold
  // the samples RegionSampleIndexes (layout, srDiv) lists, in reading order.
  std::vector<double> values;
  // Whether the reduced levels hold statistics of the channel (not for arrays).
  bool reduced = true;
};

// The asynchronous channel of the sample recording, as written: samples at
// irregular full-rate positions inside the regions (none in the gaps), in time order.
struct SampleAsyncChannel {
  std::string index;
  std::string name;
  std::string unit;
  std::vector<double> times;   // seconds (position / sample rate)
  std::vector<double> values;  // physical = stored doubles (scale 1, offset 0)
  // The signal the samples were taken from, at every full-rate position; the
  // reduced levels hold its statistics over each interval.
  std::vector<double> fullRate;
};

struct SampleRecordingContents {
  Recording recording;
  DataLayout layout;
  double sampleRate = 0;
  int reducedLevels = 0;  // "IBDATA0" up to this level, exclusive
  // The synchronous channels in channel-list order (the single value and the
  // asynchronous channel come after them).
  std::vector<SampleChannel> channels;
  SampleAsyncChannel asyncChannel;  // last in the channel list
  std::string operatorName;  // the text single value "Operator"
};

// The recording, plain (set recording.zipPackaged for the zip-packaged form).
SampleRecordingContents SampleRecording();

}  // namespace Korvane::DataReader::TestKit
