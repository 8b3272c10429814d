#include "window/win32/windowless_controls.h"

#include <algorithm>
#include <string>

#include "platform/windows/wide_text.h"

namespace zav5::window::win32 {

namespace {

COLORREF Rgb(const Color& colore) {
  return RGB(colore.red, colore.green, colore.blue);
}

// A circle shape: the largest circle that fits its rectangle, centred in it, with a thin outline
// in the window text colour and the design's fill (none: what is behind shows through).
void DrawCircle(HDC dc, const Control& cerchio) {
  const RECT r = Pixel(cerchio.bounds);
  const int diametro = std::min(r.right - r.left, r.bottom - r.top);
  const int left = r.left + (r.right - r.left - diametro) / 2;
  const int top = r.top + (r.bottom - r.top - diametro) / 2;

  const Gdi<HPEN> penna(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWTEXT)));
  Gdi<HBRUSH> pieno;
  if (cerchio.fill) {
    pieno.reset(::CreateSolidBrush(Rgb(*cerchio.fill)));
  }
  const Selected con_penna(dc, penna.get());
  const Selected con_pennello(
      dc, pieno ? static_cast<HGDIOBJ>(pieno.get()) : ::GetStockObject(NULL_BRUSH));
  ::Ellipse(dc, left, top, left + diametro, top + diametro);
}

UINT DrawTextAlign(Alignment alignment) {
  switch (alignment) {
    case Alignment::kRight:
      return DT_RIGHT;
    case Alignment::kCenter:
      return DT_CENTER;
    case Alignment::kLeft:
      break;
  }
  return DT_LEFT;
}

// A label: its caption from the top of its rectangle, broken into lines at its width and cut off
// at its edges. An opaque label first covers its rectangle with the window's face colour.
void DrawLabel(HDC dc, const Control& etichetta, HFONT font) {
  RECT r = Pixel(etichetta.bounds);
  if (!etichetta.transparent_background) {
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  }
  const Selected con_font(dc, font);
  const int modo = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF testo = ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  const std::wstring caption = platform::Utf8ToWide(etichetta.caption);
  ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
              DT_WORDBREAK | DrawTextAlign(etichetta.alignment));
  ::SetTextColor(dc, testo);
  ::SetBkMode(dc, modo);
}

}  // namespace

bool IsWindowless(ControlKind kind) {
  return kind == ControlKind::kCircle || kind == ControlKind::kLabel;
}

WindowlessPainter::WindowlessPainter(const WindowModel& modello, std::string_view container,
                                     Fonts& caratteri) {
  for (const Control* c : modello.ControlsIn(container)) {
    if (!c->visible || !IsWindowless(c->kind)) {
      continue;
    }
    HFONT font =
        c->kind == ControlKind::kLabel ? caratteri.Of(c->font.value_or(modello.font)) : nullptr;
    controls_.emplace_back(c, font);
  }
}

void WindowlessPainter::Paint(HDC dc) const {
  for (const auto& [c, font] : controls_) {
    if (c->kind == ControlKind::kCircle) {
      DrawCircle(dc, *c);
    } else {
      DrawLabel(dc, *c, font);
    }
  }
}

}  // namespace zav5::window::win32
