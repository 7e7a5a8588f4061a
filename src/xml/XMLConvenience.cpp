// The convenience readers and writers: each resolves its document, then works through
// XML::XMLGetValue / XML::XMLSetValue.
#include "xml/XMLConvenience.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "xml/XMLText.h"

namespace Korvane::DataReader {
namespace {

// The caller's document, or one loaded from the file into `loaded`.
XML& Resolve(XML* document, const char* xmlFile, XML& loaded) {
  if (document != nullptr) return *document;
  loaded.Load(xmlFile, XML_LOAD_MODE_LOCAL_FILE);
  return loaded;
}

// The element at the section path from the root, or null.
XMLElement* SectionOf(XML& xml, const char* section) {
  XMLElement* root = xml.GetRootElement();
  return root != nullptr ? root->GetElementInSection(section) : nullptr;
}

// The decoded value of the attribute, or false when it is missing.
bool ReadValue(const char* section, const char* attribute, const char* xmlFile, XML* document, std::string& value) {
  XML loaded;
  XMLElement* element = SectionOf(Resolve(document, xmlFile, loaded), section);
  XMLVariable* variable = element != nullptr ? element->FindVariableZ(attribute) : nullptr;
  if (variable == nullptr) return false;
  value = variable->Value();
  return true;
}

bool WriteValue(const char* section, const char* attribute, const std::string& value, const char* xmlFile,
                XML* document) {
  XML loaded;
  XML& xml = Resolve(document, xmlFile, loaded);
  xml.XMLSetValue(section, attribute, value.c_str());
  return document != nullptr || xml.Save(xmlFile);
}

std::string Format(const char* format, auto value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

int XMLGetString(const char* section, const char* attribute, const char* defaultValue, char* out, int size,
                 const char* xmlFile, XML* document) {
  if (out == nullptr || size <= 0) return 0;
  std::string value;
  if (!ReadValue(section, attribute, xmlFile, document, value) || value.size() >= static_cast<size_t>(size)) {
    value = defaultValue != nullptr ? defaultValue : "";
  }
  value.resize(std::min(value.size(), static_cast<size_t>(size) - 1));
  return XMLText::CopyOut(value, out);
}

int XMLGetInt(const char* section, const char* attribute, int defaultValue, const char* xmlFile, XML* document) {
  std::string value;
  if (!ReadValue(section, attribute, xmlFile, document, value)) return defaultValue;
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  return end != value.c_str() ? static_cast<int>(number) : defaultValue;
}

unsigned int XMLGetUInt(const char* section, const char* attribute, unsigned int defaultValue, const char* xmlFile,
                        XML* document) {
  std::string value;
  unsigned int number = 0;
  if (!ReadValue(section, attribute, xmlFile, document, value)) return defaultValue;
  return std::sscanf(value.c_str(), "%u", &number) == 1 ? number : defaultValue;
}

float XMLGetFloat(const char* section, const char* attribute, float defaultValue, const char* xmlFile,
                  XML* document) {
  std::string value;
  if (!ReadValue(section, attribute, xmlFile, document, value)) return defaultValue;
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  return end != value.c_str() ? static_cast<float>(number) : defaultValue;
}

bool XMLSetString(const char* section, const char* attribute, const char* value, const char* xmlFile,
                  XML* document) {
  return WriteValue(section, attribute, value != nullptr ? value : "", xmlFile, document);
}

bool XMLSetInt(const char* section, const char* attribute, int value, const char* xmlFile, XML* document) {
  return WriteValue(section, attribute, Format("%d", value), xmlFile, document);
}

bool XMLSetUInt(const char* section, const char* attribute, unsigned int value, const char* xmlFile,
                XML* document) {
  return WriteValue(section, attribute, Format("%u", value), xmlFile, document);
}

bool XMLSetFloat(const char* section, const char* attribute, float value, const char* xmlFile, XML* document) {
  return WriteValue(section, attribute, Format("%.9g", static_cast<double>(value)), xmlFile, document);
}

bool XMLRenameElement(const char* section, const char* newName, const char* xmlFile, XML* document) {
  XML loaded;
  XML& xml = Resolve(document, xmlFile, loaded);
  XMLElement* element = SectionOf(xml, section);
  if (element == nullptr) return false;
  element->SetElementName(newName);
  return document != nullptr || xml.Save(xmlFile);
}

std::vector<std::pair<std::string, std::string>> XMLGetAllVariables(const char* section, const char* xmlFile,
                                                                    XML* document) {
  XML loaded;
  std::vector<std::pair<std::string, std::string>> variables;
  XMLElement* element = SectionOf(Resolve(document, xmlFile, loaded), section);
  if (element == nullptr) return variables;
  for (const XMLVariable* variable : element->GetVariables()) variables.emplace_back(variable->Name(), variable->Value());
  return variables;
}

std::vector<std::string> XMLGetAllItems(const char* section, const char* xmlFile, XML* document) {
  XML loaded;
  std::vector<std::string> names;
  XMLElement* element = SectionOf(Resolve(document, xmlFile, loaded), section);
  if (element == nullptr) return names;
  for (const XMLElement* child : element->GetChildren()) names.push_back(child->Name());
  return names;
}

}  // namespace Korvane::DataReader
