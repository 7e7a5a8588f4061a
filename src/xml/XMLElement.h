// XMLElement: one element of an XML document with its attributes, text items and child
// elements, which it owns and deletes (iteratively, so any depth of tree is safe). The
// element's name and its items keep their stored (entity-encoded) form; lookups
// compare decoded names, exactly and case-sensitively, by a linear scan of one level.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "xml/XMLArena.h"
#include "xml/XMLItems.h"
#include "xml/XMLOwnedArray.h"
#include "xml/XMLShortText.h"
#include "xml/XMLTypes.h"
#include "xml/XMLVariable.h"

namespace Korvane::DataReader {

class XMLElement {
 public:
  // Type 0 parses the construction text as a start tag; type 1 takes it as the name.
  static constexpr int kTypeParsed = 0;
  static constexpr int kTypeNameOnly = 1;

  // An element built from start-tag text such as "<a x=\"1\">" (Reparse); a null text
  // means "<root />". The parent is recorded, not told: AddElement attaches.
  explicit XMLElement(XMLElement* parent, const char* text = nullptr, int type = kTypeParsed,
                      bool temporal = false);
  // An element from a start tag as the parser finds it in the source; its
  // attributes are placed in `arena` when one is given.
  XMLElement(XMLElement* parent, std::string_view tagText, XMLArena* arena = nullptr);
  ~XMLElement();
  // Deleting an element runs its destructor and frees its memory, unless it lives
  // in an arena, which frees the memory itself.
  void operator delete(XMLElement* element, std::destroying_delete_t) noexcept;
  // True for an element the parser placed in its document's arena.
  bool InArena() const noexcept { return arenaMark_.InArena(); }

  XMLElement(const XMLElement&) = delete;
  XMLElement& operator=(const XMLElement&) = delete;

  // Deletes the attributes, children and comments, then takes name and attributes
  // from the start-tag text (type 0) or the whole text as the name (type 1).
  void Reparse(const char* text, int type = kTypeParsed);
  void Reparse(std::string_view text, int type = kTypeParsed);

  // Writes the name (decoded when raw is 0) and returns its length; with `out` null
  // returns the stored length, an upper bound of the decoded one.
  int GetElementName(char* out, int raw = 0) const noexcept;
  std::string Name(bool raw = false) const;
  std::string_view StoredName() const noexcept { return name_; }
  // True when the decoded name equals `name` exactly.
  bool HasName(std::string_view name) const;
  // Renames; the name is encoded unless raw.
  void SetElementName(const char* name, int raw = 0);

  XMLElement* GetParent() const noexcept { return parent_; }
  std::span<XMLElement* const> GetChildren() const noexcept { return children_.items(); }
  int GetChildrenNum() const noexcept { return children_.size(); }
  // The child at `index`, or null when out of range.
  XMLElement* operator[](int index) const noexcept { return children_.at(index); }
  std::span<XMLVariable* const> GetVariables() const noexcept { return variables_.items(); }
  int GetVariableNum() const noexcept { return variables_.size(); }
  std::span<XMLContent* const> GetContents() const noexcept { return contents_.items(); }
  int GetContentsNum() const noexcept { return contents_.size(); }
  std::span<XMLComment* const> GetComments() const noexcept {
    return extras_ != nullptr ? extras_->comments.items() : std::span<XMLComment* const>{};
  }
  int GetCommentsNum() const noexcept { return extras_ != nullptr ? extras_->comments.size() : 0; }
  std::span<XMLCData* const> GetCDatas() const noexcept {
    return extras_ != nullptr ? extras_->cdatas.items() : std::span<XMLCData* const>{};
  }
  int GetCDatasNum() const noexcept { return extras_ != nullptr ? extras_->cdatas.size() : 0; }

  int GetType() const noexcept { return layout_.type; }
  bool IsTemporal() const noexcept { return temporal_; }
  void SetTemporal(bool temporal) noexcept { temporal_ = temporal; }
  uint64_t GetElementParam() const noexcept { return param_; }
  void SetElementParam(uint64_t param) noexcept { param_ = param; }

  // Index of the first child with that name, or -1.
  int FindElement(const char* name) const;
  // The first child with that name; when there is none and `create` is set, a new
  // child built from `text` (or from the name) is appended and returned; else null.
  XMLElement* FindElementZ(const char* name, bool create = false, const char* text = nullptr,
                           bool temporal = false);
  // Index of the first attribute with that name, or -1.
  int FindVariable(const char* name) const;
  // The first attribute with that name; when there is none and `create` is set, a new
  // attribute (name, value, both encoded) is appended and returned; else null.
  XMLVariable* FindVariableZ(const char* name, bool create = false, const char* value = nullptr,
                             bool temporal = false);
  // Follows a backslash-separated path of child names (first match at each step);
  // null when a step is missing, unless `create` is set, which appends missing steps
  // as new elements. An empty path gives this element.
  XMLElement* GetElementInSection(const char* path, bool create = false);

  // Append, taking ownership; each returns the item (and sets its owner).
  XMLElement* AddElement(std::unique_ptr<XMLElement> child);
  XMLElement* AddElement(const char* text);
  XMLVariable* AddVariable(std::unique_ptr<XMLVariable> variable);
  XMLVariable* AddVariable(const char* name, const char* value, int raw = 0);
  XMLContent* AddContent(std::unique_ptr<XMLContent> content);
  XMLContent* AddContent(const char* text, int position, int raw = 0);
  XMLComment* AddComment(std::unique_ptr<XMLComment> comment);
  XMLComment* AddComment(const char* text, int position);
  XMLCData* AddCData(std::unique_ptr<XMLCData> cdata);
  XMLCData* AddCData(const char* text, int position);

  // Delete the item at `index`; each returns the remaining count, or -1 when the
  // index is out of range.
  int RemoveElement(int index);
  int RemoveVariable(int index);
  int RemoveContent(int index);
  int RemoveComment(int index);
  int RemoveCData(int index);
  // Detaches the child at `index` and hands it to the caller (null when out of range).
  // A child with anything in its subtree placed in the document's arena cannot
  // outlive the document, so the caller gets a deep copy of it instead.
  std::unique_ptr<XMLElement> DetachElement(int index);

  // Copies the formatting into this element and every descendant (a null format
  // only caps the indent counts at kMaxIndentCount); returns the child count.
  int SetExportFormatting(const XMLEXPORTFORMAT* format);
  XMLEXPORTFORMAT GetExportFormatting() const noexcept;
  // The size estimate of the element and its subtree that the export buffer is
  // sized by: 152 + the name, (name + value + 32) per attribute, (text + 24) per item,
  // 4 per slot of the five arrays' nominal capacities, and every child's estimate.
  int64_t MemoryUsage() const;
  // Appends the element as XML text to `out`; with exportChildren 0 no child element
  // is written. A header, when given, is written around the element.
  void Export(std::string& out, int exportChildren = 1, XML_SAVE_MODE saveMode = XML_SAVE_MODE_DEFAULT,
              const XMLHeader* header = nullptr) const;
  // Writes the same text to a C stream; false when the stream failed.
  bool Export(std::FILE* stream, int exportChildren = 1, XML_SAVE_MODE saveMode = XML_SAVE_MODE_DEFAULT,
              const XMLHeader* header = nullptr) const;

  // True when every item in the subtree has its text and every attribute its name
  // and value.
  bool IntegrityTest() const;
  // 0 when the two subtrees hold the same stored names, attributes, items (with their
  // positions) and children; 1 otherwise.
  int Compare(const XMLElement& other) const;
  // A deep copy, owned by the caller and attached to no parent.
  std::unique_ptr<XMLElement> Duplicate() const;
  // Makes this element a deep copy of `source`, keeping its own parent.
  void Copy(const XMLElement& source);
  // Stable sorts of the children or attributes by stored name (byte order).
  void SortElements();
  void SortVariables();
  // Moves the child at `from` to position `to`; false when either is out of range.
  bool MoveElement(int from, int to);
  // Replaces (and deletes) the child at `index`; false when out of range.
  bool ReplaceElement(int index, std::unique_ptr<XMLElement> element);
  // Drops spare array storage in the subtree.
  void CompressMemory();

  // The children whose attributes satisfy `expression` ("attribute operator operand",
  // see XML::TestMatch): stores the first `max` of them in `results` (which may be
  // null) and returns how many children matched in all.
  int XMLQuery(const char* expression, XMLElement** results, int max) const;

 private:
  void DeleteChildrenIteratively() noexcept;
  // A copy of the name, attributes, items and settings, without children.
  std::unique_ptr<XMLElement> ShallowCopy() const;
  // True when name, attributes, items and child count agree.
  bool ShallowEquals(const XMLElement& other) const;
  void ParseStartTag(std::string_view tag, XMLArena* arena);
  // True when this element or any of its descendants, attributes or contents lives
  // in an arena.
  bool SubtreeUsesArena() const;

  // Comments and CDATA sections are rare; they live in a block of their own, made on
  // first use, which keeps the element small.
  struct Extras {
    XMLOwnedArray<XMLComment, 10, 10> comments;
    XMLOwnedArray<XMLCData, 10, 10> cdatas;
  };
  Extras& MakeExtras();

  // The export formatting and the type, packed.
  struct Layout {
    uint8_t useSpace = 0;
    uint8_t indentCount = 1;
    bool compact = false;
    uint8_t type = kTypeParsed;
  };

  XMLElement* parent_;
  XMLShortText name_;
  XMLOwnedArray<XMLElement, 20, 20> children_;
  XMLOwnedArray<XMLVariable, 20, 20> variables_;
  XMLOwnedArray<XMLContent, 4, 4> contents_;
  std::unique_ptr<Extras> extras_;
  uint64_t param_ = 0;
  Layout layout_;
  bool temporal_ = false;
  friend class XMLArena;
  ArenaMark arenaMark_;
};

}  // namespace Korvane::DataReader
