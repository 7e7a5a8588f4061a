// Writing elements and documents back out as XML text, the export size estimate and
// formatting, and round trips of generated setup documents.
#include <gtest/gtest.h>

#include <string>

#include "testkit/SetupDocumentWriter.h"
#include "testkit/TempDir.h"
#include "testkit/XmlTextWriter.h"
#include "xml/XML.h"

namespace Korvane::DataReader {
namespace {

XMLEXPORTFORMAT Format(bool spaces, int count, bool compact) {
  XMLEXPORTFORMAT format;
  format.UseSpace = spaces ? 1 : 0;
  format.IndentCount = count;
  format.Compact = compact;
  return format;
}

std::string Exported(const XMLElement& element, XML_SAVE_MODE mode = XML_SAVE_MODE_DEFAULT, int children = 1) {
  std::string out;
  element.Export(out, children, mode);
  return out;
}

TEST(XMLExport, AttributeOnlyElementCompactIsSelfClosing) {
  XMLElement element(nullptr, "<a x=\"1\"/>");
  const XMLEXPORTFORMAT compact = Format(false, 1, true);
  element.SetExportFormatting(&compact);
  EXPECT_EQ(Exported(element), "<a x=\"1\"/>");
}

TEST(XMLExport, SingleContentCompactHasNoLineBreak) {
  XMLElement element(nullptr, "<a>");
  element.AddContent("text", 0);
  const XMLEXPORTFORMAT compact = Format(false, 1, true);
  element.SetExportFormatting(&compact);
  EXPECT_EQ(Exported(element), "<a>text</a>");
}

TEST(XMLExport, IndentedChildAtLevelOne) {
  XML xml;
  xml.LoadText("<?xml?><p><a>text</a></p>");
  EXPECT_EQ(Exported(*xml.GetRootElement()), "<p>\r\n\t<a>\r\n\t\ttext\r\n\t</a>\r\n</p>\r\n");
}

TEST(XMLExport, DefaultLayoutOfEmptyElementsAndSpaces) {
  XML xml;
  xml.LoadText("<?xml?><p><a/><b x=\"1\"/></p>");
  const XMLEXPORTFORMAT spaces = Format(true, 2, false);
  xml.GetRootElement()->SetExportFormatting(&spaces);
  EXPECT_EQ(Exported(*xml.GetRootElement()), "<p>\r\n  <a/>\r\n  <b x=\"1\"/>\r\n</p>\r\n");
}

TEST(XMLExport, ItemsAreWrittenAtTheirPositions) {
  XML xml;
  xml.LoadText("<?xml?><p>t0<!--c0--><a/>t1<![CDATA[d1]]><b/><!--c2-->t2<![CDATA[d2]]></p>");
  const XMLEXPORTFORMAT compact = Format(false, 0, true);
  xml.GetRootElement()->SetExportFormatting(&compact);
  // Before each child: comments, contents, CDATA; at the end: comments, CDATA, contents.
  EXPECT_EQ(Exported(*xml.GetRootElement()),
            "<p><!--c0-->\r\nt0<a/>t1<![CDATA[d1]]>\r\n<b/><!--c2-->\r\n<![CDATA[d2]]>\r\nt2</p>");
}

TEST(XMLExport, WithoutChildrenOnlyItemsAreWritten) {
  XML xml;
  xml.LoadText("<?xml?><p>t<a/></p>");
  const XMLEXPORTFORMAT compact = Format(false, 0, true);
  xml.GetRootElement()->SetExportFormatting(&compact);
  EXPECT_EQ(Exported(*xml.GetRootElement(), XML_SAVE_MODE_DEFAULT, 0), "<p>t</p>");
  XMLElement lone(nullptr, "<q>");
  lone.AddElement("<r/>");
  lone.SetExportFormatting(&compact);
  EXPECT_EQ(Exported(lone, XML_SAVE_MODE_DEFAULT, 0), "<q/>");
}

TEST(XMLExport, SaveModeOneKeepsEntitiesAndReadsBack) {
  XML xml;
  xml.LoadText("<?xml?><a v=\"1 &lt; 2 &amp; 3\">x &gt; y</a>");
  const std::string stored = Exported(*xml.GetRootElement(), XML_SAVE_MODE_DEFAULT);
  EXPECT_NE(stored.find("v=\"1 &lt; 2 &amp; 3\""), std::string::npos);
  XML again;
  again.LoadText(std::string_view(stored));
  EXPECT_EQ(again.GetRootElement()->GetVariables()[0]->Value(), "1 < 2 & 3");
  EXPECT_EQ(again.GetRootElement()->GetContents()[0]->Value(), "x > y");

  const std::string decoded = Exported(*xml.GetRootElement(), XML_SAVE_MODE_ZERO);
  EXPECT_NE(decoded.find("v=\"1 < 2 & 3\""), std::string::npos);
  EXPECT_NE(decoded.find("x > y"), std::string::npos);
}

TEST(XMLExport, FormattingReachesDescendantsAndIsCapped) {
  XML xml;
  xml.LoadText("<?xml?><a><b><c/></b></a>");
  XMLElement& a = *xml.GetRootElement();
  const XMLEXPORTFORMAT wide = Format(true, 80, true);
  EXPECT_EQ(a.SetExportFormatting(&wide), 1);
  const XMLElement& c = *(*a[0])[0];
  EXPECT_EQ(c.GetExportFormatting().IndentCount, 50);
  EXPECT_EQ(c.GetExportFormatting().UseSpace, 1);
  EXPECT_TRUE(c.GetExportFormatting().Compact);
  EXPECT_EQ(a.SetExportFormatting(nullptr), 1);
  EXPECT_EQ(c.GetExportFormatting().IndentCount, 50);
  const XMLEXPORTFORMAT negative = Format(false, -3, false);
  a.SetExportFormatting(&negative);
  EXPECT_EQ(c.GetExportFormatting().IndentCount, 0);
}

TEST(XMLExport, MemoryUsageFollowsTheSizeFormula) {
  XML xml;
  xml.LoadText("<?xml?><ab x=\"12\">text<c/><!--cc--></ab>");
  // Leaf c: 152 + 1 + 4 x (20 + 20 + 4 + 10 + 10) slots.
  const int64_t leaf = 152 + 1 + 4 * 64;
  // ab: name 2; attribute 1 + 2 + 32; content 4 + 24; comment 2 + 24.
  const int64_t top = 152 + 2 + (1 + 2 + 32) + (4 + 24) + (2 + 24) + 4 * 64;
  EXPECT_EQ(xml.GetRootElement()->MemoryUsage(), top + leaf);
  EXPECT_EQ(xml.MemoryUsage(), top + leaf + static_cast<int64_t>(xml.GetHeader()->GetText().size()) + 4 * 5);

  XMLElement wide(nullptr, "<w>");
  for (int i = 0; i < 21; ++i) wide.AddElement("<c/>");
  // 21 children need the children array grown by one step of 20 slots.
  EXPECT_EQ(wide.MemoryUsage(), 152 + 1 + 4 * (40 + 20 + 4 + 10 + 10) + 21 * leaf);
}

TEST(XMLExport, ExportFitsTheMemoryUsageEstimate) {
  XML xml;
  xml.LoadText(std::string_view(TestKit::GenerateSetupDocument(20, 0)));
  const XMLEXPORTFORMAT compact = Format(false, 0, true);
  xml.GetRootElement()->SetExportFormatting(&compact);
  EXPECT_LT(static_cast<int64_t>(Exported(*xml.GetRootElement()).size()), xml.GetRootElement()->MemoryUsage());
}

// Parse, export (compact or laid out, save mode 1), parse again: the same tree.
void ExpectRoundTrip(const std::string& text, const XMLEXPORTFORMAT& format) {
  XML first;
  first.LoadText(std::string_view(text));
  ASSERT_EQ(first.ParseStatus(), XML_PARSE_OK);
  first.GetRootElement()->SetExportFormatting(&format);
  std::string exported;
  first.Export(exported, XML_SAVE_MODE_DEFAULT);
  XML second;
  second.LoadText(std::string_view(exported));
  ASSERT_EQ(second.ParseStatus(), XML_PARSE_OK);
  EXPECT_EQ(first.GetRootElement()->Compare(*second.GetRootElement()), 0);
  EXPECT_EQ(second.GetHeader()->GetText(), first.GetHeader()->GetText());
}

TEST(XMLExport, GeneratedSetupDocumentsRoundTrip) {
  for (size_t channels : {1, 7, 200}) {
    const std::string text = TestKit::GenerateSetupDocument(channels, channels * 1500);
    ExpectRoundTrip(text, Format(false, 0, true));
    ExpectRoundTrip(text, Format(false, 1, false));
    ExpectRoundTrip(text, Format(true, 4, false));
  }
}

TEST(XMLExport, DocumentWithItemsRoundTrips) {
  TestKit::XmlTextWriter writer;
  writer.Declaration().Comment("leading").Open("doc").Attribute("a", "x < y & \"z\"");
  writer.Comment("inside").Leaf("k", "R&D <1>").CData("raw <&> ]] text").Open("e").Close();
  writer.Text("tail & end").Close().Comment("trailing");
  ExpectRoundTrip(writer.text(), Format(false, 1, false));
  ExpectRoundTrip(writer.text(), Format(false, 0, true));
}

TEST(XMLExport, DeepTreeExportsWithoutRecursion) {
  constexpr int kDepth = 100000;
  std::string text = "<?xml?>";
  for (int i = 0; i < kDepth; ++i) text += "<e>";
  for (int i = 0; i < kDepth; ++i) text += "</e>";
  XML xml;
  xml.LoadText(std::string_view(text));
  const XMLEXPORTFORMAT compact = Format(false, 0, true);
  xml.GetRootElement()->SetExportFormatting(&compact);
  std::string exported = Exported(*xml.GetRootElement());
  EXPECT_EQ(exported.size(), text.size() - 7 - 3);  // no declaration; the innermost is "<e/>"
  auto copy = xml.GetRootElement()->Duplicate();
  EXPECT_EQ(copy->Compare(*xml.GetRootElement()), 0);
}

TEST(XMLExport, DocumentSavesWithHeaderAndLoadsBack) {
  TestKit::TempDir dir;
  const std::string path = dir.File("saved.xml");
  XML xml;
  xml.LoadText("<?xml version=\"1.0\" encoding=\"latin1\"?><!--c--><a><b>v</b></a>");
  ASSERT_TRUE(xml.Save(path.c_str()));
  EXPECT_EQ(xml.GetHeader()->GetText(), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>");
  XML loaded;
  loaded.Load(path.c_str(), XML_LOAD_MODE_LOCAL_FILE);
  EXPECT_EQ(loaded.ParseStatus(), XML_PARSE_OK);
  EXPECT_EQ(loaded.GetRootElement()->Compare(*xml.GetRootElement()), 0);
  ASSERT_EQ(loaded.GetHeader()->GetCommentsNum(), 1);
  EXPECT_FALSE(xml.Save(dir.File("missing/dir/x.xml").c_str()));
}

TEST(XMLExport, SaveOnCloseWritesBackToTheLoadedFile) {
  TestKit::TempDir dir;
  const std::string path = dir.File("doc.xml");
  {
    XML xml;
    xml.LoadText("<?xml?><a/>");
    ASSERT_TRUE(xml.Save(path.c_str()));
  }
  {
    XML xml;
    xml.Load(path.c_str(), XML_LOAD_MODE_LOCAL_FILE);
    xml.XMLSetValue("", "k", "v");
    xml.SaveOnClose(true);
  }
  XML reread;
  reread.Load(path.c_str(), XML_LOAD_MODE_LOCAL_FILE);
  char value[8] = {};
  EXPECT_EQ(reread.XMLGetValue("", "k", value, sizeof value), 1);
  EXPECT_STREQ(value, "v");
}

TEST(XMLExport, ExportToStreamWritesTheSameText) {
  TestKit::TempDir dir;
  const std::string path = dir.File("stream.xml");
  XML xml;
  xml.LoadText("<?xml?><a><b/></a>");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(xml.GetRootElement()->Export(file));
  std::fclose(file);
  XML loaded;
  loaded.Load(path.c_str(), XML_LOAD_MODE_LOCAL_FILE);
  EXPECT_EQ(loaded.GetRootElement()->Compare(*xml.GetRootElement()), 0);
  EXPECT_FALSE(xml.GetRootElement()->Export(static_cast<std::FILE*>(nullptr)));
}

}  // namespace
}  // namespace Korvane::DataReader
