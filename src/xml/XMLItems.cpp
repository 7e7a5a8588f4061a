// Value access of contents, comments and CDATA sections. Only contents are decoded:
// comments and CDATA sections hold their text verbatim.
#include "xml/XMLItems.h"

#include "xml/XMLText.h"

namespace Korvane::DataReader {

XMLContent::XMLContent(XMLElement* parent, int ep, const char* text, int raw)
    : XMLTextItem(parent, ep, {}, text != nullptr) {
  SetValue(text, raw);
}

int XMLContent::GetValue(char* out, int raw) const noexcept { return XMLText::GetText(StoredText(), out, raw); }

std::string XMLContent::Value(bool raw) const {
  return raw ? std::string(StoredText()) : XMLText::Decode(StoredText());
}

void XMLContent::SetValue(const char* text, int raw) {
  if (text == nullptr) {
    Assign({}, false);
  } else {
    Assign(raw != 0 ? std::string(text) : XMLText::Encode(text), true);
  }
}

int XMLComment::GetValue(char* out) const noexcept { return XMLText::CopyOut(StoredText(), out); }

int XMLCData::GetValue(char* out) const noexcept { return XMLText::CopyOut(StoredText(), out); }

}  // namespace Korvane::DataReader
