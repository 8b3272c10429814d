// The command line: what each option sets, and the clear refusal of what it cannot use.

#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace zav5::app {
namespace {

using namespace std::chrono;

Lettura Read(std::vector<const char*> args) {
  args.insert(args.begin(), "zav5");
  return LeggiRigaDiComando(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, DefaultsRunOnDriveCUntilStopped) {
  const Lettura l = Read({});
  ASSERT_TRUE(l.opzioni);
  EXPECT_EQ(l.opzioni->comando, Opzioni::Comando::kEsegui);
  EXPECT_FALSE(l.opzioni->unita_corrente);  // the process's own: see UnitaCorrente
#ifndef _WIN32
  EXPECT_EQ(UnitaCorrente(*l.opzioni), 'C');
#endif
  EXPECT_FALSE(l.opzioni->una_volta);
  EXPECT_FALSE(l.opzioni->oggi);
  EXPECT_TRUE(l.opzioni->unita.empty());
}

TEST(CommandLineTest, DrivesCurrentDriveOnceAndToday) {
  const Lettura l = Read({"--drive", "c=/srv/c", "--drive", "Z=/srv/z dir", "--current-drive", "d",
                          "--once", "--today", "2024-01-01"});
  ASSERT_TRUE(l.opzioni) << l.messaggio;
  EXPECT_EQ(l.opzioni->unita.at('C'), "/srv/c");
  EXPECT_EQ(l.opzioni->unita.at('Z'), "/srv/z dir");
  EXPECT_EQ(l.opzioni->unita_corrente, 'D');
  EXPECT_TRUE(l.opzioni->una_volta);
  EXPECT_EQ(l.opzioni->oggi, year_month_day{2024y / January / 1});
}

TEST(CommandLineTest, Demo) {
  const Lettura l = Read({"demo", "/tmp/x"});
  ASSERT_TRUE(l.opzioni);
  EXPECT_EQ(l.opzioni->comando, Opzioni::Comando::kDemo);
  EXPECT_EQ(l.opzioni->cartella_demo, "/tmp/x");
}

TEST(CommandLineTest, RefusesWhatItCannotUse) {
  for (const auto& args : std::vector<std::vector<const char*>>{
           {"--drive", "C"},
           {"--drive", "CC=/x"},
           {"--drive", "C="},
           {"--drive", "1=/x"},
           {"--current-drive", "CD"},
           {"--current-drive", ""},
           {"--today", "2024-02-30"},
           {"--today", "07/12/2026"},
           {"--today", "2024-1-1"},
           {"--bogus"},
           {"demo"},
           {"run-batch"},
           {"--odbc", "Driver=SQLite3;Database=/srv/dati.db;"},
       }) {
    const Lettura l = Read(args);
    EXPECT_FALSE(l.opzioni) << args[0];
    EXPECT_NE(l.codice_uscita, 0) << args[0];
    EXPECT_FALSE(l.messaggio.empty()) << args[0];
  }
}

TEST(CommandLineTest, TheChecksAndTheirOptionsOnEitherSideOfTheirName) {
  Lettura l = Read({"status", "--drive", "C=/srv/c", "--json", "--max-wait", "30", "--lang", "en",
                    "--limit", "0", "--today", "2026-12-09"});
  ASSERT_TRUE(l.opzioni) << l.messaggio;
  EXPECT_EQ(l.opzioni->comando, Opzioni::Comando::kStato);
  EXPECT_EQ(l.opzioni->unita.at('C'), "/srv/c");
  EXPECT_TRUE(l.opzioni->uscita.json);
  EXPECT_EQ(l.opzioni->attesa_massima, minutes{30});
  EXPECT_EQ(l.opzioni->uscita.language, checks::Language::kEnglish);
  EXPECT_EQ(l.opzioni->uscita.limit, 0u);
  EXPECT_EQ(l.opzioni->oggi, year_month_day{2026y / December / 9});

  l = Read({"--current-drive", "d", "preview", "--offer", "101/2026", "--out", "/tmp/a"});
  ASSERT_TRUE(l.opzioni) << l.messaggio;
  EXPECT_EQ(l.opzioni->comando, Opzioni::Comando::kAnteprima);
  EXPECT_EQ(l.opzioni->unita_corrente, 'D');
  EXPECT_EQ(l.opzioni->offerta, (std::pair<std::int32_t, std::int32_t>{101, 2026}));
  EXPECT_EQ(l.opzioni->cartella_anteprima, std::filesystem::path("/tmp/a"));
  EXPECT_EQ(l.opzioni->uscita.language, checks::Language::kItalian);
  EXPECT_EQ(l.opzioni->uscita.limit, 50u);

  l = Read({"audit"});
  ASSERT_TRUE(l.opzioni) << l.messaggio;
  EXPECT_EQ(l.opzioni->comando, Opzioni::Comando::kVerificaPrezzi);

  // Refused: with 3 for the status, whose codes a monitoring agent reads, 2 or CLI11's otherwise.
  struct Wrong {
    std::vector<const char*> args;
    bool status;
  };
  for (const Wrong& wrong : std::vector<Wrong>{
           {{"status", "--max-wait", "0"}, true},
           {{"status", "--lang", "fr"}, true},
           {{"status", "--today", "2026-13-01"}, true},
           {{"status", "--drive", "C"}, true},
           {{"status", "--bogus"}, true},
           {{"preview", "--offer", "101"}, false},
           {{"preview", "--offer", "-1/2026"}, false},
           {{"preview", "--offer", "101/2026/1"}, false},
           {{"audit", "--limit", "x"}, false},
       }) {
    l = Read(wrong.args);
    EXPECT_FALSE(l.opzioni) << wrong.args[1];
    EXPECT_FALSE(l.messaggio.empty()) << wrong.args[1];
    if (wrong.status) {
      EXPECT_EQ(l.codice_uscita, 3) << wrong.args[1];
    } else {
      EXPECT_NE(l.codice_uscita, 0) << wrong.args[1];
    }
  }
}

TEST(CommandLineTest, HelpExitsCleanly) {
  const Lettura l = Read({"--help"});
  EXPECT_FALSE(l.opzioni);
  EXPECT_EQ(l.codice_uscita, 0);
  EXPECT_THAT(l.messaggio, testing::HasSubstr("--drive"));
}

TEST(CommandLineTest, VersionSaysWhichBuildAndExitsCleanly) {
  const Lettura l = Read({"--version"});
  EXPECT_FALSE(l.opzioni);
  EXPECT_EQ(l.codice_uscita, 0);
  unsigned major = 0;
  unsigned minor = 0;
  unsigned patch = 0;
  EXPECT_EQ(std::sscanf(l.messaggio.c_str(), "zav5 %u.%u.%u (", &major, &minor, &patch), 3)
      << l.messaggio;
#ifdef _WIN32
  EXPECT_THAT(l.messaggio, testing::HasSubstr("(Windows, "));
#else
  EXPECT_THAT(l.messaggio, testing::HasSubstr("(Linux, "));
#endif
  EXPECT_THAT(l.messaggio, testing::HasSubstr(sizeof(void*) == 4 ? "32 bit" : "64 bit"));
}

TEST(CommandLineTest, DemoCommandMapsBothDrives) {
  EXPECT_EQ(ComandoPerDemo("/opt/zav5", "/tmp/x/c", "/tmp/x/z"),
            "/opt/zav5 --drive C=/tmp/x/c --drive Z=/tmp/x/z");
}

TEST(CommandLineTest, RunBatchTakesTheScriptAndTheDrivesBeforeIt) {
  const Lettura l = Read(
      {"--drive", "c=/srv/c", "--current-drive", "d", "run-batch", "C:\\sulvo\\frontalini.bat"});
  ASSERT_TRUE(l.opzioni) << l.messaggio;
  EXPECT_EQ(l.opzioni->comando, Opzioni::Comando::kEseguiScript);
  EXPECT_EQ(l.opzioni->script, "C:\\sulvo\\frontalini.bat");
  EXPECT_EQ(l.opzioni->unita.at('C'), "/srv/c");
  EXPECT_EQ(l.opzioni->unita_corrente, 'D');
}

#ifndef _WIN32
// The scripts go to this program only where there is no command interpreter.
TEST(CommandLineTest, TheScriptCommandRepeatsTheDrivesAndReadsBackTheSame) {
  const Lettura l =
      Read({"--drive", "C=/srv/c", "--drive", "Z=/srv/z dir", "--current-drive", "d"});
  ASSERT_TRUE(l.opzioni);
  std::vector<std::string> comando = ComandoScript("/opt/zav5", *l.opzioni);
  EXPECT_EQ(comando,
            (std::vector<std::string>{"/opt/zav5", "--drive", "C=/srv/c", "--drive", "Z=/srv/z dir",
                                      "--current-drive", "D", "run-batch"}));
  comando.emplace_back("C:\\sulvo\\frontalini.bat");
  std::vector<const char*> argv;
  for (std::size_t i = 1; i < comando.size(); ++i) {
    argv.push_back(comando[i].c_str());
  }
  const Lettura again = Read(argv);
  ASSERT_TRUE(again.opzioni) << again.messaggio;
  EXPECT_EQ(again.opzioni->unita, l.opzioni->unita);
  EXPECT_EQ(again.opzioni->unita_corrente, 'D');
  EXPECT_EQ(again.opzioni->script, "C:\\sulvo\\frontalini.bat");
}
#endif

TEST(CommandLineTest, OdbcOptionsChooseTheDriverAndTheConnection) {
  const Lettura standard = Read({});
  ASSERT_TRUE(standard.opzioni);
  EXPECT_EQ(standard.opzioni->motore.driver_access, "Microsoft Access Driver (*.mdb)");
  EXPECT_TRUE(standard.opzioni->motore.connessione_odbc.empty());

  const Lettura l = Read({"--odbc-driver", "Microsoft Access Driver (*.mdb, *.accdb)", "--odbc",
                          "Driver=SQLite3;Database={path};"});
  ASSERT_TRUE(l.opzioni) << l.messaggio;
  EXPECT_EQ(l.opzioni->motore.driver_access, "Microsoft Access Driver (*.mdb, *.accdb)");
  EXPECT_EQ(l.opzioni->motore.connessione_odbc, "Driver=SQLite3;Database={path};");
}

}  // namespace
}  // namespace zav5::app
