#include "window/win32/data_bar.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "window/win32/gdi.h"
#include "window/win32/window_class.h"

namespace zav5::window::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Zav5Dati";
// Blank between the caption and the buttons before it.
constexpr int kCaptionMargin = 3;

enum class Direction { kBackward, kForward };

// The arrow of one button: a triangle pointing the way it moves, with a stop bar for the first
// and the last record.
void DrawArrow(HDC dc, const RECT& cella, Direction verso, bool fino_in_fondo) {
  const int lato =
      std::max<int>(2, std::min(cella.right - cella.left, cella.bottom - cella.top) / 4);
  const int x = (cella.left + cella.right) / 2;
  const int y = (cella.top + cella.bottom) / 2;
  // The bar sits on the pointed side; the triangle makes room for it.
  const int scarto = fino_in_fondo ? 1 : 0;
  std::array<POINT, 3> punte;
  if (verso == Direction::kBackward) {
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
  const Selected con_penna(dc, penna.get());
  const Selected con_pennello(dc, pennello.get());
  ::Polygon(dc, punte.data(), static_cast<int>(punte.size()));
  if (fino_in_fondo) {
    const int barra = verso == Direction::kBackward ? punte[0].x - 2 : punte[0].x + 1;
    const RECT r = {barra, y - lato, barra + 2, y + lato + 1};
    ::FillRect(dc, &r, pennello.get());
  }
}

void Paint(HWND hwnd, HDC dc) {
  RECT interno;
  ::GetClientRect(hwnd, &interno);
  const DataBarParts parti = SplitDataBar(interno.right, interno.bottom);

  ::FillRect(dc, &parti.caption, ::GetSysColorBrush(COLOR_WINDOW));
  const struct {
    Direction verso;
    bool fino_in_fondo;
  } frecce[4] = {{Direction::kBackward, true},
                 {Direction::kBackward, false},
                 {Direction::kForward, false},
                 {Direction::kForward, true}};
  for (int i = 0; i < 4; ++i) {
    RECT pulsante = parti.buttons[i];
    ::DrawFrameControl(dc, &pulsante, DFC_BUTTON, DFCS_BUTTONPUSH);
    DrawArrow(dc, parti.buttons[i], frecce[i].verso, frecce[i].fino_in_fondo);
  }

  auto font = KeptFont(hwnd);
  const Selected con_font(
      dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring caption = WindowText(hwnd);
  RECT testo = parti.caption;
  testo.left += kCaptionMargin;
  const int modo = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF colore = ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &testo,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  ::SetTextColor(dc, colore);
  ::SetBkMode(dc, modo);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  if (const std::optional<LRESULT> fatto = FontAndText(hwnd, message, w, l)) {
    return *fatto;
  }
  if (HandlePaint(hwnd, message, w, l, [hwnd](HDC dc) { Paint(hwnd, dc); })) {
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, w, l);
}

}  // namespace

DataBarParts SplitDataBar(int width, int height) {
  // Square buttons as high as the bar, narrower on a short bar so that the caption keeps room.
  const int lato = std::max(0, std::min(height, width / 8));
  DataBarParts parti{};
  const int sinistre[4] = {0, lato, width - 2 * lato, width - lato};
  for (int i = 0; i < 4; ++i) {
    parti.buttons[i] = {sinistre[i], 0, sinistre[i] + lato, height};
  }
  parti.caption = {2 * lato, 0, width - 2 * lato, height};
  return parti;
}

const wchar_t* DataBarClass() {
  static const wchar_t* const classe =
      RegisterOwnClass(kClassName, WindowProc, sizeof(LONG_PTR), "dei controlli dati");
  return classe;
}

}  // namespace zav5::window::win32
