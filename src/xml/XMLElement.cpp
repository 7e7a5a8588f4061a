// Element construction from start-tag text, lookups, and adding and removing items.
// The start tag's stored layout: '<', the name up to a blank, '"', '/' or '>', then
// attributes written name="value" (double quotes only), up to '/' or '>'.
#include "xml/XMLElement.h"

#include <cstring>
#include <vector>

#include "xml/XMLText.h"

namespace Korvane::DataReader {
namespace {

constexpr std::string_view kDefaultTag = "<root />";

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool EndsName(char c) noexcept {
  return c == '\0' || c == '\t' || c == ' ' || c == '"' || c == '/' || c == '>';
}

std::string_view ViewOf(const char* text) noexcept { return text != nullptr ? std::string_view(text) : ""; }

}  // namespace

XMLEXPORTFORMAT XMLElement::GetExportFormatting() const noexcept {
  XMLEXPORTFORMAT format;
  format.UseSpace = layout_.useSpace;
  format.IndentCount = layout_.indentCount;
  format.Compact = layout_.compact;
  return format;
}

XMLElement::XMLElement(XMLElement* parent, const char* text, int type, bool temporal)
    : parent_(parent), temporal_(temporal) {
  Reparse(text, type);
}

XMLElement::XMLElement(XMLElement* parent, std::string_view tagText, XMLArena* arena) : parent_(parent) {
  ParseStartTag(tagText, arena);
}

XMLElement::~XMLElement() { DeleteChildrenIteratively(); }

void XMLElement::operator delete(XMLElement* element, std::destroying_delete_t) noexcept {
  const bool inArena = element->InArena();
  element->~XMLElement();
  if (!inArena) ::operator delete(element);
}

// Children are torn down without recursion and without extra memory: the walk
// descends to a leaf by detaching each element's last child, deletes the leaf (whose
// destructor then has nothing left to do) and climbs back through the parent link,
// which every attached child holds.
void XMLElement::DeleteChildrenIteratively() noexcept {
  XMLElement* current = this;
  while (true) {
    XMLElement* child = current->children_.PopBack();
    if (child != nullptr) {
      current = child;
      continue;
    }
    if (current == this) return;
    XMLElement* parent = current->parent_;
    delete current;
    current = parent;
  }
}

void XMLElement::Reparse(const char* text, int type) {
  Reparse(text != nullptr ? std::string_view(text) : kDefaultTag, type);
}

void XMLElement::Reparse(std::string_view text, int type) {
  variables_.Clear();
  DeleteChildrenIteratively();
  if (extras_ != nullptr) extras_->comments.Clear();
  layout_.type = type == kTypeNameOnly ? kTypeNameOnly : kTypeParsed;
  if (type == kTypeNameOnly) {
    SetElementName(std::string(text).c_str());
    return;
  }
  ParseStartTag(text, nullptr);
}

void XMLElement::ParseStartTag(std::string_view tag, XMLArena* arena) {
  size_t pos = tag.starts_with('<') ? 1 : 0;
  const size_t nameStart = pos;
  // Only '\'', '<' and '&' can make a name's stored form differ from the name (the
  // other characters that encoding replaces end the name).
  bool mayNeedEncoding = false;
  for (; pos < tag.size() && !EndsName(tag[pos]); ++pos) {
    const char c = tag[pos];
    mayNeedEncoding = mayNeedEncoding || c == '\'' || c == '<' || c == '&';
  }
  const std::string_view name = tag.substr(nameStart, pos - nameStart);
  if (!mayNeedEncoding || XMLText::EncodedLength(name) == name.size()) {
    name_.assign(name);
  } else {
    name_.assign(XMLText::Encode(name));
  }

  while (true) {
    while (pos < tag.size() && IsBlank(tag[pos])) ++pos;
    if (pos >= tag.size() || tag[pos] == '/' || tag[pos] == '>' || tag[pos] == '\0') return;
    const size_t equals = tag.find('=', pos);
    if (equals == std::string_view::npos) return;
    const size_t open = tag.find('"', equals + 1);
    if (open == std::string_view::npos) return;
    const size_t close = tag.find('"', open + 1);
    if (close == std::string_view::npos) return;
    const std::string_view attributeName = tag.substr(pos, equals - pos);
    const std::string_view attributeValue = tag.substr(open + 1, close - open - 1);
    variables_.Add(arena != nullptr ? arena->New<XMLVariable>(this, attributeName, attributeValue)
                                    : std::make_unique<XMLVariable>(this, attributeName, attributeValue));
    pos = close + 1;
  }
}

int XMLElement::GetElementName(char* out, int raw) const noexcept { return XMLText::GetText(name_, out, raw); }

std::string XMLElement::Name(bool raw) const { return raw ? std::string(name_) : XMLText::Decode(name_); }

bool XMLElement::HasName(std::string_view name) const { return XMLText::DecodedEquals(name_, name); }

void XMLElement::SetElementName(const char* name, int raw) {
  name_.assign(raw != 0 ? std::string(ViewOf(name)) : XMLText::Encode(ViewOf(name)));
}

int XMLElement::FindElement(const char* name) const {
  const std::string_view wanted = ViewOf(name);
  const auto children = children_.items();
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i]->HasName(wanted)) return static_cast<int>(i);
  }
  return -1;
}

XMLElement* XMLElement::FindElementZ(const char* name, bool create, const char* text, bool temporal) {
  const int index = FindElement(name);
  if (index >= 0) return children_.at(index);
  if (!create) return nullptr;
  const char* construction = text != nullptr ? text : ViewOf(name).data();
  return AddElement(std::make_unique<XMLElement>(this, construction, kTypeParsed, temporal));
}

int XMLElement::FindVariable(const char* name) const {
  const std::string_view wanted = ViewOf(name);
  const auto variables = variables_.items();
  for (size_t i = 0; i < variables.size(); ++i) {
    if (XMLText::DecodedEquals(variables[i]->StoredName(), wanted)) return static_cast<int>(i);
  }
  return -1;
}

XMLVariable* XMLElement::FindVariableZ(const char* name, bool create, const char* value, bool temporal) {
  const int index = FindVariable(name);
  if (index >= 0) return variables_.at(index);
  if (!create) return nullptr;
  return AddVariable(std::make_unique<XMLVariable>(this, ViewOf(name).data(), value != nullptr ? value : "", 0,
                                                   temporal));
}

XMLElement* XMLElement::GetElementInSection(const char* path, bool create) {
  XMLElement* element = this;
  std::string_view rest = ViewOf(path);
  std::string step;
  while (!rest.empty() && element != nullptr) {
    const size_t separator = rest.find('\\');
    step.assign(rest.substr(0, separator));
    rest = separator == std::string_view::npos ? std::string_view{} : rest.substr(separator + 1);
    element = element->FindElementZ(step.c_str(), create);
  }
  return element;
}

XMLElement* XMLElement::AddElement(std::unique_ptr<XMLElement> child) {
  if (child == nullptr) return nullptr;
  child->parent_ = this;
  return children_.Add(std::move(child));
}

XMLElement* XMLElement::AddElement(const char* text) { return AddElement(std::make_unique<XMLElement>(this, text)); }

XMLVariable* XMLElement::AddVariable(std::unique_ptr<XMLVariable> variable) {
  if (variable == nullptr) return nullptr;
  variable->SetOwnerElement(this);
  return variables_.Add(std::move(variable));
}

XMLVariable* XMLElement::AddVariable(const char* name, const char* value, int raw) {
  return AddVariable(std::make_unique<XMLVariable>(this, name, value, raw));
}

XMLContent* XMLElement::AddContent(std::unique_ptr<XMLContent> content) {
  if (content == nullptr) return nullptr;
  content->SetParent(this);
  return contents_.Add(std::move(content));
}

XMLContent* XMLElement::AddContent(const char* text, int position, int raw) {
  return AddContent(std::make_unique<XMLContent>(this, position, text, raw));
}

XMLElement::Extras& XMLElement::MakeExtras() {
  if (extras_ == nullptr) extras_ = std::make_unique<Extras>();
  return *extras_;
}

XMLComment* XMLElement::AddComment(std::unique_ptr<XMLComment> comment) {
  if (comment == nullptr) return nullptr;
  comment->SetParent(this);
  return MakeExtras().comments.Add(std::move(comment));
}

XMLComment* XMLElement::AddComment(const char* text, int position) {
  return AddComment(std::make_unique<XMLComment>(this, position, text));
}

XMLCData* XMLElement::AddCData(std::unique_ptr<XMLCData> cdata) {
  if (cdata == nullptr) return nullptr;
  cdata->SetParent(this);
  return MakeExtras().cdatas.Add(std::move(cdata));
}

XMLCData* XMLElement::AddCData(const char* text, int position) {
  return AddCData(std::make_unique<XMLCData>(this, position, text));
}

namespace {

template <class Array>
int RemoveAt(Array& array, int index) {
  if (array.at(index) == nullptr) return -1;
  array.Release(index);
  return array.size();
}

}  // namespace

int XMLElement::RemoveElement(int index) {
  std::unique_ptr<XMLElement> child = DetachElement(index);
  return child != nullptr ? children_.size() : -1;
}

std::unique_ptr<XMLElement> XMLElement::DetachElement(int index) {
  std::unique_ptr<XMLElement> child = children_.Release(index);
  if (child == nullptr) return nullptr;
  child->parent_ = nullptr;
  if (child->SubtreeUsesArena()) child = child->Duplicate();
  return child;
}

int XMLElement::RemoveVariable(int index) { return RemoveAt(variables_, index); }

int XMLElement::RemoveContent(int index) { return RemoveAt(contents_, index); }

int XMLElement::RemoveComment(int index) { return extras_ != nullptr ? RemoveAt(extras_->comments, index) : -1; }

int XMLElement::RemoveCData(int index) { return extras_ != nullptr ? RemoveAt(extras_->cdatas, index) : -1; }

}  // namespace Korvane::DataReader
