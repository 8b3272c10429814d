// Upper-casing, the other way of the letter pairs that FoldCase folds.
#include "platform/case_fold.h"

#include <gtest/gtest.h>

namespace zav5::platform {
namespace {

TEST(UpperCaseTest, RaisesAsciiLetters) {
  EXPECT_EQ(UpperCase("abc xyz"), "ABC XYZ");
  EXPECT_EQ(UpperCase("ABC"), "ABC");
  EXPECT_EQ(UpperCase("a1_b-2.c@z[`{"), "A1_B-2.C@Z[`{");
  EXPECT_EQ(UpperCase(""), "");
}

TEST(UpperCaseTest, RaisesLatinLetters) {
  EXPECT_EQ(UpperCase("à"), "À");
  EXPECT_EQ(UpperCase("società"), "SOCIETÀ");
  EXPECT_EQ(UpperCase("àèéìòù çñþ"), "ÀÈÉÌÒÙ ÇÑÞ");
  EXPECT_EQ(UpperCase("šžłœ"), "ŠŽŁŒ");
  EXPECT_EQ(UpperCase("āăąćĉċčďđēĳķĺľńňŋőŕśŷźżž"), "ĀĂĄĆĈĊČĎĐĒĲĶĹĽŃŇŊŐŔŚŶŹŻŽ");
}

TEST(UpperCaseTest, RaisesAWindowsPath) {
  EXPECT_EQ(UpperCase("c:\\sulvo\\neg01\\dati.mdb"), "C:\\SULVO\\NEG01\\DATI.MDB");
  EXPECT_EQ(UpperCase("\\\\server\\città\\Dati.mdb"), "\\\\SERVER\\CITTÀ\\DATI.MDB");
}

TEST(UpperCaseTest, LeavesWhatIsNoSmallLetterAsItIs) {
  EXPECT_EQ(UpperCase("ß ÿ"), "ß ÿ");
  EXPECT_EQ(UpperCase("× ÷ µ ª º"), "× ÷ µ ª º");
  EXPECT_EQ(UpperCase("ı ĸ ŉ ſ"), "ı ĸ ŉ ſ");  // no capital in the pairs
  EXPECT_EQ(UpperCase("漢字 € 😀 ж"), "漢字 € 😀 ж");
  EXPECT_EQ(UpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(UpperCaseTest, KeepsMalformedBytesAndRaisesWhatFollowsThem) {
  EXPECT_EQ(UpperCase("a\xFF"
                      "b"),
            "A\xFF"
            "B");
  // A lead byte without its continuation does not take the next letter with it.
  EXPECT_EQ(UpperCase("x\xC3"
                      "a"),
            "X\xC3"
            "A");
  EXPECT_EQ(UpperCase("\xA0"
                      "e\xE2\x82"),
            "\xA0"
            "E\xE2\x82");
}

TEST(UpperCaseTest, IsTheOtherWayOfFoldCase) {
  for (char32_t c = 0; c < 0x250; ++c) {
    SCOPED_TRACE(static_cast<unsigned>(c));
    const char32_t upper = UpperCase(c);
    EXPECT_EQ(FoldCase(upper), FoldCase(c));  // upper-casing never makes another letter
    EXPECT_EQ(UpperCase(upper), upper);
    if (FoldCase(c) != c && c != 0x178) {  // every capital but Ÿ, whose small letter ÿ stays
      EXPECT_EQ(UpperCase(FoldCase(c)), c);
    }
  }
  EXPECT_EQ(UpperCase(U'ÿ'), U'ÿ');
  EXPECT_EQ(UpperCase(U'ß'), U'ß');
}

}  // namespace
}  // namespace zav5::platform
