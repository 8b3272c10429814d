// The window classes of this program's own windows and controls.
#pragma once

#include <optional>
#include <string_view>

#include "window/win32/api.h"

namespace zav5::window::win32 {

// Registers the window class `name`, whose windows run `procedura` and keep `extra` bytes of their
// own, with the arrow cursor and the face colour of buttons behind them; returns `name`. Throws
// Error naming `cosa` when the window system refuses it.
// REQUIRES: called once per class, e.g. to initialise a function-local static
const wchar_t* RegisterOwnClass(const wchar_t* name, WNDPROC procedura, int extra,
                                std::string_view cosa);

// The font and text of a control of this program that draws its own caption: WM_SETFONT keeps the
// font in the first extra bytes of the window (the class must give it sizeof(LONG_PTR)),
// WM_GETFONT returns it, WM_SETTEXT redraws. The result of the message, or nothing for other
// messages.
std::optional<LRESULT> FontAndText(HWND hwnd, UINT message, WPARAM w, LPARAM l);

// The font that FontAndText keeps; nullptr until one is set.
HFONT KeptFont(HWND hwnd);

// Painting of a window that draws itself with `disegna(HDC)`: WM_PAINT, and WM_PRINTCLIENT, which
// first fills the background with the face colour of buttons when asked to. True when `message`
// was one of them.
template <typename Disegno>
bool HandlePaint(HWND hwnd, UINT message, WPARAM w, LPARAM l, Disegno&& disegna) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    disegna(dc);
    ::EndPaint(hwnd, &ps);
    return true;
  }
  if (message == WM_PRINTCLIENT) {
    auto dc = reinterpret_cast<HDC>(w);
    if (l & PRF_ERASEBKGND) {
      RECT interno;
      ::GetClientRect(hwnd, &interno);
      ::FillRect(dc, &interno, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    disegna(dc);
    return true;
  }
  return false;
}

}  // namespace zav5::window::win32
