// A preview that could not be rendered is told in its box: the box keeps the picture it showed
// and draws a notice across its bottom edge, until a preview is shown again. A preview that was
// stopped or overtaken is no failure.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/grid_record.h"
#include "platform/memory/memory.h"
#include "views/image_box_drawing.h"
#include "views/preview_engines.h"
#include "views/preview_job.h"

namespace vmktest {
namespace {

int32_t Failing(const vmkviews::PreviewCall&) {
  return -1;
}

int32_t Grey(const vmkviews::PreviewCall& call) {
  const size_t n = static_cast<size_t>(call.viewWidth) * call.viewHeight;
  std::memset(call.planes[0], 90, n);
  std::memset(call.planes[1], 90, n);
  std::memset(call.planes[2], 90, n);
  return 0;
}

struct HeldRunner : vmkviews::PreviewRunner {
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> jobs;
  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override {
    jobs.push_back(std::move(job));
  }
};

class PreviewFailureTest : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    box_.InitBuf(22);
    box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box_.SetRGBmode(1, 2, 4, 0, 0, 0);
    grid_ = std::make_unique<GridPar>();
    Init_GridPar(grid_.get(), 400, 300, 3, 3, 0, 3, 1, 1);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngines();
    BoxTest::TearDown();
  }
  void Preview(vmkviews::PreviewEngine engine) {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, engine);
    box_.SetGridPar(grid_.get(), 1, 5);
  }
  // A pixel of the band along the view's bottom edge, right of where its words end.
  uint32_t Band() {
    Redraw();
    const Rect r = plat::tb::GetControlBounds(view_);
    return Screen(r.right - 3, r.bottom - 9);
  }
  static bool DarkRed(uint32_t px) {
    return ((px >> 16) & 0xFF) > 128 && ((px >> 8) & 0xFF) == 0 && (px & 0xFF) == 0;
  }

  std::unique_ptr<GridPar> grid_;
};

// In line: the engine fails, the display keeps the last preview and the box says so; the
// next preview that renders takes the notice away.
TEST_F(PreviewFailureTest, AFailedEngineIsToldOverTheLastPreview) {
  Preview(Grey);
  const uint32_t shown = Display(10, 10);
  EXPECT_TRUE(box_.previewFailure().empty());
  EXPECT_FALSE(DarkRed(Band()));
  const int64_t previews = box_.previewsShown();
  Preview(Failing);
  EXPECT_EQ(box_.previewFailure(), "The preview could not be rendered.");
  EXPECT_EQ(box_.previewsShown(), previews);
  EXPECT_EQ(Display(10, 10), shown);
  EXPECT_TRUE(DarkRed(Band()));
  // For a person to look at: the box with its notice.
  plat::draw::Port port(box_.state().viewWidth, box_.state().viewHeight);
  box_.DrawContent(nullptr, nullptr, plat::draw::Context{&port, 0, 0, port.portRect});
  ASSERT_TRUE(QDir().mkpath(VMK_ARTEFACTS_DIR));
  const std::vector<uint32_t>& px = port.surface().pixels();
  const QImage shot(reinterpret_cast<const uchar*>(px.data()), port.surface().width(),
                    port.surface().height(), QImage::Format_RGB32);
  EXPECT_TRUE(shot.save(QString(VMK_ARTEFACTS_DIR) + "/preview-failed.png"));
  Preview(Grey);
  EXPECT_TRUE(box_.previewFailure().empty());
  EXPECT_FALSE(DarkRed(Band()));
}

// On a runner: a failed job is told when it comes back; one overtaken by a newer preview, or
// stopped, is not.
TEST_F(PreviewFailureTest, OnARunnerOnlyTheNewestFailedJobIsTold) {
  HeldRunner runner;
  box_.SetPreviewRunner(&runner);
  Preview(Failing);
  Preview(Failing);
  ASSERT_EQ(runner.jobs.size(), 2u);
  runner.jobs[0]->Run();
  box_.FinishPreview(*runner.jobs[0]);  // overtaken
  EXPECT_TRUE(box_.previewFailure().empty());
  runner.jobs[1]->MarkStale();
  runner.jobs[1]->Run();
  box_.FinishPreview(*runner.jobs[1]);  // stopped
  EXPECT_TRUE(box_.previewFailure().empty());
  Preview(Failing);
  ASSERT_EQ(runner.jobs.size(), 3u);
  runner.jobs[2]->Run();
  box_.FinishPreview(*runner.jobs[2]);
  EXPECT_EQ(box_.previewFailure(), "The preview could not be rendered.");
  box_.SetPreviewRunner(nullptr);
}

// A dialog's own render in the box says in its own words why it failed, and shows nothing;
// one that completes shows and takes the notice away.
TEST_F(PreviewFailureTest, ADialogsOwnRenderTellsItsOwnWords) {
  int shown = 0;
  auto failed = std::make_shared<vmkviews::PreviewJob>(
      &box_, [] { return false; }, [&] { ++shown; },
      [] { return std::string("The preview could not be rendered: why."); });
  failed->Run();
  box_.FinishPreview(*failed);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(box_.previewFailure(), "The preview could not be rendered: why.");
  auto done = std::make_shared<vmkviews::PreviewJob>(
      &box_, [] { return true; }, [&] { ++shown; });
  done->Run();
  box_.FinishPreview(*done);
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(box_.previewFailure().empty());
  // Without words of its own a failed render says what every failed preview says.
  auto plain = std::make_shared<vmkviews::PreviewJob>(
      &box_, [] { return false; }, [] {});
  plain->Run();
  box_.FinishPreview(*plain);
  EXPECT_EQ(box_.previewFailure(), "The preview could not be rendered.");
}

// A preview whose planes cannot be had never reaches its engine: the box says so over the last
// preview, and the next preview that renders takes the notice away.
TEST_F(PreviewFailureTest, APreviewWithoutMemoryForItsPlanesIsTold) {
  Preview(Grey);
  const uint32_t shown = Display(10, 10);
  const int64_t previews = box_.previewsShown();
  {
    // Smaller than one plane of the view, larger than anything else the preview takes.
    const int64_t before = plat::SetBlockLimit(int64_t{box_.state().viewWidth} * box_.state().viewHeight - 1);
    Preview(Grey);
    plat::SetBlockLimit(before);
  }
  EXPECT_EQ(box_.previewFailure(), "The preview could not be rendered: there is not enough memory for it.");
  EXPECT_EQ(box_.previewsShown(), previews);
  EXPECT_EQ(Display(10, 10), shown);
  EXPECT_TRUE(DarkRed(Band()));
  Preview(Grey);
  EXPECT_TRUE(box_.previewFailure().empty());
  EXPECT_EQ(box_.previewsShown(), previews + 1);
}

// The band's words in lines of the view's width (one unit a letter here): the longest run of
// whole words on each; past the last line allowed, cut at a word with an ellipsis; a word
// longer than a line alone, cut at a letter.
TEST(PreviewFailureBand, WordsBreakIntoLinesOfTheViewsWidth) {
  const auto letters = [](const std::string& line) { return static_cast<int32_t>(line.size()); };
  using Lines = std::vector<std::string>;
  EXPECT_EQ(vmkviews::BandLines("aaa bbb ccc", 11, 3, letters), (Lines{"aaa bbb ccc"}));
  EXPECT_EQ(vmkviews::BandLines("aaa bbb ccc", 10, 3, letters), (Lines{"aaa bbb", "ccc"}));
  EXPECT_EQ(vmkviews::BandLines("aaa  bbb ccc", 6, 3, letters), (Lines{"aaa", "bbb", "ccc"}));
  EXPECT_EQ(vmkviews::BandLines("aaa bbb ccc", 6, 2, letters), (Lines{"aaa", "bbb..."}));
  EXPECT_EQ(vmkviews::BandLines("aaa bbb ccc", 8, 1, letters), (Lines{"aaa..."}));
  EXPECT_EQ(vmkviews::BandLines("abcdefghij kl", 6, 3, letters), (Lines{"abc...", "kl"}));
  EXPECT_EQ(vmkviews::BandLines("abcdefghij", 2, 3, letters), (Lines{"..."}));
  EXPECT_TRUE(vmkviews::BandLines("", 6, 3, letters).empty());
}

}  // namespace
}  // namespace vmktest
