#include "window/win32/barra_dati.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "window/win32/classe.h"
#include "window/win32/gdi.h"

namespace zav5::window::win32 {

namespace {

constexpr wchar_t kClasse[] = L"Zav5Dati";
// Blank between the caption and the buttons before it.
constexpr int kMargineDidascalia = 3;

enum class Verso { kIndietro, kAvanti };

// The arrow of one button: a triangle pointing the way it moves, with a stop bar for the first
// and the last record.
void DisegnaFreccia(HDC dc, const RECT& cella, Verso verso, bool fino_in_fondo) {
  const int lato =
      std::max<int>(2, std::min(cella.right - cella.left, cella.bottom - cella.top) / 4);
  const int x = (cella.left + cella.right) / 2;
  const int y = (cella.top + cella.bottom) / 2;
  // The bar sits on the pointed side; the triangle makes room for it.
  const int scarto = fino_in_fondo ? 1 : 0;
  std::array<POINT, 3> punte;
  if (verso == Verso::kIndietro) {
    punte = {{{x - lato / 2 + scarto, y},
              {x + lato / 2 + scarto, y - lato},
              {x + lato / 2 + scarto, y + lato}}};
  } else {
    punte = {{{x + lato / 2 - scarto, y},
              {x - lato / 2 - scarto, y - lato},
              {x - lato / 2 - scarto, y + lato}}};
  }
  const COLORREF colore = ::GetSysColor(COLOR_BTNTEXT);
  const Gdi<HPEN> penna(::CreatePen(PS_SOLID, 1, colore));
  const Gdi<HBRUSH> pennello(::CreateSolidBrush(colore));
  const Selezione con_penna(dc, penna.get());
  const Selezione con_pennello(dc, pennello.get());
  ::Polygon(dc, punte.data(), static_cast<int>(punte.size()));
  if (fino_in_fondo) {
    const int barra = verso == Verso::kIndietro ? punte[0].x - 2 : punte[0].x + 1;
    const RECT r = {barra, y - lato, barra + 2, y + lato + 1};
    ::FillRect(dc, &r, pennello.get());
  }
}

void Disegna(HWND hwnd, HDC dc) {
  RECT interno;
  ::GetClientRect(hwnd, &interno);
  const PartiBarraDati parti = DividiBarraDati(interno.right, interno.bottom);

  ::FillRect(dc, &parti.didascalia, ::GetSysColorBrush(COLOR_WINDOW));
  const struct {
    Verso verso;
    bool fino_in_fondo;
  } frecce[4] = {{Verso::kIndietro, true},
                 {Verso::kIndietro, false},
                 {Verso::kAvanti, false},
                 {Verso::kAvanti, true}};
  for (int i = 0; i < 4; ++i) {
    RECT pulsante = parti.pulsanti[i];
    ::DrawFrameControl(dc, &pulsante, DFC_BUTTON, DFCS_BUTTONPUSH);
    DisegnaFreccia(dc, parti.pulsanti[i], frecce[i].verso, frecce[i].fino_in_fondo);
  }

  auto font = CarattereImpostato(hwnd);
  const Selezione con_font(
      dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring didascalia = TestoFinestra(hwnd);
  RECT testo = parti.didascalia;
  testo.left += kMargineDidascalia;
  const int modo = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF colore = ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  ::DrawTextW(dc, didascalia.c_str(), static_cast<int>(didascalia.size()), &testo,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  ::SetTextColor(dc, colore);
  ::SetBkMode(dc, modo);
}

LRESULT CALLBACK Procedura(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l) {
  if (const std::optional<LRESULT> fatto = CarattereETesto(hwnd, messaggio, w, l)) {
    return *fatto;
  }
  if (Dipinge(hwnd, messaggio, w, l, [hwnd](HDC dc) { Disegna(hwnd, dc); })) {
    return 0;
  }
  return ::DefWindowProcW(hwnd, messaggio, w, l);
}

}  // namespace

PartiBarraDati DividiBarraDati(int larghezza, int altezza) {
  // Square buttons as high as the bar, narrower on a short bar so that the caption keeps room.
  const int lato = std::max(0, std::min(altezza, larghezza / 8));
  PartiBarraDati parti{};
  const int sinistre[4] = {0, lato, larghezza - 2 * lato, larghezza - lato};
  for (int i = 0; i < 4; ++i) {
    parti.pulsanti[i] = {sinistre[i], 0, sinistre[i] + lato, altezza};
  }
  parti.didascalia = {2 * lato, 0, larghezza - 2 * lato, altezza};
  return parti;
}

const wchar_t* ClasseDati() {
  static const wchar_t* const classe =
      RegistraClasse(kClasse, Procedura, sizeof(LONG_PTR), "dei controlli dati");
  return classe;
}

}  // namespace zav5::window::win32
