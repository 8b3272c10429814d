#include "window/win32/menu.h"

#include <string>

#include <fmt/core.h>

#include "errors.h"
#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace zav5::window::win32 {

namespace {

Menu Nuovo(bool barra) {
  Menu menu(barra ? ::CreateMenu() : ::CreatePopupMenu());
  if (!menu) {
    throw Errore(fmt::format("impossibile creare il menu della finestra: {}",
                             platform::WindowsErrorText(::GetLastError())));
  }
  return menu;
}

// How many entries `voci` holds, at every depth.
UINT Conta(const std::vector<VoceMenu>& voci) {
  UINT n = 0;
  for (const VoceMenu& voce : voci) {
    n += 1 + Conta(voce.voci);
  }
  return n;
}

// Adds `voci` to `menu`, numbering every entry (shown or not) so that an entry keeps its
// identifier whichever entries are left out.
void Aggiungi(HMENU menu, const std::vector<VoceMenu>& voci, bool solo_visibili, UINT& id) {
  for (const VoceMenu& voce : voci) {
    const UINT questo = id++;
    if (solo_visibili && !voce.visibile) {
      id += Conta(voce.voci);
      continue;
    }
    const std::wstring didascalia = platform::Utf8ToWide(voce.didascalia);
    if (voce.voci.empty()) {
      ::AppendMenuW(menu, MF_STRING, questo, didascalia.c_str());
      continue;
    }
    Menu sotto = Nuovo(false);
    Aggiungi(sotto.get(), voce.voci, solo_visibili, id);
    // The parent owns the submenu from here on.
    ::AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sotto.release()),
                  didascalia.c_str());
  }
}

Menu Crea(const std::vector<VoceMenu>& voci, UINT primo_id, bool solo_visibili) {
  Menu barra = Nuovo(true);
  UINT id = primo_id;
  Aggiungi(barra.get(), voci, solo_visibili, id);
  return barra;
}

}  // namespace

Menu CreaMenuProgetto(const std::vector<VoceMenu>& voci, UINT primo_id) {
  return Crea(voci, primo_id, false);
}

Menu CreaBarraMenu(const std::vector<VoceMenu>& voci, UINT primo_id) {
  Menu barra = Crea(voci, primo_id, true);
  if (::GetMenuItemCount(barra.get()) <= 0) {
    return nullptr;
  }
  return barra;
}

}  // namespace zav5::window::win32
