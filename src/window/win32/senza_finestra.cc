#include "window/win32/senza_finestra.h"

#include <algorithm>
#include <string>

#include "platform/windows/wide_text.h"

namespace zav5::window::win32 {

namespace {

COLORREF Rgb(const Colore& colore) {
  return RGB(colore.rosso, colore.verde, colore.blu);
}

// A circle shape: the largest circle that fits its rectangle, centred in it, with a thin outline
// in the window text colour and the design's fill (none: what is behind shows through).
void DisegnaCerchio(HDC dc, const Controllo& cerchio) {
  const RECT r = Pixel(cerchio.posizione);
  const int diametro = std::min(r.right - r.left, r.bottom - r.top);
  const int sinistra = r.left + (r.right - r.left - diametro) / 2;
  const int alto = r.top + (r.bottom - r.top - diametro) / 2;

  const Gdi<HPEN> penna(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWTEXT)));
  Gdi<HBRUSH> pieno;
  if (cerchio.riempimento) {
    pieno.reset(::CreateSolidBrush(Rgb(*cerchio.riempimento)));
  }
  const Selezione con_penna(dc, penna.get());
  const Selezione con_pennello(
      dc, pieno ? static_cast<HGDIOBJ>(pieno.get()) : ::GetStockObject(NULL_BRUSH));
  ::Ellipse(dc, sinistra, alto, sinistra + diametro, alto + diametro);
}

UINT Allinea(Allineamento allineamento) {
  switch (allineamento) {
    case Allineamento::kDestra:
      return DT_RIGHT;
    case Allineamento::kCentro:
      return DT_CENTER;
    case Allineamento::kSinistra:
      break;
  }
  return DT_LEFT;
}

// A label: its caption from the top of its rectangle, broken into lines at its width and cut off
// at its edges. An opaque label first covers its rectangle with the window's face colour.
void DisegnaEtichetta(HDC dc, const Controllo& etichetta, HFONT font) {
  RECT r = Pixel(etichetta.posizione);
  if (!etichetta.sfondo_trasparente) {
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  }
  const Selezione con_font(dc, font);
  const int modo = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF testo = ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  const std::wstring didascalia = platform::Utf8ToWide(etichetta.didascalia);
  ::DrawTextW(dc, didascalia.c_str(), static_cast<int>(didascalia.size()), &r,
              DT_WORDBREAK | Allinea(etichetta.allineamento));
  ::SetTextColor(dc, testo);
  ::SetBkMode(dc, modo);
}

}  // namespace

bool SenzaFinestra(TipoControllo tipo) {
  return tipo == TipoControllo::kCerchio || tipo == TipoControllo::kEtichetta;
}

DisegnoSenzaFinestra::DisegnoSenzaFinestra(const ModelloFinestra& modello,
                                           std::string_view contenitore, Caratteri& caratteri) {
  for (const Controllo* c : modello.Contenuti(contenitore)) {
    if (!c->visibile || !SenzaFinestra(c->tipo)) {
      continue;
    }
    HFONT font = c->tipo == TipoControllo::kEtichetta
                     ? caratteri.Di(c->carattere.value_or(modello.carattere))
                     : nullptr;
    controlli_.emplace_back(c, font);
  }
}

void DisegnoSenzaFinestra::Disegna(HDC dc) const {
  for (const auto& [c, font] : controlli_) {
    if (c->tipo == TipoControllo::kCerchio) {
      DisegnaCerchio(dc, *c);
    } else {
      DisegnaEtichetta(dc, *c, font);
    }
  }
}

}  // namespace zav5::window::win32
