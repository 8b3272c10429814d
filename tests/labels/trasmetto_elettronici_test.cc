#include "labels/trasmetto_elettronici.h"

#include <filesystem>
#include <fstream>
#include <map>

#include <fmt/core.h>
#include <gtest/gtest.h>

#include "data/value_calendar.h"
#include "data/value_text.h"
#include "errors.h"
#include "support/temp_dir.h"
#include "support/working_store.h"

namespace zav5::labels {
namespace {

using test::ReadFile;
using test::WorkingStore;

// 6 December 2026, the end of article 1002's promotion.
const std::int32_t kSixDecember = data::DayNumber(std::chrono::year_month_day{
    std::chrono::year{2026}, std::chrono::December, std::chrono::day{6}});

// An offer 101/2026 of three rows: an article without promotion, one on promotion without a
// supplier code, and one that the price list does not have; then an article with only a
// description and a public price.
std::string StoreSql() {
  return fmt::format(
      "INSERT INTO unitam VALUES ('LT', 'LITRO', 1);"
      "INSERT INTO offtab VALUES (1, 'SOTTOCOSTO', 'S');"
      "INSERT INTO listi01 (codart, desart, przpub, przsal, codafo, umart, umquaco, quaco, ivart,"
      " desfor, desrep, desgru, dessot, provenienza, categoria) VALUES (1001, 'LATTE INTERO 1 L',"
      " 1.99, 0, 'F012345678', 'LT', 'LT', 0.5, '04', 'CENTRALE DEL LATTE', 'LATTICINI', 'LATTE',"
      " 'FRESCO', 'IT', 'A');"
      "INSERT INTO listi01 (codart, desart, przpub, przsal, codpro, data2, umart, umquaco, quaco,"
      " desrep, desgru, provenienza, categoria) VALUES (1002, 'BISCOTTI AL BURRO', 2.9, 2.5, 1,"
      " {}, 'PZ', 'PZ', 0, 'DOLCI', 'FROLLINI', 'FR', 'B');"
      "INSERT INTO listi01 (codart, desart, przpub, przsal) VALUES (1003, 'OLIO', 1234.5, 0);"
      "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto) VALUES"
      " (101, 2026, 1, '8001234567890', 1001, NULL),"
      " (101, 2026, 2, '8002', 1002, 10),"
      " (101, 2026, 3, '8003', 9999, NULL),"
      " (101, 2026, 4, '80040000000001234', 1003, NULL);",
      kSixDecember);
}

// A line of 54 fields, all empty but those given (numbered from 1).
std::string Line(const std::map<int, std::string>& campi) {
  std::string line;
  for (int campo = 1; campo <= 54; ++campo) {
    const auto found = campi.find(campo);
    if (found != campi.end()) {
      line += found->second;
    }
    if (campo < 54) {
      line += ';';
    }
  }
  return line;
}

std::string Blanks(std::size_t n) {
  return std::string(n, ' ');
}

std::string Fit(std::string_view text, std::size_t n) {
  return data::FitText(text, n);
}

const std::string kMilkLine = Line({
    {1, "1234567"},
    {2, "8001234567890"},
    {3, "8001234567890"},
    {4, Fit("LATTE INTERO 1 L", 50)},
    {10, "LT"},
    {11, "0,5"},
    {12, "04"},
    {13, Fit("CENTRALE DEL LATTE", 45)},
    {14, Fit("LATTICINI", 30)},
    {15, Fit("LATTE", 30)},
    {16, Fit("FRESCO", 30)},
    {22, " "},
    {23, "1,99"},
    {24, "3,98"},
    {32, "0"},
    {33, "0"},
    {34, Blanks(25)},
    {35, "0,5"},
    {39, "IT"},
    {40, "A"},
});

std::string BiscuitsLine(std::string_view supplier_code) {
  return Line({
      {1, std::string(supplier_code)},
      {2, "8002"},
      {3, "8002"},
      {4, Fit("BISCOTTI AL BURRO", 50)},
      {10, "PZ"},
      {11, "0"},
      {12, "  "},
      {14, Fit("DOLCI", 30)},
      {15, "0"},
      {19, "06-12-2026"},
      {22, "S"},
      {23, "2,25"},
      {24, "0"},
      {25, "2,90"},
      {26, "0"},
      {32, "10"},
      {33, "1"},
      {34, Fit("SOTTOCOSTO", 25)},
      {35, "0"},
      {39, "FR"},
      {40, "B"},
  });
}

// The group name of the article before does not carry over.
const std::string kOilLine = Line({
    {1, "AB1003"},
    {2, "8004000000000"},
    {3, "8004000000000"},
    {4, Fit("OLIO", 50)},
    {11, "0"},
    {12, "  "},
    {13, Blanks(45)},
    {14, Blanks(30)},
    {15, Blanks(30)},
    {16, Blanks(30)},
    {22, " "},
    {23, "1234,5"},
    {24, "0"},
    {32, "0"},
    {33, "0"},
    {34, Blanks(25)},
    {35, "0"},
});

class TrasmettoTest : public testing::Test {
 protected:
  TrasmettoTest() : store_(StoreSql()) {}

  // Writes the offer's import files and hands them over, as the cycle does after its commit.
  void Transmit(const std::string& folder, std::int32_t numero = 101) {
    Trasmetto_Elettronici(store_.work(), store_.outbox(), folder, numero, 2026);
    store_.HandOver(numero);
  }
  std::string ReadAll(std::string_view relative) const {
    return ReadFile(store_.DriveC() / relative);
  }

  WorkingStore store_;
};

TEST_F(TrasmettoTest, TwoFileLayoutWritesPriceAndPromotionFilesByteForByte) {
  Transmit("C:\\sulvo\\");

  EXPECT_EQ(store_.File("c/sulvo"),
            (std::vector<std::string>{"Import_PRO_20261207114930.txt",
                                      "Import_VPA_20261207114930.txt", "frontalini.bat"}));
  EXPECT_EQ(ReadAll("sulvo/Import_VPA_20261207114930.txt"), kMilkLine + "\r\n" + kOilLine + "\r\n");
  EXPECT_EQ(ReadAll("sulvo/Import_PRO_20261207114930.txt"), BiscuitsLine("AB1002") + "\r\n");
  EXPECT_EQ(store_.env().started_scripts, std::vector<std::string>{"C:\\sulvo\\frontalini.bat"});
}

TEST_F(TrasmettoTest, OneFileLayoutWritesEveryLineInRowOrderUnderThePrefix) {
  store_.FtpElettro() = "1";
  store_.VexularElettro() = " ESL ";
  Transmit("C:\\sulvo\\esl\\");

  EXPECT_EQ(store_.File("c/sulvo/esl"), std::vector<std::string>{"ESL20261207114930.txt"});
  EXPECT_EQ(ReadAll("sulvo/esl/ESL20261207114930.txt"),
            kMilkLine + "\r\n" + BiscuitsLine("AB1002") + "\r\n" + kOilLine + "\r\n");
  EXPECT_TRUE(store_.env().started_scripts.empty()) << "the site has no comandoP.bat";
  EXPECT_EQ(store_.File("c/sulvo"), std::vector<std::string>{"frontalini.bat"});
}

TEST_F(TrasmettoTest, SupplierCodeFallbackIsStoredAndReadBackOnTheNextCall) {
  Transmit("C:\\sulvo\\");
  const std::string stored = "AB1002" + Blanks(10);
  EXPECT_EQ(store_.QueryRows("SELECT codafo FROM listi01 WHERE codart IN (1002, 1003)"),
            (std::vector<std::string>{stored, "AB1003" + Blanks(10)}));
  EXPECT_EQ(store_.QueryRows("SELECT codafo FROM offmo ORDER BY briga"),
            (std::vector<std::string>{"NULL", stored, "NULL", "AB1003" + Blanks(10)}))
      << "the row of an article with a code of its own, and the skipped row, are not touched";

  // The copy script took the first files; the second set gets the next second, never a name
  // already given.
  std::filesystem::remove(store_.DriveC() / "sulvo" / "Import_PRO_20261207114930.txt");
  std::filesystem::remove(store_.DriveC() / "sulvo" / "Import_VPA_20261207114930.txt");
  store_.HandOver(101);
  Transmit("C:\\sulvo\\");
  EXPECT_EQ(ReadAll("sulvo/Import_PRO_20261207114931.txt"), BiscuitsLine("1002") + "\r\n");
}

TEST_F(TrasmettoTest, CleanUpDeletesEveryImportFileOfTheFolderOnly) {
  for (const char* name :
       {"sulvo/import_vecchio.txt", "sulvo/IMPORT", "sulvo/altro.txt", "sulvo/esl/import_1.txt"}) {
    std::ofstream(store_.DriveC() / name) << "x";
  }
  Transmit("C:\\sulvo\\", 999);  // an offer without rows
  EXPECT_EQ(store_.File("c/sulvo"), std::vector<std::string>{"altro.txt"})
      << "an offer without rows writes no file and no script";
  EXPECT_EQ(store_.File("c/sulvo/esl"), std::vector<std::string>{"import_1.txt"});
  EXPECT_TRUE(store_.env().started_scripts.empty());
}

TEST_F(TrasmettoTest, OnlyTheFileOfTheKindOfLinesPresentIsCreated) {
  store_.Sql("DELETE FROM offmo WHERE briga = 2");
  Transmit("C:\\sulvo\\");
  EXPECT_EQ(store_.File("c/sulvo"),
            (std::vector<std::string>{"Import_VPA_20261207114930.txt", "frontalini.bat"}));
}

TEST_F(TrasmettoTest, EveryFileIsClosedBeforeAndAfterTheLines) {
  const platform::FileHandle log =
      store_.env().OpenTextFile("C:\\sulvo\\bkp\\log.txt", platform::OpenMode::kAppend);
  Transmit("C:\\sulvo\\");
  EXPECT_FALSE(store_.env().IsOpen(log));
}

TEST_F(TrasmettoTest, ANullFieldTheLineCannotDoWithoutNamesTheOfferAndTheRow) {
  struct Caso {
    const char* sql;
    const char* atteso;
  };
  for (const Caso& caso : {
           Caso{"UPDATE offmo SET eanrig = NULL WHERE briga = 2", "riga 2"},
           Caso{"UPDATE offmo SET articoli = NULL WHERE briga = 1", "riga 1: EAN 8001234567890"},
           Caso{"UPDATE listi01 SET desart = NULL WHERE codart = 1003", "riga 4"},
       }) {
    WorkingStore store(StoreSql());
    store.Sql(caso.sql);
    try {
      Trasmetto_Elettronici(store.work(), store.outbox(), "C:\\sulvo\\", 101, 2026);
      ADD_FAILURE() << caso.sql << ": no error";
    } catch (const ConversionError& error) {
      EXPECT_NE(std::string(error.what()).find("offerta 101/2026"), std::string::npos)
          << error.what();
      EXPECT_NE(std::string(error.what()).find(caso.atteso), std::string::npos) << error.what();
    }
    EXPECT_TRUE(store.env().started_scripts.empty()) << caso.sql;
  }
}

// A row without an article code of its own is the article that its EAN names, the one the
// deactivation restored: one row names one article in both.
TEST_F(TrasmettoTest, ARowWithoutArticleCodeIsTheArticleOfItsEan) {
  store_.Sql(
      "INSERT INTO codean (eanare, codare) VALUES ('8001234567890', 1001);"
      "UPDATE offmo SET articoli = NULL WHERE briga = 1");
  Transmit("C:\\sulvo\\");
  EXPECT_EQ(ReadAll("sulvo/Import_VPA_20261207114930.txt"), kMilkLine + "\r\n" + kOilLine + "\r\n");
}

// The rows of a long offer, all of article 1001 (a price line each), from row 5 on.
std::string MilkLines(int quante) {
  std::string sql = "BEGIN;";
  for (int line = 5; line < 5 + quante; ++line) {
    sql += fmt::format(
        "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli) VALUES"
        " (101, 2026, {}, '8001234567890', 1001);",
        line);
  }
  return sql + "COMMIT;";
}

std::string Repeated(const std::string& line, int volte) {
  std::string lines;
  for (int i = 0; i < volte; ++i) {
    lines += line + "\r\n";
  }
  return lines;
}

// Lines are handed to the file in blocks; the script finds every one of them, in row order, even
// when they are many times a block.
TEST_F(TrasmettoTest, ALongOfferIsWholeInItsFilesWhenTheScriptStarts) {
  store_.Sql(MilkLines(700));
  std::string prezzi_all_avvio;
  store_.env().start_script = [&](std::string_view) {
    prezzi_all_avvio = ReadAll("sulvo/Import_VPA_20261207114930.txt");
  };
  Transmit("C:\\sulvo\\");
  const std::string atteso = kMilkLine + "\r\n" + kOilLine + "\r\n" + Repeated(kMilkLine, 700);
  EXPECT_GT(atteso.size(), 3u * 64 * 1024);
  EXPECT_EQ(prezzi_all_avvio, atteso);
  EXPECT_EQ(ReadAll("sulvo/Import_PRO_20261207114930.txt"), BiscuitsLine("AB1002") + "\r\n");
}

// A row that cannot be written stops the work: nothing of it reaches the label folder, nothing
// is left in the outbox, and no script starts.
TEST_F(TrasmettoTest, AFailingRowLeavesNothingBehind) {
  store_.Sql(MilkLines(400) +
             "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli) VALUES"
             " (101, 2026, 999, NULL, 1001);");
  EXPECT_THROW(Trasmetto_Elettronici(store_.work(), store_.outbox(), "C:\\sulvo\\", 101, 2026),
               ConversionError);
  store_.HandOver(101);
  EXPECT_EQ(store_.File("c/sulvo"), std::vector<std::string>{});
  EXPECT_EQ(store_.File("c/dorn/zav5/consegne"), std::vector<std::string>{});
  EXPECT_TRUE(store_.env().started_scripts.empty());
}

// A write that fails (a full disk) at any step of the outbox is reported as it happens, and
// nothing is handed over or left behind.
TEST_F(TrasmettoTest, AFailedWriteIsReportedAndNothingIsHandedOver) {
  for (const int lines : {0, 700}) {
    for (const char* row_step : {"folder", "temporary", "append", "sync", "close", "rename"}) {
      SCOPED_TRACE(fmt::format("{} righe in piu', guasto a {}", lines, row_step));
      WorkingStore store(StoreSql() + MilkLines(lines));
      store.env().before_step = [row_step](std::string_view step) {
        if (step.starts_with(row_step)) {
          throw FileError("impossibile scrivere: disco pieno");
        }
      };
      EXPECT_THROW(Trasmetto_Elettronici(store.work(), store.outbox(), "C:\\sulvo\\", 101, 2026),
                   FileError);
      store.env().before_step = nullptr;
      store.HandOver(101);
      EXPECT_TRUE(store.env().started_scripts.empty());
      EXPECT_EQ(store.File("c/sulvo"), std::vector<std::string>{});
      EXPECT_EQ(store.File("c/dorn/zav5/consegne"), std::vector<std::string>{});
    }
  }
}

TEST_F(TrasmettoTest, AQuoteInTheUnitCodeIsAValueNotSql) {
  store_.Sql(
      "INSERT INTO unitam VALUES ('L''T', 'STRANO', 2);"
      "UPDATE listi01 SET umquaco = 'L''T' WHERE codart = 1001");
  Transmit("C:\\sulvo\\");
  EXPECT_NE(ReadAll("sulvo/Import_VPA_20261207114930.txt").find(";7,96;"), std::string::npos)
      << "1,99 / 0,5 x 2";
}

}  // namespace
}  // namespace zav5::labels
