// Visits every element of a subtree without recursion, so that trees of any depth
// are walked in bounded stack. Internal to the XML library.
#pragma once

#include <vector>

#include "xml/XMLElement.h"

namespace Korvane::DataReader {

// Calls visit(element) for `top` and every descendant, parents before children and
// siblings in document order. `Element` is XMLElement or const XMLElement.
template <class Element, class Visit>
void ForEachInSubtree(Element& top, Visit&& visit) {
  std::vector<Element*> pending{&top};
  while (!pending.empty()) {
    Element* element = pending.back();
    pending.pop_back();
    visit(*element);
    const auto children = element->GetChildren();
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
  }
}

}  // namespace Korvane::DataReader
