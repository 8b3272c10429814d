#include "window/win32/gdi.h"

#include <cmath>
#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace zav5::window::win32 {

int Pixel(std::int32_t twip) {
  return static_cast<int>(std::lround(static_cast<double>(twip) / kTwipPerPixel));
}

RECT Pixel(const Bounds& r) {
  const int left = Pixel(r.left);
  const int top = Pixel(r.top);
  return {left, top, left + Pixel(r.width), top + Pixel(r.height)};
}

int FontHeight(double points) {
  return -static_cast<int>(std::lround(points * kPixelsPerInch / kPointsPerInch));
}

HFONT Fonts::Of(const Font& wanted) {
  for (const auto& [described, font] : created_) {
    if (described == wanted) {
      return font.get();
    }
  }
  const std::wstring name = platform::Utf8ToWide(wanted.name);
  HFONT font =
      ::CreateFontW(FontHeight(wanted.points), 0, 0, 0, wanted.bold ? FW_BOLD : FW_NORMAL, FALSE,
                    FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.c_str());
  if (font == nullptr) {
    throw Error(fmt::format("impossibile creare il carattere {} {}: {}", wanted.name, wanted.points,
                            platform::WindowsErrorText(::GetLastError())));
  }
  created_.emplace_back(wanted, Gdi<HFONT>(font));
  return font;
}

}  // namespace zav5::window::win32
