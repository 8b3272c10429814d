#include "window/win32/win32_window.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"
#include "window/win32/api.h"
#include "window/win32/data_bar.h"
#include "window/win32/drive_list.h"
#include "window/win32/frame.h"
#include "window/win32/gdi.h"
#include "window/win32/graphic_button.h"
#include "window/win32/icon.h"
#include "window/win32/menu.h"
#include "window/win32/window_class.h"
#include "window/win32/windowless_controls.h"

namespace zav5::window {

namespace {

using win32::Pixel;

constexpr wchar_t kWindowClass[] = L"Zav5Finestra";
constexpr wchar_t kOwnerClass[] = L"Zav5Proprietario";
constexpr UINT_PTR kIdTimer2 = 1;
// Control identifiers follow the design's order; menu entries come after them.
constexpr int kFirstControlId = 100;
constexpr UINT kFirstMenuId = 1000;
// The drive list's drop-down part, below the closed list.
constexpr int kDropDownHeight = 160;

// A handler of the window, by the name the design gives it.
using Handler = void (Form1::*)();

// The handler named `name`. Throws Error for a name the window does not have: the design and
// Form1 no longer agree.
Handler HandlerNamed(std::string_view name) {
  if (name == "Command1_Click") {
    return &Form1::Command1_Click;
  }
  if (name == "Timer2_Timer") {
    return &Form1::Timer2_Timer;
  }
  throw Error(fmt::format("la finestra non ha il gestore di eventi {}", name));
}

[[noreturn]] void ThrowRefused(std::string_view cosa) {
  throw Error(
      fmt::format("impossibile creare {}: {}", cosa, platform::WindowsErrorText(::GetLastError())));
}

struct Styles {
  DWORD style;
  DWORD ex_style;
};

// The window's frame as the design has it; a window kept out of the taskbar gets a hidden owner
// instead of a style.
Styles WindowStyles(const WindowModel& modello) {
  Styles s{WS_CLIPCHILDREN, 0};
  switch (modello.border) {
    case BorderStyle::kNone:
      s.style |= WS_POPUP;
      break;
    case BorderStyle::kFixed:
      s.style |= WS_CAPTION;
      break;
    case BorderStyle::kSizable:
      s.style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case BorderStyle::kFixedDialog:
      s.style |= WS_CAPTION | WS_DLGFRAME;
      s.ex_style |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (modello.close_box) {
    s.style |= WS_SYSMENU;
  }
  if (modello.min_button) {
    s.style |= WS_MINIMIZEBOX;
  }
  if (modello.max_button) {
    s.style |= WS_MAXIMIZEBOX;
  }
  if (modello.in_taskbar) {
    s.ex_style |= WS_EX_APPWINDOW;
  }
  return s;
}

DWORD TextAlignStyle(Alignment alignment) {
  switch (alignment) {
    case Alignment::kRight:
      return ES_RIGHT;
    case Alignment::kCenter:
      return ES_CENTER;
    case Alignment::kLeft:
      break;
  }
  return ES_LEFT;
}

// Makes the closed drop-down list `height` pixels high: the list's own height follows its font.
void FitClosedHeight(HWND elenco, int height) {
  RECT r;
  ::GetWindowRect(elenco, &r);
  const int scarto = height - (r.bottom - r.top);
  const LRESULT line = ::SendMessageW(elenco, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (scarto != 0 && line != CB_ERR && line + scarto > 0) {
    ::SendMessageW(elenco, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), line + scarto);
  }
}

}  // namespace

class Win32Window::WindowState {
 public:
  explicit WindowState(Form1& form);
  ~WindowState();

  void Load();
  void Show();
  void ArmTimer();
  bool PumpMessages();
  bool Wait();

  HWND Handle() const { return hwnd_; }
  HWND Owner() const { return owner_; }
  HWND Control(std::string_view name, std::optional<int> index) const;
  HMENU DesignMenu() const { return design_menu_.get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM w, LPARAM l);

  void CreateMainWindow();
  void CreateControls();
  HWND CreateControl(const window::Control& c, HWND genitore, int id);
  void Center();

  const window::Control* ControlOf(HWND hwnd) const;

  // Runs one event's handler on its own: the timer waits meanwhile, and an unload asked for in
  // the meantime (from a message box's loop) comes after it. Then the window follows the form.
  void OnEvent(const std::function<void()>& handler);
  void AfterEvent();
  void Tick();
  void Click(const window::Control& pulsante);
  void RequestUnload();
  void RefreshDataControls();
  // Ends the window after an unload or an error: no more events, the loop ends.
  void Close();
  // Destroys the window, then its owner, without touching the form.
  void DestroyWindows();

  // Keyboard handling of a dialog: Tab and Shift+Tab walk the tab order, Enter clicks the button
  // that has the focus. True when `m` was handled here.
  bool PreTranslate(const MSG& m);
  void MoveFocus(int row_step);
  void RestoreFocus();
  void Dispatch(const MSG& m);
  void Rethrow();

  Form1& form_;
  const WindowModel& model_;
  Handler tick_ = nullptr;
  win32::Fonts fonts_;
  win32::Icon big_icon_;
  win32::Icon small_icon_;
  win32::Menu design_menu_;
  // The windowless controls of the window itself and of each frame.
  std::unique_ptr<win32::WindowlessPainter> windowless_;
  std::vector<std::unique_ptr<win32::WindowlessPainter>> frame_windowless_;
  std::vector<std::pair<const window::Control*, HWND>> controls_;
  HWND owner_ = nullptr;
  HWND hwnd_ = nullptr;
  // The control that had the focus when the window last lost the activation.
  HWND focus_ = nullptr;
  bool busy_ = false;
  bool unload_pending_ = false;
  // The window is going because of this object (an unload, an error, the destructor).
  bool closed_here_ = false;
  bool end_ = false;  // the quit message has come
  std::exception_ptr error_;
};

Win32Window::WindowState::WindowState(Form1& form)
    : form_(form),
      model_(Form1::Design()),
      windowless_(std::make_unique<win32::WindowlessPainter>(model_, kWindowName, fonts_)) {
  const window::Control* timer = model_.Find("Timer2");
  tick_ = HandlerNamed(timer != nullptr ? std::string_view(timer->handler) : std::string_view());
  try {
    CreateMainWindow();
    CreateControls();
    if (model_.centered) {
      Center();
    }
    ArmTimer();
  } catch (...) {
    DestroyWindows();
    throw;
  }
}

Win32Window::WindowState::~WindowState() {
  DestroyWindows();
}

void Win32Window::WindowState::DestroyWindows() {
  closed_here_ = true;
  if (hwnd_ != nullptr) {
    ::DestroyWindow(hwnd_);
  }
  if (owner_ != nullptr) {
    ::DestroyWindow(owner_);
    owner_ = nullptr;
  }
}

void Win32Window::WindowState::CreateMainWindow() {
  static const wchar_t* const win32_window =
      win32::RegisterOwnClass(kWindowClass, WindowProc, 0, "della finestra");
  static const wchar_t* const proprietario =
      win32::RegisterOwnClass(kOwnerClass, ::DefWindowProcW, 0, "del suo proprietario");
  HINSTANCE istanza = ::GetModuleHandleW(nullptr);
  const std::wstring caption = platform::Utf8ToWide(model_.caption);

  if (model_.icon_size) {
    big_icon_ = win32::MakeIcon(*model_.icon_size);
    small_icon_ = win32::MakeIcon(::GetSystemMetrics(SM_CXSMICON));
  }
  // As the forms runtime does for a window kept out of the taskbar: a hidden top-level window
  // owns it.
  if (!model_.in_taskbar) {
    owner_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, proprietario, caption.c_str(), WS_POPUP, 0, 0, 0,
                               0, nullptr, nullptr, istanza, nullptr);
    if (owner_ == nullptr) {
      ThrowRefused("la finestra nascosta che possiede la finestra");
    }
  }

  design_menu_ = win32::MakeDesignMenu(model_.menu, kFirstMenuId);
  win32::Menu barra = win32::MakeMenuBar(model_.menu, kFirstMenuId);
  const Styles stili = WindowStyles(model_);
  const int width = Pixel(model_.client_width);
  const int height = Pixel(model_.client_height);
  RECT esterno = {0, 0, width, height};
  ::AdjustWindowRectEx(&esterno, stili.style, barra != nullptr, stili.ex_style);
  // The window procedure takes the handle on its first message.
  HWND creata = ::CreateWindowExW(stili.ex_style, win32_window, caption.c_str(), stili.style, 0, 0,
                                  esterno.right - esterno.left, esterno.bottom - esterno.top,
                                  owner_, barra.get(), istanza, this);
  if (creata == nullptr || hwnd_ == nullptr) {
    ThrowRefused(fmt::format("la finestra {}", model_.name));
  }
  // The window owns its menu bar from here on.
  static_cast<void>(barra.release());

  // A frame that the window system draws otherwise than it told: the client area is what counts.
  RECT interno;
  ::GetClientRect(hwnd_, &interno);
  if (interno.right != width || interno.bottom != height) {
    ::GetWindowRect(hwnd_, &esterno);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, esterno.right - esterno.left + width - interno.right,
                   esterno.bottom - esterno.top + height - interno.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  for (HWND h : {hwnd_, owner_}) {
    if (h != nullptr && big_icon_) {
      ::SendMessageW(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
      ::SendMessageW(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));
    }
  }
}

void Win32Window::WindowState::CreateControls() {
  int id = kFirstControlId;
  for (const window::Control& c : model_.controls) {
    ++id;
    if (c.kind == ControlKind::kTimer || win32::IsWindowless(c.kind)) {
      continue;
    }
    HWND genitore = c.container == kWindowName ? hwnd_ : Control(c.container, std::nullopt);
    if (genitore == nullptr) {
      throw Error(fmt::format("il contenitore {} del controllo {} non è sulla finestra",
                              c.container, c.name));
    }
    HWND h = CreateControl(c, genitore, id);
    // Back to front: each control goes over the ones before it.
    ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    controls_.emplace_back(&c, h);
  }
}

HWND Win32Window::WindowState::CreateControl(const window::Control& c, HWND genitore, int id) {
  const RECT r = Pixel(c.bounds);
  int height = r.bottom - r.top;
  DWORD style =
      WS_CHILD | WS_CLIPSIBLINGS | (c.visible ? WS_VISIBLE : 0) | (c.enabled ? 0 : WS_DISABLED);
  DWORD ex_style = 0;
  const wchar_t* classe = nullptr;
  void* parametro = nullptr;
  switch (c.kind) {
    case ControlKind::kButton:
      classe = L"BUTTON";
      style |= WS_TABSTOP | (c.graphical ? BS_OWNERDRAW : BS_PUSHBUTTON);
      if (!c.handler.empty()) {
        HandlerNamed(c.handler);
      }
      break;
    case ControlKind::kDriveList:
      classe = L"COMBOBOX";
      style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
      height += kDropDownHeight;
      break;
    case ControlKind::kTextBox:
      classe = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL | TextAlignStyle(c.alignment);
      ex_style |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kFrame: {
      classe = win32::FrameClass();
      style |= WS_CLIPCHILDREN;
      ex_style |= WS_EX_CONTROLPARENT;
      frame_windowless_.push_back(
          std::make_unique<win32::WindowlessPainter>(model_, c.name, fonts_));
      parametro = frame_windowless_.back().get();
      break;
    }
    case ControlKind::kData:
      classe = win32::DataBarClass();
      break;
    case ControlKind::kTimer:
    case ControlKind::kCircle:
    case ControlKind::kLabel:
      throw Error(fmt::format("il controllo {} non ha una finestra", c.name));
  }
  const std::wstring testo = platform::Utf8ToWide(c.caption);
  HWND h = ::CreateWindowExW(
      ex_style, classe, testo.c_str(), style, r.left, r.top, r.right - r.left, height, genitore,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), parametro);
  if (h == nullptr) {
    ThrowRefused(fmt::format("il controllo {}", c.name));
  }
  ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Of(c.font.value_or(model_.font))),
                 FALSE);
  if (c.kind == ControlKind::kDriveList) {
    win32::FillDriveList(h, win32::MachineDrives(), form_.Drive1());
    FitClosedHeight(h, r.bottom - r.top);
  }
  return h;
}

void Win32Window::WindowState::Center() {
  RECT lavoro;
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &lavoro, 0)) {
    lavoro = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT esterno;
  ::GetWindowRect(hwnd_, &esterno);
  const int width = esterno.right - esterno.left;
  const int height = esterno.bottom - esterno.top;
  // On a screen smaller than the window the caption stays reachable.
  const int x = std::max(lavoro.left, lavoro.left + (lavoro.right - lavoro.left - width) / 2);
  const int y = std::max(lavoro.top, lavoro.top + (lavoro.bottom - lavoro.top - height) / 2);
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Win32Window::WindowState::Control(std::string_view name, std::optional<int> index) const {
  const window::Control* c = model_.Find(name, index);
  for (const auto& [controllo, h] : controls_) {
    if (controllo == c) {
      return h;
    }
  }
  return nullptr;
}

const window::Control* Win32Window::WindowState::ControlOf(HWND hwnd) const {
  for (const auto& [controllo, h] : controls_) {
    if (h == hwnd) {
      return controllo;
    }
  }
  return nullptr;
}

void Win32Window::WindowState::Load() {
  OnEvent([this] {
    form_.Form_Load();
    if (HWND testo = Control("nrposw", std::nullopt)) {
      ::SetWindowTextW(testo, platform::Utf8ToWide(form_.nrposw()).c_str());
    }
  });
  Rethrow();
}

void Win32Window::WindowState::Show() {
  if (hwnd_ == nullptr) {
    return;
  }
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  ::UpdateWindow(hwnd_);
  RestoreFocus();
}

void Win32Window::WindowState::ArmTimer() {
  if (hwnd_ == nullptr) {
    return;
  }
  const std::optional<platform::SteadyTime> prossimo = form_.Timer2().Due();
  if (!prossimo) {
    ::KillTimer(hwnd_, kIdTimer2);
    return;
  }
  const auto resto =
      std::chrono::ceil<std::chrono::milliseconds>(*prossimo - form_.Env().SteadyNow()).count();
  const auto attesa =
      static_cast<UINT>(std::clamp<decltype(resto)>(resto, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
  if (::SetTimer(hwnd_, kIdTimer2, attesa, nullptr) == 0) {
    ThrowRefused("il timer Timer2");
  }
}

void Win32Window::WindowState::OnEvent(const std::function<void()>& handler) {
  busy_ = true;
  if (hwnd_ != nullptr) {
    ::KillTimer(hwnd_, kIdTimer2);
  }
  try {
    handler();
    if (unload_pending_) {
      form_.Unload();
    }
  } catch (...) {
    error_ = std::current_exception();
  }
  unload_pending_ = false;
  busy_ = false;
  AfterEvent();
}

void Win32Window::WindowState::AfterEvent() {
  if (error_ || form_.Unloaded()) {
    Close();
    return;
  }
  RefreshDataControls();
  ArmTimer();
}

void Win32Window::WindowState::Tick() {
  if (busy_) {
    return;
  }
  OnEvent([this] {
    cycle::Timer& timer = form_.Timer2();
    // The system timer may come a little before the tick on the Env's clock: it is then set again
    // for the rest.
    if (timer.IsDue()) {
      timer.Delivered();
      (form_.*tick_)();
    }
  });
}

void Win32Window::WindowState::Click(const window::Control& pulsante) {
  if (busy_ || pulsante.handler.empty()) {
    return;
  }
  const Handler handler = HandlerNamed(pulsante.handler);
  OnEvent([this, handler] { (form_.*handler)(); });
}

void Win32Window::WindowState::RequestUnload() {
  if (busy_) {
    unload_pending_ = true;
    return;
  }
  OnEvent([this] { form_.Unload(); });
}

void Win32Window::WindowState::RefreshDataControls() {
  for (const window::Control* dati : model_.DataSources()) {
    HWND h = Control(dati->name, dati->index);
    if (h == nullptr) {
      continue;
    }
    const bool visible = form_.Source(dati->name).Visible;
    if (visible != ((::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0)) {
      ::ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
    }
  }
}

void Win32Window::WindowState::Close() {
  DestroyWindows();
  ::PostQuitMessage(0);
}

bool Win32Window::WindowState::PreTranslate(const MSG& m) {
  if (m.message != WM_KEYDOWN || hwnd_ == nullptr || !::IsChild(hwnd_, m.hwnd)) {
    return false;
  }
  if (m.wParam == VK_TAB) {
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) {
      return false;
    }
    MoveFocus(::GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    return true;
  }
  if (m.wParam == VK_RETURN) {
    const window::Control* c = ControlOf(m.hwnd);
    if (c != nullptr && c->kind == ControlKind::kButton) {
      ::SendMessageW(m.hwnd, BM_CLICK, 0, 0);
      return true;
    }
  }
  return false;
}

void Win32Window::WindowState::MoveFocus(int row_step) {
  std::vector<HWND> ordine;
  for (const window::Control* c : model_.TabOrder()) {
    HWND h = Control(c->name, c->index);
    if (h != nullptr && ::IsWindowVisible(h) && ::IsWindowEnabled(h)) {
      ordine.push_back(h);
    }
  }
  if (ordine.empty()) {
    return;
  }
  const int n = static_cast<int>(ordine.size());
  int corrente = -1;
  for (HWND f = ::GetFocus(); f != nullptr && f != hwnd_ && corrente < 0; f = ::GetParent(f)) {
    const auto trovato = std::find(ordine.begin(), ordine.end(), f);
    if (trovato != ordine.end()) {
      corrente = static_cast<int>(trovato - ordine.begin());
    }
  }
  const int prossimo = corrente < 0 ? (row_step > 0 ? 0 : n - 1) : (corrente + row_step + n) % n;
  HWND h = ordine[static_cast<size_t>(prossimo)];
  ::SetFocus(h);
  const window::Control* c = ControlOf(h);
  if (c != nullptr && c->kind == ControlKind::kTextBox) {
    ::SendMessageW(h, EM_SETSEL, 0, -1);
  }
}

void Win32Window::WindowState::RestoreFocus() {
  HWND h = focus_;
  if (h == nullptr || !::IsWindow(h) || !::IsWindowVisible(h) || !::IsWindowEnabled(h)) {
    h = nullptr;
    for (const window::Control* c : model_.TabOrder()) {
      HWND candidato = Control(c->name, c->index);
      if (candidato != nullptr && ::IsWindowVisible(candidato) && ::IsWindowEnabled(candidato)) {
        h = candidato;
        break;
      }
    }
  }
  if (h != nullptr) {
    ::SetFocus(h);
  }
}

LRESULT CALLBACK Win32Window::WindowState::WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  WindowState* stato = nullptr;
  if (message == WM_NCCREATE) {
    stato = static_cast<WindowState*>(reinterpret_cast<const CREATESTRUCTW*>(l)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(stato));
    stato->hwnd_ = hwnd;
  } else {
    stato = reinterpret_cast<WindowState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (stato == nullptr) {
    return ::DefWindowProcW(hwnd, message, w, l);
  }
  // Nothing may be thrown through the window system: the error waits for the message loop.
  try {
    return stato->HandleMessage(hwnd, message, w, l);
  } catch (...) {
    stato->error_ = std::current_exception();
    if (!stato->closed_here_) {
      stato->Close();
    }
    return 0;
  }
}

LRESULT Win32Window::WindowState::HandleMessage(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED && l != 0) {
        const window::Control* c = ControlOf(reinterpret_cast<HWND>(l));
        if (c != nullptr && c->kind == ControlKind::kButton) {
          Click(*c);
        }
      }
      return 0;
    case WM_DRAWITEM: {
      const auto* voce = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (voce->CtlType == ODT_BUTTON) {
        win32::DrawGraphicButton(*voce);
        return TRUE;
      }
      break;
    }
    case WM_TIMER:
      if (w == kIdTimer2) {
        Tick();
        return 0;
      }
      break;
    case WM_CLOSE:
      RequestUnload();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (w) {
        RequestUnload();
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(w) == WA_INACTIVE) {
        HWND f = ::GetFocus();
        if (f != nullptr && ::IsChild(hwnd, f)) {
          focus_ = f;
        }
      } else {
        RestoreFocus();
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      win32::HandlePaint(hwnd, message, w, l, [this](HDC dc) { windowless_->Paint(dc); });
      return 0;
    case WM_DESTROY:
      ::KillTimer(hwnd, kIdTimer2);
      // Destroyed from outside: the form unloads with its window, and the loop ends.
      if (!closed_here_) {
        closed_here_ = true;
        try {
          form_.Unload();
        } catch (...) {
          error_ = std::current_exception();
        }
        ::PostQuitMessage(0);
      }
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      focus_ = nullptr;
      controls_.clear();
      design_menu_.reset();
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, w, l);
}

void Win32Window::WindowState::Dispatch(const MSG& m) {
  if (m.message == WM_QUIT) {
    end_ = true;
    return;
  }
  if (PreTranslate(m)) {
    return;
  }
  ::TranslateMessage(&m);
  ::DispatchMessageW(&m);
}

void Win32Window::WindowState::Rethrow() {
  if (error_) {
    std::exception_ptr errore = std::exchange(error_, nullptr);
    std::rethrow_exception(errore);
  }
}

bool Win32Window::WindowState::PumpMessages() {
  MSG m;
  while (!end_ && ::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    Dispatch(m);
  }
  Rethrow();
  return !end_;
}

bool Win32Window::WindowState::Wait() {
  if (!end_) {
    MSG m;
    const BOOL esito = ::GetMessageW(&m, nullptr, 0, 0);
    if (esito == -1) {
      ThrowRefused("la lettura dei messaggi della finestra");
    }
    if (esito == 0) {
      end_ = true;
    } else {
      Dispatch(m);
    }
  }
  return PumpMessages();
}

Win32Window::Win32Window(Form1& form) : window_state_(std::make_unique<WindowState>(form)) {}
Win32Window::~Win32Window() = default;

void Win32Window::Load() {
  window_state_->Load();
}
void Win32Window::Show() {
  window_state_->Show();
}
HWND__* Win32Window::Handle() const {
  return window_state_->Handle();
}
HWND__* Win32Window::Owner() const {
  return window_state_->Owner();
}
HWND__* Win32Window::Control(std::string_view name, std::optional<int> index) const {
  return window_state_->Control(name, index);
}
HMENU__* Win32Window::DesignMenu() const {
  return window_state_->DesignMenu();
}
void Win32Window::ArmTimer() {
  window_state_->ArmTimer();
}
bool Win32Window::PumpMessages() {
  return window_state_->PumpMessages();
}
bool Win32Window::Wait() {
  return window_state_->Wait();
}

int RunWindowed(Form1& form) {
  Win32Window win32_window(form);
  win32_window.Load();
  win32_window.Show();
  while (win32_window.Wait()) {
  }
  return 0;
}

}  // namespace zav5::window
