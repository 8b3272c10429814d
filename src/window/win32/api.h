// The Windows API as this front end uses it: wide characters throughout (the functions are also
// called by their W names), no min/max macros, and the platform Env's MessageBox left alone.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h names MessageBoxW MessageBox; Env::MessageBox is the one meant in this front end.
#undef MessageBox

#include <string>

namespace zav5::window::win32 {

// The window text of `hwnd` (a caption, a button's label, an edit's contents).
inline std::wstring WindowText(HWND hwnd) {
  std::wstring testo(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  const int letti = ::GetWindowTextW(hwnd, testo.data(), static_cast<int>(testo.size()));
  testo.resize(static_cast<size_t>(letti > 0 ? letti : 0));
  return testo;
}

}  // namespace zav5::window::win32
