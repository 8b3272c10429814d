#include "labels/invio_frontalini.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <fmt/core.h>

#include "errors.h"
#include "support/temp_dir.h"
#include "support/working_store.h"

namespace zav5::labels {
namespace {

using test::ReadFile;
using test::WorkingStore;
using Nomi = std::vector<std::string>;

// Offer 101/2026 of one row whose article is in the price list, so that every label system served
// gets a file.
constexpr std::string_view kOfferta =
    "INSERT INTO listi01 (codart, desart, przpub, przsal, codafo) VALUES (1001, 'LATTE', 1.99, 0,"
    " 'F012345678');"
    "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli) VALUES"
    " (101, 2026, 1, '8001234567890', 1001);";

// A label system; `attivato`, `ftp`, `vexular` and `percorsoint` are SQL literals.
std::string Sistema(int codice, std::string_view attivato, std::string_view ftp,
                    std::string_view vexular, std::string_view percorsoint) {
  return fmt::format("INSERT INTO elettro VALUES ({}, 'SISTEMA {}', {}, {}, {}, {});", codice,
                     codice, attivato, ftp, vexular, percorsoint);
}

constexpr std::string_view kSulvo = "'C:\\sulvo\\'";
constexpr std::string_view kEsl = "'C:\\sulvo\\esl\\'";
constexpr std::string_view kFileUnico = "X20261207114930.txt";
constexpr std::string_view kFilePrezzi = "Import_VPA_20261207114930.txt";

// An import file left by an earlier run in C:\sulvo\esl\: it goes when that system is served.
void FileImportVecchio(const WorkingStore& negozio) {
  std::ofstream(negozio.DriveC() / "sulvo" / "esl" / "import_x.txt") << "x";
}

// Settings left by some earlier call, which must not leak into this one.
void ImpostazioniVecchie(WorkingStore& negozio) {
  negozio.FtpElettro() = "1";
  negozio.VexularElettro() = "VECCHIO";
}

// Serves the label systems and hands their files over, as the cycle does after its commit.
void Invia(WorkingStore& negozio) {
  InvioFrontaliniElettronici(negozio.work(), negozio.consegne(), 101, 2026);
  negozio.Consegna(101);
}

TEST(InvioFrontaliniTest, ASystemWhoseAttivatoIsNotExactlyOneIsNotServed) {
  for (const char* attivato : {"'0'", "'a'", "''", "' '", "NULL"}) {
    SCOPED_TRACE(attivato);
    WorkingStore negozio(std::string(kOfferta) + Sistema(1, attivato, "'0'", "'E'", kEsl));
    FileImportVecchio(negozio);
    ImpostazioniVecchie(negozio);

    Invia(negozio);

    EXPECT_EQ(negozio.File("c/sulvo/esl"), Nomi{"import_x.txt"}) << "the system was served";
    EXPECT_EQ(negozio.File("c/sulvo"), Nomi{});
    EXPECT_TRUE(negozio.env().started_scripts.empty());
    EXPECT_EQ(negozio.FtpElettro(), "0");
    EXPECT_EQ(negozio.VexularElettro(), "");
  }
}

TEST(InvioFrontaliniTest, ASystemWithoutSettingsGetsTheTwoFileLayout) {
  WorkingStore negozio(std::string(kOfferta) + Sistema(1, "'1'", "NULL", "NULL", kEsl));
  FileImportVecchio(negozio);
  ImpostazioniVecchie(negozio);

  Invia(negozio);

  EXPECT_EQ(negozio.File("c/sulvo/esl"), Nomi{std::string(kFilePrezzi)});
  EXPECT_EQ(negozio.env().started_scripts, Nomi{"C:\\sulvo\\frontalini.bat"});
  EXPECT_EQ(negozio.FtpElettro(), "0");
  EXPECT_EQ(negozio.VexularElettro(), "");
}

TEST(InvioFrontaliniTest, ANullSettingKeepsTheValueOfTheSystemBeforeWithinTheCallOnly) {
  WorkingStore negozio(std::string(kOfferta) + Sistema(1, "'1'", "'1'", "'X'", kEsl) +
                       Sistema(2, "'1'", "NULL", "NULL", kSulvo));
  ImpostazioniVecchie(negozio);

  Invia(negozio);

  // The second system's file takes the next second: both reach drive Z: under their names.
  EXPECT_EQ(negozio.File("c/sulvo/esl"), Nomi{std::string(kFileUnico)});
  EXPECT_EQ(negozio.File("c/sulvo"), (Nomi{"X20261207114931.txt", "frontalini.bat"}));
  const std::string primo = ReadFile(negozio.DriveC() / "sulvo" / "esl" / kFileUnico);
  EXPECT_NE(primo.find("8001234567890"), std::string::npos) << primo;
  EXPECT_EQ(ReadFile(negozio.DriveC() / "sulvo" / "X20261207114931.txt"), primo)
      << "the same offer";
  EXPECT_EQ(negozio.FtpElettro(), "1");
  EXPECT_EQ(negozio.VexularElettro(), "X");

  // The next call starts from the defaults again. Its files take the next second: a time stamp
  // is never given twice.
  negozio.Sql("UPDATE elettro SET attivato = '0' WHERE codice = 1");
  Invia(negozio);
  EXPECT_EQ(negozio.File("c/sulvo"),
            (Nomi{"Import_VPA_20261207114932.txt", "X20261207114931.txt", "frontalini.bat"}));
  EXPECT_EQ(negozio.FtpElettro(), "0");
  EXPECT_EQ(negozio.VexularElettro(), "");
}

TEST(InvioFrontaliniTest, ASystemWithoutFolderStopsTheDispatchThere) {
  WorkingStore negozio(std::string(kOfferta) + Sistema(1, "'1'", "'0'", "NULL", kSulvo) +
                       Sistema(2, "'1'", "'0'", "NULL", "NULL") +
                       Sistema(3, "'1'", "'0'", "NULL", kEsl));
  FileImportVecchio(negozio);
  try {
    InvioFrontaliniElettronici(negozio.work(), negozio.consegne(), 101, 2026);
    ADD_FAILURE() << "no error";
  } catch (const Errore& error) {
    EXPECT_NE(std::string(error.what()).find("percorsoint"), std::string::npos) << error.what();
  }
  // The offer fails; the files made for the system before wait in the outbox for the commit,
  // which never comes: no label folder sees anything.
  EXPECT_EQ(negozio.File("c/sulvo"), Nomi{});
  EXPECT_EQ(negozio.File("c/sulvo/esl"), Nomi{"import_x.txt"}) << "the system after was served";
  EXPECT_TRUE(negozio.env().started_scripts.empty());
}

}  // namespace
}  // namespace zav5::labels
