// Steps whose files are gone, on every road a user takes: every step that reads a file renders
// with its file; with the file taken away the step fails, the user is told which step and which
// file, and nothing is applied (the picture as it was). Walked through OK's render of a layer
// file, then the combination dialog's OK, the layered editor's Render and OK and the image
// tools' preview and OK with a step whose file is gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/photo/combine_dialog.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/tessellation/photo_repeat_record.h"
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
    out.insert(out.end(), b.rowPtr(y), b.rowPtr(y) + b.width() * 4 * b.bytesPerComponent());
  return out;
}

fichier At(const std::string& path, OSType type = FourCC("TIFF")) {
  fichier f;
  Init_FicStruct(&f);
  EXPECT_TRUE(SetFicFromPosix(&f, path));
  f.type = type;
  return f;
}

// Where a step names the file it reads.
enum class Named {
  kOperation,    // the operation's own file record
  kBrush,        // the painter's first brush
  kPaper,        // the painter's paper
  kPicture,      // the combination's first picture
  kTexture,      // the texture of the combination's first picture
  kTile,         // the photo repeat's tile
};

struct FileStep {
  int16_t effect;
  Named named;
  const char* file;  // the file's name in the test's folder
};

// Every step that reads a file, each kind of file it reads: pictures, textures, frames,
// displacement maps, envelopes, brushes, papers and tiles. (The screen's cell images are kept in no
// stored form of a step, so no layer file names one; the engine's own tests take its image
// away.)
const FileStep kFileSteps[] = {
    {21, Named::kOperation, "map.tif"},      {24, Named::kOperation, "picture.tif"},
    {25, Named::kOperation, "texture.tif"},  {30, Named::kOperation, "envelope.env"},
    {38, Named::kOperation, "frame.tif"},    {39, Named::kOperation, "frame.tif"},
    {52, Named::kOperation, "relief.tif"},   {61, Named::kOperation, "frame.tif"},
    {75, Named::kOperation, "frame.tif"},
    {82, Named::kBrush, "brush.tif"},        {82, Named::kPaper, "paper.tif"},
    {92, Named::kPicture, "picture.tif"},    {92, Named::kTexture, "texture.tif"},
    {41, Named::kTile, "tile.tif"},
};

// The paths of layer 1: an ellipse and a rectangle beside it, for the envelope to bend.
void AddPaths(CPathList* list) {
  list->objPar.w[kObjCentreX] = kW / 3;
  list->objPar.w[kObjCentreY] = kH / 2;
  list->objPar.w[kObjBoxWidth] = kW / 3;
  list->objPar.w[kObjBoxHeight] = kH / 2;
  list->objPar.w[kObjOutlineOffset] = 0;
  list->fct_crea_ellipse(0);
  list->AddPath(0);
  list->current->CreaPathof_xpts(4, 1);
  list->fct_calc_Rect(list->current, 0.6f * kW, 0.2f * kH, 0.9f * kW, 0.7f * kH);
  list->ActivateAll(0);
}

// Names `file` as the step's file in operation 1 of layer 1.
void NameFile(ScriptFile& s, const FileStep& step, const fichier& file, const fichier& kept) {
  switch (step.named) {
    case Named::kOperation:
      s.SetFileOprn(0, 1, 1, &file);
      break;
    case Named::kBrush:
    case Named::kPaper: {
      auto strokes = std::make_unique<StrokPar>();
      s.GetStrokPar(0, 1, 1, strokes.get());
      (step.named == Named::kBrush ? strokes->brushes[0] : strokes->paper) = file;
      strokes->head.w[kStrPaperOpacity] = step.named == Named::kPaper ? 50 : 0;
      s.SetStrokPar(0, 1, 1, strokes.get());
      break;
    }
    case Named::kPicture:
    case Named::kTexture: {
      auto combination = std::make_unique<CombImaPar>();
      s.GetCombImaPar(0, 1, 1, combination.get());
      AddCombIma(combination.get(), 0, step.named == Named::kPicture ? &file : &kept);
      if (step.named == Named::kTexture) {
        CombImaInfo& info = combination->infos[0];
        info.textureOn = 1;
        info.textureAcross = 4;
        info.textureDown = 3;
        combination->textures[0] = file;
      }
      s.SetCombImaPar(0, 1, 1, combination.get());
      break;
    }
    case Named::kTile: {
      auto repeat = std::make_unique<RepPar>();
      s.GetRepPar(0, 1, 1, repeat.get());
      repeat->grid.w[kRepTileSource] = 1;
      repeat->tiles[0] = file;
      s.SetRepPar(0, 1, 1, repeat.get());
      break;
    }
  }
}

class UnreadableFilesTest : public vmktest::HostTest {
 protected:
  // The step's file at `path`: an envelope or a path file for the steps that read one, a
  // small picture for the others.
  void WriteFile(int16_t effect, const std::string& path) {
    if (effect != 26 && effect != 30) {
      vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, vmktest::PatternImage(24, 16, 2));
      return;
    }
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    fichier f = At(path, FourCC("pAth"));
    CPathList list(0);
    if (effect == 26) {
      AddPaths(&list);
      ASSERT_EQ(list.DefaultPath(0, &f, kW, kH), 0);
      return;
    }
    // An envelope: a trapezoid, its top narrower than its bottom.
    list.AddPath(0);
    list.current->CreaPathof_xpts(4, 1);
    list.fct_calc_Rect(list.current, 0.0f, 0.0f, 400.0f, 400.0f);
    list.current->first->x = 100.0f;
    list.current->first->next->x = 300.0f;
    File_kern file(&f);
    file.CreateFile();
    file.S_close();
    ASSERT_EQ(s.SaveEnvelopPath(&file, &list, 0, 0, 400, 400), 0);
  }
  // A layer file of the one step on the composite, its file named.
  void WriteLayers(const std::string& lay, const FileStep& step, const std::string& file) {
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    s.SetDrwVal(0, 0, 1, 1, 0, 0);
    AddPaths(s.GetStack(0)->GetLaye(1)->paths);
    s.SetEffect(0, 1, 1, step.effect, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetFromChannel(0, 1, 1, 2);
    s.SetToChannel(0, 1, 1, 2);
    s.SetMode(0, 1, 1, 0);
    s.SetOpa(0, 1, 1, 255);
    s.SetMChannel(0, 1, 1, 0);
    s.SetIntExt(0, 1, 1, 1);
    // A displacement and a relief that show; the others read their files at their defaults.
    if (step.effect == 21 || step.effect == 52) {
      s.SetParam1(0, 1, 1, 8);
      s.SetParam2(0, 1, 1, 8);
      s.SetParam3(0, 1, 1, 32);
      s.SetParam4(0, 1, 1, 32);
    }
    const fichier kept = At(bundle_.file("kept.tif"));
    NameFile(s, step, At(file, FourCC(step.effect == 26 || step.effect == 30 ? "pAth" : "TIFF")), kept);
    vmktest::SaveLayerFile(s, lay);
  }
  static std::string Label(const FileStep& step) {
    return "effect " + std::to_string(step.effect) + ", " + step.file;
  }
};

// Each step renders with its file; with the file taken away, OK's render fails at that step,
// says that it could not read which file, and leaves the picture as it was; with the file put
// back it renders again.
TEST_F(UnreadableFilesTest, EveryStepThatReadsAFileFailsWithoutItNamingIt) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  vmktest::WriteImageFile(bundle_.file("kept.tif"), plat::imageio::kTypeTIFF,
                          vmktest::SolidImage(16, 16, 200, 100, 50));
  for (const FileStep& step : kFileSteps) {
    SCOPED_TRACE(Label(step));
    const std::string file = bundle_.file(step.file);
    const std::string lay = bundle_.file("step.lay");
    WriteFile(step.effect, file);
    WriteLayers(lay, step, file);
    ASSERT_EQ(s->RenderLayerFile(lay), 0) << s->lastError;
    EXPECT_TRUE(s->failedStep.empty()) << s->failedStep;

    std::filesystem::remove(file);
    const std::vector<uint8_t> shown = Bytes(s->destination);
    EXPECT_EQ(s->RenderLayerFile(lay), -1);
    EXPECT_EQ(Bytes(s->destination), shown);
    EXPECT_EQ(s->failedStep.rfind("operation 1 (", 0), 0u) << s->failedStep;
    const std::string words = ") of layer 1 could not read its file \"" + file + "\"";
    ASSERT_GE(s->failedStep.size(), words.size());
    EXPECT_EQ(s->failedStep.substr(s->failedStep.size() - words.size()), words);
    EXPECT_EQ(s->lastError, "the layers of " + lay + " could not be rendered: " + s->failedStep);

    WriteFile(step.effect, file);
    EXPECT_EQ(s->RenderLayerFile(lay), 0) << s->lastError;
  }
  EXPECT_EQ(edit_->ended, 0);
}

// The path-file step is the one that goes on without its file, as it always has: it loads the
// paths that later steps of its layer fill, and without the file the layer keeps the paths it
// holds, which those steps fill as they would without the step.
TEST_F(UnreadableFilesTest, APathFileStepGoesOnWithoutItsFile) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  const FileStep step{26, Named::kOperation, "paths.vec"};
  const std::string file = bundle_.file(step.file);
  WriteFile(step.effect, file);
  WriteLayers(bundle_.file("paths.lay"), step, file);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("paths.lay")), 0) << s->lastError;
  std::filesystem::remove(file);
  EXPECT_EQ(s->RenderLayerFile(bundle_.file("paths.lay")), 0) << s->lastError;
  EXPECT_TRUE(s->failedStep.empty()) << s->failedStep;
}

// Layers read while a picture of theirs is gone, and saved again, still name the picture where
// it was: put back, the saved layers find it.
TEST_F(UnreadableFilesTest, LayersReadWhileTheirPictureIsGoneKeepWhereItWas) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  const FileStep step{24, Named::kOperation, "picture.tif"};
  const std::string file = bundle_.file(step.file);
  WriteLayers(bundle_.file("first.lay"), step, file);
  {
    ScriptFile read;
    ASSERT_EQ(read.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
    fichier f = At(bundle_.file("first.lay"));
    File_kern first(&f);
    int32_t value = 0;
    ASSERT_EQ(read.RecallCombiLay(&first, 2, &value, nullptr), 0);
    fichier* named = nullptr;
    ASSERT_NE(read.GetFileOprn(0, 1, 1, &named), nullptr);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(FicToPosix(*named), file);
    vmktest::SaveLayerFile(read, bundle_.file("again.lay"));
  }
  WriteFile(step.effect, file);
  const std::vector<uint8_t> shown = Bytes(s->destination);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("again.lay")), 0) << s->lastError;
  EXPECT_NE(Bytes(s->destination), shown);
}

// --- The windows' roads --------------------------------------------------------------------

class UnreadableFileRoadsTest : public UnreadableFilesTest {
 protected:
  // The alert of a render that failed at operation 1 for want of `file`.
  void ExpectToldOnce(const std::string& file) {
    ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
    const plat::ui::AlertRequest& alert = driver_.ui().alertRequests[0];
    ASSERT_EQ(alert.params.size(), 2u);
    EXPECT_EQ(alert.params[0], "The effect could not be rendered.");
    EXPECT_EQ(alert.params[1].rfind("Operation 1 (", 0), 0u) << alert.params[1];
    EXPECT_NE(alert.params[1].find("could not read its file \"" + file + "\". It was not applied"),
              std::string::npos)
        << alert.params[1];
  }
  // The painter in operation 1 of `s`'s layer, its first brush `brush`.
  static void PlantPainter(ScriptFile* s, int16_t stack, int16_t layer, const std::string& brush) {
    s->SetEffect(stack, layer, 1, 82, 0, 0, kW, kH);
    s->SetAct(stack, layer, 1, 1);
    s->SetFromChannel(stack, layer, 1, 2);
    s->SetToChannel(stack, layer, 1, 2);
    s->SetMode(stack, layer, 1, 0);
    s->SetOpa(stack, layer, 1, 255);
    auto strokes = std::make_unique<StrokPar>();
    s->GetStrokPar(stack, layer, 1, strokes.get());
    strokes->brushes[0] = At(brush);
    ASSERT_EQ(s->SetStrokPar(stack, layer, 1, strokes.get()), 0);
  }
};

// The combination dialog confirmed with a picture that is gone by then: the alert names it and
// the picture stays as it was.
TEST_F(UnreadableFileRoadsTest, TheCombinationDialogsOkNamesThePictureAndLeavesTheImage) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  const std::string gone = bundle_.file("gone.tif");
  const std::vector<uint8_t> shown = Bytes(s->destination);
  driver_.Press(FourCC("Updt"), 2)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(gVMKcima, nullptr);
        const fichier f = At(gone);
        AddCombIma(gVMKcima->record(), kCombImaMaxEntries, &f);
      })
      .Press(FourCC("Cima"), 3);
  s->UIFilter(92);
  EXPECT_EQ(Bytes(s->destination), shown);
  ExpectToldOnce(gone);
  EXPECT_EQ(edit_->ended, 0);
}

// The layered editor with a painter whose brush is gone: its Render shows the failure band
// naming the brush, its OK renders nothing over the picture and says why.
TEST_F(UnreadableFileRoadsTest, TheLayeredEditorsRenderAndOkNameTheBrush) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  ASSERT_NE(s->editWindow(), nullptr);
  tb::WindowRef main = s->mainWindow->window;
  const std::string gone = bundle_.file("gone.tif");
  const std::vector<uint8_t> shown = Bytes(s->destination);
  std::string band;
  driver_.Press(kApemainSig, 51)  // the texture button: the layered editor on family 117
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(gVMKpinmain, nullptr);
        DocData* doc = CurrentDocData();
        ASSERT_NE(doc, nullptr);
        PlantPainter(doc->script, 0, doc->currentLayer, gone);
      })
      .Press(FourCC("Main"), 49)  // Render
      .Advance(0.6)
      .Do([&](tb::WindowRef) { band = gVMKpinmain->mainView()->previewFailure(); })
      .Press(FourCC("Main"), 1);  // OK
  driver_.RunSteps(main);
  EXPECT_NE(band.find("could not read its file \"" + gone + "\""), std::string::npos) << band;
  EXPECT_EQ(band.rfind("The preview could not be rendered: operation 1 (", 0), 0u) << band;
  EXPECT_EQ(Bytes(s->destination), shown);
  ExpectToldOnce(gone);
}

// The image tools with a painter whose brush is gone: the preview's band names the brush, and
// OK applies nothing and says why.
TEST_F(UnreadableFileRoadsTest, TheImageToolsPreviewAndOkNameTheBrush) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(kW, kH, 1))});
  ASSERT_NE(s->editWindow(), nullptr);
  tb::WindowRef main = s->mainWindow->window;
  const std::string gone = bundle_.file("gone.tif");
  const std::vector<uint8_t> shown = Bytes(s->destination);
  std::string band;
  driver_.Press(kApemainSig, 52)  // the image tools button
      .Advance(0.1)
      .Do([&](tb::WindowRef w) {
        VMKtuneeff* e = gVMKtuneeff;
        ASSERT_NE(e, nullptr);
        PlantPainter(e->script, e->stack, e->layer, gone);
        e->currentOprn = 1;
        e->DrawWindowContent(w);
        e->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { band = gVMKtuneeff->previewView()->previewFailure(); })
      .Press(FourCC("Teff"), 1);
  driver_.RunSteps(main);
  EXPECT_NE(band.find("could not read its file \"" + gone + "\""), std::string::npos) << band;
  EXPECT_EQ(Bytes(s->destination), shown);
  ExpectToldOnce(gone);
}

}  // namespace
