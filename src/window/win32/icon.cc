#include "window/win32/icon.h"

#include <array>
#include <cstdint>
#include <vector>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "window/win32/gdi.h"

namespace zav5::window::win32 {

namespace {

// The drawing is laid out on a grid of this many units a side and scaled to the icon's size.
constexpr int kGrid = 32;
// Painted first where the icon stays transparent; the drawing never uses it.
constexpr COLORREF kColorKey = RGB(255, 0, 255);

[[noreturn]] void ThrowFailed(const char* cosa) {
  throw Error(fmt::format("impossibile creare l'icona della finestra ({}): {}", cosa,
                          platform::WindowsErrorText(::GetLastError())));
}

class Scaler {
 public:
  explicit Scaler(int lato) : size_(lato) {}
  int operator()(int drive) const { return (drive * size_ + kGrid / 2) / kGrid; }
  POINT operator()(int x, int y) const { return {(*this)(x), (*this)(y)}; }

 private:
  int size_;
};

void DrawTag(HDC dc, int lato) {
  const Scaler s(lato);
  const int spessore = lato >= kGrid ? 2 : 1;

  RECT tutto = {0, 0, lato, lato};
  const Gdi<HBRUSH> chiave(::CreateSolidBrush(kColorKey));
  ::FillRect(dc, &tutto, chiave.get());

  // The tag: pointed at the left, where the hole is.
  const std::array<POINT, 5> sagoma = {s(2, 16), s(11, 6), s(31, 6), s(31, 26), s(11, 26)};
  const Gdi<HPEN> contorno(::CreatePen(PS_SOLID, spessore, RGB(128, 64, 0)));
  const Gdi<HBRUSH> carta(::CreateSolidBrush(RGB(255, 200, 40)));
  {
    const Selected con_contorno(dc, contorno.get());
    const Selected con_carta(dc, carta.get());
    ::Polygon(dc, sagoma.data(), static_cast<int>(sagoma.size()));
    // The hole shows what is behind the icon.
    const Selected con_chiave(dc, chiave.get());
    ::Ellipse(dc, s(8), s(13), s(13), s(18));
  }

  // The string, through the hole and over the tag's edge to the top left corner.
  const Gdi<HPEN> spago(::CreatePen(PS_SOLID, spessore, RGB(96, 64, 32)));
  {
    const Selected con_spago(dc, spago.get());
    ::MoveToEx(dc, s(10), s(15), nullptr);
    ::LineTo(dc, s(1), s(1));
  }

  const Gdi<HFONT> font(::CreateFontW(-s(18), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, L"Arial"));
  const Selected con_font(dc, font.get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(176, 0, 0));
  RECT scritta = {s(13), s(6), s(31), s(26)};
  ::DrawTextW(dc, L"%", 1, &scritta, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
}

}  // namespace

Icon MakeIcon(int lato) {
  // Colour on a top-down 32-bit DIB, so that the pixels can be read back for the mask.
  BITMAPINFO formato{};
  formato.bmiHeader.biSize = sizeof(formato.bmiHeader);
  formato.bmiHeader.biWidth = lato;
  formato.bmiHeader.biHeight = -lato;
  formato.bmiHeader.biPlanes = 1;
  formato.bmiHeader.biBitCount = 32;
  formato.bmiHeader.biCompression = BI_RGB;
  void* bit = nullptr;
  HDC schermo = ::GetDC(nullptr);
  Gdi<HBITMAP> colore(::CreateDIBSection(schermo, &formato, DIB_RGB_COLORS, &bit, nullptr, 0));
  ::ReleaseDC(nullptr, schermo);
  if (!colore || bit == nullptr) {
    ThrowFailed("colori");
  }
  {
    HDC dc = ::CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
      ThrowFailed("disegno");
    }
    {
      const Selected con_colore(dc, colore.get());
      DrawTag(dc, lato);
    }
    ::DeleteDC(dc);
  }
  ::GdiFlush();

  // Where the key colour is left: transparent (mask bit set, colour black, alpha 0); elsewhere
  // opaque. The mask's rows are padded to 16 bits.
  const int riga_maschera = (lato + 15) / 16 * 2;
  std::vector<std::uint8_t> maschera(static_cast<size_t>(riga_maschera * lato), 0);
  auto* pixel = static_cast<std::uint32_t*>(bit);
  constexpr std::uint32_t kChiaveDib = 0x00FF00FF;  // BGRA of kColorKey
  for (int y = 0; y < lato; ++y) {
    for (int x = 0; x < lato; ++x) {
      std::uint32_t& p = pixel[y * lato + x];
      if ((p & 0x00FFFFFF) == kChiaveDib) {
        p = 0;
        maschera[static_cast<size_t>(y * riga_maschera + x / 8)] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
      } else {
        p |= 0xFF000000;
      }
    }
  }
  const Gdi<HBITMAP> bitmap_maschera(::CreateBitmap(lato, lato, 1, 1, maschera.data()));
  if (!bitmap_maschera) {
    ThrowFailed("maschera");
  }

  ICONINFO parti{};
  parti.fIcon = TRUE;
  parti.hbmMask = bitmap_maschera.get();
  parti.hbmColor = colore.get();
  Icon icona(::CreateIconIndirect(&parti));
  if (!icona) {
    ThrowFailed("icona");
  }
  return icona;
}

}  // namespace zav5::window::win32
