#include "platform/fake/mem_env.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"

namespace zav5::platform {
namespace {

using namespace std::chrono;
using Names = std::vector<std::string>;

TEST(MemEnvTest, RunsOnAClockTheTestSets) {
  MemEnv env;
  EXPECT_EQ(env.Now(), local_days{year{2000} / 1 / 1});
  const LocalTime morning = local_days{year{2026} / 12 / 7} + hours{8} + minutes{30};
  env.SetNow(morning);
  EXPECT_EQ(env.Now(), morning);
  env.Advance(seconds{90});
  EXPECT_EQ(env.Now(), morning + minutes{1} + seconds{30});
}

TEST(MemEnvTest, RecordsWhatTheOperatorWasShown) {
  MemEnv env;
  env.MessageBox("Impossibile aprire dati.mdb", "ZAV5");
  env.MessageBox("Fine", "");
  env.Warn("il registro non si apre");
  EXPECT_EQ(env.message_boxes(), (Names{"Impossibile aprire dati.mdb", "Fine"}));
  EXPECT_EQ(env.message_box_captions(), (Names{"ZAV5", ""}));
  EXPECT_EQ(env.warnings(), Names{"il registro non si apre"});
}

TEST(MemEnvTest, SpellsNativePathsAsTheFilesWereCreated) {
  MemEnv env('d');
  env.PutFile("D:\\Sulvo\\Bkp\\Dati.mdb", "db");
  EXPECT_EQ(env.CurrentDrive(), 'd');
  EXPECT_EQ(env.NativePath("d:/SULVO//bkp/../BKP/DATI.MDB"), "D:\\Sulvo\\Bkp\\Dati.mdb");
  EXPECT_EQ(env.NativePath("\\SULVO\\Nuova\\X.txt"), "D:\\Sulvo\\Nuova\\X.txt");
  EXPECT_EQ(env.NativePath("C:\\sulvo"), "C:\\sulvo");
}

TEST(MemEnvTest, KeepsFilesAndFoldersApart) {
  MemEnv env;
  env.PutFile("C:\\Sulvo\\Dati.mdb", "db");
  EXPECT_TRUE(env.FolderExists("c:\\SULVO"));
  EXPECT_TRUE(env.FolderExists("C:\\"));
  EXPECT_FALSE(env.FolderExists("C:\\Sulvo\\Dati.mdb"));
  EXPECT_EQ(env.FileBytes("C:\\SULVO\\DATI.MDB"), "db");
  EXPECT_EQ(env.FileBytes("C:\\Sulvo"), std::nullopt);
  EXPECT_EQ(env.FileBytes("C:\\Sulvo\\altro.mdb"), std::nullopt);

  EXPECT_THROW(env.MakeFolder("C:\\Sulvo\\Dati.mdb\\sotto"), FileError);
  EXPECT_THROW(env.PutFile("C:\\SULVO", "x"), FileError);

  env.PutFile("C:\\SULVO\\DATI.MDB", "nuovo");  // replaces, keeps the spelling
  EXPECT_EQ(env.FindFiles("C:\\Sulvo\\*.*"), Names{"Dati.mdb"});
  EXPECT_EQ(env.FileBytes("C:\\Sulvo\\Dati.mdb"), "nuovo");
}

TEST(MemEnvTest, HidesHiddenFilesFromSearchesOnly) {
  MemEnv env;
  env.PutFile("C:\\Sulvo\\nascosto.txt", "h", /*hidden=*/true);
  env.PutFile("C:\\Sulvo\\visibile.txt", "v");
  EXPECT_EQ(env.FindFiles("C:\\Sulvo\\*.txt"), Names{"visibile.txt"});
  EXPECT_FALSE(FileExists(env, "C:\\Sulvo\\nascosto.txt"));
  env.DeleteFiles("C:\\Sulvo\\*.*");
  EXPECT_EQ(env.FileBytes("C:\\Sulvo\\nascosto.txt"), "h");
  EXPECT_EQ(env.FileBytes("C:\\Sulvo\\visibile.txt"), std::nullopt);
}

TEST(MemEnvTest, TreatsNetworkSharesAsFolders) {
  MemEnv env;
  env.MakeFolder("\\\\negozio\\scambio\\etichette");
  const FileHandle file =
      env.OpenTextFile("\\\\NEGOZIO\\Scambio\\Etichette\\Import_1.txt", OpenMode::kOutput);
  env.WriteLine(file, "riga");
  env.Close(file);
  EXPECT_EQ(env.FindFiles("\\\\negozio\\scambio\\etichette\\import*.*"), Names{"Import_1.txt"});
  EXPECT_EQ(env.FileBytes("//negozio/scambio/etichette/import_1.txt"), "riga\r\n");
  EXPECT_THROW(env.OpenTextFile("\\\\negozio\\altro\\x.txt", OpenMode::kOutput), FileError);
}

TEST(MemEnvTest, RenamesOnlyWithinOneDriveOrShare) {
  MemEnv env;
  env.PutFile("C:\\Sulvo\\a.tmp", "a");
  env.PutFile("\\\\negozio\\scambio\\b.tmp", "b");
  env.MakeFolder("D:\\Etichette");
  env.MakeFolder("\\\\negozio\\altro");
  const struct {
    const char* from;
    const char* to;
  } other_disk[] = {
      {"C:\\Sulvo\\a.tmp", "D:\\Etichette\\a.txt"},
      {"C:\\Sulvo\\a.tmp", "\\\\negozio\\scambio\\a.txt"},
      {"\\\\negozio\\scambio\\b.tmp", "\\\\negozio\\altro\\b.txt"},
      {"\\\\negozio\\scambio\\b.tmp", "C:\\Sulvo\\b.txt"},
  };
  for (const auto& [from, to] : other_disk) {
    for (const bool replace : {false, true}) {
      EXPECT_EQ(env.RenameFile(from, to, replace), RenameOutcome::kOtherVolume) << to;
      EXPECT_EQ(env.FileBytes(to), std::nullopt) << to;
    }
  }
  EXPECT_EQ(env.FileBytes("C:\\Sulvo\\a.tmp"), "a");
  EXPECT_EQ(env.RenameFile("\\\\NEGOZIO\\Scambio\\b.tmp", "\\\\negozio\\scambio\\b.txt", false),
            RenameOutcome::kRenamed);
  EXPECT_EQ(env.FileBytes("\\\\negozio\\scambio\\b.txt"), "b");
}

TEST(MemEnvTest, ALockHeldByAnotherProcessIsRefusedUntilReleased) {
  MemEnv env;
  env.MakeFolder("C:\\Sulvo");
  env.HoldLock("C:\\Sulvo\\zav5.lck");
  EXPECT_EQ(env.LockFile("C:\\SULVO\\ZAV5.LCK"), nullptr);
  env.ReleaseLock("c:\\sulvo\\zav5.lck");
  EXPECT_NE(env.LockFile("C:\\Sulvo\\zav5.lck"), nullptr);
}

}  // namespace
}  // namespace zav5::platform
