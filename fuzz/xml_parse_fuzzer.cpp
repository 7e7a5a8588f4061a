// Parses any bytes as an XML document, runs the integrity test, reads every value
// decoded, exports the document and every element to memory and parses the exports
// again. Any crash, sanitizer report or broken invariant is a finding. An element's
// export repeats all its descendants' text, so a deep chain exports quadratic text in
// all: elements are exported descendants first, within a budget of bytes per input,
// which keeps every input fast while ordinary documents are covered whole (the root
// is exported with the whole document in any case).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "xml/XML.h"
#include "xml/XMLHelper.h"

namespace {

using namespace Korvane::DataReader;

constexpr size_t kExportBudgetBytes = 64 * 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Decoding must stay within the stored length that sizes the caller's buffer.
void ReadValues(const XMLElement& element) {
  std::vector<char> buffer;
  auto read = [&buffer](auto&& getter) {
    const int stored = getter(nullptr);
    buffer.assign(static_cast<size_t>(stored) + 1, '\x7f');
    const int decoded = getter(buffer.data());
    Check(decoded >= 0 && decoded <= stored && buffer[static_cast<size_t>(decoded)] == '\0');
  };
  read([&](char* out) { return element.GetElementName(out, 0); });
  for (const XMLVariable* variable : element.GetVariables()) {
    read([&](char* out) { return variable->GetName(out, 0); });
    read([&](char* out) { return variable->GetValue(out, 0); });
  }
  for (const XMLContent* content : element.GetContents()) {
    read([&](char* out) { return content->GetValue(out, 0); });
  }
}

void ParseExport(const std::string& text) {
  XML again;
  again.LoadText(std::string_view(text));
  Check(again.GetRootElement() != nullptr && again.GetHeader() != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  XML xml;
  xml.LoadText(text);
  Check(xml.GetRootElement() != nullptr && xml.GetHeader() != nullptr);
  Check(xml.ParseStatus() >= XML_PARSE_OK && xml.ParseStatus() <= XML_PARSE_ERROR);
  xml.IntegrityTest();
  Check(xml.MemoryUsage() > 0);
  XMLHelper::FindXMLClose(text, 0);

  // The whole document with the default layout (tabs, line breaks) and save mode 1.
  std::string whole;
  xml.Export(whole, XML_SAVE_MODE_DEFAULT);
  ParseExport(whole);

  // Every element the way channel definitions are handed out: compact, no indentation.
  XMLElement& root = *xml.GetRootElement();
  XMLEXPORTFORMAT compact;
  compact.IndentCount = 0;
  compact.Compact = true;
  root.SetExportFormatting(&compact);
  std::vector<const XMLElement*> pending{&root};
  std::vector<const XMLElement*> preorder;
  while (!pending.empty()) {
    const XMLElement* element = pending.back();
    pending.pop_back();
    preorder.push_back(element);
    for (const XMLElement* child : element->GetChildren()) pending.push_back(child);
  }
  std::string one;
  size_t exported = 0;
  for (auto it = preorder.rbegin(); it != preorder.rend(); ++it) {  // descendants before ancestors
    ReadValues(**it);
    if (exported > kExportBudgetBytes) continue;
    one.clear();
    (*it)->Export(one, 1, XML_SAVE_MODE_DEFAULT);
    exported += one.size();
    ParseExport(one);
  }
  return 0;
}
