// What the window paints itself, read back pixel by pixel: the till panel that Frame1 draws for
// its windowless controls, the exit button's face, a data control's bar, and the window's icon.

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/fake/mem_env.h"
#include "window/form1.h"
#include "window/win32/api.h"
#include "window/win32/data_bar.h"
#include "window/win32/gdi.h"
#include "window/win32/icon.h"
#include "window/win32/open_window.h"
#include "window/win32/win32_window.h"
#include "window/window_model.h"

namespace zav5::window {
namespace {

// A 32-bit picture in memory that can be painted on and read back.
class Capture {
 public:
  Capture(int width, int height, COLORREF fondo) : width_(width) {
    BITMAPINFO formato{};
    formato.bmiHeader.biSize = sizeof(formato.bmiHeader);
    formato.bmiHeader.biWidth = width;
    formato.bmiHeader.biHeight = -height;
    formato.bmiHeader.biPlanes = 1;
    formato.bmiHeader.biBitCount = 32;
    formato.bmiHeader.biCompression = BI_RGB;
    void* bit = nullptr;
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &formato, DIB_RGB_COLORS, &bit, nullptr, 0);
    pixel_ = static_cast<const std::uint32_t*>(bit);
    previous_ = ::SelectObject(dc_, bitmap_);
    const RECT tutto = {0, 0, width, height};
    HBRUSH pennello = ::CreateSolidBrush(fondo);
    ::FillRect(dc_, &tutto, pennello);
    ::DeleteObject(pennello);
  }
  // What `hwnd` paints in its client area, background included.
  static Capture Of(HWND hwnd) {
    RECT r;
    ::GetClientRect(hwnd, &r);
    Capture immagine(r.right, r.bottom, RGB(1, 2, 3));
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(immagine.dc_),
                   PRF_CLIENT | PRF_ERASEBKGND);
    return immagine;
  }
  Capture(Capture&& altra) noexcept
      : dc_(std::exchange(altra.dc_, nullptr)),
        bitmap_(std::exchange(altra.bitmap_, nullptr)),
        previous_(altra.previous_),
        pixel_(altra.pixel_),
        width_(altra.width_) {}
  ~Capture() {
    if (dc_ != nullptr) {
      ::SelectObject(dc_, previous_);
      ::DeleteObject(bitmap_);
      ::DeleteDC(dc_);
    }
  }

  HDC Dc() const { return dc_; }
  COLORREF Pixel(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t p = pixel_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // How many pixels of `r` satisfy `scelta`.
  int Count(const RECT& r, const std::function<bool(COLORREF)>& scelta) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        n += scelta(Pixel(x, y)) ? 1 : 0;
      }
    }
    return n;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  const std::uint32_t* pixel_;
  int width_;
};

bool IsDark(COLORREF c) {
  return GetRValue(c) < 96 && GetGValue(c) < 96 && GetBValue(c) < 96;
}

// One window for all: under Wine without a window manager, ending a window that was shown takes
// two seconds.
class DrawingTest : public testing::Test {
 protected:
  using OpenWin = OpenWindow;
  static void SetUpTestSuite() { open_ = new OpenWin; }
  static void TearDownTestSuite() {
    delete open_;
    open_ = nullptr;
  }

  static OpenWin* open_;
  Win32Window& win32_window_ = open_->win32_window;
};

DrawingTest::OpenWin* DrawingTest::open_ = nullptr;

TEST_F(DrawingTest, FramePaintsTheTillPanelBackToFront) {
  const Capture riquadro = Capture::Of(win32_window_.Control("Frame1"));
  const COLORREF faccia = ::GetSysColor(COLOR_BTNFACE);
  const WindowModel& progetto = Form1::Design();
  for (int cassa = 1; cassa <= 10; ++cassa) {
    SCOPED_TRACE(cassa);
    const RECT cerchio = win32::Pixel(progetto.Find("c1", cassa)->bounds);
    const int raggio = (cerchio.right - cerchio.left) / 2;
    const int x = cerchio.left + raggio;
    const int y = cerchio.top + raggio;
    // Inside the circle, beside its number: the fill shows through the transparent label.
    EXPECT_EQ(riquadro.Pixel(x - raggio * 7 / 10, y), RGB(224, 224, 224));
    EXPECT_EQ(riquadro.Pixel(x + raggio * 7 / 10, y), RGB(224, 224, 224));
    // The corners of its square are the frame's face, and its outline is dark.
    EXPECT_EQ(riquadro.Pixel(cerchio.left, cerchio.top), faccia);
    EXPECT_EQ(riquadro.Pixel(cerchio.right - 1, cerchio.bottom - 1), faccia);
    EXPECT_TRUE(IsDark(riquadro.Pixel(cerchio.left, y)) ||
                IsDark(riquadro.Pixel(cerchio.left + 1, y)));
    // The number is drawn over the middle of the circle.
    const RECT numero = win32::Pixel(progetto.Find("Label" + std::to_string(cassa))->bounds);
    EXPECT_GT(riquadro.Count({x - raggio / 2, numero.top, x + raggio / 2, numero.bottom}, IsDark),
              3);
    // Both counters show their text on the face.
    for (const char* contatore : {"num", "pun"}) {
      const RECT r = win32::Pixel(progetto.Find(contatore, cassa)->bounds);
      EXPECT_GT(riquadro.Count(r, IsDark), 10) << contatore;
      EXPECT_GT(riquadro.Count(r, [&](COLORREF c) { return c == faccia; }), 0) << contatore;
    }
  }
  // The caption sits on the border at the top left.
  EXPECT_GT(riquadro.Count({8, 0, 80, 12}, IsDark), 20);
  // Away from everything: the frame's face.
  EXPECT_EQ(riquadro.Pixel(60, 400), faccia);
}

TEST_F(DrawingTest, ExitButtonShowsItsPictureAboveItsCaption) {
  HWND output = win32_window_.Control("Command1");
  const Capture pulsante = Capture::Of(output);
  RECT r;
  ::GetClientRect(output, &r);
  const auto green = [](COLORREF c) { return GetGValue(c) > 120 && GetRValue(c) < 60; };
  const RECT sopra = {r.left, r.top, r.right, r.top + 40};
  const RECT sotto = {r.left, r.top + 42, r.right, r.bottom - 6};
  EXPECT_GT(pulsante.Count(sopra, green), 20);
  EXPECT_EQ(pulsante.Count(sotto, green), 0);
  EXPECT_GT(pulsante.Count(sotto, IsDark), 20);
  // Centred: the caption's ink lies about the middle (the focus rectangle runs along the edges).
  EXPECT_EQ(pulsante.Count({r.left + 8, sotto.top, r.right / 3, sotto.bottom}, IsDark), 0);
  EXPECT_EQ(pulsante.Count({r.right * 2 / 3, sotto.top, r.right - 8, sotto.bottom}, IsDark), 0);
}

TEST_F(DrawingTest, DataControlShowsItsFourButtonsAndCaption) {
  HWND dati = win32_window_.Control("elettro");
  const Capture barra = Capture::Of(dati);
  RECT r;
  ::GetClientRect(dati, &r);
  const win32::DataBarParts parti = win32::SplitDataBar(r.right, r.bottom);
  const COLORREF testo = ::GetSysColor(COLOR_BTNTEXT);
  for (const RECT& pulsante : parti.buttons) {
    EXPECT_GT(pulsante.right - pulsante.left, 8);
    EXPECT_GT(barra.Count(pulsante, [&](COLORREF c) { return c == testo; }), 5);
    EXPECT_GT(barra.Count(pulsante, [&](COLORREF c) { return c == ::GetSysColor(COLOR_BTNFACE); }),
              5);
  }
  EXPECT_GT(parti.caption.right - parti.caption.left, (r.right - r.left) / 2);
  EXPECT_GT(barra.Count(parti.caption, IsDark), 10);
  EXPECT_EQ(barra.Count(r, [](COLORREF c) { return c == RGB(1, 2, 3); }), 0);
}

TEST_F(DrawingTest, WindowHasItsOwnIconOfThirtyTwoPixels) {
  for (HWND h : {win32_window_.Handle(), win32_window_.Owner()}) {
    auto icona = reinterpret_cast<HICON>(::SendMessageW(h, WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(icona, nullptr);
    ICONINFO parti{};
    ASSERT_TRUE(::GetIconInfo(icona, &parti));
    BITMAP colore{};
    ::GetObjectW(parti.hbmColor, sizeof(colore), &colore);
    EXPECT_EQ(colore.bmWidth, 32);
    EXPECT_EQ(colore.bmHeight, 32);
    ::DeleteObject(parti.hbmColor);
    ::DeleteObject(parti.hbmMask);
    EXPECT_NE(::SendMessageW(h, WM_GETICON, ICON_SMALL, 0), 0);
  }
}

TEST(IconTest, TagIsOpaqueAndWhatIsAroundItShowsThrough) {
  for (const int lato : {16, 32, 48}) {
    SCOPED_TRACE(lato);
    const win32::Icon icona = win32::MakeIcon(lato);
    ASSERT_TRUE(icona);
    const COLORREF fondo = RGB(0, 0, 255);
    const Capture immagine(lato, lato, fondo);
    ASSERT_TRUE(::DrawIconEx(immagine.Dc(), 0, 0, icona.get(), lato, lato, 0, nullptr, DI_NORMAL));
    const auto di_fondo = [&](COLORREF c) { return c == fondo; };
    const int trasparenti = immagine.Count({0, 0, lato, lato}, di_fondo);
    // A tag across the middle, the corners below it left clear.
    EXPECT_GT(trasparenti, lato * lato / 5);
    EXPECT_LT(trasparenti, lato * lato * 3 / 5);
    EXPECT_EQ(immagine.Pixel(0, lato - 1), fondo);
    EXPECT_EQ(immagine.Pixel(lato - 1, lato - 1), fondo);
    EXPECT_NE(immagine.Pixel(lato * 3 / 4, lato / 2), fondo);
    // The tag's paper and its red sign.
    EXPECT_GT(immagine.Count({0, 0, lato, lato}, [](COLORREF c) { return c == RGB(255, 200, 40); }),
              lato * lato / 5);
    EXPECT_GT(immagine.Count({0, 0, lato, lato}, [](COLORREF c) { return c == RGB(176, 0, 0); }),
              0);
  }
}

}  // namespace
}  // namespace zav5::window
