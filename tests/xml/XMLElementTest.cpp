// Element navigation, editing, value access and the subtree services.
#include <gtest/gtest.h>

#include <string>

#include "xml/XML.h"

namespace Korvane::DataReader {
namespace {

TEST(XMLElementLookup, FindElementReturnsFirstMatchOrMinusOne) {
  XML xml;
  xml.LoadText("<?xml?><r><a>1</a><b/><a>2</a></r>");
  const XMLElement& r = *xml.GetRootElement();
  EXPECT_EQ(r.FindElement("a"), 0);
  EXPECT_EQ(r.FindElement("b"), 1);
  EXPECT_EQ(r.FindElement("A"), -1);  // case-sensitive
  EXPECT_EQ(r.FindElement("c"), -1);
  EXPECT_EQ(r.FindElement(nullptr), -1);
}

TEST(XMLElementLookup, GetElementInSectionFollowsBackslashPath) {
  XML xml;
  xml.LoadText("<?xml?><r><A><x/></A><A><B id=\"2\"/></A><C><B id=\"1\"/></C></r>");
  XMLElement& r = *xml.GetRootElement();
  EXPECT_EQ(r.GetElementInSection("A\\B"), nullptr);  // the first A has no B
  XMLElement* b = r.GetElementInSection("C\\B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetVariables()[0]->Value(), "1");
  EXPECT_EQ(r.GetElementInSection("Z\\B"), nullptr);
  EXPECT_EQ(r.GetElementInSection(""), &r);
  EXPECT_EQ(r.GetElementInSection(nullptr), &r);
}

TEST(XMLElementLookup, GetElementInSectionCanCreateTheSteps) {
  XMLElement r(nullptr, "<r>");
  XMLElement* made = r.GetElementInSection("A\\B", true);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Name(), "B");
  EXPECT_EQ(r.GetElementInSection("A\\B"), made);
}

TEST(XMLElementLookup, FindElementZCreatesOnlyWhenAsked) {
  XMLElement r(nullptr, "<r>");
  EXPECT_EQ(r.FindElementZ("a"), nullptr);
  XMLElement* a = r.FindElementZ("a", true);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Name(), "a");
  EXPECT_EQ(a->GetParent(), &r);
  EXPECT_EQ(r.FindElementZ("a", true), a);
  XMLElement* b = r.FindElementZ("b", true, "<b k=\"v\"/>", true);
  EXPECT_EQ(b->GetVariables()[0]->Value(), "v");
  EXPECT_TRUE(b->IsTemporal());
  EXPECT_EQ(r.GetChildrenNum(), 2);
}

TEST(XMLElementLookup, FindVariableZCreatesEncodedAttribute) {
  XMLElement e(nullptr, "<e a=\"1\"/>");
  EXPECT_EQ(e.FindVariable("a"), 0);
  EXPECT_EQ(e.FindVariable("b"), -1);
  EXPECT_EQ(e.FindVariableZ("b"), nullptr);
  XMLVariable* b = e.FindVariableZ("b", true, "x<y");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->StoredValue(), "x&lt;y");
  EXPECT_EQ(b->Value(), "x<y");
  EXPECT_EQ(b->GetOwnerElement(), &e);
  EXPECT_EQ(e.FindVariableZ("b", true), b);
}

TEST(XMLElementValues, NameAndValueBuffersSizedByNullForm) {
  XML xml;
  xml.LoadText("<?xml?><n&amp;m k&amp;=\"&quot;q&quot;\">a &lt; b</n&amp;m>");
  const XMLElement& e = *xml.GetRootElement();
  char buffer[64];
  EXPECT_EQ(e.GetElementName(nullptr), static_cast<int>(e.StoredName().size()));
  EXPECT_EQ(e.GetElementName(buffer, 1), static_cast<int>(e.StoredName().size()));
  EXPECT_EQ(std::string(buffer), e.StoredName());
  EXPECT_EQ(e.GetElementName(buffer, 0), 7);
  EXPECT_STREQ(buffer, "n&amp;m");  // the source name is encoded once more when stored
  const XMLVariable& k = *e.GetVariables()[0];
  EXPECT_EQ(k.GetName(buffer, 0), 2);
  EXPECT_STREQ(buffer, "k&");
  EXPECT_EQ(k.GetValue(buffer, 0), 3);
  EXPECT_STREQ(buffer, "\"q\"");
  const XMLContent& c = *e.GetContents()[0];
  EXPECT_EQ(c.GetValue(nullptr), 8);
  EXPECT_EQ(c.GetValue(buffer, 0), 5);
  EXPECT_STREQ(buffer, "a < b");
}

TEST(XMLElementValues, ProgrammedTextsAreEncodedUnlessRaw) {
  XMLElement e(nullptr, "<e>");
  XMLVariable* encoded = e.AddVariable("name  ", "a&b");
  XMLVariable* raw = e.AddVariable("raw", "a&amp;b", 1);
  EXPECT_EQ(encoded->StoredName(), "name");  // trailing spaces removed
  EXPECT_EQ(encoded->StoredValue(), "a&amp;b");
  EXPECT_EQ(raw->StoredValue(), "a&amp;b");
  EXPECT_EQ(raw->Value(), "a&b");
  XMLContent* content = e.AddContent("1 < 2", 0);
  EXPECT_EQ(content->StoredText(), "1 &lt; 2");
  content->SetValue("x&amp;y", 1);
  EXPECT_EQ(content->Value(), "x&y");
  e.SetElementName("a<b");
  EXPECT_EQ(e.StoredName(), "a&lt;b");
  EXPECT_TRUE(e.HasName("a<b"));
  EXPECT_EQ(e.AddComment(nullptr, 0)->StoredText(), " ");
}

TEST(XMLElementValues, TypedAttributeAccessUsesDecodedText) {
  XMLElement e(nullptr, "<e i=\" -42x\" u=\"4000000000\" f=\"2.5\" big=\"-9000000000\" ubig=\"18000000000000000000\"/>");
  EXPECT_EQ(e.FindVariableZ("i")->GetValueInt(), -42);
  EXPECT_EQ(e.FindVariableZ("u")->GetValueUInt(), 4000000000u);
  EXPECT_FLOAT_EQ(e.FindVariableZ("f")->GetValueFloat(), 2.5f);
  EXPECT_EQ(e.FindVariableZ("big")->GetValueInt64(), -9000000000LL);
  EXPECT_EQ(e.FindVariableZ("ubig")->GetValueUInt64(), 18000000000000000000ULL);
  XMLVariable& v = *e.FindVariableZ("i");
  v.SetValueInt(-7);
  EXPECT_EQ(v.Value(), "-7");
  v.SetValueUInt(7u);
  EXPECT_EQ(v.Value(), "7");
  v.SetValueInt64(-8000000000LL);
  EXPECT_EQ(v.GetValueInt64(), -8000000000LL);
  v.SetValueUInt64(9000000000ULL);
  EXPECT_EQ(v.GetValueUInt64(), 9000000000ULL);
  v.SetValueFloat(0.1f);
  EXPECT_EQ(v.GetValueFloat(), 0.1f);
  EXPECT_EQ(v.SetFormattedValue("%s=%d", "<n>", 3), 11);  // stored encoded
  EXPECT_EQ(v.Value(), "<n>=3");
  XMLVariable none(nullptr, "n", "abc");
  EXPECT_EQ(none.GetValueInt(), 0);
  EXPECT_EQ(none.GetValueUInt(), 0u);
}

TEST(XMLElementEditing, RemoveAndDetachKeepOrder) {
  XML xml;
  xml.LoadText("<?xml?><r a=\"1\" b=\"2\">t<x/><y/><z/><!--c--><![CDATA[d]]></r>");
  XMLElement& r = *xml.GetRootElement();
  EXPECT_EQ(r.RemoveElement(1), 2);
  EXPECT_EQ(r[1]->Name(), "z");
  EXPECT_EQ(r.RemoveElement(5), -1);
  std::unique_ptr<XMLElement> x = r.DetachElement(0);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->GetParent(), nullptr);
  EXPECT_EQ(r.GetChildrenNum(), 1);
  EXPECT_EQ(r.RemoveVariable(0), 1);
  EXPECT_EQ(r.GetVariables()[0]->Name(), "b");
  EXPECT_EQ(r.RemoveContent(0), 0);
  EXPECT_EQ(r.RemoveComment(0), 0);
  EXPECT_EQ(r.RemoveCData(0), 0);
  EXPECT_EQ(r.RemoveCData(0), -1);
  XMLElement* added = r.AddElement(std::move(x));
  EXPECT_EQ(added->GetParent(), &r);
  EXPECT_EQ(r[1]->Name(), "x");
}

TEST(XMLElementEditing, ReparseReplacesNameAttributesChildrenAndComments) {
  XML xml;
  xml.LoadText("<?xml?><r a=\"1\">t<x/><!--c--></r>");
  XMLElement& r = *xml.GetRootElement();
  r.Reparse("<s b=\"2\" c=\"3\">");
  EXPECT_EQ(r.Name(), "s");
  EXPECT_EQ(r.GetVariableNum(), 2);
  EXPECT_EQ(r.GetChildrenNum(), 0);
  EXPECT_EQ(r.GetCommentsNum(), 0);
  EXPECT_EQ(r.GetContentsNum(), 1);  // contents stay
  r.Reparse("any text <at> all", XMLElement::kTypeNameOnly);
  EXPECT_EQ(r.Name(), "any text <at> all");
  EXPECT_EQ(r.GetType(), XMLElement::kTypeNameOnly);
  XMLElement defaulted(nullptr);
  EXPECT_EQ(defaulted.Name(), "root");
}

TEST(XMLElementEditing, IntegrityTestFindsMissingTexts) {
  XML xml;
  xml.LoadText("<?xml?><r><a/></r>");
  EXPECT_TRUE(xml.IntegrityTest());
  (*xml.GetRootElement())[0]->AddVariable("k", nullptr);
  EXPECT_FALSE(xml.IntegrityTest());
  (*xml.GetRootElement())[0]->RemoveVariable(0);
  (*xml.GetRootElement())[0]->AddContent(nullptr, 0);
  EXPECT_FALSE(xml.IntegrityTest());
  (*xml.GetRootElement())[0]->RemoveContent(0);
  (*xml.GetRootElement())[0]->AddCData(nullptr, 0);
  EXPECT_FALSE(xml.IntegrityTest());
  (*xml.GetRootElement())[0]->RemoveCData(0);
  EXPECT_TRUE(xml.IntegrityTest());
}

TEST(XMLElementServices, DuplicateCopyAndCompare) {
  XML xml;
  xml.LoadText("<?xml?><r a=\"1\">t<x k=\"v\"><y/></x><!--c--><![CDATA[d]]></r>");
  const XMLElement& r = *xml.GetRootElement();
  std::unique_ptr<XMLElement> copy = r.Duplicate();
  EXPECT_EQ(copy->GetParent(), nullptr);
  EXPECT_EQ(copy->Compare(r), 0);
  EXPECT_EQ((*copy)[0]->GetParent(), copy.get());
  (*(*copy)[0])[0]->AddVariable("z", "1");
  EXPECT_EQ(copy->Compare(r), 1);

  XMLElement target(nullptr, "<t>");
  target.Copy(r);
  EXPECT_EQ(target.Compare(r), 0);
  EXPECT_EQ(target[0]->GetParent(), &target);
  EXPECT_EQ(target.GetComments()[0]->GetParent(), &target);
  target.GetContents()[0]->SetEP(1);
  EXPECT_EQ(target.Compare(r), 1);
}

TEST(XMLElementServices, SortMoveReplaceAndCompress) {
  XML xml;
  xml.LoadText("<?xml?><r z=\"1\" a=\"2\"><c/><a/><b/><a k=\"2\"/></r>");
  XMLElement& r = *xml.GetRootElement();
  r.SortElements();
  EXPECT_EQ(r[0]->GetVariableNum(), 0);  // stable: the first "a" stays first
  EXPECT_EQ(r[1]->Name(), "a");
  EXPECT_EQ(r[3]->Name(), "c");
  r.SortVariables();
  EXPECT_EQ(r.GetVariables()[0]->Name(), "a");
  EXPECT_TRUE(r.MoveElement(3, 0));
  EXPECT_EQ(r[0]->Name(), "c");
  EXPECT_EQ(r[1]->Name(), "a");
  EXPECT_TRUE(r.MoveElement(0, 2));
  EXPECT_EQ(r[2]->Name(), "c");
  EXPECT_FALSE(r.MoveElement(0, 9));
  EXPECT_TRUE(r.ReplaceElement(2, std::make_unique<XMLElement>(nullptr, "<n/>")));
  EXPECT_EQ(r[2]->Name(), "n");
  EXPECT_EQ(r[2]->GetParent(), &r);
  EXPECT_FALSE(r.ReplaceElement(7, std::make_unique<XMLElement>(nullptr, "<n/>")));
  const std::unique_ptr<XMLElement> before = r.Duplicate();
  r.RemoveElement(0);
  r.CompressMemory();
  EXPECT_EQ(r.GetChildrenNum(), 3);
  EXPECT_EQ(r[0]->Name(), before->operator[](1)->Name());
}

TEST(XMLElementServices, ElementParamAndTemporalFlag) {
  XMLElement e(nullptr, "<e>");
  EXPECT_EQ(e.GetElementParam(), 0u);
  e.SetElementParam(0xFEDCBA9876543210ULL);
  EXPECT_EQ(e.GetElementParam(), 0xFEDCBA9876543210ULL);
  EXPECT_FALSE(e.IsTemporal());
  e.SetTemporal(true);
  EXPECT_TRUE(e.IsTemporal());
  EXPECT_EQ(e[0], nullptr);
  EXPECT_EQ(e[-1], nullptr);
}

}  // namespace
}  // namespace Korvane::DataReader
