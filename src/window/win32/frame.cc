#include "window/win32/frame.h"

#include <optional>
#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "window/win32/gdi.h"
#include "window/win32/window_class.h"
#include "window/win32/windowless_controls.h"

namespace zav5::window::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Zav5Riquadro";
// Where the caption begins, and the blank it keeps from the border on each side.
constexpr int kCaptionLeft = 8;
constexpr int kCaptionMargin = 2;

void Paint(HWND hwnd, HDC dc) {
  RECT interno;
  ::GetClientRect(hwnd, &interno);
  auto font = KeptFont(hwnd);
  const Selected con_font(
      dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring caption = WindowText(hwnd);
  SIZE misura{};
  ::GetTextExtentPoint32W(dc, caption.empty() ? L" " : caption.c_str(),
                          caption.empty() ? 1 : static_cast<int>(caption.size()), &misura);

  // The border runs through the middle of the caption's line.
  RECT border = interno;
  border.top += misura.cy / 2;
  ::DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
  if (!caption.empty()) {
    const RECT sfondo = {kCaptionLeft - kCaptionMargin, 0,
                         kCaptionLeft + misura.cx + kCaptionMargin, misura.cy};
    ::FillRect(dc, &sfondo, ::GetSysColorBrush(COLOR_BTNFACE));
    const int modo = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF colore =
        ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    ::TextOutW(dc, kCaptionLeft, 0, caption.c_str(), static_cast<int>(caption.size()));
    ::SetTextColor(dc, colore);
    ::SetBkMode(dc, modo);
  }

  const auto* contenuto =
      reinterpret_cast<const WindowlessPainter*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (contenuto != nullptr) {
    contenuto->Paint(dc);
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  if (const std::optional<LRESULT> fatto = FontAndText(hwnd, message, w, l)) {
    return *fatto;
  }
  if (HandlePaint(hwnd, message, w, l, [hwnd](HDC dc) { Paint(hwnd, dc); })) {
    return 0;
  }
  switch (message) {
    case WM_NCCREATE: {
      const auto* creazione = reinterpret_cast<const CREATESTRUCTW*>(l);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creazione->lpCreateParams));
      break;
    }
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      return ::SendMessageW(::GetParent(hwnd), message, w, l);
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, w, l);
}

}  // namespace

const wchar_t* FrameClass() {
  static const wchar_t* const classe =
      RegisterOwnClass(kClassName, WindowProc, sizeof(LONG_PTR), "dei riquadri");
  return classe;
}

}  // namespace zav5::window::win32
