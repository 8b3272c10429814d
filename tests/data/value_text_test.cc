// Leading numbers of texts, and texts measured and fitted in characters rather than bytes.
#include "data/value_text.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace zav5::data {
namespace {

using namespace std::string_literals;

TEST(LeadingNumberTest, ReadsTheNumberAtTheStart) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"  12.5kg", 12.5}, {"1 2 3", 123}, {"abc", 0},      {"-3", -3},      {"+4", 4},
      {"- 3", -3},        {".5", 0.5},    {"-.5", -0.5},   {"5.", 5},       {"1e3", 1000},
      {"1E-2", 0.01},     {"2D2", 200},   {"2d+1", 20},    {"1 e 3", 1000}, {"1e", 1},
      {"1e+", 1},         {"1ex", 1},     {"", 0},         {"   ", 0},      {"12,5", 12},
      {"1.2.3", 1.2},     {"\t\r\n7", 7}, {"00042", 42},   {"--3", 0},      {".", 0},
      {"-", 0},           {"x12", 0},     {"12abc34", 12}, {"1e-400", 0},
  };
  for (const auto& [text, number] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(LeadingNumber(text), number);
  }
  EXPECT_TRUE(std::isinf(LeadingNumber("1e400")));
  EXPECT_LT(LeadingNumber("-1e400"), 0);
}

TEST(CharacterCountTest, CountsCharactersNotBytes) {
  EXPECT_EQ(CharacterCount(""), 0u);
  EXPECT_EQ(CharacterCount("abc"), 3u);
  EXPECT_EQ(CharacterCount("città"), 5u);
  EXPECT_EQ(CharacterCount("€"), 1u);      // three bytes
  EXPECT_EQ(CharacterCount("a😀b"), 3u);    // four bytes in the middle
  EXPECT_EQ(CharacterCount("a\0b"s), 3u);  // a NUL is a character
  EXPECT_EQ(CharacterCount(std::string(4, '\0')), 4u);
}

TEST(TextWidthTest, CountsAndCutsMalformedTextAsTheCodePageWritesIt) {
  // Each byte that is not part of well-formed UTF-8 is one character, as it becomes one "?" in the
  // store's code page; a well-formed character is never split, whatever surrounds it.
  struct Case {
    std::string text;
    std::size_t characters;
  };
  const std::vector<Case> cases = {
      {"\x80\x80", 2},  // stray continuation bytes
      {"a\x80\x80"
       "b",
       4},
      {"\xE2\x82", 2},  // the euro sign cut short
      {"\xE2\x82"
       "ab",
       4},
      {"\xC3"
       "a",
       2},                                      // a lead byte without its continuation
      {"\xC0\xAF", 2},                          // "/" in an overlong form
      {"\xED\xA0\x80", 3},                      // a surrogate
      {"\xF4\x90\x80\x80", 4},                  // above U+10FFFF
      {"\xFF\xFE", 2},                          // never in UTF-8
      {"\xC3\xA0\xA0", 2},                      // à and a stray continuation byte
      {"\xE2\x82\xAC\x80\xF0\x9F\x98\x80", 3},  // € stray 😀
      {"perch\xC3\xA9\xE2\x82z\xC3\xA8", 10},   // perché, a cut euro sign, z, è
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(testing::PrintToString(test.text));
    const std::string encoded = platform::Utf8ToWindows1252(test.text);
    EXPECT_EQ(CharacterCount(test.text), test.characters);
    EXPECT_EQ(encoded.size(), test.characters);
    const std::string padded = test.text + std::string(3, ' ');
    for (std::size_t length = 0; length <= test.characters + 3; ++length) {
      SCOPED_TRACE(length);
      const std::string fitted = FitText(test.text, length);
      EXPECT_EQ(padded.compare(0, fitted.size(), fitted), 0);
      EXPECT_EQ(platform::Utf8ToWindows1252(fitted), (encoded + "   ").substr(0, length));
      for (std::size_t start = 1; start <= test.characters + 1; ++start) {
        EXPECT_EQ(platform::Utf8ToWindows1252(MidText(test.text, start, length)),
                  encoded.substr(start - 1, length))
            << "from " << start;
      }
    }
  }
}

TEST(FitTextTest, CutsOrPadsToCharacters) {
  EXPECT_EQ(FitText("città", 3), "cit");
  EXPECT_EQ(FitText("città", 4), "citt");
  EXPECT_EQ(FitText("città", 5), "città");
  EXPECT_EQ(FitText("città", 7), "città  ");
  EXPECT_EQ(FitText("à", 3), "à  ");
  EXPECT_EQ(FitText("€€€", 2), "€€");
  EXPECT_EQ(FitText("a😀b", 2), "a😀");
  EXPECT_EQ(FitText("abc", 0), "");
  EXPECT_EQ(FitText("", 2), "  ");
  EXPECT_EQ(FitText("a\0b"s, 2), "a\0"s);
  EXPECT_EQ(FitText("a\0"s, 4), "a\0  "s);
  // Every fitted text has exactly the length asked for, and is a prefix of the text or the text
  // followed by blanks.
  const std::string text = "perché€😀";
  for (std::size_t length = 0; length < 12; ++length) {
    SCOPED_TRACE(length);
    const std::string fitted = FitText(text, length);
    EXPECT_EQ(CharacterCount(fitted), length);
    const std::string kept = fitted.substr(0, std::min(fitted.size(), text.size()));
    EXPECT_EQ(text.compare(0, kept.size(), kept), 0);
  }
}

TEST(FixedTextTest, HoldsExactlyItsLength) {
  FixedText code(4);
  EXPECT_EQ(code.length(), 4u);
  EXPECT_EQ(code.str(), std::string(4, '\0'));  // nothing stored yet: four NULs
  code = "ab";
  EXPECT_EQ(code.str(), "ab  ");
  code = "abcdef";
  EXPECT_EQ(code.str(), "abcd");
  code = "però";
  EXPECT_EQ(code.str(), "però");
  code = "perché";
  EXPECT_EQ(code.str(), "perc");
  code = "";
  EXPECT_EQ(code.str(), "    ");
  EXPECT_EQ(FixedText(0).str(), "");
}

}  // namespace
}  // namespace zav5::data
