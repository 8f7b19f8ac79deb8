#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "script/effect_table.h"
#include "script/param_block.h"
#include "script/record_kinds.h"
#include "script/render_cases.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

// The per-sample blend of the image operations: kernel mode 1 (replace), then the mix.
int32_t Mix(int32_t old, int32_t effect, int32_t weight) {
  return ((255 - weight) * old + weight * effect) / 255;
}

class Render : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    // The render deletes the swap files of the maker's folder: keep them in a temporary one.
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    Setup(3, 4, 3);
  }
  void Setup(int16_t mode, int32_t w, int32_t h) {
    ASSERT_EQ(s_.I_ScriptFile(mode, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1), 0);
    n_ = static_cast<size_t>(w) * h;
  }
  uint8_t* P(int32_t c) { return s_.ChannelPlane(c, 0); }
  Plane Copy(int32_t c) {
    const uint8_t* p = P(c);
    return p != nullptr ? Plane(p, p + n_) : Plane();
  }
  void Set(int32_t c, const Plane& v) { std::copy(v.begin(), v.end(), s_.ChannelPlane(c, 1)); }
  // One operation at (stack 0, layer 1, index o), made through SetEffect and the accessors.
  void Op(int16_t o, int16_t effect, int16_t from, int16_t to, std::vector<int16_t> params = {},
          int16_t opa = 255, int16_t mask = 0, int16_t intExt = 1) {
    s_.SetEffect(0, 1, o, effect, 0, 0, 0, 0);
    s_.SetAct(0, 1, o, 1);
    s_.SetFromChannel(0, 1, o, from);
    s_.SetToChannel(0, 1, o, to);
    void (ScriptFile::*set[5])(int16_t, int16_t, int16_t, int16_t) = {
        &ScriptFile::SetParam1, &ScriptFile::SetParam2, &ScriptFile::SetParam3,
        &ScriptFile::SetParam4, &ScriptFile::SetParam5};
    for (size_t k = 0; k < params.size(); ++k) (s_.*set[k])(0, 1, o, params[k]);
    s_.SetMode(0, 1, o, 0);
    s_.SetOpa(0, 1, o, opa);
    s_.SetMChannel(0, 1, o, mask);
    s_.SetIntExt(0, 1, o, intExt);
  }
  int32_t RenderAll(const uint8_t* pixels = nullptr, int16_t mode = 0, int16_t upto = 0) {
    return s_.Render(0, 0, 0, pixels, nullptr, nullptr, mode, upto);
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  ScriptFile s_;
  size_t n_ = 0;
};

TEST_F(Render, ScriptOfAccessorsRendersByHandArithmetic) {
  std::vector<uint8_t> pixels(4 * n_);
  Plane extra6(n_), extra89(n_);
  for (size_t i = 0; i < n_; ++i) {
    pixels[4 * i] = static_cast<uint8_t>(10 + 20 * i);
    pixels[4 * i + 1] = static_cast<uint8_t>(200 - 15 * i);
    pixels[4 * i + 2] = static_cast<uint8_t>(37 * i);
    extra6[i] = static_cast<uint8_t>(23 * i + 5);
    extra89[i] = static_cast<uint8_t>(21 * i + 9);
  }
  Op(1, 3, 6, 2, {200}, 200, 89, 1);                  // add plane 6, masked by plane 89
  Op(2, 13, 0, 2, {0, 80, 128, 150, 255}, 128);       // curve on the composite
  Op(3, 14, 0, 4, {200, 50});                         // levels on plane 4
  Op(4, 11, 0, 2, {2});                               // blur on the composite
  ASSERT_EQ(s_.Render(0, 0, 0, pixels.data(), extra6.data(), extra89.data(), 0, 0), 0);
  EXPECT_TRUE(s_.MissingCases().empty());

  const int32_t curve[5] = {0, 80, 128, 150, 255};
  Plane expect[3];
  for (int c = 0; c < 3; ++c) {
    expect[c].resize(n_);
    for (size_t i = 0; i < n_; ++i) {
      int32_t v = pixels[4 * i + c];
      v = Mix(v, std::min(255, v + 200 * extra6[i] / 255), extra89[i] * 200 / 255);
      const int32_t seg = v == 0 ? 0 : (v - 1) / 64, k = v - 64 * seg;
      v = Mix(v, curve[seg] + k * (curve[seg + 1] - curve[seg]) / 64, 128);
      if (c == 1) v = v < 50 ? 0 : v > 200 ? 255 : (v - 50) * 255 / 150;
      expect[c][i] = static_cast<uint8_t>(v);
    }
  }
  // The blur as the operation gives it, with the row's width-first argument list.
  const Plane full(n_, 255);
  for (int c = 0; c < 3; ++c)
    ASSERT_EQ(Effects::Blur(0, 255, expect[c].data(), full.data(), 4, 3, 0, 0, 4, 3, 2, 1), 0);
  EXPECT_EQ(Copy(3), expect[0]);
  EXPECT_EQ(Copy(4), expect[1]);
  EXPECT_EQ(Copy(5), expect[2]);
}

TEST_F(Render, ModesRunOperationsBelowUptoOrNone) {
  for (int16_t o = 1; o <= 3; ++o) Op(o, 16, 0, 3, {10});  // brightness +10 each
  std::vector<uint8_t> pixels(4 * n_, 100);
  RenderAll(pixels.data(), 1, 3);
  EXPECT_EQ(Copy(3), Plane(n_, 120));
  RenderAll(pixels.data(), 0, 0);
  EXPECT_EQ(Copy(3), Plane(n_, 130));
  Set(7, Plane(n_, 9));
  Set(40, Plane(n_, 9));
  RenderAll(pixels.data(), 2, 5);
  EXPECT_EQ(Copy(3), Plane(n_, 100));  // loaded, nothing run
  EXPECT_EQ(P(7), nullptr);            // scratch planes go
  EXPECT_EQ(Copy(40), Plane(n_, 9));   // working planes stay
  // No pixels and no white fill: the planes the last render loaded start black again.
  s_.Render(0, 0, 0, nullptr, nullptr, nullptr, 2, 5);
  EXPECT_EQ(Copy(3), Plane(n_, 0));
  EXPECT_EQ(Copy(5), Plane(n_, 0));
}

// Each operation the render runs has an even share of its progress after the planes' loading,
// ended as the operation ends: four brightness steps with one of them off (and one below
// `upto`) report thirds, then halves, of what the loading leaves; the reports only rise.
TEST_F(Render, EachOperationEndsItsShareOfTheProgress) {
  Setup(3, 40, 30);
  for (int16_t o = 1; o <= 4; ++o) Op(o, 16, 0, 3, {10});
  s_.SetAct(0, 1, 2, 0);
  std::vector<uint8_t> pixels(4 * n_, 100);
  auto record = [&](int16_t mode, int16_t upto) {
    plat::ProgressMeter meter;
    std::vector<int32_t> reports;
    meter.SetObserver([&](int32_t parts) { reports.push_back(parts); });
    const plat::ProgressScope scope(&meter);
    RenderAll(pixels.data(), mode, upto);
    return reports;
  };
  const int32_t whole = plat::ProgressMeter::kWhole;
  const auto loaded = static_cast<int32_t>(whole * ScriptFile::kProgressLoadingShare);
  auto end = [&](int32_t done, int32_t of) {
    return loaded + static_cast<int32_t>((whole - loaded) * (static_cast<double>(done) / of));
  };
  const std::vector<int32_t> all = record(0, 0);
  for (const int32_t at : {loaded, end(1, 3), end(2, 3), whole})
    EXPECT_NE(std::find(all.begin(), all.end(), at), all.end()) << at;
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(all.back(), whole);
  EXPECT_EQ(Copy(3), Plane(n_, 130));
  // Below operation 4: operations 1 and 3.
  const std::vector<int32_t> two = record(1, 4);
  EXPECT_NE(std::find(two.begin(), two.end(), end(1, 2)), two.end());
  EXPECT_EQ(two.back(), whole);
}

// The radial blur at its largest (a spin of 100 samples about the far corner) moves the meter
// through its share as it blurs: at one thread, as each report comes, the rows blurred are
// those of the bands the report counts, sixteen rows a band, thirteen bands, and nothing of the
// operation's share is reported before its first band is done.
TEST_F(Render, TheRadialBlurReportsTheRowsItHasBlurred) {
  const int32_t w = 320, h = 200, band = 16, bands = (h + band - 1) / band;
  Setup(3, w, h);
  Op(1, 83, 0, 2, {100, 100, 100, 1});
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
  plat::SetThreadCount(1);
  const int32_t whole = plat::ProgressMeter::kWhole;
  const auto loaded = static_cast<int32_t>(whole * ScriptFile::kProgressLoadingShare);
  std::vector<std::pair<int32_t, int32_t>> seen;  // (report, rows blurred then)
  plat::ProgressMeter meter;
  meter.SetObserver([&](int32_t parts) {
    const uint8_t* red = s_.ChannelPlane(3, 0);
    int32_t rows = 0;
    for (int32_t y = 0; red != nullptr && y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (red[static_cast<size_t>(y) * w + x] != pixels[4 * (static_cast<size_t>(y) * w + x)]) {
          ++rows;
          break;
        }
    seen.emplace_back(parts, rows);
  });
  {
    const plat::ProgressScope scope(&meter);
    RenderAll(pixels.data());
  }
  plat::SetThreadCount(0);
  int32_t inside = 0;
  for (const auto& [parts, rows] : seen) {
    if (parts <= loaded) continue;
    ++inside;
    const int64_t done =
        (static_cast<int64_t>(parts - loaded) * bands + (whole - loaded) / 2) / (whole - loaded);
    EXPECT_EQ(rows, std::min<int64_t>(done * band, h)) << "at " << parts;
  }
  EXPECT_EQ(inside, bands);
  EXPECT_EQ(seen.back().first, whole);
}

TEST_F(Render, LayersClearScratchPlanesAndCallerPlanesAreTakenOnce) {
  LayerFile* stack = s_.GetStack(0);
  stack->AddLaye(1, new Laye);
  stack->AddLaye(2, new Laye);
  stack->SetLayAct(2, 0);
  Op(1, 10, 0, 7, {255, 50});  // fill plane 7 with 50 in layer 1
  Plane extra(n_, 77);
  s_.Render(0, 0, 0, nullptr, extra.data(), nullptr, 0, 0);
  EXPECT_EQ(Copy(7), Plane(n_, 0));  // cleared after layer 1 (and after inactive layer 2)
  EXPECT_EQ(Copy(6), extra);
  Set(6, Plane(n_, 1));
  s_.Render(0, 0, 0, nullptr, extra.data(), nullptr, 0, 0);
  EXPECT_EQ(Copy(6), Plane(n_, 1));  // an existing plane 6 is kept

  // On the last layer, the scratch plane stays as the operation left it.
  stack->DeleteLaye(3);
  stack->DeleteLaye(2);
  s_.GetStack(0)->MoveLaye(1, 2);
  s_.Render(0, 1, 0, nullptr, nullptr, nullptr, 0, 0);
  EXPECT_EQ(Copy(7), Plane(n_, 50));
  EXPECT_EQ(Copy(3), Plane(n_, 255));  // fill 1 without pixels: white
}

// Fill with 255 at full strength onto a zero plane writes the mask itself.
TEST_F(Render, OperationMask) {
  Oprn op;
  InitOprn(&op);
  op.Effect = 10;
  op.ToChannel = 40;
  op.Param1 = 255;
  op.Param2 = 255;
  Set(9, Plane(n_, 200));
  auto mask = [&](int8_t channel, int8_t intExt) {
    s_.FreeAllChanBuf(7);
    if (uint8_t* p = P(40)) std::fill(p, p + n_, 0);
    op.MChannel = channel;
    op.IntExt = intExt;
    Set(9, Plane(n_, 200));
    EXPECT_EQ(s_.PerformToEffect(&op), 0);
    return Copy(40);
  };
  RegisterScriptRenderCases();
  EXPECT_EQ(mask(0, 2), Plane(n_, 255));
  EXPECT_EQ(mask(9, 2), Plane(n_, 55));
  EXPECT_EQ(mask(9, 1), Plane(n_, 200));
  EXPECT_EQ(mask(9, 3), Plane(n_, 255));
  EXPECT_EQ(mask(12, 1), Plane(n_, 255));   // no such plane
  EXPECT_EQ(mask(120, 1), Plane(n_, 255));  // beyond the manager

  // Colour selection narrows the mask; flag 1 inverts what it selected, 2 keeps it.
  op.SelOprnExt = NewRecord<OprnExt>();
  op.SelOprnExt->SelLevel[0] = 100;
  op.SelOprnExt->SelValueB[0] = 0x10000 + 80;  // low 16 bits only
  op.SelOprnExt->SelValueC[0] = 40;
  op.SelOprnExt->SelValueD[0] = 60;
  Plane selected(n_, 255);
  LutVign ramp;
  std::fill(std::begin(ramp.opacity), std::end(ramp.opacity), 255);
  const RampTables tables = RampTablesOf(ramp);
  Effects::ColorCirc(0, 255, selected.data(), 3, 4, 0, 0, 4, 3, 1, nullptr, tables.data(), 0, 40,
                     60, 80, 1, 20);
  ASSERT_NE(selected, Plane(n_, 255));
  op.SelOprnExt->SelFlag[0] = 2;
  EXPECT_EQ(mask(0, 1), selected);
  op.SelOprnExt->SelFlag[0] = 1;
  Plane inverted = selected;
  for (uint8_t& v : inverted) v = static_cast<uint8_t>(255 - v);
  EXPECT_EQ(mask(0, 1), inverted);

  // The mask or the selection ramp refused: -1 and nothing kept.
  op.FromChannel = 40;
  const int32_t held = session_.memMan().count();
  {
    vmktest::NoWorkMemory refuse;
    EXPECT_EQ(s_.PerformToEffect(&op), -1);
    EXPECT_EQ(s_.PerformFromToEffect(&op), -1);
  }
  EXPECT_EQ(session_.memMan().count(), held);
}

TEST_F(Render, FrameMakesOrSkipsTheDestination) {
  RegisterScriptRenderCases();
  Oprn op;
  InitOprn(&op);
  op.Effect = 9;  // invert
  op.ToChannel = 1;
  EXPECT_EQ(s_.PerformToEffect(&op), 0);
  op.ToChannel = 90;
  EXPECT_EQ(s_.PerformToEffect(&op), 0);
  op.ToChannel = 7;
  EXPECT_EQ(P(7), nullptr);
  EXPECT_EQ(s_.PerformToEffect(&op), 0);
  EXPECT_EQ(Copy(7), Plane(n_, 255));  // made at 0, then inverted
  op.Effect = 35;                       // reaches the frame, no case
  op.ToChannel = 8;
  EXPECT_EQ(s_.PerformToEffect(&op), 0);
  EXPECT_EQ(Copy(8), Plane(n_, 0));
  // Two-plane: no source or no destination does nothing; a one-plane number on the composite
  // is refused.
  op.Effect = 3;
  op.FromChannel = 1;
  op.ToChannel = 9;
  EXPECT_EQ(s_.PerformFromToEffect(&op), 0);
  op.FromChannel = 95;
  EXPECT_EQ(s_.PerformFromToEffect(&op), 0);
  EXPECT_EQ(P(9), nullptr);
  op.Effect = 7;
  op.FromChannel = 3;
  op.ToChannel = 2;
  EXPECT_EQ(s_.PerformFromToEffect(&op), 0);
  EXPECT_EQ(P(3), nullptr);
}

TEST_F(Render, AddOnCompositeAndSingleDestinations) {
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(7 * i + 3);
  Op(1, 3, 2, 2, {255});
  Op(2, 3, 2, 40, {255});
  RenderAll(pixels.data());
  for (int c = 0; c < 3; ++c) {
    Plane expect(n_);
    for (size_t i = 0; i < n_; ++i) expect[i] = std::min(255, 2 * pixels[4 * i + c]);
    EXPECT_EQ(Copy(3 + c), expect) << c;
  }
  Plane mean(n_);
  for (size_t i = 0; i < n_; ++i) mean[i] = static_cast<uint8_t>((P(3)[i] + P(4)[i] + P(5)[i]) / 3);
  EXPECT_EQ(Copy(40), mean);  // made at 0, plus the mean
}

TEST_F(Render, UnregisteredRoutedNumbersAreReportedAndChangeNothing) {
  Op(1, 101, 0, 40);  // an engine case, registered from above the script
  for (int16_t o = 2; o <= 6; ++o) Op(o, std::vector<int16_t>{35, 49, 51, 64, 93}[o - 2], 3, 41);
  RenderAll();
  EXPECT_EQ(s_.MissingCases(), (std::vector<MissingRenderCase>{{1, 1, 101}}));
  EXPECT_EQ(P(40), nullptr);
  RenderAll();
  EXPECT_EQ(s_.MissingCases().size(), 1u);  // each render starts a new list
}

TEST_F(Render, ScaledDistancesRound) {
  EXPECT_EQ(ScaledDistance(3, 1.5f), 5);
  EXPECT_EQ(ScaledDistance(5, 0.5f), 3);
}

// On a 16 x 16 plane holding 0..255 an Etch case leaves its table in the plane.
class Tables : public Render {
 protected:
  void SetUp() override {
    Render::SetUp();
    Setup(3, 16, 16);
    RegisterScriptRenderCases();
  }
  Plane Table(int16_t effect, std::vector<int16_t> p) {
    Oprn op;
    InitOprn(&op);
    op.Effect = effect;
    op.ToChannel = 40;
    int16_t* f[5] = {&op.Param1, &op.Param2, &op.Param3, &op.Param4, &op.Param5};
    for (size_t k = 0; k < p.size(); ++k) *f[k] = p[k];
    Plane ramp(256);
    for (int i = 0; i < 256; ++i) ramp[i] = static_cast<uint8_t>(i);
    Set(40, ramp);
    EXPECT_EQ(s_.PerformToEffect(&op), 0);
    return Copy(40);
  }
};

TEST_F(Tables, CurveLevelsPosterizeBrightness) {
  Plane identity(256);
  for (int i = 0; i < 256; ++i) identity[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(Table(13, {0, 64, 128, 192, 256}), identity);
  EXPECT_EQ(Table(13, {0, 64, 128, 192, 255})[255], 254);
  // A falling segment truncates toward its start: 200 - 1 * 100 / 64 = 199.
  const Plane falling = Table(13, {200, 100, 128, 192, 255});
  EXPECT_EQ(falling[0], 200);
  EXPECT_EQ(falling[1], 199);
  EXPECT_EQ(falling[63], 102);
  EXPECT_EQ(falling[64], 100);

  const Plane levels = Table(14, {200, 50});
  EXPECT_EQ(levels, Table(14, {50, 200}));
  EXPECT_EQ(levels[49], 0);
  EXPECT_EQ(levels[50], 0);
  EXPECT_EQ(levels[125], 127);  // 75 x 255 / 150
  EXPECT_EQ(levels[200], 255);
  const Plane step = Table(14, {90, 90});
  EXPECT_EQ(step[89], 0);
  EXPECT_EQ(step[90], 255);

  const Plane two = Table(15, {2});
  EXPECT_EQ(std::count(two.begin(), two.begin() + 127, 0), 127);
  EXPECT_EQ(std::count(two.begin() + 127, two.end(), 255), 129);
  EXPECT_EQ(Table(15, {1}), identity);
  EXPECT_EQ(Table(15, {300}), Table(15, {255}));
  EXPECT_EQ(Table(9, {}), Plane(identity.rbegin(), identity.rend()));

  EXPECT_EQ(Table(16, {40})[250], 255);
  Setup(4, 16, 16);  // CMYK: brightness takes ink away
  const Plane darker = Table(16, {40});
  EXPECT_EQ(darker[30], 0);
  EXPECT_EQ(darker[100], 60);
}

TEST_F(Render, FilterArgumentListsMatchDirectCalls) {
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(29 * i + 11);
  Op(1, 63, 0, 2, {1, 3, 20, 10, 7});  // noise kind 1, seeded
  Op(2, 71, 0, 2, {1, 2, 30, 1, 20});  // sine wave
  RenderAll(pixels.data());
  const Plane full(n_, 255);
  for (int c = 0; c < 3; ++c) {
    Plane x(n_);
    for (size_t i = 0; i < n_; ++i) x[i] = pixels[4 * i + c];
    Effects::Noise(0, 255, 1, x.data(), full.data(), 3, 4, 0, 0, 4, 3, 1.0f, 1.0f, 3, 20, 10, 7);
    Effects::SinusWave(0, 255, x.data(), full.data(), 3, 4, 0, 0, 4, 3, 1, 2, 30, 1, 20);
    EXPECT_EQ(Copy(3 + c), x) << c;
  }
}

TEST_F(Render, FillAndFrameColoursPerPlane) {
  Setup(4, 4, 3);  // CMYK
  Op(1, 10, 0, 2, {255, 11, 22, 33, 44});
  RenderAll();
  EXPECT_EQ(Copy(3), Plane(n_, 11));
  EXPECT_EQ(Copy(4), Plane(n_, 22));
  EXPECT_EQ(Copy(5), Plane(n_, 33));
  EXPECT_EQ(Copy(2), Plane(n_, 44));

  // The frame on plane 2 of a CMYK composite is drawn with no ink.
  Op(1, 37, 0, 2, {50, 50, 90, 91, 92});
  std::vector<uint8_t> pixels(4 * n_, 200);
  RenderAll(pixels.data());
  Plane expect(n_, 200);
  const Plane full(n_, 255);
  const uint8_t none = 0;
  Effects::ColorFrame(expect.data(), 3, 4, 0, 0, 4, 3, full.data(), &none, 50, 50, 100, 100);
  EXPECT_EQ(Copy(2), expect);
  EXPECT_NE(Copy(2), Plane(n_, 200));
}

// A stand-in for the colour-correction record: the words colour range reads, at defaults.
struct FakeColCor {
  int32_t w[5017] = {};
};
void FakeColCorDefaults(FakeColCor* r, const DefaultSizes&) {
  const int32_t words[6][2] = {{812, 210}, {844, 120}, {876, 30}, {44, 200}, {76, 100}, {108, 50}};
  for (const auto& [at, v] : words) r->w[at] = v;
}
void CopyFakeColCor(const FakeColCor* s, FakeColCor* d) { *d = *s; }

TEST_F(Render, ColourRangeWithoutItsRecordTakesTheDefaults) {
  ASSERT_EQ(RegisterRecordKind(RecordKindOf<FakeColCor, FakeColCorDefaults, CopyFakeColCor>(23)),
            0);
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(45 * i + 17);
  Op(1, 86, 3, 40, {90, 77});
  Op(2, 86, 2, 2, {90, 77});
  RenderAll(pixels.data());
  Plane r(n_), g(n_), b(n_), single(n_, 0);
  for (size_t i = 0; i < n_; ++i) {
    r[i] = pixels[4 * i];
    g[i] = pixels[4 * i + 1];
    b[i] = pixels[4 * i + 2];
  }
  const Plane full(n_, 255);
  const uint8_t ref[3] = {200, 100, 50};
  // A single destination takes Param2 for the first byte of the new colour.
  const uint8_t singleColour[3] = {77, 120, 30}, composite[3] = {210, 120, 30};
  Effects::ColorRange(0, 255, 1, r.data(), nullptr, nullptr, 3, 4, 1, single.data(), nullptr,
                      nullptr, 3, 4, 0, 0, 4, 3, full.data(), 90, singleColour, ref);
  Effects::ColorRange(0, 255, 3, r.data(), g.data(), b.data(), 3, 4, 3, r.data(), g.data(),
                      b.data(), 3, 4, 0, 0, 4, 3, full.data(), 90, composite, ref);
  EXPECT_EQ(Copy(40), single);
  EXPECT_NE(single, Plane(n_, 0));
  EXPECT_EQ(Copy(3), r);
  EXPECT_EQ(Copy(4), g);
  EXPECT_EQ(Copy(5), b);
}

TEST_F(Render, RampCasesNeedARampAndHueWorksOnTheComposite) {
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(31 * i + 2);
  Op(1, 29, 0, 40, {0, 0});  // colour wave, no ramp
  Op(2, 79, 0, 41, {0, 50, 50, 100, 1});
  Op(3, 18, 0, 42, {90, 0, 0});  // hue turned on planes 3 to 5
  RenderAll(pixels.data());
  EXPECT_EQ(Copy(40), Plane(n_, 0));
  EXPECT_EQ(Copy(41), Plane(n_, 0));
  EXPECT_EQ(Copy(42), Plane(n_, 0));  // made, never written
  Plane r(n_), g(n_), b(n_);
  for (size_t i = 0; i < n_; ++i) {
    r[i] = pixels[4 * i];
    g[i] = pixels[4 * i + 1];
    b[i] = pixels[4 * i + 2];
  }
  const Plane full(n_, 255);
  Effects::HSLBlend(0, 255, 3, 4, r.data(), g.data(), b.data(), nullptr, full.data(), 0, 0, 4, 3,
                    90, 0, 0, 1);
  EXPECT_EQ(Copy(3), r);
  EXPECT_EQ(Copy(5), b);
}

TEST_F(Render, SaveThenRecallRestoresThePlanes) {
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(13 * i + 1);
  Op(1, 96, 0, 2, {4});
  Op(2, 9, 0, 2);
  Op(3, 97, 0, 2, {4});
  RenderAll(pixels.data());
  for (int c = 0; c < 3; ++c)
    for (size_t i = 0; i < n_; ++i) EXPECT_EQ(P(3 + c)[i], pixels[4 * i + c]);
}

TEST_F(Render, RankAndEdgeArgumentListsMatchDirectCalls) {
  Setup(3, 9, 7);
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(37 * i + 5);
  Op(1, 7, 0, 2, {2, 1});              // maximum, radii 2 and 1
  Op(2, 12, 0, 2, {1, 100, 45, 1});    // emboss depth 1, bias 100, 45 degrees
  Op(3, 44, 0, 2, {200, 1, 20});       // edges of strength 200, depth 1, contrast 20
  Op(4, 55, 0, 2, {3, 1});             // median: Param2 is the radius, Param1 the passes
  Op(5, 8, 0, 2, {0, 2});              // minimum, radii 0 and 2
  RenderAll(pixels.data());
  const Plane full(n_, 255);
  for (int c = 0; c < 3; ++c) {
    Plane x(n_);
    for (size_t i = 0; i < n_; ++i) x[i] = pixels[4 * i + c];
    Effects::Maxima(0, 255, x.data(), 7, 9, 0, 0, 9, 7, 2, 1, 1, full.data());
    Effects::Emboss(0, 255, x.data(), full.data(), 7, 9, 0, 0, 9, 7, 1, 1, 100, 45, 1);
    Effects::FindEdge(0, 255, x.data(), full.data(), 7, 9, 0, 0, 9, 7, 200, 1, 20);
    Effects::Median(0, 255, x.data(), 7, 9, 0, 0, 9, 7, 1, 3, full.data());
    Effects::Minima(0, 255, x.data(), 7, 9, 0, 0, 9, 7, 0, 2, 1, full.data());
    EXPECT_EQ(Copy(3 + c), x) << c;
  }
}

TEST_F(Render, SkeletonConvolutionAndRampsOnTheComposite) {
  Setup(3, 8, 6);
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(i % 32 < 16 ? 20 : 230);
  LutVign lut;
  for (int j = 0; j < 256; ++j) {
    lut.opacity[j] = 255;
    for (int k = 0; k < 4; ++k) lut.colour[k][j] = static_cast<uint8_t>(255 - j + 10 * k);
  }
  uint8_t ramp[5 * 256];
  std::copy(lut.opacity, lut.opacity + 256, ramp);
  for (int k = 0; k < 4; ++k) std::copy(lut.colour[k], lut.colour[k] + 256, ramp + 256 * (k + 1));
  Op(1, 88, 0, 2, {0});
  Op(2, 108, 0, 2, {3, 1, 0, 0});  // Sobel, blur 1
  Op(3, 23, 2, 2, {255, 7});       // the composite's grey through the ramp, shift 7
  ASSERT_EQ(s_.SetLutVign(0, 1, 2, &lut), 0);
  ASSERT_EQ(s_.SetLutVign(0, 1, 3, &lut), 0);
  RenderAll(pixels.data());
  Plane r(n_), g(n_), b(n_);
  for (size_t i = 0; i < n_; ++i) {
    r[i] = pixels[4 * i];
    g[i] = pixels[4 * i + 1];
    b[i] = pixels[4 * i + 2];
  }
  const Plane full(n_, 255);
  Effects::Skeleton(0, 255, 3, r.data(), g.data(), b.data(), 6, 8, 0, 0, 8, 6, full.data(), 0);
  Effects::Convolution(0, 255, 3, r.data(), g.data(), b.data(), full.data(), 6, 8, 0, 0, 8, 6,
                       ramp, 3, 1, 0, 0);
  const Plane sr = r, sg = g, sb = b;
  Effects::LutToColor(0, 255, sr.data(), sg.data(), sb.data(), nullptr, 6, 8, r.data(), g.data(),
                      b.data(), nullptr, 6, 8, 0, 0, 8, 6, 0, 0, 8, 6, 1, 3, 3, full.data(), ramp,
                      7, 255);
  EXPECT_EQ(Copy(3), r);
  EXPECT_EQ(Copy(4), g);
  EXPECT_EQ(Copy(5), b);
}

TEST_F(Render, ShadowGrowthAndContoursIntoASinglePlane) {
  Setup(3, 10, 8);
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>((i / 4) % 10 < 5 ? 40 : 220);
  Plane src(n_);
  for (size_t i = 0; i < n_; ++i) src[i] = pixels[4 * i];
  LutVign lut;
  for (int j = 0; j < 256; ++j) {
    lut.opacity[j] = 200;
    for (int k = 0; k < 4; ++k) lut.colour[k][j] = static_cast<uint8_t>(j / 2 + 30 * k);
  }
  uint8_t ramp[5 * 256];
  std::copy(lut.opacity, lut.opacity + 256, ramp);
  for (int k = 0; k < 4; ++k) std::copy(lut.colour[k], lut.colour[k] + 256, ramp + 256 * (k + 1));
  // Shadow: blur 1, offsets (2, -1), shift Param5 3, strength Param4 180.
  Op(1, 33, 3, 40, {1, 2, -1, 180, 3});
  ASSERT_EQ(s_.SetLutVign(0, 1, 1, &lut), 0);
  Op(2, 34, 3, 41, {2, 0x1F0, 150});   // grow by 2, colour 0xF0, strength 150
  Op(3, 47, 3, 42, {1, 90, 255});      // shrink by 1
  Op(4, 91, 3, 43, {2, 0, 9, 8, 7});   // two levels, colour 9
  RenderAll(pixels.data());
  const Plane full(n_, 255);
  Plane shadow(n_, 0), grown(n_, 0), shrunk(n_, 0), lines(n_, 0);
  Effects::Shadow(0, 255, src.data(), 8, 10, shadow.data(), 8, 10, 0, 0, 10, 8, 0, 0, 10, 8, 1,
                  1, 1, full.data(), 1, 2, -1, ramp, 3, 180);
  Effects::ContrExp(1, 0, 255, src.data(), 8, 10, grown.data(), 8, 10, 0, 0, 10, 8, 0, 0, 10, 8,
                    0, 1, 1, 2, full.data(), 0xF0, 150);
  Effects::ContrExp(0, 0, 255, src.data(), 8, 10, shrunk.data(), 8, 10, 0, 0, 10, 8, 0, 0, 10, 8,
                    0, 1, 1, 1, full.data(), 90, 255);
  const uint8_t colour[3] = {9, 8, 7};
  Effects::GeoLevels(0, 255, 1, src.data(), 8, 10, lines.data(), nullptr, nullptr, 8, 10, 0, 0,
                     10, 8, full.data(), 2, colour);
  EXPECT_EQ(Copy(40), shadow);
  EXPECT_NE(shadow, Plane(n_, 0));
  EXPECT_EQ(Copy(41), grown);
  EXPECT_EQ(Copy(42), shrunk);
  EXPECT_EQ(Copy(43), lines);
  EXPECT_NE(lines, Plane(n_, 0));
}

TEST_F(Render, GeometryArgumentListsMatchDirectCalls) {
  Setup(3, 9, 7);
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(41 * i + 3);
  Op(1, 19, 0, 2, {2, 1});             // offset by 2, 1
  Op(2, 54, 0, 2, {1, 0});             // horizontal flip
  Op(3, 53, 0, 2, {1, 0, 90, 110, 20});  // transform: shift, scales, 20 degrees
  Op(4, 95, 0, 2, {90, 40, 60});       // twirl
  Op(5, 107, 0, 2, {2});               // mirror the top half down
  Op(6, 112, 0, 2, {1, 1});            // deinterlace by interpolation
  Op(7, 120, 0, 2, {2, 3});            // mosaic 2 x 3
  Op(8, 56, 0, 2, {0, 0, 1, 2});       // kaleidoscope shifted by 1, 2
  RenderAll(pixels.data());
  const Plane full(n_, 255);
  for (int c = 0; c < 3; ++c) {
    Plane x(n_);
    for (size_t i = 0; i < n_; ++i) x[i] = pixels[4 * i + c];
    Effects::Offset(x.data(), 7, 9, 0, 0, 9, 7, 2, 1, 1);
    Effects::Flip(0, 255, x.data(), 7, 9, 0, 0, 9, 7, 1, 0, 0, 1, full.data());
    Effects::Transform(0, 255, x.data(), 7, 9, 0, 0, 9, 7, 1, 0, 90, 110, 20, 0, 1, full.data());
    Effects::Twirl(0, 255, x.data(), full.data(), 7, 9, 0, 0, 9, 7, 90, 40, 60);
    Effects::Mirror(0, 255, x.data(), 7, 9, 0, 0, 9, 7, 2, 1, full.data());
    Effects::DeInterlace(0, 255, x.data(), full.data(), 7, 9, 0, 0, 9, 7, 1, 1);
    Effects::Mosaic(0, 255, x.data(), 7, 9, 0, 0, 9, 7, full.data(), 2, 3);
    Effects::Kaleido(0, 255, x.data(), full.data(), 7, 9, 0, 0, 9, 7, 999, 999, 1, 2);
    EXPECT_EQ(Copy(3 + c), x) << c;
  }
}

TEST_F(Render, FogDrawsOnceForTheCompositeAndBlackAndWhiteGivesGrey) {
  Setup(3, 9, 7);
  std::vector<uint8_t> pixels(4 * n_);
  for (size_t i = 0; i < 4 * n_; ++i) pixels[i] = static_cast<uint8_t>(23 * i + 9);
  Op(1, 69, 0, 2, {2, 10, 0, 60, 5});   // fog brightening by 60, seed 5
  Op(2, 121, 0, 2, {0, 100, 0, 0, 0});  // black and white from the green plane
  RenderAll(pixels.data());
  const Plane full(n_, 255);
  Plane x[3], fog(n_, 0);
  for (int c = 0; c < 3; ++c) {
    x[c].resize(n_);
    for (size_t i = 0; i < n_; ++i) x[c][i] = pixels[4 * i + c];
    Effects::Foggy(0, 255, static_cast<int16_t>(c == 0 ? 1 : 2), x[c].data(), full.data(),
                   fog.data(), 7, 9, 0, 0, 9, 7, 1.0f, 1.0f, 2, 10, 0, 60, 5);
  }
  Effects::BWConversion(0, 255, 7, 9, x[0].data(), x[1].data(), x[2].data(), 0, 0, 9, 7,
                        full.data(), 0, 100, 0, 0, 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(Copy(3 + c), x[1]) << c;
}

// The frame's whole-plane passes (loading the pixels, the mask from a plane or its
// complement, the mean of the composite, the destination made at 0) run in fixed runs on the
// shared threads, and the mask and mean are reused between the operations of one render:
// the planes are those of plain loops at any thread count, on sizes around and across the
// runs, tall and wide, RGB and CMYK.
TEST_F(Render, FramePassesEqualPlainLoopsAtAnyThreadCount) {
  RegisterScriptRenderCases();
  const int32_t sizes[][2] = {{1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {1031, 517}};
  for (int16_t model : {3, 4}) {
    for (const auto& wh : sizes) {
      const int32_t w = wh[0], h = wh[1];
      for (int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        ScriptFile s;
        ASSERT_EQ(s.I_ScriptFile(model, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1), 0);
        const size_t n = static_cast<size_t>(w) * h;
        std::vector<uint8_t> pixels(4 * n);
        Plane extra89(n);
        for (size_t i = 0; i < 4 * n; ++i) pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
        for (size_t i = 0; i < n; ++i) extra89[i] = static_cast<uint8_t>(i * 37 + 11);
        // Add at full strength: the mean through the complement of plane 89 into plane 40,
        // then plane 3 through a full mask into plane 41 (the spare mask refilled), then
        // invert plane 4 where plane 89 says.
        auto op = [&](int16_t o, int16_t effect, int16_t from, int16_t to, int16_t mask,
                      int16_t intExt) {
          s.SetEffect(0, 1, o, effect, 0, 0, 0, 0);
          s.SetAct(0, 1, o, 1);
          s.SetFromChannel(0, 1, o, from);
          s.SetToChannel(0, 1, o, to);
          s.SetParam1(0, 1, o, 255);
          s.SetMode(0, 1, o, 0);
          s.SetOpa(0, 1, o, 255);
          s.SetMChannel(0, 1, o, mask);
          s.SetIntExt(0, 1, o, intExt);
        };
        op(1, 3, 2, 40, 89, 2);
        op(2, 3, 3, 41, 0, 1);
        op(3, 9, 0, 4, 89, 1);
        ASSERT_EQ(s.Render(0, 0, 0, pixels.data(), nullptr, extra89.data(), 0, 0), 0);
        Plane p[4], mean(n), to40(n), to4(n);
        for (int32_t k = 0; k < 4; ++k) {
          p[k].resize(n);
          for (size_t i = 0; i < n; ++i) p[k][i] = pixels[4 * i + k];
        }
        for (size_t i = 0; i < n; ++i) {
          mean[i] = static_cast<uint8_t>((p[0][i] + p[1][i] + p[2][i]) / 3);
          to40[i] = static_cast<uint8_t>(Mix(0, mean[i], 255 - extra89[i]));
          to4[i] = static_cast<uint8_t>(Mix(p[1][i], 255 - p[1][i], extra89[i]));
        }
        auto plane = [&](int32_t c) {
          const uint8_t* q = s.ChannelPlane(c, 0);
          return q != nullptr ? Plane(q, q + n) : Plane();
        };
        const std::string where = std::to_string(w) + "x" + std::to_string(h) + " model " +
                                  std::to_string(model) + " threads " + std::to_string(threads);
        EXPECT_EQ(plane(3), p[0]) << where;
        EXPECT_EQ(plane(4), to4) << where;
        EXPECT_EQ(plane(5), p[2]) << where;
        EXPECT_EQ(plane(2), model == 4 ? p[3] : Plane()) << where;
        // A single row or column cannot be mapped: Add leaves the destination made at 0.
        const bool mapped = w > 1 && h > 1;
        EXPECT_EQ(plane(40), mapped ? to40 : Plane(n, 0)) << where;
        EXPECT_EQ(plane(41), mapped ? p[0] : Plane(n, 0)) << where;
      }
    }
  }
  plat::SetThreadCount(0);
}

TEST(EffectTable, RoutesAndCaseGroups) {
  EXPECT_EQ(EffectRowOf(0).route, EffectRoute::kNone);
  EXPECT_EQ(EffectRowOf(123).route, EffectRoute::kNone);
  // Render sends exactly these to a case; the rest render nothing by design.
  int expecting = 0;
  for (EffectCode e = -1; e <= 124; ++e) expecting += EffectExpectsCase(e) ? 1 : 0;
  for (EffectCode e : {1, 31, 35, 36, 49, 51, 64, 65, 66, 67, 70, 73, 74, 93, 114, 118})
    EXPECT_FALSE(EffectExpectsCase(e)) << e;
  // 122 numbers, less 14 keys and commands, 5 not routed and 7 routed to no case.
  EXPECT_EQ(expecting, 122 - 14 - 5 - 7);
}

}  // namespace
