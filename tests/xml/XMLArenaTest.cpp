// The arena a parsed document's nodes live in: which nodes are placed there, that
// nothing placed there leaves the document, and the arena's own allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "xml/XML.h"
#include "xml/XMLArena.h"
#include "xml/XMLHelper.h"

namespace Korvane::DataReader {
namespace {

TEST(XMLArena, ParsedNodesLiveInTheArenaAndAddedOnesDoNot) {
  XML xml;
  xml.LoadText("<?xml?><a x=\"1\">t<b y=\"2\">u</b></a>");
  XMLElement& a = *xml.GetRootElement();
  EXPECT_TRUE(a.InArena());
  EXPECT_TRUE(a.GetVariables()[0]->InArena());
  EXPECT_TRUE(a.GetContents()[0]->InArena());
  EXPECT_TRUE(a[0]->InArena());
  EXPECT_TRUE(a[0]->GetContents()[0]->InArena());

  XMLElement* added = a.AddElement("<c z=\"3\">");
  added->AddContent("v", 0);
  EXPECT_FALSE(added->InArena());
  EXPECT_FALSE(added->GetVariables()[0]->InArena());
  EXPECT_FALSE(added->GetContents()[0]->InArena());
  // A tree mixing both kinds is torn down (and parsed again) cleanly.
  EXPECT_EQ(a.RemoveElement(0), 1);
  xml.LoadText("<?xml?><d/>");
  EXPECT_EQ(xml.GetRootElement()->Name(), "d");
}

TEST(XMLArena, CopiesOfArenaNodesAreOwnedByTheirCaller) {
  XML xml;
  xml.LoadText("<?xml?><a x=\"1\">t<b/></a>");
  const XMLElement& a = *xml.GetRootElement();
  EXPECT_FALSE(a.Duplicate()->InArena());
  EXPECT_FALSE(a.GetVariables()[0]->Duplicate()->InArena());
  EXPECT_FALSE(a.GetContents()[0]->Duplicate()->InArena());
  EXPECT_FALSE(a[0]->Duplicate()->InArena());
}

// Detaching hands out a copy when anything in the subtree lives in an arena, so
// that it outlives the document; a subtree built by the caller is handed back
// itself.
TEST(XMLArena, DetachedSubtreesOutliveTheirDocument) {
  std::unique_ptr<XMLElement> parsed;
  std::unique_ptr<XMLElement> built;
  XMLElement* builtAddress = nullptr;
  {
    XML xml;
    xml.LoadText("<?xml?><r><p k=\"v\">text<q>deep</q></p></r>");
    XMLElement& r = *xml.GetRootElement();
    const std::unique_ptr<XMLElement> expected = r[0]->Duplicate();
    builtAddress = r.AddElement("<s>");
    builtAddress->AddElement("<t>");
    parsed = r.DetachElement(0);
    built = r.DetachElement(0);
    EXPECT_EQ(r.GetChildrenNum(), 0);
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(parsed->Compare(*expected), 0);
  }
  EXPECT_EQ(built.get(), builtAddress);
  EXPECT_EQ(built->GetParent(), nullptr);
  EXPECT_EQ((*built)[0]->Name(), "t");
  EXPECT_EQ(parsed->GetParent(), nullptr);
  EXPECT_FALSE(parsed->InArena());
  EXPECT_FALSE(parsed->GetVariables()[0]->InArena());
  EXPECT_FALSE(parsed->GetContents()[0]->InArena());
  EXPECT_FALSE((*parsed)[0]->InArena());
  EXPECT_EQ(parsed->GetVariables()[0]->Value(), "v");
  EXPECT_EQ(parsed->GetContents()[0]->Value(), "text");
  EXPECT_EQ((*parsed)[0]->GetContents()[0]->Value(), "deep");
}

// A built element that the parser filled from an arena is copied as well.
TEST(XMLArena, BuiltElementWithParsedDescendantsIsDetachedAsACopy) {
  XMLArena arena;  // outlives the elements placed in it
  XMLElement holder(nullptr, "<h>");
  XMLElement* built = holder.AddElement("<c>");
  XML_PARSE_STATUS status = XML_PARSE_OK;
  XMLHelper::ParseElementTree(nullptr, built, "<x n=\"1\">2</x>", status, &arena);
  ASSERT_EQ(built->GetChildrenNum(), 1);
  EXPECT_TRUE((*built)[0]->InArena());
  const std::unique_ptr<XMLElement> detached = holder.DetachElement(0);
  ASSERT_NE(detached, nullptr);
  EXPECT_NE(detached.get(), built);
  EXPECT_EQ(holder.GetChildrenNum(), 0);
  const XMLElement& x = *(*detached)[0];
  EXPECT_FALSE(x.InArena());
  EXPECT_FALSE(x.GetVariables()[0]->InArena());
  EXPECT_FALSE(x.GetContents()[0]->InArena());
  EXPECT_EQ(x.GetContents()[0]->Value(), "2");
}

TEST(XMLArena, ParserWithoutArenaPlacesNodesOnTheHeap) {
  XMLElement parent(nullptr, "<p>");
  XML_PARSE_STATUS status = XML_PARSE_OK;
  XMLHelper::ParseElementTree(nullptr, &parent, "<a x=\"1\">t</a>", status);
  ASSERT_EQ(parent.GetChildrenNum(), 1);
  EXPECT_FALSE(parent[0]->InArena());
  EXPECT_FALSE(parent[0]->GetVariables()[0]->InArena());
  EXPECT_FALSE(parent[0]->GetContents()[0]->InArena());
}

TEST(XMLArena, AllocationsAreAlignedAndDistinctAndBlocksGrowToACap) {
  struct Node {
    explicit Node(int v) : value(v) {}
    int value;
    ArenaMark arenaMark_;
  };
  XMLArena arena;
  std::set<uintptr_t> addresses;
  size_t previousReserved = 0;
  int blocks = 0;
  for (int i = 0; i < 4000; ++i) {
    // The arena frees the memory; a node of this kind needs no destruction.
    const Node* node = arena.New<Node>(i).release();
    EXPECT_EQ(node->value, i);
    EXPECT_TRUE(node->arenaMark_.InArena());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(node) % alignof(Node), 0u);
    EXPECT_TRUE(addresses.insert(reinterpret_cast<uintptr_t>(node)).second);
    if (arena.ReservedBytes() != previousReserved) {
      ++blocks;
      // Geometric growth up to 64 KiB blocks.
      EXPECT_LE(arena.ReservedBytes() - previousReserved, size_t{64} << 10);
      previousReserved = arena.ReservedBytes();
    }
  }
  EXPECT_GT(blocks, 1);
  EXPECT_LT(arena.ReservedBytes(), 4000 * sizeof(Node) * 2 + (size_t{64} << 10));
}

}  // namespace
}  // namespace Korvane::DataReader
