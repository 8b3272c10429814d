// The window's own icon, drawn in code: a price tag with a per cent sign, the mark of a
// promotional offer.
#pragma once

#include <memory>
#include <type_traits>

#include "window/win32/api.h"

namespace zav5::window::win32 {

struct DistruggiIcona {
  void operator()(HICON icona) const { ::DestroyIcon(icona); }
};
using Icona = std::unique_ptr<std::remove_pointer_t<HICON>, DistruggiIcona>;

// The icon, `lato` pixels square, transparent around the tag. Throws Errore when the system
// cannot make it.
// REQUIRES: `lato` is positive
Icona CreaIcona(int lato);

}  // namespace zav5::window::win32
