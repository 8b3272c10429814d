// The run log on the in-memory file system: its name, its two kinds of line, when it creates and
// when it appends, and a run that goes on past midnight.

#include "startup/run_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "errors.h"
#include "platform/env_wrapper.h"
#include "platform/fake/mem_env.h"
#include "startup/log_format.h"

namespace zav5::startup {
namespace {

using namespace std::chrono;
using testing::ElementsAre;

platform::LocalTime At(year_month_day day, hours h, minutes m, seconds s) {
  return local_days{day} + h + m + s;
}

TEST(LogFormatTest, NameCarriesDayMonthAndFourDigitYear) {
  EXPECT_EQ(LogPath(At(2026y / December / 7, 11h, 49min, 30s)),
            "C:\\sulvo\\bkp\\logzav3_07122026.txt");
  EXPECT_EQ(LogPath(At(2027y / January / 1, 0h, 0min, 0s)), "C:\\sulvo\\bkp\\logzav3_01012027.txt");
}

TEST(LogFormatTest, DatedLineHasNoBlankBetweenTimeAndText) {
  const auto when = At(2026y / December / 7, 9h, 5min, 3s);
  EXPECT_EQ(DatedLine(when, when, "- Avvio programma"), "07/12/2026-09:05:03- Avvio programma");
  // Date and time are read one after the other: across midnight they come from two moments.
  EXPECT_EQ(DatedLine(At(2026y / December / 7, 23h, 59min, 59s),
                      At(2026y / December / 8, 0h, 0min, 0s), "- x"),
            "07/12/2026-00:00:00- x");
}

class RunLogTest : public testing::Test {
 protected:
  RunLogTest() {
    env_.MakeFolder("C:\\sulvo\\bkp");
    env_.SetNow(At(2026y / December / 7, 11h, 49min, 30s));
  }
  std::string Bytes() { return env_.FileBytes(kPath).value_or("<missing>"); }

  static constexpr const char* kPath = "C:\\sulvo\\bkp\\logzav3_07122026.txt";
  platform::MemEnv env_;
  RunLog log_{env_};
};

TEST_F(RunLogTest, FirstStartCreatesTheFileAndASecondOneAppends) {
  log_.ApriLog(kPath);
  log_.ScriviRigaDatata("- Avvio programma");
  log_.ScriviRiga("DB OK  ");
  log_.ChiudiLog();
  EXPECT_EQ(Bytes(), "07/12/2026-11:49:30- Avvio programma\r\nDB OK  \r\n");

  RunLog second(env_);
  second.ApriLog(kPath);
  second.ScriviRiga("CONTROLLO DB SULVO OK");
  second.ChiudiLog();
  EXPECT_EQ(Bytes(),
            "07/12/2026-11:49:30- Avvio programma\r\nDB OK  \r\nCONTROLLO DB SULVO OK\r\n");
}

TEST_F(RunLogTest, ReopeningAfterEveryFileWasClosedAppends) {
  log_.ApriLog(kPath);
  log_.ScriviRiga("uno");
  env_.CloseAll();  // the label writer closes every open file of the program
  EXPECT_FALSE(log_.IsOpen());
  log_.ApriLog(kPath);
  log_.ScriviRigaDatata("- Inizio elaborazione ");
  EXPECT_EQ(Bytes(), "uno\r\n07/12/2026-11:49:30- Inizio elaborazione \r\n");
}

TEST_F(RunLogTest, AFileOpenedAfterTheLogWasClosedNeverReceivesLogLines) {
  log_.ApriLog(kPath);
  env_.CloseAll();
  env_.MakeFolder("C:\\sulvo\\esl");
  const platform::FileHandle other =
      env_.OpenTextFile("C:\\sulvo\\esl\\import.txt", platform::OpenMode::kOutput);
  log_.ScriviRiga("riga persa");
  env_.WriteLine(other, "riga dell'import");
  env_.CloseAll();
  EXPECT_EQ(env_.FileBytes("C:\\sulvo\\esl\\import.txt"), "riga dell'import\r\n");
}

TEST_F(RunLogTest, DeletedLogIsCreatedAgainAtTheNextOpening) {
  log_.ApriLog(kPath);
  log_.ScriviRiga("prima");
  log_.ChiudiLog();
  env_.DeleteFiles(kPath);
  log_.ApriLog(kPath);
  log_.ScriviRiga("dopo");
  EXPECT_EQ(Bytes(), "dopo\r\n");
}

TEST_F(RunLogTest, LinesAfterMidnightCarryTheNewDateInTheStartDaysFile) {
  log_.ApriLog(kPath);
  env_.SetNow(At(2026y / December / 8, 0h, 0min, 10s));
  log_.ApriLog(kPath);  // a cycle reopens the same file; the name is never recomputed
  log_.ScriviRigaDatata("- Inizio elaborazione ");
  EXPECT_EQ(Bytes(), "08/12/2026-00:00:10- Inizio elaborazione \r\n");
  EXPECT_FALSE(env_.FileBytes("C:\\sulvo\\bkp\\logzav3_08122026.txt").has_value());
}

TEST_F(RunLogTest, TextsAreWrittenInTheStoresCodePage) {
  log_.ApriLog(kPath);
  log_.ScriviRiga("società €");
  EXPECT_EQ(Bytes(), "societ\xE0 \x80\r\n");
}

TEST_F(RunLogTest, MissingFolderIsReportedOnceAndWritingDoesNothing) {
  const std::string elsewhere = "C:\\manca\\logzav3_07122026.txt";
  log_.ApriLog(elsewhere);
  log_.ScriviRiga("persa");
  log_.ApriLog(elsewhere);  // the next cycle tries again, without a second report
  EXPECT_FALSE(log_.IsOpen());
  ASSERT_EQ(env_.warnings().size(), 1U);
  EXPECT_THAT(env_.warnings()[0], testing::HasSubstr(elsewhere));
  // Once a line is written again, a later failure is reported again.
  env_.MakeFolder("C:\\manca");
  log_.ApriLog(elsewhere);
  ASSERT_TRUE(log_.IsOpen());
  log_.ScriviRiga("scritta");
  log_.ApriLog("C:\\altrove\\logzav3_07122026.txt");
  EXPECT_EQ(env_.warnings().size(), 2U);
  log_.ApriLog(elsewhere);
  log_.ScriviRiga("scritta");
  log_.ApriLog("C:\\altrove\\logzav3_07122026.txt");
  EXPECT_EQ(env_.warnings().size(), 3U);
  EXPECT_EQ(env_.FileBytes(elsewhere), "scritta\r\nscritta\r\n");
}

// An Env whose writes fail on demand, as on a full disk.
class FullDiskEnv : public platform::EnvWrapper {
 public:
  using platform::EnvWrapper::EnvWrapper;
  void WriteLine(platform::FileHandle file, std::string_view line) override {
    if (full) {
      throw FileError("spazio esaurito sul disco");
    }
    platform::EnvWrapper::WriteLine(file, line);
  }
  bool full = false;
};

TEST_F(RunLogTest, AFailedWriteClosesTheLogAndIsReportedOnceWithoutStoppingTheProgram) {
  FullDiskEnv disk(env_);
  RunLog log(disk);
  log.ApriLog(kPath);
  log.ScriviRiga("prima");
  disk.full = true;
  EXPECT_NO_THROW(log.ScriviRigaDatata("- Avvio programma"));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_NO_THROW(log.ScriviRiga("persa"));
  log.ApriLog(kPath);  // the next cycle reopens: still full, no second report
  EXPECT_NO_THROW(log.ScriviRiga("persa"));
  ASSERT_EQ(env_.warnings().size(), 1U);
  EXPECT_THAT(env_.warnings()[0], testing::HasSubstr("spazio esaurito"));
  disk.full = false;
  log.ApriLog(kPath);
  log.ScriviRiga("dopo");
  EXPECT_EQ(Bytes(), "prima\r\ndopo\r\n");
}

TEST(ErrorLineTest, KeepsTheMessageOnOneLine) {
  EXPECT_EQ(ErrorLine("il database C:\\x.mdb non esiste"),
            "ERRORE : il database C:\\x.mdb non esiste");
  EXPECT_EQ(ErrorLine("testo 'riga1\r\nriga2\n'"), "ERRORE : testo 'riga1  riga2 '");
  // A NUL from a driver's message would end the line for a reader of C text.
  EXPECT_EQ(ErrorLine(std::string("stato [\0\0] testo", 16)), "ERRORE : stato [??] testo");
}

TEST_F(RunLogTest, ANulInALineIsWrittenAsAQuestionMark) {
  log_.ApriLog(kPath);
  log_.ScriviRiga(std::string("a\0b", 3));
  EXPECT_EQ(Bytes(), "a?b\r\n");
}

TEST_F(RunLogTest, ClosingALogThatIsNotOpenDoesNothing) {
  log_.ChiudiLog();
  log_.ApriLog(kPath);
  log_.ChiudiLog();
  log_.ChiudiLog();
  EXPECT_EQ(Bytes(), "");
}

}  // namespace
}  // namespace zav5::startup
