// XMLHeader: the XML declaration of a document (everything up to and including the
// first "?>") and the comments found outside the root element, which it owns. A
// comment's position is 0 before the root element and 1 after it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "xml/XMLItems.h"
#include "xml/XMLOwnedArray.h"

namespace Korvane::DataReader {

class XMLHeader {
 public:
  // The declaration written when a document has none of its own.
  static constexpr std::string_view kDefaultDeclaration =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>";

  explicit XMLHeader(std::string_view text) : text_(text) {}

  const std::string& GetText() const noexcept { return text_; }
  void SetText(std::string_view text) { text_ = text; }
  // Replaces the declaration by one naming `encoding`.
  void SetEncoding(const char* encoding);

  std::span<XMLComment* const> GetComments() const noexcept { return comments_.items(); }
  int GetCommentsNum() const noexcept { return comments_.size(); }
  XMLComment* AddComment(const char* text, int position);
  XMLComment* AddComment(std::string_view text, int position);
  // Deletes the comment at `index`; returns the remaining count, or -1 when out of range.
  int RemoveComment(int index);

  // True when every comment has its text.
  bool IntegrityTest() const;
  // The declaration and comments: text lengths, 24 per comment, 4 per comment slot.
  int64_t MemoryUsage() const;

  // Appends the declaration and the comments placed before the root element.
  void ExportPrologue(std::string& out) const;
  // Appends the comments placed after the root element.
  void ExportEpilogue(std::string& out) const;

 private:
  std::string text_;
  XMLOwnedArray<XMLComment, 5, 5> comments_;
};

}  // namespace Korvane::DataReader
