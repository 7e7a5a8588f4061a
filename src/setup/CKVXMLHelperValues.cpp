// CKVXMLHelper: the value readers over one element's children, the element and
// attribute lookups, and the online and offline stream records.
#include <string>

#include "common/TextUtils.h"
#include "setup/CKVXMLHelper.h"
#include "setup/SetupValueReader.h"
#include "xml/XMLElement.h"

namespace Korvane::DataReader {

namespace {

// Reduced-level entries of a stream record: "IBStream" children that carry a
// "Level" attribute, in document order, at most one per level.
template <class Visit>
void ForEachIBStream(const XMLElement* element, Visit visit) {
  int taken = 0;
  for (XMLElement* child : element->GetChildren()) {
    if (taken >= kIBLevelCount) break;
    if (!CKVXMLHelper::IsNodeName(child, "IBStream") || !CKVXMLHelper::HasAttribute(child, "Level")) continue;
    visit(taken++, child);
  }
}

}  // namespace

std::string CKVXMLHelper::ReadString(const XMLElement* element, const char* name, const char* defaultValue) {
  return SetupValueReader::StringOf(FindElement(element, name), defaultValue);
}

void CKVXMLHelper::ReadString(const XMLElement* element, const char* name, char* out, int capacity,
                              const char* defaultValue) {
  CopyStr(out, ReadString(element, name, defaultValue).c_str(), capacity);
}

std::string CKVXMLHelper::AllocateAndReadString(const XMLElement* element, const char* name,
                                                const char* defaultValue) {
  return ReadString(element, name, defaultValue);
}

int CKVXMLHelper::ReadStringLength(const XMLElement* element, const char* name) {
  std::string text;
  return SetupValueReader::TextOf(FindElement(element, name), text) ? static_cast<int>(text.size()) : 0;
}

int CKVXMLHelper::ReadInteger(const XMLElement* element, const char* name, int defaultValue) {
  return SetupValueReader::IntegerOf(FindElement(element, name), defaultValue);
}

uint32_t CKVXMLHelper::ReadUnsignedInt(const XMLElement* element, const char* name, uint32_t defaultValue) {
  return SetupValueReader::UnsignedIntOf(FindElement(element, name), defaultValue);
}

int64_t CKVXMLHelper::ReadInt64(const XMLElement* element, const char* name, int64_t defaultValue) {
  return SetupValueReader::Int64Of(FindElement(element, name), defaultValue);
}

uint32_t CKVXMLHelper::ReadColor(const XMLElement* element, const char* name, uint32_t defaultValue) {
  return SetupValueReader::ColorOf(FindElement(element, name), defaultValue);
}

float CKVXMLHelper::ReadFloat(const XMLElement* element, const char* name, float defaultValue) {
  return SetupValueReader::FloatOf(FindElement(element, name), defaultValue);
}

double CKVXMLHelper::ReadDouble(const XMLElement* element, const char* name, double defaultValue) {
  return SetupValueReader::DoubleOf(FindElement(element, name), defaultValue);
}

bool CKVXMLHelper::ReadBool(const XMLElement* element, const char* name, bool defaultValue) {
  return SetupValueReader::BoolOf(FindElement(element, name), defaultValue);
}

XMLElement* CKVXMLHelper::FindElement(const XMLElement* element, const char* name) {
  if (element == nullptr) return nullptr;
  for (XMLElement* child : element->GetChildren()) {
    if (IsNodeName(child, name)) return child;
  }
  return nullptr;
}

XMLElement* CKVXMLHelper::FindElement(const XMLElement* element, const char* name, const char* attribute,
                                      const char* value, int n) {
  if (element == nullptr) return nullptr;
  std::string attributeValue;
  for (XMLElement* child : element->GetChildren()) {
    if (!IsNodeName(child, name)) continue;
    if (FindAttribute(child, attribute, attributeValue) == nullptr || attributeValue != value) continue;
    if (n-- == 0) return child;
  }
  return nullptr;
}

const char* CKVXMLHelper::FindAttribute(const XMLElement* element, const char* name, std::string& value) {
  if (element == nullptr) return nullptr;
  const XMLVariable* variable = const_cast<XMLElement*>(element)->FindVariableZ(name);
  if (variable == nullptr) return nullptr;
  value = variable->Value();
  return value.c_str();
}

bool CKVXMLHelper::HasAttribute(const XMLElement* element, const char* name) {
  return element != nullptr && element->FindVariable(name) >= 0;
}

bool CKVXMLHelper::IsNodeName(const XMLElement* element, const char* name) {
  if (element == nullptr) return false;
  // Names without entities read the same stored and decoded.
  const std::string_view stored = element->StoredName();
  if (stored.find('&') == std::string_view::npos) return SetupValueReader::SameNameIgnoringCase(stored, name);
  return SetupValueReader::SameNameIgnoringCase(element->Name(), name);
}

void CKVXMLHelper::FillOnlineInfo(const XMLElement* element, CKVOnlineInfo* record) {
  if (element == nullptr) return;
  const SetupValueReader values(element);
  record->DBOffset = values.Integer("DBOffset", 0);
  record->AsyncIndex = values.Integer("AsyncIndex", -1);
  values.String("BinStream", record->BinStream, sizeof record->BinStream, "");
  ForEachIBStream(element, [record](int level, const XMLElement* stream) {
    record->IBOffset[level] = ReadInteger(stream, "Offset", 0);
  });
}

void CKVXMLHelper::FillOfflineInfo(const XMLElement* element, CKVOfflineInfo* record) {
  if (element == nullptr) return;
  const SetupValueReader values(element);
  values.String("DBStreamName", record->DBStreamName, sizeof record->DBStreamName, "");
  record->PosInDBStream = values.Int64("PosInDBStream", -1);
  values.String("NodeStreamName", record->NodeStreamName, sizeof record->NodeStreamName, "");
  record->PosInNodeStream = values.Int64("PosInNodeStream", -1);
  values.String("RootNodeStreamName", record->RootNodeStreamName, sizeof record->RootNodeStreamName, "");
  record->Status = values.Integer("Status", 3);
  record->StartPos = values.Integer("StartPos", -1);
  record->EndPos = values.Integer("EndPos", -1);
  record->AsyncIndex = values.Integer("AsyncIndex", -1);
  int count = 0;
  ForEachIBStream(element, [record, &count](int level, const XMLElement* stream) {
    const SetupValueReader streamValues(stream);
    streamValues.String("IBStreamName", record->IBStreamName[level], sizeof record->IBStreamName[level], "");
    record->PosInIBStream[level] = streamValues.Int64("PosInIBStream", -1);
    count = level + 1;
  });
  record->IBStreamCount = count;
}

}  // namespace Korvane::DataReader
