// XmlTextWriter: writes XML text element by element, escaping names' values and texts
// with its own rules (never the library's), for the setup documents and XML inputs of
// tests, benchmarks and fuzz seeds. Layout: CR LF line breaks and one tab per level,
// or everything on one line when compact.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Korvane::DataReader::TestKit {

class XmlTextWriter {
 public:
  explicit XmlTextWriter(bool compact = false) : compact_(compact) {}

  // The declaration "<?xml version="1.0" encoding="UTF-8"?>" and a line break.
  XmlTextWriter& Declaration();
  // Opens an element; attributes follow with Attribute until the next call.
  XmlTextWriter& Open(std::string_view name);
  XmlTextWriter& Attribute(std::string_view name, std::string_view value);
  // Closes the innermost open element (as "<name/>" when it got nothing inside).
  XmlTextWriter& Close();
  // <name>text</name> on one line.
  XmlTextWriter& Leaf(std::string_view name, std::string_view text);
  // Escaped character data inside the open element.
  XmlTextWriter& Text(std::string_view text);
  XmlTextWriter& Comment(std::string_view text);
  XmlTextWriter& CData(std::string_view text);
  // Anything, written as it is (for deliberately malformed input).
  XmlTextWriter& Raw(std::string_view text);

  // Escapes &, <, >, " and ' as the predefined entities.
  static std::string Escape(std::string_view text);

  size_t size() const noexcept { return text_.size(); }
  // The text so far; open elements stay open.
  const std::string& text() const noexcept { return text_; }
  std::string Take() { return std::move(text_); }

 private:
  void FinishStartTag();
  void NewLine();

  std::string text_;
  std::vector<std::string> open_;
  bool startTagOpen_ = false;
  bool compact_;
};

}  // namespace Korvane::DataReader::TestKit
