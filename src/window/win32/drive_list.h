// The drive list: a drop-down list of the machine's drives with the current one selected.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "window/win32/api.h"

namespace zav5::window::win32 {

// One drive as the list shows it: the letter in lower case and a colon, then the volume label in
// brackets when there is one ("c: [sistema]", "a:").
std::wstring DriveEntry(wchar_t lettera, std::wstring_view etichetta);

// The machine's drives as the list shows them, in letter order. Only fixed and RAM drives are
// asked for their label: a removable or network drive is never made to spin up or answer.
std::vector<std::wstring> MachineDrives();

// Fills the drop-down list `elenco` with `entries` and selects the one of drive `corrente` (a
// letter, either case). A current drive missing from `entries` is added in its place in the order,
// so that the list always shows the drive the program works on.
void FillDriveList(HWND elenco, const std::vector<std::wstring>& entries, char corrente);

}  // namespace zav5::window::win32
