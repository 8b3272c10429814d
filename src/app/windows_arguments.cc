#ifdef _WIN32

#include "app/windows_arguments.h"

#include <windows.h>
// After windows.h, on which it builds.
#include <shellapi.h>

#include "platform/windows/wide_text.h"

namespace zav5::app {

ArgomentiWindows::ArgomentiWindows() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments != nullptr) {
    for (int i = 0; i < count; ++i) {
      argomenti_.push_back(platform::WideToUtf8(arguments[i]));
    }
    ::LocalFree(arguments);
  }
  if (argomenti_.empty()) {
    argomenti_.emplace_back("zav5");
  }
  for (const std::string& argomento : argomenti_) {
    puntatori_.push_back(argomento.c_str());
  }
  puntatori_.push_back(nullptr);
}

}  // namespace zav5::app

#endif  // _WIN32
