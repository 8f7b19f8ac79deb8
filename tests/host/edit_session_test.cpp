#include "host/edit_session.h"
#include "host/render_progress.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/core/colour_spaces.h"
#include "app/core/session_state.h"
#include "host/host_fixture.h"
#include "host/plugin_entry.h"
#include "host/session/app_object.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"

namespace {

using vmktest::Fill;
using vmktest::Sample;

class EditSessionTest : public vmktest::HostTest {};

TEST_F(EditSessionTest, SessionStartsOnTheFirstVersionWithFourSharedImages) {
  const std::string a = Version("a.tif", vmktest::PatternImage(8, 6, 1));
  CarbonEditPlugin* s = Start({a, Version("b.tif", vmktest::PatternImage(4, 4, 1))});
  EXPECT_EQ(gCarbonEditPlugin, s);
  EXPECT_EQ(s->versionCount, 2);
  EXPECT_EQ(s->firstPath, a);
  EXPECT_EQ(edit_->requestedFormats, (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(s->destination.width(), 8u);
  EXPECT_TRUE(s->source.sharesBodyWith(s->destination));
  EXPECT_TRUE(s->spare.sharesBodyWith(s->filtered));
  EXPECT_EQ(s->opacity, 100);
  EXPECT_EQ(s->blendMode, 1);
  ASSERT_NE(gPer, nullptr);
  EXPECT_EQ(gPer->previewWidth, 8);
}

TEST_F(EditSessionTest, StartEmptiesTheLayerScratchFile) {
  vmktest::WriteText(bundle_.makersFile("com.vellmarkstead.lay"), "old layers");
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(4, 4, 1))});
  EXPECT_EQ(vmktest::ReadBytes(bundle_.makersFile("com.vellmarkstead.lay")).size(), 0u);
  EXPECT_FALSE(s->LayersToRender());
}

// The render copies of the layers that a killed session left go when the next session starts;
// a copy a render still holds (locked), and files that only look like copies, stay.
TEST_F(EditSessionTest, StartRemovesTheRenderCopiesAKilledSessionLeft) {
  const std::string lay = bundle_.makersFile("com.vellmarkstead.lay");
  for (const char* tail : {".render0", ".render123456", ".render40", ".render7.tif"}) vmktest::WriteText(lay + tail, "x");
  const int held = ::open((lay + ".render40").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  Start({Version("a.tif", vmktest::PatternImage(4, 4, 1))});
  ::close(held);
  EXPECT_FALSE(std::filesystem::exists(lay + ".render0"));
  EXPECT_FALSE(std::filesystem::exists(lay + ".render123456"));
  EXPECT_TRUE(std::filesystem::exists(lay + ".render40"));
  EXPECT_TRUE(std::filesystem::exists(lay + ".render7.tif"));
}

TEST_F(EditSessionTest, UnreadableImageGivesNoWindowAndSaysWhy) {
  vmktest::WriteText(bundle_.file("bad.tif"), "not an image");
  auto* plugin = ApertureVMK_UIEditPlugin::initWithAPIManager(nullptr);
  EXPECT_EQ(plugin, nullptr);
  edit_ = std::make_unique<plat::hostapi::FakeEditManager>(std::vector<std::string>{bundle_.file("bad.tif")});
  api_ = std::make_unique<plat::hostapi::FakeApiManager>(edit_.get());
  plugin = ApertureVMK_UIEditPlugin::initWithAPIManager(api_.get());
  ASSERT_NE(plugin, nullptr);
  plugin->beginEditSession();
  EXPECT_EQ(plugin->editWindow(), nullptr);
  EXPECT_FALSE(plugin->lastErrorMessage().empty());
  delete plugin;
  EXPECT_EQ(gCarbonEditPlugin, nullptr);
  EXPECT_EQ(gPer, nullptr);
}

TEST_F(EditSessionTest, OpacityBlendsOnTheEightBitScale) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(2, 1, 1))});
  struct Case {
    int16_t opacity;
    uint32_t source, filtered, out;
  };
  // (200 x 128 + 127 x 100) / 255 = 150; a = 26, 127, 229 for 10, 50, 90.
  const Case cases[] = {{50, 200, 100, 150}, {10, 0, 255, 26}, {50, 0, 255, 127}, {90, 0, 255, 229},
                        {0, 77, 255, 77},    {100, 0, 255, 255},
                        // beyond 100 counts as 100
                        {250, 0, 255, 255}};
  for (const Case& c : cases) {
    Fill(s->source, c.source);
    Fill(s->filtered, c.filtered);
    s->OpaModAPEimage(0, 0, 2, 1, c.opacity, 1);
    EXPECT_EQ(Sample(s->destination, 1, 0, 1), c.out) << c.opacity;
    EXPECT_EQ(Sample(s->destination, 1, 0, 3), 255u);
  }
  // A blend mode other than the plain one: darken (5) of 200 over 100 at 100
  // percent gives 100 through the blend, not the render's pass-through.
  Fill(s->source, 200);
  Fill(s->filtered, 100);
  s->OpaModAPEimage(0, 0, 2, 1, 100, 5);
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 100u);
  EXPECT_TRUE(s->spare.sharesBodyWith(s->filtered));
}

TEST_F(EditSessionTest, SixteenBitBlendKeepsWhiteAtFullScale) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(3, 2, 2))});
  ASSERT_EQ(s->destination.bytesPerComponent(), 2u);
  Fill(s->source, 65535);
  Fill(s->filtered, 65535);
  s->OpaModAPEimage(0, 0, 3, 2, 50, 1);
  EXPECT_EQ(Sample(s->destination, 2, 1, 0), 65535u);
  Fill(s->source, 200 * 257);
  Fill(s->filtered, 100 * 257);
  s->OpaModAPEimage(0, 0, 3, 2, 50, 1);
  EXPECT_EQ(Sample(s->destination, 0, 0, 2), 150u * 257u);
}

TEST_F(EditSessionTest, FullOpacityPlainModeMakesBackToggle) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(2, 2, 10, 10, 10))});
  PixelBuffer render(2, 2, 1, 4);
  Fill(render, 90);
  s->spare = s->destination;  // what a render leaves: the image before it
  s->filtered = render;
  s->doOpaMod(100, 1);
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 90u);
  s->doBack();
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 10u);
  s->doBack();
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 90u);
}

TEST_F(EditSessionTest, RevertReadsTheVersionAgain) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(2, 2, 10, 20, 30))});
  Fill(s->destination, 99);
  s->doRevert();
  EXPECT_EQ(Sample(s->destination, 1, 1, 1), 20u);
  EXPECT_EQ(Sample(s->spare, 1, 1, 1), 99u);
  EXPECT_EQ(Sample(s->source, 1, 1, 1), 99u);
}

TEST_F(EditSessionTest, WriteBackPutsEveryPlaneRowInItsImageRow) {
  for (int bytes : {1, 2}) {
    CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(3, 4, bytes))});
    // Planes hold the image bottom row first: plane row 3 - r is image row r.
    std::vector<uint8_t> red(12), green(12), blue(12);
    for (int r = 0; r < 4; ++r)
      for (int x = 0; x < 3; ++x) {
        const size_t at = static_cast<size_t>(3 - r) * 3 + x;
        red[at] = static_cast<uint8_t>(r * 10 + x);
        green[at] = 255;
        blue[at] = 128;
      }
    ASSERT_EQ(s->WriteBackPlanes(red.data(), green.data(), blue.data(), 3, 4), 0);
    const uint32_t scale = bytes == 2 ? 257 : 1;
    for (uint32_t r = 0; r < 4; ++r)
      for (uint32_t x = 0; x < 3; ++x) {
        EXPECT_EQ(Sample(s->destination, x, r, 0), (r * 10 + x) * scale) << r << "," << x;
        EXPECT_EQ(Sample(s->destination, x, r, 1), 255 * scale);
        EXPECT_EQ(Sample(s->destination, x, r, 2), 128 * scale);
      }
    session_.reset();
  }
}

TEST_F(EditSessionTest, FailedRenderLeavesTheImage) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(2, 2, 10, 20, 30))});
  // The scratch file is empty: there is nothing to render.
  EXPECT_LT(s->DoFilter(), 0);
  EXPECT_EQ(Sample(s->destination, 0, 0, 2), 30u);
}

TEST_F(EditSessionTest, OkWritesTheVersionAndEndsWithoutWaiting) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 20, 30));
  CarbonEditPlugin* s = Start({a});
  Fill(s->destination, 200);
  EXPECT_EQ(s->doOK(), 0);
  // Ending is posted: the window's handler returns first.
  EXPECT_EQ(edit_->ended, 0);
  EXPECT_EQ(edit_->RunPosted(), 1);
  EXPECT_EQ(edit_->ended, 1);
  PixelBuffer written;
  ASSERT_EQ(readSourceImage(a, nullptr, nullptr, 0, true, written), 0);
  EXPECT_EQ(Sample(written, 1, 1, 0), 200u);
  EXPECT_TRUE(driver_.ui().alertRequests.empty());
}

TEST_F(EditSessionTest, FailedWriteIsToldAndKeepsTheSession) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 20, 30));
  CarbonEditPlugin* s = Start({a});
  // The version's folder goes away: the write cannot be made.
  s->versions[0].path = bundle_.file("gone/a.tif");
  EXPECT_LT(s->doOK(), 0);
  EXPECT_EQ(edit_->posted(), 0u);
  ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
  EXPECT_EQ(driver_.ui().alertRequests[0].alertId, 129);
}

TEST_F(EditSessionTest, SeveralVersionsAskFirstAndCancelWritesNothing) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 20, 30));
  const std::vector<uint8_t> before = vmktest::ReadBytes(a);
  CarbonEditPlugin* s = Start({a, Version("b.tif", vmktest::SolidImage(2, 2, 1, 2, 3)),
                               Version("c.tif", vmktest::SolidImage(2, 2, 4, 5, 6))});
  Fill(s->destination, 200);
  driver_.Press(FourCC("Aler"), 2);
  EXPECT_LT(s->doOK(), 0);
  EXPECT_EQ(vmktest::ReadBytes(a), before);
  EXPECT_EQ(edit_->posted(), 0u);
  driver_.Press(FourCC("Aler"), 1);
  EXPECT_EQ(s->doOK(), 0);
  EXPECT_NE(vmktest::ReadBytes(a), before);
  EXPECT_EQ(edit_->posted(), 1u);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EditSessionTest, CancelPostsTheCancelAndWritesNothing) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 20, 30));
  const std::vector<uint8_t> before = vmktest::ReadBytes(a);
  CarbonEditPlugin* s = Start({a});
  Fill(s->destination, 200);
  s->doCancel();
  edit_->RunPosted();
  EXPECT_EQ(edit_->cancelled, 1);
  EXPECT_EQ(vmktest::ReadBytes(a), before);
}

}  // namespace

namespace {

class RenderRoadTest : public vmktest::HostTest {};

TEST_F(RenderRoadTest, LayerFileRendersOverTheImageRowForRow) {
  vmktest::RawImage image = vmktest::PatternImage(5, 3, 1);
  CarbonEditPlugin* s = Start({Version("a.tif", image)});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  for (uint32_t y = 0; y < 3; ++y)
    for (uint32_t x = 0; x < 5; ++x)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(Sample(s->destination, x, y, k), std::min<uint32_t>(image.row(y)[x * 4 + k] + 10, 255))
            << x << "," << y << "," << k;
  // Stepping back shows the image before the effect.
  s->doBack();
  EXPECT_EQ(Sample(s->destination, 1, 1, 1), image.row(1)[4 + 1]);
}

// The render and the opacity mix edit the colours; the picture's alpha
// stays with its pixels at full opacity, at part opacity and after a step
// back, and OK writes it into the version.
TEST_F(RenderRoadTest, ThePicturesAlphaPassesThroughTheRenderAndTheMix) {
  vmktest::RawImage image = vmktest::PatternImage(5, 3, 1);
  image.row(1)[2 * 4 + 3] = 0;
  plat::imageio::Properties alpha;
  alpha.hasAlpha = true;
  const std::string path = bundle_.file("a.tif");
  vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, image, alpha);
  CarbonEditPlugin* s = Start({path});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  auto expectAlpha = [&](const PixelBuffer& b, const char* when) {
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < 5; ++x) ASSERT_EQ(Sample(b, x, y, 3), image.row(y)[x * 4 + 3]) << when << x << "," << y;
  };
  expectAlpha(s->destination, "full opacity ");
  EXPECT_EQ(Sample(s->destination, 2, 1, 0), std::min<uint32_t>(image.row(1)[2 * 4] + 10, 255));
  s->doOpaMod(50, 1);
  expectAlpha(s->destination, "half opacity ");
  s->doBack();
  expectAlpha(s->destination, "stepped back ");
  s->doBack();
  ASSERT_EQ(s->doOK(), 0);
  driver_.Pump();
  plat::imageio::ImageInfo info;
  ASSERT_EQ(plat::imageio::ReadInfo(path, &info), plat::imageio::kOk);
  EXPECT_TRUE(info.hasAlpha);
  expectAlpha(Read(path), "written ");
}

std::vector<uint8_t> Bytes(const PixelBuffer& b) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < b.height(); ++y)
    out.insert(out.end(), b.rowPtr(y), b.rowPtr(y) + b.width() * 4 * b.bytesPerComponent());
  return out;
}

// Cancel pressed as the render starts: the image, the version files and
// the session are as they were; without it the same layers render.
TEST_F(RenderRoadTest, ACancelledRenderLeavesTheVersionsAndTheSessionOpen) {
  const std::string a = Version("a.tif", vmktest::PatternImage(5, 3, 1));
  const std::string b = Version("b.tif", vmktest::SolidImage(3, 2, 100, 100, 100));
  CarbonEditPlugin* s = Start({a, b});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  const std::vector<uint8_t> shown = Bytes(s->destination);
  const std::vector<uint8_t> fileB = Bytes(Read(b));
  int starts = 0;
  SetRenderStartWatcher([&] {
    if (++starts != 2) CancelRender();
  });
  EXPECT_LT(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  EXPECT_EQ(Bytes(s->destination), shown);
  EXPECT_EQ(s->lastError, "the render was cancelled");
  // The second start renders; the third, of version b after OK, is stopped:
  // OK ends nothing and b's file stays.
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), std::min<uint32_t>(Sample(Read(a), 0, 0, 0) + 10, 255));
  driver_.Press(FourCC("Aler"), 1);
  EXPECT_LT(s->doOK(), 0);
  SetRenderStartWatcher(nullptr);
  EXPECT_EQ(starts, 3);
  EXPECT_EQ(Bytes(Read(b)), fileB);
  EXPECT_EQ(edit_->posted(), 0u);
  EXPECT_EQ(edit_->ended, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The render reports its share as it goes, to the window's meter: the image read row by row,
// the operation's loops band by band, the planes written back. The reports only rise and end
// at the whole; a render cancelled as it starts reports nothing.
TEST_F(RenderRoadTest, TheRenderReportsItsShareInOrderToTheEnd) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(120, 90, 1))});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  std::vector<int32_t> reports;
  SetRenderProgressWatcher([&](int32_t parts) { reports.push_back(parts); });
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  ASSERT_GE(reports.size(), 90u);  // at least a report a row read
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_EQ(std::adjacent_find(reports.begin(), reports.end()), reports.end());
  EXPECT_LT(reports.front(), plat::ProgressMeter::kWhole / 50);
  EXPECT_EQ(reports.back(), plat::ProgressMeter::kWhole);
  reports.clear();
  SetRenderStartWatcher([] { CancelRender(); });
  EXPECT_LT(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  SetRenderStartWatcher(nullptr);
  SetRenderProgressWatcher(nullptr);
  EXPECT_TRUE(reports.empty());
}

// A combined-layer file of one active operation on the composite: the radial blur at the
// largest the image tools offer, a spin of 100 samples about the picture's far corner.
void WriteRadialBlurLayers(const std::string& path) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
  s.SetEffect(0, 1, 1, 83, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetToChannel(0, 1, 1, 2);
  s.SetParam1(0, 1, 1, 100);
  s.SetParam2(0, 1, 1, 100);
  s.SetParam3(0, 1, 1, 100);
  s.SetParam4(0, 1, 1, 1);
  s.SetOpa(0, 1, 1, 255);
  vmktest::SaveLayerFile(s, path);
}

struct ThreadCountFor {
  explicit ThreadCountFor(int n) { plat::SetThreadCount(n); }
  ~ThreadCountFor() { plat::SetThreadCount(0); }
};

// The reports of the road's renders, and Cancel pressed at the first report of `stopAt` or
// more (never, with 0); `stoppedAt` the index of that report.
struct RoadReports {
  std::vector<int32_t> reports;
  int32_t stoppedAt = -1;
  explicit RoadReports(int32_t stopAt) {
    SetRenderProgressWatcher([this, stopAt](int32_t parts) {
      reports.push_back(parts);
      if (stopAt > 0 && parts >= stopAt && stoppedAt < 0) {
        stoppedAt = static_cast<int32_t>(reports.size()) - 1;
        CancelRender();
      }
    });
  }
  ~RoadReports() { SetRenderProgressWatcher(nullptr); }
};

// The radial blur at its largest through OK's road: its share of the bar rises band by band
// (16 rows a band, 16 bands), never more than a band's worth at once; Cancel pressed halfway
// through it ends the render there: nothing is reported after it at one thread (no more than
// a report a thread had begun at four), the picture is as it was and the session says why.
TEST_F(RenderRoadTest, TheRadialBlurAtItsLargestMovesTheBarAndStopsAtCancel) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(320, 256, 1))});
  WriteRadialBlurLayers(bundle_.file("radial.lay"));
  const std::vector<uint8_t> shown = Bytes(s->destination);
  constexpr int32_t kWhole = plat::ProgressMeter::kWhole;
  {
    const ThreadCountFor one(1);
    RoadReports road(0);
    ASSERT_EQ(s->RenderLayerFile(bundle_.file("radial.lay")), 0);
    // The operation's share: the render's part of the road past the loading of the planes.
    std::vector<int32_t> inside;
    for (const int32_t p : road.reports)
      if (p > kWhole / 10 && p <= kWhole * 85 / 100) inside.push_back(p);
    EXPECT_GE(inside.size(), 15u);
    for (size_t i = 1; i < road.reports.size(); ++i)
      EXPECT_LE(road.reports[i] - road.reports[i - 1], kWhole / 16) << i;
    EXPECT_EQ(road.reports.back(), kWhole);
  }
  s->doBack();
  ASSERT_EQ(Bytes(s->destination), shown);
  for (const int threads : {1, 4}) {
    const ThreadCountFor count(threads);
    RoadReports road(kWhole / 2);
    EXPECT_LT(s->RenderLayerFile(bundle_.file("radial.lay")), 0) << threads;
    ASSERT_GE(road.stoppedAt, 0) << threads;
    EXPECT_LE(road.reports.size() - static_cast<size_t>(road.stoppedAt) - 1,
              static_cast<size_t>(threads - 1))
        << threads;
    EXPECT_LT(road.reports.back(), kWhole * 85 / 100) << threads;
    EXPECT_EQ(Bytes(s->destination), shown) << threads;
    EXPECT_EQ(s->lastError, "the render was cancelled");
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// Cancel pressed once the render is over, while the planes are written back: the write-back
// and the mix stop there (nothing more is reported), and the picture is as it was.
TEST_F(RenderRoadTest, CancelWhileWritingBackStopsTheWriteBack) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(120, 90, 1))});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  const std::vector<uint8_t> shown = Bytes(s->destination);
  RoadReports road(plat::ProgressMeter::kWhole * 86 / 100);
  EXPECT_LT(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  ASSERT_GE(road.stoppedAt, 0);
  EXPECT_EQ(road.reports.size(), static_cast<size_t>(road.stoppedAt) + 1);
  EXPECT_EQ(Bytes(s->destination), shown);
  EXPECT_EQ(s->lastError, "the render was cancelled");
}

// Every version renders before any is written: Cancel in the last render leaves every file
// and the versions folder byte for byte, and the session on the image it showed.
TEST_F(RenderRoadTest, CancelInTheLastVersionsRenderWritesNoVersion) {
  const std::string a = Version("a.tif", vmktest::PatternImage(5, 3, 1));
  const std::string b = Version("b.tif", vmktest::SolidImage(3, 2, 100, 100, 100));
  const std::string c = Version("c.png", vmktest::SolidImage(2, 3, 50, 60, 70), plat::imageio::kTypePNG);
  CarbonEditPlugin* s = Start({a, b, c});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  const std::vector<uint8_t> shown = Bytes(s->destination);
  auto folder = [&] {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (const auto& e : std::filesystem::directory_iterator(bundle_.file("")))
      if (e.is_regular_file()) files.emplace_back(e.path().string(), vmktest::ReadBytes(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
  };
  const auto before = folder();
  int starts = 0;
  SetRenderStartWatcher([&] {
    if (++starts == 2) CancelRender();  // the render of c, the last
  });
  driver_.Press(FourCC("Aler"), 1);
  EXPECT_LT(s->doOK(), 0);
  SetRenderStartWatcher(nullptr);
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(folder(), before);
  EXPECT_EQ(Bytes(s->destination), shown);
  EXPECT_EQ(s->destination.width(), 5u);
  EXPECT_EQ(edit_->posted(), 0u);

  // Confirmed again without a cancel, all three are written.
  driver_.Press(FourCC("Aler"), 1);
  ASSERT_EQ(s->doOK(), 0);
  EXPECT_EQ(Sample(Read(a), 0, 0, 0), std::min<uint32_t>(vmktest::PatternImage(5, 3, 1).row(0)[0] + 10, 255));
  EXPECT_EQ(Sample(Read(b), 0, 0, 0), 110u);
  EXPECT_EQ(Sample(Read(c), 0, 0, 2), 80u);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RenderRoadTest, DamagedLayerFileLeavesTheImage) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30))});
  vmktest::WriteText(bundle_.file("bad.lay"), "not layers");
  EXPECT_LT(s->RenderLayerFile(bundle_.file("bad.lay")), 0);
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 10u);
  EXPECT_FALSE(s->lastError.empty());
}

TEST_F(RenderRoadTest, ThreeVersionsAskOnceAndAreAllRendered) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 10, 10));
  const std::string b = Version("b.tif", vmktest::SolidImage(3, 2, 100, 100, 100));
  const std::string c = Version("c.tif", vmktest::SolidImage(2, 3, 250, 250, 250), plat::imageio::kTypePNG);
  CarbonEditPlugin* s = Start({a, b, c});
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  s->doOpaMod(50, 1);  // the others get the same opacity and mode
  driver_.Press(FourCC("Aler"), 1);
  ASSERT_EQ(s->doOK(), 0);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(Sample(Read(a), 1, 1, 0), (10u * 128 + 127 * 20) / 255);
  EXPECT_EQ(Sample(Read(b), 2, 1, 2), (100u * 128 + 127 * 110) / 255);
  EXPECT_EQ(Sample(Read(c), 1, 2, 1), (250u * 128 + 127 * 255) / 255);
  EXPECT_EQ(edit_->RunPosted(), 1);
  EXPECT_EQ(edit_->ended, 1);
}

}  // namespace

namespace {

class EffectButtonsTest : public vmktest::HostTest {};

TEST_F(EffectButtonsTest, AnUnconfirmedEffectRendersNothing) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30))});
  // Layers of an earlier effect are in the scratch file: a cancelled (or
  // absent) dialog must not apply them again. The combination's dialog is
  // cancelled (its library update declined first).
  vmktest::WriteBrightnessLayers(bundle_.makersFile("com.vellmarkstead.lay"), 10);
  driver_.Press(FourCC("Updt"), 2).Press(FourCC("Cima"), 2);
  s->UIFilter(92);
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 10u);
  EXPECT_EQ(gPer->currentEffect, 92);
  // The photo repeat's dialog, after its choice of window, is cancelled too.
  driver_.Press(FourCC("BaAd"), 1).Advance(0.1).Press(FourCC("Prep"), 102);
  s->UIFilter(41);
  EXPECT_EQ(Sample(s->destination, 0, 0, 0), 10u);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

class BlendSweepTest : public vmktest::HostTest {};

// The mix by table against the blend written out per sample, for every mode.
TEST_F(BlendSweepTest, EveryModeMatchesThePlainMix) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(64, 16, 1))});
  PixelBuffer render(64, 16, 1, 4);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t i = 0; i < 64 * 4; ++i) render.rowPtr(y)[i] = static_cast<uint8_t>(i * 37 + y * 101);
  for (int16_t mode = 1; mode <= 12; ++mode) {
    for (int16_t opacity : {0, 33, 99}) {
      s->filtered = render;
      s->OpaModAPEimage(0, 0, 64, 16, opacity, mode);
      const int32_t a = static_cast<int32_t>(opacity * 2.55 + 0.5);
      for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 64; ++x)
          for (int k = 0; k < 3; ++k) {
            const int32_t src = static_cast<int32_t>(Sample(s->source, x, y, k));
            const int32_t f = static_cast<int32_t>(Sample(render, x, y, k));
            unsigned char c = static_cast<unsigned char>(f);
            X_optionRPart(&c, static_cast<uint32_t>(mode), src, f);
            ASSERT_EQ(Sample(s->destination, x, y, k), static_cast<uint32_t>((src * (255 - a) + a * c) / 255))
                << mode << " " << opacity;
          }
    }
  }
}

}  // namespace

namespace {

class SessionFailuresTest : public vmktest::HostTest {};

TEST_F(SessionFailuresTest, AVersionThatCannotBeRenderedIsNamedAndLeft) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 10, 10));
  const std::string b = Version("b.tif", vmktest::SolidImage(2, 2, 50, 50, 50));
  const std::vector<uint8_t> bBefore = vmktest::ReadBytes(b);
  CarbonEditPlugin* s = Start({a, b});
  vmktest::WriteText(bundle_.makersFile("com.vellmarkstead.lay"), "damaged layers");
  Fill(s->destination, 99);
  driver_.Press(FourCC("Aler"), 1);
  ASSERT_EQ(s->doOK(), 0);
  EXPECT_EQ(Sample(Read(a), 0, 0, 0), 99u);
  EXPECT_EQ(vmktest::ReadBytes(b), bBefore);
  ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
  EXPECT_NE(driver_.ui().alertRequests[0].params[1].find(b), std::string::npos);
  EXPECT_EQ(edit_->RunPosted(), 1);
}

TEST_F(SessionFailuresTest, NoMemoryForTheSessionRecordGivesNoWindow) {
  const std::string a = Version("a.tif", vmktest::SolidImage(2, 2, 10, 10, 10));
  vmktest::NoWorkMemory none;
  CarbonEditPlugin* s = Start({a});
  none.End();
  EXPECT_EQ(s->mainWindow, nullptr);
  EXPECT_EQ(s->editWindow(), nullptr);
}

}  // namespace
