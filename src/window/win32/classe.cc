#include "window/win32/classe.h"

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"

namespace zav5::window::win32 {

const wchar_t* RegistraClasse(const wchar_t* nome, WNDPROC procedura, int extra,
                              std::string_view cosa) {
  WNDCLASSEXW classe{};
  classe.cbSize = sizeof(classe);
  classe.lpfnWndProc = procedura;
  classe.cbWndExtra = extra;
  classe.hInstance = ::GetModuleHandleW(nullptr);
  classe.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  classe.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  classe.lpszClassName = nome;
  if (::RegisterClassExW(&classe) == 0) {
    throw Errore(fmt::format("impossibile registrare la classe {}: {}", cosa,
                             platform::WindowsErrorText(::GetLastError())));
  }
  return nome;
}

std::optional<LRESULT> CarattereETesto(HWND hwnd, UINT messaggio, WPARAM w, LPARAM l) {
  switch (messaggio) {
    case WM_SETFONT:
      ::SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(w));
      if (LOWORD(l)) {
        ::InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_GETFONT:
      return ::GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
      const LRESULT fatto = ::DefWindowProcW(hwnd, messaggio, w, l);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return fatto;
    }
    default:
      return std::nullopt;
  }
}

HFONT CarattereImpostato(HWND hwnd) {
  return reinterpret_cast<HFONT>(::GetWindowLongPtrW(hwnd, 0));
}

}  // namespace zav5::window::win32
