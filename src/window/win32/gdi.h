// Units and drawing objects of the window: twips to pixels, fonts as the design gives them, and
// ownership of every GDI object created.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "window/win32/api.h"
#include "window/window_model.h"

namespace zav5::window::win32 {

// The process stays unaware of the screen's DPI, so a pixel is always 1/96 inch.
inline constexpr int kTwipPerPixel = 15;
inline constexpr int kPointsPerInch = 72;
inline constexpr int kPixelsPerInch = 96;

// Twips to pixels, to the nearest pixel.
int Pixel(std::int32_t twip);

// The rectangle in pixels; left and top are converted apart from width and height, as the forms
// runtime does, so that neighbours that meet in twips meet in pixels.
RECT Pixel(const Bounds& r);

// The character height for CreateFontW of a font of `points` points (negative: the em height).
int FontHeight(double points);

// Deletes a GDI object (font, brush, pen, bitmap) once its owner lets go of it.
struct GdiObjectDeleter {
  void operator()(void* oggetto) const { ::DeleteObject(static_cast<HGDIOBJ>(oggetto)); }
};

// Owner of one GDI object of handle type `H` (HFONT, HBRUSH, HPEN, HBITMAP).
template <class H>
using Gdi = std::unique_ptr<std::remove_pointer_t<H>, GdiObjectDeleter>;

// Selects an object into a device context for the life of this value, then puts back the one it
// replaced.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ oggetto) : dc_(dc), previous_(::SelectObject(dc, oggetto)) {}
  ~Selected() { ::SelectObject(dc_, previous_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The fonts of one window: each font of the design created once, on first use, and deleted with
// this value. The window's controls keep using them until then.
class Fonts {
 public:
  Fonts() = default;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  // The font described by `font`. Throws Error when the system cannot make it.
  HFONT Of(const Font& font);

 private:
  std::vector<std::pair<Font, Gdi<HFONT>>> created_;
};

}  // namespace zav5::window::win32
