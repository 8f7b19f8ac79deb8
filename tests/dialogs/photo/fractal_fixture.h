// A session for the fractal dialog: the photo dialogs' session on a square
// picture of 500 x 500 (so the preview shows it at 1:1 and a click's place
// in the preview is a round fraction), with the previews of effect 100
// recorded rather than rendered, and fractal files written into the maker's
// folder by the family's own writer.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "dialogs/photo/fractal_dialog.h"
#include "photo_fixture.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace vmktest {

// One preview of effect 100: the width of the box's planes (500 for the
// main preview, less for a sample) and the first entry's words.
struct FractRender {
  int32_t viewWidth;
  int32_t words[kFractInfoWords];
  LutVign ramp;
};

inline std::vector<FractRender>& FractRenders() {
  static std::vector<FractRender> renders;
  return renders;
}

inline int32_t RecordFract(const vmkviews::PreviewCall& call) {
  FractRender r{call.viewWidth, {}, call.recordAs<FractPar>()->entries[0].ramp};
  std::memcpy(r.words, call.recordAs<FractPar>()->entries[0].w, sizeof r.words);
  FractRenders().push_back(r);
  return 0;
}

class FractalDialogTest : public PhotoDialogTest {
 protected:
  static constexpr OSType kOrlf = FourCC("Orlf");

  void SetUp() override {
    PhotoDialogTest::SetUp();
    Square(500);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 100, RecordFract);
    FractRenders().clear();
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 100, nullptr);
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }
  // The current document becomes a side x side picture.
  void Square(int16_t side) {
    record_.imageWidth = side;
    record_.imageHeight = side;
    record_.imageRect = Rect{0, 0, side, side};
    delete app_->appData.documents[0];
    app_->appData.documents[0] = new VMKdoc();
  }
  // Main previews (500 wide) so far.
  static std::vector<FractRender> MainRenders() {
    std::vector<FractRender> out;
    for (const FractRender& r : FractRenders())
      if (r.viewWidth == 500) out.push_back(r);
    return out;
  }
  // Sample previews (narrower than the main one) so far.
  static std::vector<FractRender> SampleRenders() {
    std::vector<FractRender> out;
    for (const FractRender& r : FractRenders())
      if (r.viewWidth < 500) out.push_back(r);
    return out;
  }
  // A fractal file `name` in the maker's folder holding `record`.
  void SaveFractal(const std::string& name, FractPar* record) {
    driver_.ui().AnswerSaveFile((makers_ / name).string());
    FSSpec none{};
    ASSERT_EQ(Do_AFract_file(1, none, record), 0) << name;
  }
  // A record of `type` whose first entry's iteration count tells it apart.
  static void Typed(FractPar* record, int16_t type, int32_t iterations) {
    Init_FractPar(record, type, 0);
    record->entries[0].w[kFraIterations] = iterations;
  }
  static bool Same(const FractPar& a, const FractPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
  static double Value(const FractPar& r, int32_t word) { return FractFixedValue(&r.entries[0].w[word]); }
  static std::pair<int32_t, int32_t> Pair(const FractPar& r, int32_t word) {
    return {r.entries[0].w[word], r.entries[0].w[word + 1]};
  }
  static std::string Text(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::GetControlText(plat::tb::FindControl(w, kOrlf, id));
  }
  // Where the preview's control lies in the window.
  static Rect PreviewFrame(plat::tb::WindowRef w) { return plat::tb::GetControlBounds(plat::tb::FindControl(w, kOrlf, 4)); }
};

}  // namespace vmktest
