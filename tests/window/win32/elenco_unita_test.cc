// The drive list: the machine's drives as the classic drive list names them, the current one
// selected.

#include "window/win32/elenco_unita.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/mem_env.h"
#include "window/form1.h"
#include "window/win32/finestra_win32.h"

namespace zav5::window::win32 {
namespace {

std::vector<std::wstring> Voci(HWND elenco) {
  std::vector<std::wstring> voci;
  const auto n = ::SendMessageW(elenco, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::wstring voce(static_cast<size_t>(::SendMessageW(elenco, CB_GETLBTEXTLEN, i, 0)), L'\0');
    ::SendMessageW(elenco, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(voce.data()));
    voci.push_back(voce);
  }
  return voci;
}

std::wstring Scelta(HWND elenco) {
  const auto i = ::SendMessageW(elenco, CB_GETCURSEL, 0, 0);
  return i == CB_ERR ? L"" : Voci(elenco)[static_cast<size_t>(i)];
}

TEST(ElencoUnitaTest, DriveIsItsLowerCaseLetterWithTheLabelInBrackets) {
  EXPECT_EQ(VoceUnita(L'C', L"Sistema"), L"c: [Sistema]");
  EXPECT_EQ(VoceUnita(L'd', L""), L"d:");
}

TEST(ElencoUnitaTest, MachinesDrivesInLetterOrder) {
  const std::vector<std::wstring> unita = UnitaDellaMacchina();
  ASSERT_FALSE(unita.empty());
  EXPECT_TRUE(std::is_sorted(unita.begin(), unita.end()));
  for (const std::wstring& voce : unita) {
    ASSERT_GE(voce.size(), 2u);
    EXPECT_TRUE(voce[0] >= L'a' && voce[0] <= L'z') << voce;
    EXPECT_EQ(voce[1], L':');
    EXPECT_TRUE(voce.size() == 2 || (voce.substr(2, 2) == L" [" && voce.back() == L']')) << voce;
  }
  // Wine's prefix, like any Windows, has drive c:.
  EXPECT_NE(
      std::find_if(unita.begin(), unita.end(), [](const std::wstring& v) { return v[0] == L'c'; }),
      unita.end());
}

TEST(ElencoUnitaTest, WindowsDriveListShowsTheMachinesDrivesWithTheFormsDriveSelected) {
  struct Caso {
    char unita;
    bool della_macchina;
  };
  for (const Caso caso : {Caso{'C', true}, Caso{'Q', false}}) {
    SCOPED_TRACE(caso.unita);
    platform::MemEnv env(caso.unita);
    Form1 form(env);
    FinestraWin32 finestra(form);
    HWND elenco = finestra.Controllo("Drive1");
    ASSERT_NE(elenco, nullptr);
    const std::vector<std::wstring> voci = Voci(elenco);
    std::vector<std::wstring> attese = UnitaDellaMacchina();
    const std::wstring lettera(1, static_cast<wchar_t>(form.Drive1()));
    const bool c_e = std::any_of(attese.begin(), attese.end(), [&](const std::wstring& v) {
      return v.compare(0, 1, lettera) == 0;
    });
    if (!c_e) {
      // A drive the machine lacks is listed all the same, in its place.
      ASSERT_FALSE(caso.della_macchina);
      attese.push_back(lettera + L":");
      std::sort(attese.begin(), attese.end());
    }
    EXPECT_EQ(voci, attese);
    EXPECT_EQ(Scelta(elenco).substr(0, 2), lettera + L":");
  }
}

TEST(ElencoUnitaTest, SelectedDriveMissingFromTheListIsAddedInOrder) {
  HWND elenco = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100, 200,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(elenco, nullptr);
  RiempiElencoUnita(elenco, {L"a:", L"c: [Sistema]", L"z:"}, 'M');
  EXPECT_EQ(Voci(elenco), (std::vector<std::wstring>{L"a:", L"c: [Sistema]", L"m:", L"z:"}));
  EXPECT_EQ(Scelta(elenco), L"m:");
  RiempiElencoUnita(elenco, {L"a:", L"c: [Sistema]", L"z:"}, 'c');
  EXPECT_EQ(Voci(elenco), (std::vector<std::wstring>{L"a:", L"c: [Sistema]", L"z:"}));
  EXPECT_EQ(Scelta(elenco), L"c: [Sistema]");
  ::DestroyWindow(elenco);
}

}  // namespace
}  // namespace zav5::window::win32
