// The main window as drawn: what an operator would see wrong on screen (controls cut off or on
// top of one another, wrong captions, a panel out of line) and what the program relies on (the
// data sources, the timer, the focus).

#include "window/window_model.h"

#include <map>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace zav5::window {
namespace {

std::string Name(const Control& c) {
  return c.index ? c.name + "(" + std::to_string(*c.index) + ")" : c.name;
}

bool Touch(const Bounds& a, const Bounds& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

// The only controls drawn over one another on purpose: each till number on its own circle, and
// the drive list that Frame1 covers.
bool IntendedOverlap(const Control& a, const Control& b) {
  auto numero_sul_cerchio = [](const Control& etichetta, const Control& cerchio) {
    return cerchio.name == "c1" && cerchio.index &&
           etichetta.name == "Label" + std::to_string(*cerchio.index);
  };
  auto unita_sotto_riquadro = [](const Control& x, const Control& y) {
    return x.name == "Drive1" && y.name == "Frame1";
  };
  return numero_sul_cerchio(a, b) || numero_sul_cerchio(b, a) || unita_sotto_riquadro(a, b) ||
         unita_sotto_riquadro(b, a);
}

TEST(WindowModelTest, WindowFrameAsDesigned) {
  const WindowModel& f = Form1Design();
  EXPECT_EQ(f.name, "Form1");
  EXPECT_EQ(f.caption, "B");
  EXPECT_EQ(f.border, BorderStyle::kFixedDialog);
  EXPECT_FALSE(f.min_button);
  EXPECT_FALSE(f.max_button);
  EXPECT_FALSE(f.in_taskbar);
  // Only Uscita ends the program.
  EXPECT_FALSE(f.close_box);
  EXPECT_EQ(f.client_width, 8880);
  EXPECT_EQ(f.client_height, 7965);
  EXPECT_EQ(f.icon_size, 32);
}

TEST(WindowModelTest, EveryControlFitsInsideItsContainer) {
  const WindowModel& f = Form1Design();
  std::set<std::string> disegnati = {f.name};
  for (const Control& c : f.controls) {
    SCOPED_TRACE(Name(c));
    // A front end creates each container before what it holds.
    ASSERT_TRUE(disegnati.count(c.container)) << c.container;
    std::int32_t width = f.client_width;
    std::int32_t height = f.client_height;
    if (c.container != f.name) {
      const Control* container = f.Find(c.container);
      ASSERT_NE(container, nullptr);
      EXPECT_EQ(container->kind, ControlKind::kFrame);
      width = container->bounds.width;
      height = container->bounds.height;
    }
    EXPECT_GT(c.bounds.width, 0);
    EXPECT_GT(c.bounds.height, 0);
    EXPECT_GE(c.bounds.left, 0);
    EXPECT_GE(c.bounds.top, 0);
    EXPECT_LE(c.bounds.Right(), width);
    EXPECT_LE(c.bounds.Bottom(), height);
    if (c.kind == ControlKind::kFrame) {
      disegnati.insert(c.name);
    }
  }
}

TEST(WindowModelTest, SiblingsDoNotOverlapExceptTillNumbersOnTheirCircles) {
  const WindowModel& f = Form1Design();
  for (std::string_view container : {std::string_view("Form1"), std::string_view("Frame1")}) {
    const std::vector<const Control*> fratelli = f.ControlsIn(container);
    ASSERT_FALSE(fratelli.empty()) << container;
    for (std::size_t i = 0; i < fratelli.size(); ++i) {
      for (std::size_t j = i + 1; j < fratelli.size(); ++j) {
        const Control& a = *fratelli[i];
        const Control& b = *fratelli[j];
        if (!IntendedOverlap(a, b)) {
          EXPECT_FALSE(Touch(a.bounds, b.bounds)) << Name(a) << " / " << Name(b);
        }
      }
    }
  }
}

TEST(WindowModelTest, DriveListKeepsItsPlaceUnderFrame1) {
  const WindowModel& f = Form1Design();
  const Control* drive = f.Find("Drive1");
  const Control* riquadro = f.Find("Frame1");
  ASSERT_NE(drive, nullptr);
  ASSERT_NE(riquadro, nullptr);
  EXPECT_EQ(drive->container, "Form1");
  EXPECT_EQ(drive->bounds, (Bounds{720, 600, 735, 315}));
  // Back to front: the frame is drawn over it.
  EXPECT_LT(drive, riquadro);
}

TEST(WindowModelTest, NamesAreUniquePerNameAndIndex) {
  const WindowModel& f = Form1Design();
  std::set<std::pair<std::string, std::optional<int>>> seen;
  std::map<std::string, std::set<int>> schiere;
  for (const Control& c : f.controls) {
    EXPECT_TRUE(seen.insert({c.name, c.index}).second) << Name(c);
    EXPECT_EQ(f.Find(c.name, c.index), &c) << Name(c);
    if (c.index) {
      schiere[c.name].insert(*c.index);
    }
  }
  // A name is either a control array or a single control, never both.
  for (const Control& c : f.controls) {
    EXPECT_EQ(schiere.count(c.name) == 1, c.index.has_value()) << Name(c);
  }
  const std::set<int> uno_a_dieci = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(schiere, (std::map<std::string, std::set<int>>{
                         {"c1", uno_a_dieci}, {"num", uno_a_dieci}, {"pun", uno_a_dieci}}));
}

TEST(WindowModelTest, LookUpOfAbsentControlsGivesNothing) {
  const WindowModel& f = Form1Design();
  EXPECT_EQ(f.Find("ftp"), nullptr);
  EXPECT_EQ(f.Find("Data3"), nullptr);
  EXPECT_EQ(f.Find("command1"), nullptr);
  EXPECT_EQ(f.Find("c1"), nullptr);
  EXPECT_EQ(f.Find("c1", 0), nullptr);
  EXPECT_EQ(f.Find("num", 11), nullptr);
  EXPECT_EQ(f.Find("Command1", 1), nullptr);
  EXPECT_EQ(f.FindMenuEntry("mPopHide"), nullptr);
  EXPECT_TRUE(f.ControlsIn("nrposw").empty());
  EXPECT_TRUE(f.ControlsIn("Frame2").empty());
}

TEST(WindowModelTest, CaptionsAreExact) {
  const WindowModel& f = Form1Design();
  const std::vector<std::pair<std::string, std::string>> waits = {
      {"Command1", "Uscita"}, {"Frame1", "Numero Pos"}, {"nrposw", ""},
      {"Label1", "1"},        {"Label9", "9"},          {"Label10", "10"},
  };
  for (const auto& [name, caption] : waits) {
    const Control* c = f.Find(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->caption, caption) << name;
  }
  const Control* output = f.Find("Command1");
  EXPECT_EQ(output->kind, ControlKind::kButton);
  EXPECT_TRUE(output->graphical);
}

TEST(WindowModelTest, MenuCaptionsKeepTheirFourTrailingBlanksAndDoNothing) {
  const WindowModel& f = Form1Design();
  ASSERT_EQ(f.menu.size(), 1u);
  const MenuEntry& sys = f.menu[0];
  EXPECT_EQ(sys.name, "mPopupSys");
  EXPECT_EQ(sys.caption, "&SysTray    ");
  ASSERT_EQ(sys.entries.size(), 2u);
  EXPECT_EQ(sys.entries[0].name, "mPopRestore");
  EXPECT_EQ(sys.entries[0].caption, "&Restore    ");
  EXPECT_EQ(sys.entries[1].name, "mPopExit");
  EXPECT_EQ(sys.entries[1].caption, "&Exit    ");
  for (const MenuEntry* v : {&sys, &sys.entries[0], &sys.entries[1]}) {
    EXPECT_EQ(f.FindMenuEntry(v->name), v);
    EXPECT_TRUE(v->handler.empty()) << v->name;
  }
  EXPECT_TRUE(sys.entries[0].entries.empty());
  EXPECT_TRUE(sys.entries[1].entries.empty());
}

TEST(WindowModelTest, OnlyTheTimerAndTheExitButtonHaveHandlers) {
  std::map<std::string, std::string> gestori;
  for (const Control& c : Form1Design().controls) {
    if (!c.handler.empty()) {
      gestori[Name(c)] = c.handler;
    }
  }
  EXPECT_EQ(gestori, (std::map<std::string, std::string>{{"Timer2", "Timer2_Timer"},
                                                         {"Command1", "Command1_Click"}}));
}

TEST(WindowModelTest, TimerTicksEveryFiveSecondsFromTheStart) {
  const Control* timer = Form1Design().Find("Timer2");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->kind, ControlKind::kTimer);
  EXPECT_EQ(timer->interval_ms, 5000);
  EXPECT_TRUE(timer->enabled);
}

TEST(WindowModelTest, ExitButtonComesFirstInTheTabOrder) {
  const WindowModel& f = Form1Design();
  const std::vector<const Control*> ordine = f.TabOrder();
  ASSERT_FALSE(ordine.empty());
  EXPECT_EQ(ordine.front()->name, "Command1");
  for (std::size_t i = 0; i < ordine.size(); ++i) {
    EXPECT_EQ(ordine[i]->tab_index, static_cast<int>(i)) << Name(*ordine[i]);
  }
  // Every control that can take the focus has its place, and nothing else has one.
  for (const Control& c : f.controls) {
    EXPECT_EQ(c.tab_index.has_value(), TakesFocus(c.kind)) << Name(c);
  }
  EXPECT_EQ(ordine.size(), 3u);
}

TEST(WindowModelTest, TillNumberTextBox) {
  const Control* nrposw = Form1Design().Find("nrposw");
  ASSERT_NE(nrposw, nullptr);
  EXPECT_EQ(nrposw->kind, ControlKind::kTextBox);
  EXPECT_EQ(nrposw->container, "Frame1");
  EXPECT_EQ(nrposw->bounds, (Bounds{240, 840, 975, 405}));
  EXPECT_EQ(nrposw->font, (Font{"MS Sans Serif", 12, false}));
}

TEST(WindowModelTest, ControlsOfTheDrawingKeepTheirPlaces) {
  const WindowModel& f = Form1Design();
  const std::vector<std::pair<std::string, Bounds>> attesi = {
      {"Frame1", {120, 120, 5295, 6495}},
      {"Command1", {120, 6720, 8655, 1095}},
  };
  for (const auto& [name, bounds] : attesi) {
    const Control* c = f.Find(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->bounds, bounds) << name;
    EXPECT_EQ(c->container, "Form1") << name;
  }
  EXPECT_EQ(f.Find("Frame1")->font, (Font{"MS Sans Serif", 9.75, true}));
}

TEST(WindowModelTest, TillPanelHasTenRowsSixHundredApart) {
  const WindowModel& f = Form1Design();
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE(i);
    const Control* cerchio = f.Find("c1", i);
    const Control* numero = f.Find("Label" + std::to_string(i));
    const Control* num = f.Find("num", i);
    const Control* pun = f.Find("pun", i);
    ASSERT_TRUE(cerchio && numero && num && pun);
    for (const Control* c : {cerchio, numero, num, pun}) {
      EXPECT_EQ(c->container, "Frame1") << Name(*c);
    }

    const Bounds& o = cerchio->bounds;
    EXPECT_EQ(cerchio->kind, ControlKind::kCircle);
    EXPECT_EQ(o.top, 480 + 600 * (i - 1));
    EXPECT_EQ(o.width, 405);
    EXPECT_EQ(o.height, 405);
    EXPECT_EQ(o.left, f.Find("c1", 1)->bounds.left);
    EXPECT_EQ(cerchio->fill, (Color{224, 224, 224}));

    // The till number is centred on its circle, over it, and lets it show around the text.
    const Bounds& n = numero->bounds;
    EXPECT_EQ(numero->kind, ControlKind::kLabel);
    EXPECT_EQ(2 * n.left + n.width, 2 * o.left + o.width);
    EXPECT_EQ(2 * n.top + n.height, 2 * o.top + o.height);
    EXPECT_EQ(numero->alignment, Alignment::kCenter);
    EXPECT_TRUE(numero->transparent_background);
    EXPECT_LT(cerchio, numero);
    EXPECT_EQ(numero->font, (Font{"MS Sans Serif", 8.25, true}));

    // num beside the circle on the upper half of the row, pun under it.
    const Bounds& su = num->bounds;
    const Bounds& giu = pun->bounds;
    EXPECT_EQ(num->kind, ControlKind::kLabel);
    EXPECT_EQ(pun->kind, ControlKind::kLabel);
    EXPECT_GE(su.left, o.Right());
    EXPECT_EQ(giu.left, su.left);
    EXPECT_GE(su.top, o.top);
    EXPECT_LE(2 * su.top + su.height, 2 * o.top + o.height);
    EXPECT_GE(giu.top, su.Bottom());
    EXPECT_LE(giu.Bottom(), o.top + 600);
  }
}

TEST(WindowModelTest, TwentyCountersShowSevenZeros) {
  int zeri = 0;
  for (const Control& c : Form1Design().controls) {
    if (c.caption == "0000000") {
      ++zeri;
      EXPECT_TRUE(c.name == "num" || c.name == "pun") << Name(c);
      EXPECT_TRUE(c.visible) << Name(c);
    }
  }
  EXPECT_EQ(zeri, 20);
}

TEST(WindowModelTest, TwentyDataSourcesWithTheirCaptionsAndContainers) {
  struct WaitBound {
    std::string container;
    std::string caption;
  };
  const std::map<std::string, WaitBound> waits = {
      {"var", {"Form1", "Data3"}},      {"var2", {"Form1", "Data3"}},
      {"Semafori", {"Form1", "Data2"}}, {"Data2", {"Form1", "Data3"}},
      {"listipro", {"Form1", "Data3"}}, {"data3", {"Frame1", "Data3"}},
      {"elettro", {"Form1", "Data4"}},  {"Data1", {"Form1", "Data1"}},
      {"listi01", {"Form1", "Data2"}},  {"unita2", {"Frame1", "Data3"}},
      {"offtab", {"Frame1", "Data3"}},  {"codean2", {"Form1", "Data3"}},
      {"codean", {"Form1", "Data3"}},   {"variab2", {"Frame1", "Data3"}},
      {"ivadb", {"Frame1", "Data3"}},   {"variab", {"Frame1", "Data3"}},
      {"numeri", {"Frame1", "Data3"}},  {"carteTX", {"Frame1", "Data3"}},
      {"caselle", {"Form1", "Data4"}},  {"articoli", {"Form1", "Data2"}},
  };
  const WindowModel& f = Form1Design();
  const std::vector<const Control*> sources = f.DataSources();
  ASSERT_EQ(sources.size(), waits.size());
  std::set<std::string> viste;
  for (const Control* c : sources) {
    SCOPED_TRACE(Name(*c));
    const auto attesa = waits.find(c->name);
    ASSERT_NE(attesa, waits.end());
    EXPECT_TRUE(viste.insert(c->name).second);
    EXPECT_EQ(c->kind, ControlKind::kData);
    EXPECT_FALSE(c->index.has_value());
    EXPECT_EQ(c->container, attesa->second.container);
    EXPECT_EQ(c->caption, attesa->second.caption);
    EXPECT_EQ(c->connect_string, "Access 2000;");
    EXPECT_TRUE(c->visible);
  }
  // The window creates its data sources from this list and from nothing else.
  for (const Control& c : f.controls) {
    EXPECT_EQ(c.kind == ControlKind::kData, viste.count(c.name) == 1) << Name(c);
  }
}

}  // namespace
}  // namespace zav5::window
