// The separator-agnostic decimal parsers, under the "C" locale and under a locale
// whose decimal separator is a comma.
#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "setup/NumberParsers.h"
#include "testkit/TempDir.h"

#if defined(__SANITIZE_ADDRESS__)
#define KV_TEST_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_TEST_HAS_ASAN 1
#endif
#endif
#ifdef KV_TEST_HAS_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace Korvane::DataReader {
namespace {

TEST(NumberParsers, PointAndCommaBothSeparateDecimals) {
  EXPECT_DOUBLE_EQ(stod_s("1,5"), 1.5);
  EXPECT_DOUBLE_EQ(stod_s("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(stod_s(std::string("-0,25")), -0.25);
  EXPECT_FLOAT_EQ(stof_s("2,75"), 2.75f);
  EXPECT_FLOAT_EQ(stof_s(std::string("2.75")), 2.75f);
  EXPECT_DOUBLE_EQ(stod_s("  42"), 42.0);
  EXPECT_DOUBLE_EQ(stod_s("1e3"), 1000.0);
}

TEST(NumberParsers, PlainDecimalsReadAsTheLibraryReadsThem) {
  // Texts the shortcut takes, whose value must be stod_s's to the last bit
  // (sign of zero included), and texts it must leave to stod_s.
  const char* const plain[] = {"0",   "-0",  "+0",   "1",    "100",   "-10",    "0.001",  "1,5",
                               "-.5", "5.",  "0.1",  "0.3",  "2.675", "+3.5",   "-0.000", ",25",
                               "123456789012345",    "1.00000000000001",  "0.00000000000001"};
  for (const char* text : plain) {
    double value = 7;
    ASSERT_TRUE(ParsePlainDecimal(text, value)) << text;
    const double expected = stod_s(text);
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << ": " << value << " vs " << expected;
  }
  // Pseudo-random mantissas and separator positions.
  uint64_t state = 12345;
  for (int round = 0; round < 20000; ++round) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const int length = 1 + static_cast<int>((state >> 33) % 15);
    std::string text = std::to_string(state >> 4).substr(0, static_cast<size_t>(length));
    text.insert(static_cast<size_t>((state >> 20) % (text.size() + 1)), 1, '.');
    double value = 0;
    ASSERT_TRUE(ParsePlainDecimal(text, value)) << text;
    const double expected = stod_s(text);
    ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
  }
  for (const char* text : {"", "-", ".", "1.5.2", "1,5.2", " 42", "42 ", "1e3", "0x10", "inf", "nan",
                           "1234567890123456", "0.0000000000000001", "3.5V", "--1", "+-1"}) {
    double value = 7;
    EXPECT_FALSE(ParsePlainDecimal(text, value)) << text;
    EXPECT_EQ(value, 7);
  }
}

TEST(NumberParsers, OnlyTheFirstSeparatorCounts) {
  EXPECT_DOUBLE_EQ(stod_s("1.5.2"), 1.5);
  EXPECT_DOUBLE_EQ(stod_s("1,5.2"), 1.5);
  EXPECT_DOUBLE_EQ(stod_s("3.5V"), 3.5);
}

TEST(NumberParsers, NoDigitsThrowsInvalidArgument) {
  for (const char* text : {"abc", "", ",", "  "}) {
    try {
      stod_s(text);
      ADD_FAILURE() << text;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "stod");
    }
  }
  EXPECT_THROW(stof_s("x1"), std::invalid_argument);
  EXPECT_THROW(stod_s(static_cast<const char*>(nullptr)), std::invalid_argument);
}

TEST(NumberParsers, RangeErrorsThrowOutOfRange) {
  try {
    stod_s("1e999");
    ADD_FAILURE();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "stod");
  }
  try {
    stof_s("1e39");
    ADD_FAILURE();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "stof");
  }
  EXPECT_FLOAT_EQ(stof_s("3e38"), 3e38f);
}

TEST(NumberParsers, ErrnoIsKeptWhenConversionSucceeds) {
  errno = EDOM;
  EXPECT_DOUBLE_EQ(stod_s("7,5"), 7.5);
  EXPECT_EQ(errno, EDOM);
  errno = 0;
}

// A numeric locale with a comma as decimal point: an installed one, or else one
// compiled into a temporary directory with localedef (found through LOCPATH). Null
// when neither is possible.
locale_t MakeCommaLocale(const TestKit::TempDir& dir) {
  auto isComma = [](locale_t locale) { return std::string(nl_langinfo_l(RADIXCHAR, locale)) == ","; };
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8",
                           "es_ES.UTF-8", "it_IT.UTF-8", "ru_RU.UTF-8"}) {
    locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (locale == nullptr) continue;
    if (isComma(locale)) return locale;
    freelocale(locale);
  }
  const std::string command = "localedef -i de_DE -f ISO-8859-1 '" + dir.File("de_DE.ISO-8859-1") +
                              "' > /dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return nullptr;
  setenv("LOCPATH", dir.path().c_str(), 1);
#ifdef KV_TEST_HAS_ASAN
  __lsan_disable();  // the C library keeps the parsed LOCPATH for good
#endif
  locale_t locale = newlocale(LC_NUMERIC_MASK, "de_DE.ISO-8859-1", static_cast<locale_t>(nullptr));
#ifdef KV_TEST_HAS_ASAN
  __lsan_enable();
#endif
  unsetenv("LOCPATH");
  if (locale != nullptr && !isComma(locale)) {
    freelocale(locale);
    return nullptr;
  }
  return locale;
}

TEST(NumberParsers, CommaLocaleReadsBothSeparators) {
  TestKit::TempDir dir;
  locale_t comma = MakeCommaLocale(dir);
  if (comma == nullptr) GTEST_SKIP() << "no locale with a comma decimal separator is available";
  const locale_t previous = uselocale(comma);
  EXPECT_EQ(std::strtod("1.5", nullptr), 1.0);  // the locale is in force for the C library
  double withPoint = 0, withComma = 0;
  float single = 0;
  EXPECT_NO_THROW(withPoint = stod_s("1.5"));
  EXPECT_NO_THROW(withComma = stod_s("1,5"));
  EXPECT_NO_THROW(single = stof_s("-2.25"));
  uselocale(previous);
  freelocale(comma);
  EXPECT_DOUBLE_EQ(withPoint, 1.5);
  EXPECT_DOUBLE_EQ(withComma, 1.5);
  EXPECT_FLOAT_EQ(single, -2.25f);
}

}  // namespace
}  // namespace Korvane::DataReader
