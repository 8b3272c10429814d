#include "platform/posix/posix_env.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "errors.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace zav5::platform {
namespace {

using test::FileErrorOf;

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class PosixEnvTest : public testing::Test {
 protected:
  PosixEnvTest() : env_({{'c', dir_.path()}}, 'C', errors_) {}

  test::TempDir dir_;
  std::ostringstream errors_;
  PosixEnv env_;
};

// Waits for a file that a started process writes; gives up after a generous bound so that a
// process that never runs fails the test instead of hanging it.
bool AppearsWithin(const fs::path& file, std::chrono::seconds bound) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < until) {
    if (fs::exists(file) && fs::file_size(file) > 0) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Calls `attempt` until it returns true; false when it has not within a generous bound.
template <typename Attempt>
bool Eventually(Attempt attempt, std::chrono::seconds bound = std::chrono::seconds(30)) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (!attempt()) {
    if (std::chrono::steady_clock::now() >= until) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A forked child process, killed and reaped when the test is done with it, however it ends.
class ChildProcess {
 public:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Kills the child with SIGKILL, as a crash or the task manager would end it, and reaps it.
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
    }
  }

 private:
  pid_t pid_;
};

TEST_F(PosixEnvTest, ReachesEachExistingElementWithoutRegardToCase) {
  dir_.WriteFile("Sulvo/BKP/Dati.mdb", "db");
  const fs::path root = dir_.path();

  EXPECT_EQ(env_.NativePath("C:\\SULVO\\bkp\\DATI.MDB"), (root / "Sulvo/BKP/Dati.mdb").string());
  EXPECT_EQ(env_.NativePath("c:/sulvo//Bkp/../bkp/dati.mdb"),
            (root / "Sulvo/BKP/Dati.mdb").string());
  EXPECT_EQ(env_.NativePath("\\SULVO"), (root / "Sulvo").string());
  EXPECT_EQ(env_.NativePath("C:\\"), root.string());
}

TEST_F(PosixEnvTest, KeepsMissingElementsAsWritten) {
  dir_.MakeDir("Sulvo");
  const fs::path root = dir_.path();

  EXPECT_EQ(env_.NativePath("C:\\SULVO\\Nuova\\Sub\\X.txt"),
            (root / "Sulvo/Nuova/Sub/X.txt").string());
  // A file in the middle of a path has nothing below it.
  dir_.WriteFile("Sulvo/file", "");
  EXPECT_EQ(env_.NativePath("C:\\SULVO\\FILE\\X"), (root / "Sulvo/file/X").string());
}

TEST_F(PosixEnvTest, PrefersTheExactSpellingThenTheFirstInOrder) {
  for (const char* spelling : {"sulvo", "sUlvo", "SULVO", "Sulvo"}) {
    dir_.MakeDir(spelling);
  }
  const fs::path root = dir_.path();

  EXPECT_EQ(env_.NativePath("C:\\sulvo"), (root / "sulvo").string());
  EXPECT_EQ(env_.NativePath("C:\\Sulvo"), (root / "Sulvo").string());
  EXPECT_EQ(env_.NativePath("C:\\SULVo"), (root / "SULVO").string());
}

TEST_F(PosixEnvTest, TellsHowToMapADriveItCannotReach) {
  const std::string unmapped = FileErrorOf([&] { env_.NativePath("q:\\sulvo\\dati.mdb"); });
  EXPECT_NE(unmapped.find("q:\\sulvo\\dati.mdb"), std::string::npos) << unmapped;
  EXPECT_NE(unmapped.find("l'unità Q: non è collegata a una cartella"), std::string::npos)
      << unmapped;
  EXPECT_NE(unmapped.find("--drive Q="), std::string::npos) << unmapped;

  const std::string network = FileErrorOf([&] { env_.NativePath("\\\\server\\share\\x.txt"); });
  EXPECT_NE(network.find("\\\\server\\share\\x.txt"), std::string::npos) << network;
  EXPECT_NE(network.find("--drive"), std::string::npos) << network;

  EXPECT_EQ(env_.FindFiles("Q:\\sulvo\\*.*"), Names{});
  EXPECT_EQ(env_.FindFiles("\\\\server\\share\\x.txt"), Names{});
  EXPECT_THROW(env_.DeleteFiles("Q:\\sulvo\\*.*"), FileError);
  EXPECT_THROW(env_.OpenTextFile("Q:\\log.txt", OpenMode::kAppend), FileError);
}

TEST_F(PosixEnvTest, MapsDriveLettersInEitherCase) {
  test::TempDir other;
  other.WriteFile("x.txt", "");
  PosixEnv env({{'c', dir_.path()}, {'D', other.path()}}, 'd', errors_);

  EXPECT_EQ(env.CurrentDrive(), 'd');
  EXPECT_EQ(env.FindFiles("d:\\X.TXT"), Names{"x.txt"});
  EXPECT_EQ(env.FindFiles("\\x.txt"), Names{"x.txt"});
  EXPECT_EQ(env.FindFiles("C:\\x.txt"), Names{});
  EXPECT_THROW(PosixEnv({{'1', dir_.path()}}), std::invalid_argument);
  EXPECT_THROW(PosixEnv({}, ':'), std::invalid_argument);
}

TEST_F(PosixEnvTest, FindsOnlyOrdinaryFiles) {
  dir_.WriteFile("Sulvo/Import_1.txt", "1");
  dir_.WriteFile("Sulvo/.import_hidden.txt", "h");
  dir_.MakeDir("Sulvo/Import_dir");
  dir_.MakeDir("elsewhere");
  dir_.WriteFile("target.txt", "t");
  const fs::path sulvo = dir_.path() / "Sulvo";
  fs::create_directory_symlink(dir_.path() / "elsewhere", sulvo / "import_link");
  fs::create_symlink(dir_.path() / "target.txt", sulvo / "import_alias.txt");
  fs::create_symlink(dir_.path() / "missing.txt", sulvo / "import_dangling.txt");
  ASSERT_EQ(::mkfifo((sulvo / "import_fifo").c_str(), 0600), 0);

  Names found = env_.FindFiles("C:\\Sulvo\\import*.*");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (Names{"Import_1.txt", "import_alias.txt"}));
  EXPECT_EQ(env_.FindFiles("C:\\Sulvo\\import_fifo"), Names{});
  EXPECT_EQ(env_.FindFiles("C:\\Sulvo\\import_link"), Names{});
  EXPECT_EQ(env_.FindFiles("C:\\Sulvo\\.import_hidden.txt"), Names{});
  EXPECT_EQ(env_.FindFiles("C:\\Sulvo\\IMPORT_ALIAS.TXT"), Names{"import_alias.txt"});

  // Deleting by pattern leaves what it cannot find alone, and removes a link, not its target.
  env_.DeleteFiles("C:\\Sulvo\\*.*");
  EXPECT_TRUE(fs::exists(fs::symlink_status(sulvo / "import_fifo")));
  EXPECT_TRUE(fs::exists(sulvo / ".import_hidden.txt"));
  EXPECT_TRUE(fs::is_directory(sulvo / "import_link"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(sulvo / "import_alias.txt")));
  EXPECT_FALSE(fs::exists(sulvo / "Import_1.txt"));
  EXPECT_EQ(test::ReadFile(dir_.path() / "target.txt"), "t");
}

TEST_F(PosixEnvTest, RefusesToOpenWhatIsNotAnOrdinaryFile) {
  dir_.MakeDir("Sulvo");
  const fs::path fifo = dir_.path() / "Sulvo/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // With a reader at the other end, opening the FIFO for writing would succeed at once.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);

  const std::string message =
      FileErrorOf([&] { env_.OpenTextFile("C:\\Sulvo\\PIPE", OpenMode::kAppend); });
  EXPECT_NE(message.find("C:\\Sulvo\\PIPE"), std::string::npos) << message;
  EXPECT_NE(message.find("non è un file ordinario"), std::string::npos) << message;
  EXPECT_FALSE(env_.IsOpen(1));
  ::close(reader);
}

TEST_F(PosixEnvTest, NamesTheFileAndTheReasonWhenItCannotCreateOne) {
  const std::string message =
      FileErrorOf([&] { env_.OpenTextFile("C:\\Manca\\log.txt", OpenMode::kOutput); });
  EXPECT_NE(message.find("C:\\Manca\\log.txt"), std::string::npos) << message;
  EXPECT_NE(message.find((dir_.path() / "Manca/log.txt").string()), std::string::npos) << message;
  EXPECT_NE(message.find("file o cartella inesistente"), std::string::npos) << message;
}

TEST_F(PosixEnvTest, ClosesItsFilesWhenDestroyed) {
  dir_.MakeDir("Sulvo");
  {
    PosixEnv env({{'c', dir_.path()}}, 'c', errors_);
    env.WriteLine(env.OpenTextFile("C:\\Sulvo\\log.txt", OpenMode::kOutput), "riga");
  }
  // The descriptor went with the Env: another Env may now open and delete the file.
  EXPECT_EQ(test::ReadFile(dir_.path() / "Sulvo/log.txt"), "riga\r\n");
  env_.Close(env_.OpenTextFile("C:\\Sulvo\\log.txt", OpenMode::kAppend));
  env_.DeleteFiles("C:\\Sulvo\\log.txt");
  EXPECT_FALSE(fs::exists(dir_.path() / "Sulvo/log.txt"));
}

TEST_F(PosixEnvTest, ShowsTheMessageBoxAsOneLineOnTheErrorStream) {
  env_.MessageBox("Impossibile aprire dati.mdb", "ZAV5");
  env_.MessageBox("Prima riga\r\nseconda\nterza", "ZAV5");
  env_.Warn("il registro non si apre");
  EXPECT_EQ(errors_.str(),
            "ZAV5: Impossibile aprire dati.mdb\n"
            "ZAV5: Prima riga seconda terza\n"
            "il registro non si apre\n");
}

// Sets the time zone for one test and puts the old one back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      old_ = old;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST_F(PosixEnvTest, ReadsTheLocalClock) {
  using namespace std::chrono;
  for (const auto& [zone, offset] :
       {std::pair{"UTC0", hours{0}}, std::pair{"XXX-3", hours{3}}, std::pair{"YYY+5", hours{-5}}}) {
    ScopedTimeZone scoped(zone);
    const auto before = floor<seconds>(system_clock::now());
    const LocalTime now = env_.Now();
    const auto after = floor<seconds>(system_clock::now());
    const LocalTime low{before.time_since_epoch() + offset};
    const LocalTime high{after.time_since_epoch() + offset};
    EXPECT_LE(low, now) << zone;
    EXPECT_LE(now, high) << zone;
  }
}

TEST_F(PosixEnvTest, StartScriptHandsTheScriptsWindowsPathToTheLauncherInASessionApart) {
  dir_.WriteFile("sulvo/frontalini.bat", "cls\r\n");
  const fs::path marker = dir_.path() / "marker";
  // sh -c TEXT ARG0: the script's path, appended by StartScript, arrives as $0.
  env_.SetScriptLauncher({"/bin/sh", "-c",
                          "printf '%s|%s' \"$0\" \"$(ps -o sid= -p $$ | tr -d ' ')\" > '" +
                              marker.string() + ".tmp' && mv '" + marker.string() + ".tmp' '" +
                              marker.string() + "'"});
  env_.StartScript("C:\\SULVO\\frontalini.bat");
  ASSERT_TRUE(AppearsWithin(marker, std::chrono::seconds(30)));
  const std::string text = test::ReadFile(marker);
  const std::size_t bar = text.find('|');
  EXPECT_EQ(text.substr(0, bar), "C:\\SULVO\\frontalini.bat");
  EXPECT_NE(text.substr(bar + 1), std::to_string(::getsid(0)))
      << "a Ctrl+C or hang-up of the program's session must not reach the script";
}

TEST_F(PosixEnvTest, StartScriptReturnsWithoutWaitingForTheScript) {
  dir_.WriteFile("sulvo/frontalini.bat", "cls\r\n");
  const fs::path marker = dir_.path() / "late";
  env_.SetScriptLauncher(
      {"/bin/sh", "-c", "exec 2>/dev/null; sleep 3; : > '" + marker.string() + "'"});
  env_.StartScript("C:\\sulvo\\frontalini.bat");
  EXPECT_FALSE(fs::exists(marker)) << "StartScript waited for the script to end";
}

TEST_F(PosixEnvTest, StartScriptFailsWithAReasonWhenTheScriptOrItsLauncherIsMissing) {
  dir_.WriteFile("sulvo/frontalini.bat", "cls\r\n");
  const auto start = [&](std::string_view script) {
    return FileErrorOf([&] { env_.StartScript(script); });
  };
  EXPECT_NE(start("C:\\sulvo\\frontalini.bat").find("nessun programma"), std::string::npos)
      << "no launcher set";
  env_.SetScriptLauncher({"/bin/true"});
  EXPECT_NE(start("C:\\sulvo\\manca.bat").find("file non trovato"), std::string::npos);
  env_.SetScriptLauncher({(dir_.path() / "no-such-program").string()});
  EXPECT_NE(start("C:\\sulvo\\frontalini.bat").find("no-such-program"), std::string::npos);
}

TEST_F(PosixEnvTest, ALockHeldByAnotherProcessIsFreeOnceThatProcessIsKilled) {
  dir_.MakeDir("sulvo");
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  ChildProcess child(::fork());
  ASSERT_GE(child.pid(), 0);
  if (child.pid() == 0) {
    // The other instance: takes the lock, says how it went, and holds it until it is killed.
    ::close(report[0]);
    char outcome = 'e';
    std::unique_ptr<FileLock> lock;
    try {
      lock = env_.LockFile("C:\\sulvo\\zav5.lck");
      outcome = lock ? 'y' : 'n';
    } catch (...) {
    }
    [[maybe_unused]] const ssize_t written = ::write(report[1], &outcome, 1);
    for (;;) {
      ::pause();
    }
  }
  ::close(report[1]);
  pollfd answer{report[0], POLLIN, 0};
  char outcome = '?';
  const bool answered = ::poll(&answer, 1, 30'000) == 1 && ::read(report[0], &outcome, 1) == 1;
  ::close(report[0]);
  ASSERT_TRUE(answered) << "the child did not report";
  ASSERT_EQ(outcome, 'y') << "the child could not take the lock";

  EXPECT_EQ(env_.LockFile("C:\\SULVO\\ZAV5.LCK"), nullptr);
  EXPECT_TRUE(env_.LockHeld("C:\\sulvo\\zav5.lck"));
  EXPECT_EQ(env_.ReadFile("C:\\sulvo\\zav5.lck"), std::to_string(child.pid()) + "\n");

  child.Kill();
  std::unique_ptr<FileLock> lock;
  EXPECT_TRUE(Eventually([&] { return (lock = env_.LockFile("C:\\sulvo\\zav5.lck")) != nullptr; }))
      << "the lock outlived its holder";
  EXPECT_EQ(env_.ReadFile("C:\\sulvo\\zav5.lck"), std::to_string(::getpid()) + "\n");
}

TEST_F(PosixEnvTest, AStartedScriptDoesNotInheritTheLock) {
  dir_.WriteFile("sulvo/frontalini.bat", "cls\r\n");
  std::unique_ptr<FileLock> lock = env_.LockFile("C:\\sulvo\\zav5.lck");
  ASSERT_NE(lock, nullptr);
  // The script's process tells its number and lives on; exec keeps the descriptors it has.
  const fs::path marker = dir_.path() / "pid";
  env_.SetScriptLauncher({"/bin/sh", "-c",
                          "echo $$ > '" + marker.string() + ".tmp' && mv '" + marker.string() +
                              ".tmp' '" + marker.string() + "' && exec sleep 120"});
  env_.StartScript("C:\\sulvo\\frontalini.bat");
  ASSERT_TRUE(AppearsWithin(marker, std::chrono::seconds(30)));
  const pid_t script = std::stoi(test::ReadFile(marker));
  ASSERT_GT(script, 0);

  lock.reset();
  EXPECT_EQ(::kill(script, 0), 0) << "the script is no longer running";
  EXPECT_NE(env_.LockFile("C:\\sulvo\\zav5.lck"), nullptr) << "the script holds the lock";
  ::kill(script, SIGKILL);
}

}  // namespace
}  // namespace zav5::platform
