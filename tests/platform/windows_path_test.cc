#include "platform/windows_path.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zav5::platform {
namespace {

using Elements = std::vector<std::string>;

TEST(WindowsPathTest, ReadsDriveAndElements) {
  const WindowsPath path = ParseWindowsPath("C:\\sulvo\\bkp\\Import_VPA_x.txt", 'd');
  EXPECT_EQ(path.drive, 'c');
  EXPECT_FALSE(path.IsUnc());
  EXPECT_EQ(path.elements, (Elements{"sulvo", "bkp", "Import_VPA_x.txt"}));
  EXPECT_EQ(path.Name(), "Import_VPA_x.txt");
  EXPECT_EQ(path.ToString(), "C:\\sulvo\\bkp\\Import_VPA_x.txt");

  const WindowsPath slashes = ParseWindowsPath("e:/Sulvo/Dati.mdb", 'c');
  EXPECT_EQ(slashes.drive, 'e');
  EXPECT_EQ(slashes.elements, (Elements{"Sulvo", "Dati.mdb"}));
  EXPECT_EQ(ParseWindowsPath("C:\\", 'c').ToString(), "C:\\");
  EXPECT_EQ(ParseWindowsPath("C:", 'd').ToString(), "C:\\");
}

TEST(WindowsPathTest, DropsEmptyAndDotElementsAndClimbsOnDotDot) {
  EXPECT_EQ(ParseWindowsPath("C:\\sulvo\\\\Import_VPA_x.txt", 'c').elements,
            (Elements{"sulvo", "Import_VPA_x.txt"}));
  EXPECT_EQ(ParseWindowsPath("C:\\sulvo\\bkp\\", 'c').elements, (Elements{"sulvo", "bkp"}));
  EXPECT_EQ(ParseWindowsPath("C:\\.\\sulvo\\.\\x", 'c').elements, (Elements{"sulvo", "x"}));
  EXPECT_EQ(ParseWindowsPath("C:\\sulvo\\bkp\\..\\x", 'c').elements, (Elements{"sulvo", "x"}));
  EXPECT_EQ(ParseWindowsPath("C:\\a\\..\\..\\..\\b", 'c').elements, (Elements{"b"}));
  EXPECT_EQ(ParseWindowsPath("C:\\..", 'c').ToString(), "C:\\");
  EXPECT_EQ(ParseWindowsPath("C:\\x..y\\...", 'c').elements, (Elements{"x..y", "..."}));
}

TEST(WindowsPathTest, PathsWithoutADriveAreOnTheCurrentDrivesRoot) {
  const WindowsPath rooted = ParseWindowsPath("\\sulvo\\x.txt", 'D');
  EXPECT_EQ(rooted.drive, 'd');
  EXPECT_EQ(rooted.elements, (Elements{"sulvo", "x.txt"}));
  EXPECT_EQ(ParseWindowsPath("sulvo\\x.txt", 'd'), rooted);
  EXPECT_EQ(ParseWindowsPath("..\\sulvo\\x.txt", 'd'), rooted);
  EXPECT_EQ(ParseWindowsPath("D:sulvo\\x.txt", 'c'), rooted);
  EXPECT_EQ(ParseWindowsPath("", 'c').ToString(), "C:\\");
}

TEST(WindowsPathTest, RecognisesNetworkPaths) {
  const WindowsPath path = ParseWindowsPath("\\\\server\\share\\\\dir\\\\\\file.txt", 'c');
  EXPECT_TRUE(path.IsUnc());
  EXPECT_EQ(path.server, "server");
  EXPECT_EQ(path.share, "share");
  EXPECT_EQ(path.elements, (Elements{"dir", "file.txt"}));
  EXPECT_EQ(path.ToString(), "\\\\server\\share\\dir\\file.txt");
  EXPECT_EQ(ParseWindowsPath("//server/share/dir/file.txt", 'c'), path);

  // ".." stops at the share: the server and share are the root.
  const WindowsPath climbed = ParseWindowsPath("\\\\server\\share\\..\\..\\x", 'c');
  EXPECT_EQ(climbed.share, "share");
  EXPECT_EQ(climbed.elements, (Elements{"x"}));
  EXPECT_EQ(ParseWindowsPath("\\\\server", 'c').ToString(), "\\\\server");
}

TEST(WindowsPathTest, WalksUpAndDown) {
  const WindowsPath path = ParseWindowsPath("C:\\sulvo\\x.txt", 'c');
  EXPECT_EQ(path.Parent().ToString(), "C:\\sulvo");
  EXPECT_EQ(path.Parent().Parent().ToString(), "C:\\");
  EXPECT_EQ(path.Parent().Parent().Parent().ToString(), "C:\\");
  EXPECT_EQ(path.Parent().Parent().Name(), "");
  EXPECT_EQ(path.Parent().Child("y.txt").ToString(), "C:\\sulvo\\y.txt");
}

}  // namespace
}  // namespace zav5::platform
