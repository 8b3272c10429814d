// The text forms and roundings of the import lines, byte for byte.
#include "labels/label_texts.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"

namespace zav5::labels {
namespace {

constexpr data::RegionalSettings kDecimalPoint{'.', ','};

data::Currency Euro(std::int64_t ten_thousandths) {
  return data::Currency{ten_thousandths};
}

TEST(TrimmedTest, RemovesOnlyOuterBlanks) {
  const std::vector<std::pair<std::string, std::string>> casi = {
      {"", ""},
      {"    ", ""},
      {"AB1001", "AB1001"},
      {"  AB1001  ", "AB1001"},
      {"AB 1001", "AB 1001"},
      {"\tAB\t", "\tAB\t"},
  };
  for (const auto& [testo, atteso] : casi) {
    SCOPED_TRACE(testo);
    EXPECT_EQ(Trimmed(testo), atteso);
  }
}

TEST(AmountTest, RoundsHalfAwayFromZeroAsWrittenAndGroupsThousands) {
  const std::vector<std::pair<double, std::string>> casi = {
      {2.675, "2,68"},  // a little below the half in binary
      {1.005, "1,01"},
      {1234.5, "1.234,50"},
      {0.005, "0,01"},
      {-0.005, "-0,01"},
      {3.98, "3,98"},
      {1.99 / 0.5, "3,98"},
      {1e6, "1.000.000,00"},
      {-1234.5, "-1.234,50"},
      {0, "0,00"},
      {-0.0, "0,00"},
      {-0.004, "0,00"},  // rounds to zero: no sign
      {0.004999, "0,00"},
      {0.1 + 0.2, "0,30"},
      {99.995, "100,00"},
      {999.995, "1.000,00"},
      {999, "999,00"},
      {1000, "1.000,00"},
      {12.3, "12,30"},
      {123456.789, "123.456,79"},
      {-1234567.891, "-1.234.567,89"},
      {1e20, "100.000.000.000.000.000.000,00"},
      {1e-300, "0,00"},
      {std::numeric_limits<double>::denorm_min(), "0,00"},
  };
  for (const auto& [valore, atteso] : casi) {
    SCOPED_TRACE(valore);
    EXPECT_EQ(Amount(valore), atteso);
  }
}

TEST(AmountTest, FollowsTheRegionalSeparators) {
  EXPECT_EQ(Amount(1234567.5, kDecimalPoint), "1,234,567.50");
  EXPECT_EQ(Amount(-0.5, kDecimalPoint), "-0.50");
}

TEST(AmountTest, WritesTheLargestDoubleInFull) {
  const std::string testo = Amount(std::numeric_limits<double>::max());
  EXPECT_EQ(testo.substr(0, 12), "179.769.313.");
  EXPECT_EQ(testo.substr(testo.size() - 3), ",00");
  EXPECT_EQ(testo.size(), 309u + 102u + 3u);  // digits, group separators, ",00"
}

TEST(AmountTest, RefusesWhatIsNotANumber) {
  for (const double valore : {std::nan(""), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(valore);
    EXPECT_THROW(Amount(valore), ConversionError);
  }
}

TEST(MoneyTextTest, WritesMoneyWithoutGroupingOrTrailingZeros) {
  const std::vector<std::pair<std::int64_t, std::string>> casi = {
      {125000, "12,5"}, {30000, "3"},  {2250, "0,225"}, {-15000, "-1,5"}, {12345000, "1234,5"},
      {0, "0"},         {1, "0,0001"}, {-500, "-0,05"}, {22500, "2,25"},  {100000, "10"},
  };
  for (const auto& [ten_thousandths, atteso] : casi) {
    SCOPED_TRACE(ten_thousandths);
    EXPECT_EQ(MoneyText(Euro(ten_thousandths)), atteso);
  }
  EXPECT_EQ(MoneyText(Euro(12345000), kDecimalPoint), "1234.5");
}

TEST(PriceTwoDecimalsTest, RoundsHalfAwayFromZeroAsWritten) {
  const std::vector<std::pair<double, std::int64_t>> casi = {
      {1.005, 10100},
      {2.675, 26800},
      {-2.675, -26800},
      {1.994999, 19900},
      {0.004, 0},
      {-0.004, 0},
      {1.99, 19900},
      {1234.5, 12345000},
      {9.995, 100000},
      {0.125, 1300},
      {9e14, 9000000000000000000},
      {0, 0},
  };
  for (const auto& [valore, ten_thousandths] : casi) {
    SCOPED_TRACE(valore);
    EXPECT_EQ(PriceTwoDecimals(valore), Euro(ten_thousandths));
  }
}

TEST(PriceTwoDecimalsTest, RefusesValuesThatAreNoCurrency) {
  for (const double valore : {std::nan(""), std::numeric_limits<double>::infinity(), 1e15, -1e15}) {
    SCOPED_TRACE(valore);
    EXPECT_THROW(PriceTwoDecimals(valore), ConversionError);
  }
}

TEST(DiscountedPriceTest, TakesThePercentageOffAndRoundsHalvesToEven) {
  struct Caso {
    std::int64_t price;
    std::int64_t sconto;
    std::int64_t atteso;
  };
  const std::vector<Caso> casi = {
      {2500, 100000, 2200},    // 0.25 less 0.025 = 0.225: the even neighbour is 0.22
      {25000, 100000, 22500},  // 2.5 less 10% = 2.25
      {3500, 100000, 3200},    // 0.35 less 0.035 = 0.315: 0.32
      {4500, 100000, 4000},    // 0.405: 0.40, where away from zero would give 0.41
      {5500, 100000, 5000},    // 0.495: above the half
      {25000, 0, 25000},       // no discount
      {19900, 0, 19900},      {10000, 330000, 6700},  // 1.00 less 33%
      {9900, 330000, 6600},                           // 0.99 less 0.3267 = 0.6633
      {15000, 500000, 7500},                          // half price
      {19900, 1000000, 0},                            // everything off
      {-2500, 100000, -2200},  // a negative price rounds the same way on its side
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(testing::Message() << caso.price << " sconto " << caso.sconto);
    EXPECT_EQ(DiscountedPrice(Euro(caso.price), Euro(caso.sconto)), Euro(caso.atteso));
  }
}

TEST(DiscountedPriceTest, RefusesAResultOutsideTheCurrencyRange) {
  EXPECT_THROW(DiscountedPrice(Euro(9000000000000000000), Euro(-1000000)), ConversionError);
}

TEST(UnitPriceTest, DividesByTheQuantityAndFormatsAsAmount) {
  struct Caso {
    double price, quantity, fattore;
    std::string atteso;
  };
  const std::vector<Caso> casi = {
      {1.99, 0.5, 1, "3,98"}, {1234.5, 1, 1, "1.234,50"}, {2.25, 0, 1, "0"},
      {1.99, 0.5, 0, "0,00"}, {2.5, 0.75, 1, "3,33"},     {1.99, 500, 1000, "3,98"},
      {2.675, 1, 1, "2,68"},  {0.01, 3, 1, "0,00"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(testing::Message()
                 << caso.price << " / " << caso.quantity << " * " << caso.fattore);
    EXPECT_EQ(UnitPrice(caso.price, caso.quantity, caso.fattore), caso.atteso);
  }
  EXPECT_EQ(UnitPrice(1.99, 0.5, 1, kDecimalPoint), "3.98");
}

TEST(ArticleDescriptionTest, KeepsThirtyFiveCharactersInFifty) {
  const std::vector<std::pair<std::string, std::string>> casi = {
      {"", std::string(50, ' ')},
      {"PASTA", "PASTA" + std::string(45, ' ')},
      {"BISCOTTI FROLLINI AL CACAO CONFEZIONE RISPARMIO 700G",
       "BISCOTTI FROLLINI AL CACAO CONFEZIO" + std::string(15, ' ')},
      // 34 characters and an accented letter that is two bytes: all 35 are kept.
      {"CAFFE MACINATO MOKA GUSTO CLASSICO\xC3\xA0XYZ",
       "CAFFE MACINATO MOKA GUSTO CLASSICO\xC3\xA0" + std::string(15, ' ')},
  };
  for (const auto& [desart, attesa] : casi) {
    SCOPED_TRACE(desart);
    EXPECT_EQ(ArticleDescription(desart), attesa);
  }
}

TEST(EndDateTest, WritesDayMonthAndFourDigitYear) {
  const std::vector<std::pair<std::int32_t, std::string>> casi = {
      {46363, "07-12-2026"}, {45351, "29-02-2024"},   {0, "30-12-1899"},       {1, "31-12-1899"},
      {2, "01-01-1900"},     {-657434, "01-01-0100"}, {2958465, "31-12-9999"},
  };
  for (const auto& [giorno, atteso] : casi) {
    SCOPED_TRACE(giorno);
    EXPECT_EQ(EndDate(giorno), atteso);
  }
}

TEST(EndDateTest, RefusesDaysOutsideTheDateRange) {
  for (const std::int32_t giorno : {-657435, 2958466, std::numeric_limits<std::int32_t>::max(),
                                    std::numeric_limits<std::int32_t>::min()}) {
    SCOPED_TRACE(giorno);
    EXPECT_THROW(EndDate(giorno), ConversionError);
  }
}

}  // namespace
}  // namespace zav5::labels
