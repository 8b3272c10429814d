// The main window's model: the data sources it carries, the day its scan takes for today, and
// unloading.

#include "window/form1.h"

#include <gtest/gtest.h>

#include "platform/fake/mem_env.h"

namespace zav5::window {
namespace {

using namespace std::chrono;

TEST(Form1Test, CarriesTwentyDataSourcesWithTheirCaptions) {
  platform::MemEnv env;
  Form1 form(env);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"var", "Data3"},      {"var2", "Data3"},    {"Semafori", "Data2"}, {"Data2", "Data3"},
      {"listipro", "Data3"}, {"data3", "Data3"},   {"elettro", "Data4"},  {"Data1", "Data1"},
      {"listi01", "Data2"},  {"unita2", "Data3"},  {"offtab", "Data3"},   {"codean2", "Data3"},
      {"codean", "Data3"},   {"variab2", "Data3"}, {"ivadb", "Data3"},    {"variab", "Data3"},
      {"numeri", "Data3"},   {"carteTX", "Data3"}, {"caselle", "Data4"},  {"articoli", "Data2"}};
  for (const auto& [name, caption] : expected) {
    EXPECT_EQ(form.Source(name).Name(), name);
    EXPECT_EQ(form.Source(name).Caption(), caption) << name;
    EXPECT_TRUE(form.Source(name).Visible) << name;
  }
  // Names are exact: Data2 and data3 are two different controls.
  EXPECT_NE(&form.Source("Data2"), &form.Source("data3"));
  EXPECT_THROW(form.Source("Data3"), std::out_of_range);
}

TEST(Form1Test, ScanTakesTheClocksDayUnlessADayIsFixed) {
  platform::MemEnv env;
  env.SetNow(local_days{2024y / January / 1} + 23h + 59min);
  Form1 form(env);
  EXPECT_EQ(form.TodayForScan(), 45292);
  form.FixToday(2024y / January / 3);
  EXPECT_EQ(form.TodayForScan(), 45294);
}

TEST(Form1Test, DriveListShowsTheCurrentDriveInLowerCase) {
  platform::MemEnv env('D');
  Form1 form(env);
  EXPECT_EQ(form.Drive1(), 'd');
}

TEST(Form1Test, UnloadClosesEveryOpenFile) {
  platform::MemEnv env;
  env.MakeFolder("C:\\sulvo");
  Form1 form(env);
  const auto file = env.OpenTextFile("C:\\sulvo\\a.txt", platform::OpenMode::kOutput);
  form.Form_Unload();
  EXPECT_FALSE(env.IsOpen(file));
}

}  // namespace
}  // namespace zav5::window
