// Every effect number of the script, rendered at its defaults on one 257 x 193 picture as
// one plane and as the composite: the same bytes twice, the same bytes after the script
// went through a combined-layer file and through a script record, a change to the picture
// unless the number is an identity at its defaults, and a hash of the composite that must
// match the golden table in tests/fixtures (scripts/update-render-golden rewrites it). A
// second sweep offers every stored form of each number's script, cut short and with single
// bytes changed, to its reader: each read renders or fails with -1 leaving the caller's
// script as it was.
#include <algorithm>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "paths/path_list.h"
#include "platform/memory/memory.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"
#include "script/effect_registries.h"
#include "script/effect_table.h"
#include "script/script_file.h"
#include "script/script_record_file.h"
#include "support/image_fixtures.h"
#include "support/session.h"
#include "sweep_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kW = 257, kH = 193;
// The crash sweep renders what it reads on a small picture: what it looks for is a crash.
constexpr int32_t kSmallW = 40, kSmallH = 30;
constexpr int32_t kCuts = 64, kByteChanges = 256;
// Damaged reads that differ from the valid one are rendered, the first 16 of each stored
// form: the grid warp and the resize engine take a second or more for one render of a
// damaged record, and every read is still checked.
constexpr int32_t kDamagedRenders = 16;
// The combined-layer file holds all 256 stacks and its reader opens the file for each record,
// so a read costs some hundred times a script record's: its sweep is a quarter as dense,
// which keeps the whole program within a minute on eight cores. (Its reader meets the full
// damaged-file sweep in test_engines.)
constexpr int32_t kCombinedCuts = 16, kCombinedByteChanges = 64;
// A grid warp record is stored at 23 MB: its forms are cut and changed an eighth as often
// again, as each offer writes and reads the whole file.
constexpr size_t kLargeForm = 1 << 20;
constexpr int32_t kLargeCuts = 8, kLargeByteChanges = 16;

struct Reason {
  int16_t effect;
  const char* why;
};

// Numbers that render nothing by definition.
const Reason kRendersNothing[] = {
    {1, "family key of the effect lists, no operation"},
    {31, "family key, no operation"},
    {35, "sent to the one-plane dispatch, which has no case for it"},
    {36, "sent to the one-plane dispatch, which has no case for it"},
    {45, "family key, no operation"},
    {46, "loading of an effect list is a file command, no operation"},
    {49, "the super gradient reaches the one-plane dispatch and renders nothing"},
    {51, "accepted by the two-plane dispatch, which has no case for it"},
    {57, "family key, no operation"},
    {59, "family key, no operation"},
    {62, "family key, no operation"},
    {64, "accepted by the two-plane dispatch, never routed there"},
    {65, "sharpen has a one-plane case the render loop does not route"},
    {66, "unsharp mask has a one-plane case the render loop does not route"},
    {67, "deblur has a one-plane case the render loop does not route"},
    {70, "high pass has a one-plane case the render loop does not route"},
    {73, "sent to the one-plane dispatch, which has no case for it"},
    {74, "sent to the one-plane dispatch, which has no case for it"},
    {76, "family key, no operation"},
    {89, "family key, no operation"},
    {93, "sent to the one-plane dispatch, which has no case for it"},
    {114, "family key, no operation"},
    {115, "family key, no operation"},
    {116, "family key, no operation"},
    {117, "family key, no operation"},
    {118, "the image-effect tool window, no operation"},
};

// Numbers that render but leave the picture as it was at SetEffect's defaults. The engine
// entries were found so by this sweep: their default records change nothing.
const Reason kIdentityAtDefaults[] = {
    {2, "replaces the composite by itself at full strength"},
    {14, "levels from 0 to 255 map every sample to itself"},
    {16, "a brightness shift of 0"},
    {17, "contrast and brightness of 0"},
    {26, "loads the layer's paths from a file; no pixel changes"},
    {30, "bends the current paths into an envelope; no pixel changes"},
    {54, "flip with neither direction set"},
    {60, "channel levels all 0"},
    {68, "noise reduction with every parameter 0"},
    {80, "the cast shadow inverts the full default mask by default, so it has no strength anywhere"},
    {85, "the lens blur's contrast strength defaults to 0, so its one step is skipped"},
    {94, "the backdrop never reads its record: it blends the picture with its own copy"},
    {95, "a twirl of angle 0"},
    {96, "saves the planes for a later recall; the picture is not changed"},
    {97, "recalls planes that no operation of this render saved"},
    {99, "the default ramp's opacity row is all 255 and weights the old sample, so painted samples keep their value"},
    {102, "the default grid is the regular lattice"},
    {103, "the default colour correction is neutral"},
    {104, "the default colour correction is neutral"},
    {105, "the default colour correction is neutral"},
    {111, "the composition never reads its record: it blends the picture with its own copy"},
    {119, "the default colour correction is neutral"},
};

// Numbers whose parameter record has no block in the stored script forms: read back, the
// operation renders at its record's defaults, so its stored forms are not compared.
const Reason kRecordNotStored[] = {
    {50, "the screen record (its image file among it) is not one of the stored forms' blocks"},
};

template <size_t N>
const char* Find(const Reason (&list)[N], int32_t effect) {
  for (const Reason& r : list)
    if (r.effect == effect) return r.why;
  return nullptr;
}

// --- The picture ---------------------------------------------------------------------------

struct Picture {
  int32_t w = 0, h = 0;
  Bytes rgba, extra6, extra89;
};

// A smooth picture with edges: gradients, a disc and a few bars, so that blurs, edges and
// tone changes all have something to act on.
Picture MakePicture(int32_t w, int32_t h) {
  Picture p;
  p.w = w;
  p.h = h;
  const size_t n = static_cast<size_t>(w) * h;
  p.rgba.resize(4 * n);
  p.extra6.resize(n);
  p.extra89.resize(n);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      const int32_t dx = x - w / 2, dy = y - h / 2;
      const bool disc = dx * dx + dy * dy < (h / 3) * (h / 3);
      const bool bar = (x / 16) % 5 == 1;
      p.rgba[4 * i] = static_cast<uint8_t>(disc ? 230 - y / 2 : 20 + 200 * x / w);
      p.rgba[4 * i + 1] = static_cast<uint8_t>(bar ? 40 : 30 + 190 * y / h);
      p.rgba[4 * i + 2] = static_cast<uint8_t>((x * 3 + y * 5 + (disc ? 90 : 0)) & 255);
      p.rgba[4 * i + 3] = 255;
      p.extra6[i] = static_cast<uint8_t>(255 * x / w);
      p.extra89[i] = static_cast<uint8_t>(disc ? 255 : 64);
    }
  return p;
}

uint64_t Fnv(const Bytes& b) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t v : b) h = (h ^ v) * 1099511628211ull;
  return h;
}

// --- The scripts ---------------------------------------------------------------------------

// The process's session, content library and the files the operations read.
class SweepWorld {
 public:
  SweepWorld() {
    RegisterEffectFamilies();
    makers_ = dir_.path() / "Maker";
    content_ = vmktest::MakeContentLibrary((makers_ / "Vellmarkstead").string());
    const vmktest::RawImage tile = vmktest::PatternImage(64, 48, 1);
    vmktest::WriteImageFile(dir_.file("picture.tif"), plat::imageio::kTypeTIFF, tile);
    Record(&picture_, dir_.file("picture.tif"), FourCC("TIFF"));
    Record(&paths_, dir_.file("paths.vec"), FourCC("pAth"));
    Record(&envelope_, dir_.file("envelope.env"), FourCC("pAth"));
  }
  bool content() const { return content_; }
  vmktest::TempDir& dir() { return dir_; }
  const std::filesystem::path& makers() const { return makers_; }
  // The paths every layer of the sweep has: an ellipse and a rectangle beside it.
  static void AddPaths(CPathList* list, int32_t w, int32_t h) {
    list->objPar.w[kObjCentreX] = w / 3;
    list->objPar.w[kObjCentreY] = h / 2;
    list->objPar.w[kObjBoxWidth] = w / 3;
    list->objPar.w[kObjBoxHeight] = h / 2;
    list->objPar.w[kObjOutlineOffset] = 0;
    list->fct_crea_ellipse(0);
    list->AddPath(0);
    list->current->CreaPathof_xpts(4, 1);
    list->fct_calc_Rect(list->current, 0.6f * w, 0.2f * h, 0.9f * w, 0.7f * h);
    list->ActivateAll(0);
  }
  // The path file of 26 and the envelope of 30, written once the script exists (they are
  // written in its area).
  void WritePathFiles(ScriptFile& s) {
    CPathList list(0);
    AddPaths(&list, s.areaWidth / 2, s.areaHeight);
    list.DefaultPath(0, &paths_, s.areaWidth, s.areaHeight);
    CPathList env(0);
    env.AddPath(0);
    env.current->CreaPathof_xpts(4, 1);
    // A trapezoid: the top narrower than the bottom.
    env.fct_calc_Rect(env.current, 0.0f, 0.0f, 400.0f, 400.0f);
    env.current->first->x = 100.0f;
    env.current->first->next->x = 300.0f;
    File_kern file(&envelope_);
    file.CreateFile();
    file.S_close();
    s.SaveEnvelopPath(&file, &env, 0, 0, 400, 400);
  }
  void WritePathFilesOnce(ScriptFile& s) {
    if (pathFilesWritten_) return;
    WritePathFiles(s);
    pathFilesWritten_ = true;
  }
  const fichier* FileFor(int16_t effect) const {
    if (effect == 26) return &paths_;
    if (effect == 30) return &envelope_;
    return &picture_;
  }

 private:
  void Record(fichier* f, const std::string& path, OSType type) {
    Init_FicStruct(f);
    SetFicFromPosix(f, path);
    f->type = type;
  }
  vmktest::TempDir dir_;
  std::filesystem::path makers_;
  bool content_ = false;
  bool pathFilesWritten_ = false;
  fichier picture_, paths_, envelope_;
};

SweepWorld* gWorld = nullptr;

// A file record of the sweep's content library.
fichier ContentFile(const char* relative) {
  fichier f;
  Init_FicStruct(&f);
  SetFicFromPosix(&f, (gWorld->makers() / "Vellmarkstead" / relative).string());
  return f;
}

// The effects whose defaults name no content file get the files a user picks first, so that
// their renders are pinned like the others: a screen image, a brush, two combined pictures.
void NameContentFiles(ScriptFile& s, int16_t effect) {
  if (effect == 50) {
    auto screen = std::make_unique<ScreenPar>();
    s.GetScreenPar(0, 1, 1, screen.get());
    screen->w[kScrImageMode] = 0;
    screen->images[0] = ContentFile("Tiles/screen_dot.tif");
    s.SetScreenPar(0, 1, 1, screen.get());
  } else if (effect == 82) {
    auto strokes = std::make_unique<StrokPar>();
    s.GetStrokPar(0, 1, 1, strokes.get());
    strokes->brushes[0] = ContentFile("Sprays/brush_round_soft.tif");
    s.SetStrokPar(0, 1, 1, strokes.get());
  } else if (effect == 92) {
    auto combination = std::make_unique<CombImaPar>();
    s.GetCombImaPar(0, 1, 1, combination.get());
    const fichier first = ContentFile("Images/generic.tif");
    const fichier second = ContentFile("Images/sunset.jpg");
    AddCombIma(combination.get(), 0, &first);
    AddCombIma(combination.get(), 1, &second);
    s.SetCombImaPar(0, 1, 1, combination.get());
  }
}

enum class Planes { kOne, kThree };

std::unique_ptr<ScriptFile> NewScript(int16_t effect, Planes planes, int32_t w, int32_t h) {
  auto s = std::make_unique<ScriptFile>();
  if (s->I_ScriptFile(3, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1) != 0) return nullptr;
  s->previewScaleX = s->previewScaleY = 1.0f;
  s->SetDrwVal(0, 0, 1, 1, 0, 0);
  gWorld->WritePathFilesOnce(*s);
  SweepWorld::AddPaths(s->GetStack(0)->GetLaye(1)->paths, w, h);
  s->SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
  s->SetAct(0, 1, 1, 1);
  const bool three = planes == Planes::kThree;
  s->SetFromChannel(0, 1, 1, three ? 2 : 3);
  s->SetToChannel(0, 1, 1, three ? 2 : 4);
  const EffectRow& row = EffectRowOf(effect);
  if ((row.uses & kUsesFileRecord) != 0) s->SetFileOprn(0, 1, 1, gWorld->FileFor(effect));
  // The records an effect's dialog gives its operation when it is confirmed: the stored
  // forms always carry them, and without them these numbers render nothing.
  if ((row.uses & kUsesColourMatrix) != 0) {
    std::vector<int32_t> matrix(kColMatCells);
    s->GetColMat(0, 1, 1, matrix.data());
  }
  if ((row.uses & kUsesColourRamp) != 0) {
    auto lut = std::make_unique<LutVign>();
    s->GetLutVign(0, 0, 1, 1, lut.get());
    s->SetLutVign(0, 1, 1, lut.get());
  }
  if (effect == 43) {
    auto plaid = std::make_unique<PlaidPar>();
    s->GetPlaidPar(0, 1, 1, plaid.get());
    s->SetPlaidPar(0, 1, 1, plaid.get());
  }
  NameContentFiles(*s, effect);
  return s;
}

// Planes 3, 4, 5 after a render of stack 0.
Bytes RenderPlanes(ScriptFile& s, const Picture& p) {
  // Effects that draw random numbers draw them from a fixed start, as a test fixes them.
  plat::SeedRandom(20261207);
  s.Render(0, 0, 0, p.rgba.data(), p.extra6.data(), p.extra89.data(), 0, 0);
  const size_t n = static_cast<size_t>(s.planeWidth) * s.planeHeight;
  Bytes out;
  for (int32_t c = 3; c <= 5; ++c) {
    const uint8_t* plane = s.ChannelPlane(c, 0);
    if (plane != nullptr) out.insert(out.end(), plane, plane + n);
  }
  return out;
}

Bytes InputPlanes(const Picture& p) {
  const size_t n = static_cast<size_t>(p.w) * p.h;
  Bytes out(3 * n);
  for (size_t c = 0; c < 3; ++c)
    for (size_t i = 0; i < n; ++i) out[c * n + i] = p.rgba[4 * i + c];
  return out;
}

Laye* Layer1(ScriptFile& s) { return s.GetStack(0)->GetLaye(1); }

// --- The stored forms ----------------------------------------------------------------------

enum class Stored { kScript, kLayer, kCombined };
const char* NameOf(Stored k) {
  return k == Stored::kScript ? "script record" : k == Stored::kLayer ? "layer record" : "combined-layer file";
}

fichier FileAt(const std::string& path) {
  fichier f;
  Init_FicStruct(&f);
  SetFicFromPosix(&f, path);
  return f;
}

// The stored form of the script, through its own writer; empty when the writer failed.
Bytes Store(ScriptFile& s, Stored kind) {
  const std::string path = gWorld->dir().file("stored.bin");
  std::filesystem::remove(path);
  fichier f = FileAt(path);
  File_kern file(&f);
  Laye* l = Layer1(s);
  int32_t r = -1;
  if (kind == Stored::kScript) {
    r = s.SaveScript(l->oprnCount, l->firstOprn, &file, nullptr, 0, 0, nullptr, 1);
  } else if (kind == Stored::kLayer) {
    int32_t pos = 0;
    if (file.CreateFile() == 0) {
      file.S_close();
      r = s.SaveLay(0, &file, l, &pos);
    }
  } else {
    r = s.SaveCombiLay(&file, 0, nullptr);
  }
  return r == 0 ? vmktest::ReadBytes(path) : Bytes();
}

// Offers the bytes to the reader of their kind, into `s`.
int32_t Read(ScriptFile& s, Stored kind, const Bytes& bytes) {
  const std::string path = gWorld->dir().file("offered.bin");
  vmktest::WriteBytes(path, bytes);
  fichier f = FileAt(path);
  File_kern file(&f);
  Laye* l = Layer1(s);
  if (kind == Stored::kScript)
    return s.RecallScript(1, &l->oprnCount, &l->firstOprn, &file, 0, nullptr, nullptr, nullptr,
                          nullptr, nullptr, 1.0f, 1.0f, 1);
  if (kind == Stored::kLayer) {
    int32_t pos = 0;
    return s.RecallLay(&file, l, &pos, 0);
  }
  int32_t value = 0;
  return s.RecallCombiLay(&file, 2, &value, nullptr);
}

// --- The tests -------------------------------------------------------------------------------

class EffectSweep : public ::testing::TestWithParam<int16_t> {
 protected:
  static void SetUpTestSuite() { gWorld = new SweepWorld; }
  static void TearDownTestSuite() {
    delete gWorld;
    gWorld = nullptr;
  }
  void SetUp() override {
    plat::SetTimeSeedFunction([] { return 77u; });
    ASSERT_TRUE(gWorld->content()) << "the content library could not be made";
    ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, gWorld->makers().string()));
    // The session's photo is the sweep's picture: stored parameters keep their values.
    gPer->previewWidth = kW;
    gPer->previewHeight = kH;
    // Swap files of the image operations go to the sweep's own folder.
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, gWorld->dir().path().string()));
  }
  void TearDown() override { plat::SetTimeSeedFunction(nullptr); }
  vmktest::ScopedSession session_;
  vmktest::ScopedAppData app_;
};

std::string Label(int16_t n) { return "effect " + std::to_string(n) + " (" + sweep::EffectName(n) + ")"; }

TEST_P(EffectSweep, Renders) {
  const int16_t n = GetParam();
  const Picture picture = MakePicture(kW, kH);
  const Bytes input = InputPlanes(picture);
  if (const char* why = Find(kRendersNothing, n)) {
    const EffectRow& row = EffectRowOf(n);
    EXPECT_TRUE(row.route == EffectRoute::kNone || row.group == CaseGroup::kNoCase ||
                row.route == EffectRoute::kOnePlaneNotRouted ||
                row.route == EffectRoute::kTwoPlaneNotRouted)
        << Label(n) << " is listed as rendering nothing, but the effect table routes it";
    for (Planes planes : {Planes::kOne, Planes::kThree}) {
      auto s = NewScript(n, planes, kW, kH);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(RenderPlanes(*s, picture), input) << Label(n) << " renders nothing: " << why;
    }
    return;
  }

  for (Planes planes : {Planes::kOne, Planes::kThree}) {
    const char* form = planes == Planes::kOne ? "one plane" : "three planes";
    auto s = NewScript(n, planes, kW, kH);
    ASSERT_NE(s, nullptr);
    const Bytes once = RenderPlanes(*s, picture);
    if (!s->MissingCases().empty()) {
      std::cout << Label(n) << ": no render case registered in this build\n";
      GTEST_SKIP() << Label(n) << " has no render case yet";
    }
    EXPECT_EQ(RenderPlanes(*s, picture), once) << Label(n) << ", " << form << ": a second render differs";

    for (Stored kind : {Stored::kCombined, Stored::kScript}) {
      const Bytes stored = Store(*s, kind);
      ASSERT_FALSE(stored.empty()) << Label(n) << ": the " << NameOf(kind) << " was not written";
      auto back = NewScript(n, planes, kW, kH);
      ASSERT_EQ(Read(*back, kind, stored), 0) << Label(n) << ": the " << NameOf(kind) << " was not read";
      if (Find(kRecordNotStored, n) != nullptr) continue;
      EXPECT_EQ(RenderPlanes(*back, picture), once)
          << Label(n) << ", " << form << ": renders differently after its " << NameOf(kind);
    }
    if (planes == Planes::kOne) continue;

    const bool identity = Find(kIdentityAtDefaults, n) != nullptr;
    if (identity) {
      // The golden hash pins what it renders; the list only explains the hash of the input.
      if (once != input)
        std::cout << Label(n) << " is listed as an identity at its defaults but now changes the "
                  << "picture: take it off the list\n";
    } else {
      EXPECT_NE(once, input) << Label(n) << " leaves the picture as it was";
    }
    const uint64_t hash = Fnv(once);
    if (sweep::Flags().updateGolden) sweep::Rendered()[n] = hash;
    if (sweep::Flags().contactSheet) {
      sweep::Thumb t;
      t.effect = n;
      t.width = kW;
      t.height = kH;
      const size_t px = static_cast<size_t>(kW) * kH;
      t.rgb.resize(3 * px);
      for (size_t i = 0; i < px; ++i)
        for (size_t c = 0; c < 3; ++c) t.rgb[3 * i + c] = once[c * px + i];
      sweep::WriteEffectPng(t);
      sweep::Thumbs().push_back(std::move(t));
    }
    if (sweep::Flags().updateGolden) continue;
    static const sweep::GoldenTable golden = sweep::ReadGolden(sweep::GoldenPath());
    const auto it = golden.find(n);
    if (it == golden.end()) {
      std::cout << Label(n) << ": no golden entry yet (hash " << std::hex << std::setw(16)
                << std::setfill('0') << hash << std::dec
                << "); scripts/update-render-golden adds it\n";
    } else {
      EXPECT_EQ(hash, it->second)
          << Label(n) << " renders differently from its golden hash; if the change is meant, "
          << "run scripts/update-render-golden and commit tests/fixtures/effect_render_golden.txt";
    }
  }
}

// Everything a reader may change in the caller's script, in memory: the head, and for every
// stack its layers' fields, paths and operations (their stored record, and the addresses of
// the chains, so that a reader that swapped in an equal copy is seen too).
void Put(Bytes* b, uint64_t v, size_t bytes) {
  for (size_t k = 0; k < bytes; ++k) b->push_back(static_cast<uint8_t>(v >> (8 * k)));
}

Bytes Snapshot(ScriptFile& s) {
  Bytes b;
  Put(&b, static_cast<uint32_t>(s.width), 4);
  Put(&b, static_cast<uint32_t>(s.height), 4);
  Put(&b, static_cast<uint64_t>(s.resolution * 1000.0f), 8);
  for (int16_t k = 0; k < ScriptFile::kStacks; ++k) {
    const LayerFile* st = s.GetStack(k);
    Put(&b, reinterpret_cast<uintptr_t>(st->firstLaye), sizeof(uintptr_t));
    Put(&b, static_cast<uint16_t>(st->layerCount), 2);
    Put(&b, static_cast<uint32_t>(st->stackValue), 4);
    for (Laye* l = st->firstLaye; l != nullptr; l = l->next) {
      for (int16_t v : {l->LayFlag, l->active, l->lock, l->oprnCount}) Put(&b, static_cast<uint16_t>(v), 2);
      b.insert(b.end(), l->name, l->name + sizeof l->name);
      Put(&b, reinterpret_cast<uintptr_t>(l->paths), sizeof(uintptr_t));
      Put(&b, reinterpret_cast<uintptr_t>(l->firstOprn), sizeof(uintptr_t));
      if (l->paths != nullptr) Put(&b, static_cast<uint32_t>(l->paths->count), 4);
      if (l->firstOprn != nullptr) {
        Bytes ops;
        scriptrecord::BuildScriptRecord(s, 32767, l->firstOprn, fichier{}, nullptr, 0, 0, nullptr, 1, &ops);
        b.insert(b.end(), ops.begin(), ops.end());
      }
    }
  }
  return b;
}

// The first layer of stack 0, where the sweep's operation and paths are.
Bytes LayerImage(ScriptFile& s) {
  Laye* l = Layer1(s);
  Bytes b;
  if (l == nullptr) return b;
  Put(&b, static_cast<uint16_t>(l->active), 2);
  if (l->paths != nullptr) {
    Put(&b, static_cast<uint32_t>(l->paths->count), 4);
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    l->paths->GetBound(0, &x0, &y0, &x1, &y1);
    for (float v : {x0, y0, x1, y1}) Put(&b, static_cast<uint64_t>(static_cast<int64_t>(v * 64.0f)), 8);
  }
  if (l->firstOprn != nullptr)
    scriptrecord::BuildScriptRecord(s, 32767, l->firstOprn, fichier{}, nullptr, 0, 0, nullptr, 1, &b);
  return b;
}

// Every block of an effect's render refused in turn (the memory manager's failure hook): the
// render either stops at the effect's step saying that memory ran short, or renders exactly
// what it renders with memory to spare. No step passes off a refused block as done.
TEST_P(EffectSweep, EveryRefusedBlockFailsTheRenderOrChangesNothing) {
  const int16_t n = GetParam();
  if (Find(kRendersNothing, n) != nullptr) return;
  const Picture picture = MakePicture(kW, kH);
  for (Planes planes : {Planes::kOne, Planes::kThree}) {
    const char* form = planes == Planes::kOne ? "one plane" : "three planes";
    auto s = NewScript(n, planes, kW, kH);
    ASSERT_NE(s, nullptr);
    const Bytes complete = RenderPlanes(*s, picture);
    if (!s->MissingCases().empty()) GTEST_SKIP() << Label(n) << " has no render case yet";
    ASSERT_FALSE(s->Failure().has_value()) << Label(n) << ", " << form;
    // A few hundred blocks at most: the longest renders take thousands, in loops that
    // refuse the same way each time.
    for (int64_t nth = 0; nth < 300; ++nth) {
      const int64_t refusals = plat::RefusedBlockCount();
      plat::FailNthAllocation(nth);
      const Bytes rendered = RenderPlanes(*s, picture);
      plat::FailNthAllocation(-1);
      if (s->Failure().has_value()) {
        EXPECT_EQ(s->Failure()->effect, n) << Label(n) << ", " << form << ", block " << nth;
        EXPECT_TRUE(s->Failure()->memoryRefused()) << Label(n) << ", " << form << ", block " << nth;
        continue;
      }
      ASSERT_EQ(rendered, complete) << Label(n) << ", " << form << ": block " << nth
                                    << " refused and the render passed the step off as done";
      if (plat::RefusedBlockCount() == refusals) break;  // the render takes fewer blocks
    }
  }
}

TEST_P(EffectSweep, DamagedStoredFormsFailCleanlyOrRender) {
  const int16_t n = GetParam();
  const Picture small = MakePicture(kSmallW, kSmallH);
  std::mt19937 rng(static_cast<uint32_t>(n) * 7919u);
  for (Stored kind : {Stored::kScript, Stored::kLayer, Stored::kCombined}) {
    auto source = NewScript(n, Planes::kThree, kW, kH);
    ASSERT_NE(source, nullptr);
    const Bytes valid = Store(*source, kind);
    ASSERT_FALSE(valid.empty()) << Label(n) << ": the " << NameOf(kind) << " was not written";
    // The caller's script, made again after each read that changed it.
    std::unique_ptr<ScriptFile> caller;
    Bytes before;
    // The first layer as the valid file reads: a damaged file that reads the same renders
    // as the valid one, which the golden sweep covers.
    Bytes validLayer;
    {
      auto probe = NewScript(n, Planes::kThree, kSmallW, kSmallH);
      ASSERT_EQ(Read(*probe, kind, valid), 0) << Label(n) << ": the valid " << NameOf(kind);
      validLayer = LayerImage(*probe);
    }
    int32_t renders = 0;
    auto offer = [&](const Bytes& bytes, const std::string& what) {
      if (caller == nullptr) {
        caller = NewScript(n, Planes::kThree, kSmallW, kSmallH);
        before = Snapshot(*caller);
      }
      const int32_t r = Read(*caller, kind, bytes);
      if (r != 0) {
        EXPECT_EQ(r, -1) << Label(n) << ", " << NameOf(kind) << ", " << what;
        EXPECT_EQ(Snapshot(*caller), before)
            << Label(n) << ", " << NameOf(kind) << ", " << what << ": a failed read changed the script";
        return;
      }
      if (renders < kDamagedRenders && LayerImage(*caller) != validLayer) {
        RenderPlanes(*caller, small);
        ++renders;
      }
      caller.reset();
    };
    const bool combined = kind == Stored::kCombined;
    const bool large = valid.size() > kLargeForm;
    const int32_t cuts = large ? kLargeCuts : combined ? kCombinedCuts : kCuts;
    const int32_t changes = large ? kLargeByteChanges : combined ? kCombinedByteChanges : kByteChanges;
    for (int32_t k = 0; k < cuts; ++k) {
      const size_t keep = valid.size() * static_cast<size_t>(k) / static_cast<size_t>(cuts);
      offer(Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(keep)),
            "cut at " + std::to_string(keep));
    }
    for (int32_t k = 0; k < changes; ++k) {
      Bytes changed = valid;
      const size_t at = rng() % changed.size();
      changed[at] ^= static_cast<uint8_t>(1 + rng() % 255);
      offer(changed, "byte " + std::to_string(at) + " changed");
    }
  }
}

std::vector<int16_t> AllEffects() {
  std::vector<int16_t> v;
  for (int16_t n = 1; n <= kHighestEffect; ++n) v.push_back(n);
  return v;
}

INSTANTIATE_TEST_SUITE_P(Numbers, EffectSweep, ::testing::ValuesIn(AllEffects()),
                         [](const ::testing::TestParamInfo<int16_t>& info) {
                           return "Effect" + std::to_string(info.param);
                         });

// --- Stopped renders ------------------------------------------------------------------------

// The operations that run for seconds at their largest on a 6000 x 4000 photo, with the
// largest values the operation lists offer on the composite (Param1 .. Param5).
struct Largest {
  int16_t effect;
  int16_t params[5];
};
const Largest kLongest[] = {
    {83, {100, 100, 100, 1, 0}},          // radial blur: a spin of 100 samples about the corner
    {84, {500, 360, 0, 0, 0}},            // motion blur: streaks of 500
    {95, {1000, 100, 100, 0, 0}},         // twirl
    {91, {128, 0, 255, 255, 255}},        // contour lines: 128 levels
    {79, {255, 100, 100, 100, 2}},        // colour circle, diamond, dithered
    {24, {360, 100, 1, 0, 0}},            // image loaded with its relief and alpha
    {22, {100, 0, 0, 0, 0}},              // colour matrix at its largest noise
    {44, {255, 10, 128, 0, 0}},           // edges at their deepest
    {27, {255, 255, 0, 0, 0}},            // the layer's paths filled with the widest feather
};

class StoppedRender : public EffectSweep {};

// A render stopped as the operation first reports its progress ends there: at one thread the
// meter takes no further report and the planes are not the whole render's (the operation left
// its work unfinished rather than running on to its end); at three no more reports than a band
// a thread had begun.
TEST_P(StoppedRender, EndsAtTheFlag) {
  const Largest* row = nullptr;
  for (const Largest& l : kLongest) {
    if (l.effect == GetParam()) row = &l;
  }
  ASSERT_NE(row, nullptr);
  const int16_t n = row->effect;
  const Picture picture = MakePicture(kW, kH);
  auto make = [&] {
    auto s = NewScript(n, Planes::kThree, kW, kH);
    void (ScriptFile::*const set[5])(int16_t, int16_t, int16_t, int16_t) = {
        &ScriptFile::SetParam1, &ScriptFile::SetParam2, &ScriptFile::SetParam3,
        &ScriptFile::SetParam4, &ScriptFile::SetParam5};
    for (int k = 0; k < 5; ++k) (s.get()->*set[k])(0, 1, 1, row->params[k]);
    return s;
  };
  auto whole = make();
  ASSERT_NE(whole, nullptr);
  const Bytes complete = RenderPlanes(*whole, picture);
  ASSERT_NE(complete, InputPlanes(picture)) << Label(n) << " changes nothing at its largest";
  // Past the loading of the planes: the operation's own first report.
  const int32_t opening = static_cast<int32_t>(ScriptFile::kProgressLoadingShare * plat::ProgressMeter::kWhole);
  for (const int threads : {1, 3}) {
    plat::SetThreadCount(threads);
    plat::ProgressMeter meter;
    plat::CancelFlag flag;
    std::vector<int32_t> reports;
    size_t raisedAt = 0;
    meter.SetObserver([&](int32_t parts) {
      reports.push_back(parts);
      if (parts > opening && !flag.cancelled()) {
        raisedAt = reports.size();
        flag.Cancel();
      }
    });
    auto s = make();
    Bytes stopped;
    {
      const plat::CancelScope cancel(&flag);
      const plat::ProgressScope progress(&meter);
      stopped = RenderPlanes(*s, picture);
    }
    plat::SetThreadCount(0);
    ASSERT_TRUE(flag.cancelled()) << Label(n) << " reported nothing past the loading";
    EXPECT_LE(reports.size() - raisedAt, static_cast<size_t>(threads - 1)) << Label(n) << " at " << threads;
    if (threads == 1) {
      EXPECT_NE(stopped, complete) << Label(n) << " ran on to its end once stopped";
    }
  }
}

std::vector<int16_t> LongestEffects() {
  std::vector<int16_t> v;
  for (const Largest& l : kLongest) v.push_back(l.effect);
  return v;
}

INSTANTIATE_TEST_SUITE_P(AtTheirLargest, StoppedRender, ::testing::ValuesIn(LongestEffects()),
                         [](const ::testing::TestParamInfo<int16_t>& info) {
                           return "Effect" + std::to_string(info.param);
                         });

}  // namespace
