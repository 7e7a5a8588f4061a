// The parser. Markup is classified by its first characters:
//   "<!--" comment, up to the first "-->";     "<![CDATA[" CDATA, up to the first "]]>";
//   "<?" instruction, up to the first '>';     "</" closing tag, up to the first '>';
//   anything else a start tag, up to the first '>' outside double quotes, empty when
//   that '>' follows a '/'.
// Markup without its end stops the parse. Closing tags close the most recently opened
// element whatever their name. An instruction inside the document is kept as a comment
// holding its text after the first four characters, without the final "?>".
#include "xml/XMLHelper.h"

#include <algorithm>
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

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

size_t Find(std::string_view text, char c, size_t from) noexcept {
  if (from >= text.size()) return npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

// Most runs the parser looks through (names, short values, indentation) are a few
// bytes long, where a plain loop beats a call to memchr; longer runs go to memchr.
constexpr size_t kShortRun = 32;

size_t FindNear(std::string_view text, char c, size_t from) noexcept {
  const size_t limit = std::min(text.size(), from + kShortRun);
  for (size_t i = from; i < limit; ++i) {
    if (text[i] == c) return i;
  }
  return Find(text, c, limit);
}

size_t EndAfter(std::string_view text, std::string_view terminator, size_t from) noexcept {
  const size_t at = text.find(terminator, from);
  return at == npos ? npos : at + terminator.size();
}

size_t EndAfter(std::string_view text, char terminator, size_t from) noexcept {
  const size_t at = FindNear(text, terminator, from);
  return at == npos ? npos : at + 1;
}

// The first '>' at or after `from` outside double quotes, in one pass over the tag:
// linear however many quoted values it has. npos when a quoted value is not closed.
size_t FindTagEnd(std::string_view text, size_t from) noexcept {
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '>') return i;
    if (c == '"') {
      i = FindNear(text, '"', i + 1);
      if (i == npos) return npos;
    }
  }
  return npos;
}

// The run of text between markup: where the next '<' is (npos when there is none)
// and the run's text without leading and trailing blanks, [first, end), empty when
// the run is all blanks. One pass finds both for short runs.
struct TextRun {
  size_t lt;
  size_t first;
  size_t end;
};

TextRun ScanTextRun(std::string_view text, size_t from) noexcept {
  const size_t limit = std::min(text.size(), from + kShortRun);
  size_t first = npos;
  size_t end = from;
  size_t i = from;
  for (; i < limit; ++i) {
    const char c = text[i];
    if (c == '<') return first == npos ? TextRun{i, i, i} : TextRun{i, first, end};
    if (!IsBlank(c)) {
      if (first == npos) first = i;
      end = i + 1;
    }
  }
  const size_t lt = Find(text, '<', i);
  if (lt == npos) return {npos, 0, 0};
  if (first == npos) {
    first = i;
    while (first < lt && IsBlank(text[first])) ++first;
  }
  end = lt;
  while (end > first && IsBlank(text[end - 1])) --end;
  return {lt, first, end};
}

Markup ScanMarkup(std::string_view text, size_t lt) noexcept {
  const std::string_view rest = text.substr(lt);
  const char second = rest.size() > 1 ? rest[1] : '\0';
  size_t end = npos;
  MarkupKind kind = MarkupKind::Start;
  if (second == '!' && rest.starts_with(kCommentOpen)) {
    kind = MarkupKind::Comment;
    end = EndAfter(text, kCommentClose, lt + kCommentOpen.size());
  } else if (second == '!' && rest.starts_with(kCDataOpen)) {
    kind = MarkupKind::CData;
    end = EndAfter(text, kCDataClose, lt + kCDataOpen.size());
  } else if (second == '?') {
    kind = MarkupKind::Instruction;
    end = EndAfter(text, '>', lt + 2);
  } else if (second == '/') {
    kind = MarkupKind::Close;
    end = EndAfter(text, '>', lt + 2);
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

// A content of `parent` at `position` holding `text` (already without its
// surrounding blanks), placed in `arena` when one is given.
void AddContentText(XMLElement* parent, std::string_view text, int position, XMLArena* arena) {
  parent->AddContent(arena != nullptr ? arena->New<XMLContent>(parent, position, text)
                                      : std::make_unique<XMLContent>(parent, position, text));
}

std::string_view CommentText(std::string_view markup, MarkupKind kind) noexcept {
  if (kind == MarkupKind::Comment) {
    return markup.substr(kCommentOpen.size(), markup.size() - kCommentOpen.size() - kCommentClose.size());
  }
  if (markup.size() < kInstructionPrefix + kInstructionSuffix) return {};
  return markup.substr(kInstructionPrefix, markup.size() - kInstructionPrefix - kInstructionSuffix);
}

std::unique_ptr<XMLElement> NewElement(XMLArena* arena, XMLElement* parent, std::string_view tag) {
  return arena != nullptr ? arena->New<XMLElement>(parent, tag, arena) : std::make_unique<XMLElement>(parent, tag);
}

std::string_view UpToFirstNul(std::string_view text) noexcept {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  return nul != nullptr ? text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data())) : text;
}

}  // namespace

std::unique_ptr<XMLElement> XMLHelper::ParseElementTree(XMLHeader* header, XMLElement* parent, std::string_view text,
                                                        XML_PARSE_STATUS& status, XMLArena* arena) {
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
    const TextRun run = ScanTextRun(text, pos);
    if (run.lt == npos) break;
    const size_t lt = run.lt;
    XMLElement* current = owner();
    if (current != nullptr && run.end > run.first) {
      AddContentText(current, text.substr(run.first, run.end - run.first), current->GetChildrenNum(), arena);
    }
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
          element = current->AddElement(NewElement(arena, current, tag));
        } else if (open.empty() && root == nullptr) {
          root = NewElement(arena, nullptr, tag);
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
    if (current != nullptr) AddBlankVariable(current, text.substr(pos), current->GetChildrenNum(), arena);
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

void XMLHelper::AddBlankVariable(XMLElement* parent, std::string_view text, int position, XMLArena* arena) {
  if (parent == nullptr) return;
  // Most runs between tags are indentation; a plain loop skips them without the
  // per-character set search of find_first_not_of.
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  if (first == text.size()) return;
  size_t end = text.size();
  while (IsBlank(text[end - 1])) --end;
  AddContentText(parent, text.substr(first, end - first), position, arena);
}

}  // namespace Korvane::DataReader
