// Builds XML text for tests; see XmlTextWriter.h.
#include "testkit/XmlTextWriter.h"

namespace Korvane::DataReader::TestKit {

std::string XmlTextWriter::Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

void XmlTextWriter::NewLine() {
  if (compact_) return;
  text_ += "\r\n";
  text_.append(open_.size(), '\t');
}

void XmlTextWriter::FinishStartTag() {
  if (!startTagOpen_) return;
  text_ += '>';
  startTagOpen_ = false;
}

XmlTextWriter& XmlTextWriter::Declaration() {
  text_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  if (!compact_) text_ += "\r\n";
  return *this;
}

XmlTextWriter& XmlTextWriter::Open(std::string_view name) {
  FinishStartTag();
  if (!open_.empty()) NewLine();
  text_ += '<';
  text_ += name;
  open_.emplace_back(name);
  startTagOpen_ = true;
  return *this;
}

XmlTextWriter& XmlTextWriter::Attribute(std::string_view name, std::string_view value) {
  text_ += ' ';
  text_ += name;
  text_ += "=\"";
  text_ += Escape(value);
  text_ += '"';
  return *this;
}

XmlTextWriter& XmlTextWriter::Close() {
  if (open_.empty()) return *this;
  const std::string name = std::move(open_.back());
  open_.pop_back();
  if (startTagOpen_) {
    text_ += "/>";
    startTagOpen_ = false;
    return *this;
  }
  NewLine();
  text_ += "</";
  text_ += name;
  text_ += '>';
  return *this;
}

XmlTextWriter& XmlTextWriter::Leaf(std::string_view name, std::string_view text) {
  Open(name);
  FinishStartTag();
  text_ += Escape(text);
  text_ += "</";
  text_ += name;
  text_ += '>';
  open_.pop_back();
  return *this;
}

XmlTextWriter& XmlTextWriter::Text(std::string_view text) {
  FinishStartTag();
  text_ += Escape(text);
  return *this;
}

XmlTextWriter& XmlTextWriter::Comment(std::string_view text) {
  FinishStartTag();
  if (!open_.empty()) NewLine();
  text_ += "<!--";
  text_ += text;
  text_ += "-->";
  return *this;
}

XmlTextWriter& XmlTextWriter::CData(std::string_view text) {
  FinishStartTag();
  text_ += "<![CDATA[";
  text_ += text;
  text_ += "]]>";
  return *this;
}

XmlTextWriter& XmlTextWriter::Raw(std::string_view text) {
  FinishStartTag();
  text_ += text;
  return *this;
}

}  // namespace Korvane::DataReader::TestKit
