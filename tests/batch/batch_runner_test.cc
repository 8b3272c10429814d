#include "batch/batch_runner.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <future>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "platform/drive_map.h"
#include "platform/host_env.h"
#include "platform/process_id.h"
#include "support/temp_dir.h"

namespace zav5::batch {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using zav5::test::ReadFile;

// The script that hands the import files to the label system, byte for byte.
constexpr std::string_view kTransferScript =
    "cd.. \r\n"
    "cd\\sulvo\r\n"
    "copy Import_VPA*.txt Z:\\*.*\r\n"
    "if not errorlevel 1 del Import_VPA*.txt \r\n"
    "copy Import_PRO*.txt Z:\\*.*\r\n"
    "if not errorlevel 1 del Import_PRO*.txt \r\n"
    "cls\r\n";

// Every name in `folder` and below it (hidden ones included), relative, sorted.
Names Tree(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    names.push_back(fs::relative(entry.path(), folder).generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class BatchRunnerTest : public testing::Test {
 protected:
  BatchRunnerTest() : c_(dir_.MakeDir("c")), z_(dir_.MakeDir("z")) {}

  // Saves `script` as C:\prova.bat and runs it with `drives` (C: and Z: when not given).
  bool Run(std::string_view script, const platform::DriveMap& drives) {
    output_.str("");
    errors_.str("");
    dir_.WriteFile("c/prova.bat", script);
    platform::HostEnv env(drives, 'C', env_errors_);
    BatchRunner runner(env, output_, errors_);
    return runner.Run("C:\\prova.bat");
  }
  bool Run(std::string_view script) { return Run(script, {{'C', c_}, {'Z', z_}}); }

  zav5::test::TempDir dir_;
  fs::path c_;
  fs::path z_;
  std::ostringstream output_;
  std::ostringstream errors_;
  std::ostringstream env_errors_;
};

TEST_F(BatchRunnerTest, TransferScriptMovesTheImportFilesToTheLabelDrive) {
  const std::string vpa = "8001234567890;ACQUA;0,39\r\n8009876543210;CAFF\xC8;2,49\r\n";
  const std::string vpa2 = "8000000000017;PANE;1,10\r\n";
  const std::string pro = "PRO;17;20261207\r\n";
  dir_.WriteFile("c/SULVO/Import_VPA_20261207.txt", vpa);
  dir_.WriteFile("c/SULVO/import_vpa_20261208.TXT", vpa2);
  dir_.WriteFile("c/SULVO/Import_PRO_20261207.txt", pro);
  dir_.WriteFile("c/SULVO/dati.mdb", "db");
  dir_.WriteFile("c/SULVO/Export_VPA.txt", "x");
  dir_.WriteFile("c/Import_VPA_root.txt", "not in sulvo");
  dir_.WriteFile("z/IMPORT_PRO_20261207.TXT", "previous");  // replaced, keeping its name
  dir_.WriteFile("z/altro.txt", "stays");

  EXPECT_TRUE(Run(kTransferScript));

  EXPECT_EQ(errors_.str(), "");
  EXPECT_EQ(Tree(c_ / "SULVO"), (Names{"Export_VPA.txt", "dati.mdb"}));
  EXPECT_EQ(ReadFile(c_ / "Import_VPA_root.txt"), "not in sulvo");
  EXPECT_EQ(Tree(z_), (Names{"IMPORT_PRO_20261207.TXT", "Import_VPA_20261207.txt", "altro.txt",
                             "import_vpa_20261208.TXT"}));
  EXPECT_EQ(ReadFile(z_ / "Import_VPA_20261207.txt"), vpa);
  EXPECT_EQ(ReadFile(z_ / "import_vpa_20261208.TXT"), vpa2);
  EXPECT_EQ(ReadFile(z_ / "IMPORT_PRO_20261207.TXT"), pro);
}

TEST_F(BatchRunnerTest, TransferScriptDeletesOnlyWhatItCopied) {
  const std::string copy_vpa = "C:\\prova.bat, riga 3: copy Import_VPA*.txt Z:\\*.*: ";
  const std::string copy_pro = "C:\\prova.bat, riga 5: copy Import_PRO*.txt Z:\\*.*: ";
  struct Case {
    const char* what;
    const char* z_folder;  // under the temporary folder; "" leaves Z: unmapped
    Names files;           // in C:\sulvo
    bool ran_to_the_end;
    std::string errors;  // the whole error stream, or its start when the script stopped
    Names copied;        // in Z:; what is not copied stays in C:\sulvo
  };
  const Names both{"Import_PRO_1.txt", "Import_VPA_1.txt"};
  for (const Case& test : {
           Case{"only price files",
                "z",
                {"Import_VPA_1.txt"},
                true,
                copy_pro + "file non trovato: C:\\sulvo\\Import_PRO*.txt\n",
                {"Import_VPA_1.txt"}},
           Case{"only promotion files",
                "z",
                {"Import_PRO_1.txt"},
                true,
                copy_vpa + "file non trovato: C:\\sulvo\\Import_VPA*.txt\n",
                {"Import_PRO_1.txt"}},
           Case{"no files",
                "z",
                {},
                true,
                copy_vpa + "file non trovato: C:\\sulvo\\Import_VPA*.txt\n" + copy_pro +
                    "file non trovato: C:\\sulvo\\Import_PRO*.txt\n",
                {}},
#ifndef _WIN32
           // On Windows a drive the map leaves out is the machine's own.
           Case{"Z: not mapped", "", both, false, copy_vpa, {}},
#endif
           Case{"Z: folder missing",
                "gone",
                both,
                false,
                copy_vpa + "la cartella Z:\\ non esiste",
                {}},
       }) {
    SCOPED_TRACE(test.what);
    fs::remove_all(c_ / "sulvo");
    fs::remove_all(z_);
    dir_.MakeDir("c/sulvo");
    dir_.MakeDir("z");
    for (const std::string& name : test.files) {
      dir_.WriteFile("c/sulvo/" + name, name);
    }
    platform::DriveMap drives{{'C', c_}};
    if (*test.z_folder != '\0') {
      drives['Z'] = dir_.path() / test.z_folder;
    }

    EXPECT_EQ(Run(kTransferScript, drives), test.ran_to_the_end);

    const std::string errors = errors_.str();
    if (test.ran_to_the_end) {
      EXPECT_EQ(errors, test.errors);
    } else {
      EXPECT_TRUE(errors.starts_with(test.errors)) << errors;
      EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    Names left;
    std::set_difference(test.files.begin(), test.files.end(), test.copied.begin(),
                        test.copied.end(), std::back_inserter(left));
    EXPECT_EQ(Tree(c_ / "sulvo"), left);
    EXPECT_EQ(Tree(z_), test.copied);
    for (const std::string& name : left) {
      EXPECT_EQ(ReadFile(c_ / "sulvo" / name), name);
    }
    for (const std::string& name : test.copied) {
      EXPECT_EQ(ReadFile(z_ / name), name);
    }
  }
}

TEST_F(BatchRunnerTest, AFailedCopyStopsTheScriptBeforeTheSourcesAreDeleted) {
  struct Case {
    const char* what;
    const char* z_folder;  // under the temporary folder; "" leaves Z: unmapped
    const char* copy;
  };
  for (const Case& test : {
#ifndef _WIN32
           // On Windows a drive the map leaves out is the machine's own.
           Case{"Z: not mapped", "", "copy Import_VPA*.txt Z:\\*.*"},
#endif
           Case{"Z: folder missing", "gone", "copy Import_VPA*.txt Z:\\*.*"},
           Case{"target folder missing", "z", "copy Import_VPA*.txt Z:\\etichette\\*.*"},
       }) {
    SCOPED_TRACE(test.what);
    dir_.WriteFile("c/sulvo/Import_VPA_1.txt", "vpa");
    platform::DriveMap drives{{'C', c_}};
    if (*test.z_folder != '\0') {
      drives['Z'] = dir_.path() / test.z_folder;
    }

    EXPECT_FALSE(Run(
        std::string("cd \\sulvo\r\n") + test.copy + "\r\ndel Import_VPA*.txt\r\n" + "echo fine\r\n",
        drives));

    EXPECT_EQ(ReadFile(c_ / "sulvo/Import_VPA_1.txt"), "vpa");
    EXPECT_EQ(Tree(z_), Names{});
    EXPECT_EQ(output_.str(), "");
    const std::string errors = errors_.str();
    EXPECT_TRUE(errors.starts_with(std::string("C:\\prova.bat, riga 2: ") + test.copy + ": "))
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  }
}

TEST_F(BatchRunnerTest, AndAndRunsTheNextCommandOnlyAfterOneThatSucceeded) {
  // Each line is line 2 of the script, after "cd \sulvo". Y: is mapped to a folder that does not
  // exist.
  struct Case {
    const char* line;
    const char* output;
    const char* error;  // what line 2 reports, after "<line>: "; "" for nothing
    bool ran_to_the_end;
    Names left;    // in C:\sulvo
    Names copied;  // in Z:
  };
  const Names both{"Import_VPA_1.txt", "a.txt"};
  for (const Case& test : {
           Case{"copy Import_VPA*.txt Z:\\*.* && del Import_VPA*.txt ",
                "dopo\n",
                "",
                true,
                {"a.txt"},
                {"Import_VPA_1.txt"}},
           Case{"copy Import_VPA*.txt Y:\\*.* && del Import_VPA*.txt ",
                "dopo\n",
                "la cartella Y:\\ non esiste",
                true,
                both,
                {}},
           Case{"copy Import_PRO*.txt Z:\\*.* && del Import_PRO*.txt",
                "dopo\n",
                "file non trovato: C:\\sulvo\\Import_PRO*.txt",
                true,
                both,
                {}},
           Case{"echo uno && copy a.txt Z:\\manca\\ && del a.txt",
                "uno\ndopo\n",
                "la cartella Z:\\manca non esiste",
                true,
                both,
                {}},
           Case{"cd \\manca && copy a.txt Z:\\ && del a.txt",
                "dopo\n",
                "la cartella C:\\manca non esiste",
                true,
                both,
                {}},
           // The last command fails: nothing in the script handles it.
           Case{"echo uno && copy a.txt Z:\\manca\\",
                "uno\n",
                "la cartella Z:\\manca non esiste",
                false,
                both,
                {}},
           // A del that finds nothing has not failed.
           Case{"del Import_PRO*.txt && copy a.txt Z:\\ && cd && cd \\ && cd",
                "C:\\sulvo\nC:\\\ndopo\n",
                "file non trovato: C:\\sulvo\\Import_PRO*.txt",
                true,
                both,
                {"a.txt"}},
           Case{"echo \"a && b\" && copy \"a&&b.txt\" Z:\\ && del \"a&&b.txt\"",
                "\"a && b\"\ndopo\n",
                "",
                true,
                {"Import_VPA_1.txt"},
                {"a&&b.txt"}},
           Case{"rem copy a.txt Z:\\ && del a.txt", "dopo\n", "", true, both, {}},
       }) {
    SCOPED_TRACE(test.line);
    fs::remove_all(c_ / "sulvo");
    fs::remove_all(z_);
    dir_.MakeDir("z");
    dir_.WriteFile("c/sulvo/Import_VPA_1.txt", "vpa");
    dir_.WriteFile(std::string_view(test.line).find("a&&b") == std::string_view::npos
                       ? "c/sulvo/a.txt"
                       : "c/sulvo/a&&b.txt",
                   "a");

    EXPECT_EQ(Run(std::string("cd \\sulvo\r\n") + test.line + "\r\necho dopo\r\n",
                  {{'C', c_}, {'Z', z_}, {'Y', dir_.path() / "manca"}}),
              test.ran_to_the_end);

    EXPECT_EQ(output_.str(), test.output);
    const std::string errors = errors_.str();
    if (*test.error == '\0') {
      EXPECT_EQ(errors, "");
    } else {
      EXPECT_TRUE(errors.starts_with(
          "C:\\prova.bat, riga 2: " + std::string(TrimBatchLine(test.line)) + ": " + test.error))
          << errors;
      EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    EXPECT_EQ(Tree(c_ / "sulvo"), test.left);
    EXPECT_EQ(Tree(z_), test.copied);
  }
}

TEST_F(BatchRunnerTest, IfErrorLevelWeighsWhatTheCommandsBeforeItDid) {
  // The level when the tested lines start: 0 at the start of the script, 1 after a copy that
  // finds nothing (which is reported).
  const std::string level0;
  const std::string level1 = "copy \\sulvo\\manca.txt Z:\\\r\n";
  struct Case {
    std::string before;
    const char* lines;
    const char* output;
    int failures = 0;  // reported by `lines`
    bool ran_to_the_end = true;
  };
  for (const Case& test : {
           // The thresholds, and "not".
           Case{level0, "if errorlevel 0 echo si", "si\n"},
           Case{level0, "if errorlevel 1 echo si", ""},
           Case{level0, "if not errorlevel 1 echo si", "si\n"},
           Case{level0, "if not errorlevel 0 echo si", ""},
           Case{level1, "if errorlevel 1 echo si", "si\n"},
           Case{level1, "IF ERRORLEVEL 2 echo si", ""},
           Case{level1, "if not errorlevel 2 echo si", "si\n"},
           Case{level1, "If Not ErrorLevel 1 echo si", ""},
           Case{level1, "@if\terrorlevel  001 \t echo si", "si\n"},
           Case{level1, "if errorlevel 2147483647 echo si", ""},
           // The command of an if runs to the end of the line, "&&" included; an if may follow
           // "&&" or another if.
           Case{level0, "if not errorlevel 1 echo a && echo b", "a\nb\n"},
           Case{level1, "if not errorlevel 1 echo a && echo b", ""},
           Case{level0, "echo a && if errorlevel 1 echo b && echo c", "a\n"},
           Case{level1, "if errorlevel 1 if not errorlevel 2 echo uno", "uno\n"},
           Case{level0, "if errorlevel 1 if not errorlevel 2 echo uno", ""},
           Case{level1, "if errorlevel 1 rem && echo no", ""},
           Case{level0, "if not errorlevel 1 rem (copia) else && echo no", ""},
           // What sets the level: the outcome that "&&" weighs, 1 for a failure and 0 for a
           // success; rem, cls, echo and empty lines leave it.
           Case{level1, "echo a && if errorlevel 1 echo b", "a\nb\n"},
           Case{level1, "rem\r\ncls\r\n\r\necho.\r\nif errorlevel 1 echo si", "\nsi\n"},
           Case{level0, "copy \\sulvo\\manca.txt Z:\\ && echo no\r\nif errorlevel 1 echo si",
                "si\n", 1},
           Case{level0, "cd \\manca && echo no\r\nif errorlevel 1 echo si", "si\n", 1},
           Case{level0, "if not errorlevel 1 cd \\manca && echo no\r\nif errorlevel 1 echo si",
                "si\n", 1},
           Case{level1, "cd \\sulvo\r\nif errorlevel 1 echo si", ""},
           Case{level1, "C:\r\nif errorlevel 1 echo si", ""},
           Case{level1, "copy \\sulvo\\a.txt Z:\\\r\nif errorlevel 1 echo si", ""},
           Case{level1, "del \\sulvo\\manca.txt\r\nif errorlevel 1 echo si", "", 1},
           // An if whose condition does not hold leaves the level; one that holds, the level its
           // command sets.
           Case{level1, "if errorlevel 2 cd \\sulvo\r\nif errorlevel 1 echo si", "si\n"},
           Case{level1, "if errorlevel 1 cd \\sulvo\r\nif errorlevel 1 echo si", ""},
           // A failing command of an if stops the script as any other line does.
           Case{level0, "if errorlevel 1 cd \\manca", ""},
           Case{level0, "if not errorlevel 1 cd \\manca", "", 1, false},
       }) {
    SCOPED_TRACE(test.before + test.lines);
    dir_.WriteFile("c/sulvo/a.txt", "a");

    EXPECT_EQ(Run(test.before + test.lines + "\r\necho fine\r\n"), test.ran_to_the_end)
        << errors_.str();

    EXPECT_EQ(output_.str(), std::string(test.output) + (test.ran_to_the_end ? "fine\n" : ""));
    // Each failure is reported, and nothing else is.
    const std::string errors = errors_.str();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'),
              (test.before == level1 ? 1 : 0) + test.failures)
        << errors;
  }
}

TEST_F(BatchRunnerTest, ACopyThatFailsPartWayStopsAndLeavesNoTemporaryFile) {
  dir_.WriteFile("c/sulvo/a.txt", "a");
  dir_.WriteFile("c/sulvo/b.txt", "b");
  dir_.MakeDir("z/B.TXT");  // a folder where b.txt must go

  EXPECT_FALSE(Run("copy \\sulvo\\*.txt Z:\\\r\ndel \\sulvo\\*.txt\r\n"));

  EXPECT_EQ(Tree(c_ / "sulvo"), (Names{"a.txt", "b.txt"}));
  const Names copied = Tree(z_);
  EXPECT_EQ(std::count_if(copied.begin(), copied.end(),
                          [](const std::string& name) { return name.starts_with('.'); }),
            0)
      << testing::PrintToString(copied);
  EXPECT_NE(errors_.str().find("riga 1: copy \\sulvo\\*.txt Z:\\: impossibile copiare "
                               "C:\\sulvo\\b.txt su Z:\\b.txt"),
            std::string::npos)
      << errors_.str();
}

TEST_F(BatchRunnerTest, RunnersCopyingOneFileAtOnceAllSucceed) {
#ifdef _WIN32
  // Windows refuses to replace a file that another rename is replacing at the same moment; there
  // the command interpreter, not this runner, runs the program's scripts.
  GTEST_SKIP() << "run-batch runs the scripts where there is no command interpreter";
#endif
  // The program may start a script while the one before it still copies: both copy the same
  // files onto the same names. Racers that are threads share a process id, those that are
  // processes do not; each round all of them are let go at once.
  const std::string bytes(256 * 1024, 'x');
  dir_.WriteFile("c/sulvo/Import_VPA_1.txt", bytes);
  dir_.WriteFile("c/prova.bat", "copy \\sulvo\\Import_VPA*.txt Z:\\*.*\r\n");
  const platform::DriveMap drives{{'C', c_}, {'Z', z_}};
  // Runs the script once; returns what it wrote on the error stream, or why it failed.
  const auto run = [&drives]() -> std::string {
    std::ostringstream output;
    std::ostringstream errors;
    platform::HostEnv env(drives, 'C', errors);
    BatchRunner runner(env, output, errors);
    const bool ran = runner.Run("C:\\prova.bat");
    return ran ? errors.str() : "non riuscito: " + errors.str();
  };
  constexpr int kRacers = 3;
  constexpr int kRounds = 40;

  for (const bool processes : {false, true}) {
    SCOPED_TRACE(processes ? "processes" : "threads");
    for (int round = 0; round < kRounds; ++round) {
      SCOPED_TRACE(round);
      fs::remove_all(z_);
      dir_.MakeDir("z");
      std::vector<std::string> results(kRacers);
#ifndef _WIN32
      if (processes) {
        // The racers wait until the gate's write end is closed.
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < kRacers; ++i) {
          const pid_t child = ::fork();
          ASSERT_GE(child, 0);
          if (child == 0) {
            ::close(gate[1]);
            char byte;
            while (::read(gate[0], &byte, 1) < 0 && errno == EINTR) {
            }
            const std::string result = run();
            if (!result.empty()) {
              ssize_t ignored = ::write(2, result.data(), result.size());
              static_cast<void>(ignored);
            }
            ::_exit(result.empty() ? 0 : 1);
          }
          children.push_back(child);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (int i = 0; i < kRacers; ++i) {
          int status = 0;
          ASSERT_EQ(::waitpid(children[i], &status, 0), children[i]);
          const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
          results[i] = succeeded ? "" : "il processo è uscito con " + std::to_string(status);
        }
      }
#endif
      if (!processes) {
        std::promise<void> gate;
        const std::shared_future<void> open = gate.get_future().share();
        std::vector<std::thread> threads;
        for (int i = 0; i < kRacers; ++i) {
          threads.emplace_back([&results, &run, open, i] {
            open.wait();
            results[i] = run();
          });
        }
        gate.set_value();
        for (std::thread& thread : threads) {
          thread.join();
        }
      }

      EXPECT_EQ(results, std::vector<std::string>(kRacers));
      EXPECT_EQ(Tree(z_), Names{"Import_VPA_1.txt"});
      EXPECT_EQ(ReadFile(z_ / "Import_VPA_1.txt"), bytes);
      if (HasFailure()) {
        return;
      }
    }
  }
}

TEST_F(BatchRunnerTest, ATemporaryFileOfTheSameNameIsLeftAlone) {
  // Another copy of this process writes there, or a runner of the same id was killed.
  const std::string taken = ".~a.txt." + std::to_string(platform::ProcessId()) + ".tmp";
  dir_.WriteFile("c/sulvo/a.txt", "nuovo");
  dir_.WriteFile("z/" + taken, "altrui");

  EXPECT_TRUE(Run("copy \\sulvo\\a.txt Z:\\")) << errors_.str();

  EXPECT_EQ(Tree(z_), (Names{taken, "a.txt"}));
  EXPECT_EQ(ReadFile(z_ / "a.txt"), "nuovo");
  EXPECT_EQ(ReadFile(z_ / taken), "altrui");
}

TEST_F(BatchRunnerTest, ALineThatCannotRunIsReportedAndNothingAfterItRuns) {
  struct Case {
    const char* before;  // lines that run first
    const char* line;
    const char* why = "";  // part of the reason given, when it matters
  };
  for (const Case& test : {
           // Not supported.
           Case{"", "pause"},
           Case{"", "echo pronto > uscita.txt"},
           Case{"", "dir | more"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ & del \\sulvo\\a.txt"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ || del \\sulvo\\a.txt"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ &&& del \\sulvo\\a.txt"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ && del \\sulvo\\a.txt > nul"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ && del \\sulvo\\a.txt | more"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ && pause"},  // the copy does not run either
           Case{"", "copy \\sulvo\\a.txt Z:\\ && echo %DATE%"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ &&"},
           Case{"", "&& copy \\sulvo\\a.txt Z:\\"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ && && del \\sulvo\\a.txt"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ && @"},
           Case{"", "echo %DATE%"},
           // Of if, only "if [not] errorlevel N command" (the level is 0 here, so each of these
           // would delete a file if it ran).
           Case{"", "if exist \\sulvo\\a.txt del \\sulvo\\a.txt", "if exist non è gestito"},
           Case{"", "IF NOT EXIST \\sulvo\\x.txt del \\sulvo\\a.txt", "if not EXIST non è gestito"},
           Case{"", "if /i a==A del \\sulvo\\a.txt", "if /i non è gestito"},
           Case{"", "if \"a\"==\"a\" del \\sulvo\\a.txt", "if \"a\"==\"a\" non è gestito"},
           Case{"", "if a == a del \\sulvo\\a.txt", "if a non è gestito"},
           Case{"", "if defined PATH del \\sulvo\\a.txt", "if defined non è gestito"},
           Case{"", "if not errorlevel 1 (del \\sulvo\\a.txt)", "parentesi"},
           Case{"", "if not errorlevel 1 del \\sulvo\\a(1).txt", "parentesi"},
           Case{"", "if not errorlevel 1 del \\sulvo\\a.txt else echo no", "else non è gestito"},
           Case{"", "if not errorlevel 1 del \\sulvo\\a.txt && ELSE", "else non è gestito"},
           Case{"", "if not errorlevel 1 if exist \\sulvo\\a.txt del \\sulvo\\a.txt",
                "if exist non è gestito"},
           Case{"", "if not errorlevel 1 del \\sulvo\\a.txt > nul", "redirezioni"},
           Case{"", "if not errorlevel 1 del \\sulvo\\a.txt && pause", "comando non gestito"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ && if errorlevel 0 pause", "comando non gestito"},
           Case{"", "if not errorlevel del \\sulvo\\a.txt", "numero di sole cifre, non del"},
           Case{"", "if not errorlevel -1 del \\sulvo\\a.txt", "numero di sole cifre, non -1"},
           Case{"", "if not errorlevel 1x del \\sulvo\\a.txt", "numero di sole cifre, non 1x"},
           Case{"", "if errorlevel 99999999999 del \\sulvo\\a.txt", "troppo grande"},
           Case{"", "if not errorlevel 1", "manca il comando dopo if not errorlevel 1"},
           Case{"", "if not errorlevel 1 @ && del \\sulvo\\a.txt",
                "manca il comando dopo if not errorlevel 1"},
           Case{"", "if errorlevel", "manca il numero"},
           Case{"", "if not", "manca la condizione"},
           Case{"", "if", "manca la condizione"},
           Case{"", "for %%f in (*.txt) do del %%f"},
           Case{"", "goto fine"},
           Case{"", ":fine"},
           Case{"", "echo"},
           Case{"", "cls adesso"},
           Case{"", "cd /x \\sulvo"},
           Case{"", "cd \\sul*"},
           Case{"", "copy /V \\sulvo\\a.txt Z:\\"},
           Case{"", "copy \\sulvo\\a.txt+\\sulvo\\b.txt Z:\\c.txt"},
           Case{"", "copy \\sulvo\\*.txt Z:\\tutto.txt"},
           Case{"", "copy \\sulvo\\a.txt Z:\\*.bak"},
           Case{"", "copy C:/sulvo/a.txt Z:\\"},
           Case{"", "copy \\sulvo\\a.txt Z:\\ Z:\\x"},
           Case{"", "copy \\sul*\\a.txt Z:\\"},
           Case{"", "copy \\sulvo Z:\\"},
           Case{"", "del \\sulvo\\*.*"},
           Case{"", "del \\sulvo"},
           // Failures.
           Case{"", "cd \\manca"},
           Case{"", "cd \\sulvo\\a.txt"},
           Case{"", "cd Y:\\x"},
           Case{"", "Y:"},
           Case{"cd \\sulvo\r\n", "copy a.txt"},
           Case{"", "copy \\sulvo\\a.txt \\SULVO\\"},
           Case{"", "copy \\manca\\*.txt Z:\\"},
           Case{"", "del \\manca\\*.txt"},
           Case{"", "if not errorlevel 1 del \\manca\\*.txt"},
       }) {
    SCOPED_TRACE(test.line);
    dir_.WriteFile("c/sulvo/a.txt", "a");
    dir_.WriteFile("c/sulvo/b.txt", "b");
    const int line_number = 1 + static_cast<int>(std::string_view(test.before).ends_with('\n'));

    EXPECT_FALSE(Run(std::string(test.before) + "  " + test.line + "  \r\necho dopo\r\n"));

    EXPECT_TRUE(errors_.str().starts_with("C:\\prova.bat, riga " + std::to_string(line_number) +
                                          ": " + test.line + ": "))
        << errors_.str();
    EXPECT_NE(errors_.str().find(test.why), std::string::npos) << errors_.str();
    EXPECT_EQ(output_.str(), "");
    EXPECT_EQ(Tree(c_), (Names{"prova.bat", "sulvo", "sulvo/a.txt", "sulvo/b.txt"}));
    EXPECT_EQ(ReadFile(c_ / "sulvo/a.txt"), "a");
    EXPECT_EQ(Tree(z_), Names{});
  }
}

TEST_F(BatchRunnerTest, CdKeepsACurrentFolderPerDrive) {
  dir_.MakeDir("c/sulvo/esl");
  dir_.MakeDir("c/altro");
  dir_.MakeDir("z/etichette");
  struct Case {
    const char* script;
    const char* shown;
  };
  for (const Case& test : {
           Case{"cd\\sulvo\\esl\r\ncd..\r\ncd", "C:\\sulvo\n"},
           Case{"cd \\sulvo\r\ncd esl\r\ncd", "C:\\sulvo\\esl\n"},
           Case{"cd..\r\ncd ..\r\ncd \\..\r\ncd", "C:\\\n"},
           Case{"cd \"\\sulvo\\esl\"\r\ncd", "C:\\sulvo\\esl\n"},
           Case{"CD \\SULVO\r\nChDir ESL\r\ncd", "C:\\SULVO\\ESL\n"},
           Case{"cd sulvo\\esl\\..\\..\\altro\r\ncd", "C:\\altro\n"},
           Case{"cd \\sulvo\r\ncd ..\\..\\..\\altro\r\ncd", "C:\\altro\n"},
           Case{"cd C:sulvo\r\ncd", "C:\\sulvo\n"},
           Case{"cd Z:\\etichette\r\ncd\r\ncd Z:", "C:\\\nZ:\\etichette\n"},
           Case{"cd /d Z:\\etichette\r\ncd", "Z:\\etichette\n"},
           Case{"cd Z:\\etichette\r\nZ:\r\ncd", "Z:\\etichette\n"},
           Case{"cd \\sulvo\r\ncd /D Z:\r\ncd ..\r\nc:\r\ncd", "C:\\sulvo\n"},
       }) {
    SCOPED_TRACE(test.script);
    EXPECT_TRUE(Run(test.script)) << errors_.str();
    EXPECT_EQ(output_.str(), test.shown);
  }
}

TEST_F(BatchRunnerTest, CopyTakesAFolderOrOneFileNameAsTarget) {
  struct Case {
    const char* script;
    const char* copy;  // under Z:
  };
  for (const Case& test : {
           Case{"copy \\sulvo\\a.txt Z:\\", "a.txt"},
           Case{"copy \\sulvo\\a.txt Z:", "a.txt"},
           Case{"copy \\sulvo\\a.txt Z:\\*", "a.txt"},
           Case{"copy /Y \\sulvo\\a.txt Z:\\etichette", "etichette/a.txt"},
           Case{"copy/y/b \\sulvo\\a.txt \"Z:\\ETICHETTE\\\"", "etichette/a.txt"},
           Case{"cd Z:\\etichette\r\ncopy \\sulvo\\a.txt Z:", "etichette/a.txt"},
           Case{"cd /d Z:\\etichette\r\ncopy C:\\sulvo\\a.txt", "etichette/a.txt"},
           Case{"copy \\sulvo\\a.txt Z:\\nuovo.txt", "nuovo.txt"},
           Case{"cd \\sulvo\r\ncopy A.TXT Z:\\etichette\\Nuovo.txt", "etichette/Nuovo.txt"},
           Case{"copy \\sulvo\\a*.* Z:\\uno.txt", "uno.txt"},
       }) {
    SCOPED_TRACE(test.script);
    fs::remove_all(z_);
    dir_.MakeDir("z/etichette");
    dir_.WriteFile("c/sulvo/a.txt", std::string_view("a\r\n\xE0\0z", 6));

    EXPECT_TRUE(Run(test.script)) << errors_.str();

    Names expected{"etichette", test.copy};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Tree(z_), expected);
    EXPECT_EQ(ReadFile(z_ / test.copy), ReadFile(c_ / "sulvo/a.txt"));
    EXPECT_EQ(Tree(c_ / "sulvo"), Names{"a.txt"});
  }
}

TEST_F(BatchRunnerTest, DeleteTakesSeveralPatterns) {
  for (const char* name : {"a.txt", "b.txt", "c.dat"}) {
    dir_.WriteFile(std::string("c/sulvo/") + name, "x");
  }
  EXPECT_TRUE(Run("erase \\sulvo\\a.txt \"\\sulvo\\x*.txt\" \\SULVO\\*.DAT"));
  EXPECT_EQ(Tree(c_ / "sulvo"), Names{"b.txt"});
  EXPECT_EQ(errors_.str(),
            "C:\\prova.bat, riga 1: erase \\sulvo\\a.txt \"\\sulvo\\x*.txt\" \\SULVO\\*.DAT: "
            "file non trovato: C:\\sulvo\\x*.txt\n");

  EXPECT_TRUE(Run("del /Q /F \\sulvo\\*.*"));
  EXPECT_EQ(Tree(c_ / "sulvo"), Names{});
}

TEST_F(BatchRunnerTest, ReadsLinesEndedByCrLfOrLfInTheStoreCodePage) {
  for (const std::string_view end : {"\r\n", "\n"}) {
    SCOPED_TRACE(end.size());
    fs::remove_all(z_);
    dir_.MakeDir("z");
    dir_.WriteFile("c/sulvo/a.txt", "a");
    const std::string script = std::string("cd \\sulvo") + std::string(end) + "COPY a.txt z:\\" +
                               std::string(end) + "echo caff\xE8 \x80" + std::string(end) +
                               "@echo.";  // the last line has no line end

    EXPECT_TRUE(Run(script)) << errors_.str();

    EXPECT_EQ(Tree(z_), Names{"a.txt"});
    EXPECT_EQ(output_.str(), "caffè €\n\n");
  }
}

TEST_F(BatchRunnerTest, AScriptThatBeginsWithTheUtf8MarkIsReadAsUtf8) {
  dir_.WriteFile("c/sulvo/caff\xC3\xA8.txt", "x");  // caffè.txt

  // The euro sign in UTF-8, then è and € in the code page, which are not UTF-8.
  EXPECT_FALSE(
      Run("\xEF\xBB\xBF"
          "cd \\sulvo\r\n"
          "copy caff\xC3\xA8.txt Z:\\\r\n"
          "echo \xE2\x82\xAC 5 \xE8\x80\r\n"
          "pause\r\n"));

  EXPECT_EQ(Tree(z_), Names{"caff\xC3\xA8.txt"});
  EXPECT_EQ(output_.str(), "\xE2\x82\xAC 5 \xC3\xA8\xE2\x82\xAC\n");
  EXPECT_EQ(errors_.str(), "C:\\prova.bat, riga 4: pause: comando non gestito\n");

  EXPECT_TRUE(Run("\xEF\xBB\xBF"));
  EXPECT_EQ(errors_.str(), "");
}

TEST_F(BatchRunnerTest, EchoRemAndClsLines) {
  EXPECT_TRUE(
      Run("@echo off\r\n"
          "rem copy tutto > nul & del %TEMP%\r\n"
          "  @ECHO Pronto  \r\n"
          "\t\r\n"
          "echo.\r\n"
          "REM\r\n"
          "echo   a  \"b > c\"\r\n"
          "echo ON\r\n"
          "cls\r\n"));
  EXPECT_EQ(output_.str(), "Pronto\n\n  a  \"b > c\"\n");
  EXPECT_EQ(errors_.str(), "");
}

TEST_F(BatchRunnerTest, AMissingScriptIsOneErrorLine) {
  platform::HostEnv env({{'C', c_}}, 'C', env_errors_);
  BatchRunner runner(env, output_, errors_);

  EXPECT_FALSE(runner.Run("C:\\sulvo\\manca.bat"));

  const std::string errors = errors_.str();
  EXPECT_NE(errors.find("C:\\sulvo\\manca.bat"), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
}  // namespace zav5::batch
