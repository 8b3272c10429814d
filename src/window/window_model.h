// The main window as drawn: its frame, every control with its place and look, and its menu. Front
// ends build the window from this description alone, and the window's data sources are created
// from its data controls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zav5::window {

// Name under which controls placed directly on the window give their container.
inline constexpr std::string_view kWindowName = "Form1";

enum class ControlKind {
  kTimer,
  kButton,     // command button
  kDriveList,  // drive list
  kTextBox,    // text box
  kFrame,      // frame: a container with a caption
  kCircle,     // circle shape
  kLabel,      // label
  kData,       // data control: a data source with a bar of its own
};

// True for the kinds that can take the keyboard focus, and so have a place in the tab order.
bool TakesFocus(ControlKind kind);

enum class Alignment { kLeft, kRight, kCenter };

// Position and size in twips; left and top are relative to the container's client area.
struct Bounds {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;

  std::int32_t Right() const { return left + width; }
  std::int32_t Bottom() const { return top + height; }
  bool operator==(const Bounds&) const = default;
};

struct Font {
  std::string name;
  double points = 0;
  bool bold = false;
  bool operator==(const Font&) const = default;
};

struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Color&) const = default;
};

struct Control {
  std::string name;
  // Index within a control array (c1(3), num(7)); absent for a control of its own.
  std::optional<int> index;
  ControlKind kind = ControlKind::kLabel;
  // Caption; for a text box, its text.
  std::string caption;
  Bounds bounds;
  // kWindowName, or the name of the frame that holds the control.
  std::string container{kWindowName};
  // Absent: the window's font.
  std::optional<Font> font;
  Alignment alignment = Alignment::kLeft;
  // Solid fill of a shape; absent: the shape is not filled.
  std::optional<Color> fill;
  // A label drawn over a shape lets the shape show around its text.
  bool transparent_background = false;
  // Place in the tab order, from 0; present exactly for the kinds that take the focus.
  std::optional<int> tab_index;
  bool visible = true;
  bool enabled = true;
  // Timers: milliseconds between ticks.
  int interval_ms = 0;
  // Command buttons: graphical style, showing a picture of their own above the caption.
  bool graphical = false;
  // Data controls: connect string of the engine; no database or query at design time.
  std::string connect_string;
  // Handler run by the control's one event (a timer's tick, a button's click); empty: none.
  std::string handler;
};

struct MenuEntry {
  std::string name;
  std::string caption;
  bool visible = true;
  // Handler run when the item is chosen; empty: choosing it does nothing.
  std::string handler;
  std::vector<MenuEntry> entries;
};

enum class BorderStyle { kNone, kFixed, kSizable, kFixedDialog };

struct WindowModel {
  std::string name{kWindowName};
  std::string caption;
  BorderStyle border = BorderStyle::kFixedDialog;
  bool close_box = false;
  bool min_button = false;
  bool max_button = false;
  bool in_taskbar = false;
  // Shown first in the middle of the screen.
  bool centered = true;
  // Client area in twips (15 twips to a pixel on the store's screens).
  std::int32_t client_width = 0;
  std::int32_t client_height = 0;
  // Side in pixels of the window's own icon; absent: the system's default icon.
  std::optional<int> icon_size;
  // Font of every control that names none of its own.
  Font font;
  // Back to front: a control drawn later covers the ones before it where they meet. A frame
  // comes before the controls it holds.
  std::vector<Control> controls;
  std::vector<MenuEntry> menu;

  // The control `name` with index `index` (none for a control that is not in an array), or
  // nullptr when the window has no such control. Names are matched exactly.
  const Control* Find(std::string_view name, std::optional<int> index = std::nullopt) const;

  // The menu entry `name` at any depth, or nullptr.
  const MenuEntry* FindMenuEntry(std::string_view name) const;

  // The controls held directly by `container` (kWindowName or a frame's name), back to front;
  // empty for a name that holds nothing.
  std::vector<const Control*> ControlsIn(std::string_view container) const;

  // The data controls: one data source each, in the window's order.
  std::vector<const Control*> DataSources() const;

  // The controls that take the focus, in tab order; the first one holds the focus when the
  // window opens.
  std::vector<const Control*> TabOrder() const;
};

// The main window Form1 as designed. Built once; lives for the whole program.
const WindowModel& Form1Design();

}  // namespace zav5::window
