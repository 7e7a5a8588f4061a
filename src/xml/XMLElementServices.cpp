// Whole-subtree services of an element: integrity test, comparison, deep copies,
// sorting and moving children, and compacting storage. Every walk is iterative.
#include <algorithm>
#include <utility>
#include <vector>

#include "xml/XMLElement.h"
#include "xml/XMLTreeWalk.h"

namespace Korvane::DataReader {
namespace {

template <class Item>
bool SameItems(std::span<Item* const> a, std::span<Item* const> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Item* x, const Item* y) {
    return x->HasText() == y->HasText() && x->GetEP() == y->GetEP() && x->StoredText() == y->StoredText();
  });
}

template <class Item>
bool AllHaveText(std::span<Item* const> items) {
  return std::all_of(items.begin(), items.end(), [](const Item* item) { return item->HasText(); });
}

}  // namespace

bool XMLElement::IntegrityTest() const {
  bool intact = true;
  ForEachInSubtree(*this, [&intact](const XMLElement& element) {
    const auto variables = element.GetVariables();
    intact = intact && AllHaveText(element.GetComments()) && AllHaveText(element.GetContents()) &&
             AllHaveText(element.GetCDatas()) &&
             std::all_of(variables.begin(), variables.end(),
                         [](const XMLVariable* v) { return v->HasName() && v->HasValue(); });
  });
  return intact;
}

bool XMLElement::SubtreeUsesArena() const {
  bool uses = false;
  ForEachInSubtree(*this, [&uses](const XMLElement& element) {
    const auto variables = element.GetVariables();
    const auto contents = element.GetContents();
    uses = uses || element.InArena() ||
           std::any_of(variables.begin(), variables.end(), [](const XMLVariable* v) { return v->InArena(); }) ||
           std::any_of(contents.begin(), contents.end(), [](const XMLContent* c) { return c->InArena(); });
  });
  return uses;
}

bool XMLElement::ShallowEquals(const XMLElement& other) const {
  const auto mine = GetVariables();
  const auto theirs = other.GetVariables();
  return name_ == other.name_ && GetChildrenNum() == other.GetChildrenNum() &&
         std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
                    [](const XMLVariable* x, const XMLVariable* y) {
                      return x->StoredName() == y->StoredName() && x->StoredValue() == y->StoredValue() &&
                             x->HasName() == y->HasName() && x->HasValue() == y->HasValue();
                    }) &&
         SameItems(GetContents(), other.GetContents()) && SameItems(GetComments(), other.GetComments()) &&
         SameItems(GetCDatas(), other.GetCDatas());
}

int XMLElement::Compare(const XMLElement& other) const {
  std::vector<std::pair<const XMLElement*, const XMLElement*>> pending{{this, &other}};
  while (!pending.empty()) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    if (!a->ShallowEquals(*b)) return 1;
    const auto childrenA = a->GetChildren();
    const auto childrenB = b->GetChildren();
    for (size_t i = 0; i < childrenA.size(); ++i) pending.emplace_back(childrenA[i], childrenB[i]);
  }
  return 0;
}

std::unique_ptr<XMLElement> XMLElement::ShallowCopy() const {
  auto copy = std::make_unique<XMLElement>(nullptr, std::string_view{});
  copy->name_ = name_;
  copy->layout_ = layout_;
  copy->temporal_ = temporal_;
  copy->param_ = param_;
  for (const XMLVariable* variable : GetVariables()) copy->AddVariable(variable->Duplicate());
  for (const XMLContent* item : GetContents()) copy->AddContent(item->Duplicate());
  for (const XMLComment* item : GetComments()) copy->AddComment(item->Duplicate());
  for (const XMLCData* item : GetCDatas()) copy->AddCData(item->Duplicate());
  return copy;
}

std::unique_ptr<XMLElement> XMLElement::Duplicate() const {
  std::unique_ptr<XMLElement> top = ShallowCopy();
  std::vector<std::pair<const XMLElement*, XMLElement*>> pending{{this, top.get()}};
  while (!pending.empty()) {
    const auto [source, copy] = pending.back();
    pending.pop_back();
    for (const XMLElement* child : source->GetChildren()) {
      pending.emplace_back(child, copy->AddElement(child->ShallowCopy()));
    }
  }
  return top;
}

void XMLElement::Copy(const XMLElement& source) {
  if (&source == this) return;
  std::unique_ptr<XMLElement> copy = source.Duplicate();
  name_.swap(copy->name_);
  children_.swap(copy->children_);
  variables_.swap(copy->variables_);
  contents_.swap(copy->contents_);
  extras_.swap(copy->extras_);
  layout_ = copy->layout_;
  temporal_ = copy->temporal_;
  param_ = copy->param_;
  for (XMLElement* child : children_.items()) child->parent_ = this;
  for (XMLVariable* variable : variables_.items()) variable->SetOwnerElement(this);
  for (XMLContent* item : contents_.items()) item->SetParent(this);
  for (XMLComment* item : GetComments()) item->SetParent(this);
  for (XMLCData* item : GetCDatas()) item->SetParent(this);
}

void XMLElement::SortElements() {
  std::stable_sort(children_.mutableItems().begin(), children_.mutableItems().end(),
                   [](const XMLElement* a, const XMLElement* b) { return a->name_.view() < b->name_.view(); });
}

void XMLElement::SortVariables() {
  std::stable_sort(variables_.mutableItems().begin(), variables_.mutableItems().end(),
                   [](const XMLVariable* a, const XMLVariable* b) { return a->StoredName() < b->StoredName(); });
}

bool XMLElement::MoveElement(int from, int to) {
  const auto order = children_.mutableItems();
  if (children_.at(from) == nullptr || children_.at(to) == nullptr) return false;
  const auto source = order.begin() + from;
  const auto target = order.begin() + to;
  if (from < to) {
    std::rotate(source, source + 1, target + 1);
  } else {
    std::rotate(target, source, source + 1);
  }
  return true;
}

bool XMLElement::ReplaceElement(int index, std::unique_ptr<XMLElement> element) {
  if (children_.at(index) == nullptr || element == nullptr) return false;
  element->parent_ = this;
  std::unique_ptr<XMLElement> old(children_.mutableItems()[static_cast<size_t>(index)]);
  children_.mutableItems()[static_cast<size_t>(index)] = element.release();
  return true;
}

void XMLElement::CompressMemory() {
  ForEachInSubtree(*this, [](XMLElement& element) {
    element.children_.Compress();
    element.variables_.Compress();
    element.contents_.Compress();
    if (element.extras_ != nullptr) {
      element.extras_->comments.Compress();
      element.extras_->cdatas.Compress();
    }
  });
}

}  // namespace Korvane::DataReader
