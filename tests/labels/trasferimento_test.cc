#include "labels/trasferimento.h"

#include <gtest/gtest.h>

#include "errors.h"
#include "platform/fake/mem_env.h"

namespace zav5::labels {
namespace {

// Each kind is deleted only when its copy succeeded.
constexpr std::string_view kScriptAtteso =
    "cd.. \r\n"
    "cd\\sulvo\r\n"
    "copy Import_VPA*.txt Z:\\*.*\r\n"
    "if not errorlevel 1 del Import_VPA*.txt \r\n"
    "copy Import_PRO*.txt Z:\\*.*\r\n"
    "if not errorlevel 1 del Import_PRO*.txt \r\n"
    "cls\r\n";

// What earlier versions wrote: its "del" runs also after a failed "copy".
constexpr std::string_view kScriptPrecedente =
    "cd.. \r\n"
    "cd\\sulvo\r\n"
    "copy Import_VPA*.txt Z:\\*.*\r\n"
    "del Import_VPA*.txt \r\n"
    "copy Import_PRO*.txt Z:\\*.*\r\n"
    "del Import_PRO*.txt \r\n"
    "cls\r\n";

class TrasferimentoTest : public testing::Test {
 protected:
  TrasferimentoTest() { env_.MakeFolder("C:\\sulvo"); }
  platform::MemEnv env_;
};

TEST_F(TrasferimentoTest, MissingCopyScriptIsWrittenByteForByteAndStarted) {
  EXPECT_TRUE(Trasferisci(env_, Tracciato::kDueFile));
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), kScriptAtteso);
  EXPECT_EQ(env_.started_scripts(), std::vector<std::string>{"C:\\sulvo\\frontalini.bat"});
  EXPECT_EQ(env_.FindFiles("C:\\sulvo\\*.*"), std::vector<std::string>{"frontalini.bat"})
      << "no temporary file is left";
}

TEST_F(TrasferimentoTest, TheEarlierCopyScriptIsReplacedAndAChangedOneIsNot) {
  env_.PutFile("C:\\SULVO\\FRONTALINI.BAT", kScriptPrecedente);
  Trasferisci(env_, Tracciato::kDueFile);
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), kScriptAtteso);

  // One blank more, or one line less: a site's own script.
  for (const std::string& cambiato :
       {std::string(kScriptPrecedente) + " ", std::string(kScriptPrecedente.substr(0, 40))}) {
    env_.PutFile("C:\\sulvo\\frontalini.bat", cambiato);
    Trasferisci(env_, Tracciato::kDueFile);
    EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), cambiato);
  }
}

TEST_F(TrasferimentoTest, ExistingCopyScriptIsLeftAsItStandsAndStartedEachTime) {
  env_.PutFile("C:\\SULVO\\FRONTALINI.BAT", "copy *.txt Y:\\\r\n");
  Trasferisci(env_, Tracciato::kDueFile);
  Trasferisci(env_, Tracciato::kDueFile);
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), "copy *.txt Y:\\\r\n");
  EXPECT_EQ(env_.started_scripts().size(), 2u);
}

TEST_F(TrasferimentoTest, OneFileLayoutWritesTheCopyScriptButStartsOnlyTheSiteScript) {
  EXPECT_FALSE(Trasferisci(env_, Tracciato::kFileUnico));
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\frontalini.bat"), kScriptAtteso);
  EXPECT_TRUE(env_.started_scripts().empty()) << "no site script: nothing is started";

  env_.PutFile("C:\\sulvo\\comandoP.bat", "rem\r\n");
  EXPECT_TRUE(Trasferisci(env_, Tracciato::kFileUnico));
  EXPECT_EQ(env_.started_scripts(), std::vector<std::string>{"c:\\sulvo\\comandoP.bat"});
}

TEST_F(TrasferimentoTest, AScriptThatCannotBeWrittenIsAnError) {
  platform::MemEnv senza_cartella;
  EXPECT_THROW(Trasferisci(senza_cartella, Tracciato::kDueFile), FileError);
  EXPECT_TRUE(senza_cartella.started_scripts().empty());
}

}  // namespace
}  // namespace zav5::labels
