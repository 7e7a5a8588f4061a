// Parsing XML text into the document tree: structure, stored texts, positions of
// items, the parse status, and safety on malformed or hostile input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/TempDir.h"
#include "testkit/XmlTextWriter.h"
#include "xml/XML.h"
#include "xml/XMLHelper.h"

namespace Korvane::DataReader {
namespace {

std::string ContentOf(const XMLElement& element, int index = 0, bool raw = false) {
  return element.GetContents()[static_cast<size_t>(index)]->Value(raw);
}

const XMLElement& Root(const XML& xml) { return *xml.GetRootElement(); }

TEST(XMLParse, ElementWithAttributesChildrenAndTextBuildsTree) {
  XML xml;
  xml.LoadText("<?xml version=\"1.0\"?><a x=\"1\" y =\"2\"><b/>t<c>u</c></a>");
  ASSERT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  const XMLElement& a = Root(xml);
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
  EXPECT_EQ(ContentOf(a), "t");
  EXPECT_EQ(a.GetContents()[0]->GetEP(), 1);
  ASSERT_EQ(a[1]->GetContentsNum(), 1);
  EXPECT_EQ(ContentOf(*a[1]), "u");
  EXPECT_EQ(a[0]->GetContentsNum(), 0);
  EXPECT_EQ(a[0]->GetParent(), &a);
  EXPECT_EQ(xml.GetHeader()->GetText(), "<?xml version=\"1.0\"?>");
  EXPECT_TRUE(xml.IntegrityTest());
}

TEST(XMLParse, AttributeValuesKeepEntitiesUntilRead) {
  XML xml;
  xml.LoadText("<?xml?><a v=\"x &amp; y &lt; z\"/>");
  const XMLVariable& v = *Root(xml).GetVariables()[0];
  char buffer[32];
  ASSERT_EQ(v.GetValue(nullptr), 16);
  EXPECT_EQ(v.GetValue(buffer, 0), 9);
  EXPECT_STREQ(buffer, "x & y < z");
  EXPECT_EQ(v.GetValue(buffer, 1), 16);
  EXPECT_STREQ(buffer, "x &amp; y &lt; z");
}

TEST(XMLParse, TextBetweenTagsIsTrimmedAndBlankTextDropped) {
  XML xml;
  xml.LoadText("<?xml?><a>   padded text \r\n<b>\t \r\n </b>\n</a>");
  const XMLElement& a = Root(xml);
  ASSERT_EQ(a.GetContentsNum(), 1);
  EXPECT_EQ(ContentOf(a), "padded text");
  EXPECT_EQ(a[0]->GetContentsNum(), 0);
}

TEST(XMLParse, ItemsRecordTheirPositionAmongChildren) {
  XML xml;
  xml.LoadText("<?xml?><a>one<!--c0--><b/>two<![CDATA[<raw & data>]]><c/><?pi some data?>three</a>");
  const XMLElement& a = Root(xml);
  ASSERT_EQ(a.GetContentsNum(), 3);
  EXPECT_EQ(a.GetContents()[0]->GetEP(), 0);
  EXPECT_EQ(a.GetContents()[1]->GetEP(), 1);
  EXPECT_EQ(a.GetContents()[2]->GetEP(), 2);
  ASSERT_EQ(a.GetCommentsNum(), 2);
  EXPECT_EQ(a.GetComments()[0]->StoredText(), "c0");
  EXPECT_EQ(a.GetComments()[0]->GetEP(), 0);
  // An instruction is kept as a comment: its text after "<?pi", without "?>".
  EXPECT_EQ(a.GetComments()[1]->StoredText(), " some data");
  EXPECT_EQ(a.GetComments()[1]->GetEP(), 2);
  ASSERT_EQ(a.GetCDatasNum(), 1);
  EXPECT_EQ(a.GetCDatas()[0]->StoredText(), "<raw & data>");
  EXPECT_EQ(a.GetCDatas()[0]->GetEP(), 1);
}

TEST(XMLParse, EmptyItemsAndShortInstructionsHoldEmptyTexts) {
  XML xml;
  xml.LoadText("<?xml?><a><?><?xy?><![CDATA[]]><!----></a>");
  ASSERT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  const XMLElement& a = Root(xml);
  ASSERT_EQ(a.GetCommentsNum(), 3);
  for (const XMLComment* comment : a.GetComments()) EXPECT_EQ(comment->StoredText(), "");
  ASSERT_EQ(a.GetCDatasNum(), 1);
  EXPECT_EQ(a.GetCDatas()[0]->StoredText(), "");
  EXPECT_TRUE(xml.IntegrityTest());
}

TEST(XMLParse, MissingDeclarationWarnsAndUsesDefaultHeader) {
  XML xml;
  xml.LoadText("<a><b/></a>");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_NO_HEADER);
  EXPECT_EQ(xml.GetHeader()->GetText(), std::string("\xEF\xBB\xBF") + std::string(XMLHeader::kDefaultDeclaration));
  EXPECT_EQ(Root(xml).Name(), "a");
  EXPECT_EQ(Root(xml).GetChildrenNum(), 1);
  EXPECT_TRUE(xml.IntegrityTest());
}

TEST(XMLParse, TextWithoutMarkupOrElementsGetsRootElement) {
  for (const char* text : {"just text", "<?xml version=\"1.0\"?> no markup", "<?xml?><!-- only a comment -->",
                           "<?xml?></stray>"}) {
    XML xml;
    xml.LoadText(text);
    EXPECT_EQ(xml.ParseStatus(), XML_PARSE_NO_HEADER) << text;
    EXPECT_EQ(Root(xml).Name(), "root") << text;
    EXPECT_TRUE(xml.IntegrityTest()) << text;
  }
}

TEST(XMLParse, EmptyTextGivesDefaultsWithoutWarning) {
  XML xml;
  xml.LoadText("");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  EXPECT_EQ(xml.GetHeader()->GetText(), XMLHeader::kDefaultDeclaration);
  EXPECT_EQ(Root(xml).Name(), "root");
  xml.LoadText(static_cast<const char*>(nullptr));
  EXPECT_EQ(Root(xml).Name(), "root");
}

TEST(XMLParse, UnclosedElementFailsAndKeepsPartialTree) {
  XML xml;
  xml.LoadText("<?xml?><a><b><c>x</c></a>");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_ERROR);
  ASSERT_NE(xml.GetRootElement(), nullptr);
  EXPECT_EQ(Root(xml).Name(), "a");
  ASSERT_EQ(Root(xml).GetChildrenNum(), 1);
  EXPECT_EQ(Root(xml)[0]->Name(), "b");
}

TEST(XMLParse, MarkupCutOffStopsTheParse) {
  XML inside;
  inside.LoadText("<?xml?><a><b x=\"1\"");
  EXPECT_EQ(inside.ParseStatus(), XML_PARSE_ERROR);

  XML afterRoot;  // the root is complete; what follows is ignored
  afterRoot.LoadText("<?xml?><a/><b");
  EXPECT_EQ(afterRoot.ParseStatus(), XML_PARSE_OK);
  EXPECT_EQ(Root(afterRoot).Name(), "a");

  for (const char* text : {"<?xml?><a><!-- never closed", "<?xml?><a><![CDATA[ never closed", "<?xml?><a><? x",
                           "<?xml?><a></a", "<?xml?><a x=\"unbalanced>", "<?xml?><!-- before any element"}) {
    XML xml;
    xml.LoadText(text);
    EXPECT_EQ(xml.ParseStatus(), XML_PARSE_ERROR) << text;
    EXPECT_TRUE(xml.IntegrityTest()) << text;
  }
}

TEST(XMLParse, ClosingTagsCloseByDepthWhateverTheirName) {
  XML xml;
  xml.LoadText("<?xml?><a><b></c><d/></a>");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  ASSERT_EQ(Root(xml).GetChildrenNum(), 2);
  EXPECT_EQ(Root(xml)[1]->Name(), "d");
}

TEST(XMLParse, GreaterThanInsideQuotedValueDoesNotEndTag) {
  XML xml;
  xml.LoadText("<?xml?><a f=\"x > 1/2\">t</a>");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  ASSERT_EQ(Root(xml).GetVariableNum(), 1);
  EXPECT_EQ(Root(xml).GetVariables()[0]->Value(), "x > 1/2");
  EXPECT_EQ(ContentOf(Root(xml)), "t");
}

TEST(XMLParse, UnquotedAndSingleQuotedValuesAreNotValues) {
  XML xml;
  // Only double quotes delimit a value: the unquoted x takes the next quoted text.
  xml.LoadText("<?xml?><a x=1 y=\"2\" z='3'/>");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  ASSERT_EQ(Root(xml).GetVariableNum(), 1);
  EXPECT_EQ(Root(xml).GetVariables()[0]->Name(), "x");
  EXPECT_EQ(Root(xml).GetVariables()[0]->Value(), "2");
}

TEST(XMLParse, OnlyTheFirstTopLevelElementIsKept) {
  XML xml;
  xml.LoadText("<?xml?><!--before--><a/><b><c/></b><!--after-->");
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  EXPECT_EQ(Root(xml).Name(), "a");
  EXPECT_EQ(Root(xml).GetChildrenNum(), 0);
  const XMLHeader& header = *xml.GetHeader();
  ASSERT_EQ(header.GetCommentsNum(), 2);
  EXPECT_EQ(header.GetComments()[0]->StoredText(), "before");
  EXPECT_EQ(header.GetComments()[0]->GetEP(), 0);
  EXPECT_EQ(header.GetComments()[1]->StoredText(), "after");
  EXPECT_EQ(header.GetComments()[1]->GetEP(), 1);
}

TEST(XMLParse, TextEndsAtFirstNulByte) {
  const char raw[] = "<?xml?><a><b/>\0<c/></a>";
  const std::string text(raw, sizeof raw - 1);
  XML xml;
  xml.LoadText(std::string_view(text));
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_ERROR);  // </a> lies beyond the NUL
  EXPECT_EQ(Root(xml).GetChildrenNum(), 1);
}

TEST(XMLParse, ElementNamesAreStoredEncodedAndFoundDecoded) {
  XML xml;
  xml.LoadText("<?xml?><a><x&y/><q'/></a>");
  const XMLElement& a = Root(xml);
  ASSERT_EQ(a.GetChildrenNum(), 2);
  EXPECT_EQ(a[0]->StoredName(), "x&amp;y");
  EXPECT_EQ(a[0]->Name(), "x&y");
  EXPECT_EQ(a[1]->StoredName(), "q&apos;");
  EXPECT_EQ(a.FindElement("x&y"), 0);
  EXPECT_EQ(a.FindElement("q'"), 1);
}

TEST(XMLParse, HundredThousandNestedElementsParseAndRelease) {
  constexpr int kDepth = 100000;
  std::string text = "<?xml?>";
  for (int i = 0; i < kDepth; ++i) text += "<e>";
  text += "deep";
  for (int i = 0; i < kDepth; ++i) text += "</e>";
  auto xml = std::make_unique<XML>();
  xml->LoadText(std::string_view(text));
  EXPECT_EQ(xml->ParseStatus(), XML_PARSE_OK);
  EXPECT_TRUE(xml->IntegrityTest());
  const XMLElement* element = xml->GetRootElement();
  int depth = 1;
  while (element->GetChildrenNum() == 1) {
    element = (*element)[0];
    ++depth;
  }
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ(ContentOf(*element), "deep");
  EXPECT_GT(xml->MemoryUsage(), 152 * kDepth);
  xml.reset();  // releasing the tree must not recurse either

  XML unclosed;  // the same depth never closed
  unclosed.LoadText(std::string_view(text.substr(0, text.size() / 2)));
  EXPECT_EQ(unclosed.ParseStatus(), XML_PARSE_ERROR);
}

TEST(XMLParse, ManySiblingsAreAllKeptInOrder) {
  TestKit::XmlTextWriter writer;
  writer.Declaration().Open("list");
  constexpr int kCount = 50000;
  for (int i = 0; i < kCount; ++i) writer.Leaf("item", std::to_string(i));
  writer.Close();
  XML xml;
  xml.LoadText(std::string_view(writer.text()));
  ASSERT_EQ(Root(xml).GetChildrenNum(), kCount);
  EXPECT_EQ(ContentOf(*Root(xml)[kCount - 1]), std::to_string(kCount - 1));
}

TEST(XMLParse, LoadFromFileReadsWholeFileAndMissingFileGivesDefaults) {
  TestKit::TempDir dir;
  const std::string path = dir.File("doc.xml");
  const std::string text = "<?xml version=\"1.0\"?>\r\n<a><b>1</b></a>";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);

  XML xml;
  xml.Load(path.c_str(), XML_LOAD_MODE_LOCAL_FILE);
  EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
  EXPECT_EQ(xml.GetFileName(), path);
  EXPECT_EQ(ContentOf(*Root(xml)[0]), "1");

  XML missing;
  missing.Load(dir.File("none.xml").c_str(), XML_LOAD_MODE_LOCAL_FILE);
  EXPECT_EQ(Root(missing).Name(), "root");
  EXPECT_EQ(missing.GetHeader()->GetText(), XMLHeader::kDefaultDeclaration);

  XML unsupported;
  unsupported.Load(text.c_str(), static_cast<XML_LOAD_MODE>(7));
  EXPECT_EQ(unsupported.ParseStatus(), XML_PARSE_ERROR);
}

TEST(XMLParse, ClearLeavesAnEmptyDocument) {
  XML xml;
  xml.LoadText("<?xml?><a/>");
  xml.Clear();
  EXPECT_EQ(xml.GetRootElement(), nullptr);
  EXPECT_EQ(xml.GetHeader(), nullptr);
  EXPECT_FALSE(xml.IntegrityTest());
}

TEST(XMLHelper, FindXMLCloseMatchesByDepth) {
  const std::string_view text = "<a><b/><c>x</c><!--</a>--></a>tail";
  EXPECT_EQ(XMLHelper::FindXMLClose(text, 0), text.find("tail"));
  EXPECT_EQ(XMLHelper::FindXMLClose("<b/>rest", 0), 4u);
  EXPECT_EQ(XMLHelper::FindXMLClose("x<!--c-->rest", 0), 9u);
  EXPECT_EQ(XMLHelper::FindXMLClose("<a><b></a>", 0), std::string_view::npos);
  EXPECT_EQ(XMLHelper::FindXMLClose("no markup", 0), std::string_view::npos);
}

TEST(XMLHelper, ParseIntoParentAddsEveryTopLevelElement) {
  XMLElement parent(nullptr, "<p>");
  XML_PARSE_STATUS status = XML_PARSE_OK;
  auto root = XMLHelper::ParseElementTree(nullptr, &parent, "lead<a/><b>t</b><!--c-->", status);
  EXPECT_EQ(root, nullptr);
  EXPECT_EQ(status, XML_PARSE_OK);
  ASSERT_EQ(parent.GetChildrenNum(), 2);
  EXPECT_EQ(parent.GetContentsNum(), 1);
  EXPECT_EQ(parent.GetCommentsNum(), 1);
  EXPECT_EQ(parent.GetComments()[0]->GetEP(), 2);
}

TEST(XMLHelper, AddBlankVariableTrimsAndNeedsParent) {
  XMLElement parent(nullptr, "<p>");
  XMLHelper::AddBlankVariable(nullptr, "text", 0);
  XMLHelper::AddBlankVariable(&parent, " \t\r\n", 0);
  XMLHelper::AddBlankVariable(&parent, "\n  a b \t", 3);
  ASSERT_EQ(parent.GetContentsNum(), 1);
  EXPECT_EQ(parent.GetContents()[0]->StoredText(), "a b");
  EXPECT_EQ(parent.GetContents()[0]->GetEP(), 3);
}

// Runs of text, names and quoted values shorter and longer than the stretch the
// parser scans byte by byte before it searches in bulk: the same tree either way.
TEST(XMLParse, LongAndShortRunsGiveTheSameTree) {
  struct Case {
    std::string run;      // the text inside <a>
    std::string content;  // what the element keeps of it; "" for no content
  };
  const std::string blanks40 = std::string(20, ' ') + std::string(10, '\t') + std::string(10, '\n');
  const std::vector<Case> cases = {
      {"", ""},
      {"x", "x"},
      {std::string(31, ' ') + "z", "z"},
      {std::string(32, ' ') + "z", "z"},
      {std::string(33, ' ') + "z ", "z"},
      {blanks40, ""},
      {blanks40 + "mid" + blanks40, "mid"},
      {"x" + blanks40 + "y", "x" + blanks40 + "y"},
      {std::string(31, 'w') + "\r\n", std::string(31, 'w')},
      {std::string(45, 'w') + "\r\n", std::string(45, 'w')},
  };
  const std::vector<std::string> values = {"v", std::string(31, 'q') + ">", std::string(40, 'q') + ">" + "/" + "\t",
                                           std::string(100, 'r')};
  for (const Case& c : cases) {
    for (const std::string& value : values) {
      const std::string text = "<?xml?><a k=\"" + value + "\">" + c.run + "</a" + std::string(40, ' ') + "><b/>";
      XML xml;
      xml.LoadText(text.c_str());
      const XMLElement& a = Root(xml);
      SCOPED_TRACE(text);
      EXPECT_EQ(xml.ParseStatus(), XML_PARSE_OK);
      EXPECT_EQ(a.Name(), "a");
      ASSERT_EQ(a.GetVariableNum(), 1);
      EXPECT_EQ(a.GetVariables()[0]->Value(), value);
      EXPECT_EQ(a.GetChildrenNum(), 0);
      if (c.content.empty()) {
        EXPECT_EQ(a.GetContentsNum(), 0);
      } else {
        ASSERT_EQ(a.GetContentsNum(), 1);
        EXPECT_EQ(ContentOf(a), c.content);
      }
    }
  }
}

TEST(XMLParse, QuotedValueWithoutItsClosingQuoteCutsTheParseOff) {
  for (const std::string& value : {std::string("abc>"), std::string(60, 'a') + ">"}) {
    XML xml;
    xml.LoadText(("<?xml?><a v=\"" + value + "text</a>").c_str());
    EXPECT_EQ(xml.ParseStatus(), XML_PARSE_ERROR);
    EXPECT_EQ(Root(xml).Name(), "root");
  }
}

}  // namespace
}  // namespace Korvane::DataReader
