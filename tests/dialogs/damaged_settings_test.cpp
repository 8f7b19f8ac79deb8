// Settings files with words no dialog writes, kept in tests/fixtures/damaged/
// (the family's own file of its defaults with those words changed; this
// file checks them against the writer and, with VMK_WRITE_FIXTURES=1, makes
// them again): the readers accept them, and so a damaged settings file or a
// hostile preset reaches the dialog that edits them. Each is opened through
// that dialog as its settings file (read when the window opens) and as a
// preset of its popup: the first tick and redraw run over the words as
// stored, the popups that show them are held at their last item, the record keeps them as
// read, and OK writes them back unchanged. Under the sanitizer build
// (./test.sh --sanitize) nothing may overflow on the way.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/correction/grid_warp_dialog.h"
#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/fractal_dialog.h"
#include "dialogs/photo/photo_fixture.h"
#include "engines/correction/grid_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/fractal_record.h"
#include "platform/toolbox/toolbox.h"
#include "views/preview_engines.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kMost = std::numeric_limits<int32_t>::max();
constexpr int32_t kLeast = std::numeric_limits<int32_t>::min();

using Bytes = std::vector<uint8_t>;

std::filesystem::path Fixture(const std::string& name) {
  return std::filesystem::path(VMK_FIXTURES_DIR) / "damaged" / name;
}

FSSpec SpecForPosix(const std::filesystem::path& p) {
  fichier f;
  Init_FicStruct(&f);
  EXPECT_TRUE(SetFicFromPosix(&f, p.string())) << p;
  return SpecOf(f);
}

Bytes ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// The three records, each its family's defaults with the damaged words.
std::unique_ptr<FractPar> DamagedFractal() {
  auto r = std::make_unique<FractPar>();
  Init_FractPar(r.get(), 1, 0);
  r->entries[0].w[kFraColourMode] = kMost;
  r->entries[0].w[kFraBlur] = kMost;
  return r;
}

std::unique_ptr<GridPar> DamagedGrid() {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), 600, 400, 3, 3, 0, 3, 1, 1);
  r->head.w[kGpCurrent] = kMost;
  return r;
}

std::unique_ptr<BordPar> DamagedBorder() {
  auto r = std::make_unique<BordPar>();
  Init_BordPar(r.get(), 600, 400, 1, 1, 1, 1);
  r->head.width = kLeast;
  r->head.height = kLeast;
  return r;
}

// The records the previews were handed, as the engines would have read them.
std::vector<int32_t> gFractalModes, gGridCurrents, gBorderWidths;
int32_t SeeFractal(const vmkviews::PreviewCall& c) {
  gFractalModes.push_back(c.recordAs<FractPar>()->entries[0].w[kFraColourMode]);
  return 0;
}
int32_t SeeGrid(const vmkviews::PreviewCall& c) {
  gGridCurrents.push_back(c.recordAs<GridPar>()->head.w[kGpCurrent]);
  return 0;
}
int32_t SeeBorder(const vmkviews::PreviewCall& c) {
  gBorderWidths.push_back(c.recordAs<BordPar>()->head.width);
  return 0;
}

class DamagedSettings : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 100, SeeFractal);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, SeeBorder);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, SeeGrid);
    for (auto* seen : {&gFractalModes, &gGridCurrents, &gBorderWidths}) seen->clear();
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }

  // What the family's writer makes of `record` (Save... into a scratch file).
  template <class R>
  Bytes Written(int16_t (*file)(int16_t, FSSpec, R*), R* record, const std::string& extension) {
    const std::filesystem::path p = std::filesystem::path(bundle_.file("written"));
    driver_.ui().AnswerSaveFile(p.string());
    EXPECT_EQ(file(1, FSSpec{}, record), 0);
    return ReadAll(p.string() + extension);
  }
  // The fixture `name` as the writer makes it now, made again on request.
  void Check(const std::string& name, const Bytes& made) {
    ASSERT_FALSE(made.empty()) << name;
    if (std::getenv("VMK_WRITE_FIXTURES") != nullptr) WriteAll(Fixture(name), made);
    EXPECT_EQ(ReadAll(Fixture(name)), made) << name << ": run this test with VMK_WRITE_FIXTURES=1";
  }
  // The fixture as a dialog's settings file in the maker's folder, and as
  // the only preset of its type there.
  void Place(const std::string& name, const char* settings, const std::string& preset) {
    const Bytes b = ReadAll(Fixture(name));
    ASSERT_FALSE(b.empty()) << name;
    WriteAll(makers_ / settings, b);
    WriteAll(makers_ / preset, b);
  }
  static int32_t Value(tb::WindowRef w, OSType sig, int32_t id) {
    return tb::GetControl32BitValue(tb::FindControl(w, sig, id));
  }
  // The popup's last item, where a word past its items holds it.
  static int32_t Last(tb::WindowRef w, OSType sig, int32_t id) {
    return tb::GetControl32BitMaximum(tb::FindControl(w, sig, id));
  }
};

TEST_F(DamagedSettings, TheFixturesAreTheWritersFilesWithTheWordsChanged) {
  Check("fractal-mode-and-blur.hfra", Written(Do_AFract_file, DamagedFractal().get(), ".hfra"));
  auto grid = DamagedGrid();
  Check("grid-current.hxgr",
        Written<GridPar>([](int16_t m, FSSpec s, GridPar* r) { return Do_AGrid_file(m, s, r, 0, 0, 0, nullptr); },
                         grid.get(), ".hxgr"));
  // The border's file names its tiles' image files by path, which differs
  // from one test folder to the next: its words are compared once read.
  const Bytes border = Written(Do_ABordPar_file, DamagedBorder().get(), ".hbor");
  ASSERT_FALSE(border.empty());
  if (std::getenv("VMK_WRITE_FIXTURES") != nullptr) WriteAll(Fixture("border-picture-size.hbor"), border);
  // Each is taken by its reader with the words as written.
  auto fractal = std::make_unique<FractPar>();
  ASSERT_EQ(Do_AFract_file(2, SpecForPosix(Fixture("fractal-mode-and-blur.hfra")), fractal.get()), 0);
  EXPECT_EQ(fractal->entries[0].w[kFraColourMode], kMost);
  auto grid2 = std::make_unique<GridPar>();
  ASSERT_EQ(Do_AGrid_file(2, SpecForPosix(Fixture("grid-current.hxgr")), grid2.get(), 0, 0, 0, nullptr), 0);
  EXPECT_EQ(grid2->head.w[kGpCurrent], kMost);
  auto read = std::make_unique<BordPar>();
  ASSERT_EQ(Do_ABordPar_file(2, SpecForPosix(Fixture("border-picture-size.hbor")), read.get()), 0);
  auto damaged = DamagedBorder();
  EXPECT_EQ(std::memcmp(&read->head, &damaged->head, sizeof read->head), 0);
  EXPECT_EQ(std::memcmp(&read->layers[0].info, &damaged->layers[0].info, sizeof(BordInfo)), 0);
  EXPECT_EQ(std::memcmp(read->layers[0].tiles, damaged->layers[0].tiles, sizeof read->layers[0].tiles), 0);
}

// The colour mode and the blur at 7FFFFFFF: their popups hold at their last item, the
// preview and OK keep the words, through the settings file and the popup.
TEST_F(DamagedSettings, FractalModeAndBlurAtTheTopOfTheRange) {
  constexpr OSType kOrlf = FourCC("Orlf");
  constexpr int32_t kModePopup = 28, kBlurPopup = 29, kFilePopup = 26, kOk = 101;
  Place("fractal-mode-and-blur.hfra", "tmpvmkfract.hfa", "damaged.hfra");
  VMKorreluneUI d;
  driver_.Advance(0.6).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.current()->entries[0].w[kFraColourMode], kMost);
    EXPECT_EQ(d.current()->entries[0].w[kFraBlur], kMost);
    EXPECT_EQ(Value(w, kOrlf, kModePopup), Last(w, kOrlf, kModePopup));
    EXPECT_EQ(Value(w, kOrlf, kBlurPopup), Last(w, kOrlf, kBlurPopup));
  });
  // The preset over a record put back in range.
  driver_.Do([&](tb::WindowRef w) {
    d.current()->entries[0].w[kFraColourMode] = 1;
    d.current()->entries[0].w[kFraBlur] = 0;
    d.DrawWindowContent(w);
    EXPECT_EQ(Value(w, kOrlf, kModePopup), 2);
    EXPECT_EQ(Value(w, kOrlf, kBlurPopup), 1);
  });
  // Resting on the preset previews it; the record is back once the menu closes.
  driver_.Hover(kOrlf, kFilePopup, {1}).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.current()->entries[0].w[kFraColourMode], 1);
    EXPECT_EQ(Value(w, kOrlf, kModePopup), 2);
  });
  // Add takes the strip's selected file, the preset, into the record.
  driver_.Do([](tb::WindowRef w) {
    tb::Event e;
    e.eventClass = tb::kEventClassCommand;
    e.kind = tb::kEventCommandProcess;
    e.command = FourCC("Badd");
    tb::SendEventToEventTarget(&e, w);
  });
  driver_.Advance(0.6).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.current()->entries[0].w[kFraColourMode], kMost);
    EXPECT_EQ(Value(w, kOrlf, kModePopup), Last(w, kOrlf, kModePopup));
    EXPECT_EQ(Value(w, kOrlf, kBlurPopup), Last(w, kOrlf, kBlurPopup));
  });
  driver_.Advance(0.6).Press(kOrlf, kOk);
  EXPECT_EQ(d.Do_OrreluneDlg(0), 1);
  ASSERT_FALSE(gFractalModes.empty());
  EXPECT_EQ(gFractalModes.front(), kMost);
  auto kept = std::make_unique<FractPar>();
  ASSERT_EQ(Do_AFract_file(2, SpecForPosix(makers_ / "tmpvmkfract.hfa"), kept.get()), 0);
  EXPECT_EQ(kept->entries[0].w[kFraColourMode], kMost);
  EXPECT_EQ(kept->entries[0].w[kFraBlur], kMost);
  EXPECT_TRUE(driver_.errors().empty());
}

// The current grid at 7FFFFFFF names no grid: the grid popup holds at its last item,
// the grid's own controls show nothing, and the word stays.
TEST_F(DamagedSettings, GridWarpCurrentGridAtTheTopOfTheRange) {
  constexpr OSType kGrid = FourCC("Grid");
  constexpr OSType kAlert = FourCC("Aler");
  constexpr int32_t kGridPopup = 27, kGridOn = 53, kPresets = 61, kCancel = 102, kAlertClose = 1;
  Place("grid-current.hxgr", "tmpvmkplv.hgr", "damaged.hxgr");
  VMKgridUI d;
  driver_.Advance(0.6).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.editRecord()->head.w[kGpCurrent], kMost);
    EXPECT_EQ(d.CurrentGrid(), nullptr);
    EXPECT_EQ(Value(w, kGrid, kGridPopup), Last(w, kGrid, kGridPopup));
    EXPECT_EQ(Value(w, kGrid, kGridOn), 0);
  });
  driver_.Do([&](tb::WindowRef) { d.editRecord()->head.w[kGpCurrent] = 0; });
  driver_.Hover(kGrid, kPresets, {1}).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.editRecord()->head.w[kGpCurrent], 0);
    EXPECT_EQ(Value(w, kGrid, kGridPopup), 1);
  });
  driver_.Choose(kGrid, kPresets, 1).Advance(0.6).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.editRecord()->head.w[kGpCurrent], kMost);
    EXPECT_EQ(Value(w, kGrid, kGridPopup), Last(w, kGrid, kGridPopup));
  });
  driver_.Advance(0.6).Press(kGrid, kCancel).Press(kAlert, kAlertClose);
  EXPECT_EQ(d.Do_GridDlg(0), 0);
  for (int32_t current : gGridCurrents) EXPECT_TRUE(current == kMost || current == 0) << current;
  EXPECT_TRUE(driver_.errors().empty());
}

// A picture of -2^31 x -2^31 in the border's head: the dialog opens, draws
// and previews the record as read; OK writes the words back unchanged.
TEST_F(DamagedSettings, BorderPictureSizeAtTheFootOfTheRange) {
  constexpr OSType kCbor = FourCC("Cbor");
  constexpr int32_t kPresets = 9, kOk = 1;
  Place("border-picture-size.hbor", "tmpvmkpbo.hbr", "damaged.hbor");
  VMKmirrovanUI d;
  driver_.Advance(0.6).Do([&](tb::WindowRef) {
    EXPECT_EQ(d.current()->head.width, kLeast);
    EXPECT_EQ(d.current()->head.height, kLeast);
  });
  driver_.Do([&](tb::WindowRef) { d.current()->head.width = 600; });
  driver_.Hover(kCbor, kPresets, {1}).Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->head.width, 600); });
  driver_.Choose(kCbor, kPresets, 1).Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->head.width, kLeast); });
  driver_.Advance(1.2).Press(kCbor, kOk);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 1);
  ASSERT_FALSE(gBorderWidths.empty());
  EXPECT_EQ(gBorderWidths.back(), kLeast);
  auto kept = std::make_unique<BordPar>();
  ASSERT_EQ(Do_ABordPar_file(2, SpecForPosix(makers_ / "tmpvmkpbo.hbr"), kept.get()), 0);
  EXPECT_EQ(kept->head.width, kLeast);
  EXPECT_EQ(kept->head.height, kLeast);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
