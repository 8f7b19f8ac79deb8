// The windows that render their own pictures (the texture generator, the
// photo repeat's source, the content-aware navigator, the compose chooser's
// slots, the image-tools preview, the tessellation's and border's tile
// views, the tile list's thumbnails, the ramp bars and the ramp editor's
// bars and pickers) on a window of ratio 1 and of ratio 2: at 2 each renders
// at the device pixels and the screen shows the render one to one, while a
// press lands on the same point at both ratios.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/correction/content_aware_fixture.h"
#include "dialogs/editor/compose_effect.h"
#include "dialogs/editor/effect_list.h"
#include "dialogs/editor/tune_effect_fixture.h"
#include "dialogs/patterns/generator_fixture.h"
#include "dialogs/patterns/texture_dialog.h"
#include "dialogs/editor/browser_fixture.h"
#include "dialogs/patterns/ramp_browser.h"
#include "dialogs/patterns/ramp_editor.h"
#include "dialogs/patterns/ramp_fixture.h"
#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/combine_dialog.h"
#include "dialogs/photo/repeat_fixture.h"
#include "dialogs/photo/tessellation_dialog.h"
#include "dialogs/photo/tile_lists.h"
#include "engines/patterns/border_editing.h"
#include "script/ramp_bitmaps.h"
#include "platform/draw/port.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"

// Qt's keyword macro; the chooser names its preview slots so.
#undef slots

namespace tb = plat::tb;

namespace {

constexpr int kScales[] = {1, 2};

// A picture of black and white squares, one pixel wide unless said: a render
// that passes through the view's size anywhere on its way loses it.
PixelBuffer Checkerboard(uint32_t w, uint32_t h, uint32_t side = 1) {
  PixelBuffer photo(w, h, 1, 4);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = photo.rowPtr(y) + 4 * x;
      p[0] = p[1] = p[2] = (x / side + y / side) % 2 == 0 ? 0 : 255;
      p[3] = 255;
    }
  return photo;
}

// What a box shows on its window's port.
struct Shown {
  int64_t pixels = 0;     // device pixels of the picture compared
  int64_t oneToOne = 0;   // of them, the fine display's own pixel
  int64_t detailed = 0;   // of them, unlike the first of their view pixel's block
};

// The box's picture on the port, inside the view's one-pixel frame, against
// the box's fine display (its bottom row is the screen's lowest). Empty at
// ratio 1, where the box keeps no fine display.
Shown Measure(tb::WindowRef w, tb::ControlRef view, VMKimabox* box) {
  Shown s;
  const plat::draw::Port* port = tb::GetWindowPort(w);
  const uint8_t* fine = box->fineBuffer();
  const int k = box->fineScale();
  if (port == nullptr || fine == nullptr || k < 2 || port->backingScale() != k) return s;
  const Rect b = tb::GetControlBounds(view);
  const int32_t vw = box->GetRectSizx(), vh = box->GetRectSizy();
  const int32_t dw = box->displayedWidth(), dh = box->displayedHeight();
  // The image rectangle as the box lays it out for drawing.
  const int left = static_cast<int>((vw - dw) * 0.5f + b.left + 0.5f);
  const int top = static_cast<int>((vh - dh) * 0.5f + b.top + 0.5f);
  const int x0 = std::max(0, b.left + 1 - left) * k, x1 = std::min(dw, b.right - 1 - left) * k;
  const int y0 = std::max(0, b.top + 1 - top) * k, y1 = std::min(dh, b.bottom - 1 - top) * k;
  auto at = [&](int x, int row) { return fine + (static_cast<int64_t>(row) * vw * k + x) * 4; };
  for (int y = y0; y < y1; ++y) {
    const int row = dh * k - 1 - y;
    for (int x = x0; x < x1; ++x) {
      const uint8_t* p = at(x, row);
      const uint32_t want = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      ++s.pixels;
      s.oneToOne += port->surface().pixel(left * k + x, top * k + y) == want;
      const uint8_t* first = at(x - x % k, row - row % k);
      s.detailed += p[0] != first[0] || p[1] != first[1] || p[2] != first[2];
    }
  }
  return s;
}

// At ratio 2 the picture is on the device pixels: the screen shows the fine
// display pixel for pixel (but for what overlays cover) and it holds detail
// below a view pixel; at ratio 1 there is no fine display at all.
void ExpectFine(tb::WindowRef w, tb::ControlRef view, VMKimabox* box, int scale, double detail) {
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(tb::GetControlBackingScale(view), scale);
  EXPECT_EQ(box->backingScale(), scale);
  if (scale == 1) {
    EXPECT_EQ(box->fineBuffer(), nullptr);
    return;
  }
  ASSERT_EQ(box->fineScale(), scale);
  const Shown s = Measure(w, view, box);
  ASSERT_GT(s.pixels, 1000);
  EXPECT_GE(s.oneToOne, s.pixels * 97 / 100) << s.oneToOne << " of " << s.pixels;
  EXPECT_GE(static_cast<double>(s.detailed), detail * static_cast<double>(s.pixels))
      << s.detailed << " of " << s.pixels;
}

// Sets the ratio of the windows opened from now on, back to the screen's at
// the end.
struct Ratio {
  explicit Ratio(int scale) { tb::test::UseBackingScale(scale); }
  ~Ratio() { tb::test::UseBackingScale(0); }
};

// ---- the texture generator ----

using FineTexture = vmktest::GeneratorDialogTest;

TEST_F(FineTexture, TheTextureRendersAtTheDevicePixels) {
  constexpr OSType kTgen = FourCC("Tgen");
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKtexturgenUI dlg;
    TextuPar owner;
    Init_TextuPar(&owner);
    owner.turbulence = 60.0f;
    owner.particleAmount = 30.0f;
    dlg.SetTextuPar(&owner);
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          ASSERT_EQ(dlg.rendersShown(), 1);
          EXPECT_EQ(dlg.previewScale(), k);
          const int32_t w = dlg.previewWidth(), h = dlg.previewHeight();
          EXPECT_EQ(w, 500 * k);
          EXPECT_EQ(h, 500 * k);
          // The planes are the texture rendered at that size.
          const size_t n = static_cast<size_t>(w) * h;
          std::vector<uint8_t> r(n), g(n), b(n);
          ASSERT_TRUE(VMKtexturgenUI::RenderTexture(*dlg.current(), w, h, r.data(), g.data(), b.data(), k));
          EXPECT_TRUE(std::equal(r.begin(), r.end(), dlg.previewPlane(0)));
          EXPECT_TRUE(std::equal(b.begin(), b.end(), dlg.previewPlane(2)));
          // The display, which the readouts read, takes the first device
          // pixel of every view pixel.
          const uint8_t* d = dlg.Box(0)->displayBuffer();
          for (int32_t y = 0; y < 500; y += 13)
            for (int32_t x = 0; x < 500; x += 7) {
              const size_t i = static_cast<size_t>(y) * k * w + static_cast<size_t>(x) * k;
              ASSERT_EQ(d[4 * (static_cast<size_t>(y) * 500 + x)], r[i]) << x << "," << y;
            }
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) { ExpectFine(w, tb::FindControl(w, kTgen, 4), dlg.Box(0), k, 0.05); })
        .Press(kTgen, 102);
    EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// ---- the photo repeat's source ----

class FineRepeat : public vmktest::RepeatDialogTest {
 protected:
  // The picture twice the source view's size (200 x 150) each way.
  void UseCheckerboard() {
    record_.imageWidth = 400;
    record_.imageHeight = 300;
    record_.imageRect = Rect{0, 0, 300, 400};
    DocData* doc = app_->appData.documents[0];
    doc->width = 400;
    doc->height = 300;
    photo_ = Checkerboard(400, 300);
    SetSessionSpanImages(&photo_, &unused_);
  }
};

TEST_F(FineRepeat, TheSourceIsReadAtTheDevicePixels) {
  UseCheckerboard();
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto owner = Grid(2, 2);
    VMKcastelUI dlg;
    dlg.SetRepPar(owner.get());
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef w) { tb::SetControlNeedsDisplay(tb::FindControl(w, kPrep, 18)); })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          EXPECT_EQ(dlg.sourcePreviews, 1);
          tb::ControlRef view = tb::FindControl(w, kPrep, 18);
          ExpectFine(w, view, dlg.Box(1), k, 0.45);
          if (k == 1) return;
          // Read one picture pixel to one device pixel: the squares alternate
          // along every row and column of the screen.
          const plat::draw::Surface& s = tb::GetWindowPort(w)->surface();
          const Rect b = tb::GetControlBounds(view);
          int alternating = 0, pairs = 0;
          for (int y = (b.top + 2) * 2; y < (b.bottom - 2) * 2; ++y)
            for (int x = (b.left + 2) * 2; x < (b.right - 2) * 2; ++x, ++pairs)
              alternating += s.pixel(x, y) != s.pixel(x + 1, y) && s.pixel(x, y) != s.pixel(x, y + 1);
          EXPECT_EQ(alternating, pairs);
        })
        .Press(kPrep, kCancel);
    EXPECT_EQ(dlg.Do_CastelDlg(0), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// ---- the content-aware navigator ----

class FineNavigator : public vmktest::YoxelDialogTest {
 protected:
  // The whole render as one-pixel squares over its laid-out area.
  static int32_t Squares(const vmkviews::PreviewCall& call) {
    for (int32_t y = 0; y < call.effHeight; ++y)
      for (int32_t x = 0; x < call.effWidth; ++x) {
        const int64_t i = static_cast<int64_t>(y) * call.viewWidth + x;
        call.planes[0][i] = call.planes[1][i] = call.planes[2][i] = (x + y) % 2 == 0 ? 0 : 255;
      }
    return 0;
  }
};

TEST_F(FineNavigator, TheResultViewsNavigatorShowsTheRenderAtTheDevicePixels) {
  constexpr int32_t kViewRadio = 8;
  int32_t pans[2][4] = {};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, Squares);
    VMKyoxelUI dlg;
    driver_.Advance(0.1)
        .Press(vmktest::kYoxl, vmktest::kYoxlOneToOne)
        .Choose(vmktest::kYoxl, kViewRadio, 2)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          EXPECT_EQ(dlg.viewState, 2);
          ExpectFine(w, tb::FindControl(w, vmktest::kYoxl, 11), dlg.navigator(), k, 0.1);
        })
        // A press in the navigator moves the main view's part: the same part
        // at both ratios.
        .Drag({Point{120, 825}, Point{125, 835}, Point{130, 845}})
        .Advance(0.6)
        .Do([&](tb::WindowRef) { std::copy(dlg.pan, dlg.pan + 4, pans[k - 1]); })
        .Press(vmktest::kYoxl, vmktest::kYoxlCancel);
    dlg.Do_YoxelDlg();
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_TRUE(std::equal(pans[0], pans[0] + 4, pans[1]));
  EXPECT_NE(pans[0][0], 0);
}

// ---- the compose chooser ----

class FineCompose : public vmktest::BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    photo_ = Checkerboard(kW, kH);
    SetSessionSpanImages(&photo_, &unused_);
    // The current layer's own operations in slot 0: an inversion.
    DocData* doc = Doc();
    doc->script->SetEffect(0, 1, 1, 9, 0, 0, 0, 0);
    Laye* layer = doc->script->GetStack(0)->GetLaye(1);
    ASSERT_TRUE(SetFicFromPosix(&scratch_, bundle_.makersFile("com.vellmarkstead.chan")));
    scratch_.type = FourCC("aCha");
    scratch_.creator = FourCC("vMkC");
    File_kern file(&scratch_);
    ASSERT_EQ(doc->script->SaveScript(layer->oprnCount, layer->firstOprn, &file, nullptr, 0, 0, doc->secondName, 0),
              0);
  }
  fichier scratch_;
};

TEST_F(FineCompose, TheSlotsRenderAtTheDevicePixelsAndAClickPicksTheSameSlot) {
  constexpr OSType kCeff = FourCC("Ceff");
  int16_t picked[2] = {-1, -1};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKcompeff chooser;
    chooser.SetSelecFich(&scratch_);
    driver_.Advance(0.1)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          ASSERT_EQ(chooser.slots[0]->filled, 1);
          // The picture is smaller than the slot: the render enlarges it, yet
          // its squares' edges fall inside view pixels.
          ExpectFine(w, tb::FindControl(w, kCeff, 3), chooser.Box(0), k, 0.05);
        })
        // The lower right slot (window point v 480, h 600).
        .Drag({Point{480, 600}, Point{480, 600}})
        .Advance(0.6)
        .Do([&](tb::WindowRef) { picked[k - 1] = chooser.currentSlot; })
        .Press(kCeff, 2);
    chooser.Do_CompEffDlg(117, nullptr);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_EQ(picked[0], 3);
  EXPECT_EQ(picked[1], 3);
}

// ---- the image-tools preview ----

class FineImageTools : public vmktest::TuneEffTest {
 protected:
  void SetUp() override {
    TuneEffTest::SetUp();
    // Squares of three pixels: the preview shows each device pixel as the mean of the picture
    // under it, as the result scaled down does, and one-pixel squares average to grey at any
    // density; three-pixel ones still show on the device pixels and are lost at the view's.
    photo_ = Checkerboard(1200, 900, 3);
    SetSessionSpanImages(&photo_, &unused_);
    vmkviews::RegisterPreviewEngines();
  }
};

TEST_F(FineImageTools, ThePreviewRendersAtTheDevicePixelsAndAClickPicksTheSamePoint) {
  int32_t where[2][2] = {};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    Plant({{86, 1, 2, 2, 3, 1, {50, 0}}});
    VMKtuneeff e;
    BindEditor(e);
    const Point inside{160, 735};
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(e.tablesScale, k);
          // The layout stays in view pixels.
          EXPECT_EQ(e.fittedWidth, e.viewWidth);
          EXPECT_EQ(e.fittedHeight, 900 * e.viewWidth / 1200);
          tb::SetControlNeedsDisplay(tb::FindControl(e.window, kSig, tuneeff::kPreviewFrame));
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) { ExpectFine(w, Ctl(w, tuneeff::kPreviewFrame), e.previewView(), k, 0.25); })
        .Drag({inside, inside})
        .Advance(0.6)
        .Do([&](tb::WindowRef) { e.previewView()->GetCoord(&where[k - 1][0], &where[k - 1][1]); });
    PressOk();
    EXPECT_EQ(e.Perform_Effect(118, 0), 1);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_EQ(where[0][0], where[1][0]);
  EXPECT_EQ(where[0][1], where[1][1]);
  EXPECT_GT(where[0][0], 0);
}

// ---- pictures the windows draw themselves: tile views, thumbnails, ramps ----

int32_t Quiet(const vmkviews::PreviewCall&) { return 0; }

// A file of one-pixel black and white squares.
vmktest::RawImage CheckerFile(uint32_t w, uint32_t h) {
  vmktest::RawImage image = vmktest::SolidImage(w, h, 0, 0, 0);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = image.row(y) + 4 * x;
      p[0] = p[1] = p[2] = (x + y) % 2 == 0 ? 0 : 255;
    }
  return image;
}

// A ramp whose colours and opacity change at every entry.
LutVign Steep() {
  LutVign r;
  Init_LutVign(0, &r, 0, 0, 0, 0);
  for (int i = 0; i < 256; ++i) {
    r.colour[0][i] = static_cast<uint8_t>(i);
    r.colour[1][i] = static_cast<uint8_t>(255 - i);
    r.colour[2][i] = static_cast<uint8_t>((i * 7) & 255);
    r.opacity[i] = static_cast<uint8_t>(128 + i / 2);
  }
  return r;
}

// Planes of w x h (rows as the box's display counts them), the display's or the fine display's.
struct Planes {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> p[3];
  Planes(int32_t width, int32_t height) : w(width), h(height) {
    for (auto& plane : p) plane.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  }
  // From a four-byte bitmap of the same size.
  static Planes Of(const std::vector<uint8_t>& bitmap, int32_t width, int32_t height) {
    Planes out(width, height);
    for (size_t i = 0; i < out.p[0].size(); ++i)
      for (int c = 0; c < 3; ++c) out.p[c][i] = bitmap[4 * i + static_cast<size_t>(c)];
    return out;
  }
};

// The first `rows` rows of a buffer of four-byte pixels `stride` wide hold `want` exactly.
void ExpectHolds(const uint8_t* buffer, int32_t stride, const Planes& want, const char* what) {
  ASSERT_NE(buffer, nullptr) << what;
  int64_t wrong = 0;
  for (int32_t y = 0; y < want.h; ++y)
    for (int32_t x = 0; x < want.w; ++x) {
      const uint8_t* px = buffer + (static_cast<int64_t>(y) * stride + x) * 4;
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(want.w) + static_cast<size_t>(x);
      for (int c = 0; c < 3; ++c) wrong += px[c] != want.p[c][i];
    }
  EXPECT_EQ(wrong, 0) << what;
}

// A ramp picture of w x h view pixels, drawn by `bar` (at a scale, into a rectangle), as the
// display must hold it (the picture at the view's size) and, at ratio k above 1, as the fine
// display must (the picture at the device pixels).
void ExpectRampPicture(const VMKimabox* box, int k, int32_t w, int32_t h,
                       const std::function<void(int32_t, const Rect&, uint8_t*)>& bar) {
  std::vector<uint8_t> view(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  const Rect r{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
  bar(1, r, view.data());
  ExpectHolds(box->displayBuffer(), box->state().viewWidth, Planes::Of(view, w, h), "display");
  if (k == 1) return;
  std::vector<uint8_t> device(view.size() * static_cast<size_t>(k * k));
  const Rect d{0, 0, static_cast<int16_t>(h * k), static_cast<int16_t>(w * k)};
  bar(k, d, device.data());
  ExpectHolds(box->fineBuffer(), box->state().viewWidth * k, Planes::Of(device, w * k, h * k), "fine display");
}

class FineTiles : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    // The effects' own previews are not what these tests look at.
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 58, Quiet);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, Quiet);
    photo_ = Checkerboard(600, 400);
    SetSessionSpanImages(&photo_, &unused_);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 58, nullptr);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, nullptr);
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }
  static std::unique_ptr<TessPar> Tess(int32_t fill) {
    auto r = std::make_unique<TessPar>();
    std::memset(static_cast<void*>(r.get()), 0, sizeof(TessPar));
    Init_TessPar(r.get(), 1, 1, 1);
    r->head.w[kTessTileSource] = fill;
    r->head.w[kTessCurrentSet] = 0;
    return r;
  }
  fichier CheckerTile(const std::string& name, uint32_t w, uint32_t h) {
    const std::filesystem::path p = makers_ / "Tiles" / name;
    std::filesystem::create_directories(p.parent_path());
    vmktest::WriteImageFile(p.string(), plat::imageio::kTypeTIFF, CheckerFile(w, h));
    fichier f;
    Init_FicStruct(&f);
    EXPECT_TRUE(SetFicFromPosix(&f, p.string()));
    return f;
  }
};

constexpr OSType kQtss = FourCC("Qtss");
constexpr int32_t kTessTileView = 13;

// The tile view reads the photo at the device pixels; a drag of the tile's
// corner moves it to the same point at both ratios.
TEST_F(FineTiles, TheTessellationsTileViewReadsThePhotoAtTheDevicePixelsAndADragMovesTheSameCorner) {
  int32_t corners[2][8] = {};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto r = Tess(0);
    VMKquorlinUI d;
    d.SetTessPar(r.get());
    driver_.Advance(0.1)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          EXPECT_GE(d.tileView.picturesShown, 1);
          ExpectFine(w, tb::FindControl(w, kQtss, kTessTileView), d.Box(1), k, 0.2);
        })
        // The view lies at window h 520 to 720, v 80 to 280; corner 0 of the
        // tile's quad is its top left.
        .Drag({Point{81, 521}, Point{100, 540}, Point{120, 561}})
        .Advance(0.6)
        .Do([&](tb::WindowRef) {
          const int32_t* t = d.current()->sets[0].w;
          std::copy(t + kTessSourceX, t + kTessSourceX + 8, corners[k - 1]);
        })
        .Press(kQtss, 2);
    EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_TRUE(std::equal(corners[0], corners[0] + 8, corners[1]));
  EXPECT_GT(corners[0][0], 100);  // moved by 40 of the view's 200 pixels
  EXPECT_GT(corners[0][4], 100);
  EXPECT_EQ(corners[0][1], 1000);
}

// A ramp tile: the display holds the bar at the view's size exactly, the fine
// display the bar at the device pixels, its checkerboard cells the same size
// on the screen.
TEST_F(FineTiles, TheTessellationsRampTileIsTheBarAtTheDevicePixels) {
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto r = Tess(1);
    r->ramps[0] = Steep();
    VMKquorlinUI d;
    d.SetTessPar(r.get());
    driver_.Advance(0.1)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          tb::ControlRef view = tb::FindControl(w, kQtss, kTessTileView);
          const Rect b = tb::GetControlBounds(view);
          const LutVign ramp = Steep();
          ExpectRampPicture(d.Box(1), k, b.right - b.left, b.bottom - b.top,
                            [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                              build_BufBarAt(scale, &at, bitmap, &ramp, 0, 0, 0);
                            });
          ExpectFine(w, view, d.Box(1), k, 0.05);
        })
        .Press(kQtss, 2);
    EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// The border's tile image is read at the device pixels: a one-pixel
// checkerboard twice the view's size lands one to one on the screen.
TEST_F(FineTiles, TheBordersTileImageIsReadAtTheDevicePixels) {
  constexpr OSType kCbor = FourCC("Cbor");
  constexpr int32_t kBorderTileView = 14;
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto r = std::make_unique<BordPar>();
    Init_BordPar(r.get(), 600, 400, 1, 1, 1, 1);
    VMKmirrovanUI d;
    // The file is made once the window is open: it is twice its view's size.
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef w) {
          const Rect b = tb::GetControlBounds(tb::FindControl(w, kCbor, kBorderTileView));
          const auto vw = static_cast<uint32_t>(b.right - b.left), vh = static_cast<uint32_t>(b.bottom - b.top);
          d.Layer().files[0] = CheckerTile("border.tif", 2 * vw, 2 * vh);
          for (BordTile& t : d.Layer().tiles) t.image = 0;
          BordFill(d.Layer().info) = 1;
          d.DrawWindowContent(w);
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          tb::ControlRef view = tb::FindControl(w, kCbor, kBorderTileView);
          ExpectFine(w, view, d.Box(1), k, 0.45);
          if (k == 1) return;
          const plat::draw::Surface& s = tb::GetWindowPort(w)->surface();
          const Rect b = tb::GetControlBounds(view);
          int alternating = 0, pairs = 0;
          for (int y = (b.top + 2) * 2; y < (b.bottom - 2) * 2; ++y)
            for (int x = (b.left + 2) * 2; x < (b.right - 2) * 2; ++x, ++pairs)
              alternating += s.pixel(x, y) != s.pixel(x + 1, y) && s.pixel(x, y) != s.pixel(x, y + 1);
          EXPECT_EQ(alternating, pairs);
        })
        .Press(kCbor, 3);
    d.SetBordPar(r.get());
    EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// The tile list's thumbnails are read at the device pixels.
TEST_F(FineTiles, TheTileListsThumbnailsAreReadAtTheDevicePixels) {
  constexpr OSType kLima = FourCC("Lima");
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto tess = Tess(2);
    tess->head.w[kTessSetsInUse] = 1;
    tess->tiles[0] = CheckerTile("list.tif", 333, 271);
    VMKsetima list;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef w) {
          ExpectFine(w, tb::FindControl(w, kLima, TileListFrame::kBoxIds[0]), list.Box(0), k, 0.2);
        })
        .Press(kLima, 2);
    EXPECT_EQ(list.Do_SetImaDlg(tess.get(), nullptr), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// Each box of the tile lists shows its own tile, at ratio 1 and 2, also once
// every job the list started has landed: the image list the tile's file
// (one flat colour, unlike the photo), the ramp list the tile's ramp bar.
// Neither takes the photo under the window into its boxes.
TEST_F(FineTiles, TheTileListsShowTheirTilesAndNotThePhoto) {
  constexpr OSType kLima = FourCC("Lima");
  constexpr OSType kLivi = FourCC("Livi");
  const std::filesystem::path flat = makers_ / "Tiles" / "flat.tif";
  std::filesystem::create_directories(flat.parent_path());
  vmktest::WriteImageFile(flat.string(), plat::imageio::kTypeTIFF, vmktest::SolidImage(90, 70, 40, 200, 90));
  // Every view pixel of the box (and, at 2, every device pixel) is the flat colour.
  const auto expectFlat = [](VMKimabox* box, int k) {
    ASSERT_NE(box, nullptr);
    const int32_t w = box->state().viewWidth, h = box->state().viewHeight;
    ASSERT_GT(w * h, 100);
    Planes want(w, h);
    std::fill(want.p[0].begin(), want.p[0].end(), uint8_t{40});
    std::fill(want.p[1].begin(), want.p[1].end(), uint8_t{200});
    std::fill(want.p[2].begin(), want.p[2].end(), uint8_t{90});
    ExpectHolds(box->displayBuffer(), w, want, "display");
    if (k == 1) return;
    Planes fine(w * k, h * k);
    std::fill(fine.p[0].begin(), fine.p[0].end(), uint8_t{40});
    std::fill(fine.p[1].begin(), fine.p[1].end(), uint8_t{200});
    std::fill(fine.p[2].begin(), fine.p[2].end(), uint8_t{90});
    ExpectHolds(box->fineBuffer(), w * k, fine, "fine display");
  };
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto tess = Tess(2);
    tess->head.w[kTessSetsInUse] = 2;
    fichier f;
    Init_FicStruct(&f);
    ASSERT_TRUE(SetFicFromPosix(&f, flat.string()));
    tess->tiles[0] = f;
    tess->tiles[1] = f;
    tess->ramps[0] = Steep();
    tess->ramps[1] = Steep();
    {
      VMKsetima list;
      // On a real screen the list's jobs land after it has drawn its boxes.
      list.previews().Hold(true);
      driver_.Advance(0.1)
          .Do([&](tb::WindowRef) { list.previews().RunHeld(); })
          .Advance(0.6)
          .Do([&](tb::WindowRef w) {
            for (size_t t : {0, 1}) {
              SCOPED_TRACE(t);
              expectFlat(list.Box(t), k);
              ExpectFine(w, tb::FindControl(w, kLima, TileListFrame::kBoxIds[t]), list.Box(t), k, 0.0);
            }
          })
          .Press(kLima, 2);
      EXPECT_EQ(list.Do_SetImaDlg(tess.get(), nullptr), 0);
    }
    {
      VMKsetvig list;
      list.previews().Hold(true);
      driver_.Advance(0.1)
          .Do([&](tb::WindowRef) { list.previews().RunHeld(); })
          .Advance(0.6)
          .Do([&](tb::WindowRef w) {
            for (size_t t : {0, 1}) {
              SCOPED_TRACE(t);
              tb::ControlRef view = tb::FindControl(w, kLivi, TileListFrame::kBoxIds[t]);
              const Rect b = tb::GetControlBounds(view);
              const LutVign ramp = Steep();
              ExpectRampPicture(list.Box(t), k, b.right - b.left, b.bottom - b.top,
                                [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                                  build_BufBarAt(scale, &at, bitmap, &ramp, 0, 0, 0);
                                });
              ExpectFine(w, view, list.Box(t), k, 0.0);
            }
          })
          .Press(kLivi, 2);
      EXPECT_EQ(list.Do_SetVigDlg(tess.get(), nullptr), 0);
    }
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// The image combination's ramp bar: the bar at the view's size in the
// display, at the device pixels on the screen.
TEST_F(FineTiles, TheCombinationsRampBarDrawsAtTheDevicePixels) {
  constexpr OSType kCima = FourCC("Cima");
  constexpr int32_t kRampArea = 31;
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 92, Quiet);
  Image("Images/a.tif", 40, 20);
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto r = std::make_unique<CombImaPar>();
    Init_CombImaPar(r.get(), 1);
    fichier f;
    Init_FicStruct(&f);
    ASSERT_TRUE(SetFicFromPosix(&f, (makers_ / "Images/a.tif").string()));
    AddCombIma(r.get(), 0, &f);
    r->head.current = 0;
    r->infos[0].ramp = Steep();
    VMKcimaUI dialog;
    dialog.SetCombImaPar(r.get());
    // The image list is built on first use.
    if (k == 1) driver_.Press(FourCC("Updt"), 1);
    driver_.Advance(0.2)
        .Do([&](tb::WindowRef w) {
          tb::ControlRef view = tb::FindControl(w, kCima, kRampArea);
          const Rect b = tb::GetControlBounds(view);
          const LutVign ramp = Steep();
          ExpectRampPicture(dialog.Box(1), k, b.right - b.left, b.bottom - b.top,
                            [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                              build_BufBarAt(scale, &at, bitmap, &ramp, 0, 0, 0);
                            });
          ExpectFine(w, view, dialog.Box(1), k, 0.05);
        })
        .Press(kCima, 2);
    EXPECT_EQ(dialog.Do_CImaDlg(0), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 92, nullptr);
}

// ---- the ramp bars ----

// The texture generator's ramp bar: the bar at the view's size in the
// display, at the device pixels on the screen.
TEST_F(FineTexture, TheRampBarDrawsAtTheDevicePixels) {
  constexpr OSType kTgen = FourCC("Tgen");
  constexpr int32_t kRampView = 17;
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKtexturgenUI dlg;
    TextuPar owner;
    Init_TextuPar(&owner);
    owner.ramp = Steep();
    owner.hueShift = 20;
    dlg.SetTextuPar(&owner);
    driver_.Advance(0.1)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          tb::ControlRef view = tb::FindControl(w, kTgen, kRampView);
          const Rect b = tb::GetControlBounds(view);
          const LutVign ramp = Steep();
          ExpectRampPicture(dlg.Box(1), k, b.right - b.left, b.bottom - b.top,
                            [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                              build_BufBarAt(scale, &at, bitmap, &ramp, 20, 0, 0);
                            });
          ExpectFine(w, view, dlg.Box(1), k, 0.05);
        })
        .Press(kTgen, 102);
    EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// The ramp editor's two bars and two pickers draw at the device pixels; a
// click on the colour bar paints the same entry, and one on the opacity
// picker picks the same opacity, at both ratios.
using FineRampEditor = vmktest::RampDialogTest;

TEST_F(FineRampEditor, TheBarsAndPickersDrawAtTheDevicePixelsAndAClickPaintsTheSameEntry) {
  constexpr OSType kAvig = FourCC("Avig");
  constexpr Point kColourBarMiddle{180, 10 + 201};
  // Box numbers of the colour picker, the colour bar, the opacity picker and the opacity bar.
  constexpr size_t kColourPicker = 0, kColourBar = 1, kOpacityPicker = 2, kOpacityBar = 3;
  LutVign painted[2];
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKadjvignUI dlg;
    const LutVign start = Steep();
    dlg.SetLutVign(&start);
    driver_.Advance(0.01)
        .Type(kAvig, 5, "200")
        .Type(kAvig, 7, "10")
        .Type(kAvig, 9, "50")
        .Advance(0.3)
        .Do([&](tb::WindowRef w) {
          for (size_t box : {kColourPicker, kColourBar, kOpacityPicker, kOpacityBar}) {
            SCOPED_TRACE(box);
            VMKimabox* b = dlg.Box(box);
            ASSERT_NE(b, nullptr);
            ExpectFine(w, b->state().view, b, k, 0.02);
          }
          const ImaboxState& bar = dlg.Box(kColourBar)->state();
          const LutVign shown = *dlg.current();
          ExpectRampPicture(dlg.Box(kColourBar), k, bar.viewWidth,
                            std::min(bar.viewHeight, VMKadjvignUI::kScratchBytes / (4 * bar.viewWidth)),
                            [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                              build_BufBarAt(scale, &at, bitmap, &shown, 0, 0, 0);
                            });
          const ImaboxState& opacity = dlg.Box(kOpacityBar)->state();
          ExpectRampPicture(dlg.Box(kOpacityBar), k, opacity.viewWidth,
                            std::min(opacity.viewHeight, VMKadjvignUI::kScratchBytes / (4 * opacity.viewWidth)),
                            [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                              build_BufBarOpaAt(scale, &at, bitmap, &shown);
                            });
        })
        .Drag({kColourBarMiddle})
        .Advance(0.3)
        .Do([&](tb::WindowRef) { painted[k - 1] = *dlg.current(); })
        .Press(kAvig, 2);
    EXPECT_EQ(dlg.Do_AdjVignUIDlg(), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_TRUE(Same(painted[0], painted[1]));
  EXPECT_EQ(painted[0].colour[0][128], 200);
  EXPECT_EQ(painted[0].colour[1][128], 10);
}

// The ramp browser's bars draw at the device pixels; a click picks the same
// slot at both ratios.
TEST_F(FineRampEditor, TheBrowsersBarsDrawAtTheDevicePixelsAndAClickPicksTheSameSlot) {
  constexpr OSType kLvig = FourCC("Lvig");
  for (int n = 0; n < 4; ++n) WriteRamp("steep" + std::to_string(n) + ".hvig", "Steep", Steep());
  int16_t picked[2] = {};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKloadvign dlg;
    driver_.Advance(0.01)
        .Advance(0.5)
        .Do([&](tb::WindowRef w) {
          for (size_t slot = 0; slot < 4; ++slot) {
            SCOPED_TRACE(slot);
            VMKimabox* box = dlg.Box(slot);
            ASSERT_NE(box, nullptr);
            const LutVign ramp = Steep();
            ExpectRampPicture(box, k, VMKlisteff::kBarWidth, VMKlisteff::kBarHeight,
                              [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
                                build_BufBarAt(scale, &at, bitmap, &ramp, 0, 0, 0);
                              });
            ExpectFine(w, box->state().view, box, k, 0.05);
          }
        })
        // The third slot's box: window h 10 to 410, v 160 to 192.
        .Drag({Point{176, 200}, Point{176, 200}})
        .Advance(0.5)
        .Do([&](tb::WindowRef) { picked[k - 1] = dlg.selectedSlot; })
        .Press(kLvig, 2);
    EXPECT_EQ(dlg.Do_LoadVignDlg(), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_EQ(picked[0], 3);
  EXPECT_EQ(picked[1], 3);
}

}  // namespace
