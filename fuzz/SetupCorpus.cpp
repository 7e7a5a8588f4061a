// Writes the seed corpus of setup_interpret_fuzzer with the test kit: small setup
// documents covering the device kinds of the walk. Usage: setup_corpus_writer <directory>
#include <cstdio>
#include <fstream>
#include <string>

#include "testkit/SetupBuilder.h"

using namespace Korvane::DataReader::TestKit;

namespace {

void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  Write(out + "mixed.xml", GenerateMixedSetup(24));

  SetupBuilder kinds;
  kinds.DeviceNames({{"0", "Host"}});
  kinds.AddChannel("AI;0", "a").With(ArrayInfoElement({{"x", "", 4, 2}, {"y", "", 2, 0, 0, 0, 1, "2;l;r"}}, true, true));
  kinds.AddChannel("Math;0", "c", 9).With(CustomPropsElement({{"k", {{"Int", "1"}, {"String", "s"}}}}));
  kinds.Store("Variables;1;1");
  kinds.VariableChannel("Variables;1;1", "v", 11);
  kinds.Store("System Monitor;100;1");
  kinds.SystemMonitor().Add("Slot").AddCopy(ChannelDefinition("Slot", "System Monitor;100;1", "cpu"));
  kinds.Store("Video;0");
  kinds.Device("Video").AddCopy(ChannelDefinition("Slot", "Video;0", "cam").Set("Offline", 2));
  kinds.Store("CNT;0;0");
  CounterInput input;
  input.settings = {{"BaseMode", "0"}, {"CountingUnit", "1"}};
  input.sensor = {{"SensorType", "4"}};
  input.sectors = {{58, 2}};
  input.outputs = {ChannelDefinition("OutputChannel", "CNT;0;0", "angle")};
  kinds.CounterDevice({input});
  kinds.Store("Remote;0");
  kinds.Device("Remote").Add("Box").AddCopy(ChannelDefinition("OutputChannel", "Remote;0", "r"));
  kinds.Store("Plugins;0;1");
  kinds.Device("Plugins").Add("Slot").AddCopy(ChannelDefinition("OutputChannel", "Plugins;0;1", "p", 12));
  Write(out + "kinds.xml", kinds.Text());

  SetupBuilder can;
  can.Store("CAN;0;100");
  can.Store("CAN;0;100;1");
  XmlNode& message = can.CANPort(true).AddCopy(ChannelDefinition("Message", "CAN;0;100", "m").Set("DLC", 8));
  message.Add("OutputChannel").Set("UniqueId", "1").Set("StartBit", 12).Set("BitLength", 8).Set("DataDirection", 1);
  can.MeasurementOnlineInfo(100, {16, 32});
  Write(out + "can.xml", can.Text());
  return 0;
}
