#include "window/win32/drive_list.h"

#include <algorithm>
#include <cwctype>

namespace zav5::window::win32 {

std::wstring DriveEntry(wchar_t lettera, std::wstring_view etichetta) {
  std::wstring voce{static_cast<wchar_t>(std::towlower(lettera)), L':'};
  if (!etichetta.empty()) {
    voce += L" [";
    voce += etichetta;
    voce += L']';
  }
  return voce;
}

std::vector<std::wstring> MachineDrives() {
  std::vector<std::wstring> entries;
  std::wstring radici(::GetLogicalDriveStringsW(0, nullptr) + 1, L'\0');
  const DWORD lunghezza =
      ::GetLogicalDriveStringsW(static_cast<DWORD>(radici.size()), radici.data());
  radici.resize(std::min<size_t>(lunghezza, radici.size()));
  // "c:\<NUL>d:\<NUL>...": one root per string.
  for (size_t inizio = 0; inizio < radici.size();) {
    const size_t end_day = std::min(radici.find(L'\0', inizio), radici.size());
    const std::wstring radice = radici.substr(inizio, end_day - inizio);
    inizio = end_day + 1;
    if (radice.empty()) {
      continue;
    }
    wchar_t etichetta[MAX_PATH + 1] = L"";
    const UINT kind = ::GetDriveTypeW(radice.c_str());
    if (kind == DRIVE_FIXED || kind == DRIVE_RAMDISK) {
      if (!::GetVolumeInformationW(radice.c_str(), etichetta, MAX_PATH + 1, nullptr, nullptr,
                                   nullptr, nullptr, 0)) {
        etichetta[0] = L'\0';
      }
    }
    entries.push_back(DriveEntry(radice[0], etichetta));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

void FillDriveList(HWND elenco, const std::vector<std::wstring>& entries, char corrente) {
  const wchar_t lettera = static_cast<wchar_t>(std::towlower(static_cast<unsigned char>(corrente)));
  std::vector<std::wstring> mostrate = entries;
  auto della_corrente = [&](const std::wstring& voce) {
    return !voce.empty() && voce[0] == lettera;
  };
  if (std::none_of(mostrate.begin(), mostrate.end(), della_corrente)) {
    const std::wstring voce = DriveEntry(lettera, L"");
    mostrate.insert(std::upper_bound(mostrate.begin(), mostrate.end(), voce), voce);
  }
  ::SendMessageW(elenco, CB_RESETCONTENT, 0, 0);
  for (const std::wstring& voce : mostrate) {
    ::SendMessageW(elenco, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(voce.c_str()));
  }
  const auto scelta = std::find_if(mostrate.begin(), mostrate.end(), della_corrente);
  ::SendMessageW(elenco, CB_SETCURSEL, static_cast<WPARAM>(scelta - mostrate.begin()), 0);
}

}  // namespace zav5::window::win32
