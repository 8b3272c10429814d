#include "offers/disattiva.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fmt/core.h>

#include "errors.h"
#include "support/temp_dir.h"
#include "support/working_store.h"

namespace zav5::offers {
namespace {

using test::ReadFile;
using test::WorkingStore;
using Righe = std::vector<std::string>;

// The offer under test, 7/2026, runs from day 100 to day 110.
constexpr std::int32_t kNumero = 7;
constexpr std::int32_t kAnno = 2026;
constexpr std::int32_t kPrimoGiorno = 100;
constexpr std::int32_t kUltimoGiorno = 110;

// An article on promotion from `data1` to `data2` (SQL literals, so that "NULL" and fractions of
// a day can be given), whose promotion number is `numpro`. Every promotion field is set, so that
// clearing shows on each of them.
std::string Articolo(int codart, std::string_view data1, std::string_view data2, int numpro) {
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
std::string RigaOfferta(int bnumer, int bannoc, int briga, std::string_view eanrig,
                        std::string_view articoli) {
  return fmt::format(
      "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, stato, bflag2) VALUES"
      " ({}, {}, {}, {}, {}, 10, 'A', NULL);",
      bnumer, bannoc, briga, eanrig, articoli);
}

// An active label system whose folder is C:\sulvo\esl\.
constexpr std::string_view kSistemaEsl =
    "INSERT INTO elettro VALUES (2, 'ESL', '1', '0', NULL, 'C:\\sulvo\\esl\\');";

// An import file of an earlier run in the folder of kSistemaEsl: it is gone once that system has
// been served, and only then.
void FileImportVecchio(const WorkingStore& negozio) {
  std::ofstream(negozio.DriveC() / "sulvo" / "esl" / "import_x.txt") << "x";
}

// Deactivates the offer and hands its label files over, as the cycle does after its commit.
void Disattiva(WorkingStore& negozio, std::int32_t numero = kNumero) {
  offers::Disattiva(negozio.work(), negozio.consegne(), numero, kAnno, kPrimoGiorno, kUltimoGiorno);
  negozio.HandOver(numero, kAnno);
}

Righe Tabella(const WorkingStore& negozio, std::string_view tabella) {
  return negozio.Righe("SELECT * FROM " + std::string(tabella) + " ORDER BY rowid");
}

// The promotion fields of an article (all but descom), and of an EAN row, as they read once
// cleared; a date cleared is day 0.
constexpr std::string_view kCampiPromozione =
    "przsal, cosoff, data1, data2, escludo, fl2art, taglia, stapro, numpro, codpro, AA_offerta,"
    " NR_offerta";
constexpr std::string_view kPromozioneTolta = "0|0|0|0|0| | |D|0|0|0|0";
constexpr std::string_view kCampiEan =
    "soglia, sconto, scoval, omaggio, puntif, mix, codpro, nrcard, przpro, numpro";
constexpr std::string_view kEanAzzerato = "0|0|0|0|0|0|0|0|0|0";
const std::string kDescrizioneVuota(30, '\0');

// The promotion of an article (SQL literals) and whether the offer of days 100 to 110 restores it.
struct Periodo {
  const char* data1;
  const char* data2;
  bool ripristinato;
};

// Deactivates the offer over an article promoted as `periodo` says and checks that the article
// is restored, or left as it was with its EAN rows, as `periodo` expects.
void VerificaPeriodo(const Periodo& periodo) {
  SCOPED_TRACE(fmt::format("promozione da {} a {}", periodo.data1, periodo.data2));
  WorkingStore negozio(Articolo(1, periodo.data1, periodo.data2, 55) + Ean("8000000000001", 1) +
                       Ean("8000000000002", 1) +
                       RigaOfferta(kNumero, kAnno, 1, "'8000000000001'", "1"));
  const Righe articolo = negozio.Righe("SELECT * FROM listi01");
  const Righe ean = Tabella(negozio, "codean");

  Disattiva(negozio);

  if (periodo.ripristinato) {
    EXPECT_EQ(negozio.Righe(fmt::format("SELECT {} FROM listi01", kCampiPromozione)),
              Righe{std::string(kPromozioneTolta)});
    EXPECT_EQ(negozio.Righe(fmt::format("SELECT {} FROM codean", kCampiEan)),
              (Righe{std::string(kEanAzzerato), std::string(kEanAzzerato)}));
    EXPECT_EQ(Tabella(negozio, "listipro"), Righe{"55"});
  } else {
    EXPECT_EQ(negozio.Righe("SELECT * FROM listi01"), articolo);
    EXPECT_EQ(Tabella(negozio, "codean"), ean);
    EXPECT_TRUE(Tabella(negozio, "listipro").empty());
  }
  EXPECT_EQ(negozio.Righe("SELECT stato, bflag2 FROM offmo"), Righe{"D|R"});
}

TEST(DisattivaTest, TheArticleIsRestoredOnlyWhenItsPromotionCoversTheWholeOffer) {
  for (const Periodo& periodo : {
           Periodo{"100", "110", true},
           Periodo{"95", "120", true},
           Periodo{"99.75", "110.25", true},
           Periodo{"101", "110", false},
           Periodo{"100", "109", false},
           Periodo{"NULL", "110", false},
           Periodo{"100", "NULL", false},
           Periodo{"NULL", "NULL", false},
       }) {
    VerificaPeriodo(periodo);
  }
}

// The price list's dates are read as whole days, a time of day rounded to the nearest day (an
// exact half to the even one), as every date the program reads: a promotion that starts at 6 in
// the morning of the offer's first day covers that day.
TEST(DisattivaTest, APromotionDateWithATimeOfDayCountsAsTheNearestWholeDay) {
  for (const Periodo& periodo : {
           Periodo{"100.25", "110", true}, Periodo{"100", "109.75", true},
           Periodo{"100.5", "110", true},   // half to even: 100
           Periodo{"100.6", "110", false},  // 101
           Periodo{"100", "109.5", true},   // half to even: 110
           Periodo{"100", "109.4", false},  // 109
       }) {
    VerificaPeriodo(periodo);
  }
}

TEST(DisattivaTest, RestoringClearsEveryPromotionFieldAndNothingElse) {
  WorkingStore negozio(Articolo(1, "100", "110", 55) + Articolo(2, "100", "110", 66) +
                       Ean("8000000000001", 1) + Ean("8000000000011", 1) + Ean("8000000000021", 1) +
                       Ean("8000000000002", 2) +
                       RigaOfferta(kNumero, kAnno, 1, "'8000000000021'", "1"));
  constexpr std::string_view kAltriCampi =
      "codart, desart, przpub, codafo, umart, umquaco, quaco, ivart, desfor, desrep, desgru,"
      " dessot, provenienza, categoria";
  const Righe altri_campi =
      negozio.Righe(fmt::format("SELECT {} FROM listi01 ORDER BY codart", kAltriCampi));
  const Righe articolo_2 = negozio.Righe("SELECT * FROM listi01 WHERE codart = 2");
  const Righe ean_2 = negozio.Righe("SELECT * FROM codean WHERE codare = 2");

  Disattiva(negozio);

  EXPECT_EQ(negozio.Righe(fmt::format("SELECT {} FROM listi01 WHERE codart = 1", kCampiPromozione)),
            Righe{std::string(kPromozioneTolta)});
  EXPECT_EQ(negozio.Righe("SELECT descom FROM listi01 WHERE codart = 1"), Righe{kDescrizioneVuota});
  EXPECT_EQ(negozio.Righe(fmt::format("SELECT {} FROM listi01 ORDER BY codart", kAltriCampi)),
            altri_campi);
  EXPECT_EQ(Tabella(negozio, "listipro"), Righe{"55"}) << "the promotion number before clearing";

  // Every EAN row of the article, not only the one the offer names; the other article's row
  // stays as it was.
  EXPECT_EQ(
      negozio.Righe(fmt::format(
          "SELECT eanare, codare, {} FROM codean WHERE codare = 1 ORDER BY eanare", kCampiEan)),
      (Righe{"8000000000001|1|" + std::string(kEanAzzerato),
             "8000000000011|1|" + std::string(kEanAzzerato),
             "8000000000021|1|" + std::string(kEanAzzerato)}));
  EXPECT_EQ(negozio.Righe("SELECT descom FROM codean WHERE codare = 1"),
            Righe(3, kDescrizioneVuota));
  EXPECT_EQ(negozio.Righe("SELECT * FROM listi01 WHERE codart = 2"), articolo_2);
  EXPECT_EQ(negozio.Righe("SELECT * FROM codean WHERE codare = 2"), ean_2);
}

TEST(DisattivaTest, TheArticleIsTheOneOfTheEanElseTheOneOfTheRow) {
  struct Caso {
    const char* nome;
    std::string ean;
    const char* eanrig;
    const char* articoli;
    Righe ripristinati;  // codart of the articles restored
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
    SCOPED_TRACE(caso.nome);
    WorkingStore negozio(Articolo(1, "100", "110", 11) + Articolo(2, "100", "110", 22) + caso.ean +
                         RigaOfferta(kNumero, kAnno, 1, caso.eanrig, caso.articoli));
    Disattiva(negozio);
    EXPECT_EQ(negozio.Righe("SELECT codart FROM listi01 WHERE stapro = 'D'"), caso.ripristinati);
    Righe numeri;
    for (const std::string& codart : caso.ripristinati) {
      numeri.push_back(codart + codart);
    }
    EXPECT_EQ(Tabella(negozio, "listipro"), numeri);
    EXPECT_EQ(negozio.Righe("SELECT stato, bflag2 FROM offmo"), Righe{"D|R"});
  }
}

TEST(DisattivaTest, TwoRowsOfTheSameArticleRestoreItOnce) {
  WorkingStore negozio(Articolo(1, "100", "110", 55) + Ean("8000000000001", 1) +
                       RigaOfferta(kNumero, kAnno, 1, "'8000000000001'", "NULL") +
                       RigaOfferta(kNumero, kAnno, 2, "'8009999999999'", "1"));
  Disattiva(negozio);
  EXPECT_EQ(Tabella(negozio, "listipro"), Righe{"55"});
  EXPECT_EQ(negozio.Righe(fmt::format("SELECT {} FROM listi01", kCampiPromozione)),
            Righe{std::string(kPromozioneTolta)});
  EXPECT_EQ(negozio.Righe("SELECT briga, stato, bflag2 FROM offmo ORDER BY briga"),
            (Righe{"1|D|R", "2|D|R"}));
}

TEST(DisattivaTest, ListiproListsTheArticlesOfTheLastCallInTheOrderRestored) {
  WorkingStore negozio(
      "INSERT INTO listipro VALUES (900), (901), (55);" + Articolo(1, "100", "110", 55) +
      Articolo(2, "95", "120", 55) + Articolo(3, "100", "110", 33) +
      RigaOfferta(kNumero, kAnno, 1, "'1'", "1") + RigaOfferta(kNumero, kAnno, 2, "'3'", "3") +
      RigaOfferta(kNumero, kAnno, 3, "'2'", "2") + RigaOfferta(8, kAnno, 1, "'1'", "1"));

  Disattiva(negozio);
  EXPECT_EQ(Tabella(negozio, "listipro"), (Righe{"55", "33", "55"}));

  // The articles have no promotion left, so the next offer restores nothing.
  Disattiva(negozio, 8);
  EXPECT_TRUE(Tabella(negozio, "listipro").empty());
  EXPECT_EQ(negozio.Righe("SELECT stato, bflag2 FROM offmo WHERE bnumer = 8"), Righe{"D|R"});
}

TEST(DisattivaTest, EveryRowOfTheOfferIsMarkedAndNoOtherRow) {
  WorkingStore negozio(
      "INSERT INTO offte VALUES (7, 2026, 'AUTUNNO', 100, 110, 'A');"
      "INSERT INTO offte VALUES (7, 2025, 'AUTUNNO', 100, 110, 'A');" +
      Articolo(1, "100", "110", 55) + Articolo(4, "101", "110", 44) +
      RigaOfferta(kNumero, kAnno, 1, "'1'", "1") +
      RigaOfferta(kNumero, kAnno, 2, "'9999'", "9999") +  // not in the price list
      RigaOfferta(kNumero, kAnno, 3, "'4'", "4") +        // promotion too short
      RigaOfferta(kNumero, kAnno, 4, "'1'", "1") +
      "UPDATE offmo SET stato = NULL, bflag2 = 'X' WHERE briga = 4;" +
      RigaOfferta(kNumero, 2025, 1, "'1'", "1") + RigaOfferta(8, kAnno, 1, "'1'", "1"));
  const Righe offte = Tabella(negozio, "offte");
  const Righe altre_offerte =
      negozio.Righe("SELECT * FROM offmo WHERE bnumer <> 7 OR bannoc <> 2026 ORDER BY rowid");

  Disattiva(negozio);

  EXPECT_EQ(negozio.Righe("SELECT briga, stato, bflag2 FROM offmo WHERE bnumer = 7 AND"
                          " bannoc = 2026 ORDER BY briga"),
            (Righe{"1|D|R", "2|D|R", "3|D|R", "4|D|R"}));
  EXPECT_EQ(negozio.Righe("SELECT * FROM offmo WHERE bnumer <> 7 OR bannoc <> 2026 ORDER BY rowid"),
            altre_offerte);
  EXPECT_EQ(Tabella(negozio, "offte"), offte);
  EXPECT_EQ(negozio.Righe("SELECT codart, stapro FROM listi01 ORDER BY codart"),
            (Righe{"1|D", "4|A"}));
}

TEST(DisattivaTest, AnOfferWithoutRowsEmptiesListiproAndStillServesTheLabelSystems) {
  WorkingStore negozio("INSERT INTO listipro VALUES (900);" + Articolo(1, "100", "110", 55) +
                       Ean("8000000000001", 1) + RigaOfferta(8, kAnno, 1, "'1'", "1") +
                       std::string(kSistemaEsl));
  FileImportVecchio(negozio);
  const auto contenuto = [&negozio] {
    Righe righe;
    for (const char* tabella : {"listi01", "codean", "offmo", "offte", "elettro"}) {
      for (const std::string& riga : Tabella(negozio, tabella)) {
        righe.push_back(std::string(tabella) + ": " + riga);
      }
    }
    return righe;
  };
  const Righe prima = contenuto();

  Disattiva(negozio);

  EXPECT_TRUE(Tabella(negozio, "listipro").empty());
  EXPECT_EQ(contenuto(), prima);
  EXPECT_TRUE(negozio.File("c/sulvo/esl").empty()) << "the label system was served";
  EXPECT_TRUE(negozio.env().started_scripts.empty());
}

TEST(DisattivaTest, ARowThatCannotBeReadStopsTheCallBeforeTheLabelFiles) {
  struct Caso {
    const char* nome;
    std::string righe;
    std::vector<std::string> messaggio;  // pieces the message must hold
  };
  for (const Caso& caso : {
           Caso{"Null eanrig",
                RigaOfferta(kNumero, kAnno, 1, "'1'", "1") +
                    RigaOfferta(kNumero, kAnno, 2, "NULL", "2"),
                {"offerta 7/2026", "riga 2", "eanrig"}},
           Caso{"EAN not in codean and Null articoli",
                RigaOfferta(kNumero, kAnno, 1, "'1'", "1") +
                    RigaOfferta(kNumero, kAnno, 2, "'8009999999999'", "NULL"),
                {"offerta 7/2026", "riga 2", "articoli"}},
           Caso{"Null promotion number of an article to restore",
                RigaOfferta(kNumero, kAnno, 1, "'1'", "1") +
                    RigaOfferta(kNumero, kAnno, 2, "'2'", "2") +
                    "UPDATE listi01 SET numpro = NULL WHERE codart = 2;",
                {"listi01", "numpro"}},
       }) {
    SCOPED_TRACE(caso.nome);
    WorkingStore negozio(Articolo(1, "100", "110", 55) + Articolo(2, "100", "110", 66) +
                         caso.righe + std::string(kSistemaEsl));
    FileImportVecchio(negozio);
    const Righe articolo_2 = negozio.Righe("SELECT * FROM listi01 WHERE codart = 2");
    try {
      Disattiva(negozio);
      ADD_FAILURE() << "no error";
    } catch (const ConversionError& error) {
      for (const std::string& pezzo : caso.messaggio) {
        EXPECT_NE(std::string(error.what()).find(pezzo), std::string::npos) << error.what();
      }
    }
    EXPECT_EQ(negozio.File("c/sulvo/esl"), Righe{"import_x.txt"}) << "labels were dispatched";
    EXPECT_TRUE(negozio.env().started_scripts.empty());
    // What was done before the failing row stays done; the failing row is left as it was.
    EXPECT_EQ(Tabella(negozio, "listipro"), Righe{"55"});
    EXPECT_EQ(negozio.Righe("SELECT briga, stato, bflag2 FROM offmo ORDER BY briga"),
              (Righe{"1|D|R", "2|A|NULL"}));
    EXPECT_EQ(negozio.Righe("SELECT * FROM listi01 WHERE codart = 2"), articolo_2);
  }
}

TEST(DisattivaTest, AMissingStoreDatabaseIsReportedAndNotCreated) {
  WorkingStore negozio;
  const std::filesystem::path file = negozio.DriveC() / "sulvo" / "neg01" / "dati.mdb";
  std::filesystem::remove(file);
  try {
    Disattiva(negozio);
    ADD_FAILURE() << "no error";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find(WorkingStore::kPercorsoDati), std::string::npos)
        << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(file)) << "an empty database was created";
}

TEST(DisattivaTest, AMissingPriceListFailsBeforeAnythingChanges) {
  WorkingStore negozio("INSERT INTO listipro VALUES (900);" +
                       RigaOfferta(kNumero, kAnno, 1, "'1'", "1") + std::string(kSistemaEsl));
  negozio.Sql("DROP TABLE listi01");
  FileImportVecchio(negozio);
  EXPECT_THROW(Disattiva(negozio), DatabaseError);
  EXPECT_EQ(Tabella(negozio, "listipro"), Righe{"900"});
  EXPECT_EQ(negozio.Righe("SELECT stato, bflag2 FROM offmo"), Righe{"A|NULL"});
  EXPECT_EQ(negozio.File("c/sulvo/esl"), Righe{"import_x.txt"});
}

TEST(DisattivaTest, TheLabelFilesShowTheArticleAsRestored) {
  WorkingStore negozio(Articolo(1, "100", "110", 55) + Ean("8000000000001", 1) +
                       RigaOfferta(kNumero, kAnno, 1, "'8000000000001'", "1") +
                       "INSERT INTO elettro VALUES (1, 'X', '1', '0', NULL, 'C:\\sulvo\\');");
  Disattiva(negozio);

  ASSERT_EQ(negozio.File("c/sulvo"), (Righe{"Import_VPA_20261207114930.txt", "frontalini.bat"}))
      << "a price line, no promotion line";
  const std::string testo = ReadFile(negozio.DriveC() / "sulvo" / "Import_VPA_20261207114930.txt");
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
  EXPECT_EQ(negozio.env().started_scripts, Righe{"C:\\sulvo\\frontalini.bat"});
}

}  // namespace
}  // namespace zav5::offers
