// The child index of the setup value reader: it must find what a linear search
// of the children finds (the first child whose decoded name equals the wanted
// one in any letter case), for names of every length the hash reads in pieces,
// names that only the hash's case folding joins, entities and duplicates.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "setup/SetupFieldReader.h"
#include "setup/SetupName.h"
#include "setup/SetupValueReader.h"
#include "xml/XML.h"

namespace Korvane::DataReader {
namespace {

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

const XMLElement* LinearFind(const XMLElement& element, const std::string& name) {
  for (const XMLElement* child : element.GetChildren()) {
    if (SameIgnoringAsciiCase(child->Name(), name)) return child;
  }
  return nullptr;
}

// Stored names (entities as written) of the children, in document order.
const std::vector<std::string> kChildNames = {
    "Scale", "SCALE", "scale", "Offset", "A", "a", "ab", "abc", "abcd", "abcde", "abcdefg", "abcdefgh", "abcdefghi",
    "abcdefghijklmnop", "abcdefghijklmnopq", "AmplifierScaleMin", "AmplifierScaleMax", "ExpectedAsyncRate",
    "UseCustomScaleForSingleValues", "B@", "B`", "X[", "X{", "y_", "y\x7F", "Na&amp;me", "Na&me2", "Q&lt;R",
    "OnlyOnce"};

const std::vector<std::string> kWanted = {
    "Scale", "scale", "sCaLe", "Offset", "OFFSET", "A", "a", "AB", "abc", "ABCD", "abcdE", "ABCDEFG", "abcdefgH",
    "ABCDEFGHI", "abcdefghijklmnoP", "ABCDEFGHIJKLMNOPQ", "amplifierscalemin", "AMPLIFIERSCALEMAX",
    "ExpectedAsyncRATE", "usecustomscaleforsinglevalues", "b@", "b`", "x[", "x{", "Y_", "Y\x7F", "na&me", "NA&ME2",
    "q<r", "onlyonce", "Scal", "Scalee", "", "abcdefghijklmnopqr", "AmplifierScaleMid", "Na&amp;me", "B'", "Filler7",
    "filler69", "Filler70"};

// Every name of kChildNames as a child of <e> holding its own name, then
// `fillers` empty children.
std::string DocumentOfChildren(int fillers) {
  std::string text = "<?xml?><e>";
  for (const std::string& name : kChildNames) text += "<" + name + ">" + name + "</" + name + ">";
  for (int i = 0; i < fillers; ++i) text += "<Filler" + std::to_string(i) + "/>";
  return text + "</e>";
}

TEST(SetupValueReader, FindsWhatALinearSearchFinds) {
  // With and without filler children: the index keeps its slots inside the
  // reader up to 32 children and beyond that in storage of its own.
  for (const int fillers : {0, 70}) {
    XML xml;
    xml.LoadText(DocumentOfChildren(fillers).c_str());
    const XMLElement& e = *xml.GetRootElement();
    ASSERT_EQ(e.GetChildrenNum(), static_cast<int>(kChildNames.size()) + fillers);
    const SetupValueReader values(&e);
    for (const std::string& wanted : kWanted) {
      const XMLElement* expected = LinearFind(e, wanted);
      EXPECT_EQ(values.Find(SetupName::Of(wanted)), expected) << wanted << " with " << fillers << " fillers";
    }
  }
}

// Names known when the code is compiled, each distinct in any letter case: with
// and without '&' in a listed name, which decides when child names are decoded.
constexpr SetupFieldNames kListed(std::to_array<std::string_view>({
    "sCaLe", "OFFSET", "a", "AB", "abc", "ABCD", "abcdE", "ABCDEFG", "abcdefgH", "ABCDEFGHI", "abcdefghijklmnoP",
    "ABCDEFGHIJKLMNOPQ", "amplifierscalemin", "AMPLIFIERSCALEMAX", "ExpectedAsyncRATE",
    "usecustomscaleforsinglevalues", "b@", "b`", "x[", "x{", "Y_", "Y\x7F", "na&me", "NA&ME2", "q<r", "onlyonce",
    "Scal", "Scalee", "abcdefghijklmnopqr", "AmplifierScaleMid", "Na&amp;me", "B'", "Filler7", "filler69"}));
constexpr SetupFieldNames kListedPlain(
    std::to_array<std::string_view>({"sCaLe", "OFFSET", "a", "abcdefghijklmnoP", "q<r", "Y\x7F", "Filler7", "B'"}));
static_assert(kListed.ListsAmpersand() && !kListedPlain.ListsAmpersand());

template <class Reader>
struct FieldCase {
  typename Reader::Field field;
  const char* name;
};

template <class Reader>
void ExpectLinearSearchResults(const std::vector<FieldCase<Reader>>& cases) {
  for (const int fillers : {0, 70}) {
    XML xml;
    xml.LoadText(DocumentOfChildren(fillers).c_str());
    const XMLElement& e = *xml.GetRootElement();
    const Reader values(&e);
    for (const auto& [field, name] : cases) {
      EXPECT_EQ(values.Find(field), LinearFind(e, name)) << name << " with " << fillers << " fillers";
    }
  }
}

TEST(SetupFieldReader, FiledChildIsWhatALinearSearchFinds) {
  using Listed = SetupFieldReader<kListed>;
  ExpectLinearSearchResults<Listed>(
      {{"sCaLe", "sCaLe"}, {"OFFSET", "OFFSET"}, {"a", "a"}, {"AB", "AB"}, {"abc", "abc"}, {"ABCD", "ABCD"},
       {"abcdE", "abcdE"}, {"ABCDEFG", "ABCDEFG"}, {"abcdefgH", "abcdefgH"}, {"ABCDEFGHI", "ABCDEFGHI"},
       {"abcdefghijklmnoP", "abcdefghijklmnoP"}, {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ"},
       {"amplifierscalemin", "amplifierscalemin"}, {"AMPLIFIERSCALEMAX", "AMPLIFIERSCALEMAX"},
       {"ExpectedAsyncRATE", "ExpectedAsyncRATE"},
       {"usecustomscaleforsinglevalues", "usecustomscaleforsinglevalues"}, {"b@", "b@"}, {"b`", "b`"},
       {"x[", "x["}, {"x{", "x{"}, {"Y_", "Y_"}, {"Y\x7F", "Y\x7F"}, {"na&me", "na&me"}, {"NA&ME2", "NA&ME2"},
       {"q<r", "q<r"}, {"onlyonce", "onlyonce"}, {"Scal", "Scal"}, {"Scalee", "Scalee"},
       {"abcdefghijklmnopqr", "abcdefghijklmnopqr"}, {"AmplifierScaleMid", "AmplifierScaleMid"},
       {"Na&amp;me", "Na&amp;me"}, {"B'", "B'"}, {"Filler7", "Filler7"}, {"filler69", "filler69"}});
  using Plain = SetupFieldReader<kListedPlain>;
  ExpectLinearSearchResults<Plain>({{"sCaLe", "sCaLe"}, {"OFFSET", "OFFSET"}, {"a", "a"},
                                    {"abcdefghijklmnoP", "abcdefghijklmnoP"}, {"q<r", "q<r"},
                                    {"Y\x7F", "Y\x7F"}, {"Filler7", "Filler7"}, {"B'", "B'"}});
  const Listed none(nullptr);
  EXPECT_EQ(none.Find("sCaLe"), nullptr);
  EXPECT_EQ(none.Integer("sCaLe", 7), 7);
}

TEST(SetupValueReader, NamesWrittenInTheCodeHashAsAtRunTime) {
  static_assert(HashNameIgnoringCase("ExpectedAsyncRate") == HashNameIgnoringCase("EXPECTEDASYNCRATE"));
  static_assert(HashNameIgnoringCase("Ab") == HashNameIgnoringCase("aB"));
  for (const std::string& name : {std::string("Scale"), std::string("sCALE"), std::string("UseCustomScaleForSingleValues")}) {
    EXPECT_EQ(SetupName::Of(name).hash(), HashNameIgnoringCase(name));
  }
  constexpr SetupName kScale = "Scale";
  EXPECT_EQ(kScale.hash(), SetupName::Of(std::string("SCALE")).hash());
  EXPECT_EQ(kScale.text(), "Scale");
}

TEST(SetupValueReader, ElementWithoutChildrenHasNoValues) {
  XML xml;
  xml.LoadText("<?xml?><e/>");
  const SetupValueReader values(xml.GetRootElement());
  EXPECT_EQ(values.Find("Scale"), nullptr);
  EXPECT_EQ(values.Integer("Scale", 7), 7);
  const SetupValueReader none(nullptr);
  EXPECT_FALSE(none.Has("Scale"));
}

}  // namespace
}  // namespace Korvane::DataReader
