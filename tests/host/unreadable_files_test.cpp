// Steps whose files are gone, on every road a user takes: every step that reads a file renders
// with it; without it the step fails, the user is told which step and which file, and nothing is
// applied. Walked through OK's render of a layer file (the road of edit-host --layers too), then
// the combination dialog's OK, the layered editor's Render and OK and the image tools' preview
// and OK.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/photo/combine_dialog.h"
#include "dialogs/photo/repeat_dialog.h"
#include "dialogs/photo/tessellation_dialog.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "paths/path_list.h"
#include "script/document_data.h"
#include "views/image_box.h"

namespace {

namespace tb = plat::tb;
constexpr uint32_t kW = 200, kH = 140;

std::vector<uint8_t> Bytes(const PixelBuffer& b) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < b.height(); ++y)
    out.insert(out.end(), b.rowPtr(y), b.rowPtr(y) + b.width() * 4);
  return out;
}

fichier At(const std::string& path, OSType type = FourCC("TIFF")) {
  fichier f;
  EXPECT_TRUE(SetFicFromPosix(&f, path));
  f.type = type;
  return f;
}

// Where a step names its file: the operation's own record, or its engine record's first brush,
// paper, combined picture, texture of that picture, or tile (the repeat's; the tessellation's
// and the border's, in every slot).
enum class Named { kOperation, kBrush, kPaper, kPicture, kTexture, kTile };
struct FileStep {
  int16_t effect;
  Named named;
};
// Pictures, textures, frames, displacement maps, envelopes, brushes, papers and tiles. The
// screen's cell images are in no stored form of a step; its engine's test takes them away.
const FileStep kFileSteps[] = {
    {21, Named::kOperation}, {24, Named::kOperation}, {25, Named::kOperation},
    {30, Named::kOperation}, {38, Named::kOperation}, {39, Named::kOperation},
    {52, Named::kOperation}, {61, Named::kOperation}, {75, Named::kOperation},
    {82, Named::kBrush},     {82, Named::kPaper},     {92, Named::kPicture},
    {92, Named::kTexture},   {41, Named::kTile},      {58, Named::kTile},
    {106, Named::kTile}};

void AddPaths(CPathList* list) {
  list->AddPath(0);
  list->current->CreaPathof_xpts(4, 1);
  list->fct_calc_Rect(list->current, 0.2f * kW, 0.2f * kH, 0.7f * kW, 0.8f * kH);
  list->ActivateAll(0);
}

void NameFile(ScriptFile& s, const FileStep& step, const fichier& file, const fichier& kept) {
  const Named named = step.named;
  if (named == Named::kOperation) {
    s.SetFileOprn(0, 1, 1, &file);
  } else if (named == Named::kBrush || named == Named::kPaper) {
    auto strokes = std::make_unique<StrokPar>();
    s.GetStrokPar(0, 1, 1, strokes.get());
    (named == Named::kBrush ? strokes->brushes[0] : strokes->paper) = file;
    strokes->head.w[kStrPaperOpacity] = named == Named::kPaper ? 50 : 0;
    s.SetStrokPar(0, 1, 1, strokes.get());
  } else if (named == Named::kTile && step.effect == 58) {
    auto tessellation = std::make_unique<TessPar>();
    s.GetTessPar(0, 1, 1, tessellation.get());
    tessellation->head.w[kTessTileSource] = 2;
    for (fichier& tile : tessellation->tiles) tile = file;
    s.SetTessPar(0, 1, 1, tessellation.get());
  } else if (named == Named::kTile && step.effect == 106) {
    auto border = std::make_unique<BordPar>();
    s.GetBordPar(0, 1, 1, border.get());
    border->layers[0].info.kind = 1;
    for (fichier& tile : border->layers[0].files) tile = file;
    s.SetBordPar(0, 1, 1, border.get());
  } else if (named == Named::kTile) {
    auto repeat = std::make_unique<RepPar>();
    s.GetRepPar(0, 1, 1, repeat.get());
    repeat->grid.w[kRepTileSource] = 1;
    repeat->tiles[0] = file;
    s.SetRepPar(0, 1, 1, repeat.get());
  } else {
    auto combination = std::make_unique<CombImaPar>();
    s.GetCombImaPar(0, 1, 1, combination.get());
    AddCombIma(combination.get(), 0, named == Named::kPicture ? &file : &kept);
    if (named == Named::kTexture) {
      combination->infos[0].textureOn = 1;
      combination->infos[0].textureAcross = combination->infos[0].textureDown = 3;
      combination->textures[0] = file;
    }
    s.SetCombImaPar(0, 1, 1, combination.get());
  }
}

class UnreadableFilesTest : public vmktest::HostTest {
 protected:
  // The step's file: a path file (26), an envelope (30, a trapezoid) or a small picture.
  static void WriteFile(int16_t effect, const std::string& path) {
    if (effect != 26 && effect != 30)
      return vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF,
                                     vmktest::PatternImage(24, 16, 2));
    fichier f = At(path, FourCC("pAth"));
    CPathList list(0);
    AddPaths(&list);
    if (effect == 26) return (void)list.DefaultPath(0, &f, kW, kH);
    list.current->first->x = 100.0f;
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    File_kern file(&f);
    file.CreateFile();
    file.S_close();
    ASSERT_EQ(s.SaveEnvelopPath(&file, &list, 0, 0, kW, kH), 0);
  }
  // A layer file of the one step on the composite (its layer holding a path), its file named.
  void WriteLayers(const std::string& lay, const FileStep& step, const std::string& file) {
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    s.SetDrwVal(0, 0, 1, 1, 0, 0);
    AddPaths(s.GetStack(0)->GetLaye(1)->paths);
    s.SetEffect(0, 1, 1, step.effect, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetToChannel(0, 1, 1, 2);
    s.SetOpa(0, 1, 1, 255);
    const bool path = step.effect == 26 || step.effect == 30;
    NameFile(s, step, At(file, path ? FourCC("pAth") : FourCC("TIFF")),
             At(bundle_.file("kept.tif")));
    vmktest::SaveLayerFile(s, lay);
  }
};

// With the file the step renders; taken away, OK's render fails at the step naming the file and
// leaves the picture; put back, the step renders again.
TEST_F(UnreadableFilesTest, EveryStepThatReadsAFileFailsWithoutItNamingIt) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  WriteFile(24, bundle_.file("kept.tif"));
  const std::string lay = bundle_.file("step.lay"), file = bundle_.file("file.tif");
  for (const FileStep& step : kFileSteps) {
    SCOPED_TRACE(step.effect);
    WriteFile(step.effect, file);
    WriteLayers(lay, step, file);
    ASSERT_EQ(s->RenderLayerFile(lay), 0) << s->lastError;
    std::filesystem::remove(file);
    const std::vector<uint8_t> shown = Bytes(s->destination);
    EXPECT_EQ(s->RenderLayerFile(lay), -1);
    EXPECT_EQ(Bytes(s->destination), shown);
    const std::string words = ") of layer 1 could not read its file \"" + file + "\"";
    EXPECT_EQ(s->failedStep.rfind("operation 1 (", 0), 0u) << s->failedStep;
    EXPECT_TRUE(s->failedStep.ends_with(words)) << s->failedStep;
    EXPECT_EQ(s->lastError, "the layers of " + lay + " could not be rendered: " + s->failedStep);
    WriteFile(step.effect, file);
    EXPECT_EQ(s->RenderLayerFile(lay), 0) << s->lastError;
  }
}

// The path-file step goes on without its file, as it always has: its layer keeps the paths it
// holds for the steps after it. And layers read while their picture is gone, saved again, still
// name the picture where it was, so that put back it is found.
TEST_F(UnreadableFilesTest, APathFileStepGoesOnAndLayersReadWithoutTheirPictureKeepItsPlace) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  WriteLayers(bundle_.file("paths.lay"), {26, Named::kOperation}, bundle_.file("gone.vec"));
  EXPECT_EQ(s->RenderLayerFile(bundle_.file("paths.lay")), 0) << s->lastError;
  EXPECT_TRUE(s->failedStep.empty()) << s->failedStep;

  const std::string file = bundle_.file("picture.tif");
  WriteLayers(bundle_.file("first.lay"), {24, Named::kOperation}, file);
  ScriptFile read;
  ASSERT_EQ(read.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
  fichier f = At(bundle_.file("first.lay"));
  File_kern first(&f);
  int32_t value = 0;
  ASSERT_EQ(read.RecallCombiLay(&first, 2, &value, nullptr), 0);
  vmktest::SaveLayerFile(read, bundle_.file("again.lay"));
  WriteFile(24, file);
  const std::vector<uint8_t> shown = Bytes(s->destination);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("again.lay")), 0) << s->lastError;
  EXPECT_NE(Bytes(s->destination), shown);
}

// --- The windows' roads, each with a step whose picture is gone -----------------------------

class UnreadableFileRoadsTest : public vmktest::HostTest {
 protected:
  void SetUp() override {
    session_ = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
    ASSERT_NE(session_->editWindow(), nullptr);
    shown_ = Bytes(session_->destination);
  }
  // After OK: the picture as it was, and one alert naming the step and the file.
  void ExpectToldAndNotApplied() {
    EXPECT_EQ(Bytes(session_->destination), shown_);
    ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
    const std::vector<std::string>& words = driver_.ui().alertRequests[0].params;
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0], "The effect could not be rendered.");
    EXPECT_EQ(words[1].rfind("Operation 1 (", 0), 0u) << words[1];
    EXPECT_NE(words[1].find("could not read its file \"" + gone_ + "\". It was not applied"),
              std::string::npos)
        << words[1];
  }
  // The painter as operation 1 of a layer, its brush gone.
  void PlantPainter(ScriptFile* s, int16_t stack, int16_t layer) const {
    s->SetEffect(stack, layer, 1, 82, 0, 0, kW, kH);
    s->SetAct(stack, layer, 1, 1);
    s->SetToChannel(stack, layer, 1, 2);
    s->SetOpa(stack, layer, 1, 255);
    auto strokes = std::make_unique<StrokPar>();
    s->GetStrokPar(stack, layer, 1, strokes.get());
    strokes->brushes[0] = At(gone_);
    s->SetStrokPar(stack, layer, 1, strokes.get());
  }
  CarbonEditPlugin* session_ = nullptr;
  std::vector<uint8_t> shown_;
  const std::string gone_ = bundle_.file("gone.tif");
};

TEST_F(UnreadableFileRoadsTest, TheCombinationDialogsOk) {
  driver_.Press(FourCC("Updt"), 2)
      .Do([&](tb::WindowRef) {
        const fichier f = At(gone_);
        AddCombIma(gVMKcima->record(), kCombImaMaxEntries, &f);
      })
      .Press(FourCC("Cima"), 3);
  session_->UIFilter(92);
  ExpectToldAndNotApplied();
}

// The basic roads of the photo repeat and the tessellation: their choice of window, then their
// own dialog, whose tile file is gone. OK applies nothing and says why; Cancel then leaves.
TEST_F(UnreadableFileRoadsTest, TheRepeatsAndTessellationsBasicRoads) {
  const OSType kPrep = FourCC("Prep"), kQtss = FourCC("Qtss");
  driver_.Press(FourCC("BaAd"), 1)
      .Advance(0.1)
      .Do([&](tb::WindowRef) {
        RepPar* r = gVMKcastel->current();
        r->grid.w[kRepTileSource] = 1;
        r->tiles[0] = At(gone_);
      })
      .Press(kPrep, 101)
      .Press(kPrep, 102);
  session_->UIFilter(41);
  ExpectToldAndNotApplied();

  driver_.ui().alertRequests.clear();
  driver_.Press(FourCC("BaAd"), 1)
      .Advance(0.1)
      .Do([&](tb::WindowRef) {
        TessPar* r = gVMKquorlin->current();
        r->head.w[kTessTileSource] = 2;
        for (fichier& tile : r->tiles) tile = At(gone_);
      })
      .Press(kQtss, 1)
      .Press(kQtss, 2);
  session_->UIFilter(58);
  ExpectToldAndNotApplied();
}

// The band of the Render names the brush; OK applies nothing and says why.
TEST_F(UnreadableFileRoadsTest, TheLayeredEditorsRenderAndOk) {
  std::string band;
  driver_
      .Press(kApemainSig, 51)  // the texture button: the layered editor
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        PlantPainter(CurrentDocData()->script, 0, CurrentDocData()->currentLayer);
      })
      .Press(FourCC("Main"), 49)  // Render
      .Advance(0.6)
      .Do([&](tb::WindowRef) { band = gVMKpinmain->mainView()->previewFailure(); })
      .Press(FourCC("Main"), 1);
  driver_.RunSteps(session_->mainWindow->window);
  EXPECT_EQ(band.rfind("The preview could not be rendered: operation 1 (", 0), 0u) << band;
  EXPECT_NE(band.find("could not read its file \"" + gone_ + "\""), std::string::npos) << band;
  ExpectToldAndNotApplied();
}

TEST_F(UnreadableFileRoadsTest, TheImageToolsPreviewAndOk) {
  std::string band;
  driver_
      .Press(kApemainSig, 52)  // the image tools
      .Advance(0.1)
      .Do([&](tb::WindowRef w) {
        VMKtuneeff* e = gVMKtuneeff;
        PlantPainter(e->script, e->stack, e->layer);
        e->currentOprn = 1;
        e->DrawWindowContent(w);
        e->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { band = gVMKtuneeff->previewView()->previewFailure(); })
      .Press(FourCC("Teff"), 1);
  driver_.RunSteps(session_->mainWindow->window);
  EXPECT_NE(band.find("could not read its file \"" + gone_ + "\""), std::string::npos) << band;
  ExpectToldAndNotApplied();
}

}  // namespace
