// Wildcard matching, attribute queries, path access and the convenience readers and
// writers of single values.
#include <gtest/gtest.h>

#include <string>

#include "testkit/TempDir.h"
#include "xml/XML.h"
#include "xml/XMLConvenience.h"

namespace Korvane::DataReader {
namespace {

TEST(XMLMatching, WildcardsMatchRunsAndSingleCharactersIgnoringCase) {
  EXPECT_TRUE(XML::VMatching("Channel12", "chan*"));
  EXPECT_TRUE(XML::VMatching("Channel12", "*12"));
  EXPECT_TRUE(XML::VMatching("Channel12", "C?ANNEL1?"));
  EXPECT_TRUE(XML::VMatching("abcbcd", "a*bcd"));
  EXPECT_TRUE(XML::VMatching("", "*"));
  EXPECT_TRUE(XML::VMatching("x", "**x**"));
  EXPECT_FALSE(XML::VMatching("Channel12", "chan"));
  EXPECT_FALSE(XML::VMatching("Channel12", "?hannel1"));
  EXPECT_FALSE(XML::VMatching("", "?"));
  EXPECT_FALSE(XML::VMatching("abc", ""));
}

TEST(XMLMatching, LongPatternsStayFast) {
  const std::string text(20000, 'a');
  const std::string pattern = std::string(50, '*') + std::string(100, 'a') + "b";
  EXPECT_FALSE(XML::VMatching(text.c_str(), pattern.c_str()));
}

TEST(XMLMatching, TestMatchComparesTextOrIntegers) {
  EXPECT_TRUE(XML::TestMatch("Voltage", "==", "\"volt*\""));
  EXPECT_FALSE(XML::TestMatch("Voltage", "!=", "\"volt*\""));
  EXPECT_TRUE(XML::TestMatch("Current", "!=", "\"volt*\""));
  EXPECT_TRUE(XML::TestMatch("12", "==", "12"));
  EXPECT_TRUE(XML::TestMatch(" 12 ", ">=", "12"));
  EXPECT_TRUE(XML::TestMatch("-3", "<", "2"));
  EXPECT_TRUE(XML::TestMatch("7", ">", "2"));
  EXPECT_TRUE(XML::TestMatch("2", "<=", "2"));
  EXPECT_TRUE(XML::TestMatch("5", "!=", "2"));
  EXPECT_FALSE(XML::TestMatch("1", ">", "2"));
  EXPECT_FALSE(XML::TestMatch("12abc", "==", "12"));  // not numeric: never matches
  EXPECT_FALSE(XML::TestMatch("abc", "!=", "12"));
  EXPECT_TRUE(XML::TestMatch("abc", "~", "12"));  // unknown operator matches
}

class XMLQueryDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    xml.LoadText(
        "<?xml?><r><List><C n=\"AI 1\" rate=\"100\"/><C n=\"AI 2\" rate=\"1000\"/><C n=\"DI 1\" rate=\"100\"/>"
        "<C rate=\"5\"/></List><Cfg mode=\"fast &amp; safe\"/></r>");
  }
  XML xml;
};

TEST_F(XMLQueryDocument, QuerySelectsChildrenByAttribute) {
  XMLElement* found[4] = {};
  EXPECT_EQ(xml.XMLQuery("List", "n == \"ai*\"", found, 4), 2);
  EXPECT_EQ(found[1]->GetVariables()[0]->Value(), "AI 2");
  EXPECT_EQ(xml.XMLQuery("List", "rate>=100", found, 1), 3);  // counts all, stores the first
  EXPECT_EQ(found[0]->GetVariables()[0]->Value(), "AI 1");
  EXPECT_EQ(xml.XMLQuery("List", "rate < 100", nullptr, 0), 1);
  EXPECT_EQ(xml.XMLQuery("List", "missing == 1", found, 4), 0);
  EXPECT_EQ(xml.XMLQuery("Nowhere", "rate == 5", found, 4), 0);
}

TEST_F(XMLQueryDocument, GetValueCopiesDecodedValueWhenItFits) {
  char out[32] = {};
  EXPECT_EQ(xml.XMLGetValue("Cfg", "mode", out, sizeof out), 11);
  EXPECT_STREQ(out, "fast & safe");
  char small[5] = "keep";
  EXPECT_EQ(xml.XMLGetValue("Cfg", "mode", small, sizeof small), 11);
  EXPECT_STREQ(small, "keep");
  EXPECT_EQ(xml.XMLGetValue("Cfg", "none", out, sizeof out), 0);
  EXPECT_EQ(xml.XMLGetValue("None", "mode", out, sizeof out), 0);
}

TEST_F(XMLQueryDocument, SetValueCreatesPathAndAttribute) {
  EXPECT_TRUE(xml.XMLSetValue("New\\Deep", "k", "a<b"));
  char out[16] = {};
  EXPECT_EQ(xml.XMLGetValue("New\\Deep", "k", out, sizeof out), 3);
  EXPECT_STREQ(out, "a<b");
  EXPECT_TRUE(xml.XMLSetValue("Cfg", "mode", "slow"));
  EXPECT_EQ(xml.XMLGetValue("Cfg", "mode", out, sizeof out), 4);
  XML empty;
  EXPECT_FALSE(empty.XMLSetValue("a", "b", "c"));
}

TEST_F(XMLQueryDocument, ConvenienceReadersUseDefaults) {
  char out[16];
  EXPECT_EQ(XMLGetString("Cfg", "mode", "dflt", out, sizeof out, nullptr, &xml), 11);
  EXPECT_STREQ(out, "fast & safe");
  EXPECT_EQ(XMLGetString("Cfg", "none", "dflt", out, sizeof out, nullptr, &xml), 4);
  EXPECT_STREQ(out, "dflt");
  EXPECT_EQ(XMLGetString("Cfg", "mode", "toolongdefault", out, 6, nullptr, &xml), 5);
  EXPECT_STREQ(out, "toolo");
  xml.XMLSetValue("Num", "i", "-12");
  xml.XMLSetValue("Num", "f", "2.5");
  xml.XMLSetValue("Num", "t", "text");
  EXPECT_EQ(XMLGetInt("Num", "i", 9, nullptr, &xml), -12);
  EXPECT_EQ(XMLGetInt("Num", "t", 9, nullptr, &xml), 9);
  EXPECT_EQ(XMLGetInt("Num", "none", 9, nullptr, &xml), 9);
  EXPECT_EQ(XMLGetUInt("Num", "t", 3u, nullptr, &xml), 3u);
  EXPECT_FLOAT_EQ(XMLGetFloat("Num", "f", 1.0f, nullptr, &xml), 2.5f);
  EXPECT_FLOAT_EQ(XMLGetFloat("Num", "t", 1.0f, nullptr, &xml), 1.0f);
  const auto variables = XMLGetAllVariables("Num", nullptr, &xml);
  ASSERT_EQ(variables.size(), 3u);
  EXPECT_EQ(variables[1].first, "f");
  EXPECT_EQ(variables[1].second, "2.5");
  const auto items = XMLGetAllItems("", nullptr, &xml);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[2], "Num");
  EXPECT_TRUE(XMLGetAllItems("Nowhere", nullptr, &xml).empty());
}

TEST(XMLConvenience, WritersLoadChangeAndSaveTheFile) {
  TestKit::TempDir dir;
  const std::string path = dir.File("cfg.xml");
  XML start;
  start.LoadText("<?xml?><cfg><a/></cfg>");
  ASSERT_TRUE(start.Save(path.c_str()));
  EXPECT_TRUE(XMLSetString("a", "s", "x&y", path.c_str()));
  EXPECT_TRUE(XMLSetInt("a", "i", -5, path.c_str()));
  EXPECT_TRUE(XMLSetUInt("b", "u", 4000000000u, path.c_str()));
  EXPECT_TRUE(XMLSetFloat("b", "f", 0.25f, path.c_str()));
  char out[16];
  EXPECT_EQ(XMLGetString("a", "s", "", out, sizeof out, path.c_str()), 3);
  EXPECT_STREQ(out, "x&y");
  EXPECT_EQ(XMLGetInt("a", "i", 0, path.c_str()), -5);
  EXPECT_EQ(XMLGetUInt("b", "u", 0, path.c_str()), 4000000000u);
  EXPECT_FLOAT_EQ(XMLGetFloat("b", "f", 0, path.c_str()), 0.25f);
  EXPECT_TRUE(XMLRenameElement("b", "c", path.c_str()));
  EXPECT_FALSE(XMLRenameElement("b", "d", path.c_str()));
  EXPECT_EQ(XMLGetUInt("c", "u", 0, path.c_str()), 4000000000u);
  EXPECT_EQ(XMLGetInt("a", "i", 77, dir.File("missing.xml").c_str()), 77);
}

}  // namespace
}  // namespace Korvane::DataReader
