#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "errors.h"
#include "platform/posix/posix_env.h"
#include "support/temp_dir.h"

namespace zav5::platform {
namespace {

namespace fs = std::filesystem;

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

class StartScriptTest : public ::testing::Test {
 protected:
  StartScriptTest() : env_({{'C', dir_.path()}}, 'C', errors_) {
    dir_.WriteFile("sulvo/frontalini.bat", "cls\r\n");
  }

  std::string ErrorOf(std::string_view script) {
    try {
      env_.StartScript(script);
    } catch (const FileError& error) {
      return error.what();
    }
    ADD_FAILURE() << "no FileError";
    return "";
  }

  testing::TempDir dir_;
  std::ostringstream errors_;
  PosixEnv env_;
};

TEST_F(StartScriptTest, HandsTheScriptsWindowsPathToTheLauncherInASessionApart) {
  const fs::path marker = dir_.path() / "marker";
  // sh -c TEXT ARG0: the script's path, appended by StartScript, arrives as $0.
  env_.SetScriptLauncher({"/bin/sh", "-c",
                          "printf '%s|%s' \"$0\" \"$(ps -o sid= -p $$ | tr -d ' ')\" > '" +
                              marker.string() + ".tmp' && mv '" + marker.string() + ".tmp' '" +
                              marker.string() + "'"});
  env_.StartScript("C:\\SULVO\\frontalini.bat");
  ASSERT_TRUE(AppearsWithin(marker, std::chrono::seconds(30)));
  const std::string text = testing::ReadFile(marker);
  const std::size_t bar = text.find('|');
  EXPECT_EQ(text.substr(0, bar), "C:\\SULVO\\frontalini.bat");
  EXPECT_NE(text.substr(bar + 1), std::to_string(::getsid(0)))
      << "a Ctrl+C or hang-up of the program's session must not reach the script";
}

TEST_F(StartScriptTest, ReturnsWithoutWaitingForTheScript) {
  const fs::path marker = dir_.path() / "late";
  env_.SetScriptLauncher(
      {"/bin/sh", "-c", "exec 2>/dev/null; sleep 3; : > '" + marker.string() + "'"});
  env_.StartScript("C:\\sulvo\\frontalini.bat");
  EXPECT_FALSE(fs::exists(marker)) << "StartScript waited for the script to end";
}

TEST_F(StartScriptTest, FailsWithAReasonWhenTheScriptOrItsLauncherIsMissing) {
  EXPECT_NE(ErrorOf("C:\\sulvo\\frontalini.bat").find("nessun programma"), std::string::npos)
      << "no launcher set";
  env_.SetScriptLauncher({"/bin/true"});
  EXPECT_NE(ErrorOf("C:\\sulvo\\manca.bat").find("file non trovato"), std::string::npos);
  env_.SetScriptLauncher({(dir_.path() / "no-such-program").string()});
  EXPECT_NE(ErrorOf("C:\\sulvo\\frontalini.bat").find("no-such-program"), std::string::npos);
}

}  // namespace
}  // namespace zav5::platform
