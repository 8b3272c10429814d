// The command button in graphical style: a push button that shows a picture of its own above its
// caption. It is an owner-drawn BUTTON, so it keeps the button's behaviour (focus, Space, click
// notification) and only its face is drawn here.
#pragma once

#include "window/win32/api.h"

namespace zav5::window::win32 {

// Side in pixels of the picture.
inline constexpr int kPictureSize = 32;

// Draws the face of the owner-drawn button described by `voce`: raised or pressed, the picture
// centred near the top, the caption (window text, in the button's font) under it, and the focus
// rectangle when the button has the focus.
void DrawGraphicButton(const DRAWITEMSTRUCT& voce);

// Draws the picture of the exit button, an open door with an arrow going out, in a square of
// kPictureSize pixels at `left`, `top`.
void DrawExitPicture(HDC dc, int left, int top);

}  // namespace zav5::window::win32
