// The drive list: the machine's drives as the classic drive list names them, the current one
// selected.

#include "window/win32/drive_list.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fake/mem_env.h"
#include "window/form1.h"
#include "window/win32/win32_window.h"

namespace zav5::window::win32 {
namespace {

std::vector<std::wstring> Entries(HWND elenco) {
  std::vector<std::wstring> entries;
  const auto n = ::SendMessageW(elenco, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring voce(static_cast<size_t>(::SendMessageW(elenco, CB_GETLBTEXTLEN, i, 0)), L'\0');
    ::SendMessageW(elenco, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(voce.data()));
    entries.push_back(voce);
  }
  return entries;
}

std::wstring SelectedEntry(HWND elenco) {
  const auto i = ::SendMessageW(elenco, CB_GETCURSEL, 0, 0);
  return i == CB_ERR ? L"" : Entries(elenco)[static_cast<size_t>(i)];
}

TEST(DriveListTest, DriveIsItsLowerCaseLetterWithTheLabelInBrackets) {
  EXPECT_EQ(DriveEntry(L'C', L"Sistema"), L"c: [Sistema]");
  EXPECT_EQ(DriveEntry(L'd', L""), L"d:");
}

TEST(DriveListTest, MachinesDrivesInLetterOrder) {
  const std::vector<std::wstring> drive = MachineDrives();
  ASSERT_FALSE(drive.empty());
  EXPECT_TRUE(std::is_sorted(drive.begin(), drive.end()));
  for (const std::wstring& voce : drive) {
    ASSERT_GE(voce.size(), 2u);
    EXPECT_TRUE(voce[0] >= L'a' && voce[0] <= L'z') << voce;
    EXPECT_EQ(voce[1], L':');
    EXPECT_TRUE(voce.size() == 2 || (voce.substr(2, 2) == L" [" && voce.back() == L']')) << voce;
  }
  // Wine's prefix, like any Windows, has drive c:.
  EXPECT_NE(
      std::find_if(drive.begin(), drive.end(), [](const std::wstring& v) { return v[0] == L'c'; }),
      drive.end());
}

TEST(DriveListTest, WindowsDriveListShowsTheMachinesDrivesWithTheFormsDriveSelected) {
  struct Caso {
    char drive;
    bool della_macchina;
  };
  for (const Caso caso : {Caso{'C', true}, Caso{'Q', false}}) {
    SCOPED_TRACE(caso.drive);
    platform::MemEnv env(caso.drive);
    Form1 form(env);
    Win32Window win32_window(form);
    HWND elenco = win32_window.Control("Drive1");
    ASSERT_NE(elenco, nullptr);
    const std::vector<std::wstring> entries = Entries(elenco);
    std::vector<std::wstring> waits = MachineDrives();
    const std::wstring lettera(1, static_cast<wchar_t>(form.Drive1()));
    const bool c_e = std::any_of(waits.begin(), waits.end(), [&](const std::wstring& v) {
      return v.compare(0, 1, lettera) == 0;
    });
    if (!c_e) {
      // A drive the machine lacks is listed all the same, in its place.
      ASSERT_FALSE(caso.della_macchina);
      waits.push_back(lettera + L":");
      std::sort(waits.begin(), waits.end());
    }
    EXPECT_EQ(entries, waits);
    EXPECT_EQ(SelectedEntry(elenco).substr(0, 2), lettera + L":");
  }
}

TEST(DriveListTest, SelectedDriveMissingFromTheListIsAddedInOrder) {
  HWND elenco = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100, 200,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(elenco, nullptr);
  FillDriveList(elenco, {L"a:", L"c: [Sistema]", L"z:"}, 'M');
  EXPECT_EQ(Entries(elenco), (std::vector<std::wstring>{L"a:", L"c: [Sistema]", L"m:", L"z:"}));
  EXPECT_EQ(SelectedEntry(elenco), L"m:");
  FillDriveList(elenco, {L"a:", L"c: [Sistema]", L"z:"}, 'c');
  EXPECT_EQ(Entries(elenco), (std::vector<std::wstring>{L"a:", L"c: [Sistema]", L"z:"}));
  EXPECT_EQ(SelectedEntry(elenco), L"c: [Sistema]");
  ::DestroyWindow(elenco);
}

}  // namespace
}  // namespace zav5::window::win32
