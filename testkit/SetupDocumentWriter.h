// SetupDocumentWriter: writes setup documents (the XML text a data file stores as its
// setup stream) from a description of the measurement and its channels, for tests,
// benchmarks and fuzz seeds. Layout written:
//   root / "System" / "KorvaneSetup" / "Devices": measurement properties, then
//     "Device" Type="AI" / "Slot" / "OutputChannel" per channel definition;
//   root / "System" / "KorvaneSetup" / "StoredChannels" / "Channel" Index="..." per channel.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace Korvane::DataReader::TestKit {

struct SetupMeasurement {
  double sampleRate = 1000;
  int blockSize = 100;
  int ibRate = 20;
  double startStoreTime = 0;
};

struct SetupChannelDefinition {
  std::string index;  // the channel's index text, e.g. "AI;0"
  std::string name;
  std::string unit;
  std::string description;
  std::string displayColor = "#FF8000";
  int dataType = 5;
  double scale = 1;
  double offset = 0;
  bool used = true;
  bool stored = true;
  // Child elements of the definition's "Properties" element (name, text).
  std::vector<std::pair<std::string, std::string>> properties;
  // Extra child elements of the definition (name, text), written last.
  std::vector<std::pair<std::string, std::string>> extras;
};

class SetupDocumentWriter {
 public:
  SetupDocumentWriter& Measurement(const SetupMeasurement& measurement);
  SetupDocumentWriter& AddChannel(SetupChannelDefinition channel);
  // One line, no indentation.
  SetupDocumentWriter& Compact(bool compact);

  std::string Text() const;

 private:
  SetupMeasurement measurement_;
  std::vector<SetupChannelDefinition> channels_;
  bool compact_ = false;
};

// A document of `channelCount` analog channels ("AI;0", "AI;1", ...) whose definitions
// carry amplifier settings as extra elements, so that the text comes to about
// `targetBytes` (at least the size of the bare definitions). Same arguments, same text.
std::string GenerateSetupDocument(size_t channelCount, size_t targetBytes);

}  // namespace Korvane::DataReader::TestKit
