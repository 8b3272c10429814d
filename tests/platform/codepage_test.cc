#include "platform/codepage.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/utf8.h"

namespace zav5::platform {
namespace {

TEST(CodePageTest, WritesLatinLettersAndTheEuroAsOneByteEach) {
  EXPECT_EQ(Utf8ToWindows1252("Prezzo 3,50"), "Prezzo 3,50");
  EXPECT_EQ(Utf8ToWindows1252("città è però"), "citt\xE0 \xE8 per\xF2");
  EXPECT_EQ(Utf8ToWindows1252("ÀÈÉÌÒÙ"), "\xC0\xC8\xC9\xCC\xD2\xD9");
  EXPECT_EQ(Utf8ToWindows1252("2,00 €"), "2,00 \x80");
  EXPECT_EQ(Utf8ToWindows1252("“Œ” – Ÿ™"), "\x93\x8C\x94 \x96 \x9F\x99");
}

TEST(CodePageTest, CharactersTheCodePageLacksBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Utf8ToWindows1252("Łódź"),
            "?\xF3"
            "d?");
  EXPECT_EQ(Utf8ToWindows1252("漢字 ok"), "?? ok");
  EXPECT_EQ(Utf8ToWindows1252("a😀b"), "a?b");
  // C1 control characters are not in the code page: 0x80 is the euro there, not U+0080.
  EXPECT_EQ(Utf8ToWindows1252("\xC2\x80"), "?");
  EXPECT_EQ(Utf8ToWindows1252("Ā"), "?");
}

TEST(CodePageTest, EveryMalformedByteBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToWindows1252("\xFF"), "?");
  EXPECT_EQ(Utf8ToWindows1252("a\x80z"), "a?z");             // stray continuation byte
  EXPECT_EQ(Utf8ToWindows1252("a\xE2\x82z"), "a??z");        // euro cut short
  EXPECT_EQ(Utf8ToWindows1252("a\xE2\x82"), "a??");          // cut short at the end
  EXPECT_EQ(Utf8ToWindows1252("\xC0\xAF"), "??");            // overlong "/"
  EXPECT_EQ(Utf8ToWindows1252("\xED\xA0\x80"), "???");       // surrogate
  EXPECT_EQ(Utf8ToWindows1252("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
  EXPECT_EQ(Utf8ToWindows1252("\xC3\xA0\xC3"), "\xE0?");
}

TEST(CodePageTest, ReadsEveryByteAsItsCharacter) {
  EXPECT_EQ(Windows1252ToUtf8("citt\xE0"), "città");
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "€");
  EXPECT_EQ(Windows1252ToUtf8("\x8A\x9F"), "ŠŸ");
  EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(Windows1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePageTest, EveryByteSurvivesARoundTrip) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(one)), one) << "byte " << byte;
  }
}

TEST(CodePageTest, ReadsUtf8AndTakesTheBytesThatAreNotAsTheCodePage) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"citt\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80", "città € 😀"},  // all UTF-8
      {"caff\xE8", "caffè"},                                        // è in the code page
      {"\xE2\x82"
       "a",
       "â‚a"},                 // the euro sign cut short: two bytes of the code page
      {"\xC0\xAF", "À¯"},      // overlong
      {"\x80\xC3\xA8", "€è"},  // a stray byte, then è in UTF-8
      {std::string("\x81\x00", 2),
       std::string("\xC2\x81\x00", 3)},  // undefined in the code page; a NUL
  };
  for (const auto& [bytes, utf8] : cases) {
    EXPECT_EQ(Utf8OrWindows1252ToUtf8(bytes), utf8) << testing::PrintToString(bytes);
  }
}

TEST(Utf8Test, EncodesAndDecodesAtEveryLengthBoundary) {
  for (const char32_t c : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string text;
    AppendUtf8(text, c);
    std::size_t pos = 0;
    EXPECT_EQ(DecodeUtf8(text, pos), c) << "U+" << std::hex << static_cast<unsigned>(c);
    EXPECT_EQ(pos, text.size());
  }
}

TEST(Utf8Test, SkipsACharacterWithItsContinuationBytes) {
  const std::string text = "a\xC3\xA0\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a à € 😀 z
  std::vector<std::size_t> ends;
  for (std::size_t pos = 0; pos < text.size(); pos = SkipUtf8Character(text, pos)) {
    ends.push_back(SkipUtf8Character(text, pos));
  }
  EXPECT_EQ(ends, (std::vector<std::size_t>{1, 3, 6, 10, 11}));
}

TEST(Utf8Test, SkipsAMalformedSequenceOneByteAtATimeAsDecodingDoes) {
  struct Case {
    std::string text;
    std::vector<std::size_t> ends;
  };
  const std::vector<Case> cases = {
      {"\x80\x80\x80", {1, 2, 3}},  // stray continuation bytes
      {"\xE2\x82"
       "a",
       {1, 2, 3}},  // the euro sign cut short
      {"\xC3"
       "a",
       {1, 2}},                                 // a lead byte without its continuation
      {"\xC0\xAF", {1, 2}},                     // overlong
      {"\xC3\xA0\xA0\xE2\x82\xAC", {2, 3, 6}},  // à, a stray byte, €
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(testing::PrintToString(test.text));
    std::vector<std::size_t> ends;
    for (std::size_t pos = 0; pos < test.text.size(); pos = SkipUtf8Character(test.text, pos)) {
      ends.push_back(SkipUtf8Character(test.text, pos));
    }
    EXPECT_EQ(ends, test.ends);
    EXPECT_EQ(Utf8ToWindows1252(test.text).size(), test.ends.size());
  }
}

}  // namespace
}  // namespace zav5::platform
