// File names of the import files and the clean-up pattern.
#include "labels/import_file_names.h"

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zav5::labels {
namespace {

using namespace std::chrono;

platform::LocalTime Moment(int anno, unsigned mese, unsigned giorno, int ore, int minuti,
                           int secondi) {
  return local_days{year{anno} / month{mese} / day{giorno}} + hours{ore} + minutes{minuti} +
         seconds{secondi};
}

TEST(FileStampTest, WritesDateAndTimeWithoutSeparators) {
  const std::vector<std::pair<platform::LocalTime, std::string>> casi = {
      {Moment(2026, 12, 7, 14, 30, 5), "20261207143005"},
      {Moment(2026, 1, 2, 0, 0, 0), "20260102000000"},
      {Moment(2024, 2, 29, 23, 59, 59), "20240229235959"},
      {Moment(999, 3, 4, 5, 6, 7), "09990304050607"},
  };
  for (const auto& [momento, atteso] : casi) {
    SCOPED_TRACE(atteso);
    EXPECT_EQ(FileStamp(momento), atteso);
  }
}

TEST(ImportFileNamesTest, ConcatenatesOntoTheFolderAsItIs) {
  const platform::LocalTime t = Moment(2026, 12, 7, 14, 30, 5);
  EXPECT_EQ(PriceFileName("C:\\sulvo", t), "C:\\sulvo\\Import_VPA_20261207143005.txt");
  EXPECT_EQ(PromotionFileName("C:\\sulvo", t), "C:\\sulvo\\Import_PRO_20261207143005.txt");
  // A folder ending in a backslash gives a doubled one in the two-file names.
  EXPECT_EQ(PriceFileName("C:\\sulvo\\", t), "C:\\sulvo\\\\Import_VPA_20261207143005.txt");
  EXPECT_EQ(PromotionFileName("C:\\sulvo\\", t), "C:\\sulvo\\\\Import_PRO_20261207143005.txt");
  // The one-file name adds no separator and drops the prefix's outer blanks.
  EXPECT_EQ(SingleFileName("C:\\sulvo\\", "ESL", t), "C:\\sulvo\\ESL20261207143005.txt");
  EXPECT_EQ(SingleFileName("C:\\sulvo\\", "  ESL  ", t), "C:\\sulvo\\ESL20261207143005.txt");
  EXPECT_EQ(SingleFileName("C:\\sulvo", "ESL", t), "C:\\sulvoESL20261207143005.txt");
  EXPECT_EQ(SingleFileName("C:\\sulvo\\", "", t), "C:\\sulvo\\20261207143005.txt");
}

TEST(ImportFileNamesTest, CleanUpPatternHasNoSeparatorEither) {
  EXPECT_EQ(CleanUpPattern("C:\\sulvo\\"), "C:\\sulvo\\import*.*");
  EXPECT_EQ(CleanUpPattern("Z:\\etichette"), "Z:\\etichetteimport*.*");
}

}  // namespace
}  // namespace zav5::labels
