// The window as the tests of the real window open it.
#pragma once

#include "platform/fake/mem_env.h"
#include "window/form1.h"
#include "window/win32/finestra_win32.h"

namespace zav5::window {

// A form on a memory Env (no company database, so start-up ends at its message box) and its
// window, loaded and shown as the program does.
struct FinestraAperta {
  FinestraAperta() {
    finestra.Carica();
    finestra.Mostra();
    finestra.Pompa();
  }
  platform::MemEnv env;
  Form1 form{env};
  FinestraWin32 finestra{form};
};

}  // namespace zav5::window
