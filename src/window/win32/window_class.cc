#include "window/win32/window_class.h"

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"

namespace zav5::window::win32 {

const wchar_t* RegisterOwnClass(const wchar_t* name, WNDPROC procedura, int extra,
                                std::string_view cosa) {
  WNDCLASSEXW classe{};
  classe.cbSize = sizeof(classe);
  classe.lpfnWndProc = procedura;
  classe.cbWndExtra = extra;
  classe.hInstance = ::GetModuleHandleW(nullptr);
  classe.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  classe.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  classe.lpszClassName = name;
  if (::RegisterClassExW(&classe) == 0) {
    throw Error(fmt::format("impossibile registrare la classe {}: {}", cosa,
                            platform::WindowsErrorText(::GetLastError())));
  }
  return name;
}

std::optional<LRESULT> FontAndText(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SETFONT:
      ::SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(w));
      if (LOWORD(l)) {
        ::InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_GETFONT:
      return ::GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
      const LRESULT fatto = ::DefWindowProcW(hwnd, message, w, l);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return fatto;
    }
    default:
      return std::nullopt;
  }
}

HFONT KeptFont(HWND hwnd) {
  return reinterpret_cast<HFONT>(::GetWindowLongPtrW(hwnd, 0));
}

}  // namespace zav5::window::win32
