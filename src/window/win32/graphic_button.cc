#include "window/win32/graphic_button.h"

#include <array>
#include <string>

#include "window/win32/gdi.h"

namespace zav5::window::win32 {

namespace {

// Blank above the picture, between the picture and the caption, and around the focus rectangle.
constexpr int kTopMargin = 6;
constexpr int kCaptionGap = 4;
constexpr int kFocusMargin = 4;

template <size_t N>
void DrawPolygon(HDC dc, int left, int top, const std::array<POINT, N>& points, COLORREF pieno,
                 COLORREF border) {
  std::array<POINT, N> spostati = points;
  for (POINT& p : spostati) {
    p.x += left;
    p.y += top;
  }
  const Gdi<HPEN> penna(::CreatePen(PS_SOLID, 1, border));
  const Gdi<HBRUSH> pennello(::CreateSolidBrush(pieno));
  const Selected con_penna(dc, penna.get());
  const Selected con_pennello(dc, pennello.get());
  ::Polygon(dc, spostati.data(), static_cast<int>(spostati.size()));
}

}  // namespace

void DrawExitPicture(HDC dc, int left, int top) {
  constexpr COLORREF kContorno = RGB(48, 48, 48);
  // The doorway, dark behind the door.
  DrawPolygon(dc, left, top, std::array<POINT, 4>{{{4, 2}, {20, 2}, {20, 30}, {4, 30}}},
              RGB(64, 64, 64), kContorno);
  // The door, swung open towards the viewer, with its knob.
  DrawPolygon(dc, left, top, std::array<POINT, 4>{{{4, 2}, {12, 5}, {12, 31}, {4, 30}}},
              RGB(176, 112, 48), kContorno);
  DrawPolygon(dc, left, top, std::array<POINT, 4>{{{9, 16}, {11, 16}, {11, 18}, {9, 18}}},
              RGB(240, 208, 64), RGB(240, 208, 64));
  // The way out.
  DrawPolygon(
      dc, left, top,
      std::array<POINT, 7>{{{14, 13}, {23, 13}, {23, 9}, {30, 16}, {23, 23}, {23, 19}, {14, 19}}},
      RGB(0, 160, 0), RGB(0, 96, 0));
}

void DrawGraphicButton(const DRAWITEMSTRUCT& voce) {
  HDC dc = voce.hDC;
  RECT faccia = voce.rcItem;
  const bool premuto = (voce.itemState & ODS_SELECTED) != 0;
  const bool spento = (voce.itemState & ODS_DISABLED) != 0;
  ::DrawFrameControl(dc, &faccia, DFC_BUTTON, DFCS_BUTTONPUSH | (premuto ? DFCS_PUSHED : 0));

  // A pressed button moves its face down and to the right by one pixel.
  const int spinta = premuto ? 1 : 0;
  const int width = voce.rcItem.right - voce.rcItem.left;
  const int sinistra_immagine = voce.rcItem.left + (width - kPictureSize) / 2 + spinta;
  const int alto_immagine = voce.rcItem.top + kTopMargin + spinta;
  DrawExitPicture(dc, sinistra_immagine, alto_immagine);

  const std::wstring caption = WindowText(voce.hwndItem);
  auto font = reinterpret_cast<HFONT>(::SendMessageW(voce.hwndItem, WM_GETFONT, 0, 0));
  const Selected con_font(
      dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
  RECT testo = {voce.rcItem.left + spinta, alto_immagine + kPictureSize + kCaptionGap,
                voce.rcItem.right + spinta, voce.rcItem.bottom + spinta};
  const int modo = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF colore =
      ::SetTextColor(dc, ::GetSysColor(spento ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  ::DrawTextW(
      dc, caption.c_str(), static_cast<int>(caption.size()), &testo,
      DT_CENTER | DT_TOP | DT_SINGLELINE | ((voce.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0));
  ::SetTextColor(dc, colore);
  ::SetBkMode(dc, modo);

  if ((voce.itemState & ODS_FOCUS) != 0 && (voce.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT fuoco = voce.rcItem;
    ::InflateRect(&fuoco, -kFocusMargin, -kFocusMargin);
    ::DrawFocusRect(dc, &fuoco);
  }
}

}  // namespace zav5::window::win32
