// The real window under the window system: its frame, its controls where the design puts them,
// the keyboard, and the events that reach the form (timer ticks, the exit button, closing).
// Everything is read back through the window system, not from the window's own records.

#include "window/win32/finestra_win32.h"

#include "window/win32/api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/mem_env.h"
#include "platform/windows/wide_text.h"
#include "window/controlli.h"
#include "window/form1.h"
#include "window/win32/finestra_aperta.h"

namespace zav5::window {
namespace {

using namespace std::chrono_literals;
using win32::TestoFinestra;

// Pumps the window's messages until `fatto` holds or the window has unloaded, waiting for
// messages in between; gives up after a bounded number of rounds.
bool PompaFinche(FinestraWin32& finestra, const std::function<bool()>& fatto) {
  for (int giro = 0; giro < 300 && !fatto(); ++giro) {
    if (!finestra.Pompa()) {
      break;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return fatto();
}

// Pumps until the quit message that follows an unload, for at most `giri` rounds. True when it
// came.
bool PompaFinoAllaFine(FinestraWin32& finestra, int giri = 300) {
  for (int giro = 0; giro < giri; ++giro) {
    if (!finestra.Pompa()) {
      return true;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return false;
}

// `h`'s rectangle in the client area of its parent.
RECT NelGenitore(HWND h) {
  RECT r;
  ::GetWindowRect(h, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring Classe(HWND h) {
  wchar_t nome[64] = L"";
  ::GetClassNameW(h, nome, 64);
  return nome;
}

LOGFONTW Carattere(HWND h) {
  LOGFONTW lf{};
  auto font = reinterpret_cast<HFONT>(::SendMessageW(h, WM_GETFONT, 0, 0));
  ::GetObjectW(font, sizeof(lf), &lf);
  return lf;
}

using OpenWin = FinestraAperta;

// The checks that change nothing share one window: under Wine without a window manager, ending a
// window that was shown takes two seconds.
class FinestraCondivisaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { aperta_ = new OpenWin; }
  static void TearDownTestSuite() {
    delete aperta_;
    aperta_ = nullptr;
  }

  static HWND Hwnd() { return aperta_->finestra.Handle(); }
  static HWND Ctl(std::string_view nome, std::optional<int> indice = std::nullopt) {
    return aperta_->finestra.Controllo(nome, indice);
  }

  static OpenWin* aperta_;
};

OpenWin* FinestraCondivisaTest::aperta_ = nullptr;

// A window of its own, for the checks that change it.
class FinestraTest : public testing::Test {
 protected:
  HWND Hwnd() const { return finestra_->Handle(); }
  HWND Ctl(std::string_view nome, std::optional<int> indice = std::nullopt) const {
    return finestra_->Controllo(nome, indice);
  }

  OpenWin aperta_;
  platform::MemEnv& env_ = aperta_.env;
  Form1& form_ = aperta_.form;
  FinestraWin32* finestra_ = &aperta_.finestra;
};

TEST_F(FinestraCondivisaTest,
       FrameIsAFixedDialogOutOfTheTaskbarWithTheDesignsCaptionAndClientArea) {
  ASSERT_NE(Hwnd(), nullptr);
  EXPECT_EQ(TestoFinestra(Hwnd()), L"B");
  RECT interno;
  ::GetClientRect(Hwnd(), &interno);
  EXPECT_EQ(interno.right, 592);
  EXPECT_EQ(interno.bottom, 531);

  const auto stile = static_cast<DWORD>(::GetWindowLongPtrW(Hwnd(), GWL_STYLE));
  const auto esteso = static_cast<DWORD>(::GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE));
  EXPECT_EQ(stile & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  for (const DWORD assente : {WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME}) {
    EXPECT_EQ(stile & assente, 0u) << std::hex << assente;
  }
  EXPECT_NE(esteso & WS_EX_DLGMODALFRAME, 0u);
  EXPECT_EQ(esteso & WS_EX_APPWINDOW, 0u);

  // A hidden owner keeps the window out of the taskbar.
  HWND proprietario = ::GetWindow(Hwnd(), GW_OWNER);
  ASSERT_NE(proprietario, nullptr);
  EXPECT_EQ(proprietario, aperta_->finestra.Proprietario());
  EXPECT_FALSE(::IsWindowVisible(proprietario));
  EXPECT_TRUE(::IsWindowVisible(Hwnd()));

  // No menu bar: the one menu of the design is hidden.
  EXPECT_EQ(::GetMenu(Hwnd()), nullptr);
}

TEST_F(FinestraCondivisaTest, FirstShownInTheMiddleOfTheWorkArea) {
  RECT lavoro;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &lavoro, 0));
  RECT esterno;
  ::GetWindowRect(Hwnd(), &esterno);
  EXPECT_NEAR(esterno.left + esterno.right, lavoro.left + lavoro.right, 1);
  EXPECT_NEAR(esterno.top + esterno.bottom, lavoro.top + lavoro.bottom, 1);
}

TEST_F(FinestraCondivisaTest, EveryWindowedControlSitsWhereTheDesignPutsIt) {
  const ModelloFinestra& progetto = Form1::Progetto();
  int con_finestra = 0;
  for (const Controllo& c : progetto.controlli) {
    SCOPED_TRACE(testing::Message() << c.nome << " " << c.indice.value_or(0));
    HWND h = Ctl(c.nome, c.indice);
    const bool senza = c.tipo == TipoControllo::kTimer || c.tipo == TipoControllo::kCerchio ||
                       c.tipo == TipoControllo::kEtichetta;
    if (senza) {
      EXPECT_EQ(h, nullptr);
      continue;
    }
    ++con_finestra;
    ASSERT_NE(h, nullptr);
    HWND contenitore = c.contenitore == kFinestra ? Hwnd() : Ctl(c.contenitore);
    EXPECT_EQ(::GetParent(h), contenitore);
    const RECT r = NelGenitore(h);
    EXPECT_EQ(r.left * 15, c.posizione.sinistra);
    EXPECT_EQ(r.top * 15, c.posizione.alto);
    EXPECT_EQ((r.right - r.left) * 15, c.posizione.larghezza);
    EXPECT_EQ((r.bottom - r.top) * 15, c.posizione.altezza);
  }
  // Drive1, Frame1, nrposw, Command1 and the 20 data controls.
  EXPECT_EQ(con_finestra, 24);

  const RECT uscita = NelGenitore(Ctl("Command1"));
  EXPECT_EQ(uscita.left, 8);
  EXPECT_EQ(uscita.top, 448);
  EXPECT_EQ(uscita.right - uscita.left, 577);
  EXPECT_EQ(uscita.bottom - uscita.top, 73);

  // nrposw lies inside Frame1 on the screen.
  RECT testo;
  RECT riquadro;
  ::GetWindowRect(Ctl("nrposw"), &testo);
  ::GetWindowRect(Ctl("Frame1"), &riquadro);
  RECT unione;
  ::UnionRect(&unione, &testo, &riquadro);
  EXPECT_TRUE(::EqualRect(&unione, &riquadro));
}

TEST_F(FinestraCondivisaTest, ControlsAreTheWindowSystemsOwnWithTheDesignsTextAndFonts) {
  struct Atteso {
    const char* nome;
    std::wstring classe;
    DWORD stile;  // bits that must be set
    std::wstring testo;
    std::wstring carattere;
    LONG altezza;
    bool grassetto;
  };
  const std::vector<Atteso> attesi = {
      {"Command1", L"Button", BS_OWNERDRAW | WS_TABSTOP, L"Uscita", L"MS Sans Serif", -11, false},
      {"nrposw", L"Edit", WS_TABSTOP, L"", L"MS Sans Serif", -16, false},
      {"Drive1", L"ComboBox", CBS_DROPDOWNLIST | WS_TABSTOP, L"", L"MS Sans Serif", -11, false},
      {"Frame1", L"Zav5Riquadro", WS_CLIPCHILDREN, L"Numero Pos", L"MS Sans Serif", -13, true},
      {"var", L"Zav5Dati", 0, L"Data3", L"MS Sans Serif", -11, false},
      {"elettro", L"Zav5Dati", 0, L"Data4", L"MS Sans Serif", -11, false},
      {"offtab", L"Zav5Dati", 0, L"Data3", L"MS Sans Serif", -11, false},
  };
  for (const Atteso& a : attesi) {
    SCOPED_TRACE(a.nome);
    HWND h = Ctl(a.nome);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Classe(h), a.classe);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(h, GWL_STYLE)) & a.stile, a.stile);
    if (a.classe != L"ComboBox") {
      EXPECT_EQ(TestoFinestra(h), a.testo);
    }
    const LOGFONTW lf = Carattere(h);
    EXPECT_EQ(std::wstring(lf.lfFaceName), a.carattere);
    EXPECT_EQ(lf.lfHeight, a.altezza);
    EXPECT_EQ(lf.lfWeight >= FW_BOLD, a.grassetto);
  }
  EXPECT_NE(::GetWindowLongPtrW(Ctl("nrposw"), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST_F(FinestraCondivisaTest, ControlsAreStackedInTheDesignsOrder) {
  // The window system's order runs from the top down; the design's from the bottom up.
  std::vector<HWND> dall_alto;
  for (HWND h = ::GetWindow(Hwnd(), GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT)) {
    dall_alto.push_back(h);
  }
  std::vector<HWND> progetto;
  for (const Controllo* c : Form1::Progetto().Contenuti(kFinestra)) {
    if (HWND h = Ctl(c->nome, c->indice)) {
      progetto.insert(progetto.begin(), h);
    }
  }
  EXPECT_EQ(dall_alto, progetto);
  // So Frame1 covers Drive1.
  const auto posto = [&](HWND h) { return std::find(dall_alto.begin(), dall_alto.end(), h); };
  EXPECT_LT(posto(Ctl("Frame1")), posto(Ctl("Drive1")));
}

TEST_F(FinestraTest, ExitButtonHasTheFocusAndTabWalksTheTabOrder) {
  EXPECT_EQ(::GetFocus(), Ctl("Command1"));
  const std::vector<const char*> giro = {"Drive1", "nrposw", "Command1"};
  for (const char* prossimo : giro) {
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(PompaFinche(*finestra_, [&] { return ::GetFocus() == Ctl(prossimo); })) << prossimo;
  }
  EXPECT_FALSE(form_.Scaricata());
}

TEST_F(FinestraCondivisaTest, TextBoxShowsWhatStartUpLeftAndDataControlsAreAllShown) {
  // No company database: the message box, and nrposw keeps its design state.
  EXPECT_EQ(aperta_->env.message_boxes().size(), 1u);
  EXPECT_EQ(TestoFinestra(Ctl("nrposw")), platform::Utf8ToWide(aperta_->form.nrposw()));
  for (const Controllo* dati : Form1::Progetto().SorgentiDati()) {
    EXPECT_TRUE(::IsWindowVisible(Ctl(dati->nome))) << dati->nome;
  }
}

TEST(FinestraCaricaTest, LoadRunsBeforeTheWindowShowsAndFillsTheTextBox) {
  // A company database that is no database: start-up stops at it without a message box and the
  // text box shows the number of tills, 0.
  platform::MemEnv env;
  env.PutFile("C:\\dorn\\sulvo.mdb", "x");
  Form1 form(env);
  FinestraWin32 finestra(form);
  EXPECT_FALSE(::IsWindowVisible(finestra.Handle()));
  EXPECT_EQ(TestoFinestra(finestra.Controllo("nrposw")), L"");
  finestra.Carica();
  EXPECT_FALSE(::IsWindowVisible(finestra.Handle()));
  EXPECT_TRUE(env.message_boxes().empty());
  EXPECT_EQ(TestoFinestra(finestra.Controllo("nrposw")), L"0");
  finestra.Mostra();
  EXPECT_TRUE(::IsWindowVisible(finestra.Handle()));
}

TEST_F(FinestraCondivisaTest, MenuIsBuiltAsDesignedButNeverShown) {
  HMENU menu = aperta_->finestra.MenuProgetto();
  ASSERT_NE(menu, nullptr);
  const auto voce = [](HMENU m, int posto) {
    wchar_t testo[64] = L"";
    ::GetMenuStringW(m, static_cast<UINT>(posto), testo, 64, MF_BYPOSITION);
    return std::wstring(testo);
  };
  ASSERT_EQ(::GetMenuItemCount(menu), 1);
  EXPECT_EQ(voce(menu, 0), L"&SysTray    ");
  HMENU sotto = ::GetSubMenu(menu, 0);
  ASSERT_NE(sotto, nullptr);
  ASSERT_EQ(::GetMenuItemCount(sotto), 2);
  EXPECT_EQ(voce(sotto, 0), L"&Restore    ");
  EXPECT_EQ(voce(sotto, 1), L"&Exit    ");
  EXPECT_EQ(::GetMenu(Hwnd()), nullptr);
}

TEST_F(FinestraTest, TimerTickRunsTheTickHandlerOnlyOnceTheTickIsDue) {
  const auto ticks = [&] { return form_.Contesto().ContatoreCicli; };
  ASSERT_EQ(ticks(), 0);

  // A system timer message before the tick is due on the Env's clock delivers nothing.
  ::PostMessageW(Hwnd(), WM_TIMER, 1, 0);
  finestra_->Pompa();
  EXPECT_EQ(ticks(), 0);

  env_.Advance(5000ms);
  finestra_->ArmaTimer();
  EXPECT_TRUE(PompaFinche(*finestra_, [&] { return ticks() == 1; }));
  // The next tick is a whole interval away.
  ASSERT_TRUE(form_.Timer2().Due().has_value());
  EXPECT_EQ(*form_.Timer2().Due() - env_.SteadyNow(), 5000ms);

  env_.Advance(5000ms);
  finestra_->ArmaTimer();
  EXPECT_TRUE(PompaFinche(*finestra_, [&] { return ticks() == 2; }));
  EXPECT_FALSE(form_.Scaricata());
}

TEST_F(FinestraTest, DataControlsFollowTheirSourcesVisibilityAfterEachEvent) {
  form_.Sorgente("caselle").Visible = false;
  form_.Sorgente("numeri").Visible = false;
  // Nothing changes until an event has run.
  EXPECT_TRUE(::IsWindowVisible(Ctl("caselle")));
  env_.Advance(5000ms);
  finestra_->ArmaTimer();
  ASSERT_TRUE(PompaFinche(*finestra_, [&] { return form_.Contesto().ContatoreCicli == 1; }));
  EXPECT_FALSE(::IsWindowVisible(Ctl("caselle")));
  EXPECT_FALSE(::IsWindowVisible(Ctl("numeri")));
  EXPECT_TRUE(::IsWindowVisible(Ctl("articoli")));

  form_.Sorgente("caselle").Visible = true;
  env_.Advance(5000ms);
  finestra_->ArmaTimer();
  ASSERT_TRUE(PompaFinche(*finestra_, [&] { return form_.Contesto().ContatoreCicli == 2; }));
  EXPECT_TRUE(::IsWindowVisible(Ctl("caselle")));
}

// The ways the window can be asked to go, and whether it goes.
struct Richiesta {
  const char* nome;
  std::function<void(HWND finestra, HWND uscita)> fai;
  bool scarica;
};

class ScaricoTest : public testing::TestWithParam<Richiesta> {};

TEST_P(ScaricoTest, UnloadsTheFormAndEndsTheWindowAndItsOwner) {
  platform::MemEnv env;
  env.MakeFolder("C:\\sulvo");
  Form1 form(env);
  FinestraWin32 finestra(form);
  finestra.Carica();
  finestra.Mostra();
  finestra.Pompa();
  HWND hwnd = finestra.Handle();
  HWND proprietario = finestra.Proprietario();
  HMENU menu = finestra.MenuProgetto();
  const platform::FileHandle file =
      env.OpenTextFile("C:\\sulvo\\a.txt", platform::OpenMode::kOutput);

  GetParam().fai(hwnd, finestra.Controllo("Command1"));
  // Messages that change nothing are handled at the first round already.
  const bool finita = PompaFinoAllaFine(finestra, GetParam().scarica ? 300 : 3);

  EXPECT_EQ(form.Scaricata(), GetParam().scarica);
  EXPECT_EQ(finita, GetParam().scarica);
  EXPECT_EQ(!::IsWindow(hwnd), GetParam().scarica);
  EXPECT_EQ(!::IsWindow(proprietario), GetParam().scarica);
  EXPECT_EQ(finestra.Handle() == nullptr, GetParam().scarica);
  EXPECT_EQ(!::IsMenu(menu), GetParam().scarica);
  // The unload handler closed every file.
  EXPECT_EQ(!env.IsOpen(file), GetParam().scarica);
}

INSTANTIATE_TEST_SUITE_P(
    Modi, ScaricoTest,
    testing::Values(
        Richiesta{"Click", [](HWND, HWND u) { ::SendMessageW(u, BM_CLICK, 0, 0); }, true},
        Richiesta{"Space",
                  [](HWND, HWND u) {
                    ::PostMessageW(u, WM_KEYDOWN, VK_SPACE, 0);
                    ::PostMessageW(u, WM_KEYUP, VK_SPACE, 0xC0000000);
                  },
                  true},
        Richiesta{"Enter", [](HWND, HWND u) { ::PostMessageW(u, WM_KEYDOWN, VK_RETURN, 0); }, true},
        Richiesta{"AltF4",
                  [](HWND, HWND u) {
                    // Alt is down (bit 29) on the key that the focused control receives.
                    ::PostMessageW(u, WM_SYSKEYDOWN, VK_F4, 0x20000001);
                  },
                  true},
        Richiesta{"Close", [](HWND f, HWND) { ::PostMessageW(f, WM_CLOSE, 0, 0); }, true},
        Richiesta{"EndOfSession", [](HWND f, HWND) { ::SendMessageW(f, WM_ENDSESSION, TRUE, 0); },
                  true},
        Richiesta{"EndOfSessionCancelled",
                  [](HWND f, HWND) { ::SendMessageW(f, WM_ENDSESSION, FALSE, 0); }, false},
        Richiesta{"MenuCommand",
                  [](HWND f, HWND) { ::PostMessageW(f, WM_COMMAND, MAKEWPARAM(1001, 0), 0); },
                  false}),
    [](const testing::TestParamInfo<Richiesta>& info) { return std::string(info.param.nome); });

// The visible window captioned "B" of this thread, given back through `risultato`. Callbacks of
// the system are declared CALLBACK: in a 32-bit program that is another calling convention than
// a lambda's.
BOOL CALLBACK TrovaFinestraB(HWND h, LPARAM risultato) {
  if (::IsWindowVisible(h) && TestoFinestra(h) == L"B") {
    *reinterpret_cast<HWND*>(risultato) = h;
    return FALSE;
  }
  return TRUE;
}

int giri_attesa_b;
bool finestra_b_vista;

// A timer of the thread, outside the window: it finds the window once it shows and closes it; it
// ends the loop itself if the window never shows.
void CALLBACK ChiudiFinestraB(HWND, UINT, UINT_PTR id, DWORD) {
  HWND trovata = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), TrovaFinestraB, reinterpret_cast<LPARAM>(&trovata));
  if (trovata != nullptr) {
    finestra_b_vista = true;
    ::KillTimer(nullptr, id);
    ::PostMessageW(trovata, WM_CLOSE, 0, 0);
  } else if (++giri_attesa_b > 250) {
    ::KillTimer(nullptr, id);
    ::PostQuitMessage(0);
  }
}

// The window's whole life as the program runs it: the loop ends when the window is closed.
TEST(EseguiConFinestraTest, ShowsTheLoadedWindowAndReturnsOnceItUnloads) {
  platform::MemEnv env;
  Form1 form(env);
  giri_attesa_b = 0;
  finestra_b_vista = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, ChiudiFinestraB);
  ASSERT_NE(timer, 0u);

  EXPECT_EQ(EseguiConFinestra(form), 0);
  EXPECT_TRUE(finestra_b_vista);
  EXPECT_TRUE(form.Scaricata());
  // Start-up ran: the message box of the missing company database.
  EXPECT_EQ(env.message_boxes().size(), 1u);
}

}  // namespace
}  // namespace zav5::window
