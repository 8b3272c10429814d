// The data control as the operator sees it: a bar with the four record navigation buttons
// (first, previous, next, last) and the control's caption between them.
#pragma once

#include "window/win32/api.h"

namespace zav5::window::win32 {

// The window class of data controls, registered on first use. The caption is the window text and
// its font the one given by WM_SETFONT. The buttons only show: the program moves through its
// recordsets itself, and nothing the operator does on the bar reaches them. Throws Error when the
// class cannot be registered.
const wchar_t* DataBarClass();

// Where the bar of `width` x `height` pixels puts its four buttons (first, previous, next,
// last), and the caption's room between them.
struct DataBarParts {
  RECT buttons[4];
  RECT caption;
};
DataBarParts SplitDataBar(int width, int height);

}  // namespace zav5::window::win32
