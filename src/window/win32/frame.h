// The frame: a container with a caption, drawn as a group box, that also paints the windowless
// controls it holds (the forms runtime draws those on their container, not in windows of their
// own). The frame's children are placed relative to its outer corner, as in the design.
#pragma once

#include "window/win32/api.h"

namespace zav5::window::win32 {

// The window class of frames, registered on first use. A frame is created with a
// const WindowlessPainter* (its windowless controls) as its creation parameter, which must
// outlive it; its caption is its window text and its font the one given by WM_SETFONT. It passes
// the commands and drawing requests of its children on to its own parent. Throws Error when the
// class cannot be registered.
const wchar_t* FrameClass();

}  // namespace zav5::window::win32
