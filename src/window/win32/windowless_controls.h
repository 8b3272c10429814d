// The controls without a window of their own (shapes, labels): the forms runtime draws them on
// their container, and so does this front end.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "window/win32/api.h"
#include "window/win32/gdi.h"
#include "window/window_model.h"

namespace zav5::window::win32 {

// True for the kinds that are drawn on their container instead of getting a window. A timer has
// neither: it is never seen at run time.
bool IsWindowless(ControlKind kind);

// The windowless controls of one container, ready to be drawn whenever the container paints.
class WindowlessPainter {
 public:
  // The visible windowless controls that `container` holds directly, in the design's order,
  // each with its font (the window's when it names none), made here once. Throws Error when a
  // font cannot be made.
  // REQUIRES: `modello` and `caratteri` outlive this value
  WindowlessPainter(const WindowModel& modello, std::string_view container, Fonts& caratteri);

  // Paints the controls back to front, each at its place, onto `dc`, whose origin is the
  // container's client area.
  void Paint(HDC dc) const;

 private:
  // Each control with its font; shapes have none.
  std::vector<std::pair<const Control*, HFONT>> controls_;
};

}  // namespace zav5::window::win32
