// The window's menu, built from the design.
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include "window/win32/api.h"
#include "window/window_model.h"

namespace zav5::window::win32 {

struct MenuDeleter {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
// A menu that no window owns (a window destroys its own menu bar itself).
using Menu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

// The menu as designed: a bar with every top-level entry, each with its items, hidden entries
// included, captions exactly as the design has them. Items get command identifiers from
// `primo_id` on. Throws Error when the system cannot make a menu.
Menu MakeDesignMenu(const std::vector<MenuEntry>& entries, UINT primo_id);

// The menu bar the window shows: only the visible entries and items; nullptr when no top-level
// entry is visible. The identifiers are those of MakeDesignMenu for the same `primo_id`. Throws
// Error when the system cannot make a menu.
Menu MakeMenuBar(const std::vector<MenuEntry>& entries, UINT primo_id);

}  // namespace zav5::window::win32
