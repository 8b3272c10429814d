// The window classes of this program's own windows and controls.
#pragma once

#include <string_view>

#include "window/win32/api.h"

namespace zav5::window::win32 {

// Registers the window class `nome`, whose windows run `procedura` and keep `extra` bytes of their
// own, with the arrow cursor and the face colour of buttons behind them; returns `nome`. Throws
// Errore naming `cosa` when the window system refuses it.
// REQUIRES: called once per class, e.g. to initialise a function-local static
const wchar_t* RegistraClasse(const wchar_t* nome, WNDPROC procedura, int extra,
                              std::string_view cosa);

}  // namespace zav5::window::win32
