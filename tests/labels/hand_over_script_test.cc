#include "labels/hand_over_script.h"

#include <gtest/gtest.h>

#include "errors.h"
#include "platform/fake/mem_env.h"

namespace zav5::labels {
namespace {

// Each kind is deleted only when its copy succeeded.
constexpr std::string_view kExpectedScript =
    "cd.. \r\n"
    "cd\\sulvo\r\n"
    "copy Import_VPA*.txt Z:\\*.*\r\n"
    "if not errorlevel 1 del Import_VPA*.txt \r\n"
    "copy Import_PRO*.txt Z:\\*.*\r\n"
    "if not errorlevel 1 del Import_PRO*.txt \r\n"
    "cls\r\n";

// What earlier versions wrote: its "del" runs also after a failed "copy".
constexpr std::string_view kOldScript =
    "cd.. \r\n"
    "cd\\sulvo\r\n"
    "copy Import_VPA*.txt Z:\\*.*\r\n"
    "del Import_VPA*.txt \r\n"
    "copy Import_PRO*.txt Z:\\*.*\r\n"
    "del Import_PRO*.txt \r\n"
    "cls\r\n";

class HandOverScriptTest : public testing::Test {
 protected:
  HandOverScriptTest() { env_.MakeFolder("C:\\sulvo"); }
  platform::MemEnv env_;
};

TEST_F(HandOverScriptTest, MissingCopyScriptIsWrittenByteForByteAndStarted) {
  EXPECT_TRUE(StartHandOverScript(env_, FileLayout::kTwoFiles));
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), kExpectedScript);
  EXPECT_EQ(env_.started_scripts(), std::vector<std::string>{"C:\\sulvo\\frontalini.bat"});
  EXPECT_EQ(env_.FindFiles("C:\\sulvo\\*.*"), std::vector<std::string>{"frontalini.bat"})
      << "no temporary file is left";
}

TEST_F(HandOverScriptTest, TheEarlierCopyScriptIsReplacedAndAChangedOneIsNot) {
  env_.PutFile("C:\\SULVO\\FRONTALINI.BAT", kOldScript);
  StartHandOverScript(env_, FileLayout::kTwoFiles);
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), kExpectedScript);

  // One blank more, or one line less: a site's own script.
  for (const std::string& cambiato :
       {std::string(kOldScript) + " ", std::string(kOldScript.substr(0, 40))}) {
    env_.PutFile("C:\\sulvo\\frontalini.bat", cambiato);
    StartHandOverScript(env_, FileLayout::kTwoFiles);
    EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), cambiato);
  }
}

TEST_F(HandOverScriptTest, ExistingCopyScriptIsLeftAsItStandsAndStartedEachTime) {
  env_.PutFile("C:\\SULVO\\FRONTALINI.BAT", "copy *.txt Y:\\\r\n");
  StartHandOverScript(env_, FileLayout::kTwoFiles);
  StartHandOverScript(env_, FileLayout::kTwoFiles);
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), "copy *.txt Y:\\\r\n");
  EXPECT_EQ(env_.started_scripts().size(), 2u);
}

TEST_F(HandOverScriptTest, OneFileLayoutWritesTheCopyScriptButStartsOnlyTheSiteScript) {
  EXPECT_FALSE(StartHandOverScript(env_, FileLayout::kOneFile));
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), kExpectedScript);
  EXPECT_TRUE(env_.started_scripts().empty()) << "no site script: nothing is started";

  env_.PutFile("C:\\sulvo\\comandoP.bat", "rem\r\n");
  EXPECT_TRUE(StartHandOverScript(env_, FileLayout::kOneFile));
  EXPECT_EQ(env_.started_scripts(), std::vector<std::string>{"c:\\sulvo\\comandoP.bat"});
}

TEST_F(HandOverScriptTest, AScriptThatCannotBeWrittenIsAnError) {
  platform::MemEnv senza_cartella;
  EXPECT_THROW(StartHandOverScript(senza_cartella, FileLayout::kTwoFiles), FileError);
  EXPECT_TRUE(senza_cartella.started_scripts().empty());
}

}  // namespace
}  // namespace zav5::labels
