// The drive the program takes from the folder it starts in, and the clear refusal of a folder
// that has none.

#include "platform/current_drive.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <utility>

#include "errors.h"

namespace zav5::platform {
namespace {

TEST(CurrentDriveTest, TheDriveOfTheFolderItStartsIn) {
  const struct {
    const char* directory;
    char drive;
  } cases[] = {
      {"D:\\", 'D'},
      {"d:\\negozio\\zav5", 'D'},
      {"C:", 'C'},
      {"x:/sulvo", 'X'},
      {"\\\\?\\E:\\una cartella molto lunga", 'E'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.directory);
    EXPECT_EQ(DriveOfDirectory(c.directory), c.drive);
  }
}

// A network folder has no drive letter: the message names the folder and the way out, and
// nothing is guessed.
TEST(CurrentDriveTest, AFolderWithoutADriveLetterIsRefusedByName) {
  for (const std::string directory :
       {"\\\\server\\negozio\\zav5", "\\\\?\\UNC\\server\\negozio", "", "1:\\x", "CD:\\x"}) {
    SCOPED_TRACE(directory);
    try {
      DriveOfDirectory(directory);
      ADD_FAILURE() << "a drive was taken";
    } catch (const FileError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("la cartella corrente " + directory + " non è su un'unità"),
                std::string::npos)
          << message;
      EXPECT_NE(message.find("--current-drive"), std::string::npos) << message;
    }
  }
}

#ifdef _WIN32
// Wine's drive Z: is the root of the Linux machine.
TEST(CurrentDriveTest, AWindowsProcessRunsOnItsCurrentDirectorysDrive) {
  wchar_t before[MAX_PATH] = {};
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, before), 0u);
  for (const auto& [directory, drive] : {std::pair{L"C:\\windows", 'C'}, std::pair{L"Z:\\", 'Z'}}) {
    ASSERT_TRUE(SetCurrentDirectoryW(directory));
    EXPECT_EQ(ProcessCurrentDrive(), drive);
  }
  SetCurrentDirectoryW(before);
}
#else
TEST(CurrentDriveTest, APosixProcessRunsOnC) {
  EXPECT_EQ(ProcessCurrentDrive(), 'C');
}
#endif

}  // namespace
}  // namespace zav5::platform
