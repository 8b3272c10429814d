// The conversion rules of field values: rounding, ranges, Null, texts that are or are not numbers,
// and the text forms of numbers and amounts.
#include "data/value.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <iomanip>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"

namespace zav5::data {
namespace {

// The message of the ConversionError `convert` throws; fails the test when it throws none.
std::string ConversionMessage(const std::function<void()>& convert) {
  try {
    convert();
  } catch (const ConversionError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no ConversionError";
  return {};
}

Value Money(std::int64_t ten_thousandths) {
  return Value::Money(Currency{ten_thousandths});
}

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.4999999999999996), 2);
  EXPECT_EQ(RoundHalfEven(2.5000000000000004), 3);
  EXPECT_EQ(RoundHalfEven(-2.6), -3);
  EXPECT_EQ(RoundHalfEven(4503599627370497.0), 4503599627370497.0);
  EXPECT_TRUE(std::isnan(RoundHalfEven(std::nan(""))));
}

TEST(WholeNumberTest, DoublesRoundHalfToEven) {
  EXPECT_EQ(Value::Double(0.5).ToInteger(), 0);
  EXPECT_EQ(Value::Double(1.5).ToInteger(), 2);
  EXPECT_EQ(Value::Double(2.5).ToInteger(), 2);
  EXPECT_EQ(Value::Double(-0.5).ToInteger(), 0);
  EXPECT_EQ(Value::Double(-1.5).ToInteger(), -2);
  EXPECT_EQ(Value::Double(2.6).ToLong(), 3);
  EXPECT_EQ(Value::Double(-2.5).ToLong(), -2);
  EXPECT_EQ(Value::Double(3.5).ToLong(), 4);
}

TEST(WholeNumberTest, SixteenBitRangeIsCheckedAfterRounding) {
  EXPECT_EQ(Value::Double(32766.5).ToInteger(), 32766);
  EXPECT_EQ(Value::Double(32767.4).ToInteger(), 32767);
  EXPECT_THROW(Value::Double(32767.5).ToInteger(), ConversionError);
  EXPECT_EQ(Value::Double(-32768.5).ToInteger(), -32768);
  EXPECT_THROW(Value::Double(-32768.6).ToInteger(), ConversionError);
  EXPECT_THROW(Value::Long(32768).ToInteger(), ConversionError);
  EXPECT_EQ(Value::Long(-32768).ToInteger(), -32768);
  EXPECT_THROW(Value::Double(std::nan("")).ToInteger(), ConversionError);
  EXPECT_THROW(Value::Double(std::numeric_limits<double>::infinity()).ToInteger(), ConversionError);
}

TEST(WholeNumberTest, ThirtyTwoBitRangeIsCheckedAfterRounding) {
  EXPECT_EQ(Value::Double(2147483646.5).ToLong(), 2147483646);
  EXPECT_THROW(Value::Double(2147483647.5).ToLong(), ConversionError);
  EXPECT_EQ(Value::Double(-2147483648.5).ToLong(), -2147483647 - 1);
  EXPECT_THROW(Value::Double(-2147483649.0).ToLong(), ConversionError);
  EXPECT_THROW(Value::Double(1e19).ToLong(), ConversionError);
  EXPECT_EQ(Value::Integer(-32768).ToLong(), -32768);
}

TEST(WholeNumberTest, CurrencyRoundsItsExactValue) {
  EXPECT_EQ(Money(25000).ToInteger(), 2);    // 2,5
  EXPECT_EQ(Money(35000).ToInteger(), 4);    // 3,5
  EXPECT_EQ(Money(-25000).ToInteger(), -2);  // -2,5
  EXPECT_EQ(Money(-35000).ToLong(), -4);
  EXPECT_EQ(Money(25001).ToLong(), 3);  // just above a half
  EXPECT_EQ(Money(-25001).ToLong(), -3);
  EXPECT_EQ(Money(4999).ToLong(), 0);
  EXPECT_EQ(Money(327665000).ToInteger(), 32766);
  EXPECT_THROW(Money(327675000).ToInteger(), ConversionError);
  EXPECT_THROW(Value::Money(Currency{std::numeric_limits<std::int64_t>::min()}).ToLong(),
               ConversionError);
}

TEST(WholeNumberTest, DatesFlagsAndTexts) {
  EXPECT_EQ(Value::Day(Date{45292}).ToLong(), 45292);
  EXPECT_EQ(Value::Day(Date{45292.5}).ToLong(), 45292);
  EXPECT_EQ(Value::Day(Date{45293.5}).ToLong(), 45294);
  EXPECT_THROW(Value::Day(Date{45292}).ToInteger(), ConversionError);
  EXPECT_EQ(Value::Boolean(true).ToInteger(), -1);
  EXPECT_EQ(Value::Boolean(false).ToLong(), 0);
  EXPECT_EQ(Value::Text("42").ToInteger(), 42);
  EXPECT_EQ(Value::Text("  -17 ").ToLong(), -17);
  EXPECT_EQ(Value::Text("+3").ToLong(), 3);
  EXPECT_EQ(Value::Text("2,5").ToInteger(), 2);
  EXPECT_EQ(Value::Text("3.5").ToInteger(), 4);
  EXPECT_EQ(Value::Text("-2.5").ToInteger(), -2);
  EXPECT_EQ(Value::Text("2.5000000000000000000001").ToInteger(), 3);  // no binary detour
  EXPECT_EQ(Value::Text("1e3").ToLong(), 1000);
  EXPECT_EQ(Value::Text("15E-1").ToLong(), 2);
  EXPECT_EQ(Value::Text("0.0000001").ToLong(), 0);
  EXPECT_EQ(Value::Text("007").ToLong(), 7);
  EXPECT_EQ(Value::Text("32766.5").ToInteger(), 32766);
  EXPECT_THROW(Value::Text("32767.5").ToInteger(), ConversionError);
  EXPECT_EQ(Value::Text("-2147483648").ToLong(), -2147483647 - 1);
  EXPECT_THROW(Value::Text("2147483648").ToLong(), ConversionError);
  EXPECT_THROW(Value::Text("1e400").ToLong(), ConversionError);
  EXPECT_THROW(Value::Text("99999999999999999999999").ToLong(), ConversionError);
}

TEST(TextAsNumberTest, TextsThatAreNotNumbersAreRefused) {
  for (const char* text : {"", "   ", "abc", "12abc", "1.2.3", "1,2,3", "1.000,5", "--3", "+", "-",
                           ".", "1e", "1e+", "e5", "3 4", "0x10", "1 000", "True"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(Value::Text(text).ToInteger(), ConversionError);
    EXPECT_THROW(Value::Text(text).ToLong(), ConversionError);
    EXPECT_THROW(Value::Text(text).ToDouble(), ConversionError);
    EXPECT_THROW(Value::Text(text).ToCurrency(), ConversionError);
  }
}

TEST(TextAsNumberTest, DecimalSeparatorsAndExponents) {
  EXPECT_EQ(Value::Text("1,5").ToDouble(), 1.5);
  EXPECT_EQ(Value::Text("1.5").ToDouble(), 1.5);
  EXPECT_EQ(Value::Text(".5").ToDouble(), 0.5);
  EXPECT_EQ(Value::Text("5.").ToDouble(), 5);
  EXPECT_EQ(Value::Text("-1,5E+2").ToDouble(), -150);
  EXPECT_EQ(Value::Text("2.5e-3").ToDouble(), 0.0025);
  EXPECT_EQ(Value::Text("\t0,1\r\n").ToDouble(), 0.1);
  EXPECT_EQ(Value::Text("1e-400").ToDouble(), 0);
  EXPECT_THROW(Value::Text("1e400").ToDouble(), ConversionError);
}

// The form without the exception reads the same numbers and refuses the same texts, up to the
// edges of a double's range.
TEST(TextAsNumberTest, TextToDoubleRefusesExactlyWhatToDoubleThrowsOn) {
  const struct {
    const char* text;
    std::optional<double> number;
  } cases[] = {
      {"1", 1},
      {" 1,0 ", 1},
      {"-1,5E+2", -150},
      {"1e-400", 0},
      {"1,7976931348623157E+308", std::numeric_limits<double>::max()},
      {"-1,7976931348623157E+308", -std::numeric_limits<double>::max()},
      {"1,8E+308", std::nullopt},
      {"-1e400", std::nullopt},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"1abc", std::nullopt},
      {"1.000,5", std::nullopt},
      {"True", std::nullopt},
  };
  for (const auto& [text, number] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(TextToDouble(text), number);
    if (number) {
      EXPECT_EQ(Value::Text(text).ToDouble(), *number);
    } else {
      EXPECT_THROW(Value::Text(text).ToDouble(), ConversionError);
    }
  }
}

TEST(ValueNullTest, EveryConversionRefusesNull) {
  const Value null;
  EXPECT_THROW(null.ToInteger(), ConversionError);
  EXPECT_THROW(null.ToLong(), ConversionError);
  EXPECT_THROW(null.ToDouble(), ConversionError);
  EXPECT_THROW(null.ToCurrency(), ConversionError);
  EXPECT_THROW(null.ToDate(), ConversionError);
  EXPECT_THROW(null.ToBoolean(), ConversionError);
  EXPECT_THROW(null.ToText(), ConversionError);
}

TEST(ValueErrorTest, MessagesSayWhatCouldNotBecomeWhat) {
  EXPECT_EQ(ConversionMessage([] { Value().ToInteger(); }),
            "valore Null non convertibile in numero intero (16 bit)");
  EXPECT_EQ(ConversionMessage([] { Value().ToText(); }), "valore Null non convertibile in testo");
  EXPECT_EQ(ConversionMessage([] { Value::Text("abc").ToLong(); }),
            "conversione non possibile: testo 'abc' in numero intero (32 bit)");
  EXPECT_EQ(ConversionMessage([] { Value::Double(32767.5).ToInteger(); }),
            "conversione non possibile: numero 32767,5 fuori dall'intervallo di numero intero "
            "(16 bit)");
  EXPECT_EQ(ConversionMessage([] { Value::Text("31/02/2024").ToDate(); }),
            "conversione non possibile: testo '31/02/2024' in data");
}

TEST(ValueDoubleTest, EachKindAsADouble) {
  EXPECT_EQ(Value::Integer(-7).ToDouble(), -7);
  EXPECT_EQ(Value::Long(100000).ToDouble(), 100000);
  EXPECT_EQ(Value::Double(0.1).ToDouble(), 0.1);
  EXPECT_EQ(Money(12345).ToDouble(), 1.2345);
  EXPECT_EQ(Money(-1).ToDouble(), -0.0001);
  EXPECT_EQ(Value::Day(Date{45292.25}).ToDouble(), 45292.25);
  EXPECT_EQ(Value::Boolean(true).ToDouble(), -1);
  EXPECT_EQ(Value::Boolean(false).ToDouble(), 0);
}

TEST(ValueCurrencyTest, RoundsHalfToEvenAtTheFifthDecimal) {
  // Halves as written, whichever side of them the binary double falls.
  EXPECT_EQ(Currency::FromDouble(1.00005).ten_thousandths, 10000);  // a hair above in binary
  EXPECT_EQ(Currency::FromDouble(2.00025).ten_thousandths, 20002);  // a hair below in binary
  EXPECT_EQ(Currency::FromDouble(3.00035).ten_thousandths, 30004);
  EXPECT_EQ(Currency::FromDouble(1.23445).ten_thousandths, 12344);
  EXPECT_EQ(Currency::FromDouble(1.23455).ten_thousandths, 12346);
  EXPECT_EQ(Currency::FromDouble(0.00015).ten_thousandths, 2);
  EXPECT_EQ(Currency::FromDouble(1.00015).ten_thousandths, 10002);
  EXPECT_EQ(Currency::FromDouble(1.00016).ten_thousandths, 10002);
  EXPECT_EQ(Currency::FromDouble(-1.00015).ten_thousandths, -10002);
  EXPECT_EQ(Currency::FromDouble(0.00005).ten_thousandths, 0);
  EXPECT_EQ(Currency::FromDouble(12.5).ten_thousandths, 125000);
  EXPECT_EQ(Currency::FromDouble(1.000050001).ten_thousandths, 10001);
  EXPECT_EQ(Currency::FromDouble(0.1 + 0.2).ten_thousandths, 3000);
  EXPECT_EQ(Currency::FromDouble(-0.0).ten_thousandths, 0);
  EXPECT_EQ(Value::Double(2.00025).ToCurrency().ten_thousandths, 20002);
  EXPECT_EQ(Value::Day(Date{45292.00005}).ToCurrency().ten_thousandths, 452920000);
  // From a text the rounding is decimal and exact.
  EXPECT_EQ(Value::Text("0,00005").ToCurrency().ten_thousandths, 0);
  EXPECT_EQ(Value::Text("0,00015").ToCurrency().ten_thousandths, 2);
  EXPECT_EQ(Value::Text("0,000050001").ToCurrency().ten_thousandths, 1);
  EXPECT_EQ(Value::Text("-0,00015").ToCurrency().ten_thousandths, -2);
  EXPECT_EQ(Value::Text("0,000049999").ToCurrency().ten_thousandths, 0);
  EXPECT_EQ(Value::Text("0,0000099").ToCurrency().ten_thousandths, 0);
  EXPECT_EQ(Value::Text("12,34").ToCurrency().ten_thousandths, 123400);
  EXPECT_EQ(Value::Text("1e2").ToCurrency().ten_thousandths, 1000000);
  EXPECT_EQ(Value::Text("0").ToCurrency().ten_thousandths, 0);
}

TEST(ValueCurrencyTest, OtherKindsAndRange) {
  EXPECT_EQ(Value::Integer(-3).ToCurrency().ten_thousandths, -30000);
  EXPECT_EQ(Value::Long(2000000000).ToCurrency().ten_thousandths, 20000000000000);
  EXPECT_EQ(Value::Boolean(true).ToCurrency().ten_thousandths, -10000);
  EXPECT_EQ(Value::Day(Date{2.5}).ToCurrency().ten_thousandths, 25000);
  EXPECT_EQ(Money(7).ToCurrency().ten_thousandths, 7);
  EXPECT_EQ(Value::Text("-922337203685477,5808").ToCurrency().ten_thousandths,
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(Value::Text("922337203685477,5807").ToCurrency().ten_thousandths,
            std::numeric_limits<std::int64_t>::max());
  EXPECT_THROW(Value::Text("922337203685477,5808").ToCurrency(), ConversionError);
  EXPECT_THROW(Value::Text("922337203685477,58075").ToCurrency(), ConversionError);
  EXPECT_EQ(Currency::FromDouble(922337203685477.5).ten_thousandths, 9223372036854775000);
  EXPECT_THROW(Currency::FromDouble(922337203685477.6), ConversionError);
  EXPECT_THROW(Currency::FromDouble(1e15), ConversionError);
  EXPECT_THROW(Currency::FromDouble(-1e15), ConversionError);
  EXPECT_THROW(Currency::FromDouble(std::nan("")), ConversionError);
  EXPECT_THROW(Value::Double(9.3e14).ToCurrency(), ConversionError);
  EXPECT_EQ(Value::Double(9.2e14).ToCurrency().ten_thousandths, 9200000000000000000);
}

// The form without the exception takes the same amounts and refuses the same doubles, up to the
// last double on either side of the count's limits (922337203685477.5807 and -922337203685477.5808
// lie between two doubles an eighth apart).
TEST(ValueCurrencyTest, TryFromDoubleRefusesExactlyWhatFromDoubleThrowsOn) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  constexpr double kLargest = std::numeric_limits<double>::max();
  const struct {
    double number;
    std::optional<std::int64_t> amount;
  } cases[] = {
      {922337203685477.5, 9223372036854775000},
      {std::nextafter(922337203685477.5, kInfinity), std::nullopt},
      {-922337203685477.5, -9223372036854775000},
      {std::nextafter(-922337203685477.5, -kInfinity), std::nullopt},
      {99999999999.9999,
       999999999999999},  // the last amount below 1e11, where the text is not read
      {1e11, 1000000000000000},
      {1.00005, 10000},
      {-0.0, 0},
      {std::numeric_limits<double>::denorm_min(), 0},
      {1e15, std::nullopt},
      {kLargest, std::nullopt},
      {-kLargest, std::nullopt},
      {kInfinity, std::nullopt},
      {-kInfinity, std::nullopt},
      {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
  };
  for (const auto& [number, amount] : cases) {
    SCOPED_TRACE(testing::Message() << std::setprecision(17) << number);
    const std::optional<Currency> tried = Currency::TryFromDouble(number);
    EXPECT_EQ(tried.has_value(), amount.has_value());
    if (amount) {
      EXPECT_EQ(tried.value_or(Currency{}).ten_thousandths, *amount);
      EXPECT_EQ(Currency::FromDouble(number).ten_thousandths, *amount);
    } else {
      EXPECT_THROW(Currency::FromDouble(number), ConversionError);
    }
  }
}

// A double written with at most 15 significant digits becomes the same amount as its text form.
TEST(ValueCurrencyTest, ADoubleRoundsAsItsTextDoes) {
  for (double number : {0.00005, 0.00015, 1.00005, 2.00025, 12.34565, -7.77775, 1234.56785,
                        99999.99995, -123456.78905, 1e-9, 4.5e-5, 5.5e-5, 1e14}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(Currency::FromDouble(number),
              Value::Text(Value::Double(number).ToText()).ToCurrency());
  }
}

TEST(ValueBooleanTest, NumbersAndWords) {
  EXPECT_TRUE(Value::Integer(1).ToBoolean());
  EXPECT_TRUE(Value::Integer(-1).ToBoolean());
  EXPECT_FALSE(Value::Long(0).ToBoolean());
  EXPECT_TRUE(Value::Double(0.1).ToBoolean());
  EXPECT_FALSE(Value::Double(0).ToBoolean());
  EXPECT_TRUE(Money(1).ToBoolean());
  EXPECT_FALSE(Money(0).ToBoolean());
  EXPECT_TRUE(Value::Day(Date{1}).ToBoolean());
  EXPECT_FALSE(Value::Boolean(false).ToBoolean());
  for (const char* yes : {"True", "true", "TRUE", "Vero", "vero", " VERO ", "1", "-1", "0,5"}) {
    SCOPED_TRACE(yes);
    EXPECT_TRUE(Value::Text(yes).ToBoolean());
  }
  for (const char* no : {"False", "false", "Falso", "FALSO", "0", "0,000", "-0"}) {
    SCOPED_TRACE(no);
    EXPECT_FALSE(Value::Text(no).ToBoolean());
  }
  // Only the letters of the words count: an accented letter is another letter.
  for (const char* neither : {"", "si", "yes", "Veri", "Truex", "Verò", "FALSÒ"}) {
    SCOPED_TRACE(neither);
    EXPECT_THROW(Value::Text(neither).ToBoolean(), ConversionError);
  }
}

TEST(ValueTextTest, WholeNumbersAndFlags) {
  EXPECT_EQ(Value::Integer(0).ToText(), "0");
  EXPECT_EQ(Value::Integer(-32768).ToText(), "-32768");
  EXPECT_EQ(Value::Long(1234567).ToText(), "1234567");  // never grouped
  EXPECT_EQ(Value::Long(-2147483647 - 1).ToText(), "-2147483648");
  EXPECT_EQ(Value::Boolean(true).ToText(), "True");
  EXPECT_EQ(Value::Boolean(false).ToText(), "False");
  EXPECT_EQ(Value::Text("  a'b ").ToText(), "  a'b ");
}

TEST(ValueTextTest, DoublesLikeCStr) {
  const std::vector<std::pair<double, std::string>> cases = {
      {1.5, "1,5"},
      {2.0, "2"},
      {0.1 + 0.2, "0,3"},
      {-0.5, "-0,5"},
      {0, "0"},
      {-0.0, "0"},
      {1234567.25, "1234567,25"},
      {100, "100"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {123456789012345.0, "123456789012345"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E+15"},
      {1e20, "1E+20"},
      {-1.5e20, "-1,5E+20"},
      {1234567890123456789.0, "1,23456789012346E+18"},
      {1e100, "1E+100"},
      {0.0001, "0,0001"},
      {0.00012, "0,00012"},
      {0.00001, "1E-05"},
      {1.5e-7, "1,5E-07"},
      {-2.5e-300, "-2,5E-300"},
      {9999999999999999.0, "1E+16"},
      {std::nextafter(1.0, 0.0), "1"},  // rounding to 15 digits carries into the units
  };
  for (const auto& [number, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Value::Double(number).ToText(), text);
  }
}

TEST(ValueTextTest, CurrencyUpToFourDecimals) {
  EXPECT_EQ(Money(125000).ToText(), "12,5");
  EXPECT_EQ(Money(30000).ToText(), "3");
  EXPECT_EQ(Money(-1).ToText(), "-0,0001");
  EXPECT_EQ(Money(0).ToText(), "0");
  EXPECT_EQ(Money(12345).ToText(), "1,2345");
  EXPECT_EQ(Money(10010).ToText(), "1,001");
  EXPECT_EQ(Money(-123450000).ToText(), "-12345");
  EXPECT_EQ(Value::Money(Currency{std::numeric_limits<std::int64_t>::min()}).ToText(),
            "-922337203685477,5808");
  EXPECT_EQ(Value::Money(Currency{std::numeric_limits<std::int64_t>::max()}).ToText(),
            "922337203685477,5807");
}

TEST(ValueTextTest, RegionalDecimalSeparator) {
  const RegionalSettings english{'.', ','};
  EXPECT_EQ(Value::Double(1.5).ToText(english), "1.5");
  EXPECT_EQ(Value::Double(1.5e-7).ToText(english), "1.5E-07");
  EXPECT_EQ(Money(125000).ToText(english), "12.5");
  EXPECT_EQ(Value::Long(1234567).ToText(english), "1234567");
}

TEST(ValueTextTest, TextFormsReadBack) {
  for (double number : {1.5, -0.3, 12345.678, 1e20, 1.5e-7, 0.0001, -7.0}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(Value::Text(Value::Double(number).ToText()).ToDouble(), number);
  }
  for (std::int64_t amount : {0LL, 1LL, -1LL, 125000LL, -987654321LL}) {
    SCOPED_TRACE(amount);
    EXPECT_EQ(Value::Text(Money(amount).ToText()).ToCurrency().ten_thousandths, amount);
  }
}

TEST(DescribeTest, ShortFormsForMessages) {
  EXPECT_EQ(Describe(Value()), "Null");
  EXPECT_EQ(Describe(Value::Text("abc")), "testo 'abc'");
  EXPECT_EQ(Describe(Value::Double(3.5)), "numero 3,5");
  EXPECT_EQ(Describe(Value::Integer(-4)), "numero -4");
  EXPECT_EQ(Describe(Value::Long(70000)), "numero 70000");
  EXPECT_EQ(Describe(Money(125000)), "importo 12,5");
  EXPECT_EQ(Describe(Value::Day(Date{46363})), "data 07/12/2026");
  EXPECT_EQ(Describe(Value::Boolean(true)), "valore logico True");
  // A date no calendar holds is still described, not refused.
  EXPECT_EQ(Describe(Value::Day(Date{1e10})), "data con numero di giorno 10000000000");
  // Long texts are cut, never inside a character.
  const std::string long_text = std::string(59, 'x') + "èèè";
  EXPECT_EQ(Describe(Value::Text(long_text)), "testo '" + std::string(59, 'x') + "è...'");
}

}  // namespace
}  // namespace zav5::data
