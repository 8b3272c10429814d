// The window as the tests of the real window open it.
#pragma once

#include "platform/fake/mem_env.h"
#include "window/form1.h"
#include "window/win32/win32_window.h"

namespace zav5::window {

// A form on a memory Env (no company database, so start-up ends at its message box) and its
// window, loaded and shown as the program does.
struct OpenWindow {
  OpenWindow() {
    win32_window.Load();
    win32_window.Show();
    win32_window.PumpMessages();
  }
  platform::MemEnv env;
  Form1 form{env};
  Win32Window win32_window{form};
};

}  // namespace zav5::window
