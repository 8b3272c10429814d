#include "window/window_model.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace zav5::window {

namespace {

constexpr std::string_view kFrame1 = "Frame1";
constexpr std::string_view kConnectString = "Access 2000;";
constexpr std::string_view kSansSerif = "MS Sans Serif";
constexpr std::string_view kZeros = "0000000";

// The till panel: one row per till, the circle at the left, the label with the till number on
// it, and the two counters beside it (num on the upper half, pun under it).
constexpr int kTills = 10;
constexpr std::int32_t kFirstRowTop = 480;
constexpr std::int32_t kRowStep = 600;
constexpr std::int32_t kCircleLeft = 1440;
constexpr std::int32_t kDiameter = 405;
constexpr std::int32_t kLabelHeight = 195;
constexpr std::int32_t kCountersLeft = 1965;
constexpr std::int32_t kCountersWidth = 975;

// Where a data control sits matters only to the eye: they are stacked in columns clear of
// everything else, those in Frame1 to the right of the till panel, those on the window between
// Frame1 and the window's right edge, above Command1.
struct ControlColumn {
  std::int32_t left;
  std::int32_t first_top;
  std::int32_t width;
  std::int32_t row_step;
};
constexpr std::int32_t kDataHeight = 345;
constexpr ControlColumn kFrameDataColumn = {3120, 510, 1935, 600};
constexpr ControlColumn kWindowDataColumn = {5640, 240, 3135, 480};

std::int32_t RowTop(int cassa) {
  return kFirstRowTop + (cassa - 1) * kRowStep;
}

Control Base(std::string_view name, ControlKind kind, Bounds bounds,
             std::string_view container = kWindowName) {
  Control c;
  c.name = name;
  c.kind = kind;
  c.bounds = bounds;
  c.container = container;
  return c;
}

Font SansSerif(double points, bool bold) {
  return {std::string(kSansSerif), points, bold};
}

void AddTillPanel(std::vector<Control>& controls) {
  for (int i = 1; i <= kTills; ++i) {
    Control cerchio =
        Base("c1", ControlKind::kCircle, {kCircleLeft, RowTop(i), kDiameter, kDiameter}, kFrame1);
    cerchio.index = i;
    cerchio.fill = Color{224, 224, 224};
    controls.push_back(std::move(cerchio));
  }
  // Same width as the circle and centred text, at the circle's middle height: the number sits
  // in the middle of its circle.
  for (int i = 1; i <= kTills; ++i) {
    Control numero =
        Base("Label" + std::to_string(i), ControlKind::kLabel,
             {kCircleLeft, RowTop(i) + (kDiameter - kLabelHeight) / 2, kDiameter, kLabelHeight},
             kFrame1);
    numero.caption = std::to_string(i);
    numero.font = SansSerif(8.25, true);
    numero.alignment = Alignment::kCenter;
    numero.transparent_background = true;
    controls.push_back(std::move(numero));
  }
  const std::array<std::pair<std::string_view, std::int32_t>, 2> contatori = {{
      {"num", 0},
      {"pun", kDiameter - kLabelHeight},
  }};
  for (const auto& [name, scarto] : contatori) {
    for (int i = 1; i <= kTills; ++i) {
      Control c = Base(name, ControlKind::kLabel,
                       {kCountersLeft, RowTop(i) + scarto, kCountersWidth, kLabelHeight}, kFrame1);
      c.index = i;
      c.caption = kZeros;
      controls.push_back(std::move(c));
    }
  }
}

// The window's data sources with the captions on their bars, in the order the window creates
// them, and whether they sit inside Frame1.
struct Source {
  std::string_view name;
  std::string_view caption;
  bool in_frame;
};

constexpr std::array<Source, 20> kSourceNames = {{
    {"var", "Data3", false},     {"var2", "Data3", false},     {"Semafori", "Data2", false},
    {"Data2", "Data3", false},   {"listipro", "Data3", false}, {"data3", "Data3", true},
    {"elettro", "Data4", false}, {"Data1", "Data1", false},    {"listi01", "Data2", false},
    {"unita2", "Data3", true},   {"offtab", "Data3", true},    {"codean2", "Data3", false},
    {"codean", "Data3", false},  {"variab2", "Data3", true},   {"ivadb", "Data3", true},
    {"variab", "Data3", true},   {"numeri", "Data3", true},    {"carteTX", "Data3", true},
    {"caselle", "Data4", false}, {"articoli", "Data2", false},
}};

void AddDataControls(std::vector<Control>& controls) {
  int in_frame = 0;
  int sulla_finestra = 0;
  for (const Source& s : kSourceNames) {
    const ControlColumn& colonna = s.in_frame ? kFrameDataColumn : kWindowDataColumn;
    int& placed = s.in_frame ? in_frame : sulla_finestra;
    Control c = Base(
        s.name, ControlKind::kData,
        {colonna.left, colonna.first_top + placed * colonna.row_step, colonna.width, kDataHeight},
        s.in_frame ? kFrame1 : kWindowName);
    ++placed;
    c.caption = s.caption;
    c.connect_string = kConnectString;
    controls.push_back(std::move(c));
  }
}

// The window carries no FTP control: nothing in the program would call it.
WindowModel BuildForm1() {
  WindowModel f;
  f.caption = "B";
  f.client_width = 8880;
  f.client_height = 7965;
  f.icon_size = 32;
  f.font = SansSerif(8.25, false);

  std::vector<Control>& c = f.controls;

  // Invisible at run time; placed clear of the rest all the same, for a front end that shows it.
  Control timer = Base("Timer2", ControlKind::kTimer, {5640, 6120, 420, 420});
  timer.interval_ms = 5000;
  timer.handler = "Timer2_Timer";
  c.push_back(std::move(timer));

  // Drawn under Frame1, which covers it: the program only reads its current drive.
  Control drive = Base("Drive1", ControlKind::kDriveList, {720, 600, 735, 315});
  drive.tab_index = 1;
  c.push_back(std::move(drive));

  Control riquadro = Base(kFrame1, ControlKind::kFrame, {120, 120, 5295, 6495});
  riquadro.caption = "Numero Pos";
  riquadro.font = SansSerif(9.75, true);
  c.push_back(std::move(riquadro));

  Control nrposw = Base("nrposw", ControlKind::kTextBox, {240, 840, 975, 405}, kFrame1);
  nrposw.font = SansSerif(12, false);
  nrposw.tab_index = 2;
  c.push_back(std::move(nrposw));

  AddTillPanel(c);

  // First in the tab order so that it holds the focus when the window opens.
  Control output = Base("Command1", ControlKind::kButton, {120, 6720, 8655, 1095});
  output.caption = "Uscita";
  output.graphical = true;
  output.tab_index = 0;
  output.handler = "Command1_Click";
  c.push_back(std::move(output));

  AddDataControls(c);

  // A notification-area menu that the program never opens: hidden, so the window shows no menu
  // bar whose items do nothing.
  MenuEntry sys{"mPopupSys", "&SysTray    ", false, "", {}};
  sys.entries.push_back({"mPopRestore", "&Restore    ", true, "", {}});
  sys.entries.push_back({"mPopExit", "&Exit    ", true, "", {}});
  f.menu.push_back(std::move(sys));
  return f;
}

const MenuEntry* FindIn(const std::vector<MenuEntry>& entries, std::string_view name) {
  for (const MenuEntry& v : entries) {
    if (v.name == name) {
      return &v;
    }
    if (const MenuEntry* trovata = FindIn(v.entries, name)) {
      return trovata;
    }
  }
  return nullptr;
}

std::vector<const Control*> Filter(const std::vector<Control>& controls,
                                   const std::function<bool(const Control&)>& scelta) {
  std::vector<const Control*> scelti;
  for (const Control& c : controls) {
    if (scelta(c)) {
      scelti.push_back(&c);
    }
  }
  return scelti;
}

}  // namespace

bool TakesFocus(ControlKind kind) {
  return kind == ControlKind::kButton || kind == ControlKind::kDriveList ||
         kind == ControlKind::kTextBox;
}

const Control* WindowModel::Find(std::string_view name, std::optional<int> index) const {
  for (const Control& c : controls) {
    if (c.name == name && c.index == index) {
      return &c;
    }
  }
  return nullptr;
}

const MenuEntry* WindowModel::FindMenuEntry(std::string_view name) const {
  return FindIn(menu, name);
}

std::vector<const Control*> WindowModel::ControlsIn(std::string_view container) const {
  return Filter(controls, [&](const Control& c) { return c.container == container; });
}

std::vector<const Control*> WindowModel::DataSources() const {
  return Filter(controls, [](const Control& c) { return c.kind == ControlKind::kData; });
}

std::vector<const Control*> WindowModel::TabOrder() const {
  std::vector<const Control*> ordine =
      Filter(controls, [](const Control& c) { return c.tab_index.has_value(); });
  std::stable_sort(ordine.begin(), ordine.end(), [](const Control* a, const Control* b) {
    return *a->tab_index < *b->tab_index;
  });
  return ordine;
}

const WindowModel& Form1Design() {
  static const WindowModel progetto = BuildForm1();
  return progetto;
}

}  // namespace zav5::window
