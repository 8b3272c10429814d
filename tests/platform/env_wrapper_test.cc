#include "platform/env_wrapper.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fake/mem_env.h"

namespace zav5::platform {
namespace {

using namespace std::chrono;
using Names = std::vector<std::string>;

// Changes the day and nothing else.
class FixedDay : public EnvWrapper {
 public:
  FixedDay(Env& target, LocalTime day) : EnvWrapper(target), day_(day) {}
  LocalTime Now() override { return day_; }

 private:
  LocalTime day_;
};

TEST(EnvWrapperTest, OverridesOnlyWhatItRedefines) {
  MemEnv mem('d');
  const LocalTime day = local_days{year{2026} / 12 / 7};
  FixedDay env(mem, day);
  EXPECT_EQ(env.Now(), day);
  EXPECT_NE(mem.Now(), day);
  EXPECT_EQ(&env.target(), &mem);
}

TEST(EnvWrapperTest, ForwardsEverythingElse) {
  MemEnv mem('d');
  FixedDay env(mem, local_days{year{2026} / 12 / 7});
  mem.MakeFolder("D:\\Sulvo");
  mem.PutFile("D:\\Sulvo\\old.bak", "x");

  const FileHandle out = env.OpenTextFile("\\sulvo\\a.txt", OpenMode::kOutput);
  const FileHandle log = env.OpenTextFile("\\sulvo\\b.txt", OpenMode::kAppend);
  EXPECT_TRUE(env.IsOpen(out));
  env.WriteLine(out, "città");
  env.Close(out);
  EXPECT_FALSE(mem.IsOpen(out));
  EXPECT_TRUE(mem.IsOpen(log));
  env.CloseAll();
  EXPECT_FALSE(mem.IsOpen(log));
  EXPECT_EQ(mem.FileBytes("D:\\Sulvo\\a.txt"), "citt\xE0\r\n");
  EXPECT_EQ(mem.FileBytes("D:\\Sulvo\\b.txt"), "");

  EXPECT_EQ(env.FindFiles("D:\\SULVO\\*.BAK"), Names{"old.bak"});
  env.DeleteFiles("D:\\SULVO\\*.BAK");
  EXPECT_EQ(mem.FileBytes("D:\\Sulvo\\old.bak"), std::nullopt);

  EXPECT_EQ(env.NativePath("\\SULVO\\A.TXT"), "D:\\Sulvo\\a.txt");
  EXPECT_EQ(env.CurrentDrive(), 'd');
  env.MessageBox("testo", "ZAV5");
  env.Warn("attenzione");
  EXPECT_EQ(mem.message_boxes(), Names{"testo"});
  EXPECT_EQ(mem.message_box_captions(), Names{"ZAV5"});
  EXPECT_EQ(mem.warnings(), Names{"attenzione"});
}

}  // namespace
}  // namespace zav5::platform
