#include "window/win32/riquadro.h"

#include <optional>
#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "window/win32/classe.h"
#include "window/win32/gdi.h"
#include "window/win32/senza_finestra.h"

namespace zav5::window::win32 {

namespace {

constexpr wchar_t kClasse[] = L"Zav5Riquadro";
// Where the caption begins, and the blank it keeps from the border on each side.
constexpr int kSinistraDidascalia = 8;
constexpr int kMargineDidascalia = 2;

void Disegna(HWND hwnd, HDC dc) {
  RECT interno;
  ::GetClientRect(hwnd, &interno);
  auto font = CarattereImpostato(hwnd);
  const Selezione con_font(
      dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring didascalia = TestoFinestra(hwnd);
  SIZE misura{};
  ::GetTextExtentPoint32W(dc, didascalia.empty() ? L" " : didascalia.c_str(),
                          didascalia.empty() ? 1 : static_cast<int>(didascalia.size()), &misura);

  // The border runs through the middle of the caption's line.
  RECT bordo = interno;
  bordo.top += misura.cy / 2;
  ::DrawEdge(dc, &bordo, EDGE_ETCHED, BF_RECT);
  if (!didascalia.empty()) {
    const RECT sfondo = {kSinistraDidascalia - kMargineDidascalia, 0,
                         kSinistraDidascalia + misura.cx + kMargineDidascalia, misura.cy};
    ::FillRect(dc, &sfondo, ::GetSysColorBrush(COLOR_BTNFACE));
    const int modo = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF colore =
        ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    ::TextOutW(dc, kSinistraDidascalia, 0, didascalia.c_str(), static_cast<int>(didascalia.size()));
    ::SetTextColor(dc, colore);
    ::SetBkMode(dc, modo);
  }

  const auto* contenuto =
      reinterpret_cast<const DisegnoSenzaFinestra*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (contenuto != nullptr) {
    contenuto->Disegna(dc);
  }
}

LRESULT CALLBACK Procedura(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l) {
  if (const std::optional<LRESULT> fatto = CarattereETesto(hwnd, messaggio, w, l)) {
    return *fatto;
  }
  if (Dipinge(hwnd, messaggio, w, l, [hwnd](HDC dc) { Disegna(hwnd, dc); })) {
    return 0;
  }
  switch (messaggio) {
    case WM_NCCREATE: {
      const auto* creazione = reinterpret_cast<const CREATESTRUCTW*>(l);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creazione->lpCreateParams));
      break;
    }
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      return ::SendMessageW(::GetParent(hwnd), messaggio, w, l);
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, messaggio, w, l);
}

}  // namespace

const wchar_t* ClasseRiquadro() {
  static const wchar_t* const classe =
      RegistraClasse(kClasse, Procedura, sizeof(LONG_PTR), "dei riquadri");
  return classe;
}

}  // namespace zav5::window::win32
