#include "labels/invio_frontalini.h"

#include <fstream>
#include <string>
#include <vector>

#include <fmt/core.h>
#include <gtest/gtest.h>

#include "errors.h"
#include "support/temp_dir.h"
#include "support/working_store.h"

namespace zav5::labels {
namespace {

using test::ReadFile;
using test::WorkingStore;
using NameList = std::vector<std::string>;

// Offer 101/2026 of one row whose article is in the price list, so that every label system served
// gets a file.
constexpr std::string_view kOfferRows =
    "INSERT INTO listi01 (codart, desart, przpub, przsal, codafo) VALUES (1001, 'LATTE', 1.99, 0,"
    " 'F012345678');"
    "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli) VALUES"
    " (101, 2026, 1, '8001234567890', 1001);";

// A label system; `attivato`, `ftp`, `vexular` and `percorsoint` are SQL literals.
std::string System(int codice, std::string_view attivato, std::string_view ftp,
                   std::string_view vexular, std::string_view percorsoint) {
  return fmt::format("INSERT INTO elettro VALUES ({}, 'SISTEMA {}', {}, {}, {}, {});", codice,
                     codice, attivato, ftp, vexular, percorsoint);
}

constexpr std::string_view kSulvoSystem = "'C:\\sulvo\\'";
constexpr std::string_view kEsl = "'C:\\sulvo\\esl\\'";
constexpr std::string_view kOneFile = "X20261207114930.txt";
constexpr std::string_view kPriceFile = "Import_VPA_20261207114930.txt";

// An import file left by an earlier run in C:\sulvo\esl\: it goes when that system is served.
void OldImportFile(const WorkingStore& store) {
  std::ofstream(store.DriveC() / "sulvo" / "esl" / "import_x.txt") << "x";
}

// Settings left by some earlier call, which must not leak into this one.
void OldSettings(WorkingStore& store) {
  store.FtpElettro() = "1";
  store.VexularElettro() = "VECCHIO";
}

// Serves the label systems and hands their files over, as the cycle does after its commit.
void Send(WorkingStore& store) {
  InvioFrontaliniElettronici(store.work(), store.outbox(), 101, 2026);
  store.HandOver(101);
}

TEST(InvioFrontaliniTest, ASystemWhoseAttivatoIsNotExactlyOneIsNotServed) {
  for (const char* attivato : {"'0'", "'a'", "''", "' '", "NULL"}) {
    SCOPED_TRACE(attivato);
    WorkingStore store(std::string(kOfferRows) + System(1, attivato, "'0'", "'E'", kEsl));
    OldImportFile(store);
    OldSettings(store);

    Send(store);

    EXPECT_EQ(store.File("c/sulvo/esl"), NameList{"import_x.txt"}) << "the system was served";
    EXPECT_EQ(store.File("c/sulvo"), NameList{});
    EXPECT_TRUE(store.env().started_scripts.empty());
    EXPECT_EQ(store.FtpElettro(), "0");
    EXPECT_EQ(store.VexularElettro(), "");
  }
}

TEST(InvioFrontaliniTest, ASystemWithoutSettingsGetsTheTwoFileLayout) {
  WorkingStore store(std::string(kOfferRows) + System(1, "'1'", "NULL", "NULL", kEsl));
  OldImportFile(store);
  OldSettings(store);

  Send(store);

  EXPECT_EQ(store.File("c/sulvo/esl"), NameList{std::string(kPriceFile)});
  EXPECT_EQ(store.env().started_scripts, NameList{"C:\\sulvo\\frontalini.bat"});
  EXPECT_EQ(store.FtpElettro(), "0");
  EXPECT_EQ(store.VexularElettro(), "");
}

TEST(InvioFrontaliniTest, ANullSettingKeepsTheValueOfTheSystemBeforeWithinTheCallOnly) {
  WorkingStore store(std::string(kOfferRows) + System(1, "'1'", "'1'", "'X'", kEsl) +
                     System(2, "'1'", "NULL", "NULL", kSulvoSystem));
  OldSettings(store);

  Send(store);

  // The second system's file takes the next second: both reach drive Z: under their names.
  EXPECT_EQ(store.File("c/sulvo/esl"), NameList{std::string(kOneFile)});
  EXPECT_EQ(store.File("c/sulvo"), (NameList{"X20261207114931.txt", "frontalini.bat"}));
  const std::string primo = ReadFile(store.DriveC() / "sulvo" / "esl" / kOneFile);
  EXPECT_NE(primo.find("8001234567890"), std::string::npos) << primo;
  EXPECT_EQ(ReadFile(store.DriveC() / "sulvo" / "X20261207114931.txt"), primo) << "the same offer";
  EXPECT_EQ(store.FtpElettro(), "1");
  EXPECT_EQ(store.VexularElettro(), "X");

  // The next call starts from the defaults again. Its files take the next second: a time stamp
  // is never given twice.
  store.Sql("UPDATE elettro SET attivato = '0' WHERE codice = 1");
  Send(store);
  EXPECT_EQ(store.File("c/sulvo"),
            (NameList{"Import_VPA_20261207114932.txt", "X20261207114931.txt", "frontalini.bat"}));
  EXPECT_EQ(store.FtpElettro(), "0");
  EXPECT_EQ(store.VexularElettro(), "");
}

TEST(InvioFrontaliniTest, ASystemWithoutFolderStopsTheDispatchThere) {
  WorkingStore store(std::string(kOfferRows) + System(1, "'1'", "'0'", "NULL", kSulvoSystem) +
                     System(2, "'1'", "'0'", "NULL", "NULL") +
                     System(3, "'1'", "'0'", "NULL", kEsl));
  OldImportFile(store);
  try {
    InvioFrontaliniElettronici(store.work(), store.outbox(), 101, 2026);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("percorsoint"), std::string::npos) << error.what();
  }
  // The offer fails; the files made for the system before wait in the outbox for the commit,
  // which never comes: no label folder sees anything.
  EXPECT_EQ(store.File("c/sulvo"), NameList{});
  EXPECT_EQ(store.File("c/sulvo/esl"), NameList{"import_x.txt"}) << "the system after was served";
  EXPECT_TRUE(store.env().started_scripts.empty());
}

}  // namespace
}  // namespace zav5::labels
