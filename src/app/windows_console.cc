#ifdef _WIN32

#include "app/windows_console.h"

#include <windows.h>

#include <cstdio>

namespace zav5::app {

namespace {

bool Redirected(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

void UsaConsoleDelChiamante() {
  const bool out = Redirected(STD_OUTPUT_HANDLE);
  const bool err = Redirected(STD_ERROR_HANDLE);
  if ((out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS)) {
    return;
  }
  ::SetConsoleOutputCP(CP_UTF8);
  if (!out) {
    std::freopen("CONOUT$", "w", stdout);
  }
  if (!err) {
    std::freopen("CONOUT$", "w", stderr);
  }
}

}  // namespace zav5::app

#endif
