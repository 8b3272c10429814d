#ifdef _WIN32

#include "app/windows_arguments.h"

#include <windows.h>
// After windows.h, on which it builds.
#include <shellapi.h>

#include "platform/windows/wide_text.h"

namespace zav5::app {

WindowsArguments::WindowsArguments() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments != nullptr) {
    for (int i = 0; i < count; ++i) {
      arguments_.push_back(platform::WideToUtf8(arguments[i]));
    }
    ::LocalFree(arguments);
  }
  if (arguments_.empty()) {
    arguments_.emplace_back("zav5");
  }
  for (const std::string& argomento : arguments_) {
    pointers_.push_back(argomento.c_str());
  }
  pointers_.push_back(nullptr);
}

}  // namespace zav5::app

#endif  // _WIN32
