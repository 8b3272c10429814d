// What the Windows Env does beyond the cases every Env shares: the file attributes of Windows,
// its file sharing, the command interpreter and the message box without a window.
#include "platform/windows/windows_env.h"

#include <windows.h>
// windows.h names MessageBoxA MessageBox; the Env's own MessageBox is meant below.
#undef MessageBox

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"
#include "support/temp_dir.h"

namespace zav5::platform {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class WindowsEnvTest : public testing::Test {
 protected:
  WindowsEnvTest() : env_({{'c', dir_.path()}}, 'C', errors_) { dir_.MakeDir("sulvo"); }

  void SetAttributes(std::string_view relative, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW((dir_.path() / relative).wstring().c_str(), attributes));
  }

  test::TempDir dir_;
  std::ostringstream errors_;
  WindowsEnv env_;
};

TEST_F(WindowsEnvTest, FindsNeitherHiddenNorSystemFilesNorFolders) {
  dir_.WriteFile("sulvo/Import_1.txt", "a");
  dir_.WriteFile("sulvo/Import_2.txt", "hidden");
  dir_.WriteFile("sulvo/Import_3.txt", "system");
  dir_.WriteFile("sulvo/Import_4.txt", "read-only");
  dir_.MakeDir("sulvo/Import_5.txt");
  SetAttributes("sulvo/Import_2.txt", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes("sulvo/Import_3.txt", FILE_ATTRIBUTE_SYSTEM);
  SetAttributes("sulvo/Import_4.txt", FILE_ATTRIBUTE_READONLY);

  Names found = env_.FindFiles("C:\\SULVO\\import*.txt");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (Names{"Import_1.txt", "Import_4.txt"}));
  EXPECT_TRUE(env_.FindFiles("C:\\sulvo\\Import_3.txt").empty());

  // What is not found is not deleted either.
  SetAttributes("sulvo/Import_4.txt", FILE_ATTRIBUTE_NORMAL);
  env_.DeleteFiles("C:\\sulvo\\Import*.txt");
  EXPECT_FALSE(fs::exists(dir_.path() / "sulvo/Import_1.txt"));
  EXPECT_TRUE(fs::exists(dir_.path() / "sulvo/Import_2.txt"));
  EXPECT_TRUE(fs::exists(dir_.path() / "sulvo/Import_3.txt"));
  EXPECT_TRUE(fs::is_directory(dir_.path() / "sulvo/Import_5.txt"));
}

TEST_F(WindowsEnvTest, NamesEveryElementAsOnTheDiskAndKeepsTheRestAsWritten) {
  dir_.MakeDir("sulvo/Neg01");
  dir_.WriteFile("sulvo/Neg01/Dati.MDB", "db");
  const std::string root = (dir_.path()).string();
  EXPECT_EQ(env_.NativePath("c:\\SULVO\\neg01\\dati.mdb"), root + "\\sulvo\\Neg01\\Dati.MDB");
  EXPECT_EQ(env_.NativePath("C:\\sulvo\\NEG02\\Dati.mdb"), root + "\\sulvo\\NEG02\\Dati.mdb");
  // A drive the map leaves out is the machine's own.
  EXPECT_EQ(env_.NativePath("q:\\Manca\\x.txt"), "Q:\\Manca\\x.txt");
  EXPECT_EQ(env_.NativePath("\\\\server\\share\\x.txt"), "\\\\server\\share\\x.txt");
}

TEST_F(WindowsEnvTest, AnOpenFileCanBeReadByOthersButNotDeleted) {
  const FileHandle log = env_.OpenTextFile("C:\\sulvo\\log.txt", OpenMode::kAppend);
  env_.WriteLine(log, "perché");
  // Another program reads the run log while the program writes it.
  EXPECT_EQ(test::ReadFile(dir_.path() / "sulvo/log.txt"), "perch\xE9\r\n");
  EXPECT_THROW(env_.DeleteFiles("C:\\sulvo\\*.txt"), FileError);
  EXPECT_FALSE(::DeleteFileW((dir_.path() / "sulvo/log.txt").wstring().c_str()));
  env_.Close(log);
  env_.DeleteFiles("C:\\sulvo\\*.txt");
  EXPECT_FALSE(fs::exists(dir_.path() / "sulvo/log.txt"));
}

TEST_F(WindowsEnvTest, AppendingAddsAtTheEndOfWhatAnotherProgramWrote) {
  dir_.WriteFile("sulvo/log.txt", "prima\r\n");
  const FileHandle log = env_.OpenTextFile("C:\\sulvo\\log.txt", OpenMode::kAppend);
  env_.WriteLine(log, "seconda");
  env_.Close(log);
  const FileHandle output = env_.OpenTextFile("C:\\sulvo\\nuovo.txt", OpenMode::kOutput);
  env_.Close(output);
  EXPECT_EQ(test::ReadFile(dir_.path() / "sulvo/log.txt"), "prima\r\nseconda\r\n");
  EXPECT_EQ(test::ReadFile(dir_.path() / "sulvo/nuovo.txt"), "");
}

TEST_F(WindowsEnvTest, RefusesFoldersAndMissingFoldersWithTheReason) {
  for (const char* path : {"C:\\sulvo", "C:\\manca\\log.txt"}) {
    SCOPED_TRACE(path);
    try {
      env_.OpenTextFile(path, OpenMode::kOutput);
      ADD_FAILURE() << "opened";
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }
}

TEST_F(WindowsEnvTest, StartsAScriptThroughTheCommandInterpreterWithoutWaiting) {
  dir_.WriteFile("sulvo/prova.bat", "@echo off\r\nping -n 2 127.0.0.1 > nul\r\necho fatto> \"" +
                                        (dir_.path() / "sulvo" / "esito.txt").string() + "\"\r\n");
  const auto start = std::chrono::steady_clock::now();
  env_.StartScript("C:\\SULVO\\prova.bat");
  // The script waits a second before it writes: the call is back long before that.
  EXPECT_FALSE(fs::exists(dir_.path() / "sulvo" / "esito.txt"));
  const fs::path result = dir_.path() / "sulvo" / "esito.txt";
  while (!fs::exists(result) &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(fs::exists(result)) << "the script did not run";
  EXPECT_THROW(env_.StartScript("C:\\sulvo\\manca.bat"), FileError);
}

TEST_F(WindowsEnvTest, WithoutWindowsTheMessageBoxIsOneLineOnTheErrorStream) {
  env_.SetMessageBoxWindows(false);
  env_.MessageBox("ERRORE : FILE c:\\dorn\\sulvo.mdb\r\nNON ESISTE ", "ZAV5");
  env_.Warn("attenzione");
  EXPECT_EQ(errors_.str(), "ZAV5: ERRORE : FILE c:\\dorn\\sulvo.mdb NON ESISTE \nattenzione\n");
}

// Waits for `condition` within a generous bound; false when it never held.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST_F(WindowsEnvTest, OthersMayReadTheLockFileButNeitherWriteNorDeleteIt) {
  const std::unique_ptr<FileLock> lock = env_.LockFile("C:\\sulvo\\zav5.lck");
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(env_.ReadFile("C:\\SULVO\\ZAV5.LCK"), std::to_string(::GetCurrentProcessId()) + "\n");
  const std::wstring native = (dir_.path() / "sulvo" / "zav5.lck").wstring();
  HANDLE writer = ::CreateFileW(native.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) {
    ::CloseHandle(writer);
  }
  EXPECT_FALSE(::DeleteFileW(native.c_str()));
}

TEST_F(WindowsEnvTest, AFileHeldByAnotherProcessIsFreeOnceThatProcessIsKilled) {
  // Taken before the other process starts, which inherits every inheritable handle.
  std::unique_ptr<FileLock> lock = env_.LockFile("C:\\sulvo\\zav5.lck");
  ASSERT_NE(lock, nullptr);

  // The other process: the command interpreter, which creates the file for the output of
  // "set /p" and keeps it open while it waits for a line on its input that never comes.
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input_read = nullptr;
  HANDLE input_write = nullptr;
  ASSERT_TRUE(::CreatePipe(&input_read, &input_write, &inherited, 0));
  ::SetHandleInformation(input_write, HANDLE_FLAG_INHERIT, 0);
  const fs::path held = dir_.path() / "sulvo" / "altro.lck";
  std::wstring command = L"cmd.exe /d /c set /p riga= > \"" + held.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input_read;
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  ::CloseHandle(input_read);
  ASSERT_TRUE(started) << ::GetLastError();
  ::CloseHandle(process.hThread);

  EXPECT_TRUE(Eventually([&] { return fs::exists(held); })) << "the file was not created";
  EXPECT_EQ(env_.LockFile("C:\\SULVO\\ALTRO.LCK"), nullptr);
  // The other process has every inheritable handle of this one, and not the lock.
  lock.reset();
  EXPECT_NE(env_.LockFile("C:\\sulvo\\zav5.lck"), nullptr);
  EXPECT_EQ(::WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the other process has ended";

  ::TerminateProcess(process.hProcess, 1);
  ::WaitForSingleObject(process.hProcess, 30'000);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(input_write);
  std::unique_ptr<FileLock> freed;
  EXPECT_TRUE(Eventually([&] {
    return (freed = env_.LockFile("C:\\sulvo\\altro.lck")) != nullptr;
  })) << "the file outlived the process that held it";
}

}  // namespace
}  // namespace zav5::platform
