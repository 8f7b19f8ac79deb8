// A session for the content-aware resize dialog: the colour-correction
// dialogs' session (bundle, application object, one document, the driver on
// the virtual clock) with a stand-in engine that records every preview it is
// handed, and helpers for records with masks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/correction/content_aware_dialog.h"
#include "dialogs/correction/dialog_fixture.h"
#include "engines/correction/resize_record.h"
#include "platform/toolbox/toolbox.h"
#include "views/preview_engines.h"

namespace vmktest {

inline constexpr OSType kYoxl = FourCC("Yoxl");
inline constexpr int32_t kYoxlOk = 101, kYoxlCancel = 102, kYoxlReset = 103, kYoxlLoad = 104, kYoxlSave = 105;
inline constexpr int32_t kYoxlFit = 109, kYoxlOneToOne = 110, kYoxlColours = 111;
inline constexpr int32_t kYoxlCopyPopup = 70, kYoxlOrderPopup = 71, kYoxlEnergyPopup = 72;
inline constexpr int32_t kMainWidth = 640, kNavWidth = 330;

// One preview handed to the content-aware engine.
struct YoxelRender {
  double at;
  int16_t mode;       // 0 source, 1 result, 2 whole picture
  int32_t viewWidth;  // 640 the main view, 330 the navigator
  std::vector<int32_t> words;
  int16_t protectSample;  // mask sample (3, 7) of each
  int16_t eraseSample;
  int32_t srcLeft, srcRight;  // the part of the picture laid out
};

class YoxelDialogTest : public ColCorDialogTest {
 public:
  static std::vector<YoxelRender>& YoxelRenders() {
    static std::vector<YoxelRender> renders;
    return renders;
  }
  // The main view's picture is a flat (30, 90, 150) in the source view and
  // (150, 90, 30) in the result view.
  static int32_t RecordYoxel(const vmkviews::PreviewCall& call) {
    const YoxelPar* r = call.recordAs<YoxelPar>();
    const size_t n = static_cast<size_t>(call.viewWidth) * static_cast<size_t>(call.viewHeight);
    const bool result = call.shorts[4] == 1;
    std::memset(call.planes[0], result ? 150 : 30, n);
    std::memset(call.planes[1], 90, n);
    std::memset(call.planes[2], result ? 30 : 150, n);
    const auto* w = reinterpret_cast<const int32_t*>(r);
    const int32_t at = 7 * r->maskWidth + 3;
    YoxelRenders().push_back({plat::ui::Now(), call.shorts[4], call.viewWidth, std::vector<int32_t>(w, w + 56),
                              r->protectMask != nullptr ? r->protectMask[at] : int16_t{-1},
                              r->removeMask != nullptr ? r->removeMask[at] : int16_t{-1}, call.srcRect[0],
                              call.srcRect[2]});
    return 0;
  }

 protected:
  void SetUp() override {
    ColCorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, RecordYoxel);
    YoxelRenders().clear();
  }
  // A new session on a picture of another size (the application object
  // registers the real engines again).
  void Restart(int16_t width, int16_t height) {
    Start(width, height);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, RecordYoxel);
    YoxelRenders().clear();
  }
  std::vector<YoxelRender> MainYoxelRenders() const {
    std::vector<YoxelRender> out;
    // Not the navigator's planes (the main view's own, or at and above 100 %
    // a zoomed part's).
    for (const YoxelRender& r : YoxelRenders())
      if (r.viewWidth != kNavWidth) out.push_back(r);
    return out;
  }
  // A record of the current picture with both masks made and painted with a
  // pattern of their own.
  static void MakeRecord(Yoxel& holder, int32_t width, int32_t height, int16_t seed) {
    Init_YoxelPar(holder.par, width, height, 300, 0, 5);
    Init_YoxelMsk(holder.par, 0);
    const int32_t n = holder.par->maskWidth * holder.par->maskHeight;
    for (int32_t i = 0; i < n; ++i) {
      holder.par->protectMask[i] = static_cast<int16_t>((i * 7 + seed) % 16385);
      holder.par->removeMask[i] = static_cast<int16_t>((i * 13 + 2 * seed) % 16385);
    }
  }
  // Words 0-45 and 48-55 and the masks' width x height samples.
  static bool SameYoxel(const YoxelPar& a, const YoxelPar& b) {
    const auto* wa = reinterpret_cast<const int32_t*>(&a);
    const auto* wb = reinterpret_cast<const int32_t*>(&b);
    if (!std::equal(wa, wa + 46, wb) || !std::equal(wa + 48, wa + 56, wb + 48)) return false;
    const int32_t n = a.maskWidth * a.maskHeight;
    for (const auto& [ma, mb] : {std::pair{a.protectMask, b.protectMask}, std::pair{a.removeMask, b.removeMask}}) {
      if ((ma == nullptr) != (mb == nullptr)) return false;
      if (ma != nullptr && !std::equal(ma, ma + n, mb)) return false;
    }
    return true;
  }
  std::string TempPath() const { return bundle_.makersFile("tmpvmkyxl.hyx"); }

  static std::string Text(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::GetControlText(plat::tb::FindControl(w, kYoxl, id));
  }
  static int32_t Value(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::GetControl32BitValue(plat::tb::FindControl(w, kYoxl, id));
  }
  static bool Visible(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::IsControlVisible(plat::tb::FindControl(w, kYoxl, id));
  }
  static bool Enabled(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::IsControlEnabled(plat::tb::FindControl(w, kYoxl, id));
  }
};

}  // namespace vmktest
