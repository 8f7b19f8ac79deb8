// The image box's state, buffers, display parameters, pixel access and
// previews.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/grid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "views/preview_engines.h"

using namespace plat::tb;

namespace vmktest {
namespace {

TEST_F(BoxTest, ViewEventsRegistrationAndRefresh) {
  EXPECT_TRUE(box_.classRegistered());
  // A second registration registers nothing and answers the identifier given.
  EXPECT_EQ(box_.GetHIimaViewClass("com.vellmarkstead.other.HIima", nullptr), "com.vellmarkstead.other.HIima");
  EXPECT_EQ(GetCustomViewClass(view_), "com.vellmarkstead.test.HIima");
  EXPECT_EQ(box_.state().view, view_);
  EXPECT_EQ(GetCustomViewData(view_), &box_.state());
  EXPECT_EQ(box_.state().viewWidth, 200);
  EXPECT_FLOAT_EQ(box_.state().halfWidth, 100.0f);
  Event hit;
  hit.eventClass = kEventClassControl;
  hit.kind = kEventControlHitTest;
  hit.control = view_;
  hit.viewPoint = CGPoint{199.5f, 0.0f};
  EXPECT_EQ(box_.ImaBoxEventHandler(nullptr, &hit, nullptr), noErr);
  EXPECT_EQ(hit.part, kControlContentPart);
  hit.viewPoint = CGPoint{200.0f, 10.0f};
  box_.ImaBoxEventHandler(nullptr, &hit, nullptr);
  EXPECT_EQ(hit.part, kControlNoPart);
  Event other;
  other.eventClass = kEventClassWindow;
  other.kind = kEventWindowDrawContent;
  EXPECT_EQ(box_.ImaBoxEventHandler(nullptr, &other, nullptr), eventNotHandledErr);
  EXPECT_EQ(box_.CheckSetRefresh(1), 0);
  EXPECT_EQ(box_.CheckSetRefresh(0), 1);
  EXPECT_EQ(box_.CheckSetRefresh(0), 0);
}

TEST_F(BoxTest, InitBufTakesEachRecordOnceAndSetsTheBrushAndChannels) {
  box_.InitBuf(1);
  GridPar* grid = box_.gridRecord();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(box_.shapeRecord(), nullptr);
  box_.InitBuf(1);
  EXPECT_EQ(box_.gridRecord(), grid);
  box_.InitBuf(26);
  EXPECT_NE(box_.shapeRecord(), nullptr);
  EXPECT_EQ(box_.gridRecord(), grid);
  EXPECT_EQ(box_.displayedWidth(), 200);
  const int32_t* brush = box_.brushBlock();
  EXPECT_EQ(brush[1], 255);
  EXPECT_EQ(brush[4], 64);
  int16_t m[6];
  box_.GetRGBmode(&m[0], &m[1], &m[2], &m[3], &m[4], &m[5]);
  EXPECT_EQ(std::vector<int16_t>(m, m + 6), (std::vector<int16_t>{1, 2, 4, 0, 16, 32}));
}

TEST_F(BoxTest, DisplayParametersAndBrush) {
  ImaboxParam p;
  p.carried2 = 7;
  p.lensMode = 3;
  box_.InitBufParam(&p);
  EXPECT_EQ(p.carried2, 0);  // cleared with the rest
  EXPECT_EQ(p.imageShown, 1);
  box_.SetBufParam(0, 0, 0, 0, 5, 0, 1, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(box_.param().panFrameShown[0], 1);
  EXPECT_EQ(box_.param().panFrameShown[1], 0);
  EXPECT_EQ(box_.param().panFrameShown[2], 1);
  box_.SetBufParam(0, 0, 0, 0, 9, 0, 1, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(box_.param().panFrameSet, 9);
  EXPECT_EQ(box_.param().panFrameShown[2], 1);
  box_.SetZondracMode(2);
  p.lensMode = 3;
  p.gridMode = 2;
  p.panFrameSet = 2;
  box_.CopyBufParam(&p);
  EXPECT_EQ(box_.param().lensMode, 2);  // only SetZondracMode sets it
  EXPECT_EQ(box_.param().gridMode, 2);
  EXPECT_EQ(box_.param().panFrameShown[0], 0);
  EXPECT_EQ(box_.param().panFrameShown[1], 1);
  box_.SetBruMod(500, 80, 1, 1);
  EXPECT_EQ(box_.state().brushSize, 299);
  EXPECT_EQ(box_.state().brushSizeCopy, 299);
  EXPECT_EQ(box_.state().brushValue2, 80);
}

TEST_F(BoxTest, LayoutOfAPictureInTheView) {
  LayOutPicture(400, 300, 0);
  EXPECT_EQ(box_.GetEffWidth(), 200);
  EXPECT_EQ(box_.GetEffHeight(), 149);
  EXPECT_EQ(box_.state().originX, 0);
  EXPECT_EQ(box_.state().originY, 25);
  EXPECT_EQ(box_.displayedHeight(), 149);
  // No engine for the resize preview: the cleared planes show black.
  EXPECT_EQ(Display(0, 0), 0x000000FFu);
  EXPECT_EQ(Display(199, 148), 0x000000FFu);
  box_.PrepEffBuf(2, 255, 0, 41);
  EXPECT_EQ(box_.GetEffHeight(), 150);  // whole-image rule
  EXPECT_EQ(box_.displayedHeight(), 150);
  // A window with no width renders nothing and keeps the display.
  box_.SetBuf(0, 200, 0, std::vector<char>(200 * 200 * 4, 9).data(), 200, 200, 7);
  box_.SetPanBufCoord(50000, 0, 50000, 100000);
  box_.PrepEffBuf(0, 255, 0, 43);
  EXPECT_EQ(box_.GetEffHeight(), 150);
  EXPECT_EQ(Display(5, 5), 0x09090907u);
}

TEST_F(BoxTest, ReadoutsFollowTheLayoutFlippedAndNot) {
  LayOutPicture(400, 300, 0);
  std::vector<uint8_t> r(200 * 200), g(200 * 200), b(200 * 200);
  for (int i = 0; i < 200 * 200; ++i) {
    r[i] = static_cast<uint8_t>(i % 200);
    g[i] = static_cast<uint8_t>(i / 200);
    b[i] = 3;
  }
  box_.SetPickmode(0, 1);  // one-sample reads
  box_.SetBufRGB(0, 0, 0, 200, 149, 1, 400, 300, 200, 200, r.data(), g.data(), b.data(), nullptr, 255, 0);
  int16_t c[3], ix, iy;
  // View point (10, 25 + 4): display column 10, buffer row 148 - 4.
  box_.GetRGBcolfromBuf(0, 10, 29, &c[0], &c[1], &c[2], &ix, &iy);
  EXPECT_EQ(c[0], 10);
  EXPECT_EQ(c[1], 144);
  EXPECT_EQ(ix, 19);  // 10 / (200 / 399)
  EXPECT_EQ(iy, 8);   // 4 / (149 / 299)
  box_.GetRGBcolfromBuf(1, 10, 29, &c[0], &c[1], &c[2], &ix, &iy);
  EXPECT_EQ(iy, 290);  // 299 - 4 / (149 / 299)
  // Outside the displayed image: every readout -1.
  box_.GetRGBcolfromBuf(0, 10, 24, &c[0], &c[1], &c[2], &ix, &iy);
  EXPECT_EQ(c[0], -1);
  EXPECT_EQ(ix, -1);
}

TEST_F(BoxTest, NoPictureSizeRendersAndReadsNothing) {
  box_.InitBuf(1);
  box_.SetBuf(0, 200, 0, std::vector<char>(200 * 200 * 4, 9).data(), 200, 200, 7);
  box_.PrepEffBuf(0, 255, 0, 41);
  EXPECT_EQ(Display(0, 0), 0x09090907u);
  int16_t c[3], ix, iy, ma, mb;
  box_.GetRGBcolfromBuf(0, 10, 10, &c[0], &c[1], &c[2], &ix, &iy);
  EXPECT_EQ(ix, -1);
  box_.GetMskcolfromBuf(10, 10, &mb, &ma);
  EXPECT_EQ(mb, -1);
}

TEST_F(BoxTest, DirectLoadTintsByTheMaskPlaneAndTheMasks) {
  LayOutPicture(100, 100, 0);  // 200 x 200 displayed
  std::vector<uint8_t> r(200 * 200, 100), g(200 * 200, 100), b(200 * 200, 100), m(200 * 200, 51);
  box_.SetBufRGB(0, 0, 0, 300, 1, 1, 0, 0, 200, 200, r.data(), g.data(), b.data(), m.data(), 255, 1);
  // r = (100 * 51 + 255 * 204) / 255, g = b = 100 * 51 / 255.
  EXPECT_EQ(Display(0, 0), 0xE01414FFu);
  // Masks A and B through the pan rectangle: the right half of a 10 x 10 mask.
  box_.InitBufMsk(10, 10, 3);
  std::vector<int16_t> a(100, 0), bm(100, 0);
  a[3 * 10 + 8] = 16384;   // row 3, column 8
  bm[8 * 10 + 4] = 8192;   // row 8, column 4
  box_.SetMskBuf(0, 10, 10, reinterpret_cast<char*>(a.data()), reinterpret_cast<char*>(bm.data()));
  box_.SetMskMod(1);
  box_.SetPanBufCoord(50000, 0, 100000, 100000);
  box_.SetBufRGB(0, 0, 0, 200, 200, 1, 0, 0, 200, 200, r.data(), g.data(), b.data(), nullptr, 255, 0);
  // Mask window x 4..9, y 0..9, mask rows from the top of the screen: display
  // (199, 120), drawn on screen line 199 - 120 = 79, reads mask
  // (4 + 199 * 5 / 200, 79 * 9 / 200) = (8, 3); display row 0, the bottom
  // line, reads mask row 199 * 9 / 200 = 8.
  EXPECT_EQ(Display(199, 120), 0xFF6464FFu);
  EXPECT_EQ(Display(0, 0), 0x64B164FFu);  // mask B at 8192 on green: (100 + 255) / 2
  EXPECT_EQ(Display(100, 100), 0x646464FFu);
}

TEST_F(BoxTest, MasksGrowScaleAndReadUnderAPoint) {
  LayOutPicture(100, 100, 0);
  box_.InitBufMsk(4, 4, 1);
  box_.InitBufMsk(20, 10, 3);  // larger: taken anew
  std::vector<int16_t> full(200, 16384);
  box_.SetMskBuf(1, 10, 20, reinterpret_cast<char*>(full.data()), nullptr);
  int16_t mb = 0, ma = 0;
  box_.GetMskcolfromBuf(100, 100, &mb, &ma);
  EXPECT_EQ(ma, 255);
  EXPECT_EQ(mb, 0);
  std::vector<int16_t> ramp(200);
  for (int i = 0; i < 200; ++i) ramp[i] = static_cast<int16_t>(i);
  box_.SetMskBuf(0, 20, 10, nullptr, reinterpret_cast<char*>(ramp.data()));
  std::vector<int16_t> out(10, -1);
  box_.GetMskBuf(1, 5, 2, nullptr, reinterpret_cast<char*>(out.data()));
  // Row y * 10 / 2, column x * 20 / 5 of the 20-wide mask.
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.end()),
            (std::vector<int16_t>{0, 4, 8, 12, 16, 100, 104, 108, 112, 116}));
}

TEST_F(BoxTest, PackedPixelsInAndOut) {
  LayOutPicture(100, 100, 0);
  std::vector<uint8_t> px(4 * 4 * 4);
  for (int i = 0; i < 16; ++i) {
    px[i * 4] = static_cast<uint8_t>(i);
    px[i * 4 + 1] = 200;
    px[i * 4 + 2] = 50;
  }
  box_.SetBuf(1, 4, 0, reinterpret_cast<char*>(px.data()), 4, 4, 255);  // mode 1: nothing
  EXPECT_EQ(Display(0, 0), 0x000000FFu);
  box_.SetRGBmode(1, 0, 4, 0, 16, 32);
  box_.SetBuf(0, 4, 0, reinterpret_cast<char*>(px.data()), 4, 4, 128);
  EXPECT_EQ(Display(3, 1), 0x07003280u);
  EXPECT_EQ(Display(4, 1), 0x00000080u);  // outside the source
  std::vector<uint8_t> back(2 * 2 * 4, 0xEE);
  box_.GetBuf(2, 0, reinterpret_cast<char*>(back.data()), 2, 2);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(back[3], 0xEE);  // byte 3 untouched
  std::vector<uint8_t> r(4), g(4), b(4);
  box_.GetBufRGB(2, 0, r.data(), g.data(), b.data(), 2, 2);
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(b[0], 50);
}

TEST_F(BoxTest, LoadsStopAtTheDisplayedImage) {
  box_.InitBuf(1);
  EXPECT_EQ(Display(199, 199), 0u);  // a new display buffer is cleared
  box_.SetBuf(0, 200, 0, std::vector<char>(200 * 200 * 4, 9).data(), 200, 200, 7);
  YoxelPar rec;
  Init_YoxelPar(&rec, 300, 400, 72, 0, 5);
  box_.SetYoxelPar(&rec, 2, 0);  // 150 x 200 displayed, rows 200 long
  ASSERT_EQ(box_.displayedWidth(), 150);
  box_.SetBuf(0, 200, 0, std::vector<char>(200 * 200 * 4, 5).data(), 0, 200, 7);  // w 0: nothing
  EXPECT_EQ(Display(0, 0), 0x000000FFu);
  std::vector<uint8_t> r(200 * 200, 50), g(200 * 200, 60), b(200 * 200, 70);
  box_.SetBufRGB(0, 0, 0, 200, 200, 1, 0, 0, 200, 200, r.data(), g.data(), b.data(), nullptr, 255, 0);
  EXPECT_EQ(Display(149, 199), 0x323C46FFu);
  EXPECT_EQ(Display(150, 0), 0x09090907u);  // past the displayed width: never written
}

TEST_F(BoxTest, CopiesAskedForBeforeInitBufDoNothing) {
  RepPar mine;
  mine.grid.w[3] = 77;
  box_.GetRepPar(&mine);
  EXPECT_EQ(mine.grid.w[3], 77);
  box_.SetRepPar(&mine, 0, 0, nullptr);
  EXPECT_EQ(box_.repRecord(), nullptr);
  box_.InitBuf(3);
  box_.SetRepPar(&mine, -1, 0, nullptr);  // copy only
  mine.grid.w[3] = 5;
  box_.GetRepPar(&mine);
  EXPECT_EQ(mine.grid.w[3], 77);
  // The grid is handed back only in a grid mode.
  box_.InitBuf(22);
  GridPar* grid = new GridPar;
  grid->head.w[kGpWidth] = 12;
  box_.GetGridPar(grid);
  EXPECT_EQ(grid->head.w[kGpWidth], 12);
  delete grid;
}

// Records every call the box makes to the engine table.
std::vector<vmkviews::PreviewCall> gCalls;
int32_t FakeEngine(const vmkviews::PreviewCall& call) {
  gCalls.push_back(call);
  std::memset(call.planes[0], 200, static_cast<size_t>(call.viewWidth) * call.viewHeight);
  return 0;
}

TEST_F(BoxTest, EffectPreviewsGoThroughTheEngineTable) {
  gCalls.clear();
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, FakeEngine);
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, FakeEngine);
  LayOutPicture(400, 300, 2);
  RepPar rep;
  box_.SetRepPar(&rep, 1, 6, nullptr);
  ASSERT_EQ(gCalls.size(), 1u);
  const vmkviews::PreviewCall& c = gCalls[0];
  EXPECT_EQ(std::vector<int16_t>(c.shorts, c.shorts + c.shortCount),
            (std::vector<int16_t>{3, 0, 255, 6, 1, 255, 1, 1, 1, 0}));
  EXPECT_EQ(c.order, vmkviews::FillOrder::kViewSizeFirst);
  EXPECT_EQ(c.record, box_.repRecord());
  EXPECT_EQ(c.effWidth, 200);
  EXPECT_EQ(c.effHeight, 149);
  EXPECT_EQ(c.srcRect[2], 399);
  EXPECT_FLOAT_EQ(c.scale, 399.0f / 200.0f);
  EXPECT_EQ(c.planes[4], nullptr);
  EXPECT_EQ(Display(0, 0), 0xC80000FFu);
  // The grid renders twice when the word before its tool word is set.
  GridPar* grid = new GridPar;
  Init_GridPar(grid, 400, 300, 3, 3, 0, 3, 1, 1);
  grid->head.w[kGpTool - 1] = 1;
  box_.SetPanBufCoord(0, 0, 50000, 100000);
  box_.SetGridPar(grid, 0, 4);
  delete grid;
  ASSERT_EQ(gCalls.size(), 3u);
  EXPECT_EQ(std::vector<int16_t>(gCalls[1].shorts, gCalls[1].shorts + 6),
            (std::vector<int16_t>{3, 0, 255, 3, 1, 0}));
  EXPECT_EQ(std::vector<int16_t>(gCalls[2].shorts, gCalls[2].shorts + 6),
            (std::vector<int16_t>{3, 0, 255, 4, 1, 0}));
  EXPECT_EQ(gCalls[2].srcRect[2], 199);  // the pan window
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, nullptr);
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, nullptr);
  EXPECT_EQ(vmkviews::FindPreviewEngine(vmkviews::kPreviewEffect, 41), nullptr);
}

TEST_F(BoxTest, APictureOnePixelAcrossIsLaidOutOnePixelAcrossAtLeast) {
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, FakeEngine);
  RepPar rep;
  struct Case {
    int32_t w, h;
    int32_t effWidth, effHeight;  // in the 200 x 200 view, pan window and whole picture alike
  };
  for (const Case& c : {Case{1, 1, 200, 200}, Case{1, 30000, 1, 200}, Case{30000, 1, 200, 1}, Case{2, 2, 200, 200},
                        Case{32767, 2, 200, 1}}) {
    gCalls.clear();
    LayOutPicture(c.w, c.h, 0);
    box_.SetRepPar(&rep, 1, 6, nullptr);
    ASSERT_EQ(gCalls.size(), 1u) << c.w << " x " << c.h;
    EXPECT_EQ(gCalls[0].effWidth, c.effWidth) << c.w << " x " << c.h;
    EXPECT_EQ(gCalls[0].effHeight, c.effHeight) << c.w << " x " << c.h;
    EXPECT_EQ(box_.GetEffWidth(), c.effWidth);
    EXPECT_EQ(box_.GetEffHeight(), c.effHeight);
    // The engine is never asked past the picture.
    EXPECT_EQ(gCalls[0].srcRect[2], c.w - 1);
    EXPECT_EQ(gCalls[0].srcRect[3], c.h - 1);
    EXPECT_GT(gCalls[0].scale, 0.0f);
    box_.PrepEffBuf(2, 255, 0, 41);
    EXPECT_EQ(box_.GetEffWidth(), c.effWidth) << c.w << " x " << c.h;
    EXPECT_EQ(box_.GetEffHeight(), c.effHeight) << c.w << " x " << c.h;
  }
  // The one pixel of a 1 x 1 picture fills the view: one view pixel of its
  // extent a step.
  gCalls.clear();
  LayOutPicture(1, 1, 0);
  box_.SetRepPar(&rep, 1, 6, nullptr);
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_FLOAT_EQ(gCalls[0].scale, 1.0f / 200.0f);
  EXPECT_EQ(Display(199, 199), 0xC80000FFu);
  // A pan window with no width still shows nothing.
  box_.SetPanBufCoord(50000, 0, 50000, 100000);
  gCalls.clear();
  box_.SetRepPar(&rep, 1, 6, nullptr);
  EXPECT_TRUE(gCalls.empty());
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, nullptr);
}

}  // namespace
}  // namespace vmktest
