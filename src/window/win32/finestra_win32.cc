#include "window/win32/finestra_win32.h"
#include "window/win32/classe.h"

#include "window/win32/api.h"

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
#include "window/win32/barra_dati.h"
#include "window/win32/elenco_unita.h"
#include "window/win32/gdi.h"
#include "window/win32/icona.h"
#include "window/win32/menu.h"
#include "window/win32/pulsante.h"
#include "window/win32/riquadro.h"
#include "window/win32/senza_finestra.h"

namespace zav5::window {

namespace {

using win32::Pixel;

constexpr wchar_t kClasseFinestra[] = L"Zav5Finestra";
constexpr wchar_t kClasseProprietario[] = L"Zav5Proprietario";
constexpr UINT_PTR kIdTimer2 = 1;
// Control identifiers follow the design's order; menu entries come after them.
constexpr int kPrimoIdControllo = 100;
constexpr UINT kPrimoIdMenu = 1000;
// The drive list's drop-down part, below the closed list.
constexpr int kAltezzaTendina = 160;

// A handler of the window, by the name the design gives it.
using Gestore = void (Form1::*)();

// The handler named `nome`. Throws Errore for a name the window does not have: the design and
// Form1 no longer agree.
Gestore GestoreDi(std::string_view nome) {
  if (nome == "Command1_Click") {
    return &Form1::Command1_Click;
  }
  if (nome == "Timer2_Timer") {
    return &Form1::Timer2_Timer;
  }
  throw Errore(fmt::format("la finestra non ha il gestore di eventi {}", nome));
}

[[noreturn]] void Rifiutata(std::string_view cosa) {
  throw Errore(
      fmt::format("impossibile creare {}: {}", cosa, platform::WindowsErrorText(::GetLastError())));
}

struct Stili {
  DWORD stile;
  DWORD esteso;
};

// The window's frame as the design has it; a window kept out of the taskbar gets a hidden owner
// instead of a style.
Stili StiliFinestra(const ModelloFinestra& modello) {
  Stili s{WS_CLIPCHILDREN, 0};
  switch (modello.bordo) {
    case StileBordo::kNessuno:
      s.stile |= WS_POPUP;
      break;
    case StileBordo::kFisso:
      s.stile |= WS_CAPTION;
      break;
    case StileBordo::kRidimensionabile:
      s.stile |= WS_CAPTION | WS_THICKFRAME;
      break;
    case StileBordo::kDialogoFisso:
      s.stile |= WS_CAPTION | WS_DLGFRAME;
      s.esteso |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (modello.casella_chiusura) {
    s.stile |= WS_SYSMENU;
  }
  if (modello.pulsante_minimizza) {
    s.stile |= WS_MINIMIZEBOX;
  }
  if (modello.pulsante_massimizza) {
    s.stile |= WS_MAXIMIZEBOX;
  }
  if (modello.in_barra_applicazioni) {
    s.esteso |= WS_EX_APPWINDOW;
  }
  return s;
}

DWORD AllineaTesto(Allineamento allineamento) {
  switch (allineamento) {
    case Allineamento::kDestra:
      return ES_RIGHT;
    case Allineamento::kCentro:
      return ES_CENTER;
    case Allineamento::kSinistra:
      break;
  }
  return ES_LEFT;
}

// Makes the closed drop-down list `altezza` pixels high: the list's own height follows its font.
void AdattaAltezzaChiusa(HWND elenco, int altezza) {
  RECT r;
  ::GetWindowRect(elenco, &r);
  const int scarto = altezza - (r.bottom - r.top);
  const LRESULT riga = ::SendMessageW(elenco, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (scarto != 0 && riga != CB_ERR && riga + scarto > 0) {
    ::SendMessageW(elenco, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), riga + scarto);
  }
}

}  // namespace

class FinestraWin32::Stato {
 public:
  explicit Stato(Form1& form);
  ~Stato();

  void Carica();
  void Mostra();
  void ArmaTimer();
  bool Pompa();
  bool Attendi();

  HWND Handle() const { return hwnd_; }
  HWND Proprietario() const { return proprietario_; }
  HWND Controllo(std::string_view nome, std::optional<int> indice) const;
  HMENU MenuProgetto() const { return menu_progetto_.get(); }

 private:
  static LRESULT CALLBACK Procedura(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l);
  LRESULT Gestisci(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l);

  void CreaFinestra();
  void CreaControlli();
  HWND CreaControllo(const window::Controllo& c, HWND genitore, int id);
  void Centra();

  const window::Controllo* ControlloDi(HWND hwnd) const;

  // Runs one event's handler on its own: the timer waits meanwhile, and an unload asked for in
  // the meantime (from a message box's loop) comes after it. Then the window follows the form.
  void Evento(const std::function<void()>& gestore);
  void DopoEvento();
  void Tick();
  void Clic(const window::Controllo& pulsante);
  void ChiediScarico();
  void AggiornaSorgenti();
  // Ends the window after an unload or an error: no more events, the loop ends.
  void Chiudi();
  // Destroys the window, then its owner, without touching the form.
  void DistruggiFinestre();

  // Keyboard handling of a dialog: Tab and Shift+Tab walk the tab order, Enter clicks the button
  // that has the focus. True when `m` was handled here.
  bool PreTraduci(const MSG& m);
  void Tabula(int passo);
  void RendiFuoco();
  void Tratta(const MSG& m);
  void Rilancia();

  Form1& form_;
  const ModelloFinestra& modello_;
  Gestore tick_ = nullptr;
  win32::Caratteri caratteri_;
  win32::Icona icona_grande_;
  win32::Icona icona_piccola_;
  win32::Menu menu_progetto_;
  // The windowless controls of the window itself and of each frame.
  std::unique_ptr<win32::DisegnoSenzaFinestra> contenuto_;
  std::vector<std::unique_ptr<win32::DisegnoSenzaFinestra>> contenuti_riquadri_;
  std::vector<std::pair<const window::Controllo*, HWND>> controlli_;
  HWND proprietario_ = nullptr;
  HWND hwnd_ = nullptr;
  // The control that had the focus when the window last lost the activation.
  HWND fuoco_ = nullptr;
  bool occupato_ = false;
  bool scarico_in_sospeso_ = false;
  // The window is going because of this object (an unload, an error, the destructor).
  bool chiusa_da_qui_ = false;
  bool fine_ = false;  // the quit message has come
  std::exception_ptr errore_;
};

FinestraWin32::Stato::Stato(Form1& form)
    : form_(form),
      modello_(Form1::Progetto()),
      contenuto_(std::make_unique<win32::DisegnoSenzaFinestra>(modello_, kFinestra, caratteri_)) {
  const window::Controllo* timer = modello_.Trova("Timer2");
  tick_ = GestoreDi(timer != nullptr ? std::string_view(timer->gestore) : std::string_view());
  try {
    CreaFinestra();
    CreaControlli();
    if (modello_.centrata) {
      Centra();
    }
    ArmaTimer();
  } catch (...) {
    DistruggiFinestre();
    throw;
  }
}

FinestraWin32::Stato::~Stato() {
  DistruggiFinestre();
}

void FinestraWin32::Stato::DistruggiFinestre() {
  chiusa_da_qui_ = true;
  if (hwnd_ != nullptr) {
    ::DestroyWindow(hwnd_);
  }
  if (proprietario_ != nullptr) {
    ::DestroyWindow(proprietario_);
    proprietario_ = nullptr;
  }
}

void FinestraWin32::Stato::CreaFinestra() {
  static const wchar_t* const finestra =
      win32::RegistraClasse(kClasseFinestra, Procedura, 0, "della finestra");
  static const wchar_t* const proprietario =
      win32::RegistraClasse(kClasseProprietario, ::DefWindowProcW, 0, "del suo proprietario");
  HINSTANCE istanza = ::GetModuleHandleW(nullptr);
  const std::wstring didascalia = platform::Utf8ToWide(modello_.didascalia);

  if (modello_.lato_icona) {
    icona_grande_ = win32::CreaIcona(*modello_.lato_icona);
    icona_piccola_ = win32::CreaIcona(::GetSystemMetrics(SM_CXSMICON));
  }
  // As the forms runtime does for a window kept out of the taskbar: a hidden top-level window
  // owns it.
  if (!modello_.in_barra_applicazioni) {
    proprietario_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, proprietario, didascalia.c_str(), WS_POPUP,
                                      0, 0, 0, 0, nullptr, nullptr, istanza, nullptr);
    if (proprietario_ == nullptr) {
      Rifiutata("la finestra nascosta che possiede la finestra");
    }
  }

  menu_progetto_ = win32::CreaMenuProgetto(modello_.menu, kPrimoIdMenu);
  win32::Menu barra = win32::CreaBarraMenu(modello_.menu, kPrimoIdMenu);
  const Stili stili = StiliFinestra(modello_);
  const int larghezza = Pixel(modello_.larghezza_interna);
  const int altezza = Pixel(modello_.altezza_interna);
  RECT esterno = {0, 0, larghezza, altezza};
  ::AdjustWindowRectEx(&esterno, stili.stile, barra != nullptr, stili.esteso);
  // The window procedure takes the handle on its first message.
  HWND creata = ::CreateWindowExW(stili.esteso, finestra, didascalia.c_str(), stili.stile, 0, 0,
                                  esterno.right - esterno.left, esterno.bottom - esterno.top,
                                  proprietario_, barra.get(), istanza, this);
  if (creata == nullptr || hwnd_ == nullptr) {
    Rifiutata(fmt::format("la finestra {}", modello_.nome));
  }
  // The window owns its menu bar from here on.
  static_cast<void>(barra.release());

  // A frame that the window system draws otherwise than it told: the client area is what counts.
  RECT interno;
  ::GetClientRect(hwnd_, &interno);
  if (interno.right != larghezza || interno.bottom != altezza) {
    ::GetWindowRect(hwnd_, &esterno);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, esterno.right - esterno.left + larghezza - interno.right,
                   esterno.bottom - esterno.top + altezza - interno.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  for (HWND h : {hwnd_, proprietario_}) {
    if (h != nullptr && icona_grande_) {
      ::SendMessageW(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icona_grande_.get()));
      ::SendMessageW(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icona_piccola_.get()));
    }
  }
}

void FinestraWin32::Stato::CreaControlli() {
  int id = kPrimoIdControllo;
  for (const window::Controllo& c : modello_.controlli) {
    ++id;
    if (c.tipo == TipoControllo::kTimer || win32::SenzaFinestra(c.tipo)) {
      continue;
    }
    HWND genitore = c.contenitore == kFinestra ? hwnd_ : Controllo(c.contenitore, std::nullopt);
    if (genitore == nullptr) {
      throw Errore(fmt::format("il contenitore {} del controllo {} non è sulla finestra",
                               c.contenitore, c.nome));
    }
    HWND h = CreaControllo(c, genitore, id);
    // Back to front: each control goes over the ones before it.
    ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    controlli_.emplace_back(&c, h);
  }
}

HWND FinestraWin32::Stato::CreaControllo(const window::Controllo& c, HWND genitore, int id) {
  const RECT r = Pixel(c.posizione);
  int altezza = r.bottom - r.top;
  DWORD stile =
      WS_CHILD | WS_CLIPSIBLINGS | (c.visibile ? WS_VISIBLE : 0) | (c.abilitato ? 0 : WS_DISABLED);
  DWORD esteso = 0;
  const wchar_t* classe = nullptr;
  void* parametro = nullptr;
  switch (c.tipo) {
    case TipoControllo::kPulsante:
      classe = L"BUTTON";
      stile |= WS_TABSTOP | (c.grafico ? BS_OWNERDRAW : BS_PUSHBUTTON);
      if (!c.gestore.empty()) {
        GestoreDi(c.gestore);
      }
      break;
    case TipoControllo::kElencoUnita:
      classe = L"COMBOBOX";
      stile |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
      altezza += kAltezzaTendina;
      break;
    case TipoControllo::kCasellaTesto:
      classe = L"EDIT";
      stile |= WS_TABSTOP | ES_AUTOHSCROLL | AllineaTesto(c.allineamento);
      esteso |= WS_EX_CLIENTEDGE;
      break;
    case TipoControllo::kRiquadro: {
      classe = win32::ClasseRiquadro();
      stile |= WS_CLIPCHILDREN;
      esteso |= WS_EX_CONTROLPARENT;
      contenuti_riquadri_.push_back(
          std::make_unique<win32::DisegnoSenzaFinestra>(modello_, c.nome, caratteri_));
      parametro = contenuti_riquadri_.back().get();
      break;
    }
    case TipoControllo::kDati:
      classe = win32::ClasseDati();
      break;
    case TipoControllo::kTimer:
    case TipoControllo::kCerchio:
    case TipoControllo::kEtichetta:
      throw Errore(fmt::format("il controllo {} non ha una finestra", c.nome));
  }
  const std::wstring testo = platform::Utf8ToWide(c.didascalia);
  HWND h = ::CreateWindowExW(esteso, classe, testo.c_str(), stile, r.left, r.top, r.right - r.left,
                             altezza, genitore, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), parametro);
  if (h == nullptr) {
    Rifiutata(fmt::format("il controllo {}", c.nome));
  }
  ::SendMessageW(h, WM_SETFONT,
                 reinterpret_cast<WPARAM>(caratteri_.Di(c.carattere.value_or(modello_.carattere))),
                 FALSE);
  if (c.tipo == TipoControllo::kElencoUnita) {
    win32::RiempiElencoUnita(h, win32::UnitaDellaMacchina(), form_.Drive1());
    AdattaAltezzaChiusa(h, r.bottom - r.top);
  }
  return h;
}

void FinestraWin32::Stato::Centra() {
  RECT lavoro;
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &lavoro, 0)) {
    lavoro = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT esterno;
  ::GetWindowRect(hwnd_, &esterno);
  const int larghezza = esterno.right - esterno.left;
  const int altezza = esterno.bottom - esterno.top;
  // On a screen smaller than the window the caption stays reachable.
  const int x = std::max(lavoro.left, lavoro.left + (lavoro.right - lavoro.left - larghezza) / 2);
  const int y = std::max(lavoro.top, lavoro.top + (lavoro.bottom - lavoro.top - altezza) / 2);
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND FinestraWin32::Stato::Controllo(std::string_view nome, std::optional<int> indice) const {
  const window::Controllo* c = modello_.Trova(nome, indice);
  for (const auto& [controllo, h] : controlli_) {
    if (controllo == c) {
      return h;
    }
  }
  return nullptr;
}

const window::Controllo* FinestraWin32::Stato::ControlloDi(HWND hwnd) const {
  for (const auto& [controllo, h] : controlli_) {
    if (h == hwnd) {
      return controllo;
    }
  }
  return nullptr;
}

void FinestraWin32::Stato::Carica() {
  Evento([this] {
    form_.Form_Load();
    if (HWND testo = Controllo("nrposw", std::nullopt)) {
      ::SetWindowTextW(testo, platform::Utf8ToWide(form_.nrposw()).c_str());
    }
  });
  Rilancia();
}

void FinestraWin32::Stato::Mostra() {
  if (hwnd_ == nullptr) {
    return;
  }
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  ::UpdateWindow(hwnd_);
  RendiFuoco();
}

void FinestraWin32::Stato::ArmaTimer() {
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
    Rifiutata("il timer Timer2");
  }
}

void FinestraWin32::Stato::Evento(const std::function<void()>& gestore) {
  occupato_ = true;
  if (hwnd_ != nullptr) {
    ::KillTimer(hwnd_, kIdTimer2);
  }
  try {
    gestore();
    if (scarico_in_sospeso_) {
      form_.Scarica();
    }
  } catch (...) {
    errore_ = std::current_exception();
  }
  scarico_in_sospeso_ = false;
  occupato_ = false;
  DopoEvento();
}

void FinestraWin32::Stato::DopoEvento() {
  if (errore_ || form_.Scaricata()) {
    Chiudi();
    return;
  }
  AggiornaSorgenti();
  ArmaTimer();
}

void FinestraWin32::Stato::Tick() {
  if (occupato_) {
    return;
  }
  Evento([this] {
    cycle::Timer& timer = form_.Timer2();
    // The system timer may come a little before the tick on the Env's clock: it is then set again
    // for the rest.
    if (timer.IsDue()) {
      timer.Delivered();
      (form_.*tick_)();
    }
  });
}

void FinestraWin32::Stato::Clic(const window::Controllo& pulsante) {
  if (occupato_ || pulsante.gestore.empty()) {
    return;
  }
  const Gestore gestore = GestoreDi(pulsante.gestore);
  Evento([this, gestore] { (form_.*gestore)(); });
}

void FinestraWin32::Stato::ChiediScarico() {
  if (occupato_) {
    scarico_in_sospeso_ = true;
    return;
  }
  Evento([this] { form_.Scarica(); });
}

void FinestraWin32::Stato::AggiornaSorgenti() {
  for (const window::Controllo* dati : modello_.SorgentiDati()) {
    HWND h = Controllo(dati->nome, dati->indice);
    if (h == nullptr) {
      continue;
    }
    const bool visibile = form_.Sorgente(dati->nome).Visible;
    if (visibile != ((::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0)) {
      ::ShowWindow(h, visibile ? SW_SHOWNA : SW_HIDE);
    }
  }
}

void FinestraWin32::Stato::Chiudi() {
  DistruggiFinestre();
  ::PostQuitMessage(0);
}

bool FinestraWin32::Stato::PreTraduci(const MSG& m) {
  if (m.message != WM_KEYDOWN || hwnd_ == nullptr || !::IsChild(hwnd_, m.hwnd)) {
    return false;
  }
  if (m.wParam == VK_TAB) {
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) {
      return false;
    }
    Tabula(::GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    return true;
  }
  if (m.wParam == VK_RETURN) {
    const window::Controllo* c = ControlloDi(m.hwnd);
    if (c != nullptr && c->tipo == TipoControllo::kPulsante) {
      ::SendMessageW(m.hwnd, BM_CLICK, 0, 0);
      return true;
    }
  }
  return false;
}

void FinestraWin32::Stato::Tabula(int passo) {
  std::vector<HWND> ordine;
  for (const window::Controllo* c : modello_.OrdineTabulazione()) {
    HWND h = Controllo(c->nome, c->indice);
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
  const int prossimo = corrente < 0 ? (passo > 0 ? 0 : n - 1) : (corrente + passo + n) % n;
  HWND h = ordine[static_cast<size_t>(prossimo)];
  ::SetFocus(h);
  const window::Controllo* c = ControlloDi(h);
  if (c != nullptr && c->tipo == TipoControllo::kCasellaTesto) {
    ::SendMessageW(h, EM_SETSEL, 0, -1);
  }
}

void FinestraWin32::Stato::RendiFuoco() {
  HWND h = fuoco_;
  if (h == nullptr || !::IsWindow(h) || !::IsWindowVisible(h) || !::IsWindowEnabled(h)) {
    h = nullptr;
    for (const window::Controllo* c : modello_.OrdineTabulazione()) {
      HWND candidato = Controllo(c->nome, c->indice);
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

LRESULT CALLBACK FinestraWin32::Stato::Procedura(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l) {
  Stato* stato = nullptr;
  if (messaggio == WM_NCCREATE) {
    stato = static_cast<Stato*>(reinterpret_cast<const CREATESTRUCTW*>(l)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(stato));
    stato->hwnd_ = hwnd;
  } else {
    stato = reinterpret_cast<Stato*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (stato == nullptr) {
    return ::DefWindowProcW(hwnd, messaggio, w, l);
  }
  // Nothing may be thrown through the window system: the error waits for the message loop.
  try {
    return stato->Gestisci(hwnd, messaggio, w, l);
  } catch (...) {
    stato->errore_ = std::current_exception();
    if (!stato->chiusa_da_qui_) {
      stato->Chiudi();
    }
    return 0;
  }
}

LRESULT FinestraWin32::Stato::Gestisci(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l) {
  switch (messaggio) {
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED && l != 0) {
        const window::Controllo* c = ControlloDi(reinterpret_cast<HWND>(l));
        if (c != nullptr && c->tipo == TipoControllo::kPulsante) {
          Clic(*c);
        }
      }
      return 0;
    case WM_DRAWITEM: {
      const auto* voce = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (voce->CtlType == ODT_BUTTON) {
        win32::DisegnaPulsanteGrafico(*voce);
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
      ChiediScarico();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (w) {
        ChiediScarico();
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(w) == WA_INACTIVE) {
        HWND f = ::GetFocus();
        if (f != nullptr && ::IsChild(hwnd, f)) {
          fuoco_ = f;
        }
      } else {
        RendiFuoco();
      }
      return 0;
    case WM_SETFOCUS:
      RendiFuoco();
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      win32::Dipinge(hwnd, messaggio, w, l, [this](HDC dc) { contenuto_->Disegna(dc); });
      return 0;
    case WM_DESTROY:
      ::KillTimer(hwnd, kIdTimer2);
      // Destroyed from outside: the form unloads with its window, and the loop ends.
      if (!chiusa_da_qui_) {
        chiusa_da_qui_ = true;
        try {
          form_.Scarica();
        } catch (...) {
          errore_ = std::current_exception();
        }
        ::PostQuitMessage(0);
      }
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      fuoco_ = nullptr;
      controlli_.clear();
      menu_progetto_.reset();
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, messaggio, w, l);
}

void FinestraWin32::Stato::Tratta(const MSG& m) {
  if (m.message == WM_QUIT) {
    fine_ = true;
    return;
  }
  if (PreTraduci(m)) {
    return;
  }
  ::TranslateMessage(&m);
  ::DispatchMessageW(&m);
}

void FinestraWin32::Stato::Rilancia() {
  if (errore_) {
    std::exception_ptr errore = std::exchange(errore_, nullptr);
    std::rethrow_exception(errore);
  }
}

bool FinestraWin32::Stato::Pompa() {
  MSG m;
  while (!fine_ && ::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    Tratta(m);
  }
  Rilancia();
  return !fine_;
}

bool FinestraWin32::Stato::Attendi() {
  if (!fine_) {
    MSG m;
    const BOOL esito = ::GetMessageW(&m, nullptr, 0, 0);
    if (esito == -1) {
      Rifiutata("la lettura dei messaggi della finestra");
    }
    if (esito == 0) {
      fine_ = true;
    } else {
      Tratta(m);
    }
  }
  return Pompa();
}

FinestraWin32::FinestraWin32(Form1& form) : stato_(std::make_unique<Stato>(form)) {}
FinestraWin32::~FinestraWin32() = default;

void FinestraWin32::Carica() {
  stato_->Carica();
}
void FinestraWin32::Mostra() {
  stato_->Mostra();
}
HWND__* FinestraWin32::Handle() const {
  return stato_->Handle();
}
HWND__* FinestraWin32::Proprietario() const {
  return stato_->Proprietario();
}
HWND__* FinestraWin32::Controllo(std::string_view nome, std::optional<int> indice) const {
  return stato_->Controllo(nome, indice);
}
HMENU__* FinestraWin32::MenuProgetto() const {
  return stato_->MenuProgetto();
}
void FinestraWin32::ArmaTimer() {
  stato_->ArmaTimer();
}
bool FinestraWin32::Pompa() {
  return stato_->Pompa();
}
bool FinestraWin32::Attendi() {
  return stato_->Attendi();
}

int EseguiConFinestra(Form1& form) {
  FinestraWin32 finestra(form);
  finestra.Carica();
  finestra.Mostra();
  while (finestra.Attendi()) {
  }
  return 0;
}

}  // namespace zav5::window
