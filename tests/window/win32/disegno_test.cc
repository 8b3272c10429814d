// What the window paints itself, read back pixel by pixel: the till panel that Frame1 draws for
// its windowless controls, the exit button's face, a data control's bar, and the window's icon.

#include "window/win32/api.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/fake/mem_env.h"
#include "window/controlli.h"
#include "window/form1.h"
#include "window/win32/barra_dati.h"
#include "window/win32/finestra_aperta.h"
#include "window/win32/finestra_win32.h"
#include "window/win32/gdi.h"
#include "window/win32/icona.h"

namespace zav5::window {
namespace {

// A 32-bit picture in memory that can be painted on and read back.
class Immagine {
 public:
  Immagine(int larghezza, int altezza, COLORREF fondo) : larghezza_(larghezza) {
    BITMAPINFO formato{};
    formato.bmiHeader.biSize = sizeof(formato.bmiHeader);
    formato.bmiHeader.biWidth = larghezza;
    formato.bmiHeader.biHeight = -altezza;
    formato.bmiHeader.biPlanes = 1;
    formato.bmiHeader.biBitCount = 32;
    formato.bmiHeader.biCompression = BI_RGB;
    void* bit = nullptr;
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &formato, DIB_RGB_COLORS, &bit, nullptr, 0);
    pixel_ = static_cast<const std::uint32_t*>(bit);
    prima_ = ::SelectObject(dc_, bitmap_);
    const RECT tutto = {0, 0, larghezza, altezza};
    HBRUSH pennello = ::CreateSolidBrush(fondo);
    ::FillRect(dc_, &tutto, pennello);
    ::DeleteObject(pennello);
  }
  // What `hwnd` paints in its client area, background included.
  static Immagine Di(HWND hwnd) {
    RECT r;
    ::GetClientRect(hwnd, &r);
    Immagine immagine(r.right, r.bottom, RGB(1, 2, 3));
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(immagine.dc_),
                   PRF_CLIENT | PRF_ERASEBKGND);
    return immagine;
  }
  Immagine(Immagine&& altra) noexcept
      : dc_(std::exchange(altra.dc_, nullptr)),
        bitmap_(std::exchange(altra.bitmap_, nullptr)),
        prima_(altra.prima_),
        pixel_(altra.pixel_),
        larghezza_(altra.larghezza_) {}
  ~Immagine() {
    if (dc_ != nullptr) {
      ::SelectObject(dc_, prima_);
      ::DeleteObject(bitmap_);
      ::DeleteDC(dc_);
    }
  }

  HDC Dc() const { return dc_; }
  COLORREF Pixel(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t p = pixel_[y * larghezza_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // How many pixels of `r` satisfy `scelta`.
  int Conta(const RECT& r, const std::function<bool(COLORREF)>& scelta) const {
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
  HGDIOBJ prima_;
  const std::uint32_t* pixel_;
  int larghezza_;
};

bool Scuro(COLORREF c) {
  return GetRValue(c) < 96 && GetGValue(c) < 96 && GetBValue(c) < 96;
}

// One window for all: under Wine without a window manager, ending a window that was shown takes
// two seconds.
class DisegnoTest : public testing::Test {
 protected:
  using OpenWin = FinestraAperta;
  static void SetUpTestSuite() { aperta_ = new OpenWin; }
  static void TearDownTestSuite() {
    delete aperta_;
    aperta_ = nullptr;
  }

  static OpenWin* aperta_;
  FinestraWin32& finestra_ = aperta_->finestra;
};

DisegnoTest::OpenWin* DisegnoTest::aperta_ = nullptr;

TEST_F(DisegnoTest, FramePaintsTheTillPanelBackToFront) {
  const Immagine riquadro = Immagine::Di(finestra_.Controllo("Frame1"));
  const COLORREF faccia = ::GetSysColor(COLOR_BTNFACE);
  const ModelloFinestra& progetto = Form1::Progetto();
  for (int cassa = 1; cassa <= 10; ++cassa) {
    SCOPED_TRACE(cassa);
    const RECT cerchio = win32::Pixel(progetto.Trova("c1", cassa)->posizione);
    const int raggio = (cerchio.right - cerchio.left) / 2;
    const int x = cerchio.left + raggio;
    const int y = cerchio.top + raggio;
    // Inside the circle, beside its number: the fill shows through the transparent label.
    EXPECT_EQ(riquadro.Pixel(x - raggio * 7 / 10, y), RGB(224, 224, 224));
    EXPECT_EQ(riquadro.Pixel(x + raggio * 7 / 10, y), RGB(224, 224, 224));
    // The corners of its square are the frame's face, and its outline is dark.
    EXPECT_EQ(riquadro.Pixel(cerchio.left, cerchio.top), faccia);
    EXPECT_EQ(riquadro.Pixel(cerchio.right - 1, cerchio.bottom - 1), faccia);
    EXPECT_TRUE(Scuro(riquadro.Pixel(cerchio.left, y)) ||
                Scuro(riquadro.Pixel(cerchio.left + 1, y)));
    // The number is drawn over the middle of the circle.
    const RECT numero = win32::Pixel(progetto.Trova("Label" + std::to_string(cassa))->posizione);
    EXPECT_GT(riquadro.Conta({x - raggio / 2, numero.top, x + raggio / 2, numero.bottom}, Scuro),
              3);
    // Both counters show their text on the face.
    for (const char* contatore : {"num", "pun"}) {
      const RECT r = win32::Pixel(progetto.Trova(contatore, cassa)->posizione);
      EXPECT_GT(riquadro.Conta(r, Scuro), 10) << contatore;
      EXPECT_GT(riquadro.Conta(r, [&](COLORREF c) { return c == faccia; }), 0) << contatore;
    }
  }
  // The caption sits on the border at the top left.
  EXPECT_GT(riquadro.Conta({8, 0, 80, 12}, Scuro), 20);
  // Away from everything: the frame's face.
  EXPECT_EQ(riquadro.Pixel(60, 400), faccia);
}

TEST_F(DisegnoTest, ExitButtonShowsItsPictureAboveItsCaption) {
  HWND uscita = finestra_.Controllo("Command1");
  const Immagine pulsante = Immagine::Di(uscita);
  RECT r;
  ::GetClientRect(uscita, &r);
  const auto verde = [](COLORREF c) { return GetGValue(c) > 120 && GetRValue(c) < 60; };
  const RECT sopra = {r.left, r.top, r.right, r.top + 40};
  const RECT sotto = {r.left, r.top + 42, r.right, r.bottom - 6};
  EXPECT_GT(pulsante.Conta(sopra, verde), 20);
  EXPECT_EQ(pulsante.Conta(sotto, verde), 0);
  EXPECT_GT(pulsante.Conta(sotto, Scuro), 20);
  // Centred: the caption's ink lies about the middle (the focus rectangle runs along the edges).
  EXPECT_EQ(pulsante.Conta({r.left + 8, sotto.top, r.right / 3, sotto.bottom}, Scuro), 0);
  EXPECT_EQ(pulsante.Conta({r.right * 2 / 3, sotto.top, r.right - 8, sotto.bottom}, Scuro), 0);
}

TEST_F(DisegnoTest, DataControlShowsItsFourButtonsAndCaption) {
  HWND dati = finestra_.Controllo("elettro");
  const Immagine barra = Immagine::Di(dati);
  RECT r;
  ::GetClientRect(dati, &r);
  const win32::PartiBarraDati parti = win32::DividiBarraDati(r.right, r.bottom);
  const COLORREF testo = ::GetSysColor(COLOR_BTNTEXT);
  for (const RECT& pulsante : parti.pulsanti) {
    EXPECT_GT(pulsante.right - pulsante.left, 8);
    EXPECT_GT(barra.Conta(pulsante, [&](COLORREF c) { return c == testo; }), 5);
    EXPECT_GT(barra.Conta(pulsante, [&](COLORREF c) { return c == ::GetSysColor(COLOR_BTNFACE); }),
              5);
  }
  EXPECT_GT(parti.didascalia.right - parti.didascalia.left, (r.right - r.left) / 2);
  EXPECT_GT(barra.Conta(parti.didascalia, Scuro), 10);
  EXPECT_EQ(barra.Conta(r, [](COLORREF c) { return c == RGB(1, 2, 3); }), 0);
}

TEST_F(DisegnoTest, WindowHasItsOwnIconOfThirtyTwoPixels) {
  for (HWND h : {finestra_.Handle(), finestra_.Proprietario()}) {
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

TEST(IconaTest, TagIsOpaqueAndWhatIsAroundItShowsThrough) {
  for (const int lato : {16, 32, 48}) {
    SCOPED_TRACE(lato);
    const win32::Icona icona = win32::CreaIcona(lato);
    ASSERT_TRUE(icona);
    const COLORREF fondo = RGB(0, 0, 255);
    const Immagine immagine(lato, lato, fondo);
    ASSERT_TRUE(::DrawIconEx(immagine.Dc(), 0, 0, icona.get(), lato, lato, 0, nullptr, DI_NORMAL));
    const auto di_fondo = [&](COLORREF c) { return c == fondo; };
    const int trasparenti = immagine.Conta({0, 0, lato, lato}, di_fondo);
    // A tag across the middle, the corners below it left clear.
    EXPECT_GT(trasparenti, lato * lato / 5);
    EXPECT_LT(trasparenti, lato * lato * 3 / 5);
    EXPECT_EQ(immagine.Pixel(0, lato - 1), fondo);
    EXPECT_EQ(immagine.Pixel(lato - 1, lato - 1), fondo);
    EXPECT_NE(immagine.Pixel(lato * 3 / 4, lato / 2), fondo);
    // The tag's paper and its red sign.
    EXPECT_GT(immagine.Conta({0, 0, lato, lato}, [](COLORREF c) { return c == RGB(255, 200, 40); }),
              lato * lato / 5);
    EXPECT_GT(immagine.Conta({0, 0, lato, lato}, [](COLORREF c) { return c == RGB(176, 0, 0); }),
              0);
  }
}

}  // namespace
}  // namespace zav5::window
