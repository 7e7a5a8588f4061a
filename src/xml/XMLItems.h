// The text items of an element: contents (character data between tags), comments and
// CDATA sections. Each holds one text and the position ("ep") it had among the owner's
// children: the item sits before child number ep. The owning element deletes them.
#pragma once

#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "xml/XMLArena.h"
#include "xml/XMLShortText.h"
#include "xml/XMLTypes.h"

namespace Korvane::DataReader {

// What the three item kinds share: the text as stored, the owner and the position.
class XMLTextItem {
 public:
  std::string_view StoredText() const noexcept { return text_; }
  // False only for an item built from a null text, which fails the integrity test.
  bool HasText() const noexcept { return hasText_; }
  XMLElement* GetParent() const noexcept { return parent_; }
  void SetParent(XMLElement* parent) noexcept { parent_ = parent; }
  int GetEP() const noexcept { return ep_; }
  void SetEP(int ep) noexcept { ep_ = ep; }

 protected:
  XMLTextItem(XMLElement* parent, int ep, std::string_view storedText, bool hasText)
      : text_(storedText), parent_(parent), ep_(ep), hasText_(hasText) {}

  void Assign(std::string_view text, bool hasText) {
    text_.assign(text);
    hasText_ = hasText;
  }

 private:
  XMLShortText text_;
  XMLElement* parent_;
  int ep_;
  bool hasText_;
};

class XMLContent : public XMLTextItem {
 public:
  // A content from plain text (encoded on the way in), or from stored text with raw.
  XMLContent(XMLElement* parent, int ep, const char* text, int raw = 0);
  // A content from text in stored form, as the parser finds it.
  XMLContent(XMLElement* parent, int ep, std::string_view storedText)
      : XMLTextItem(parent, ep, storedText, true) {}

  // Writes the text (decoded when raw is 0) and returns its length; with `out` null
  // returns the stored length, an upper bound of the decoded one.
  int GetValue(char* out, int raw = 0) const noexcept;
  std::string Value(bool raw = false) const;
  void SetValue(const char* text, int raw = 0);

  std::unique_ptr<XMLContent> Duplicate() const { return std::make_unique<XMLContent>(*this); }

  // Deleting a content runs its destructor and frees its memory, unless it lives
  // in an arena, which frees the memory itself.
  void operator delete(XMLContent* content, std::destroying_delete_t) noexcept {
    const bool inArena = content->InArena();
    content->~XMLContent();
    if (!inArena) ::operator delete(content);
  }
  // True for a content the parser placed in its document's arena.
  bool InArena() const noexcept { return arenaMark_.InArena(); }

 private:
  friend class XMLArena;
  ArenaMark arenaMark_;
};

class XMLComment : public XMLTextItem {
 public:
  // A comment with the given text, kept as it is; a null text gives " ".
  XMLComment(XMLElement* parent, int ep, const char* text)
      : XMLTextItem(parent, ep, text != nullptr ? std::string_view(text) : std::string_view(" "), true) {}
  XMLComment(XMLElement* parent, int ep, std::string_view text) : XMLTextItem(parent, ep, text, true) {}

  // The comment text and its length, as GetValue of a content with raw set.
  int GetValue(char* out) const noexcept;
  void SetValue(const char* text) { Assign(text != nullptr ? text : " ", true); }

  std::unique_ptr<XMLComment> Duplicate() const { return std::make_unique<XMLComment>(*this); }
};

class XMLCData : public XMLTextItem {
 public:
  // A CDATA section holding the text as it is; a null text is a missing text.
  XMLCData(XMLElement* parent, int ep, const char* text)
      : XMLTextItem(parent, ep, text != nullptr ? std::string_view(text) : std::string_view(), text != nullptr) {}
  XMLCData(XMLElement* parent, int ep, std::string_view text) : XMLTextItem(parent, ep, text, true) {}

  int GetValue(char* out) const noexcept;
  void SetValue(const char* text) { Assign(text != nullptr ? text : "", text != nullptr); }

  std::unique_ptr<XMLCData> Duplicate() const { return std::make_unique<XMLCData>(*this); }
};

}  // namespace Korvane::DataReader
