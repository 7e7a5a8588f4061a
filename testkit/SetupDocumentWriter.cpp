// Writes setup documents with XmlTextWriter; see SetupDocumentWriter.h.
#include "testkit/SetupDocumentWriter.h"

#include <cstdio>

#include "testkit/XmlTextWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

std::string Number(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::string Number(int value) { return std::to_string(value); }

const char* Bool(bool value) { return value ? "true" : "false"; }

void WriteDefinition(XmlTextWriter& xml, const SetupChannelDefinition& channel) {
  xml.Open("OutputChannel");
  xml.Leaf("Used", Bool(channel.used));
  xml.Leaf("Stored", Bool(channel.stored));
  xml.Leaf("Index", channel.index);
  xml.Leaf("Name", channel.name);
  xml.Leaf("Unit", channel.unit);
  xml.Leaf("Description", channel.description);
  xml.Leaf("DisplayColor", channel.displayColor);
  xml.Leaf("DataType", Number(channel.dataType));
  xml.Leaf("Scale", Number(channel.scale));
  xml.Leaf("Offset", Number(channel.offset));
  if (!channel.properties.empty()) {
    xml.Open("Properties");
    for (const auto& [name, text] : channel.properties) xml.Leaf(name, text);
    xml.Close();
  }
  for (const auto& [name, text] : channel.extras) xml.Leaf(name, text);
  xml.Close();
}

}  // namespace

SetupDocumentWriter& SetupDocumentWriter::Measurement(const SetupMeasurement& measurement) {
  measurement_ = measurement;
  return *this;
}

SetupDocumentWriter& SetupDocumentWriter::AddChannel(SetupChannelDefinition channel) {
  channels_.push_back(std::move(channel));
  return *this;
}

SetupDocumentWriter& SetupDocumentWriter::Compact(bool compact) {
  compact_ = compact;
  return *this;
}

std::string SetupDocumentWriter::Text() const {
  XmlTextWriter xml(compact_);
  xml.Declaration();
  xml.Open("Setup").Open("System").Open("KorvaneSetup");
  xml.Open("Devices");
  xml.Leaf("SampleRate", Number(measurement_.sampleRate));
  xml.Leaf("StartStoreTime", Number(measurement_.startStoreTime));
  xml.Leaf("BlockSize", Number(measurement_.blockSize));
  xml.Leaf("IBRate", Number(measurement_.ibRate));
  xml.Open("Device").Attribute("Type", "AI").Attribute("Name", "Analog inputs");
  xml.Open("Slot").Attribute("Index", "0");
  for (const SetupChannelDefinition& channel : channels_) WriteDefinition(xml, channel);
  xml.Close().Close();  // Slot, Device
  xml.Close();          // Devices
  xml.Open("StoredChannels");
  for (const SetupChannelDefinition& channel : channels_) xml.Open("Channel").Attribute("Index", channel.index).Close();
  xml.Close();
  xml.Close().Close().Close();  // KorvaneSetup, System, root
  return xml.Take();
}

std::string GenerateSetupDocument(size_t channelCount, size_t targetBytes) {
  auto makeChannel = [](size_t i) {
    SetupChannelDefinition channel;
    channel.index = "AI;" + std::to_string(i);
    channel.name = "Channel " + std::to_string(i);
    channel.unit = i % 3 == 0 ? "V" : (i % 3 == 1 ? "m/s\xC2\xB2" : "\xC2\xB0" "C");
    channel.description = "Sensor " + std::to_string(i) + " <front & rear>";
    channel.dataType = static_cast<int>(i % 8);
    channel.scale = 1.0 + static_cast<double>(i % 7) * 0.25;
    channel.offset = -0.5 * static_cast<double>(i % 5);
    channel.properties = {{"Serial", "SN-" + std::to_string(100000 + i)}, {"Location", "Rack 1"}};
    return channel;
  };
  SetupDocumentWriter bare;
  for (size_t i = 0; i < channelCount; ++i) bare.AddChannel(makeChannel(i));
  const size_t bareSize = bare.Text().size();
  // Each amplifier setting line adds about the same number of bytes; spread the rest.
  const std::string sample = "\r\n\t\t\t\t\t\t\t<AmplifierSetting00>0.000125</AmplifierSetting00>";
  const size_t perChannel = channelCount == 0 || targetBytes <= bareSize
                                ? 0
                                : (targetBytes - bareSize) / channelCount / sample.size();
  SetupDocumentWriter writer;
  for (size_t i = 0; i < channelCount; ++i) {
    SetupChannelDefinition channel = makeChannel(i);
    for (size_t k = 0; k < perChannel; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "AmplifierSetting%02zu", k % 100);
      channel.extras.emplace_back(name, Number(0.000125 * static_cast<double>((i + k) % 97)));
    }
    writer.AddChannel(std::move(channel));
  }
  return writer.Text();
}

}  // namespace Korvane::DataReader::TestKit
