// Cases every Env must pass the same way: the program must not be able to tell the in-memory fake
// from the real file system in what it relies on.
#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "errors.h"
#include "platform/case_fold.h"
#include "platform/env.h"
#include "platform/fake/mem_env.h"
#include "platform/host_env.h"
#include "platform/wildcard.h"
#include "platform/windows_path.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace zav5::platform {
namespace {

using test::FileErrorOf;

using Names = std::vector<std::string>;

// An Env and a way to set up and inspect its files behind its back, spelt exactly as given.
class Machine {
 public:
  virtual ~Machine() = default;
  virtual Env& env() = 0;
  virtual void MakeFolder(std::string_view path) = 0;
  virtual void PutFile(std::string_view path, std::string_view bytes) = 0;
  // A file that exists but is hidden: `name` in `folder`. Returns the Windows path of the file
  // as the program would name it.
  virtual std::string PutHiddenFile(std::string_view folder, std::string_view name) = 0;
  virtual std::optional<std::string> Bytes(std::string_view path) = 0;
  virtual bool FolderExists(std::string_view path) = 0;
};

// The machine's own file system, drive C: mapped onto a temporary folder.
class HostMachine : public Machine {
 public:
  HostMachine() : env_({{'C', dir_.path()}}, 'C', errors_) {}
  Env& env() override { return env_; }
  void MakeFolder(std::string_view path) override { dir_.MakeDir(Relative(path)); }
  void PutFile(std::string_view path, std::string_view bytes) override {
    dir_.WriteFile(Relative(path), bytes);
  }
  std::string PutHiddenFile(std::string_view folder, std::string_view name) override {
#ifdef _WIN32
    const std::string relative = Relative(folder) + "/" + std::string(name);
    dir_.WriteFile(relative, "hidden");
    ::SetFileAttributesW((dir_.path() / relative).wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
    return std::string(folder) + "\\" + std::string(name);
#else
    dir_.WriteFile(Relative(folder) + "/." + std::string(name), "hidden");
    return std::string(folder) + "\\." + std::string(name);
#endif
  }
  std::optional<std::string> Bytes(std::string_view path) override {
    const std::filesystem::path file = dir_.path() / Relative(path);
    if (!std::filesystem::is_regular_file(file)) {
      return std::nullopt;
    }
    return test::ReadFile(file);
  }
  bool FolderExists(std::string_view path) override {
    return std::filesystem::is_directory(dir_.path() / Relative(path));
  }

 private:
  static std::string Relative(std::string_view path) {
    std::string relative;
    for (const std::string& element : ParseWindowsPath(path, 'c').elements) {
      relative += (relative.empty() ? "" : "/") + element;
    }
    return relative;
  }

  test::TempDir dir_;
  std::ostringstream errors_;
  HostEnv env_;
};

class MemMachine : public Machine {
 public:
  Env& env() override { return env_; }
  void MakeFolder(std::string_view path) override { env_.MakeFolder(path); }
  void PutFile(std::string_view path, std::string_view bytes) override {
    env_.PutFile(path, bytes);
  }
  std::string PutHiddenFile(std::string_view folder, std::string_view name) override {
    const std::string path = std::string(folder) + "\\" + std::string(name);
    env_.PutFile(path, "hidden", /*hidden=*/true);
    return path;
  }
  std::optional<std::string> Bytes(std::string_view path) override { return env_.FileBytes(path); }
  bool FolderExists(std::string_view path) override { return env_.FolderExists(path); }

 private:
  MemEnv env_;
};

struct MachineKind {
  std::string name;
  std::function<std::unique_ptr<Machine>()> make;
};

void PrintTo(const MachineKind& kind, std::ostream* out) {
  *out << kind.name;
}

class EnvConformanceTest : public testing::TestWithParam<MachineKind> {
 protected:
  EnvConformanceTest() : machine_(GetParam().make()), env_(machine_->env()) {}

  Names FindSorted(std::string_view pattern) {
    Names names = env_.FindFiles(pattern);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<Machine> machine_;
  Env& env_;
};

TEST_P(EnvConformanceTest, FindsFilesByPatternWithTheirOwnSpelling) {
  machine_->PutFile("C:\\Sulvo\\Import_VPA_20261207.txt", "a");
  machine_->PutFile("C:\\Sulvo\\import_b.TXT", "b");
  machine_->PutFile("C:\\Sulvo\\importX", "c");
  machine_->PutFile("C:\\Sulvo\\export.txt", "d");
  machine_->MakeFolder("C:\\Sulvo\\Import_old");
  machine_->PutHiddenFile("C:\\Sulvo", "import_hidden.txt");

  EXPECT_EQ(FindSorted("c:\\SULVO\\IMPORT*.*"),
            (Names{"Import_VPA_20261207.txt", "importX", "import_b.TXT"}));
  EXPECT_EQ(FindSorted("C:\\sulvo\\*.txt"),
            (Names{"Import_VPA_20261207.txt", "export.txt", "import_b.TXT"}));
  EXPECT_EQ(FindSorted("C:\\sulvo\\import?.*"), (Names{"importX"}));
  EXPECT_EQ(FindSorted("C:\\sulvo\\*.mdb"), Names{});
}

TEST_P(EnvConformanceTest, LooksUpOneFileWithoutRegardToCase) {
  machine_->PutFile("C:\\Sulvo\\Dati.mdb", "db");
  machine_->MakeFolder("C:\\Sulvo\\Bkp");
  machine_->PutHiddenFile("C:\\Sulvo", "nascosto.txt");

  EXPECT_EQ(env_.FindFiles("C:\\SULVO\\DATI.MDB"), Names{"Dati.mdb"});
  EXPECT_EQ(env_.FindFiles("c:/sulvo/bkp/../dati.mdb"), Names{"Dati.mdb"});
  EXPECT_TRUE(FileExists(env_, "\\sulvo\\dati.mdb"));
  EXPECT_TRUE(FileExists(env_, "sulvo\\dati.mdb"));  // from the current drive's root
  EXPECT_FALSE(FileExists(env_, "C:\\Sulvo\\Bkp"));  // a folder
  EXPECT_FALSE(FileExists(env_, "C:\\Sulvo"));
  EXPECT_FALSE(FileExists(env_, "C:\\Sulvo\\altro.mdb"));
  EXPECT_FALSE(FileExists(env_, "C:\\Manca\\dati.mdb"));
  EXPECT_EQ(env_.FindFiles("C:\\Manca\\*.*"), Names{});
  EXPECT_EQ(env_.FindFiles("C:\\"), Names{});
  EXPECT_EQ(env_.NativePath("C:\\SULVO\\DATI.MDB"), env_.NativePath("c:\\sulvo\\dati.mdb"));
  EXPECT_EQ(env_.CurrentDrive(), 'c');
}

TEST_P(EnvConformanceTest, DeletesOnlyTheMatchingFiles) {
  machine_->PutFile("C:\\Sulvo\\Bkp\\a.txt", "a");
  machine_->PutFile("C:\\Sulvo\\Bkp\\B.Txt", "b");
  machine_->PutFile("C:\\Sulvo\\Bkp\\keep.mdb", "k");
  machine_->PutFile("C:\\Sulvo\\Bkp\\Sub.txt\\inner.txt", "i");  // a folder that matches

  env_.DeleteFiles("c:\\sulvo\\BKP\\*.TXT");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Bkp\\a.txt"), std::nullopt);
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Bkp\\B.Txt"), std::nullopt);
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Bkp\\keep.mdb"), "k");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Bkp\\Sub.txt\\inner.txt"), "i");

  env_.DeleteFiles("C:\\SULVO\\BKP\\KEEP.MDB");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Bkp\\keep.mdb"), std::nullopt);

  EXPECT_NO_THROW(env_.DeleteFiles("C:\\Sulvo\\Bkp\\*.mdb"));
  EXPECT_NO_THROW(env_.DeleteFiles("C:\\Manca\\*.*"));
}

TEST_P(EnvConformanceTest, AnOpenFileCanNeitherBeDeletedNorOpenedAgain) {
  machine_->MakeFolder("C:\\Sulvo");
  const FileHandle log = env_.OpenTextFile("C:\\sulvo\\log.txt", OpenMode::kAppend);

  // Both refusals name the file and the number it is open under.
  const std::string number = "file n. " + std::to_string(log);
  try {
    env_.DeleteFiles("C:\\SULVO\\*.txt");
    ADD_FAILURE() << "deleted an open file";
  } catch (const FileError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("log.txt"), std::string::npos) << message;
    EXPECT_NE(message.find(number), std::string::npos) << message;
  }
  try {
    env_.OpenTextFile("C:\\SULVO\\LOG.TXT", OpenMode::kOutput);
    ADD_FAILURE() << "opened an open file again";
  } catch (const FileError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("C:\\SULVO\\LOG.TXT"), std::string::npos) << message;
    EXPECT_NE(message.find(number), std::string::npos) << message;
  }
  EXPECT_TRUE(env_.IsOpen(log));
  env_.WriteLine(log, "still here");
  env_.Close(log);
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\log.txt"), "still here\r\n");

  env_.DeleteFiles("C:\\SULVO\\*.txt");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\log.txt"), std::nullopt);
}

TEST_P(EnvConformanceTest, OutputEmptiesAFileAndAppendKeepsIt) {
  machine_->PutFile("C:\\Sulvo\\Out.txt", "old line\r\n");
  machine_->PutFile("C:\\Sulvo\\Log.txt", "first\r\n");

  const FileHandle out = env_.OpenTextFile("C:\\SULVO\\OUT.TXT", OpenMode::kOutput);
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Out.txt"), "");
  env_.WriteLine(out, "new");
  const FileHandle log = env_.OpenTextFile("c:\\sulvo\\log.txt", OpenMode::kAppend);
  env_.WriteLine(log, "second");
  env_.CloseAll();

  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Out.txt"), "new\r\n");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Log.txt"), "first\r\nsecond\r\n");
}

TEST_P(EnvConformanceTest, CreatesMissingFilesInTheExistingFolder) {
  machine_->MakeFolder("C:\\Sulvo");
  env_.Close(env_.OpenTextFile("C:\\SULVO\\Nuovo.txt", OpenMode::kAppend));
  env_.Close(env_.OpenTextFile("C:\\SULVO\\Vuoto.txt", OpenMode::kOutput));

  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Nuovo.txt"), "");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Vuoto.txt"), "");
  EXPECT_EQ(env_.FindFiles("C:\\sulvo\\nuovo.TXT"), Names{"Nuovo.txt"});
}

TEST_P(EnvConformanceTest, WritesLinesInTheStoreCodePageWithCrLf) {
  machine_->MakeFolder("C:\\Sulvo");
  const FileHandle file = env_.OpenTextFile("C:\\Sulvo\\etichette.txt", OpenMode::kOutput);
  env_.WriteLine(file, "Sconto – 2,00 €;Città");
  env_.WriteLine(file, "");
  env_.WriteLine(file, "漢字 Łódź");
  // Each line is in the file as soon as it is written, before the file is closed.
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\etichette.txt"),
            "Sconto \x96 2,00 \x80;Citt\xE0\r\n\r\n?? ?\xF3"
            "d?\r\n");
  env_.Close(file);
}

TEST_P(EnvConformanceTest, DoesNotCreateAMissingFolder) {
  machine_->MakeFolder("C:\\Sulvo");
  try {
    env_.OpenTextFile("C:\\Sulvo\\Manca\\log.txt", OpenMode::kAppend);
    FAIL() << "opened a file in a missing folder";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find("C:\\Sulvo\\Manca\\log.txt"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(env_.OpenTextFile("C:\\Sulvo\\Manca\\log.txt", OpenMode::kOutput), FileError);
  EXPECT_FALSE(machine_->FolderExists("C:\\Sulvo\\Manca"));
  EXPECT_THROW(env_.OpenTextFile("C:\\SULVO", OpenMode::kOutput), FileError);  // a folder
}

TEST_P(EnvConformanceTest, NeverGivesOutAFileNumberTwice) {
  machine_->MakeFolder("C:\\Sulvo");
  const FileHandle first = env_.OpenTextFile("C:\\Sulvo\\1.txt", OpenMode::kOutput);
  const FileHandle second = env_.OpenTextFile("C:\\Sulvo\\2.txt", OpenMode::kOutput);
  EXPECT_NE(first, second);

  env_.Close(first);
  EXPECT_FALSE(env_.IsOpen(first));
  EXPECT_TRUE(env_.IsOpen(second));
  const FileHandle third = env_.OpenTextFile("C:\\Sulvo\\3.txt", OpenMode::kOutput);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
  EXPECT_FALSE(env_.IsOpen(first));  // the closed file's number stays closed

  env_.WriteLine(third, "terzo");
  env_.WriteLine(second, "secondo");
  env_.CloseAll();
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\1.txt"), "");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\2.txt"), "secondo\r\n");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\3.txt"), "terzo\r\n");
}

TEST_P(EnvConformanceTest, WritingAfterCloseAllFails) {
  machine_->MakeFolder("C:\\Sulvo");
  const FileHandle first = env_.OpenTextFile("C:\\Sulvo\\1.txt", OpenMode::kOutput);
  const FileHandle second = env_.OpenTextFile("C:\\Sulvo\\2.txt", OpenMode::kAppend);
  env_.CloseAll();

  EXPECT_FALSE(env_.IsOpen(first));
  EXPECT_FALSE(env_.IsOpen(second));
  try {
    env_.WriteLine(first, "too late");
    FAIL() << "wrote to a closed file";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find("il file non è aperto"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(env_.WriteLine(0, "never opened"), FileError);
  EXPECT_NO_THROW(env_.Close(second));
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\1.txt"), "");
}

TEST_P(EnvConformanceTest, TemporaryFilesHaveNamesOfTheirOwnThatNoLabelPatternFinds) {
  machine_->PutFile("C:\\Sulvo\\Etichette\\Import_1.txt", "etichetta");
  std::vector<TemporaryFile> files;
  for (int i = 0; i < 3; ++i) {
    files.push_back(env_.NewTemporaryFile("C:\\SULVO\\etichette"));
  }

  Names names;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const WindowsPath path = ParseWindowsPath(files[i].path, 'c');
    const std::string name(path.Name());
    SCOPED_TRACE(files[i].path);
    EXPECT_TRUE(EqualsIgnoringCase(path.Parent().ToString(), "C:\\Sulvo\\Etichette"));
    EXPECT_TRUE(name.starts_with("~zav5") && name.ends_with(".tmp"));
    for (const char* pattern : {"*.txt", "import*.*", "Import_*.txt", "*.bat"}) {
      EXPECT_FALSE(MatchesWildcard(pattern, name)) << pattern;
    }
    names.push_back(name);
    files[i].file->Append("file " + std::to_string(i));
    files[i].file->Close();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a name given twice";

  // They are ordinary files, not hidden ones, found by their own pattern only.
  EXPECT_EQ(FindSorted("C:\\Sulvo\\Etichette\\~zav5*.tmp"), names);
  EXPECT_EQ(FindSorted("C:\\Sulvo\\Etichette\\*.txt"), Names{"Import_1.txt"});
  EXPECT_EQ(FindSorted("C:\\Sulvo\\Etichette\\import*.*"), Names{"Import_1.txt"});
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(env_.ReadFile(files[i].path), "file " + std::to_string(i));
  }

  const std::string missing = FileErrorOf([&] { env_.NewTemporaryFile("C:\\Sulvo\\Manca"); });
  EXPECT_NE(missing.find("C:\\Sulvo\\Manca"), std::string::npos) << missing;
  EXPECT_FALSE(machine_->FolderExists("C:\\Sulvo\\Manca"));
}

TEST_P(EnvConformanceTest, WritesBytesAsTheyAreAndClosesOnceOnly) {
  machine_->MakeFolder("C:\\Sulvo");
  TemporaryFile temporary = env_.NewTemporaryFile("C:\\Sulvo");
  const std::string pieces[] = {"riga uno\r\n", std::string("\0\xFF\x80\n", 4), "",
                                std::string(200 * 1024, 'x')};
  std::string expected;
  for (const std::string& piece : pieces) {
    temporary.file->Append(piece);
    expected += piece;
  }
  temporary.file->Sync();
  EXPECT_EQ(env_.ReadFile(temporary.path), expected);  // readable before it is closed
  temporary.file->Close();
  EXPECT_NO_THROW(temporary.file->Close());
  EXPECT_THROW(temporary.file->Append("tardi"), FileError);
  EXPECT_THROW(temporary.file->Sync(), FileError);
  EXPECT_EQ(machine_->Bytes(temporary.path), expected);

  // A file that is only destroyed is closed all the same: it can take its name.
  TemporaryFile dropped = env_.NewTemporaryFile("C:\\Sulvo");
  dropped.file->Append("abbandonato");
  dropped.file.reset();
  EXPECT_EQ(env_.RenameFile(dropped.path, "C:\\Sulvo\\Import_1.txt", false),
            RenameOutcome::kRenamed);
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\Import_1.txt"), "abbandonato");
}

TEST_P(EnvConformanceTest, ReadsOrdinaryFilesOnly) {
  machine_->PutFile("C:\\Sulvo\\Dati.txt", "dati\r\n");
  machine_->PutFile("C:\\Sulvo\\Vuoto.txt", "");
  machine_->MakeFolder("C:\\Sulvo\\Cartella");
  const std::string hidden = machine_->PutHiddenFile("C:\\Sulvo", "nascosto.txt");

  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"c:\\SULVO\\dati.TXT", "dati\r\n"},    {"C:\\Sulvo\\Vuoto.txt", ""},
      {"C:\\Sulvo\\Manca.txt", std::nullopt}, {"C:\\Manca\\Dati.txt", std::nullopt},
      {"C:\\Sulvo\\Cartella", std::nullopt},  {hidden, std::nullopt},
  };
  for (const auto& [path, bytes] : cases) {
    EXPECT_EQ(env_.ReadFile(path), bytes) << path;
  }
}

TEST_P(EnvConformanceTest, RenamesOverAnExistingFileOnlyWhenToldTo) {
  struct Case {
    const char* name;
    const char* existing;  // the file at the new name beforehand, or nullptr
    const char* to;
    bool replace;
    RenameOutcome outcome;
  };
  const Case cases[] = {
      {"free name", nullptr, "C:\\SULVO\\Import_1.txt", false, RenameOutcome::kRenamed},
      {"free name, replacing", nullptr, "c:\\sulvo\\Import_1.txt", true, RenameOutcome::kRenamed},
      {"taken", "Import_1.txt", "C:\\Sulvo\\Import_1.txt", false, RenameOutcome::kTargetExists},
      {"taken in another case", "Import_1.txt", "C:\\SULVO\\IMPORT_1.TXT", false,
       RenameOutcome::kTargetExists},
      {"taken, replacing", "Import_1.txt", "C:\\Sulvo\\Import_1.txt", true,
       RenameOutcome::kRenamed},
      {"taken in another case, replacing", "Import_1.txt", "c:\\sulvo\\import_1.TXT", true,
       RenameOutcome::kRenamed},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::unique_ptr<Machine> machine = GetParam().make();
    Env& env = machine->env();
    machine->PutFile("C:\\Sulvo\\~zav5-1-1.tmp", "nuovo");
    const std::string existing = test.existing ? "C:\\Sulvo\\" + std::string(test.existing) : "";
    if (test.existing) {
      machine->PutFile(existing, "vecchio");
    }

    EXPECT_EQ(env.RenameFile("C:\\sulvo\\~ZAV5-1-1.TMP", test.to, test.replace), test.outcome);
    if (test.outcome == RenameOutcome::kRenamed) {
      EXPECT_EQ(env.ReadFile(test.to), "nuovo");
      EXPECT_EQ(machine->Bytes("C:\\Sulvo\\~zav5-1-1.tmp"), std::nullopt);
      const Names left = env.FindFiles("C:\\Sulvo\\*.*");
      ASSERT_EQ(left.size(), 1u) << "the file was not replaced";
      if (!test.existing) {
        EXPECT_EQ(left.front(), "Import_1.txt");  // a new name is spelt as given
      }
    } else {
      EXPECT_EQ(machine->Bytes("C:\\Sulvo\\~zav5-1-1.tmp"), "nuovo");
      EXPECT_EQ(machine->Bytes(existing), "vecchio");
    }
  }
}

TEST_P(EnvConformanceTest, RenameFailsWhenTheFileOrTheNewFolderIsMissing) {
  machine_->PutFile("C:\\Sulvo\\a.tmp", "a");
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    const std::string missing_file =
        FileErrorOf([&] { env_.RenameFile("C:\\Sulvo\\manca.tmp", "C:\\Sulvo\\b.txt", replace); });
    EXPECT_NE(missing_file.find("C:\\Sulvo\\manca.tmp"), std::string::npos) << missing_file;
    const std::string missing_folder =
        FileErrorOf([&] { env_.RenameFile("C:\\Sulvo\\a.tmp", "C:\\Manca\\b.txt", replace); });
    EXPECT_NE(missing_folder.find("C:\\Sulvo\\a.tmp"), std::string::npos) << missing_folder;
  }
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\a.tmp"), "a");
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\b.txt"), std::nullopt);
}

TEST_P(EnvConformanceTest, CreatesFoldersWithTheirParentsButNotOverAFile) {
  machine_->PutFile("C:\\Sulvo\\file.txt", "f");
  env_.CreateFolder("C:\\SULVO\\Etichette\\Uscita\\Nuove");
  EXPECT_TRUE(machine_->FolderExists("C:\\Sulvo\\Etichette\\Uscita\\Nuove"));
  // Folders that are there, in any spelling, are left as they are and used.
  env_.CreateFolder("c:\\sulvo\\ETICHETTE\\uscita");
  env_.CreateFolder("C:\\");
  TemporaryFile inside = env_.NewTemporaryFile("c:\\sulvo\\etichette\\uscita\\nuove");
  inside.file->Close();
  EXPECT_EQ(FindSorted("C:\\Sulvo\\Etichette\\Uscita\\Nuove\\*.*").size(), 1u);

  for (const char* folder : {"C:\\Sulvo\\file.txt", "C:\\Sulvo\\FILE.TXT\\sotto"}) {
    const std::string message = FileErrorOf([&] { env_.CreateFolder(folder); });
    EXPECT_NE(message.find(folder), std::string::npos) << message;
  }
  EXPECT_EQ(machine_->Bytes("C:\\Sulvo\\file.txt"), "f");
}

TEST_P(EnvConformanceTest, ALockFileHasOneHolderAtATime) {
  machine_->MakeFolder("C:\\Sulvo\\Cartella");
  EXPECT_FALSE(env_.LockHeld("C:\\Sulvo\\zav5.lck"));
  EXPECT_FALSE(machine_->Bytes("C:\\Sulvo\\zav5.lck").has_value()) << "asking made the file";
  std::unique_ptr<FileLock> first = env_.LockFile("C:\\Sulvo\\zav5.lck");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(env_.LockHeld("C:\\SULVO\\ZAV5.LCK"));
  EXPECT_FALSE(env_.LockHeld("C:\\Sulvo\\altro.lck"));
  EXPECT_TRUE(machine_->Bytes("C:\\Sulvo\\zav5.lck").has_value()) << "no lock file";
  EXPECT_EQ(env_.LockFile("C:\\SULVO\\ZAV5.LCK"), nullptr);
  EXPECT_EQ(env_.LockFile("C:\\Sulvo\\zav5.lck"), nullptr);
  const std::unique_ptr<FileLock> other = env_.LockFile("C:\\Sulvo\\altro.lck");
  EXPECT_NE(other, nullptr) << "another lock file is another lock";

  first.reset();
  EXPECT_FALSE(env_.LockHeld("C:\\Sulvo\\zav5.lck")) << "the file stays, the lock went";
  EXPECT_NE(env_.LockFile("c:\\sulvo\\zav5.lck"), nullptr);

  for (const char* path : {"C:\\Manca\\zav5.lck", "C:\\Sulvo\\Cartella"}) {
    const std::string message = FileErrorOf([&] { env_.LockFile(path); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Envs, EnvConformanceTest,
    testing::Values(MachineKind{"Host", [] { return std::unique_ptr<Machine>(new HostMachine()); }},
                    MachineKind{"Mem", [] { return std::unique_ptr<Machine>(new MemMachine()); }}),
    [](const testing::TestParamInfo<MachineKind>& info) { return info.param.name; });

}  // namespace
}  // namespace zav5::platform
