// Writing an element subtree back out as XML text, and the size estimate and
// formatting that go with it. The walk is iterative (an explicit stack of open
// elements), so any depth exports in bounded stack, and the text is appended in place.
//
// Layout of the text, for an element at level L (the exported element has level 0),
// with indent(n) the element's indentation unit written n times:
//   indent(L) "<" name, then " " name "=\"" value "\"" per attribute;
//   without children (or with exportChildren clear) and without items: "/>";
//   otherwise ">", then before each child i the comments, contents and CDATA sections
//   whose position is at most i, the child at level L + 1, then the remaining comments,
//   CDATA sections and contents, then the closing tag "</" name ">".
// Comments are indent(L + 1) "<!--" text "-->" CR LF, CDATA sections likewise with
// "<![CDATA[" and "]]>", contents the bare text when compact, else indent(L + 1), the
// text and CR LF. Tags are followed by CR LF unless compact.
#include <algorithm>
#include <vector>

#include "xml/XMLElement.h"
#include "xml/XMLHeader.h"
#include "xml/XMLText.h"
#include "xml/XMLTreeWalk.h"

namespace Korvane::DataReader {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr int64_t kElementOverhead = 152;
constexpr int64_t kVariableOverhead = 32;
constexpr int64_t kItemOverhead = 24;
constexpr int64_t kBytesPerSlot = 4;
constexpr int64_t kInitialItemSlots = 10;  // comments and CDATA sections each

int32_t CappedIndentCount(int32_t count) noexcept { return std::clamp<int32_t>(count, 0, kMaxIndentCount); }

struct Frame {
  const XMLElement* element;
  int level;
  size_t nextChild = 0;
  size_t nextComment = 0;
  size_t nextContent = 0;
  size_t nextCData = 0;
};

class Exporter {
 public:
  Exporter(std::string& out, bool exportChildren, bool decoded)
      : out_(out), exportChildren_(exportChildren), decoded_(decoded) {}

  void Run(const XMLElement& top) {
    Open(top, 0);
    while (!frames_.empty()) {
      Frame& frame = frames_.back();
      const auto children = frame.element->GetChildren();
      if (exportChildren_ && frame.nextChild < children.size()) {
        const int position = static_cast<int>(frame.nextChild);
        WriteItems(frame, position);
        const XMLElement* child = children[frame.nextChild++];
        Open(*child, frame.level + 1);  // may reallocate frames_: `frame` is not used after this
        continue;
      }
      WriteItems(frame, -1);
      Close(frame);
      frames_.pop_back();
    }
  }

 private:
  void Indent(const XMLEXPORTFORMAT& format, int levels) {
    const int32_t count = CappedIndentCount(format.IndentCount);
    if (count == 0 || levels <= 0) return;
    out_.append(static_cast<size_t>(count) * static_cast<size_t>(levels), format.UseSpace != 0 ? ' ' : '\t');
  }

  void LineBreakUnlessCompact(const XMLEXPORTFORMAT& format) {
    if (!format.Compact) out_.append(kLineBreak);
  }

  void AppendStored(std::string_view stored) {
    if (decoded_) {
      XMLText::AppendDecoded(out_, stored);
    } else {
      out_.append(stored);
    }
  }

  void Open(const XMLElement& element, int level) {
    const XMLEXPORTFORMAT format = element.GetExportFormatting();
    Indent(format, level);
    out_.push_back('<');
    AppendStored(element.StoredName());
    for (const XMLVariable* variable : element.GetVariables()) {
      out_.push_back(' ');
      AppendStored(variable->StoredName());
      out_.append("=\"");
      AppendStored(variable->StoredValue());
      out_.push_back('"');
    }
    const bool hasBody = (exportChildren_ && element.GetChildrenNum() > 0) || element.GetCommentsNum() > 0 ||
                         element.GetContentsNum() > 0 || element.GetCDatasNum() > 0;
    out_.append(hasBody ? ">" : "/>");
    LineBreakUnlessCompact(format);
    if (hasBody) frames_.push_back(Frame{&element, level});
  }

  // Writes the comments, then contents, then CDATA sections placed at or before
  // child `position`; with position -1 everything left, comments, CDATA, contents.
  void WriteItems(Frame& frame, int position) {
    const XMLElement& element = *frame.element;
    const XMLEXPORTFORMAT format = element.GetExportFormatting();
    auto due = [position](const XMLTextItem* item) { return position < 0 || item->GetEP() <= position; };
    const auto comments = element.GetComments();
    for (; frame.nextComment < comments.size() && due(comments[frame.nextComment]); ++frame.nextComment) {
      Indent(format, frame.level + 1);
      out_.append("<!--").append(comments[frame.nextComment]->StoredText()).append("-->").append(kLineBreak);
    }
    auto writeContents = [&] {
      const auto contents = element.GetContents();
      for (; frame.nextContent < contents.size() && due(contents[frame.nextContent]); ++frame.nextContent) {
        if (!format.Compact) Indent(format, frame.level + 1);
        AppendStored(contents[frame.nextContent]->StoredText());
        LineBreakUnlessCompact(format);
      }
    };
    if (position >= 0) writeContents();
    const auto cdatas = element.GetCDatas();
    for (; frame.nextCData < cdatas.size() && due(cdatas[frame.nextCData]); ++frame.nextCData) {
      Indent(format, frame.level + 1);
      out_.append("<![CDATA[").append(cdatas[frame.nextCData]->StoredText()).append("]]>").append(kLineBreak);
    }
    if (position < 0) writeContents();
  }

  void Close(const Frame& frame) {
    const XMLElement& element = *frame.element;
    const XMLEXPORTFORMAT format = element.GetExportFormatting();
    const bool indent = (frame.level > 0 && !format.Compact) || element.GetChildrenNum() > 0 ||
                        element.GetCommentsNum() > 0 || element.GetCDatasNum() > 0 ||
                        element.GetContentsNum() != 1;
    if (indent) Indent(format, frame.level);
    out_.append("</");
    AppendStored(element.StoredName());
    out_.push_back('>');
    LineBreakUnlessCompact(format);
  }

  std::string& out_;
  const bool exportChildren_;
  const bool decoded_;
  std::vector<Frame> frames_;
};

int64_t TextBytes(std::string_view text) noexcept { return static_cast<int64_t>(text.size()); }

}  // namespace

int XMLElement::SetExportFormatting(const XMLEXPORTFORMAT* format) {
  ForEachInSubtree(*this, [format](XMLElement& element) {
    if (format != nullptr) {
      element.layout_.useSpace = format->UseSpace != 0 ? 1 : 0;
      element.layout_.compact = format->Compact;
      element.layout_.indentCount = static_cast<uint8_t>(CappedIndentCount(format->IndentCount));
    }
  });
  return GetChildrenNum();
}

int64_t XMLElement::MemoryUsage() const {
  int64_t bytes = 0;
  ForEachInSubtree(*this, [&bytes](const XMLElement& element) {
    bytes += kElementOverhead + TextBytes(element.name_);
    for (const XMLVariable* variable : element.GetVariables()) {
      bytes += TextBytes(variable->StoredName()) + TextBytes(variable->StoredValue()) + kVariableOverhead;
    }
    for (const XMLComment* item : element.GetComments()) bytes += TextBytes(item->StoredText()) + kItemOverhead;
    for (const XMLContent* item : element.GetContents()) bytes += TextBytes(item->StoredText()) + kItemOverhead;
    for (const XMLCData* item : element.GetCDatas()) bytes += TextBytes(item->StoredText()) + kItemOverhead;
    // Without an extras block the comment and CDATA arrays count at their initial size.
    const int64_t extraSlots = element.extras_ != nullptr
                                   ? element.extras_->comments.capacity() + element.extras_->cdatas.capacity()
                                   : 2 * kInitialItemSlots;
    const int64_t slots = int64_t{element.children_.capacity()} + element.variables_.capacity() +
                          element.contents_.capacity() + extraSlots;
    bytes += kBytesPerSlot * slots;
  });
  return bytes;
}

void XMLElement::Export(std::string& out, int exportChildren, XML_SAVE_MODE saveMode, const XMLHeader* header) const {
  if (header != nullptr) header->ExportPrologue(out);
  Exporter(out, exportChildren != 0, saveMode == XML_SAVE_MODE_ZERO).Run(*this);
  if (header != nullptr) header->ExportEpilogue(out);
}

bool XMLElement::Export(std::FILE* stream, int exportChildren, XML_SAVE_MODE saveMode,
                        const XMLHeader* header) const {
  if (stream == nullptr) return false;
  std::string text;
  Export(text, exportChildren, saveMode, header);
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}

}  // namespace Korvane::DataReader
