// The window's menu, built from the design.
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include "window/controlli.h"
#include "window/win32/api.h"

namespace zav5::window::win32 {

struct DistruggiMenu {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
// A menu that no window owns (a window destroys its own menu bar itself).
using Menu = std::unique_ptr<std::remove_pointer_t<HMENU>, DistruggiMenu>;

// The menu as designed: a bar with every top-level entry, each with its items, hidden entries
// included, captions exactly as the design has them. Items get command identifiers from
// `primo_id` on. Throws Errore when the system cannot make a menu.
Menu CreaMenuProgetto(const std::vector<VoceMenu>& voci, UINT primo_id);

// The menu bar the window shows: only the visible entries and items; nullptr when no top-level
// entry is visible. The identifiers are those of CreaMenuProgetto for the same `primo_id`. Throws
// Errore when the system cannot make a menu.
Menu CreaBarraMenu(const std::vector<VoceMenu>& voci, UINT primo_id);

}  // namespace zav5::window::win32
