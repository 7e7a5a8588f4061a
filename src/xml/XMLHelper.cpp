// The parser. Markup is classified by its first characters:
//   "<!--" comment, up to the first "-->";     "<![CDATA[" CDATA, up to the first "]]>";
//   "<?" instruction, up to the first '>';     "</" closing tag, up to the first '>';
//   anything else a start tag, up to the first '>' outside double quotes, empty when
//   that '>' follows a '/'.
// Markup without its end stops the parse. Closing tags close the most recently opened
// element whatever their name. An instruction inside the document is kept as a comment
// holding its text after the first four characters, without the final "?>".
#include "xml/XMLHelper.h"

#include <cstring>
#include <vector>

namespace Korvane::DataReader {
namespace {

constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";
constexpr std::string_view kCDataOpen = "<![CDATA[";
constexpr std::string_view kCDataClose = "]]>";
constexpr size_t kInstructionPrefix = 4;  // "<?" and the two characters after it
constexpr size_t kInstructionSuffix = 2;  // "?>"
constexpr size_t npos = std::string_view::npos;

enum class MarkupKind { Comment, CData, Instruction, Close, Empty, Start, Unterminated };

struct Markup {
  MarkupKind kind;
  size_t end;  // just after the closing '>'
};

size_t Find(std::string_view text, char c, size_t from) noexcept {
  if (from >= text.size()) return npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

size_t EndAfter(std::string_view text, std::string_view terminator, size_t from) noexcept {
  const size_t at = text.find(terminator, from);
  return at == npos ? npos : at + terminator.size();
}

// The first '>' at or after `from` outside double quotes. The '>' position is only
// searched again once a quoted run has passed it, so a tag costs linear time however
// many quoted values it has.
size_t FindTagEnd(std::string_view text, size_t from) noexcept {
  size_t pos = from;
  size_t gt = Find(text, '>', pos);
  while (gt != npos) {
    const void* quote = std::memchr(text.data() + pos, '"', gt - pos);
    if (quote == nullptr) return gt;
    const size_t closing = Find(text, '"', static_cast<size_t>(static_cast<const char*>(quote) - text.data()) + 1);
    if (closing == npos) return npos;
    pos = closing + 1;
    if (gt < pos) gt = Find(text, '>', pos);
  }
  return npos;
}

Markup ScanMarkup(std::string_view text, size_t lt) noexcept {
  const std::string_view rest = text.substr(lt);
  size_t end = npos;
  MarkupKind kind = MarkupKind::Start;
  if (rest.starts_with(kCommentOpen)) {
    kind = MarkupKind::Comment;
    end = EndAfter(text, kCommentClose, lt + kCommentOpen.size());
  } else if (rest.starts_with(kCDataOpen)) {
    kind = MarkupKind::CData;
    end = EndAfter(text, kCDataClose, lt + kCDataOpen.size());
  } else if (rest.starts_with("<?")) {
    kind = MarkupKind::Instruction;
    end = EndAfter(text, ">", lt + 2);
  } else if (rest.starts_with("</")) {
    kind = MarkupKind::Close;
    end = EndAfter(text, ">", lt + 2);
  } else {
    const size_t gt = FindTagEnd(text, lt + 1);
    if (gt != npos) {
      end = gt + 1;
      if (gt > lt + 1 && text[gt - 1] == '/') kind = MarkupKind::Empty;
    }
  }
  if (end == npos) return {MarkupKind::Unterminated, npos};
  return {kind, end};
}

std::string_view CommentText(std::string_view markup, MarkupKind kind) noexcept {
  if (kind == MarkupKind::Comment) {
    return markup.substr(kCommentOpen.size(), markup.size() - kCommentOpen.size() - kCommentClose.size());
  }
  if (markup.size() < kInstructionPrefix + kInstructionSuffix) return {};
  return markup.substr(kInstructionPrefix, markup.size() - kInstructionPrefix - kInstructionSuffix);
}

std::string_view UpToFirstNul(std::string_view text) noexcept {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  return nul != nullptr ? text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data())) : text;
}

}  // namespace

std::unique_ptr<XMLElement> XMLHelper::ParseElementTree(XMLHeader* header, XMLElement* parent, std::string_view text,
                                                        XML_PARSE_STATUS& status) {
  text = UpToFirstNul(text);
  std::unique_ptr<XMLElement> root;
  // Elements whose closing tag is pending, innermost last. A null entry is an element
  // that is parsed but dropped (a second top-level element), and so is its subtree.
  std::vector<XMLElement*> open;
  bool elementSeenAtTop = false;
  bool cutOff = false;
  size_t pos = 0;
  auto owner = [&]() -> XMLElement* { return open.empty() ? parent : open.back(); };

  while (true) {
    const size_t lt = Find(text, '<', pos);
    if (lt == npos) break;
    XMLElement* current = owner();
    if (current != nullptr) AddBlankVariable(current, text.substr(pos, lt - pos), current->GetChildrenNum());
    const Markup markup = ScanMarkup(text, lt);
    if (markup.kind == MarkupKind::Unterminated) {
      cutOff = true;
      break;
    }
    const std::string_view markupText = text.substr(lt, markup.end - lt);
    pos = markup.end;
    switch (markup.kind) {
      case MarkupKind::Comment:
      case MarkupKind::Instruction: {
        const std::string_view comment = CommentText(markupText, markup.kind);
        if (current != nullptr) {
          current->AddComment(std::make_unique<XMLComment>(current, current->GetChildrenNum(), comment));
        } else if (open.empty() && header != nullptr) {
          header->AddComment(comment, elementSeenAtTop ? 1 : 0);
        }
        break;
      }
      case MarkupKind::CData:
        if (current != nullptr) {
          const std::string_view body =
              markupText.substr(kCDataOpen.size(), markupText.size() - kCDataOpen.size() - kCDataClose.size());
          current->AddCData(std::make_unique<XMLCData>(current, current->GetChildrenNum(), body));
        }
        break;
      case MarkupKind::Close:
        if (!open.empty()) open.pop_back();
        break;
      case MarkupKind::Start:
      case MarkupKind::Empty: {
        const std::string_view tag = markupText.substr(0, markupText.size() - 1);
        XMLElement* element = nullptr;
        if (current != nullptr) {
          element = current->AddElement(std::make_unique<XMLElement>(current, tag));
        } else if (open.empty() && root == nullptr) {
          root = std::make_unique<XMLElement>(nullptr, tag);
          element = root.get();
        }
        if (open.empty()) elementSeenAtTop = true;
        if (markup.kind == MarkupKind::Start) open.push_back(element);
        break;
      }
      case MarkupKind::Unterminated:
        break;
    }
  }
  if (!cutOff) {
    XMLElement* current = owner();
    if (current != nullptr) AddBlankVariable(current, text.substr(pos), current->GetChildrenNum());
  }
  // Markup cut off before the root element was complete counts as a missing closing
  // tag: some element was begun and never ended.
  if (!open.empty() || (cutOff && (parent != nullptr || root == nullptr))) status = XML_PARSE_ERROR;
  return root;
}

size_t XMLHelper::FindXMLClose(std::string_view text, size_t start) {
  text = UpToFirstNul(text);
  int64_t depth = 0;
  size_t pos = start;
  while (true) {
    const size_t lt = Find(text, '<', pos);
    if (lt == npos) return npos;
    const Markup markup = ScanMarkup(text, lt);
    switch (markup.kind) {
      case MarkupKind::Unterminated:
        return npos;
      case MarkupKind::Close:
        if (depth == 1) return markup.end;
        --depth;
        break;
      case MarkupKind::Start:
        ++depth;
        break;
      default:
        if (depth == 0) return markup.end;
        break;
    }
    pos = markup.end;
  }
}

void XMLHelper::AddBlankVariable(XMLElement* parent, std::string_view text, int position) {
  if (parent == nullptr) return;
  constexpr std::string_view kBlanks = "\t\n\r ";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == npos) return;
  const size_t last = text.find_last_not_of(kBlanks);
  parent->AddContent(std::make_unique<XMLContent>(parent, position, text.substr(first, last - first + 1)));
}

}  // namespace Korvane::DataReader
