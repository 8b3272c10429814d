#include "platform/current_drive.h"

#include <windows.h>

#include <string>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace zav5::platform {

char ProcessCurrentDrive() {
  std::wstring directory(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data());
    if (length == 0) {
      throw FileError("la cartella corrente non si legge: " + WindowsErrorText(::GetLastError()));
    }
    if (length < directory.size()) {
      directory.resize(length);
      break;
    }
    directory.resize(length);  // the size asked for, terminator included
  }
  return DriveOfDirectory(WideToUtf8(directory));
}

}  // namespace zav5::platform
