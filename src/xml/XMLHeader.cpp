// The document header: declaration text and the comments around the root element.
#include "xml/XMLHeader.h"

#include <algorithm>

namespace Korvane::DataReader {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

void AppendComment(std::string& out, const XMLComment& comment) {
  out.append("<!--").append(comment.StoredText()).append("-->").append(kLineBreak);
}

}  // namespace

void XMLHeader::SetEncoding(const char* encoding) {
  text_.assign("<?xml version=\"1.0\" encoding=\"");
  text_.append(encoding != nullptr ? encoding : "");
  text_.append("\" standalone=\"yes\" ?>");
}

XMLComment* XMLHeader::AddComment(const char* text, int position) {
  return comments_.Add(std::make_unique<XMLComment>(nullptr, position, text));
}

XMLComment* XMLHeader::AddComment(std::string_view text, int position) {
  return comments_.Add(std::make_unique<XMLComment>(nullptr, position, text));
}

int XMLHeader::RemoveComment(int index) {
  if (comments_.at(index) == nullptr) return -1;
  comments_.Release(index);
  return comments_.size();
}

bool XMLHeader::IntegrityTest() const {
  const auto comments = comments_.items();
  return std::all_of(comments.begin(), comments.end(), [](const XMLComment* c) { return c->HasText(); });
}

int64_t XMLHeader::MemoryUsage() const {
  int64_t bytes = static_cast<int64_t>(text_.size()) + 4 * static_cast<int64_t>(comments_.capacity());
  for (const XMLComment* comment : comments_.items()) bytes += static_cast<int64_t>(comment->StoredText().size()) + 24;
  return bytes;
}

void XMLHeader::ExportPrologue(std::string& out) const {
  out.append(text_).append(kLineBreak);
  for (const XMLComment* comment : comments_.items()) {
    if (comment->GetEP() <= 0) AppendComment(out, *comment);
  }
}

void XMLHeader::ExportEpilogue(std::string& out) const {
  for (const XMLComment* comment : comments_.items()) {
    if (comment->GetEP() > 0) AppendComment(out, *comment);
  }
}

}  // namespace Korvane::DataReader
