// CKVChannel: the channel's definition as XML text. Exporting every definition
// while the setup is read would cost as much as reading it, and most hosts never
// ask; the texts are therefore made from the document on first request.
#include <string>

#include "setup/CKVChannel.h"
#include "xml/XMLElement.h"

namespace Korvane::DataReader {

namespace {

// Exported definitions start with this declaration.
constexpr const char* kExportDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// The element as one line of XML text behind the declaration: compact, no
// indentation, entities kept as stored.
std::string ExportElement(XMLElement* element) {
  XMLEXPORTFORMAT format;
  format.UseSpace = 0;
  format.IndentCount = 0;
  format.Compact = true;
  element->SetExportFormatting(&format);
  std::string text = kExportDeclaration;
  element->Export(text, 1, XML_SAVE_MODE_DEFAULT, nullptr);
  return text;
}

}  // namespace

void CKVChannel::SetDefinitionElements(XMLElement* definition, XMLElement* properties) {
  setupElement_ = definition;
  propertiesElement_ = properties;
  SetupXML.reset();
  PropertiesXML.reset();
}

const std::string* CKVChannel::GetSetupXML() const {
  if (setupElement_ == nullptr) return nullptr;
  if (!SetupXML) SetupXML = ExportElement(setupElement_);
  return &*SetupXML;
}

const std::string* CKVChannel::GetPropertiesXML() const {
  if (propertiesElement_ == nullptr) return nullptr;
  if (!PropertiesXML) PropertiesXML = ExportElement(propertiesElement_);
  return &*PropertiesXML;
}

}  // namespace Korvane::DataReader
