#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include "platform/case_fold.h"

namespace zav5::platform {
namespace {

TEST(CaseFoldTest, FoldsAsciiAndLatinCapitals) {
  EXPECT_EQ(FoldCase("C:\\SULVO\\DATI.MDB"), "c:\\sulvo\\dati.mdb");
  EXPECT_EQ(FoldCase("ÀÈÉÌÒÙ ÇÑÞ"), "àèéìòù çñþ");
  EXPECT_EQ(FoldCase("ŠŽŁŒŸ"), "šžłœÿ");
  EXPECT_EQ(FoldCase("× ß µ 漢"), "× ß µ 漢");  // not capitals
  EXPECT_EQ(FoldCase("A\xFF"
                     "B"),
            "a\xFF"
            "b");
  EXPECT_TRUE(EqualsIgnoringCase("CITTÀ.txt", "città.TXT"));
  EXPECT_FALSE(EqualsIgnoringCase("citta.txt", "città.txt"));
}

TEST(WildcardTest, StarDotStarAlsoMatchesNamesWithoutADot) {
  EXPECT_TRUE(MatchesWildcard("import*.*", "Import_VPA_20261207.txt"));
  EXPECT_TRUE(MatchesWildcard("import*.*", "importX"));
  EXPECT_TRUE(MatchesWildcard("import*.*", "IMPORT"));
  EXPECT_TRUE(MatchesWildcard("IMPORT*.*", "import.a.b"));
  EXPECT_FALSE(MatchesWildcard("import*.*", "export.txt"));
  EXPECT_FALSE(MatchesWildcard("import*.*", "x_import.txt"));
  EXPECT_TRUE(MatchesWildcard("*.*", "dati"));
  EXPECT_TRUE(MatchesWildcard("*.*", "dati.mdb"));
  EXPECT_TRUE(MatchesWildcard("*.txt.*", "a.txt"));
  EXPECT_FALSE(MatchesWildcard("*.txt.*", "a.txtx"));
}

TEST(WildcardTest, StarMatchesAnyRunIncludingNone) {
  EXPECT_TRUE(MatchesWildcard("*", ""));
  EXPECT_TRUE(MatchesWildcard("*", "anything.at.all"));
  EXPECT_TRUE(MatchesWildcard("*.txt", "a.TXT"));
  EXPECT_TRUE(MatchesWildcard("*.txt", "a.b.txt"));
  EXPECT_TRUE(MatchesWildcard("*.txt", ".txt"));
  EXPECT_FALSE(MatchesWildcard("*.txt", "a.txt.bak"));
  EXPECT_TRUE(MatchesWildcard("*a*b", "xaxxab"));
  EXPECT_TRUE(MatchesWildcard("a*b*c", "abbbcbc"));
  EXPECT_TRUE(MatchesWildcard("*ab", "aab"));
  EXPECT_FALSE(MatchesWildcard("a*", "ba"));
  EXPECT_FALSE(MatchesWildcard("a*b", "ab_"));
}

TEST(WildcardTest, QuestionMarkMatchesExactlyOneCharacter) {
  EXPECT_TRUE(MatchesWildcard("file?.txt", "file1.txt"));
  EXPECT_TRUE(MatchesWildcard("file?.txt", "FILEè.TXT"));  // one character, two bytes
  EXPECT_FALSE(MatchesWildcard("file?.txt", "file.txt"));
  EXPECT_FALSE(MatchesWildcard("file?.txt", "file12.txt"));
  EXPECT_TRUE(MatchesWildcard("??", "\xFF\xFE"));  // malformed bytes are one character each
}

TEST(WildcardTest, LettersMatchWithoutRegardToCase) {
  EXPECT_TRUE(MatchesWildcard("Dati.mdb", "DATI.MDB"));
  EXPECT_TRUE(MatchesWildcard("CITTÀ*", "città.txt"));
  EXPECT_TRUE(MatchesWildcard("perÒ?", "PERò1"));
  EXPECT_FALSE(MatchesWildcard("dati.mdb", "dati.mdbx"));
  EXPECT_FALSE(MatchesWildcard("dati.mdb", "dati.md"));
}

TEST(WildcardTest, TellsPatternsFromNames) {
  EXPECT_TRUE(HasWildcard("import*.*"));
  EXPECT_TRUE(HasWildcard("file?.txt"));
  EXPECT_FALSE(HasWildcard("Import_VPA_20261207.txt"));
}

}  // namespace
}  // namespace zav5::platform
