// A session for the photo-repeat dialog: the photo dialogs' session with
// the previews of effect 41 recorded rather than rendered, and repeat files
// written into the maker's folder by the family's own writer.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "dialogs/photo/repeat_dialog.h"
#include "engines/tessellation/photo_repeat_check.h"
#include "photo_fixture.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace vmktest {

// One preview of effect 41: the grid head handed to the box.
struct RepeatRender {
  int32_t grid[kRepHeadWords];
};

inline std::vector<RepeatRender>& RepeatRenders() {
  static std::vector<RepeatRender> renders;
  return renders;
}

inline int32_t RecordRepeat(const vmkviews::PreviewCall& call) {
  RepeatRender r{};
  std::memcpy(r.grid, call.recordAs<RepPar>()->grid.w, sizeof r.grid);
  RepeatRenders().push_back(r);
  return 0;
}

class RepeatDialogTest : public PhotoDialogTest {
 protected:
  static constexpr OSType kPrep = FourCC("Prep");
  static constexpr int32_t kOk = 101, kCancel = 102;

  void SetUp() override {
    PhotoDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, RecordRepeat);
    RepeatRenders().clear();
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, nullptr);
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }
  // A repeat file `name` in the maker's folder holding `record`.
  void SaveRepeat(const std::string& name, RepPar* record) {
    driver_.ui().AnswerSaveFile((makers_ / name).string());
    FSSpec none{};
    ASSERT_EQ(Do_ARepPar_file(1, none, record), 0) << name;
  }
  // A record of columns x rows whose first cell's opacity tells it apart.
  static std::unique_ptr<RepPar> Grid(int16_t columns, int16_t rows, int32_t opacity = 100) {
    auto r = std::make_unique<RepPar>();
    Init_RepPar(r.get(), 0, columns, rows);
    r->cells[0].w[kCellOpacity] = opacity;
    return r;
  }
  static bool Same(const RepPar& a, const RepPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
  // Cells whose word equals v.
  static int Count(const RepPar& r, int32_t word, int32_t v) {
    int n = 0;
    for (const RepInfo& c : r.cells) n += c.w[word] == v;
    return n;
  }
  static std::string Text(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::GetControlText(plat::tb::FindControl(w, kPrep, id));
  }
  static int32_t Value(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::GetControl32BitValue(plat::tb::FindControl(w, kPrep, id));
  }
  std::filesystem::path TempFile() const { return makers_ / "tmpvmkpre.hpr"; }
};

}  // namespace vmktest
