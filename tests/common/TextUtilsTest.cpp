// The shared C-string helpers and digit conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/TextUtils.h"

namespace Korvane::DataReader {
namespace {

TEST(TextUtils, UpperAndSame) {
  char text[] = "Event log 7";
  UpperString(text);
  EXPECT_STREQ(text, "EVENT LOG 7");
  UpperString(nullptr);
  EXPECT_TRUE(SameString("AI", "AI"));
  EXPECT_FALSE(SameString("AI", "ai"));
  EXPECT_FALSE(SameString("AI", "AI "));
  EXPECT_FALSE(SameString("AI", nullptr));
  EXPECT_TRUE(SameString(nullptr, nullptr));
}

TEST(TextUtils, CopyStrCutsAndZeroFills) {
  char field[8];
  std::memset(field, '#', sizeof field);
  CopyStr(field, "abcdef", 5);
  EXPECT_EQ(std::string(field, 5), std::string("abcd\0", 5));
  EXPECT_EQ(field[5], '#');
  std::memset(field, '#', sizeof field);
  CopyStr(field, "ab", 5);
  EXPECT_EQ(std::string(field, 5), std::string("ab\0\0\0", 5));
  EXPECT_EQ(field[5], '#');
  CopyStr(field, nullptr, 3);
  EXPECT_EQ(std::string(field, 3), std::string(3, '\0'));
  field[0] = 'k';
  CopyStr(field, "x", 0);
  EXPECT_EQ(field[0], 'k');
  CopyStr(field, "x", 1);
  EXPECT_EQ(field[0], '\0');
}

TEST(TextUtils, CopyStrExTakesARangeInsideBothTexts) {
  char out[8];
  CopyStrEx(out, sizeof out, "channel", 2, 3);
  EXPECT_STREQ(out, "ann");
  CopyStrEx(out, sizeof out, "channel", 4, 10);
  EXPECT_STREQ(out, "nel");
  CopyStrEx(out, sizeof out, "channel", 9, 2);
  EXPECT_STREQ(out, "");
  CopyStrEx(out, sizeof out, "channel", 1, 0);
  EXPECT_STREQ(out, "");
  CopyStrEx(out, 4, "channel", 0, 7);
  EXPECT_STREQ(out, "cha");
}

TEST(TextUtils, LengthAndAppendStayInBuffer) {
  EXPECT_EQ(LengthStr("abc"), 3);
  EXPECT_EQ(LengthStr(nullptr), 0);
  char text[8] = "ab";
  EXPECT_EQ(AppendStr(text, sizeof text, "cd"), 4);
  EXPECT_STREQ(text, "abcd");
  EXPECT_EQ(AppendStr(text, sizeof text, "efghij"), 7);
  EXPECT_STREQ(text, "abcdefg");
  EXPECT_EQ(AppendStr(text, sizeof text, nullptr), 7);
}

TEST(TextUtils, StrFindFindsFirstOccurrence) {
  EXPECT_EQ(StrFind("X3SP", "SP"), 2);
  EXPECT_EQ(StrFind("abcabc", "c"), 2);
  EXPECT_EQ(StrFind("abc", "abc"), 0);
  EXPECT_EQ(StrFind("abc", "abcd"), -1);
  EXPECT_EQ(StrFind("abc", ""), -1);
  EXPECT_EQ(StrFind("", "a"), -1);
  EXPECT_EQ(StrFind(nullptr, "a"), -1);
}

TEST(TextUtils, ConvertUnicodeToASCIIKeepsEvenBytes) {
  char wide[] = {'A', 0, 'I', 0, ';', 0, '0', 0, 0, 0, 'x', 0};
  ConvertUnicodeToASCII(wide, sizeof wide);
  EXPECT_STREQ(wide, "AI;0");
  char full[] = {'a', 0, 'b', 0};  // no terminator inside the buffer
  ConvertUnicodeToASCII(full, sizeof full);
  EXPECT_STREQ(full, "ab");
  char odd[] = {'a', 0, 'b'};
  ConvertUnicodeToASCII(odd, sizeof odd);
  EXPECT_STREQ(odd, "ab");
}

TEST(TextUtils, HexToIntegerReadsColours) {
  EXPECT_EQ(HexToInteger("#FF8000"), 0xFF8000u);
  EXPECT_EQ(HexToInteger("#00ff00"), 0x00FF00u);
  EXPECT_EQ(HexToInteger("1a"), 0x1Au);
  EXPECT_EQ(HexToInteger("G1"), 0x01u);  // unknown characters count as 0 digits
  EXPECT_EQ(HexToInteger(""), 0u);
  EXPECT_EQ(HexToInteger("123456789"), 0x23456789u);  // the first digit shifts out
}

TEST(TextUtils, DigitConversionsIgnoreSigns) {
  EXPECT_EQ(CharToInt('7'), 7);
  EXPECT_EQ(CharToInt('0'), 0);
  EXPECT_EQ(CharToInt('a'), 0);
  EXPECT_EQ(ato__int64("-12"), 12);
  EXPECT_EQ(ato__int64("3000000000"), 3000000000LL);
  EXPECT_EQ(ato__int64("1a2"), 102);
  EXPECT_EQ(ato__int64(nullptr), 0);
  EXPECT_EQ(ato__int64("99999999999999999999999"), static_cast<int64_t>(200376420520689663ULL));
}

TEST(TextUtils, FileExtensionIsLastFourCharactersUpperCased) {
  auto text = [](const std::array<char, 5>& e) { return std::string(e.data()); };
  EXPECT_EQ(text(GetFileExtension("/data/run.kxz")), ".KXZ");
  EXPECT_EQ(text(GetFileExtension("measure.K7z")), ".K7Z");
  EXPECT_EQ(text(GetFileExtension("abcde")), "BCDE");
  const std::array<char, 5> none = GetFileExtension(".kxz");
  EXPECT_EQ(none, (std::array<char, 5>{}));
  EXPECT_EQ(GetFileExtension(nullptr), (std::array<char, 5>{}));
}

}  // namespace
}  // namespace Korvane::DataReader
