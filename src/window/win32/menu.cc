#include "window/win32/menu.h"

#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace zav5::window::win32 {

namespace {

Menu NewMenu(bool barra) {
  Menu menu(barra ? ::CreateMenu() : ::CreatePopupMenu());
  if (!menu) {
    throw Error(fmt::format("impossibile creare il menu della finestra: {}",
                            platform::WindowsErrorText(::GetLastError())));
  }
  return menu;
}

// How many entries `entries` holds, at every depth.
UINT Count(const std::vector<MenuEntry>& entries) {
  UINT n = 0;
  for (const MenuEntry& voce : entries) {
    n += 1 + Count(voce.entries);
  }
  return n;
}

// Adds `entries` to `menu`, numbering every entry (shown or not) so that an entry keeps its
// identifier whichever entries are left out.
void Add(HMENU menu, const std::vector<MenuEntry>& entries, bool solo_visibili, UINT& id) {
  for (const MenuEntry& voce : entries) {
    const UINT questo = id++;
    if (solo_visibili && !voce.visible) {
      id += Count(voce.entries);
      continue;
    }
    const std::wstring caption = platform::Utf8ToWide(voce.caption);
    if (voce.entries.empty()) {
      ::AppendMenuW(menu, MF_STRING, questo, caption.c_str());
      continue;
    }
    Menu sotto = NewMenu(false);
    Add(sotto.get(), voce.entries, solo_visibili, id);
    // The parent owns the submenu from here on.
    ::AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sotto.release()),
                  caption.c_str());
  }
}

Menu MakeMenu(const std::vector<MenuEntry>& entries, UINT primo_id, bool solo_visibili) {
  Menu barra = NewMenu(true);
  UINT id = primo_id;
  Add(barra.get(), entries, solo_visibili, id);
  return barra;
}

}  // namespace

Menu MakeDesignMenu(const std::vector<MenuEntry>& entries, UINT primo_id) {
  return MakeMenu(entries, primo_id, false);
}

Menu MakeMenuBar(const std::vector<MenuEntry>& entries, UINT primo_id) {
  Menu barra = MakeMenu(entries, primo_id, true);
  if (::GetMenuItemCount(barra.get()) <= 0) {
    return nullptr;
  }
  return barra;
}

}  // namespace zav5::window::win32
