#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/draw/port.h"
#include "platform/resources/resource_file.h"
#include "support/session.h"

using namespace plat::draw;

namespace {

constexpr uint32_t W = 0xFFFFFFFFu;
constexpr uint32_t K = 0xFF000000u;

// Renders the port as one string per row: '#' black, '.' white, '?' other.
std::vector<std::string> Picture(const Port& p) {
  std::vector<std::string> rows;
  for (int y = 0; y < p.surface().height(); ++y) {
    std::string r;
    for (int x = 0; x < p.surface().width(); ++x) {
      uint32_t v = p.surface().pixel(x, y);
      r.push_back(v == K ? '#' : v == W ? '.' : '?');
    }
    rows.push_back(r);
  }
  return rows;
}

// Fills the port with a pattern of distinct colours so that an erased
// figure that is off by one pixel shows.
void Scribble(Port& p) {
  for (int y = 0; y < p.surface().height(); ++y)
    for (int x = 0; x < p.surface().width(); ++x)
      p.surface().row(y)[x] = 0xFF000000u | static_cast<uint32_t>((x * 37 + y * 101) * 2654435761u >> 8 & 0xFFFFFF);
}

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetPort(); }
  void TearDown() override { SetPort(saved_); }
  Port* saved_ = nullptr;
};

}  // namespace

TEST_F(PortTest, FramesLinesAndPaintsCoverExactlyTheirPixels) {
  Port p(7, 6);
  SetPort(&p);
  FrameRect(Rect{1, 1, 5, 6});  // top, left, bottom, right
  EXPECT_EQ(Picture(p), (std::vector<std::string>{".......", ".#####.", ".#...#.", ".#...#.", ".#####.",
                                                  "......."}));
  Port q(6, 4);
  SetPort(&q);
  MoveTo(0, 0);
  LineTo(5, 2);  // both ends drawn
  EXPECT_EQ(q.surface().pixel(0, 0), K);
  EXPECT_EQ(q.surface().pixel(5, 2), K);
  EXPECT_EQ(q.pen.pnLoc.h, 5);
  EXPECT_EQ(q.pen.pnLoc.v, 2);
  Port r(5, 4);
  SetPort(&r);
  PenSize(2, 1);
  MoveTo(1, 1);
  LineTo(1, 2);  // a 2-wide pen hangs to the right
  EXPECT_EQ(Picture(r), (std::vector<std::string>{".....", ".##..", ".##..", "....."}));
  PenNormal();
  EXPECT_EQ(r.pen.pnSize.h, 1);
  EXPECT_EQ(r.pen.pnLoc.h, 1);  // location kept
  PaintRect(Rect{3, 0, 4, 5});
  EXPECT_EQ(Picture(r)[3], "#####");
  RGBBackColor(RGBColor{0, 0, 0});
  EraseRect(Rect{0, 4, 1, 5});
  EXPECT_EQ(r.surface().pixel(4, 0), K);
  // An empty or inverted rectangle draws nothing.
  Port e(3, 3);
  SetPort(&e);
  FrameRect(Rect{2, 2, 1, 1});
  PaintOval(Rect{1, 1, 1, 3});
  EXPECT_EQ(Picture(e), (std::vector<std::string>{"...", "...", "..."}));
}

TEST_F(PortTest, OvalsAndPolygonsStayInsideTheirBounds) {
  Port p(12, 10);
  SetPort(&p);
  PaintOval(Rect{1, 1, 9, 11});
  auto pic = Picture(p);
  EXPECT_EQ(pic[0], "............");
  EXPECT_EQ(pic[9], "............");
  EXPECT_EQ(pic[5], ".##########.");  // widest row fills the rect
  EXPECT_EQ(pic[1].front(), '.');     // corners stay out
  EXPECT_EQ(pic[1][1], '.');
  for (int y = 0; y < 10; ++y) EXPECT_EQ(pic[y], std::string(pic[9 - y])) << y;  // symmetric
  Port f(12, 10);
  SetPort(&f);
  FrameOval(Rect{1, 1, 9, 11});
  EXPECT_EQ(f.surface().pixel(6, 5), W);  // hollow
  EXPECT_EQ(f.surface().pixel(1, 5), K);
  Port g(8, 8);
  SetPort(&g);
  PolyHandle poly = OpenPoly();
  MoveTo(1, 1);
  LineTo(7, 1);
  LineTo(7, 7);
  LineTo(1, 7);
  LineTo(1, 1);
  ClosePoly();
  ASSERT_EQ(poly->points.size(), 5u);
  EXPECT_EQ(Picture(g)[3], "........");  // recording draws nothing
  PaintPoly(poly);
  EXPECT_EQ(Picture(g)[3], ".######.");
  EXPECT_EQ(Picture(g)[7], "........");
  KillPoly(poly);
}

TEST_F(PortTest, XorDrawingIsAnExactInvolution) {
  Port p(40, 30);
  Scribble(p);
  const std::vector<uint32_t> before = p.surface().pixels();
  SetPort(&p);
  auto drawAll = [] {
    PenNormal();
    PenMode(patXor);
    PenPat(GetIndPattern(16300, 2));
    MoveTo(3, 4);
    LineTo(35, 20);
    LineTo(10, 28);
    PenSize(3, 2);
    FrameRect(Rect{2, 2, 25, 30});
    FrameOval(Rect{5, 5, 29, 39});
    PaintRoundRect(Rect{8, 8, 20, 30}, 8, 6);
    PenSize(1, 1);
    PolyHandle poly = OpenPoly();
    MoveTo(1, 1);
    LineTo(30, 5);
    LineTo(15, 25);
    LineTo(1, 1);
    ClosePoly();
    FramePoly(poly);
    PaintPoly(poly);
    KillPoly(poly);
    MoveTo(4, 20);
    DrawString("Ag");
  };
  drawAll();
  EXPECT_NE(p.surface().pixels(), before);
  drawAll();
  EXPECT_EQ(p.surface().pixels(), before);
}

TEST_F(PortTest, ClipAndAddMaxAndColours) {
  Port p(6, 3);
  SetPort(&p);
  ClipRect(Rect{0, 2, 3, 4});
  PaintRect(Rect{0, 0, 3, 6});
  EXPECT_EQ(Picture(p)[1], "..##..");
  ClipRect(p.portRect);
  // add-max keeps the larger of each channel.
  p.surface().row(0)[0] = 0xFF204080u;
  RGBForeColor(RGBColor{0x3000, 0x1000, 0x9000});
  PenMode(addMax);
  PaintRect(Rect{0, 0, 1, 1});
  EXPECT_EQ(p.surface().pixel(0, 0), 0xFF304090u);
  RGBColor c;
  GetForeColor(&c);
  EXPECT_EQ(c.blue, 0x9000);
  EXPECT_EQ(PixelOf(RGBColor{65535, 0, 256}), 0xFFFF0001u);
}

TEST_F(PortTest, PatternListComesFromTheResourceFile) {
  std::string keep = plat::res::ResourceFolder();
  plat::res::SetResourceFolder(std::string(VMK_SOURCE_DIR) + "/resources/rsrc");
  Pattern a = GetIndPattern(16300, 1), b = GetIndPattern(16300, 2);
  EXPECT_EQ(a.pat[0], 0x0F);
  EXPECT_EQ(b.pat[0], 0xF0);
  // A damaged list falls back to built-in patterns that still differ.
  vmktest::TempDir dir;
  std::filesystem::create_directories(dir.path() / "PAT#");
  {
    std::ofstream(dir.path() / "PAT#" / "16300.txt") << "0F1E3C78F0E1C38\n";
  }
  plat::res::SetResourceFolder(dir.path().string());
  Pattern c = GetIndPattern(16300, 1), d = GetIndPattern(16300, 2);
  EXPECT_NE(std::vector<uint8_t>(c.pat, c.pat + 8), std::vector<uint8_t>(d.pat, d.pat + 8));
  EXPECT_FALSE(plat::res::GetResource(FourCC("PAT#"), 128));
  EXPECT_EQ(plat::res::TypeFolderName(FourCC("a/bc")), "");
  EXPECT_EQ(plat::res::TypeFolderName(FourCC("PAT#")), "PAT#");
  plat::res::SetResourceFolder(keep);
}

TEST_F(PortTest, ImagesPutRowZeroAtTheBottom) {
  // 2 x 2 image: row 0 red, green; row 1 blue, white (opaque).
  const uint8_t px[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  ImageRef img{px, 2, 2, 8};
  Port p(4, 4);
  Context ctx{&p, 0, 0, p.portRect};
  DrawImage(ctx, CGRect{{0, 0}, {4, 4}}, img, false);
  EXPECT_EQ(p.surface().pixel(0, 3), 0xFFFF0000u);  // row 0 bottom-left
  EXPECT_EQ(p.surface().pixel(3, 3), 0xFF00FF00u);
  EXPECT_EQ(p.surface().pixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(p.surface().pixel(3, 0), 0xFFFFFFFFu);
  // Smooth scaling blends neighbours in the middle, keeps the corners.
  Port q(4, 4);
  DrawImage(Context{&q, 0, 0, q.portRect}, CGRect{{0, 0}, {4, 4}}, img, true);
  EXPECT_EQ(q.surface().pixel(0, 3), 0xFFFF0000u);
  uint32_t mid = q.surface().pixel(1, 2);
  EXPECT_NE(mid, 0xFFFF0000u);
  EXPECT_GT((mid >> 8) & 0xFF, 0u);
  // Transparent pixels leave the port; a view origin offsets the image.
  const uint8_t clear[4] = {0, 0, 0, 0};
  Port r(3, 3);
  DrawImage(Context{&r, 1, 1, r.portRect}, CGRect{{0, 0}, {1, 1}}, ImageRef{clear, 1, 1, 4}, false);
  EXPECT_EQ(r.surface().pixel(1, 1), W);
  DrawImage(Context{&r, 1, 1, r.portRect}, CGRect{{0, 0}, {1, 1}}, ImageRef{px, 1, 1, 4}, false);
  EXPECT_EQ(r.surface().pixel(1, 1), 0xFFFF0000u);
  EXPECT_EQ(r.surface().pixel(0, 0), W);
}

TEST_F(PortTest, RecordingPortLogsPrimitivesAndReportsChanges) {
  Port p(10, 10);
  std::vector<std::string> log;
  Rect changed{};
  int changes = 0;
  p.RecordTo(&log);
  p.onChanged = [&](const Rect& r) {
    changed = r;
    ++changes;
  };
  SetPort(&p);
  PenMode(patXor);
  FrameRect(Rect{1, 2, 4, 6});
  MoveTo(0, 0);
  LineTo(3, 3);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "FrameRect 2 1 6 4 mode 10");
  EXPECT_EQ(log[1], "Line 0 0 3 3 mode 10");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(changed.right, 4);
  EXPECT_GT(StringWidth("Label"), 10);
}

// A render on a worker meets none of the interface thread's ports: every thread has its own
// current port, starting with none, and with none nothing is drawn anywhere.
TEST_F(PortTest, TwoThreadsAtOnceHaveACurrentPortEach) {
  Port mine(6, 4);
  SetPort(&mine);
  PenMode(patXor);
  Port* seenFirst = &mine;
  Port* seenAfter = &mine;
  std::vector<std::string> theirs;
  std::thread worker([&] {
    seenFirst = GetPort();
    // Drawing and pen calls without a port change nothing, here or on the other thread.
    PaintRect(Rect{0, 0, 4, 6});
    MoveTo(1, 1);
    LineTo(5, 3);
    PenMode(patCopy);
    Port own(3, 2);
    SetPort(&own);
    PaintRect(Rect{0, 0, 1, 2});
    theirs = Picture(own);
    // Freed while current: no longer current on this thread.
    auto gone = std::make_unique<Port>(2, 2);
    SetPort(gone.get());
    gone.reset();
    seenAfter = GetPort();
  });
  worker.join();
  EXPECT_EQ(seenFirst, nullptr);
  EXPECT_EQ(seenAfter, nullptr);
  EXPECT_EQ(theirs, (std::vector<std::string>{"##.", "..."}));
  EXPECT_EQ(GetPort(), &mine);
  EXPECT_EQ(mine.pen.pnMode, patXor);
  EXPECT_EQ(Picture(mine), (std::vector<std::string>{"......", "......", "......", "......"}));
}

