// Units and drawing objects of the window: twips to pixels, fonts as the design gives them, and
// ownership of every GDI object created.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "window/controlli.h"
#include "window/win32/api.h"

namespace zav5::window::win32 {

// The process stays unaware of the screen's DPI, so a pixel is always 1/96 inch.
inline constexpr int kTwipPerPixel = 15;
inline constexpr int kPuntiPerPollice = 72;
inline constexpr int kPixelPerPollice = 96;

// Twips to pixels, to the nearest pixel.
int Pixel(std::int32_t twip);

// The rectangle in pixels; left and top are converted apart from width and height, as the forms
// runtime does, so that neighbours that meet in twips meet in pixels.
RECT Pixel(const Rettangolo& r);

// The character height for CreateFontW of a font of `punti` points (negative: the em height).
int AltezzaCarattere(double punti);

// Deletes a GDI object (font, brush, pen, bitmap) once its owner lets go of it.
struct CancellaOggettoGdi {
  void operator()(void* oggetto) const { ::DeleteObject(static_cast<HGDIOBJ>(oggetto)); }
};

// Owner of one GDI object of handle type `H` (HFONT, HBRUSH, HPEN, HBITMAP).
template <class H>
using Gdi = std::unique_ptr<std::remove_pointer_t<H>, CancellaOggettoGdi>;

// Selects an object into a device context for the life of this value, then puts back the one it
// replaced.
class Selezione {
 public:
  Selezione(HDC dc, HGDIOBJ oggetto) : dc_(dc), prima_(::SelectObject(dc, oggetto)) {}
  ~Selezione() { ::SelectObject(dc_, prima_); }
  Selezione(const Selezione&) = delete;
  Selezione& operator=(const Selezione&) = delete;

 private:
  HDC dc_;
  HGDIOBJ prima_;
};

// The fonts of one window: each font of the design created once, on first use, and deleted with
// this value. The window's controls keep using them until then.
class Caratteri {
 public:
  Caratteri() = default;
  Caratteri(const Caratteri&) = delete;
  Caratteri& operator=(const Caratteri&) = delete;

  // The font described by `carattere`. Throws Errore when the system cannot make it.
  HFONT Di(const Carattere& carattere);

 private:
  std::vector<std::pair<Carattere, Gdi<HFONT>>> creati_;
};

}  // namespace zav5::window::win32
