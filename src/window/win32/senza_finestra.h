// The controls without a window of their own (shapes, labels): the forms runtime draws them on
// their container, and so does this front end.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "window/controlli.h"
#include "window/win32/api.h"
#include "window/win32/gdi.h"

namespace zav5::window::win32 {

// True for the kinds that are drawn on their container instead of getting a window. A timer has
// neither: it is never seen at run time.
bool SenzaFinestra(TipoControllo tipo);

// The windowless controls of one container, ready to be drawn whenever the container paints.
class DisegnoSenzaFinestra {
 public:
  // The visible windowless controls that `contenitore` holds directly, in the design's order,
  // each with its font (the window's when it names none), made here once. Throws Errore when a
  // font cannot be made.
  // REQUIRES: `modello` and `caratteri` outlive this value
  DisegnoSenzaFinestra(const ModelloFinestra& modello, std::string_view contenitore,
                       Caratteri& caratteri);

  // Paints the controls back to front, each at its place, onto `dc`, whose origin is the
  // container's client area.
  void Disegna(HDC dc) const;

 private:
  // Each control with its font; shapes have none.
  std::vector<std::pair<const Controllo*, HFONT>> controlli_;
};

}  // namespace zav5::window::win32
