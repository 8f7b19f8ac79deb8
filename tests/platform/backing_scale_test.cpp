// Ports of a denser screen: coordinates stay in port pixels, figures cover
// whole blocks of device pixels, text is set at the device size and images
// land one to one when they have the device size.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/draw/port.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "platform/toolbox/toolbox_internal.h"
#include "support/qt/nib_window_fixture.h"

using namespace plat::draw;

namespace {

constexpr uint32_t W = 0xFFFFFFFFu;
constexpr uint32_t K = 0xFF000000u;

std::vector<std::string> Picture(const Port& p) {
  std::vector<std::string> rows;
  for (int y = 0; y < p.surface().height(); ++y) {
    std::string r;
    for (int x = 0; x < p.surface().width(); ++x) {
      const uint32_t v = p.surface().pixel(x, y);
      r.push_back(v == K ? '#' : v == W ? '.' : '?');
    }
    rows.push_back(r);
  }
  return rows;
}

void Scribble(Port& p) {
  for (int y = 0; y < p.surface().height(); ++y)
    for (int x = 0; x < p.surface().width(); ++x)
      p.surface().row(y)[x] = 0xFF000000u | static_cast<uint32_t>((x * 37 + y * 101) * 2654435761u >> 8 & 0xFFFFFF);
}

// The box around the pixels that differ from white, device pixels.
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box Ink(const Port& p) {
  Box b;
  for (int y = 0; y < p.surface().height(); ++y)
    for (int x = 0; x < p.surface().width(); ++x)
      if (p.surface().pixel(x, y) != W) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x + 1);
        b.bottom = std::max(b.bottom, y + 1);
      }
  return b;
}

class ScaledPortTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetPort(); }
  void TearDown() override { SetPort(saved_); }
  Port* saved_ = nullptr;
};

TEST_F(ScaledPortTest, TheSurfaceGrowsAndThePortKeepsItsCoordinates) {
  Port p(5, 3);
  std::vector<Rect> changed;
  p.onChanged = [&](const Rect& r) { changed.push_back(r); };
  p.SetBackingScale(2);
  EXPECT_EQ(p.backingScale(), 2);
  EXPECT_EQ(p.surface().width(), 10);
  EXPECT_EQ(p.surface().height(), 6);
  EXPECT_EQ(p.portRect.right, 5);
  EXPECT_EQ(p.portRect.bottom, 3);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].right, 5);
  // A resize is in port pixels and keeps the density.
  p.resize(7, 4);
  EXPECT_EQ(p.surface().width(), 14);
  EXPECT_EQ(p.surface().height(), 8);
  EXPECT_EQ(p.clipRect.right, 7);
  // Scales are held to 1 to 4.
  p.SetBackingScale(9);
  EXPECT_EQ(p.backingScale(), 4);
  p.SetBackingScale(0);
  EXPECT_EQ(p.backingScale(), 1);
  EXPECT_EQ(p.surface().width(), 7);
}

TEST_F(ScaledPortTest, FiguresCoverTheDoubledPixels) {
  Port p(5, 4);
  p.SetBackingScale(2);
  SetPort(&p);
  FrameRect(Rect{1, 1, 3, 4});  // top, left, bottom, right: 3 x 2
  MoveTo(0, 3);
  LineTo(4, 3);
  EXPECT_EQ(Picture(p), (std::vector<std::string>{
                            "..........",
                            "..........",
                            "..######..",
                            "..######..",
                            "..######..",
                            "..######..",
                            "##########",
                            "##########",
                        }));
  // Reported changes are in port pixels.
  std::vector<Rect> changed;
  p.onChanged = [&](const Rect& r) { changed.push_back(r); };
  PaintRect(Rect{0, 3, 1, 5});
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].left, 3);
  EXPECT_EQ(changed[0].right, 5);
  EXPECT_EQ(changed[0].bottom, 1);
}

TEST_F(ScaledPortTest, ClipAndPatternsStayInPortPixels) {
  Port p(8, 2);
  p.SetBackingScale(2);
  SetPort(&p);
  ClipRect(Rect{0, 0, 2, 3});
  PenPat(Pattern{{0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}});
  PaintRect(Rect{0, 0, 2, 8});
  // Port pixels 0 and 2 of row 0 and pixel 1 of row 1, each a 2 x 2 block;
  // nothing right of the clip.
  EXPECT_EQ(Picture(p), (std::vector<std::string>{
                            "##..##..........",
                            "##..##..........",
                            "..##............",
                            "..##............",
                        }));
}

TEST_F(ScaledPortTest, XorFiguresAndTextUndoThemselves) {
  Port p(40, 24);
  p.SetBackingScale(3);
  Scribble(p);
  const std::vector<uint32_t> before = p.surface().pixels();
  SetPort(&p);
  PenMode(patXor);
  for (int pass = 0; pass < 2; ++pass) {
    FrameOval(Rect{2, 3, 20, 30});
    MoveTo(1, 1);
    LineTo(37, 21);
    PenSize(2, 3);
    LineTo(5, 9);
    PenSize(1, 1);
    MoveTo(4, 18);
    DrawString("Ag");
  }
  EXPECT_EQ(p.surface().pixels(), before);
}

TEST_F(ScaledPortTest, TextIsSetAtTheDeviceSizeAndMovesThePenInPortPixels) {
  Port one(60, 24);
  SetPort(&one);
  TextSize(12);
  MoveTo(4, 16);
  DrawString("Hello");
  const Box b1 = Ink(one);
  const int16_t advance = one.pen.pnLoc.h;
  ASSERT_GT(b1.right, b1.left);

  Port two(60, 24);
  two.SetBackingScale(2);
  SetPort(&two);
  TextSize(12);
  MoveTo(4, 16);
  DrawString("Hello");
  const Box b2 = Ink(two);
  EXPECT_EQ(two.pen.pnLoc.h, advance);
  EXPECT_EQ(StringWidth("Hello"), advance - 4);
  // The same text about twice as large, at about the doubled place; not a
  // pixel-doubled copy: some ink edge falls on an odd device pixel.
  EXPECT_NEAR(b2.left, 2 * b1.left, 2);
  EXPECT_NEAR(b2.top, 2 * b1.top, 3);
  EXPECT_NEAR(b2.right, 2 * b1.right, 4);
  EXPECT_NEAR(b2.bottom, 2 * b1.bottom, 3);
  bool oddEdge = false;
  for (int y = 0; y < two.surface().height(); ++y)
    for (int x = 0; x + 1 < two.surface().width(); x += 2)
      if (two.surface().pixel(x, y) != two.surface().pixel(x + 1, y)) oddEdge = true;
  EXPECT_TRUE(oddEdge);
}

// RGBA bytes of a w x h checkerboard of one-pixel black and white squares.
std::vector<uint8_t> Checker(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t v = (x + y) % 2 == 0 ? 0 : 255;
      uint8_t* q = px.data() + (static_cast<size_t>(y) * w + x) * 4;
      q[0] = q[1] = q[2] = v;
      q[3] = 255;
    }
  return px;
}

TEST_F(ScaledPortTest, AnImageOfTheDeviceSizeKeepsEveryPixel) {
  Port p(12, 10);
  p.SetBackingScale(2);
  const std::vector<uint8_t> px = Checker(12, 8);
  const Context ctx{&p, 2, 1, Rect{0, 0, 10, 12}};
  // 6 x 4 port pixels at (3, 2) of the port: 12 x 8 device pixels.
  DrawImage(ctx, CGRect{{1.0f, 1.0f}, {6.0f, 4.0f}}, ImageRef{px.data(), 12, 8, 48}, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      // Image row 0 lands at the bottom of the destination.
      const int row = 7 - y;
      const uint32_t want = (x + row) % 2 == 0 ? K : W;
      ASSERT_EQ(p.surface().pixel(6 + x, 4 + y), want) << x << "," << y;
    }
  EXPECT_EQ(p.surface().pixel(5, 4), W);
  EXPECT_EQ(p.surface().pixel(18, 4), W);
  EXPECT_EQ(p.surface().pixel(6, 3), W);
  EXPECT_EQ(p.surface().pixel(6, 12), W);
}

TEST_F(ScaledPortTest, AnImageOfThePortSizeIsPixelDoubledAndClipped) {
  Port p(6, 4);
  p.SetBackingScale(2);
  const std::vector<uint8_t> px = Checker(4, 2);
  // Clipped to port columns 0 to 2.
  const Context ctx{&p, 0, 0, Rect{0, 0, 4, 3}};
  DrawImage(ctx, CGRect{{1.0f, 1.0f}, {4.0f, 2.0f}}, ImageRef{px.data(), 4, 2, 16}, false);
  const std::vector<std::string> want{
      "............",
      "............",
      "....##......",
      "....##......",
      "..##........",
      "..##........",
      "............",
      "............",
  };
  EXPECT_EQ(Picture(p), want);
}

// The plain form of nearest sampling: each device pixel sampled and blended
// in single precision by itself, as the port always drew images.
void ReferenceNearest(Port& port, const Context& ctx, const CGRect& dst, const ImageRef& image) {
  const int k = port.backingScale();
  const float fk = static_cast<float>(k);
  const float x0 = (ctx.originH + dst.origin.x) * fk, y0 = (ctx.originV + dst.origin.y) * fk;
  const float dw = dst.size.width * fk, dh = dst.size.height * fk;
  Surface& s = port.surface();
  const int l = std::max({static_cast<int>(std::floor(x0 + 0.5f)), 0, ctx.clip.left * k});
  const int t = std::max({static_cast<int>(std::floor(y0 + 0.5f)), 0, ctx.clip.top * k});
  const int r = std::min({static_cast<int>(std::floor(x0 + dw + 0.5f)), s.width(), ctx.clip.right * k});
  const int b = std::min({static_cast<int>(std::floor(y0 + dh + 0.5f)), s.height(), ctx.clip.bottom * k});
  const float kx = image.width / dw, ky = image.height / dh;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      const float sx = ((x + 0.5f) - x0) * kx;
      const float sy = image.height - ((y + 0.5f) - y0) * ky;
      const int ix = std::clamp(static_cast<int>(std::floor(sx)), 0, image.width - 1);
      const int iy = std::clamp(static_cast<int>(std::floor(sy)), 0, image.height - 1);
      const uint8_t* p = image.data + static_cast<long>(iy) * image.rowBytes + ix * 4;
      const uint32_t d = s.row(y)[x];
      uint32_t out = 0xFF000000u;
      for (int c = 0; c < 3; ++c) {
        const int shift = 16 - 8 * c;
        const float v = static_cast<float>(p[c]) +
                        static_cast<float>((d >> shift) & 0xFFu) * (255.0f - static_cast<float>(p[3])) / 255.0f;
        out |= static_cast<uint32_t>(std::clamp(static_cast<int>(v + 0.5f), 0, 255)) << shift;
      }
      s.row(y)[x] = out;
    }
}

TEST_F(ScaledPortTest, NearestImagesMatchThePlainPerPixelBlendBitForBit) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFFu;
  };
  for (int round = 0; round < 24; ++round) {
    const int iw = 1 + static_cast<int>(next() % 37), ih = 1 + static_cast<int>(next() % 29);
    std::vector<uint8_t> px(static_cast<size_t>(iw) * ih * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
      // Opaque, clear and partly covering pixels, premultiplied; now and
      // then a clear one with colour left in it.
      const unsigned kind = next() % 4;
      const uint8_t a = kind == 0 ? 255 : kind == 1 ? 0 : static_cast<uint8_t>(next() % 256);
      for (int c = 0; c < 3; ++c)
        px[i + c] = static_cast<uint8_t>(a == 0 ? (next() % 7 == 0 ? next() % 256 : 0) : next() % (a + 1));
      px[i + 3] = a;
    }
    const ImageRef image{px.data(), iw, ih, iw * 4};
    const int scale = 1 + round % 3;
    Port fast(48, 40), plain(48, 40);
    fast.SetBackingScale(scale);
    plain.SetBackingScale(scale);
    Scribble(fast);
    Scribble(plain);
    const Context ctx{&fast, static_cast<int16_t>(next() % 5), static_cast<int16_t>(next() % 5),
                      Rect{static_cast<int16_t>(next() % 4), static_cast<int16_t>(next() % 4), 38, 45}};
    const CGRect dst{{static_cast<float>(next() % 200) / 10.0f - 3.0f, static_cast<float>(next() % 200) / 10.0f - 3.0f},
                     {1.0f + static_cast<float>(next() % 400) / 10.0f, 1.0f + static_cast<float>(next() % 300) / 10.0f}};
    DrawImage(ctx, dst, image, false);
    Context plainCtx = ctx;
    plainCtx.port = &plain;
    ReferenceNearest(plain, plainCtx, dst, image);
    ASSERT_EQ(fast.surface().pixels(), plain.surface().pixels()) << "round " << round;
  }
}

// A window of a denser screen: its port has the screen's backing scale and
// the window's own size; hiding a view clears its device pixels.
class ScaledWindowTest : public vmktest::NibWindowTest {
 protected:
  void TearDown() override {
    plat::tb::test::UseBackingScale(0);
    NibWindowTest::TearDown();
  }
};

TEST_F(ScaledWindowTest, WindowsTakeTheBackingScaleTheyAreGiven) {
  plat::tb::test::UseBackingScale(2);
  plat::tb::WindowRef w = Open("Preview");
  ASSERT_NE(w, nullptr);
  Port* port = plat::tb::GetWindowPort(w);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->backingScale(), 2);
  EXPECT_EQ(port->surface().width(), 2 * port->portRect.right);
  EXPECT_EQ(port->surface().height(), 2 * port->portRect.bottom);
  plat::tb::ControlRef view = plat::tb::FindControl(w, FourCC("Prev"), 1);
  ASSERT_NE(view, nullptr);
  const Rect b = plat::tb::GetControlBounds(view);
  Port* saved = GetPort();
  SetPort(port);
  RGBForeColor(RGBColor{0, 0, 0});
  PaintRect(port->portRect);
  SetPort(saved);
  plat::tb::HideControl(view);
  EXPECT_EQ(port->surface().pixel(2 * b.left, 2 * b.top), W);
  EXPECT_EQ(port->surface().pixel(2 * b.right - 1, 2 * b.bottom - 1), W);
  EXPECT_EQ(port->surface().pixel(2 * b.left - 1, 2 * b.top), K);
  EXPECT_EQ(port->surface().pixel(2 * b.right, 2 * b.bottom - 1), K);
  // Shown, the window keeps the scale it was given.
  plat::tb::ShowWindow(w);
  driver_.Pump();
  EXPECT_EQ(port->backingScale(), 2);
}

// An image view shows an image made at the window's scale one to one on
// device pixels of that ratio, at its size in view pixels.
TEST_F(ScaledWindowTest, ImageViewsShowAnImageOfTheirScaleOneToOne) {
  plat::tb::test::UseBackingScale(2);
  plat::tb::WindowRef w = Open("Demo");
  ASSERT_NE(w, nullptr);
  plat::tb::ControlRef view = plat::tb::FindControl(w, FourCC("Demo"), 16);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(plat::tb::GetControlBackingScale(view), 2);
  EXPECT_EQ(plat::tb::GetControlBackingScale(nullptr), 1);
  const std::vector<uint8_t> px = Checker(10, 6);
  plat::tb::SetImageViewImage(view, ImageRef{px.data(), 10, 6, 40}, 2.0f);
  plat::tb::SetImageViewScaleToFit(view, false);
  // The view (40 x 40) painted into device pixels of ratio 2.
  QImage device(80, 80, QImage::Format_RGB32);
  device.setDevicePixelRatio(2.0);
  device.fill(Qt::red);
  view->widget->render(&device);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) {
      const QRgb want = (x + y) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
      ASSERT_EQ(device.pixel(x, y), want) << x << "," << y;
    }
  // 5 x 3 view pixels: nothing drawn beyond them.
  EXPECT_EQ(device.pixel(10, 0), device.pixel(20, 20));
  EXPECT_EQ(device.pixel(0, 6), device.pixel(20, 20));
}

}  // namespace
