// Parsing XML text into the document tree: structure, stored texts, positions of
// items, the parse status, and safety on malformed or hostile input.
#include <gtest/gtest.h>

#include <string>

#include "xml/XML.h"
#include "xml/XMLHelper.h"

namespace Korvane::DataReader {
namespace {

std::string Content(const XMLElement& element, int index, bool raw = false) {
  return element.GetContents()[static_cast<size_t>(index)]->Value(raw);
}

TEST(XMLParse, ElementWithAttributesChildrenAndTextBuildsTree) {
  XML xml;
  xml.LoadText("<?xml version=\"1.0\"?><a x=\"1\" y =\"2\"><b/>t<c>u</c></a>");
  ASSERT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  const XMLElement& a = *xml.GetRootElement();
  EXPECT_EQ(a.Name(), "a");
  ASSERT_EQ(a.GetVariableNum(), 2);
  EXPECT_EQ(a.GetVariables()[0]->Name(), "x");
  EXPECT_EQ(a.GetVariables()[0]->Value(), "1");
  EXPECT_EQ(a.GetVariables()[1]->Name(), "y");
  EXPECT_EQ(a.GetVariables()[1]->Value(), "2");
  ASSERT_EQ(a.GetChildrenNum(), 2);
  EXPECT_EQ(a[0]->Name(), "b");
  EXPECT_EQ(a[1]->Name(), "c");
  ASSERT_EQ(a.GetContentsNum(), 1);
  EXPECT_EQ(Content(a, 0), "t");
  EXPECT_EQ(a.GetContents()[0]->GetEP(), 1);
  ASSERT_EQ(a[1]->GetContentsNum(), 1);
  EXPECT_EQ(Content(*a[1], 0), "u");
  EXPECT_EQ(a[0]->GetContentsNum(), 0);
  EXPECT_EQ(xml.GetHeader()->GetText(), "<?xml version=\"1.0\"?>");
  EXPECT_TRUE(xml.IntegrityTest());
}

}  // namespace
}  // namespace Korvane::DataReader
