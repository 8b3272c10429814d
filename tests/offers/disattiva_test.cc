#include "offers/disattiva.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fmt/core.h>
#include <gtest/gtest.h>

#include "errors.h"
#include "support/temp_dir.h"
#include "support/working_store.h"

namespace zav5::offers {
namespace {

using test::ReadFile;
using test::WorkingStore;
using QueryRows = std::vector<std::string>;

// The offer under test, 7/2026, runs from day 100 to day 110.
constexpr std::int32_t kOfferNumber = 7;
constexpr std::int32_t kYear = 2026;
constexpr std::int32_t kFirstOleDay = 100;
constexpr std::int32_t kLastOleDay = 110;

// An article on promotion from `data1` to `data2` (SQL literals, so that "NULL" and fractions of
// a day can be given), whose promotion number is `numpro`. Every promotion field is set, so that
// clearing shows on each of them.
std::string Article(int codart, std::string_view data1, std::string_view data2, int numpro) {
  return fmt::format(
      "INSERT INTO listi01 (codart, desart, przpub, przsal, cosoff, data1, data2, escludo, fl2art,"
      " taglia, stapro, numpro, codpro, AA_offerta, NR_offerta, descom, codafo, umart, umquaco,"
      " quaco, ivart, desfor, desrep, desgru, dessot, provenienza, categoria) VALUES ({0},"
      " 'ARTICOLO {0}', 1.99, 1.5, 1.2, {1}, {2}, 1, 'S', 'XL', 'A', {3}, 3, 2026, 7,"
      " 'SOTTOCOSTO {0}', 'F0123{0}', 'LT', 'LT', 0.5, '04', 'FORNITORE', 'REPARTO', 'GRUPPO',"
      " 'SOTTOGRUPPO', 'IT', 'A');",
      codart, data1, data2, numpro);
}

// An EAN row of article `codare` with every promotion field set.
std::string Ean(std::string_view eanare, int codare) {
  return fmt::format(
      "INSERT INTO codean VALUES ('{}', {}, 10, 0.5, 0.3, 1, 20, 2, 3, 4, 'SCONTO EAN', 1.25, 55);",
      eanare, codare);
}

// An offer row, not yet handled. `eanrig` and `articoli` are SQL literals.
std::string OfferRow(int bnumer, int bannoc, int briga, std::string_view eanrig,
                     std::string_view articoli) {
  return fmt::format(
      "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato, bflag2) VALUES"
      " ({}, {}, {}, {}, {}, 10, 'A', NULL);",
      bnumer, bannoc, briga, eanrig, articoli);
}

// An active label system whose folder is C:\sulvo\esl\.
constexpr std::string_view kEslSystem =
    "INSERT INTO elettro VALUES (2, 'ESL', '1', '0', NULL, 'C:\\sulvo\\esl\\');";

// An import file of an earlier run in the folder of kEslSystem: it is gone once that system has
// been served, and only then.
void OldImportFile(const WorkingStore& store) {
  std::ofstream(store.DriveC() / "sulvo" / "esl" / "import_x.txt") << "x";
}

// Deactivates the offer and hands its label files over, as the cycle does after its commit.
void Disattiva(WorkingStore& store, std::int32_t numero = kOfferNumber) {
  offers::Disattiva(store.work(), store.outbox(), numero, kYear, kFirstOleDay, kLastOleDay);
  store.HandOver(numero, kYear);
}

QueryRows Table(const WorkingStore& store, std::string_view tabella) {
  return store.QueryRows("SELECT * FROM " + std::string(tabella) + " ORDER BY rowid");
}

// The promotion fields of an article (all but descom), and of an EAN row, as they read once
// cleared; a date cleared is day 0.
constexpr std::string_view kPromotionFields =
    "przsal, cosoff, data1, data2, escludo, fl2art, taglia, stapro, numpro, codpro, AA_offerta,"
    " NR_offerta";
constexpr std::string_view kPromotionRemoved = "0|0|0|0|0| | |D|0|0|0|0";
constexpr std::string_view kEanFields =
    "soglia, sconto, scoval, omaggio, puntif, mix, codpro, nrcard, przpro, numpro";
constexpr std::string_view kEanCleared = "0|0|0|0|0|0|0|0|0|0";
const std::string kDescrizioneVuota(30, '\0');

// The promotion of an article (SQL literals) and whether the offer of days 100 to 110 restores it.
struct Period {
  const char* data1;
  const char* data2;
  bool restored;
};

// Deactivates the offer over an article promoted as `periodo` says and checks that the article
// is restored, or left as it was with its EAN rows, as `periodo` expects.
void CheckPeriod(const Period& periodo) {
  SCOPED_TRACE(fmt::format("promozione da {} a {}", periodo.data1, periodo.data2));
  WorkingStore store(Article(1, periodo.data1, periodo.data2, 55) + Ean("8000000000001", 1) +
                     Ean("8000000000002", 1) +
                     OfferRow(kOfferNumber, kYear, 1, "'8000000000001'", "1"));
  const QueryRows article = store.QueryRows("SELECT * FROM listi01");
  const QueryRows ean = Table(store, "codean");

  Disattiva(store);

  if (periodo.restored) {
    EXPECT_EQ(store.QueryRows(fmt::format("SELECT {} FROM listi01", kPromotionFields)),
              QueryRows{std::string(kPromotionRemoved)});
    EXPECT_EQ(store.QueryRows(fmt::format("SELECT {} FROM codean", kEanFields)),
              (QueryRows{std::string(kEanCleared), std::string(kEanCleared)}));
    EXPECT_EQ(Table(store, "listipro"), QueryRows{"55"});
  } else {
    EXPECT_EQ(store.QueryRows("SELECT * FROM listi01"), article);
    EXPECT_EQ(Table(store, "codean"), ean);
    EXPECT_TRUE(Table(store, "listipro").empty());
  }
  EXPECT_EQ(store.QueryRows("SELECT stato, bflag2 FROM offmo"), QueryRows{"D|R"});
}

TEST(DisattivaTest, TheArticleIsRestoredOnlyWhenItsPromotionCoversTheWholeOffer) {
  for (const Period& periodo : {
           Period{"100", "110", true},
           Period{"95", "120", true},
           Period{"99.75", "110.25", true},
           Period{"101", "110", false},
           Period{"100", "109", false},
           Period{"NULL", "110", false},
           Period{"100", "NULL", false},
           Period{"NULL", "NULL", false},
       }) {
    CheckPeriod(periodo);
  }
}

// The price list's dates are read as whole days, a time of day rounded to the nearest day (an
// exact half to the even one), as every date the program reads: a promotion that starts at 6 in
// the morning of the offer's first day covers that day.
TEST(DisattivaTest, APromotionDateWithATimeOfDayCountsAsTheNearestWholeDay) {
  for (const Period& periodo : {
           Period{"100.25", "110", true}, Period{"100", "109.75", true},
           Period{"100.5", "110", true},   // half to even: 100
           Period{"100.6", "110", false},  // 101
           Period{"100", "109.5", true},   // half to even: 110
           Period{"100", "109.4", false},  // 109
       }) {
    CheckPeriod(periodo);
  }
}

TEST(DisattivaTest, RestoringClearsEveryPromotionFieldAndNothingElse) {
  WorkingStore store(Article(1, "100", "110", 55) + Article(2, "100", "110", 66) +
                     Ean("8000000000001", 1) + Ean("8000000000011", 1) + Ean("8000000000021", 1) +
                     Ean("8000000000002", 2) +
                     OfferRow(kOfferNumber, kYear, 1, "'8000000000021'", "1"));
  constexpr std::string_view kAltriCampi =
      "codart, desart, przpub, codafo, umart, umquaco, quaco, ivart, desfor, desrep, desgru,"
      " dessot, provenienza, categoria";
  const QueryRows altri_campi =
      store.QueryRows(fmt::format("SELECT {} FROM listi01 ORDER BY codart", kAltriCampi));
  const QueryRows articolo_2 = store.QueryRows("SELECT * FROM listi01 WHERE codart = 2");
  const QueryRows ean_2 = store.QueryRows("SELECT * FROM codean WHERE codare = 2");

  Disattiva(store);

  EXPECT_EQ(
      store.QueryRows(fmt::format("SELECT {} FROM listi01 WHERE codart = 1", kPromotionFields)),
      QueryRows{std::string(kPromotionRemoved)});
  EXPECT_EQ(store.QueryRows("SELECT descom FROM listi01 WHERE codart = 1"),
            QueryRows{kDescrizioneVuota});
  EXPECT_EQ(store.QueryRows(fmt::format("SELECT {} FROM listi01 ORDER BY codart", kAltriCampi)),
            altri_campi);
  EXPECT_EQ(Table(store, "listipro"), QueryRows{"55"}) << "the promotion number before clearing";

  // Every EAN row of the article, not only the one the offer names; the other article's row
  // stays as it was.
  EXPECT_EQ(
      store.QueryRows(fmt::format(
          "SELECT eanare, codare, {} FROM codean WHERE codare = 1 ORDER BY eanare", kEanFields)),
      (QueryRows{"8000000000001|1|" + std::string(kEanCleared),
                 "8000000000011|1|" + std::string(kEanCleared),
                 "8000000000021|1|" + std::string(kEanCleared)}));
  EXPECT_EQ(store.QueryRows("SELECT descom FROM codean WHERE codare = 1"),
            QueryRows(3, kDescrizioneVuota));
  EXPECT_EQ(store.QueryRows("SELECT * FROM listi01 WHERE codart = 2"), articolo_2);
  EXPECT_EQ(store.QueryRows("SELECT * FROM codean WHERE codare = 2"), ean_2);
}

TEST(DisattivaTest, TheArticleIsTheOneOfTheEanElseTheOneOfTheRow) {
  struct Caso {
    const char* name;
    std::string ean;
    const char* eanrig;
    const char* articoli;
    QueryRows ripristinati;  // codart of the articles restored
  };
  const std::string kOtto = "8001234567890";
  for (const Caso& caso : {
           Caso{"EAN in codean", Ean(kOtto, 2), "'8001234567890'", "1", {"2"}},
           Caso{"EAN in codean, row without article",
                Ean(kOtto, 2),
                "'8001234567890'",
                "NULL",
                {"2"}},
           Caso{"EAN in codean, article not in the price list",
                Ean(kOtto, 3),
                "'8001234567890'",
                "1",
                {}},
           Caso{"EAN not in codean", Ean("8009999999999", 2), "'8001234567890'", "1", {"1"}},
           Caso{"EAN longer than 13", Ean(kOtto, 2), "'80012345678909999'", "1", {"2"}},
           Caso{"short EAN stored with blanks", Ean("8001         ", 2), "'8001'", "1", {"2"}},
           Caso{"short EAN stored without blanks", Ean("8001", 2), "'8001'", "1", {"1"}},
           Caso{"EAN with a quote", Ean("80''1         ", 2), "'80''1'", "1", {"2"}},
           Caso{"EAN with a quote not in codean", Ean(kOtto, 2), "'8''001'", "1", {"1"}},
       }) {
    SCOPED_TRACE(caso.name);
    WorkingStore store(Article(1, "100", "110", 11) + Article(2, "100", "110", 22) + caso.ean +
                       OfferRow(kOfferNumber, kYear, 1, caso.eanrig, caso.articoli));
    Disattiva(store);
    EXPECT_EQ(store.QueryRows("SELECT codart FROM listi01 WHERE stapro = 'D'"), caso.ripristinati);
    QueryRows numeri;
    for (const std::string& codart : caso.ripristinati) {
      numeri.push_back(codart + codart);
    }
    EXPECT_EQ(Table(store, "listipro"), numeri);
    EXPECT_EQ(store.QueryRows("SELECT stato, bflag2 FROM offmo"), QueryRows{"D|R"});
  }
}

TEST(DisattivaTest, TwoRowsOfTheSameArticleRestoreItOnce) {
  WorkingStore store(Article(1, "100", "110", 55) + Ean("8000000000001", 1) +
                     OfferRow(kOfferNumber, kYear, 1, "'8000000000001'", "NULL") +
                     OfferRow(kOfferNumber, kYear, 2, "'8009999999999'", "1"));
  Disattiva(store);
  EXPECT_EQ(Table(store, "listipro"), QueryRows{"55"});
  EXPECT_EQ(store.QueryRows(fmt::format("SELECT {} FROM listi01", kPromotionFields)),
            QueryRows{std::string(kPromotionRemoved)});
  EXPECT_EQ(store.QueryRows("SELECT briga, stato, bflag2 FROM offmo ORDER BY briga"),
            (QueryRows{"1|D|R", "2|D|R"}));
}

TEST(DisattivaTest, ListiproListsTheArticlesOfTheLastCallInTheOrderRestored) {
  WorkingStore store(
      "INSERT INTO listipro VALUES (900), (901), (55);" + Article(1, "100", "110", 55) +
      Article(2, "95", "120", 55) + Article(3, "100", "110", 33) +
      OfferRow(kOfferNumber, kYear, 1, "'1'", "1") + OfferRow(kOfferNumber, kYear, 2, "'3'", "3") +
      OfferRow(kOfferNumber, kYear, 3, "'2'", "2") + OfferRow(8, kYear, 1, "'1'", "1"));

  Disattiva(store);
  EXPECT_EQ(Table(store, "listipro"), (QueryRows{"55", "33", "55"}));

  // The articles have no promotion left, so the next offer restores nothing.
  Disattiva(store, 8);
  EXPECT_TRUE(Table(store, "listipro").empty());
  EXPECT_EQ(store.QueryRows("SELECT stato, bflag2 FROM offmo WHERE bnumer = 8"), QueryRows{"D|R"});
}

TEST(DisattivaTest, EveryRowOfTheOfferIsMarkedAndNoOtherRow) {
  WorkingStore store(
      "INSERT INTO offte VALUES (7, 2026, 'AUTUNNO', 100, 110, 'A');"
      "INSERT INTO offte VALUES (7, 2025, 'AUTUNNO', 100, 110, 'A');" +
      Article(1, "100", "110", 55) + Article(4, "101", "110", 44) +
      OfferRow(kOfferNumber, kYear, 1, "'1'", "1") +
      OfferRow(kOfferNumber, kYear, 2, "'9999'", "9999") +  // not in the price list
      OfferRow(kOfferNumber, kYear, 3, "'4'", "4") +        // promotion too short
      OfferRow(kOfferNumber, kYear, 4, "'1'", "1") +
      "UPDATE offmo SET stato = NULL, bflag2 = 'X' WHERE briga = 4;" +
      OfferRow(kOfferNumber, 2025, 1, "'1'", "1") + OfferRow(8, kYear, 1, "'1'", "1"));
  const QueryRows offte = Table(store, "offte");
  const QueryRows altre_offerte =
      store.QueryRows("SELECT * FROM offmo WHERE bnumer <> 7 OR bannoc <> 2026 ORDER BY rowid");

  Disattiva(store);

  EXPECT_EQ(store.QueryRows("SELECT briga, stato, bflag2 FROM offmo WHERE bnumer = 7 AND"
                            " bannoc = 2026 ORDER BY briga"),
            (QueryRows{"1|D|R", "2|D|R", "3|D|R", "4|D|R"}));
  EXPECT_EQ(
      store.QueryRows("SELECT * FROM offmo WHERE bnumer <> 7 OR bannoc <> 2026 ORDER BY rowid"),
      altre_offerte);
  EXPECT_EQ(Table(store, "offte"), offte);
  EXPECT_EQ(store.QueryRows("SELECT codart, stapro FROM listi01 ORDER BY codart"),
            (QueryRows{"1|D", "4|A"}));
}

TEST(DisattivaTest, AnOfferWithoutRowsEmptiesListiproAndStillServesTheLabelSystems) {
  WorkingStore store("INSERT INTO listipro VALUES (900);" + Article(1, "100", "110", 55) +
                     Ean("8000000000001", 1) + OfferRow(8, kYear, 1, "'1'", "1") +
                     std::string(kEslSystem));
  OldImportFile(store);
  const auto contenuto = [&store] {
    QueryRows lines;
    for (const char* tabella : {"listi01", "codean", "offmo", "offte", "elettro"}) {
      for (const std::string& line : Table(store, tabella)) {
        lines.push_back(std::string(tabella) + ": " + line);
      }
    }
    return lines;
  };
  const QueryRows prima = contenuto();

  Disattiva(store);

  EXPECT_TRUE(Table(store, "listipro").empty());
  EXPECT_EQ(contenuto(), prima);
  EXPECT_TRUE(store.File("c/sulvo/esl").empty()) << "the label system was served";
  EXPECT_TRUE(store.env().started_scripts.empty());
}

TEST(DisattivaTest, ARowThatCannotBeReadStopsTheCallBeforeTheLabelFiles) {
  struct Caso {
    const char* name;
    std::string lines;
    std::vector<std::string> message;  // pieces the message must hold
  };
  for (const Caso& caso : {
           Caso{"Null eanrig",
                OfferRow(kOfferNumber, kYear, 1, "'1'", "1") +
                    OfferRow(kOfferNumber, kYear, 2, "NULL", "2"),
                {"offerta 7/2026", "riga 2", "eanrig"}},
           Caso{"EAN not in codean and Null articoli",
                OfferRow(kOfferNumber, kYear, 1, "'1'", "1") +
                    OfferRow(kOfferNumber, kYear, 2, "'8009999999999'", "NULL"),
                {"offerta 7/2026", "riga 2", "articoli"}},
           Caso{"Null promotion number of an article to restore",
                OfferRow(kOfferNumber, kYear, 1, "'1'", "1") +
                    OfferRow(kOfferNumber, kYear, 2, "'2'", "2") +
                    "UPDATE listi01 SET numpro = NULL WHERE codart = 2;",
                {"listi01", "numpro"}},
       }) {
    SCOPED_TRACE(caso.name);
    WorkingStore store(Article(1, "100", "110", 55) + Article(2, "100", "110", 66) + caso.lines +
                       std::string(kEslSystem));
    OldImportFile(store);
    const QueryRows articolo_2 = store.QueryRows("SELECT * FROM listi01 WHERE codart = 2");
    try {
      Disattiva(store);
      ADD_FAILURE() << "no error";
    } catch (const ConversionError& error) {
      for (const std::string& pezzo : caso.message) {
        EXPECT_NE(std::string(error.what()).find(pezzo), std::string::npos) << error.what();
      }
    }
    EXPECT_EQ(store.File("c/sulvo/esl"), QueryRows{"import_x.txt"}) << "labels were dispatched";
    EXPECT_TRUE(store.env().started_scripts.empty());
    // What was done before the failing row stays done; the failing row is left as it was.
    EXPECT_EQ(Table(store, "listipro"), QueryRows{"55"});
    EXPECT_EQ(store.QueryRows("SELECT briga, stato, bflag2 FROM offmo ORDER BY briga"),
              (QueryRows{"1|D|R", "2|A|NULL"}));
    EXPECT_EQ(store.QueryRows("SELECT * FROM listi01 WHERE codart = 2"), articolo_2);
  }
}

TEST(DisattivaTest, AMissingStoreDatabaseIsReportedAndNotCreated) {
  WorkingStore store;
  const std::filesystem::path file = store.DriveC() / "sulvo" / "neg01" / "dati.mdb";
  std::filesystem::remove(file);
  try {
    Disattiva(store);
    ADD_FAILURE() << "no error";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find(WorkingStore::kPercorsoDati), std::string::npos)
        << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(file)) << "an empty database was created";
}

TEST(DisattivaTest, AMissingPriceListFailsBeforeAnythingChanges) {
  WorkingStore store("INSERT INTO listipro VALUES (900);" +
                     OfferRow(kOfferNumber, kYear, 1, "'1'", "1") + std::string(kEslSystem));
  store.Sql("DROP TABLE listi01");
  OldImportFile(store);
  EXPECT_THROW(Disattiva(store), DatabaseError);
  EXPECT_EQ(Table(store, "listipro"), QueryRows{"900"});
  EXPECT_EQ(store.QueryRows("SELECT stato, bflag2 FROM offmo"), QueryRows{"A|NULL"});
  EXPECT_EQ(store.File("c/sulvo/esl"), QueryRows{"import_x.txt"});
}

TEST(DisattivaTest, TheLabelFilesShowTheArticleAsRestored) {
  WorkingStore store(Article(1, "100", "110", 55) + Ean("8000000000001", 1) +
                     OfferRow(kOfferNumber, kYear, 1, "'8000000000001'", "1") +
                     "INSERT INTO elettro VALUES (1, 'X', '1', '0', NULL, 'C:\\sulvo\\');");
  Disattiva(store);

  ASSERT_EQ(store.File("c/sulvo"), (QueryRows{"Import_VPA_20261207114930.txt", "frontalini.bat"}))
      << "a price line, no promotion line";
  const std::string testo = ReadFile(store.DriveC() / "sulvo" / "Import_VPA_20261207114930.txt");
  ASSERT_TRUE(testo.ends_with("\r\n"));
  ASSERT_EQ(testo.find("\r\n"), testo.size() - 2) << "one line: " << testo;
  std::vector<std::string> campi(1);  // numbered from 1
  std::string campo;
  for (const char c : testo.substr(0, testo.size() - 2)) {
    if (c == ';') {
      campi.push_back(campo);
      campo.clear();
    } else {
      campo += c;
    }
  }
  campi.push_back(campo);
  ASSERT_EQ(campi.size(), 55u);
  EXPECT_EQ(campi[2], "8000000000001");
  EXPECT_EQ(campi[23], "1,99") << "the public price, no longer the promotional one";
  EXPECT_EQ(campi[33], "0") << "a price line";
  EXPECT_EQ(store.env().started_scripts, QueryRows{"C:\\sulvo\\frontalini.bat"});
}

}  // namespace
}  // namespace zav5::offers
