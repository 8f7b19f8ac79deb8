// Two renders at once, and renders beside the interface thread's drawing: every round of a
// render on one thread gives the bytes it gives alone, whatever the other thread renders or
// draws meanwhile, and neither leaves anything in the other's drawing state (the current port,
// the session's drawing record).
//
// The session has a drawing record here, as the program's has, so that the path cases meet
// it as they do in the program. The defaults keep each test to a few seconds; for a longer run
// (best in a ThreadSanitizer tree at VMK_THREADS=1):
//   VMK_STRESS_ROUNDS   rounds (default 2; each test takes a multiple of it)
//   VMK_STRESS_ONLY     comma list of the effect numbers rendered first, or "all" (2 to 122)
//   VMK_STRESS_PARTNERS comma list of the effect numbers rendered beside them
//   VMK_STRESS_SAME     1: each effect beside itself too
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/draw_par_keeper.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "platform/draw/port.h"
#include "platform/random/random.h"
#include "script/effect_registries.h"
#include "script/effect_table.h"
#include "script/script_file.h"
#include "support/at_once.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int32_t kW = 257, kH = 193;

// The path cases and the steps that draw paths: the ones a drawing record reaches.
const std::vector<int16_t> kPathEffects = {26, 27, 28, 30, 61, 81, 82, 109, 110};

struct Picture {
  int32_t w = 0, h = 0;
  Bytes rgba, extra6, extra89;
};

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

// The files the scripts name: a picture, a path file (26) and an envelope (30), and the
// content library for the engines that read its tiles and brushes.
class World {
 public:
  World() {
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
  // An ellipse and a rectangle, active.
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
  void WritePathFiles(ScriptFile& s) {
    if (written_) return;
    written_ = true;
    CPathList list(0);
    AddPaths(&list, s.areaWidth / 2, s.areaHeight);
    list.DefaultPath(0, &paths_, s.areaWidth, s.areaHeight);
    CPathList env(0);
    env.AddPath(0);
    env.current->CreaPathof_xpts(4, 1);
    env.fct_calc_Rect(env.current, 0.0f, 0.0f, 400.0f, 400.0f);
    env.current->first->x = 100.0f;
    env.current->first->next->x = 300.0f;
    File_kern file(&envelope_);
    file.CreateFile();
    file.S_close();
    s.SaveEnvelopPath(&file, &env, 0, 0, 400, 400);
  }
  const fichier* FileFor(int16_t effect) const {
    if (effect == 26) return &paths_;
    if (effect == 30) return &envelope_;
    return &picture_;
  }
  fichier Content(const char* relative) const {
    fichier f;
    Init_FicStruct(&f);
    SetFicFromPosix(&f, (makers_ / "Vellmarkstead" / relative).string());
    return f;
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
  bool written_ = false;
  fichier picture_, paths_, envelope_;
};

World* gWorld = nullptr;
std::mutex gBuild;  // scripts are made one at a time (path files, content records)

void NameContentFiles(ScriptFile& s, int16_t effect) {
  if (effect == 50) {
    auto screen = std::make_unique<ScreenPar>();
    s.GetScreenPar(0, 1, 1, screen.get());
    screen->w[kScrImageMode] = 0;
    screen->images[0] = gWorld->Content("Tiles/screen_dot.tif");
    s.SetScreenPar(0, 1, 1, screen.get());
  } else if (effect == 82) {
    auto strokes = std::make_unique<StrokPar>();
    s.GetStrokPar(0, 1, 1, strokes.get());
    strokes->brushes[0] = gWorld->Content("Sprays/brush_round_soft.tif");
    s.SetStrokPar(0, 1, 1, strokes.get());
  } else if (effect == 92) {
    auto combination = std::make_unique<CombImaPar>();
    s.GetCombImaPar(0, 1, 1, combination.get());
    const fichier first = gWorld->Content("Images/generic.tif");
    const fichier second = gWorld->Content("Images/sunset.jpg");
    AddCombIma(combination.get(), 0, &first);
    AddCombIma(combination.get(), 1, &second);
    s.SetCombImaPar(0, 1, 1, combination.get());
  }
}

// A one-operation script of the effect at its defaults over a layer holding the two paths.
std::unique_ptr<ScriptFile> NewScript(int16_t effect, int32_t w = kW, int32_t h = kH) {
  const std::lock_guard<std::mutex> hold(gBuild);
  auto s = std::make_unique<ScriptFile>();
  if (s->I_ScriptFile(3, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1) != 0) return nullptr;
  s->previewScaleX = s->previewScaleY = 1.0f;
  s->SetDrwVal(0, 0, 1, 1, 0, 0);
  gWorld->WritePathFiles(*s);
  World::AddPaths(s->GetStack(0)->GetLaye(1)->paths, w, h);
  s->SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
  s->SetAct(0, 1, 1, 1);
  s->SetFromChannel(0, 1, 1, 2);
  s->SetToChannel(0, 1, 1, 2);
  const EffectRow& row = EffectRowOf(effect);
  if ((row.uses & kUsesFileRecord) != 0) s->SetFileOprn(0, 1, 1, gWorld->FileFor(effect));
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

// Planes 3 to 5 after the render.
Bytes Render(ScriptFile& s, const Picture& p, uint32_t seed, bool doSeed) {
  if (doSeed) plat::SeedRandom(seed);
  s.Render(0, 0, 0, p.rgba.data(), p.extra6.data(), p.extra89.data(), 0, 0);
  const size_t n = static_cast<size_t>(s.planeWidth) * s.planeHeight;
  Bytes out;
  for (int32_t c = 3; c <= 5; ++c) {
    const uint8_t* plane = s.ChannelPlane(c, 0);
    if (plane != nullptr) out.insert(out.end(), plane, plane + n);
  }
  return out;
}

Bytes Render(ScriptFile& s, const Picture& p) { return Render(s, p, 1, false); }

std::vector<int16_t> ListFromEnv(const char* name, std::vector<int16_t> fallback) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return fallback;
  std::vector<int16_t> out;
  if (std::string(v) == "all") {
    for (int16_t n = 2; n <= kHighestEffect; ++n) out.push_back(n);
    return out;
  }
  std::stringstream in(v);
  std::string item;
  while (std::getline(in, item, ','))
    if (!item.empty()) out.push_back(static_cast<int16_t>(std::stoi(item)));
  return out;
}

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::atoi(v) : fallback;
}

int Rounds() { return std::max(1, EnvInt("VMK_STRESS_ROUNDS", 2)); }

int32_t CountDiff(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return -1;
  int32_t n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

bool SameRecord(const DrawPar& a, const DrawPar& b) {
  return a.viewOffsetX == b.viewOffsetX && a.viewOffsetY == b.viewOffsetY && a.originX == b.originX &&
         a.originY == b.originY && a.scaleX == b.scaleX && a.scaleY == b.scaleY && a.mode == b.mode &&
         a.limit.top == b.limit.top && a.limit.left == b.limit.left && a.limit.bottom == b.limit.bottom &&
         a.limit.right == b.limit.right && a.port == b.port;
}

// A view's mapping: a 6000-pixel picture in a 1500-pixel view, panned.
DrawPar ViewMapping() {
  DrawPar view;
  Init_DrawPar(&view);
  view.viewOffsetX = 37.0f;
  view.viewOffsetY = 12.0f;
  view.originX = 5.0f;
  view.scaleX = view.scaleY = 4.0f;
  return view;
}

// Runs `work` on a second thread while this thread, as the interface's, repeats `draw` until
// the work is done; both start together.
template <typename Work, typename Draw>
void BesideTheInterface(Work work, Draw draw) {
  std::atomic<bool> started{false}, done{false};
  std::thread worker([&] {
    started.store(true);
    work();
    done.store(true);
  });
  while (!started.load()) std::this_thread::yield();
  while (!done.load()) draw();
  worker.join();
}

class TwoRendersAtOnce : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gWorld = new World; }
  static void TearDownTestSuite() {
    delete gWorld;
    gWorld = nullptr;
  }
  void SetUp() override {
    plat::SetTimeSeedFunction([] { return 77u; });
    ASSERT_TRUE(gWorld->content());
    ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, gWorld->makers().string()));
    gPer->previewWidth = kW;
    gPer->previewHeight = kH;
    Init_DrawPar(&drawPar_);
    gPer->drawPar = &drawPar_;
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, gWorld->dir().path().string()));
    ASSERT_EQ(plat::draw::GetPort(), nullptr);
  }
  void TearDown() override {
    gPer->drawPar = nullptr;
    plat::draw::SetPort(nullptr);
    plat::SetTimeSeedFunction(nullptr);
  }
  vmktest::ScopedSession session_;
  vmktest::ScopedAppData app_;
  DrawPar drawPar_{};
};

// Every listed effect beside every partner, each round against the effect rendered alone.
// Pairs of two effects whose bytes follow the seed set before the render are left out: each
// render starts from the process generator's table, which the other's hands back at its end,
// between this thread's seeding and its render.
TEST_F(TwoRendersAtOnce, EachRoundGivesTheBytesItGivesAlone) {
  const Picture picture = MakePicture(kW, kH);
  constexpr uint32_t kSeed = 20261207;
  const std::vector<int16_t> firsts = ListFromEnv("VMK_STRESS_ONLY", kPathEffects);
  const std::vector<int16_t> partners = ListFromEnv("VMK_STRESS_PARTNERS", {26, 27, 28, 81, 109, 110});
  const int rounds = Rounds();
  const bool same = EnvInt("VMK_STRESS_SAME", 0) != 0;

  std::map<int16_t, Bytes> ref;
  std::set<int16_t> seeded;
  std::set<int16_t> wanted(firsts.begin(), firsts.end());
  wanted.insert(partners.begin(), partners.end());
  for (int16_t n : wanted) {
    auto s = NewScript(n);
    ASSERT_NE(s, nullptr) << n;
    const Bytes a = Render(*s, picture, kSeed, true);
    if (!s->MissingCases().empty()) continue;
    auto t = NewScript(n);
    const Bytes b = Render(*t, picture, kSeed, true);
    ASSERT_EQ(a, b) << "effect " << n << " renders differently twice alone";
    if (Render(*t, picture, kSeed + 1, true) != a) seeded.insert(n);
    ref[n] = a;
  }

  int wrongPairs = 0;
  for (int16_t a : firsts) {
    if (ref.count(a) == 0) continue;
    std::vector<int16_t> ps = partners;
    if (same) ps.push_back(a);
    for (int16_t b : ps) {
      if (ref.count(b) == 0 || (b == a && !same)) continue;
      if (seeded.count(a) != 0 && seeded.count(b) != 0) continue;
      auto sa = NewScript(a);
      auto sb = NewScript(b);
      const Bytes& refA = ref.at(a);
      const Bytes& refB = ref.at(b);
      // Only an effect whose bytes follow the seed has the process generator seeded.
      const bool seedA = seeded.count(a) != 0, seedB = seeded.count(b) != 0;
      const int wrong = vmktest::WrongRoundsAtOnce(
          rounds, [&] { return Render(*sa, picture, kSeed, seedA) == refA; },
          [&] { return Render(*sb, picture, kSeed, seedB) == refB; });
      if (wrong != 0) {
        ++wrongPairs;
        ADD_FAILURE() << "effect " << a << " beside " << b << ": " << wrong << " of " << 2 * rounds
                      << " rounds differ from alone";
      }
    }
  }
  EXPECT_EQ(wrongPairs, 0);
}

// A path-fill (27) render on a worker while the interface thread draws a path overlay: the
// overlay lends the session's record the view's mapping and port and puts it back, as
// VMKimabox::DrawPaths and DrawOutline do. Afterwards the record is as it was, the fills
// gave their bytes alone, and the swept fill (28) renders as before.
TEST_F(TwoRendersAtOnce, OverlayBesidePathFillsLeavesTheSessionRecordAsItWas) {
  const Picture picture = MakePicture(kW, kH);
  DrawPar* shared = SessionDrawPar();
  ASSERT_EQ(shared, &drawPar_);
  const DrawPar initial = *shared;
  auto sweepAlone = NewScript(28);
  const Bytes sweepRef = Render(*sweepAlone, picture);
  auto fillAlone = NewScript(27);
  const Bytes fillRef = Render(*fillAlone, picture);

  plat::draw::Port port(64, 64);  // the view window's port
  const DrawPar view = ViewMapping();
  auto fill = NewScript(27);
  int wrong = 0;
  BesideTheInterface(
      [&] {
        for (int i = 0; i < Rounds() * 20; ++i) wrong += Render(*fill, picture) != fillRef;
      },
      [&] {
        DrawParKeeper keeper;
        SetDrawParAndPort(shared, &port, &view);
        std::this_thread::yield();  // the drawing
      });

  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(SameRecord(*shared, initial)) << "port " << (shared->port == &port ? "the view's" : "other")
                                            << ", scale " << shared->scaleX << " x " << shared->scaleY;
  auto sweepAfter = NewScript(28);
  EXPECT_EQ(Render(*sweepAfter, picture), sweepRef);
}

// The interface thread opens a window, makes its port current, draws, puts the previous port
// back and frees the port, as every box does, while a worker renders a "load paths" step (26),
// whose reader draws every path it reads. The render draws into none of the windows, the
// interface's current port stays its own, and each round gives the bytes of the render alone.
TEST_F(TwoRendersAtOnce, LoadPathBesideInterfaceDrawing) {
  const Picture picture = MakePicture(kW, kH);
  auto alone = NewScript(26);
  const Bytes ref = Render(*alone, picture);
  auto load = NewScript(26);
  plat::draw::Port home(16, 16);  // the port the interface thread has current throughout
  plat::draw::SetPort(&home);
  int touched = 0, lost = 0, wrong = 0, windows = 0;
  BesideTheInterface(
      [&] {
        EXPECT_EQ(plat::draw::GetPort(), nullptr) << "a worker starts with no port";
        for (int i = 0; i < Rounds() * 20; ++i) wrong += Render(*load, picture) != ref;
        EXPECT_EQ(plat::draw::GetPort(), nullptr);
      },
      [&] {
        auto port = std::make_unique<plat::draw::Port>(300, 200);  // a window opens
        const std::vector<uint32_t> before = port->surface().pixels();
        plat::draw::Port* previous = plat::draw::GetPort();
        plat::draw::SetPort(port.get());
        for (int k = 0; k < 50; ++k) {
          std::this_thread::yield();  // its drawing
          lost += plat::draw::GetPort() != port.get();
        }
        plat::draw::SetPort(previous);
        touched += port->surface().pixels() != before;
        ++windows;
      });  // the window closes
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(touched, 0) << "of " << windows << " windows were drawn into by the render";
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(plat::draw::GetPort(), &home);
  const std::vector<uint32_t>& px = home.surface().pixels();
  EXPECT_TRUE(std::all_of(px.begin(), px.end(), [](uint32_t p) { return p == 0xFFFFFFFFu; }));
}

// A preview's path and shape fills on a worker while the interface thread draws a path
// overlay: every round the bytes of the render alone.
TEST_F(TwoRendersAtOnce, PathFillsBesideAnOverlay) {
  const Picture picture = MakePicture(kW, kH);
  DrawPar* shared = SessionDrawPar();
  const DrawPar initial = *shared;
  plat::draw::Port port(64, 64);
  const DrawPar view = ViewMapping();
  for (int16_t n : ListFromEnv("VMK_STRESS_ONLY", {27, 28, 81, 109, 110})) {
    auto alone = NewScript(n);
    const Bytes ref = Render(*alone, picture);
    auto s = NewScript(n);
    int wrong = 0;
    BesideTheInterface(
        [&] {
          for (int i = 0; i < Rounds() * 5; ++i) wrong += Render(*s, picture) != ref;
        },
        [&] {
          DrawParKeeper keeper;
          SetDrawParAndPort(shared, &port, &view);
          std::this_thread::yield();
        });
    EXPECT_EQ(wrong, 0) << "effect " << n;
    EXPECT_TRUE(SameRecord(*shared, initial)) << "effect " << n;
  }
}

// What a view leaves in the session's record is not a render's business: rendered while the
// record holds a view's mapping and port, the path effects give the bytes they give with the
// record at its defaults, draw nothing into that port, and leave the record as it was.
TEST_F(TwoRendersAtOnce, PathEffectsIgnoreTheMappingAViewLent) {
  const Picture picture = MakePicture(kW, kH);
  plat::draw::Port port(300, 200);
  const std::vector<uint32_t> white = port.surface().pixels();
  for (int16_t n : kPathEffects) {
    Init_DrawPar(&drawPar_);
    auto plain = NewScript(n);
    const Bytes ref = Render(*plain, picture, 5, true);
    const DrawPar view = ViewMapping();
    SetDrawParAndPort(&drawPar_, &port, &view);
    const DrawPar lent = drawPar_;
    auto viewed = NewScript(n);
    EXPECT_EQ(CountDiff(Render(*viewed, picture, 5, true), ref), 0) << "bytes differ in effect " << n;
    EXPECT_TRUE(SameRecord(drawPar_, lent)) << "effect " << n;
    EXPECT_EQ(port.surface().pixels(), white) << "effect " << n;
  }
}

// A view's window closes while the session's record still names its port (as an overlay cut
// short would leave it); a later load-paths render alone neither draws into that port while it
// exists nor reads it once it is gone.
TEST_F(TwoRendersAtOnce, LoadPathAfterTheWindowClosed) {
  const Picture picture = MakePicture(kW, kH);
  auto alone = NewScript(26);
  const Bytes ref = Render(*alone, picture);
  auto* port = new plat::draw::Port(300, 200);
  const std::vector<uint32_t> white = port->surface().pixels();
  const DrawPar view = ViewMapping();
  auto load = NewScript(26);
  auto later = NewScript(26);
  SetDrawParAndPort(&drawPar_, port, &view);
  EXPECT_EQ(Render(*load, picture), ref);
  EXPECT_EQ(port->surface().pixels(), white);
  delete port;  // the window closes
  EXPECT_EQ(drawPar_.port, nullptr) << "the record still names the closed window's port";
  EXPECT_EQ(Render(*later, picture), ref);
  Bytes onWorker;
  std::thread worker([&] { onWorker = Render(*later, picture); });
  worker.join();
  EXPECT_EQ(onWorker, ref);
}

// Two windows' previews of path fills at once, at two sizes (a main view and a smaller box).
TEST_F(TwoRendersAtOnce, PathFillsOfTwoSizesAtOnce) {
  const int rounds = Rounds() * 4;
  const Picture big = MakePicture(kW, kH);
  const Picture small = MakePicture(160, 120);
  for (int16_t a : ListFromEnv("VMK_STRESS_ONLY", {27, 28, 81, 109})) {
    auto sa = NewScript(a);
    auto sb = NewScript(27, 160, 120);
    const Bytes refA = Render(*sa, big);
    const Bytes refB = Render(*sb, small);
    int wrongA = 0;
    const int wrongB = vmktest::WrongRoundsAtOnce(
        rounds,
        [&] {
          wrongA += Render(*sa, big) != refA;
          return true;
        },
        [&] { return Render(*sb, small) == refB; });
    EXPECT_EQ(wrongA, 0) << "effect " << a << " at " << kW << " x " << kH;
    EXPECT_EQ(wrongB, 0) << "27 at 160 x 120 beside effect " << a;
  }
}

// Fog (69), the colour circle (79) and plasma (98) seed the generator and draw what follows
// their seed. Each round of one of them on one thread gives the bytes of its render alone
// while a second thread renders another of them, or the painter's strokes (82, which draw
// without seeding), and a third, as the interface's, seeds and draws outside any render.
TEST_F(TwoRendersAtOnce, SeededEffectsBesideAnotherRender) {
  const Picture big = MakePicture(kW, kH);
  const Picture small = MakePicture(160, 120);
  const std::vector<int16_t> seeding = {69, 79, 98};
  std::map<int16_t, Bytes> refBig, refSmall;
  for (const int16_t n : seeding) {
    auto s = NewScript(n);
    auto t = NewScript(n, 160, 120);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(t, nullptr);
    refBig[n] = Render(*s, big, 1, true);
    ASSERT_TRUE(s->MissingCases().empty()) << "effect " << n;
    refSmall[n] = Render(*t, small, 1, true);
    auto u = NewScript(n);
    ASSERT_EQ(Render(*u, big, 99, true), refBig[n]) << "effect " << n << " draws from a seed of its own";
  }
  const int rounds = Rounds() * 3;
  for (const int16_t a : seeding) {
    for (const int16_t b : {int16_t{69}, int16_t{79}, int16_t{98}, int16_t{82}}) {
      if (b == a) continue;
      auto sa = NewScript(a);
      auto sb = NewScript(b, 160, 120);
      std::atomic<bool> stop{false};
      std::thread interface([&] {
        for (uint32_t i = 0; !stop.load(); ++i) {
          plat::SeedRandom(i);
          (void)plat::Random();
          std::this_thread::yield();
        }
      });
      int wrongA = 0;
      const int wrongB = vmktest::WrongRoundsAtOnce(
          rounds,
          [&] {
            wrongA += Render(*sa, big) != refBig.at(a);
            return true;
          },
          [&] {
            const Bytes got = Render(*sb, small);
            return refSmall.count(b) == 0 || got == refSmall.at(b);
          });
      stop.store(true);
      interface.join();
      EXPECT_EQ(wrongA, 0) << "effect " << a << ": of " << rounds << " rounds beside " << b;
      EXPECT_EQ(wrongB, 0) << "effect " << b << ": of " << rounds << " rounds beside " << a;
    }
  }
}

// The painter's strokes (82) and the extrusion (90) draw without seeding: a render goes on
// from where the render before it stopped, on whichever thread it runs, as renders one after
// the other always have; a render between them that draws nothing moves nothing.
TEST_F(TwoRendersAtOnce, UnseededDrawsGoOnFromTheRenderBefore) {
  const Picture picture = MakePicture(kW, kH);
  auto between = NewScript(27);
  for (const int16_t n : {int16_t{82}, int16_t{90}}) {
    auto s = NewScript(n);
    ASSERT_NE(s, nullptr);
    const Bytes first = Render(*s, picture, 20261207, true);
    const Bytes second = Render(*s, picture);
    EXPECT_NE(first, second) << "effect " << n << " drew the same numbers twice";
    plat::SeedRandom(20261207);
    EXPECT_EQ(Render(*s, picture), first) << "effect " << n;
    std::thread other([&] { (void)Render(*between, picture); });
    other.join();
    Bytes onWorker;
    std::thread worker([&] { onWorker = Render(*s, picture); });
    worker.join();
    EXPECT_EQ(onWorker, second) << "effect " << n;
  }
}

}  // namespace
