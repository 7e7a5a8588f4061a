// CKVXMLHelper: the walk of the device tree. Each device kind keeps its channel
// definitions in its own shape (ports with bits, CAN ports with messages and
// signals, slots, modules, nested plugin and remote trees); the walkers find
// them and hand each to FillChannel.
#include <string>
#include <string_view>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "setup/CKVXMLHelper.h"
#include "setup/Prefetch.h"
#include "setup/SetupValueReader.h"
#include "xml/XMLElement.h"

namespace Korvane::DataReader {

namespace {

// Real setups nest devices a handful of levels deep; a deeper tree is not a
// setup and would only exhaust the stack.
constexpr int kMaxWalkDepth = 200;

class WalkDepthGuard {
 public:
  explicit WalkDepthGuard(int& depth) : depth_(depth) {
    if (++depth_ > kMaxWalkDepth) {
      --depth_;
      throw FileCorruptException("device tree nested too deeply");
    }
  }
  ~WalkDepthGuard() { --depth_; }
  WalkDepthGuard(const WalkDepthGuard&) = delete;
  WalkDepthGuard& operator=(const WalkDepthGuard&) = delete;

 private:
  int& depth_;
};

// The value of an attribute, or "" when the element has none of that name.
std::string AttributeValue(XMLElement* element, const char* name) {
  const XMLVariable* variable = element->FindVariableZ(name);
  return variable != nullptr ? variable->Value() : std::string();
}

// The element's name decoded: the stored name itself when it holds no entity,
// else its decoding in `scratch`.
std::string_view DecodedName(const XMLElement* element, std::string& scratch) {
  const std::string_view stored = element->StoredName();
  if (!SetupValueReader::HoldsEntity(stored)) return stored;
  scratch = element->Name();
  return scratch;
}

bool IsDeviceOfType(XMLElement* element, const char* type) {
  if (!element->HasName("Device")) return false;
  const XMLVariable* variable = element->FindVariableZ("Type");
  return variable != nullptr && variable->Value() == type;
}

}  // namespace

void CKVXMLHelper::FillOutPutChannels(XMLElement* element) {
  WalkDepthGuard guard(walkDepth_);
  bool videoSeen = false;
  const bool insideMath = element->HasName("Math");
  const auto children = element->GetChildren();
  std::string scratch;
  for (size_t i = 0; i < children.size(); ++i) {
    if (i + 2 < children.size()) PrefetchSubtree(children[i + 1], children[i + 2]);
    XMLElement* child = children[i];
    // The name is decoded once and compared with each kind in turn.
    const std::string_view name = DecodedName(child, scratch);
    if (name == "OutputChannel") {
      FillChannel(child, nullptr);
    } else if (name == "Port" && HasAttribute(child, "Index") && HasAttribute(child, "DICount")) {
      FillDIPort(child);
    } else if (name == "Device" && HasAttribute(child, "Type")) {
      const std::string type = AttributeValue(child, "Type");
      if (type == "CAN") {
        FillCANDevice(child);
      } else if (type == "Video" && !videoSeen) {
        // The second video device of an element holds the slots of both.
        videoSeen = true;
        XMLElement* target = child;
        int videoDevices = 0;
        for (XMLElement* candidate : element->GetChildren()) {
          if (IsDeviceOfType(candidate, "Video") && videoDevices++ == 1) {
            target = candidate;
            break;
          }
        }
        FillVideoDevice(target);
      } else if (type == "Import" || type == "RT") {
        FillImportDeviceOrRT(child);
      } else if (type == "Event log" || type == "Control channels" || type == "Daq/Additional") {
        for (XMLElement* definition : child->GetChildren()) FillChannel(definition, nullptr);
      } else if (type == "Remote") {
        FillRemote(child);
      } else if (type == "MathOld") {
        FillMathOld(child);
      } else if (type == "Plugins") {
        pluginsSeen_ = true;
        FillPlugins(child);
      } else if (type == "DAQ Out") {
        FillDAQOut(child);
      } else if (type == "CNT") {
        FillCNT(child);
      } else if (type == "Lumaq") {
        FillLumaq(child);
      } else {
        FillOutPutChannels(child);
      }
    } else if (name == "SystemMonitor") {
      FillSystemMonitor(child);
    } else if (name == "Math" && insideMath) {
      FillMathModule(child);
    } else if (name == "Plugins" && pluginsSeen_) {
      continue;
    } else {
      FillOutPutChannels(child);
    }
  }
}

void CKVXMLHelper::FillDIPort(XMLElement* port) {
  const std::string index = AttributeValue(port, "Index");
  const std::string diCountText = AttributeValue(port, "DICount");
  CKVChannel* channel = FindChannelByKVIndex(("DI;" + index).c_str());
  if (channel == nullptr) return;
  FillChannel(port, channel);
  channel->DICount = SetupValueReader::ParseInteger(diCountText);
  // The port's sample holds one bit per input.
  channel->DataType = channel->DICount > 16 ? kTypeInt32 : channel->DICount > 8 ? kTypeInt16 : kTypeInt8;
}

void CKVXMLHelper::FillCANDevice(XMLElement* device) {
  for (XMLElement* port : device->GetChildren()) {
    if (!port->HasName("Port")) continue;
    const bool storeDecoded = ReadBool(port, "StoreDecoded", false);
    for (XMLElement* node : port->GetChildren()) {
      const bool portChannel = node->HasName("PortChannel");
      if (!portChannel && !node->HasName("Message") && !node->HasName("MsgCountChannelNode") &&
          !node->HasName("BadMsgCountChannelNode")) {
        continue;
      }
      CKVChannel* message = FillChannel(node, nullptr);
      if (message == nullptr) continue;
      if (portChannel) message->IsPortChannel = true;
      message->Async = true;
      for (XMLElement* output : node->GetChildren()) {
        if (!output->HasName("OutputChannel")) continue;
        const std::string id = ReadString(output, "UniqueId", "6");
        CKVChannel* signal = FindChannelByKVIndex((std::string(message->KVIndex) + ";" + id).c_str());
        if (signal == nullptr) continue;
        FillChannel(output, signal);
        signal->Async = true;
        signal->StoreDecoded = storeDecoded;
      }
    }
  }
}

void CKVXMLHelper::FillVideoDevice(XMLElement* device) {
  for (XMLElement* slot : device->GetChildren()) {
    if (!slot->HasName("Slot")) continue;
    CKVChannel* channel = FillChannel(slot, nullptr);
    if (channel != nullptr && channel->OfflineInfo) channel->OfflineInfo->Status = ReadInteger(slot, "Offline", 0);
  }
}

void CKVXMLHelper::FillImportDeviceOrRT(XMLElement* device) {
  for (XMLElement* slot : device->GetChildren()) {
    if (slot->HasName("Slot")) FillChannel(slot, nullptr);
  }
}

void CKVXMLHelper::FillDAQOut(XMLElement* device) { FillImportDeviceOrRT(device); }

void CKVXMLHelper::FillLumaq(XMLElement* device) { FillImportDeviceOrRT(device); }

void CKVXMLHelper::FillMathOld(XMLElement* device) {
  for (XMLElement* definition : device->GetChildren()) FillChannel(definition, nullptr);
}

void CKVXMLHelper::FillSystemMonitor(XMLElement* element) {
  WalkDepthGuard guard(walkDepth_);
  for (XMLElement* child : element->GetChildren()) {
    if (child->HasName("OutputChannel")) {
      FillChannel(child, nullptr);
    } else if (child->HasName("Slot")) {
      if (FillChannel(child, nullptr) == nullptr) FillSystemMonitor(child);
    }
  }
}

void CKVXMLHelper::FillRemote(XMLElement* element) {
  WalkDepthGuard guard(walkDepth_);
  for (XMLElement* child : element->GetChildren()) {
    if (child->HasName("OutputChannel")) {
      if (CKVChannel* channel = FillChannel(child, nullptr)) channel->IsRemote = true;
    } else {
      FillRemote(child);
    }
  }
}

void CKVXMLHelper::FillPlugins(XMLElement* element) {
  WalkDepthGuard guard(walkDepth_);
  for (XMLElement* child : element->GetChildren()) {
    if (child->HasName("OutputChannel")) {
      FillChannel(child, nullptr);
    } else if (child->HasName("Slot")) {
      if (FillChannel(child, nullptr) == nullptr) FillPlugins(child);
    } else {
      FillPlugins(child);
    }
  }
}

void CKVXMLHelper::FillMathModule(XMLElement* module) {
  MathModuleOffline = ReadInteger(module, "Offline", 0);
  ModuleName = ReadString(module, "Name", "").substr(0, CKVChannel::kModuleNameChars);
  FillOutPutChannels(module);
  MathModuleOffline = 0;
  ModuleName.clear();
}

void CKVXMLHelper::FillVariables(XMLElement* element) {
  XMLElement* stored = element != nullptr ? element->FindElementZ("StoredChannels") : nullptr;
  if (stored == nullptr) return;
  for (XMLElement* variable : stored->GetChildren()) {
    if (!variable->HasName("VariableChannel")) continue;
    const std::string index = ReadString(variable, "Index", "");
    CKVChannel* channel = FindUnfilledChannel(index.c_str());
    if (channel == nullptr) throw FileCorruptException("variable without stored channel: " + index);
    channel->ReadIndexFromSetup = true;
    FillChannel(variable, channel);
    channel->SingleValue = ReadBool(variable, "SingleValue", true);
    if (channel->OfflineInfo) channel->OfflineInfo->Status = ReadInteger(variable, "Offline", 0);
  }
}

}  // namespace Korvane::DataReader
