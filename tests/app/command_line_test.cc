// The command line: what each option sets, and the clear refusal of what it cannot use.

#include "app/command_line.h"

#include <cstdio>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zav5::app {
namespace {

using namespace std::chrono;

CommandLineResult Read(std::vector<const char*> args) {
  args.insert(args.begin(), "zav5");
  return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, DefaultsRunOnDriveCUntilStopped) {
  const CommandLineResult l = Read({});
  ASSERT_TRUE(l.options);
  EXPECT_EQ(l.options->command, Options::Command::kRun);
  EXPECT_FALSE(l.options->current_drive);  // the process's own: see ProgramDrive
#ifndef _WIN32
  EXPECT_EQ(ProgramDrive(*l.options), 'C');
#endif
  EXPECT_FALSE(l.options->once);
  EXPECT_FALSE(l.options->today);
  EXPECT_TRUE(l.options->drives.empty());
}

TEST(CommandLineTest, DrivesCurrentDriveOnceAndToday) {
  const CommandLineResult l = Read({"--drive", "c=/srv/c", "--drive", "Z=/srv/z dir",
                                    "--current-drive", "d", "--once", "--today", "2024-01-01"});
  ASSERT_TRUE(l.options) << l.message;
  EXPECT_EQ(l.options->drives.at('C'), "/srv/c");
  EXPECT_EQ(l.options->drives.at('Z'), "/srv/z dir");
  EXPECT_EQ(l.options->current_drive, 'D');
  EXPECT_TRUE(l.options->once);
  EXPECT_EQ(l.options->today, year_month_day{2024y / January / 1});
}

TEST(CommandLineTest, Demo) {
  const CommandLineResult l = Read({"demo", "/tmp/x"});
  ASSERT_TRUE(l.options);
  EXPECT_EQ(l.options->command, Options::Command::kDemo);
  EXPECT_EQ(l.options->demo_folder, "/tmp/x");
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
    const CommandLineResult l = Read(args);
    EXPECT_FALSE(l.options) << args[0];
    EXPECT_NE(l.exit_code, 0) << args[0];
    EXPECT_FALSE(l.message.empty()) << args[0];
  }
}

TEST(CommandLineTest, TheChecksAndTheirOptionsOnEitherSideOfTheirName) {
  CommandLineResult l = Read({"status", "--drive", "C=/srv/c", "--json", "--max-wait", "30",
                              "--lang", "en", "--limit", "0", "--today", "2026-12-09"});
  ASSERT_TRUE(l.options) << l.message;
  EXPECT_EQ(l.options->command, Options::Command::kStatus);
  EXPECT_EQ(l.options->drives.at('C'), "/srv/c");
  EXPECT_TRUE(l.options->output.json);
  EXPECT_EQ(l.options->max_wait, minutes{30});
  EXPECT_EQ(l.options->output.language, checks::Language::kEnglish);
  EXPECT_EQ(l.options->output.limit, 0u);
  EXPECT_EQ(l.options->today, year_month_day{2026y / December / 9});

  l = Read({"--current-drive", "d", "preview", "--offer", "101/2026", "--out", "/tmp/a"});
  ASSERT_TRUE(l.options) << l.message;
  EXPECT_EQ(l.options->command, Options::Command::kPreview);
  EXPECT_EQ(l.options->current_drive, 'D');
  EXPECT_EQ(l.options->offer, (std::pair<std::int32_t, std::int32_t>{101, 2026}));
  EXPECT_EQ(l.options->preview_folder, std::filesystem::path("/tmp/a"));
  EXPECT_EQ(l.options->output.language, checks::Language::kItalian);
  EXPECT_EQ(l.options->output.limit, 50u);

  l = Read({"audit"});
  ASSERT_TRUE(l.options) << l.message;
  EXPECT_EQ(l.options->command, Options::Command::kAudit);

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
    EXPECT_FALSE(l.options) << wrong.args[1];
    EXPECT_FALSE(l.message.empty()) << wrong.args[1];
    if (wrong.status) {
      EXPECT_EQ(l.exit_code, 3) << wrong.args[1];
    } else {
      EXPECT_NE(l.exit_code, 0) << wrong.args[1];
    }
  }
}

TEST(CommandLineTest, HelpExitsCleanly) {
  const CommandLineResult l = Read({"--help"});
  EXPECT_FALSE(l.options);
  EXPECT_EQ(l.exit_code, 0);
  EXPECT_THAT(l.message, testing::HasSubstr("--drive"));
}

TEST(CommandLineTest, VersionSaysWhichBuildAndExitsCleanly) {
  const CommandLineResult l = Read({"--version"});
  EXPECT_FALSE(l.options);
  EXPECT_EQ(l.exit_code, 0);
  unsigned major = 0;
  unsigned minor = 0;
  unsigned patch = 0;
  EXPECT_EQ(std::sscanf(l.message.c_str(), "zav5 %u.%u.%u (", &major, &minor, &patch), 3)
      << l.message;
#ifdef _WIN32
  EXPECT_THAT(l.message, testing::HasSubstr("(Windows, "));
#else
  EXPECT_THAT(l.message, testing::HasSubstr("(Linux, "));
#endif
  EXPECT_THAT(l.message, testing::HasSubstr(sizeof(void*) == 4 ? "32 bit" : "64 bit"));
}

TEST(CommandLineTest, DemoCommandMapsBothDrives) {
  EXPECT_EQ(DemoCommand("/opt/zav5", "/tmp/x/c", "/tmp/x/z"),
            "/opt/zav5 --drive C=/tmp/x/c --drive Z=/tmp/x/z");
}

TEST(CommandLineTest, RunBatchTakesTheScriptAndTheDrivesBeforeIt) {
  const CommandLineResult l = Read(
      {"--drive", "c=/srv/c", "--current-drive", "d", "run-batch", "C:\\sulvo\\frontalini.bat"});
  ASSERT_TRUE(l.options) << l.message;
  EXPECT_EQ(l.options->command, Options::Command::kRunBatch);
  EXPECT_EQ(l.options->script, "C:\\sulvo\\frontalini.bat");
  EXPECT_EQ(l.options->drives.at('C'), "/srv/c");
  EXPECT_EQ(l.options->current_drive, 'D');
}

#ifndef _WIN32
// The scripts go to this program only where there is no command interpreter.
TEST(CommandLineTest, TheScriptCommandRepeatsTheDrivesAndReadsBackTheSame) {
  const CommandLineResult l =
      Read({"--drive", "C=/srv/c", "--drive", "Z=/srv/z dir", "--current-drive", "d"});
  ASSERT_TRUE(l.options);
  std::vector<std::string> command = ScriptCommand("/opt/zav5", *l.options);
  EXPECT_EQ(command,
            (std::vector<std::string>{"/opt/zav5", "--drive", "C=/srv/c", "--drive", "Z=/srv/z dir",
                                      "--current-drive", "D", "run-batch"}));
  command.emplace_back("C:\\sulvo\\frontalini.bat");
  std::vector<const char*> argv;
  for (std::size_t i = 1; i < command.size(); ++i) {
    argv.push_back(command[i].c_str());
  }
  const CommandLineResult again = Read(argv);
  ASSERT_TRUE(again.options) << again.message;
  EXPECT_EQ(again.options->drives, l.options->drives);
  EXPECT_EQ(again.options->current_drive, 'D');
  EXPECT_EQ(again.options->script, "C:\\sulvo\\frontalini.bat");
}
#endif

TEST(CommandLineTest, OdbcOptionsChooseTheDriverAndTheConnection) {
  const CommandLineResult standard = Read({});
  ASSERT_TRUE(standard.options);
  EXPECT_EQ(standard.options->engine_options.driver_access, "Microsoft Access Driver (*.mdb)");
  EXPECT_TRUE(standard.options->engine_options.odbc_connection.empty());

  const CommandLineResult l = Read({"--odbc-driver", "Microsoft Access Driver (*.mdb, *.accdb)",
                                    "--odbc", "Driver=SQLite3;Database={path};"});
  ASSERT_TRUE(l.options) << l.message;
  EXPECT_EQ(l.options->engine_options.driver_access, "Microsoft Access Driver (*.mdb, *.accdb)");
  EXPECT_EQ(l.options->engine_options.odbc_connection, "Driver=SQLite3;Database={path};");
}

}  // namespace
}  // namespace zav5::app
