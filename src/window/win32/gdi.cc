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

RECT Pixel(const Rettangolo& r) {
  const int sinistra = Pixel(r.sinistra);
  const int alto = Pixel(r.alto);
  return {sinistra, alto, sinistra + Pixel(r.larghezza), alto + Pixel(r.altezza)};
}

int AltezzaCarattere(double punti) {
  return -static_cast<int>(std::lround(punti * kPixelPerPollice / kPuntiPerPollice));
}

HFONT Caratteri::Di(const Carattere& carattere) {
  for (const auto& [descritto, font] : creati_) {
    if (descritto == carattere) {
      return font.get();
    }
  }
  const std::wstring nome = platform::Utf8ToWide(carattere.nome);
  HFONT font = ::CreateFontW(AltezzaCarattere(carattere.punti), 0, 0, 0,
                             carattere.grassetto ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, nome.c_str());
  if (font == nullptr) {
    throw Errore(fmt::format("impossibile creare il carattere {} {}: {}", carattere.nome,
                             carattere.punti, platform::WindowsErrorText(::GetLastError())));
  }
  creati_.emplace_back(carattere, Gdi<HFONT>(font));
  return font;
}

}  // namespace zav5::window::win32
