// SetupBuilder: the setup and measurement-info documents of test files.
#include "testkit/SetupBuilder.h"

namespace Korvane::DataReader::TestKit {

namespace {

// Root element name of the documents the acquisition side writes.
constexpr const char* kSetupRoot = "KorvaneDocument";
constexpr const char* kMeasInfoRoot = "MeasInfo";

}  // namespace

XmlNode ChannelDefinition(const std::string& element, const std::string& index, const std::string& name,
                          int dataType) {
  XmlNode node(element);
  node.Set("Used", true).Set("Stored", true).Set("Index", index).Set("Name", name).Set("DataType", dataType);
  return node;
}

XmlNode OnlineInfoRecord(int dbOffset, const std::vector<int>& ibOffsets, int asyncIndex,
                         const std::string& binStream) {
  XmlNode node("OnlineInfo");
  node.Set("DBOffset", dbOffset).Set("AsyncIndex", asyncIndex);
  if (!binStream.empty()) node.Set("BinStream", binStream);
  for (size_t level = 0; level < ibOffsets.size(); ++level) {
    node.Add("IBStream").Attr("Level", static_cast<int64_t>(level)).Set("Offset", ibOffsets[level]);
  }
  return node;
}

XmlNode OfflineInfoRecord(const OfflineRecord& record) {
  XmlNode node("OfflineInfo");
  node.Set("Status", record.status)
      .Set("DBStreamName", record.dbStreamName)
      .Set("PosInDBStream", record.posInDBStream)
      .Set("NodeStreamName", record.nodeStreamName)
      .Set("PosInNodeStream", record.posInNodeStream)
      .Set("RootNodeStreamName", record.rootNodeStreamName)
      .Set("StartPos", record.startPos)
      .Set("EndPos", record.endPos)
      .Set("AsyncIndex", record.asyncIndex);
  for (size_t level = 0; level < record.ibStreams.size(); ++level) {
    node.Add("IBStream")
        .Attr("Level", static_cast<int64_t>(level))
        .Set("IBStreamName", record.ibStreams[level].first)
        .Set("PosInIBStream", record.ibStreams[level].second);
  }
  return node;
}

XmlNode ArrayInfoElement(const std::vector<ArrayAxis>& axes, bool itemChannels, bool storeIB, int maxIBArraySize) {
  XmlNode node("ArrayInfo");
  node.Set("ItemChannels", itemChannels).Set("StoreIB", storeIB).Set("MaxIBArraySize", maxIBArraySize);
  for (const ArrayAxis& axis : axes) {
    XmlNode& element = node.Add("Axis");
    element.Set("Name", axis.name).Set("Unit", axis.unit).Set("Size", axis.size).Set("Prec", axis.prec);
    if (axis.axisType >= -1) element.Set("AxisType", axis.axisType);
    if (axis.axisType == 2) element.Set("Start", axis.start).Set("Step", axis.step);
    if (axis.axisType == 1) element.Set("FloatValues", axis.values);
    if (axis.axisType == 0) element.Set("StringValues", axis.values);
  }
  return node;
}

XmlNode CustomPropsElement(const std::vector<CustomProperty>& properties) {
  XmlNode node("CustomProps");
  for (const CustomProperty& property : properties) {
    XmlNode& prop = node.Add("Prop");
    if (!property.key.empty()) prop.Attr("Key", property.key);
    for (const auto& [name, value] : property.values) prop.Set(name, value);
  }
  return node;
}

SetupBuilder::SetupBuilder() : root_(kSetupRoot) {
  Devices();
  StoredChannels();
}

SetupBuilder& SetupBuilder::DataStoreMode(int mode) {
  KorvaneSetup().Ensure("Storing").Ensure("Trigger").Set("DataStoreMode", mode);
  return *this;
}

SetupBuilder& SetupBuilder::DeviceNames(const std::vector<std::pair<std::string, std::string>>& names) {
  XmlNode& list = SystemMonitor().Ensure("DeviceNamesForAnalyze");
  for (const auto& [index, name] : names) list.Add("DeviceName").Attr("Index", index).Text(name);
  return *this;
}

SetupBuilder& SetupBuilder::MeasurementOnlineInfo(int blockBytes, const std::vector<int>& recordBytes) {
  Devices().AddCopy(OnlineInfoRecord(blockBytes, recordBytes));
  return *this;
}

XmlNode& SetupBuilder::Store(const std::string& index) { return StoredChannels().Add("Channel").Attr("Index", index); }

XmlNode& SetupBuilder::StoreWithoutIndex() { return StoredChannels().Add("Channel"); }

XmlNode& SetupBuilder::Device(const std::string& type) { return Devices().Add("Device").Attr("Type", type); }

XmlNode& SetupBuilder::AddChannel(const std::string& index, const std::string& name, int dataType) {
  if (plainDevice_ == nullptr) plainDevice_ = &Device("AI");
  Store(index);
  return plainDevice_->AddCopy(ChannelDefinition("OutputChannel", index, name, dataType));
}

XmlNode& SetupBuilder::DIPort(const std::string& portNumber, int diCount, const std::string& name) {
  XmlNode& port = Device("DI").Add("Port");
  port.Attr("Index", portNumber).Attr("DICount", diCount);
  port.Set("Used", true).Set("Stored", true).Set("Index", "DI;" + portNumber).Set("Name", name);
  return port;
}

XmlNode& SetupBuilder::CANPort(bool storeDecoded) {
  XmlNode& port = Device("CAN").Add("Port");
  port.Set("StoreDecoded", storeDecoded);
  return port;
}

void SetupBuilder::CounterDevice(const std::vector<CounterInput>& inputs) {
  XmlNode& device = Device("CNT");
  for (const CounterInput& input : inputs) {
    XmlNode& element = device.Add("Input");
    for (const auto& [name, value] : input.settings) element.Set(name, value);
    if (!input.sensor.empty() || !input.sectors.empty()) {
      XmlNode& sensor = element.Add("Sensor");
      for (const auto& [name, value] : input.sensor) sensor.Set(name, value);
      if (!input.sectors.empty()) {
        XmlNode& sectors = sensor.Add("Sectors");
        for (const auto& [teeth, gap] : input.sectors) sectors.Add("Sector").Set("Teeth", teeth).Set("Gap", gap);
      }
    }
    for (const XmlNode& output : input.outputs) element.AddCopy(output);
  }
}

XmlNode& SetupBuilder::MathModule(const std::string& name, int offline) {
  XmlNode& module = Devices().Ensure("Math").Add("Math");
  module.Set("Name", name).Set("Offline", offline);
  return module;
}

XmlNode& SetupBuilder::VariableChannel(const std::string& index, const std::string& name, int dataType) {
  XmlNode& list = System().Ensure("ProjectSetup").Ensure("Variables").Ensure("StoredChannels");
  return list.AddCopy(ChannelDefinition("VariableChannel", index, name, dataType));
}

std::string SetupBuilder::Text() const {
  std::string out = kXmlDeclaration;
  out += "\r\n";
  root_.Write(out);
  return out;
}

std::string MeasInfoText(int measIndex) {
  XmlNode root(kMeasInfoRoot);
  root.Set("MeasIndex", measIndex);
  return std::string(kXmlDeclaration) + "\r\n" + root.ToString();
}

namespace {

// The values every generated definition carries besides its identity.
void AddTypicalValues(XmlNode& definition, size_t number) {
  definition.Set("Unit", "V")
      .Set("Description", "Generated channel " + std::to_string(number))
      .Set("DisplayColor", "#FF8000")
      .Set("SRDiv", 1)
      .Set("Scale", 1.0)
      .Set("Offset", 0.0)
      .Set("Shown", true)
      .Set("Async", false)
      .Set("SingleValue", false)
      .Set("DisplayFormat", 0)
      .Set("BitCount", 16)
      .Set("Bits", 65536)
      .Set("Range", 0)
      .Set("ExpectedAsyncRate", 100.0)
      .Set("LogicalName", "Logical " + std::to_string(number))
      .Set("ChannelPath", "Device/Slot/" + std::to_string(number))
      .Set("OriginalKorvaneIndex", "")
      .Set("AmplifierScaleMin", -10.0)
      .Set("AmplifierScaleMax", 10.0)
      .Set("Filter", "Bessel 4th")
      .Set("Coupling", "DC")
      .Set("Excitation", 5.0);
  XmlNode& properties = definition.Add("Properties");
  properties.Set("Gain", 1.0).Set("Sensor", "none").Set("Serial", static_cast<int>(number)).Set("Zero", 0.0);
}

}  // namespace

std::string GenerateMixedSetup(size_t channelCount) {
  SetupBuilder setup;
  setup.Property("SampleRate", 10000.0).Property("BlockSize", 100).Property("IBRate", 20);
  XmlNode& analog = setup.Device("AI");
  XmlNode& digital = setup.Device("DI");
  XmlNode& can = setup.CANPort(false);
  XmlNode& math = setup.MathModule("Generated math", 0);
  size_t made = 0;
  for (size_t group = 0; made < channelCount; ++group) {
    for (size_t i = 0; i < 12 && made < channelCount; ++i, ++made) {
      const std::string index = "AI;" + std::to_string(group * 12 + i);
      setup.Store(index);
      AddTypicalValues(analog.Add("Slot").AddCopy(ChannelDefinition("OutputChannel", index, "AI " + index)), made);
    }
    const std::string port = std::to_string(group);
    if (made < channelCount) {
      setup.Store("DI;" + port);
      XmlNode& element = digital.Add("Port");
      element.Attr("Index", port).Attr("DICount", 8);
      element.Set("Used", true).Set("Stored", true).Set("Index", "DI;" + port).Set("Name", "Port " + port);
      ++made;
    }
    for (int bit = 0; bit < 3 && made < channelCount; ++bit, ++made) {
      const std::string index = "DI;" + port + ";" + std::to_string(bit);
      setup.Store(index);
      AddTypicalValues(digital.AddCopy(ChannelDefinition("OutputChannel", index, "Bit " + index).Set("BitNo", bit)), made);
    }
    const std::string message = "CAN;0;" + std::to_string(100 + group);
    if (made < channelCount) {
      setup.Store(message);
      XmlNode& node = can.AddCopy(ChannelDefinition("Message", message, "Message " + message).Set("DLC", 8));
      ++made;
      for (int signal = 0; signal < 2 && made < channelCount; ++signal, ++made) {
        setup.Store(message + ";" + std::to_string(signal));
        XmlNode& output = node.Add("OutputChannel");
        output.Set("UniqueId", std::to_string(signal)).Set("Name", "Signal").Set("StartBit", 16 * signal);
        output.Set("BitLength", 16).Set("CANDataType", 1);
        AddTypicalValues(output, made);
      }
    }
    if (made < channelCount) {
      const std::string index = "Math;" + std::to_string(group);
      setup.Store(index);
      AddTypicalValues(math.AddCopy(ChannelDefinition("OutputChannel", index, "Math " + index, 7)), made);
      ++made;
    }
  }
  return setup.Text();
}

}  // namespace Korvane::DataReader::TestKit
