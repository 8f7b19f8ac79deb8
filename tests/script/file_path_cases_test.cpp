// The file- and path-driven cases and the render loop's path steps on small planes: map
// sizes, tile limits, the sweep's ramp positions, path loading and envelopes, and that every
// failure path returns what it took.
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/file_access.h"
#include "paths/path_list.h"
#include "platform/memory/memory.h"
#include "script/displace_map_loader.h"
#include "script/render_cases.h"
#include "script/script_file.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

// The map reader stand-in: records the size asked for and fills rows `width` long with a
// pattern that depends on the position only.
int32_t gAskedW = 0, gAskedH = 0;
int32_t PatternMaps(int32_t w, int32_t h, fichier*, int32_t, int32_t, uint8_t* x, uint8_t* y) {
  gAskedW = w;
  gAskedH = h;
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) {
      x[r * w + c] = static_cast<uint8_t>((c * 7 + r * 3) & 255);
      y[r * w + c] = static_cast<uint8_t>((c * 5 + r * 11) & 255);
    }
  return 0;
}
int32_t FailingMaps(int32_t, int32_t, fichier*, int32_t, int32_t, uint8_t*, uint8_t*) { return -1; }

// A closed four-knot rectangle path in `list`.
void AddRect(CPathList* list, float l, float t, float r, float b) {
  list->AddPath(0);
  list->current->CreaPathof_xpts(4, 1);
  list->fct_calc_Rect(list->current, l, t, r, b);
}

class FilePathCases : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    RegisterScriptRenderCases();
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    Setup(40, 30);
  }
  void TearDown() override { SetDisplaceMapLoader(nullptr); }
  void Setup(int32_t w, int32_t h) {
    ASSERT_EQ(s_.I_ScriptFile(3, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1), 0);
    s_.previewScaleX = s_.previewScaleY = 1.0f;
    s_.SetDrwVal(0, 0, 1, 1, 0, 0);
    n_ = static_cast<size_t>(w) * h;
    for (int32_t c = 3; c <= 5; ++c) {
      uint8_t* p = s_.ChannelPlane(c, 1);
      for (size_t i = 0; i < n_; ++i) p[i] = static_cast<uint8_t>(i * (c + 4) + 13 * c);
    }
  }
  Oprn* Op(int16_t effect, int16_t to, std::vector<int16_t> params) {
    s_.SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
    s_.SetAct(0, 1, 1, 1);
    s_.SetToChannel(0, 1, 1, to);
    void (ScriptFile::*set[5])(int16_t, int16_t, int16_t, int16_t) = {
        &ScriptFile::SetParam1, &ScriptFile::SetParam2, &ScriptFile::SetParam3,
        &ScriptFile::SetParam4, &ScriptFile::SetParam5};
    for (size_t k = 0; k < params.size(); ++k) (s_.*set[k])(0, 1, 1, params[k]);
    s_.SetMode(0, 1, 1, 0);
    s_.SetOpa(0, 1, 1, 255);
    return s_.GetOprn(0, 1, 1);
  }
  void Name(Oprn* op, const std::string& path, OSType type = 0) {
    fichier f;
    Init_FicStruct(&f);
    ASSERT_TRUE(SetFicFromPosix(&f, path));
    f.type = type;
    s_.SetFileOprn(0, 1, 1, &f);
    (void)op;
  }
  std::string Picture(const std::string& name, uint32_t w, uint32_t h) {
    const std::string path = dir_.file(name);
    vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, vmktest::PatternImage(w, h, 1));
    return path;
  }
  Plane Copy(int32_t c) {
    const uint8_t* p = s_.ChannelPlane(c, 0);
    return p != nullptr ? Plane(p, p + n_) : Plane();
  }
  std::vector<Plane> Composite() { return {Copy(3), Copy(4), Copy(5)}; }
  void Restore(const std::vector<Plane>& v) {
    for (int32_t c = 3; c <= 5; ++c) std::memcpy(s_.ChannelPlane(c, 0), v[c - 3].data(), n_);
  }
  // Runs `run` with the n-th allocation refused for n = 0, 1, ... until a run completes: each
  // run must give back all it took, and each that meets a refusal must fail (a refusal inside
  // an image operation fails the step too). A failed run leaves each plane as it was or as the
  // complete run leaves it: an operation refused its memory changes nothing, and the planes
  // done before it keep what it wrote.
  void EveryFailureFrees(const std::function<int32_t()>& run, int32_t okResult) {
    const std::vector<Plane> before = Composite();
    ASSERT_EQ(run(), okResult);
    const std::vector<Plane> complete = Composite();
    for (int64_t nth = 0; nth < 64; ++nth) {
      Restore(before);
      const int64_t live = plat::LiveBlockCount();
      plat::FailNthAllocation(nth);
      const int32_t r = run();
      plat::FailNthAllocation(-1);
      EXPECT_EQ(plat::LiveBlockCount(), live) << "allocation " << nth;
      if (r == okResult) {
        EXPECT_EQ(Composite(), complete) << "allocation " << nth;
        Restore(before);
        return;
      }
      EXPECT_EQ(r, -1) << "allocation " << nth;
      const std::vector<Plane> after = Composite();
      for (size_t k = 0; k < after.size(); ++k)
        EXPECT_TRUE(after[k] == before[k] || after[k] == complete[k])
            << "allocation " << nth << ", plane " << k + 3 << " half done";
    }
    ADD_FAILURE() << "never completed";
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  ScriptFile s_;
  size_t n_ = 0;
};

TEST_F(FilePathCases, DisplacementMapsAreHeldTo256AndAFailingReaderDisplacesNothing) {
  SetDisplaceMapLoader(PatternMaps);
  Oprn* op = Op(21, 2, {30, 20, 300, 256, 128});
  Name(op, Picture("map.tif", 4, 4));
  const std::vector<Plane> input = Composite();
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(gAskedW, 256);
  EXPECT_EQ(gAskedH, 256);
  const std::vector<Plane> wide = Composite();
  EXPECT_NE(wide, input);
  Restore(input);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(Composite(), wide);  // the same bytes twice
  Restore(input);
  op->Param3 = 256;
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(Composite(), wide);  // 300 renders as 256
  op->Param3 = -4;
  Restore(input);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(gAskedW, 1);

  op->Param3 = 64;
  EveryFailureFrees([&] { return s_.PerformToEffect(op); }, 0);
  SetDisplaceMapLoader(FailingMaps);
  Restore(input);
  EXPECT_EQ(s_.PerformToEffect(op), -1);
  EXPECT_EQ(Composite(), input);
}

TEST_F(FilePathCases, ReliefTileIsHeldTo5000AndAnUnreadableImageRendersNothing) {
  Oprn* op = Op(52, 2, {8, 6, 128, 45, 60});
  Name(op, Picture("tile.tif", 16, 16));
  const std::vector<Plane> input = Composite();
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  const std::vector<Plane> once = Composite();
  EXPECT_NE(once, input);
  EveryFailureFrees([&] { return s_.PerformToEffect(op); }, 0);

  // 8000 at scale 1 takes a 5001 x 5001 buffer (the tile and its inclusive edge), no more.
  op->Param1 = 8000;
  const int64_t tileBytes = int64_t{5001} * 5001;
  {
    const int64_t old = plat::SetBlockLimit(tileBytes - 1);
    EXPECT_EQ(s_.PerformToEffect(op), -1);
    plat::SetBlockLimit(old);
  }
  Restore(input);
  {
    const int64_t old = plat::SetBlockLimit(tileBytes);
    EXPECT_EQ(s_.PerformToEffect(op), 0);
    plat::SetBlockLimit(old);
  }

  op->Param1 = 8;
  Name(op, dir_.file("missing.tif"));
  Restore(input);
  EXPECT_EQ(s_.PerformToEffect(op), -1);
  EXPECT_EQ(Composite(), input);
}

TEST_F(FilePathCases, PathFillFollowsTheLayersPathsAndChangesNothingWithout) {
  Oprn* op = Op(27, 2, {0, 200, 100, 50, 0});
  const std::vector<Plane> input = Composite();
  s_.currentPaths = new CPathList(0);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(Composite(), input);  // no paths, no fill

  // The fill flips rows about the area height: path y 5..15 covers rows 15..25.
  AddRect(s_.currentPaths, 10.0f, 5.0f, 30.0f, 15.0f);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  const Plane red = Copy(3);
  // The fill's own rounding: 200 and 100 over these samples at full strength.
  EXPECT_NEAR(red[20 * 40 + 20], 200, 1);
  EXPECT_NEAR(Copy(4)[20 * 40 + 20], 100, 1);
  EXPECT_EQ(red[2 * 40 + 2], input[0][2 * 40 + 2]);
  EXPECT_EQ(red[20 * 40 + 35], input[0][20 * 40 + 35]);
  // Row and column beyond the area stay as they were in a plane larger than the area.
  Restore(input);
  EveryFailureFrees([&] { return s_.PerformToEffect(op); }, 0);
  delete s_.currentPaths;
  s_.currentPaths = nullptr;
}

TEST_F(FilePathCases, SweepStepsTakeRampPositionsThroughTheWrappedIndex) {
  Setup(300, 60);
  Oprn* op = Op(28, 7, {0, 3});
  Path3D rec;
  s_.GetPath3D(0, 1, 1, &rec);
  rec.direction = 0;
  // Rows 20..39 (symmetric about the flips), columns 10..50 then 210..250.
  const int32_t rects[8] = {10, 20, 50, 39, 210, 20, 250, 39};
  std::copy(rects, rects + 8, rec.rects);
  for (int32_t v = 0; v < 256; ++v) {
    rec.lut.opacity[v] = 255;
    rec.lut.colour[0][v] = static_cast<uint8_t>(v);
  }
  ASSERT_EQ(s_.SetPath3D(0, 1, 1, &rec), 0);
  uint8_t* plane = s_.ChannelPlane(7, 1);
  std::memset(plane, 9, n_);
  s_.currentPaths = new CPathList(0);
  EXPECT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(plane[30 * 300 + 130], 9);  // a layer without paths draws nothing

  AddRect(s_.currentPaths, 0.0f, 0.0f, 10.0f, 10.0f);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  // Within the fill's rounding of the blend over 9.
  EXPECT_NEAR(plane[30 * 300 + 30], 0, 1);
  EXPECT_NEAR(plane[30 * 300 + 130], 127, 1);
  EXPECT_NEAR(plane[30 * 300 + 230], 255, 1);
  EXPECT_EQ(plane[30 * 300 + 180], 9);  // between the steps

  // Param1 100: entries from 100 on wrap to i - 100.
  op->Param1 = 100;
  std::memset(plane, 9, n_);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_NEAR(plane[30 * 300 + 130], 27, 1);
  EXPECT_NEAR(plane[30 * 300 + 230], 155, 1);
  // A negative wrap would go past 255: held there.
  op->Param1 = -100;
  std::memset(plane, 9, n_);
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_NEAR(plane[30 * 300 + 230], 255, 1);
  EXPECT_NEAR(plane[30 * 300 + 130], 227, 1);
  // Param2 0 draws nothing.
  std::memset(plane, 9, n_);
  op->Param2 = 0;
  ASSERT_EQ(s_.PerformToEffect(op), 0);
  EXPECT_EQ(plane[30 * 300 + 30], 9);
  delete s_.currentPaths;
  s_.currentPaths = nullptr;
}

TEST_F(FilePathCases, LoadedPathsReplaceTheLayersPaths) {
  CPathList saved(0);
  AddRect(&saved, 1.0f, 2.0f, 11.0f, 12.0f);
  AddRect(&saved, 20.0f, 2.0f, 30.0f, 12.0f);
  fichier f;
  Init_FicStruct(&f);
  ASSERT_TRUE(SetFicFromPosix(&f, dir_.file("two.path")));
  f.type = FourCC("pAth");
  ASSERT_EQ(saved.DefaultPath(0, &f, 40, 30), 0);

  Laye* layer = s_.GetStack(0)->GetLaye(1);
  AddRect(layer->paths, 5.0f, 5.0f, 6.0f, 6.0f);
  Oprn* op = Op(26, 0, {});
  s_.SetFileOprn(0, 1, 1, &f);
  s_.currentPaths = new CPathList(0);
  EXPECT_EQ(s_.PerformLoadPath(op, 0, 1), 0);
  ASSERT_EQ(layer->paths->count, 2);
  float l, t, r, b;
  layer->paths->GetBound(0, &l, &t, &r, &b);
  EXPECT_FLOAT_EQ(l, 1.0f);
  EXPECT_FLOAT_EQ(r, 30.0f);
  EXPECT_EQ(s_.currentPaths->count, 2);

  // Another type, or a damaged file: the current list is emptied, the layer's paths stay.
  vmktest::Truncate(FicToPosix(f), 20);
  EXPECT_EQ(s_.PerformLoadPath(op, 0, 1), 0);
  EXPECT_EQ(layer->paths->count, 2);
  EXPECT_EQ(s_.currentPaths->first, nullptr);
  delete s_.currentPaths;
  s_.currentPaths = nullptr;
}

TEST_F(FilePathCases, EnvelopeOfThePathsOwnBoxMapsThemOntoThemselves) {
  s_.currentPaths = new CPathList(0);
  AddRect(s_.currentPaths, 8.0f, 6.0f, 30.0f, 22.0f);
  // The box ApplyEnvelop takes: the bounds widened by 3, truncated.
  const int32_t x0 = 5, y0 = 3, x1 = 33, y1 = 25;
  CPathList box(0);
  AddRect(&box, x0, y0, x1, y1);
  fichier f;
  Init_FicStruct(&f);
  ASSERT_TRUE(SetFicFromPosix(&f, dir_.file("box.env")));
  {
    File_kern make(&f);
    ASSERT_EQ(make.CreateFile(), 0);
    make.S_close();
  }
  File_kern file(&f);
  EXPECT_EQ(s_.SaveEnvelopPath(&file, &box, x0, y0, x0, y1), -1);  // no width
  ASSERT_EQ(s_.SaveEnvelopPath(&file, &box, x0, y0, x1, y1), 0);

  ASSERT_EQ(s_.ApplyEnvelop(&f), 0);
  // Within the envelope grid's blend and the file's fixed-point knots.
  float l, t, r, b;
  s_.currentPaths->GetBound(0, &l, &t, &r, &b);
  EXPECT_NEAR(l, 8.0f, 0.1f);
  EXPECT_NEAR(t, 6.0f, 0.1f);
  EXPECT_NEAR(r, 30.0f, 0.1f);
  EXPECT_NEAR(b, 22.0f, 0.1f);

  // A missing envelope leaves the paths (and their knot count) alone.
  const int32_t knots = s_.currentPaths->first->count;
  fichier missing;
  Init_FicStruct(&missing);
  ASSERT_TRUE(SetFicFromPosix(&missing, dir_.file("none.env")));
  EXPECT_EQ(s_.ApplyEnvelop(&missing), -1);
  EXPECT_EQ(s_.currentPaths->first->count, knots);
  delete s_.currentPaths;
  s_.currentPaths = nullptr;
}

TEST_F(FilePathCases, PathFrameFillsTheMiddleAndFreesEverythingOnFailure) {
  Setup(64, 48);
  Oprn* op = Op(61, 2, {60, 90, 200, 40, 10});
  Name(op, Picture("frame.tif", 24, 16));
  const std::vector<Plane> input = Composite();
  ASSERT_EQ(s_.PerformPathFrame(op), 1);
  EXPECT_NEAR(Copy(3)[24 * 64 + 32], 200, 1);
  EXPECT_NEAR(Copy(4)[24 * 64 + 32], 40, 1);
  EXPECT_NEAR(Copy(5)[24 * 64 + 32], 10, 1);
  EXPECT_EQ(Copy(3)[0], input[0][0]);  // the corners are outside the frame
  const std::vector<Plane> once = Composite();
  Restore(input);
  ASSERT_EQ(s_.PerformPathFrame(op), 1);
  EXPECT_EQ(Composite(), once);  // the same bytes twice
  EveryFailureFrees([&] { return s_.PerformPathFrame(op); }, 1);

  op->Act = 0;
  EXPECT_EQ(s_.PerformPathFrame(op), 0);
  op->Act = 1;
  Name(op, dir_.file("missing.tif"));
  Restore(input);
  EXPECT_EQ(s_.PerformPathFrame(op), -1);
  EXPECT_EQ(Composite(), input);
}

// The ring is warped from the ellipse of Param2 to the ellipse of Param1, so swapping the two
// turns the picture over across the ring: of a picture dark above and light below, the ring's
// outer half is the lighter one way round and the darker the other way round.
TEST_F(FilePathCases, PathFrameRingRunsFromTheEllipseOfParam2ToThatOfParam1) {
  Setup(128, 96);
  vmktest::RawImage halves = vmktest::SolidImage(160, 40, 255, 255, 255);
  for (uint32_t y = 0; y < 20; ++y) std::memset(halves.row(y), 0, halves.rowBytes());
  const std::string path = dir_.file("halves.tif");
  vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, halves);
  const std::vector<Plane> input = Composite();
  // Outer minus inner mean of the ring, whose ellipses have the half-axes 54 x 38 (inset 19 of
  // the shorter side's 95 for 80 per cent) and 35 x 19 (inset 57 for 40 per cent).
  auto outerLessInner = [&](int16_t p1, int16_t p2) {
    Restore(input);
    Oprn* op = Op(61, 2, {p1, p2, 128, 128, 128});
    Name(op, path);
    EXPECT_EQ(s_.PerformPathFrame(op), 1);
    const Plane red = Copy(3);
    double sum[2] = {}, count[2] = {};
    for (int32_t y = 0; y < 96; ++y)
      for (int32_t x = 0; x < 128; ++x) {
        const double dx = x - 63.5, dy = y - 47.5;
        const double in = std::hypot(dx / 35, dy / 19) - 1, out = 1 - std::hypot(dx / 54, dy / 38);
        if (in < 0.1 || out < 0.1) continue;  // off the ring or on its seams
        const int half = out < in ? 0 : 1;
        sum[half] += red[y * 128 + x];
        count[half] += 1;
      }
    EXPECT_GT(count[0], 200);
    EXPECT_GT(count[1], 200);
    return sum[0] / count[0] - sum[1] / count[1];
  };
  EXPECT_GT(outerLessInner(40, 80), 60);
  EXPECT_LT(outerLessInner(80, 40), -60);
}

}  // namespace
