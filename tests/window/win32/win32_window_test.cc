// The real window under the window system: its frame, its controls where the design puts them,
// the keyboard, and the events that reach the form (timer ticks, the exit button, closing).
// Everything is read back through the window system, not from the window's own records.

#include "window/win32/win32_window.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fake/mem_env.h"
#include "platform/windows/wide_text.h"
#include "window/form1.h"
#include "window/win32/api.h"
#include "window/win32/open_window.h"
#include "window/window_model.h"

namespace zav5::window {
namespace {

using namespace std::chrono_literals;
using win32::WindowText;

// Pumps the window's messages until `fatto` holds or the window has unloaded, waiting for
// messages in between; gives up after a bounded number of rounds.
bool PumpUntil(Win32Window& win32_window, const std::function<bool()>& fatto) {
  for (int giro = 0; giro < 300 && !fatto(); ++giro) {
    if (!win32_window.PumpMessages()) {
      break;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return fatto();
}

// Pumps until the quit message that follows an unload, for at most `giri` rounds. True when it
// came.
bool PumpToEnd(Win32Window& win32_window, int giri = 300) {
  for (int giro = 0; giro < giri; ++giro) {
    if (!win32_window.PumpMessages()) {
      return true;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return false;
}

// `h`'s rectangle in the client area of its parent.
RECT InParent(HWND h) {
  RECT r;
  ::GetWindowRect(h, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = L"";
  ::GetClassNameW(h, name, 64);
  return name;
}

LOGFONTW Font(HWND h) {
  LOGFONTW lf{};
  auto font = reinterpret_cast<HFONT>(::SendMessageW(h, WM_GETFONT, 0, 0));
  ::GetObjectW(font, sizeof(lf), &lf);
  return lf;
}

using OpenWin = OpenWindow;

// The checks that change nothing share one window: under Wine without a window manager, ending a
// window that was shown takes two seconds.
class SharedWin32WindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { open_ = new OpenWin; }
  static void TearDownTestSuite() {
    delete open_;
    open_ = nullptr;
  }

  static HWND Hwnd() { return open_->win32_window.Handle(); }
  static HWND Ctl(std::string_view name, std::optional<int> index = std::nullopt) {
    return open_->win32_window.Control(name, index);
  }

  static OpenWin* open_;
};

OpenWin* SharedWin32WindowTest::open_ = nullptr;

// A window of its own, for the checks that change it.
class Win32WindowTest : public testing::Test {
 protected:
  HWND Hwnd() const { return win32_window_->Handle(); }
  HWND Ctl(std::string_view name, std::optional<int> index = std::nullopt) const {
    return win32_window_->Control(name, index);
  }

  OpenWin open_;
  platform::MemEnv& env_ = open_.env;
  Form1& form_ = open_.form;
  Win32Window* win32_window_ = &open_.win32_window;
};

TEST_F(SharedWin32WindowTest,
       FrameIsAFixedDialogOutOfTheTaskbarWithTheDesignsCaptionAndClientArea) {
  ASSERT_NE(Hwnd(), nullptr);
  EXPECT_EQ(WindowText(Hwnd()), L"B");
  RECT interno;
  ::GetClientRect(Hwnd(), &interno);
  EXPECT_EQ(interno.right, 592);
  EXPECT_EQ(interno.bottom, 531);

  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(Hwnd(), GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(::GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE));
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  for (const DWORD assente : {WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME}) {
    EXPECT_EQ(style & assente, 0u) << std::hex << assente;
  }
  EXPECT_NE(ex_style & WS_EX_DLGMODALFRAME, 0u);
  EXPECT_EQ(ex_style & WS_EX_APPWINDOW, 0u);

  // A hidden owner keeps the window out of the taskbar.
  HWND proprietario = ::GetWindow(Hwnd(), GW_OWNER);
  ASSERT_NE(proprietario, nullptr);
  EXPECT_EQ(proprietario, open_->win32_window.Owner());
  EXPECT_FALSE(::IsWindowVisible(proprietario));
  EXPECT_TRUE(::IsWindowVisible(Hwnd()));

  // No menu bar: the one menu of the design is hidden.
  EXPECT_EQ(::GetMenu(Hwnd()), nullptr);
}

TEST_F(SharedWin32WindowTest, FirstShownInTheMiddleOfTheWorkArea) {
  RECT lavoro;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &lavoro, 0));
  RECT esterno;
  ::GetWindowRect(Hwnd(), &esterno);
  EXPECT_NEAR(esterno.left + esterno.right, lavoro.left + lavoro.right, 1);
  EXPECT_NEAR(esterno.top + esterno.bottom, lavoro.top + lavoro.bottom, 1);
}

TEST_F(SharedWin32WindowTest, EveryWindowedControlSitsWhereTheDesignPutsIt) {
  const WindowModel& progetto = Form1::Design();
  int con_finestra = 0;
  for (const Control& c : progetto.controls) {
    SCOPED_TRACE(testing::Message() << c.name << " " << c.index.value_or(0));
    HWND h = Ctl(c.name, c.index);
    const bool senza = c.kind == ControlKind::kTimer || c.kind == ControlKind::kCircle ||
                       c.kind == ControlKind::kLabel;
    if (senza) {
      EXPECT_EQ(h, nullptr);
      continue;
    }
    ++con_finestra;
    ASSERT_NE(h, nullptr);
    HWND container = c.container == kWindowName ? Hwnd() : Ctl(c.container);
    EXPECT_EQ(::GetParent(h), container);
    const RECT r = InParent(h);
    EXPECT_EQ(r.left * 15, c.bounds.left);
    EXPECT_EQ(r.top * 15, c.bounds.top);
    EXPECT_EQ((r.right - r.left) * 15, c.bounds.width);
    EXPECT_EQ((r.bottom - r.top) * 15, c.bounds.height);
  }
  // Drive1, Frame1, nrposw, Command1 and the 20 data controls.
  EXPECT_EQ(con_finestra, 24);

  const RECT output = InParent(Ctl("Command1"));
  EXPECT_EQ(output.left, 8);
  EXPECT_EQ(output.top, 448);
  EXPECT_EQ(output.right - output.left, 577);
  EXPECT_EQ(output.bottom - output.top, 73);

  // nrposw lies inside Frame1 on the screen.
  RECT testo;
  RECT riquadro;
  ::GetWindowRect(Ctl("nrposw"), &testo);
  ::GetWindowRect(Ctl("Frame1"), &riquadro);
  RECT unione;
  ::UnionRect(&unione, &testo, &riquadro);
  EXPECT_TRUE(::EqualRect(&unione, &riquadro));
}

TEST_F(SharedWin32WindowTest, ControlsAreTheWindowSystemsOwnWithTheDesignsTextAndFonts) {
  struct Expected {
    const char* name;
    std::wstring classe;
    DWORD style;  // bits that must be set
    std::wstring testo;
    std::wstring font;
    LONG height;
    bool bold;
  };
  const std::vector<Expected> attesi = {
      {"Command1", L"Button", BS_OWNERDRAW | WS_TABSTOP, L"Uscita", L"MS Sans Serif", -11, false},
      {"nrposw", L"Edit", WS_TABSTOP, L"", L"MS Sans Serif", -16, false},
      {"Drive1", L"ComboBox", CBS_DROPDOWNLIST | WS_TABSTOP, L"", L"MS Sans Serif", -11, false},
      {"Frame1", L"Zav5Riquadro", WS_CLIPCHILDREN, L"Numero Pos", L"MS Sans Serif", -13, true},
      {"var", L"Zav5Dati", 0, L"Data3", L"MS Sans Serif", -11, false},
      {"elettro", L"Zav5Dati", 0, L"Data4", L"MS Sans Serif", -11, false},
      {"offtab", L"Zav5Dati", 0, L"Data3", L"MS Sans Serif", -11, false},
  };
  for (const Expected& a : attesi) {
    SCOPED_TRACE(a.name);
    HWND h = Ctl(a.name);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ClassOf(h), a.classe);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(h, GWL_STYLE)) & a.style, a.style);
    if (a.classe != L"ComboBox") {
      EXPECT_EQ(WindowText(h), a.testo);
    }
    const LOGFONTW lf = Font(h);
    EXPECT_EQ(std::wstring(lf.lfFaceName), a.font);
    EXPECT_EQ(lf.lfHeight, a.height);
    EXPECT_EQ(lf.lfWeight >= FW_BOLD, a.bold);
  }
  EXPECT_NE(::GetWindowLongPtrW(Ctl("nrposw"), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST_F(SharedWin32WindowTest, ControlsAreStackedInTheDesignsOrder) {
  // The window system's order runs from the top down; the design's from the bottom up.
  std::vector<HWND> dall_alto;
  for (HWND h = ::GetWindow(Hwnd(), GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT)) {
    dall_alto.push_back(h);
  }
  std::vector<HWND> progetto;
  for (const Control* c : Form1::Design().ControlsIn(kWindowName)) {
    if (HWND h = Ctl(c->name, c->index)) {
      progetto.insert(progetto.begin(), h);
    }
  }
  EXPECT_EQ(dall_alto, progetto);
  // So Frame1 covers Drive1.
  const auto placed = [&](HWND h) { return std::find(dall_alto.begin(), dall_alto.end(), h); };
  EXPECT_LT(placed(Ctl("Frame1")), placed(Ctl("Drive1")));
}

TEST_F(Win32WindowTest, ExitButtonHasTheFocusAndTabWalksTheTabOrder) {
  EXPECT_EQ(::GetFocus(), Ctl("Command1"));
  const std::vector<const char*> giro = {"Drive1", "nrposw", "Command1"};
  for (const char* prossimo : giro) {
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(PumpUntil(*win32_window_, [&] { return ::GetFocus() == Ctl(prossimo); }))
        << prossimo;
  }
  EXPECT_FALSE(form_.Unloaded());
}

TEST_F(SharedWin32WindowTest, TextBoxShowsWhatStartUpLeftAndDataControlsAreAllShown) {
  // No company database: the message box, and nrposw keeps its design state.
  EXPECT_EQ(open_->env.message_boxes().size(), 1u);
  EXPECT_EQ(WindowText(Ctl("nrposw")), platform::Utf8ToWide(open_->form.nrposw()));
  for (const Control* dati : Form1::Design().DataSources()) {
    EXPECT_TRUE(::IsWindowVisible(Ctl(dati->name))) << dati->name;
  }
}

TEST(Win32WindowLoadTest, LoadRunsBeforeTheWindowShowsAndFillsTheTextBox) {
  // A company database that is no database: start-up stops at it without a message box and the
  // text box shows the number of tills, 0.
  platform::MemEnv env;
  env.PutFile("C:\\dorn\\sulvo.mdb", "x");
  Form1 form(env);
  Win32Window win32_window(form);
  EXPECT_FALSE(::IsWindowVisible(win32_window.Handle()));
  EXPECT_EQ(WindowText(win32_window.Control("nrposw")), L"");
  win32_window.Load();
  EXPECT_FALSE(::IsWindowVisible(win32_window.Handle()));
  EXPECT_TRUE(env.message_boxes().empty());
  EXPECT_EQ(WindowText(win32_window.Control("nrposw")), L"0");
  win32_window.Show();
  EXPECT_TRUE(::IsWindowVisible(win32_window.Handle()));
}

TEST_F(SharedWin32WindowTest, MenuIsBuiltAsDesignedButNeverShown) {
  HMENU menu = open_->win32_window.DesignMenu();
  ASSERT_NE(menu, nullptr);
  const auto voce = [](HMENU m, int placed) {
    wchar_t testo[64] = L"";
    ::GetMenuStringW(m, static_cast<UINT>(placed), testo, 64, MF_BYPOSITION);
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

TEST_F(Win32WindowTest, TimerTickRunsTheTickHandlerOnlyOnceTheTickIsDue) {
  const auto ticks = [&] { return form_.StoreContext().ContatoreCicli; };
  ASSERT_EQ(ticks(), 0);

  // A system timer message before the tick is due on the Env's clock delivers nothing.
  ::PostMessageW(Hwnd(), WM_TIMER, 1, 0);
  win32_window_->PumpMessages();
  EXPECT_EQ(ticks(), 0);

  env_.Advance(5000ms);
  win32_window_->ArmTimer();
  EXPECT_TRUE(PumpUntil(*win32_window_, [&] { return ticks() == 1; }));
  // The next tick is a whole interval away.
  ASSERT_TRUE(form_.Timer2().Due().has_value());
  EXPECT_EQ(*form_.Timer2().Due() - env_.SteadyNow(), 5000ms);

  env_.Advance(5000ms);
  win32_window_->ArmTimer();
  EXPECT_TRUE(PumpUntil(*win32_window_, [&] { return ticks() == 2; }));
  EXPECT_FALSE(form_.Unloaded());
}

TEST_F(Win32WindowTest, DataControlsFollowTheirSourcesVisibilityAfterEachEvent) {
  form_.Source("caselle").Visible = false;
  form_.Source("numeri").Visible = false;
  // Nothing changes until an event has run.
  EXPECT_TRUE(::IsWindowVisible(Ctl("caselle")));
  env_.Advance(5000ms);
  win32_window_->ArmTimer();
  ASSERT_TRUE(PumpUntil(*win32_window_, [&] { return form_.StoreContext().ContatoreCicli == 1; }));
  EXPECT_FALSE(::IsWindowVisible(Ctl("caselle")));
  EXPECT_FALSE(::IsWindowVisible(Ctl("numeri")));
  EXPECT_TRUE(::IsWindowVisible(Ctl("articoli")));

  form_.Source("caselle").Visible = true;
  env_.Advance(5000ms);
  win32_window_->ArmTimer();
  ASSERT_TRUE(PumpUntil(*win32_window_, [&] { return form_.StoreContext().ContatoreCicli == 2; }));
  EXPECT_TRUE(::IsWindowVisible(Ctl("caselle")));
}

// The ways the window can be asked to go, and whether it goes.
struct Request {
  const char* name;
  std::function<void(HWND win32_window, HWND output)> act;
  bool unloads;
};

class UnloadTest : public testing::TestWithParam<Request> {};

TEST_P(UnloadTest, UnloadsTheFormAndEndsTheWindowAndItsOwner) {
  platform::MemEnv env;
  env.MakeFolder("C:\\sulvo");
  Form1 form(env);
  Win32Window win32_window(form);
  win32_window.Load();
  win32_window.Show();
  win32_window.PumpMessages();
  HWND hwnd = win32_window.Handle();
  HWND proprietario = win32_window.Owner();
  HMENU menu = win32_window.DesignMenu();
  const platform::FileHandle file =
      env.OpenTextFile("C:\\sulvo\\a.txt", platform::OpenMode::kOutput);

  GetParam().act(hwnd, win32_window.Control("Command1"));
  // Messages that change nothing are handled at the first round already.
  const bool finita = PumpToEnd(win32_window, GetParam().unloads ? 300 : 3);

  EXPECT_EQ(form.Unloaded(), GetParam().unloads);
  EXPECT_EQ(finita, GetParam().unloads);
  EXPECT_EQ(!::IsWindow(hwnd), GetParam().unloads);
  EXPECT_EQ(!::IsWindow(proprietario), GetParam().unloads);
  EXPECT_EQ(win32_window.Handle() == nullptr, GetParam().unloads);
  EXPECT_EQ(!::IsMenu(menu), GetParam().unloads);
  // The unload handler closed every file.
  EXPECT_EQ(!env.IsOpen(file), GetParam().unloads);
}

INSTANTIATE_TEST_SUITE_P(
    Modi, UnloadTest,
    testing::Values(
        Request{"Click", [](HWND, HWND u) { ::SendMessageW(u, BM_CLICK, 0, 0); }, true},
        Request{"Space",
                [](HWND, HWND u) {
                  ::PostMessageW(u, WM_KEYDOWN, VK_SPACE, 0);
                  ::PostMessageW(u, WM_KEYUP, VK_SPACE, 0xC0000000);
                },
                true},
        Request{"Enter", [](HWND, HWND u) { ::PostMessageW(u, WM_KEYDOWN, VK_RETURN, 0); }, true},
        Request{"AltF4",
                [](HWND, HWND u) {
                  // Alt is down (bit 29) on the key that the focused control receives.
                  ::PostMessageW(u, WM_SYSKEYDOWN, VK_F4, 0x20000001);
                },
                true},
        Request{"Close", [](HWND f, HWND) { ::PostMessageW(f, WM_CLOSE, 0, 0); }, true},
        Request{"EndOfSession", [](HWND f, HWND) { ::SendMessageW(f, WM_ENDSESSION, TRUE, 0); },
                true},
        Request{"EndOfSessionCancelled",
                [](HWND f, HWND) { ::SendMessageW(f, WM_ENDSESSION, FALSE, 0); }, false},
        Request{"MenuCommand",
                [](HWND f, HWND) { ::PostMessageW(f, WM_COMMAND, MAKEWPARAM(1001, 0), 0); },
                false}),
    [](const testing::TestParamInfo<Request>& info) { return std::string(info.param.name); });

// The visible window captioned "B" of this thread, given back through `risultato`. Callbacks of
// the system are declared CALLBACK: in a 32-bit program that is another calling convention than
// a lambda's.
BOOL CALLBACK FindOtherWindow(HWND h, LPARAM risultato) {
  if (::IsWindowVisible(h) && WindowText(h) == L"B") {
    *reinterpret_cast<HWND*>(risultato) = h;
    return FALSE;
  }
  return TRUE;
}

int other_window_rounds;
bool other_window_seen;

// A timer of the thread, outside the window: it finds the window once it shows and closes it; it
// ends the loop itself if the window never shows.
void CALLBACK CloseOtherWindow(HWND, UINT, UINT_PTR id, DWORD) {
  HWND trovata = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindOtherWindow, reinterpret_cast<LPARAM>(&trovata));
  if (trovata != nullptr) {
    other_window_seen = true;
    ::KillTimer(nullptr, id);
    ::PostMessageW(trovata, WM_CLOSE, 0, 0);
  } else if (++other_window_rounds > 250) {
    ::KillTimer(nullptr, id);
    ::PostQuitMessage(0);
  }
}

// The window's whole life as the program runs it: the loop ends when the window is closed.
TEST(RunWindowedTest, ShowsTheLoadedWindowAndReturnsOnceItUnloads) {
  platform::MemEnv env;
  Form1 form(env);
  other_window_rounds = 0;
  other_window_seen = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, CloseOtherWindow);
  ASSERT_NE(timer, 0u);

  EXPECT_EQ(RunWindowed(form), 0);
  EXPECT_TRUE(other_window_seen);
  EXPECT_TRUE(form.Unloaded());
  // Start-up ran: the message box of the missing company database.
  EXPECT_EQ(env.message_boxes().size(), 1u);
}

}  // namespace
}  // namespace zav5::window
