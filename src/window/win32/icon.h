// The window's own icon, drawn in code: a price tag with a per cent sign, the mark of a
// promotional offer.
#pragma once

#include <memory>
#include <type_traits>

#include "window/win32/api.h"

namespace zav5::window::win32 {

struct IconDeleter {
  void operator()(HICON icona) const { ::DestroyIcon(icona); }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// The icon, `lato` pixels square, transparent around the tag. Throws Error when the system
// cannot make it.
// REQUIRES: `lato` is positive
Icon MakeIcon(int lato);

}  // namespace zav5::window::win32
