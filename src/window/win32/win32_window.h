// The real window of the Windows build: Form1 drawn by the window system from its design, with
// its events (timer ticks, the exit button, closing by the window system) coming from the window
// system's message loop.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "window/form1.h"

// The window system's handle types, as windows.h declares them; this header does without it.
struct HWND__;
struct HMENU__;

namespace zav5::window {

// Runs `form` as a window until it unloads: creates the window from the design, runs the load
// handler before showing it, shows the number of tills in nrposw, shows the window (first in the
// middle of the work area) and handles its events. Every handler runs on this thread to its end.
// Returns 0. Throws Error when the window system refuses the window, and what a handler throws.
int RunWindowed(Form1& form);

// The window of a Form1 on the Windows desktop, for the message loop of RunWindowed and for
// tests that drive it message by message. Not thread-safe: everything happens on the thread that
// created it, which must be the thread that pumps its messages.
class Win32Window {
 public:
  // Creates the window and its controls from Form1::Design(), hidden, with Timer2 armed.
  // Throws Error when the window system refuses a window, a font or the icon.
  // REQUIRES: `form` outlives this value
  explicit Win32Window(Form1& form);
  // Destroys the window and its owner, if they are still there, and every object made for them.
  // The form is left as it is.
  ~Win32Window();

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Runs the load handler, then shows what it left: the text of nrposw and which data controls
  // are visible. Throws what the handler throws.
  void Load();

  // Shows the window and gives the keyboard focus to the first control in the tab order.
  void Show();

  // The window; nullptr once it is destroyed.
  HWND__* Handle() const;
  // The hidden window that owns it, so that it gets no taskbar button; nullptr when the design
  // puts the window in the taskbar, and once destroyed.
  HWND__* Owner() const;
  // The window of the control `name` with index `index`; nullptr for a control without a window
  // of its own (shapes, labels, timers), a name the design lacks, and once destroyed.
  HWND__* Control(std::string_view name, std::optional<int> index = std::nullopt) const;
  // The menu as designed, hidden entries included: a bar whose items are the top-level entries.
  // It is never shown; it goes with the window (nullptr from then on).
  HMENU__* DesignMenu() const;

  // Sets the system timer of Timer2 to the time left until its next tick on the Env's steady
  // clock, or stops it while Timer2 is disabled. Every event does this; a test that moves a fake
  // clock does it too.
  void ArmTimer();

  // Handles every message waiting for this thread, without waiting. Returns false once the quit
  // message has come (the window has unloaded). Rethrows what a handler threw.
  bool PumpMessages();
  // Waits for a message without using the processor, then handles it and those waiting. Same
  // result as PumpMessages.
  bool Wait();

 private:
  class WindowState;
  std::unique_ptr<WindowState> window_state_;
};

}  // namespace zav5::window
