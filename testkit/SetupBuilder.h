// SetupBuilder: writes setup documents and measurement-info ("MEASINFO")
// documents as a data file stores them: the measurement properties under
// System/KorvaneSetup/Devices, the stored-channel list, the device tree with the
// channel definitions of every device kind, the variables of ProjectSetup, and
// the records, arrays and custom properties a definition can carry. It knows the
// element names from its own constants and never reads what it writes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testkit/XmlNode.h"

namespace Korvane::DataReader::TestKit {

// A channel definition: the element `element` (e.g. "OutputChannel", "Slot",
// "Message") with "Used", "Stored", "Index", "Name" and "DataType"; further
// values are added with Set.
XmlNode ChannelDefinition(const std::string& element, const std::string& index, const std::string& name,
                          int dataType = 2);

// An "OnlineInfo" record: DBOffset, AsyncIndex, BinStream and one "IBStream" per
// level offset (each with a "Level" attribute).
XmlNode OnlineInfoRecord(int dbOffset, const std::vector<int>& ibOffsets = {}, int asyncIndex = -1,
                         const std::string& binStream = "");

// An "OfflineInfo" record with its streams; one "IBStream" per (name, position).
struct OfflineRecord {
  int status = 2;
  std::string dbStreamName;
  int64_t posInDBStream = 0;
  std::vector<std::pair<std::string, int64_t>> ibStreams;
  std::string nodeStreamName;
  int64_t posInNodeStream = 0;
  std::string rootNodeStreamName;
  int startPos = -1;
  int endPos = -1;
  int asyncIndex = -1;
};
XmlNode OfflineInfoRecord(const OfflineRecord& record);

// One array axis. axisType < -1 leaves "AxisType" out.
struct ArrayAxis {
  ArrayAxis(std::string axisName, std::string axisUnit, int axisSize, int type = 2, int precision = 0,
            double axisStart = 0, double axisStep = 1, std::string valueList = "")
      : name(std::move(axisName)),
        unit(std::move(axisUnit)),
        size(axisSize),
        axisType(type),
        prec(precision),
        start(axisStart),
        step(axisStep),
        values(std::move(valueList)) {}

  std::string name;
  std::string unit;
  int size = 1;
  int axisType = 2;
  int prec = 0;
  double start = 0;
  double step = 1;
  std::string values;  // "FloatValues" (type 1) or "StringValues" (type 0) text
};
XmlNode ArrayInfoElement(const std::vector<ArrayAxis>& axes, bool itemChannels = false, bool storeIB = false,
                         int maxIBArraySize = 512);

// One custom property: key and the value children to write, e.g. {"Int", "5"}.
struct CustomProperty {
  std::string key;
  std::vector<std::pair<std::string, std::string>> values;
};
XmlNode CustomPropsElement(const std::vector<CustomProperty>& properties);

// The counter input settings and sensor of a "CNT" device input.
struct CounterInput {
  std::vector<std::pair<std::string, std::string>> settings;  // e.g. {"BaseMode", "0"}
  std::vector<std::pair<std::string, std::string>> sensor;    // "Sensor" children; empty: no sensor
  std::vector<std::pair<int, int>> sectors;                   // "Sectors" entries (teeth, gap)
  std::vector<XmlNode> outputs;                               // "OutputChannel" definitions
};

class SetupBuilder {
 public:
  SetupBuilder();
  // Holds references into its own tree.
  SetupBuilder(const SetupBuilder&) = delete;
  SetupBuilder& operator=(const SetupBuilder&) = delete;

  XmlNode& Root() { return root_; }
  XmlNode& System() { return root_.Ensure("System"); }
  XmlNode& KorvaneSetup() { return System().Ensure("KorvaneSetup"); }
  XmlNode& Devices() { return KorvaneSetup().Ensure("Devices"); }
  XmlNode& StoredChannels() { return KorvaneSetup().Ensure("StoredChannels"); }

  // A measurement property under "Devices" ("SampleRate", "BlockSize", ...).
  template <class T>
  SetupBuilder& Property(const std::string& name, T value) {
    Devices().Set(name, value);
    return *this;
  }
  // Storing/Trigger/DataStoreMode.
  SetupBuilder& DataStoreMode(int mode);
  // SystemMonitor/DeviceNamesForAnalyze with one child per (Index attribute, name).
  SetupBuilder& DeviceNames(const std::vector<std::pair<std::string, std::string>>& names);
  // The measurement layout record Devices/OnlineInfo.
  SetupBuilder& MeasurementOnlineInfo(int blockBytes, const std::vector<int>& recordBytes);

  // A stored-channel entry "Channel" with its "Index" attribute; Scale, Offset,
  // AsyncSamples, AmplScale and an OnlineInfo go in with Set / Append.
  XmlNode& Store(const std::string& index);
  // A stored-channel entry without the "Index" attribute.
  XmlNode& StoreWithoutIndex();

  // A "Device" with a "Type" attribute under "Devices".
  XmlNode& Device(const std::string& type);
  // Shorthand: a plain definition in an "AI" device, stored with the same index.
  XmlNode& AddChannel(const std::string& index, const std::string& name, int dataType = 2);

  // A digital port "Port" (Index, DICount attributes) holding the port's
  // definition values, inside a "DI" device, and returns the port.
  XmlNode& DIPort(const std::string& portNumber, int diCount, const std::string& name);
  // A CAN device "Port" element with "StoreDecoded".
  XmlNode& CANPort(bool storeDecoded);
  // A counter input of a "CNT" device.
  void CounterDevice(const std::vector<CounterInput>& inputs);
  // A math module "Math" inside the element "Math" with "Offline" and "Name".
  XmlNode& MathModule(const std::string& name, int offline);
  // ProjectSetup/Variables/StoredChannels/VariableChannel entries.
  XmlNode& VariableChannel(const std::string& index, const std::string& name, int dataType = 7);
  // The "SystemMonitor" element (also the home of the device names).
  XmlNode& SystemMonitor() { return KorvaneSetup().Ensure("SystemMonitor"); }

  // The whole document with its declaration.
  std::string Text() const;

 private:
  XmlNode root_;
  XmlNode* plainDevice_ = nullptr;  // the device AddChannel fills
};

// A measurement-info document whose root holds "MeasIndex".
std::string MeasInfoText(int measIndex);

// A setup of `channelCount` stored channels of mixed kinds, with definitions as
// full as the acquisition side writes them (about thirty values, properties,
// amplifier settings): in every twenty channels twelve analogue inputs, a
// digital port with three bits, a CAN message with two signals and a math
// channel. Same count, same text.
std::string GenerateMixedSetup(size_t channelCount);

}  // namespace Korvane::DataReader::TestKit
