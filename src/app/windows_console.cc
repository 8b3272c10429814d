#ifdef _WIN32

#include "app/windows_console.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace zav5::app {

namespace {

// The console's code page before this program changed it: the operator's prompt gets it back.
UINT code_page_before = 0;

void RestoreCodePage() {
  ::SetConsoleOutputCP(code_page_before);
}

bool Redirected(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

void AttachParentConsole() {
  const bool out = Redirected(STD_OUTPUT_HANDLE);
  const bool err = Redirected(STD_ERROR_HANDLE);
  if ((out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS)) {
    return;
  }
  code_page_before = ::GetConsoleOutputCP();
  if (code_page_before != 0 && ::SetConsoleOutputCP(CP_UTF8)) {
    std::atexit(RestoreCodePage);
  }
  if (!out) {
    std::freopen("CONOUT$", "w", stdout);
  }
  if (!err) {
    std::freopen("CONOUT$", "w", stderr);
  }
}

}  // namespace zav5::app

#endif
