// Entity decoding and encoding of stored texts (XML::XMLDecode, XML::XMLEncode).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/XML.h"
#include "xml/XMLText.h"

namespace Korvane::DataReader {
namespace {

// Decodes through the public buffer protocol: size with the null form, then read.
std::string Decode(const std::string& text) {
  const int bound = XML::XMLDecode(text.c_str(), nullptr);
  EXPECT_EQ(bound, static_cast<int>(text.size()));
  std::vector<char> buffer(static_cast<size_t>(bound) + 1, '#');
  const int length = XML::XMLDecode(text.c_str(), buffer.data());
  EXPECT_LE(length, bound);
  EXPECT_EQ(buffer[static_cast<size_t>(length)], '\0');
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string Encode(const std::string& text) {
  const int length = XML::XMLEncode(text.c_str(), nullptr);
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '#');
  EXPECT_EQ(XML::XMLEncode(text.c_str(), buffer.data()), length);
  EXPECT_EQ(buffer[static_cast<size_t>(length)], '\0');
  return std::string(buffer.data(), static_cast<size_t>(length));
}

TEST(XMLDecode, NamedEntitiesBecomeTheirCharacters) {
  EXPECT_EQ(Decode("a &amp; b &quot;c&quot; &apos;d&apos; &lt;e&gt;"), "a & b \"c\" 'd' <e>");
  EXPECT_EQ(Decode("&amp;amp;"), "&amp;");
}

TEST(XMLDecode, NumericReferencesBecomeUtf8) {
  EXPECT_EQ(Decode("&#65;&#x42;&#X43;"), "ABC");
  EXPECT_EQ(Decode("&#233;"), "\xC3\xA9");
  EXPECT_EQ(Decode("&#x20AC;"), "\xE2\x82\xAC");
  EXPECT_EQ(Decode("&#x1F600;"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Decode("&#128512;"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Decode("x&#10;y"), "x\ny");
}

TEST(XMLDecode, ReferencesToNoCharacterBecomeReplacementCharacter) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(Decode("&#0;"), replacement);
  EXPECT_EQ(Decode("&#xD800;"), replacement);
  EXPECT_EQ(Decode("&#x110000;"), replacement);
  EXPECT_EQ(Decode("&#9999999999;"), replacement);
}

TEST(XMLDecode, ReferenceConsumesAtMostTenDigitsAndOneMoreCharacter) {
  // Ten digits, then "1" is the one more character, and ";" stays.
  EXPECT_EQ(Decode("&#00000000651;"), "A;");
  // The character after the digits is consumed whatever it is.
  EXPECT_EQ(Decode("&#65xyz"), "Ayz");
  // "&#" followed by neither digit nor x drops itself and the next character.
  EXPECT_EQ(Decode("a&#;b"), "ab");
  EXPECT_EQ(Decode("a&#zzb"), "azb");
  EXPECT_EQ(Decode("&#x;"), "");
}

TEST(XMLDecode, ReferencesCutOffAtTheEndStayInside) {
  EXPECT_EQ(Decode("&#65"), "A");
  EXPECT_EQ(Decode("&#x"), "");
  EXPECT_EQ(Decode("&#"), "");
  EXPECT_EQ(Decode("x&#x10FFFF"), "x\xF4\x8F\xBF\xBF");
}

TEST(XMLDecode, UnknownAmpersandIsCopiedUnchanged) {
  EXPECT_EQ(Decode("R&D"), "R&D");
  EXPECT_EQ(Decode("&nbsp; &amp &"), "&nbsp; &amp &");
  EXPECT_EQ(Decode("&&amp;&"), "&&&");
}

TEST(XMLDecode, NullTextIsEmpty) {
  char buffer[4] = "xyz";
  EXPECT_EQ(XML::XMLDecode(nullptr, nullptr), 0);
  EXPECT_EQ(XML::XMLDecode(nullptr, buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(XMLEncode, SpecialCharactersBecomeEntities) {
  EXPECT_EQ(Encode("a<b>c\"d'e&f"), "a&lt;b&gt;c&quot;d&apos;e&amp;f");
  EXPECT_EQ(Encode("plain"), "plain");
  EXPECT_EQ(Encode(""), "");
}

TEST(XMLEncode, NumericReferencePassesUnchanged) {
  EXPECT_EQ(Encode("&#65; & &x"), "&#65; &amp; &amp;x");
  EXPECT_EQ(Encode("&"), "&amp;");
}

TEST(XMLEncode, DecodeUndoesEncode) {
  const std::string text = "<tag attr=\"v\"> R&D 'quoted' </tag>";
  EXPECT_EQ(Decode(Encode(text)), text);
}

// Stored names compared with plain ones: decoded when they hold entities, and a
// stored text never decodes to something longer.
TEST(XMLText, DecodedEqualsComparesTheDecodedText) {
  struct Case {
    std::string stored;
    std::string plain;
    bool equal;
  };
  const std::string longName(40, 'n');
  const std::vector<Case> cases = {
      {"abc", "abc", true},
      {"abc", "abd", false},
      {"ab", "abc", false},
      {"abc", "ab", false},
      {"a&amp;b", "a&b", true},
      {"a&amp;b", "a&amp;b", false},
      {"a&b", "a&b", true},
      {"&#0", "\xEF\xBF\xBD", true},  // as long as stored, yet decoded differently
      {"&#0", "&#0", false},
      {longName, longName, true},
      {longName + "&lt;", longName + "<", true},
      {longName + "&lt;", longName + "&lt;", false},
      {"", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XMLText::DecodedEquals(c.stored, c.plain), c.equal) << c.stored << " / " << c.plain;
  }
}

}  // namespace
}  // namespace Korvane::DataReader
