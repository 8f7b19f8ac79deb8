#include "engines/correction/colour_correction_engine.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "platform/parallel/cancel.h"
#include "engines/families/effect_families.h"
#include "raster/focus_filters.h"
#include "raster/smart_blur.h"
#include "raster/susan_denoise.h"
#include "script/engine_rows.h"
#include "script/param_block.h"
#include "script/script_file.h"
#include "support/session.h"

#include "engine_row_fixture.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 8, kH = 6, kN = kW * kH;

Plane Ramp(int seed) {
  Plane p(kN);
  for (int i = 0; i < kN; ++i) p[i] = static_cast<uint8_t>((i * 37 + seed * 91 + (i % 5) * 13) & 255);
  return p;
}

struct Rgb {
  Plane r = Ramp(1), g = Ramp(2), b = Ramp(3);
};

ColCorPar Record(int kind) {
  ColCorPar r;
  Init_ColCorPar(&r, kW, kH, 72, static_cast<int16_t>(kind), 0, 0);
  return r;
}

// One FillBuf over the whole 8 x 6 planes.
void Fill(const ColCorPar& par, Rgb* p, int16_t mode, int16_t strength, int16_t apply,
          const uint8_t* mask = nullptr) {
  MiscColCor e;
  e.SetColCorPar(&par);
  e.FillBuf(3, mode, strength, 0, apply, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
            p->r.data(), p->g.data(), p->b.data(), nullptr, mask);
}

std::vector<uint32_t> Packed(const Rgb& p) {
  std::vector<uint32_t> px(kN);
  for (int i = 0; i < kN; ++i) {
    auto* b = reinterpret_cast<uint8_t*>(&px[i]);
    b[0] = p.r[i], b[1] = p.g[i], b[2] = p.b[i], b[3] = 0;
  }
  return px;
}

uint8_t Grey(const Rgb& p, int i) { return static_cast<uint8_t>((p.r[i] + p.g[i] + p.b[i]) / 3); }

class ColCorEngine : public vmktest::SessionTest {};

TEST_F(ColCorEngine, NothingRunsLeavesTheImageUnderReplace) {
  const Rgb in;
  ColCorPar par = Record(104);
  // Word 17 outside the four corrections: the packed input blends back onto itself.
  par.w[kCCKind] = 22;
  Rgb p;
  Fill(par, &p, 0, 255, 1);
  EXPECT_EQ(p.r, in.r);
  EXPECT_EQ(p.b, in.b);
  // Strength 0 leaves a real correction out.
  par = Record(104);
  par.w[5007] = 100;
  Fill(par, &p, 0, 0, 1);
  EXPECT_EQ(p.g, in.g);
  // Focus modes 0 and 16 run no kernel.
  for (int32_t mode : {0, 16}) {
    par = Record(105);
    par.w[kCCFocusMode] = mode;
    Fill(par, &p, 0, 255, 1);
    EXPECT_EQ(p.r, in.r) << mode;
  }
}

TEST_F(ColCorEngine, ChannelMixAtZeroPercentReturnsTheInput) {
  const Rgb in;
  ColCorPar par = Record(119);
  // A matrix that swaps red and blue: it shows at 100 percent and not at 0.
  for (int k = 0; k < 20; ++k) par.w[kCCMatrix + k] = 0;
  par.w[kCCMatrix + 2] = 100;
  par.w[kCCMatrix + 4 + 1] = 100;
  par.w[kCCMatrix + 8 + 0] = 100;
  par.w[kCCMixPercent] = 0;
  Rgb p;
  Fill(par, &p, 0, 255, 1);
  EXPECT_EQ(p.r, in.r);
  EXPECT_EQ(p.b, in.b);
  par.w[kCCMixPercent] = 100;
  Fill(par, &p, 0, 255, 1);
  EXPECT_NE(p.r, in.r);
}

TEST_F(ColCorEngine, ApplyZeroSelfBlendsApplyThreeLeaves) {
  const Rgb in;
  const ColCorPar par = Record(103);
  Rgb p;
  Fill(par, &p, 10, 255, 3);  // neither processes nor blends
  EXPECT_EQ(p.r, in.r);
  Fill(par, &p, 10, 255, 0);
  for (int i = 0; i < kN; ++i) {
    unsigned char v = 0;
    X_optionRPart(&v, 11, in.r[i], in.r[i]);
    ASSERT_EQ(p.r[i], v) << i;
  }
}

TEST_F(ColCorEngine, MaskWeightsTheStrength) {
  const Rgb in;
  ColCorPar par = Record(0);  // renders nothing: the self-blend shows the weights
  Plane mask(kN);
  for (int i = 0; i < kN; ++i) mask[i] = static_cast<uint8_t>(i * 5);
  Rgb p;
  Fill(par, &p, 10, 200, 1, mask.data());
  for (int i = 0; i < kN; ++i) {
    unsigned char v = 0;
    X_optionRPart(&v, 11, in.g[i], in.g[i]);
    const int a = mask[i] * 200 / 255;
    ASSERT_EQ(p.g[i], ((255 - a) * in.g[i] + a * v) / 255) << i;
  }
  // One plane blends the grey of the three packed bytes, which is the plane itself.
  Plane one = in.r;
  MiscColCor e;
  e.SetColCorPar(&par);
  e.FillBuf(1, 10, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, one.data(),
            nullptr, nullptr, nullptr, nullptr);
  unsigned char v = 0;
  X_optionRPart(&v, 11, in.r[7], in.r[7]);
  EXPECT_EQ(one[7], v);
}

// The focus chains against the kernels run by hand in the stated orders.
TEST_F(ColCorEngine, FocusChainsAreTheKernelsInOrder) {
  const std::vector<std::pair<int16_t, std::vector<int16_t>>> orders = {
      {3, {kFocusDeblur, kFocusDenoise}},
      {9, {kFocusEdgeBlur, kFocusDeblur}},
      {11, {kFocusDenoise, kFocusEdgeBlur, kFocusDeblur}},
      {15, {kFocusDenoise, kFocusEdgeBlur, kFocusDeblur, kFocusSharpen}},
  };
  for (const auto& [mode, steps] : orders) {
    ColCorPar par = Record(105);
    par.w[kCCFocusMode] = mode;
    for (int k = 0; k < 16; ++k) par.w[kCCFocus + k] = 3 + 7 * k % 60;
    const Rgb in;
    std::vector<uint32_t> src = Packed(in), dst = src;
    Plane grey(kN), spare(kN);
    for (int i = 0; i < kN; ++i) grey[i] = Grey(in, i);
    const int32_t* w = par.w;
    auto S = [](int32_t v) { return static_cast<int16_t>(v); };
    for (size_t k = 0; k < steps.size(); ++k) {
      if (k > 0) src = dst;
      switch (steps[k]) {
        case kFocusDeblur:
          X_DeBlur_buffer(1, kH, kW, src.data(), dst.data(), kH, kW, grey.data(), spare.data(), kH,
                          kW, 0, 0, kW, kH, 0, 0, 0, 1.f, 1.f, S(w[4991]), S(w[4995]), S(w[4999]),
                          S(w[5003]));
          break;
        case kFocusDenoise:
          X_DeNoise_buffer(1, kH, kW, src.data(), dst.data(), 0, 0, kW, kH, S(w[4992]),
                           S(w[4996]), S(w[5000]), S(w[5004]));
          break;
        case kFocusSharpen:
          X_HighSharp_buffer(1, kH, kW, src.data(), dst.data(), kH, kW, grey.data(), spare.data(),
                             kH, kW, 0, 0, kW, kH, 0, 0, 0, 1.f, 1.f, S(w[4993]), S(w[4997]),
                             S(w[5001]), S(w[5005]));
          break;
        default:
          X_bluroutedge_buffer(1, kH, kW, src.data(), dst.data(), kH, kW, grey.data(),
                               spare.data(), kH, kW, 0, 0, kW, kH, 0, 0, 0, 1.f, 1.f, S(w[4994]),
                               S(w[4998]), S(w[5006]), S(w[5002]), 0);
      }
    }
    Rgb p;
    Fill(par, &p, 0, 255, 1);
    for (int i = 0; i < kN; ++i) {
      const auto* d = reinterpret_cast<const uint8_t*>(&dst[i]);
      ASSERT_EQ(p.r[i], d[0]) << mode << " " << i;
      ASSERT_EQ(p.b[i], d[2]) << mode << " " << i;
    }
  }
  EXPECT_EQ(FocusChain(0), nullptr);
  EXPECT_EQ(FocusChain(16), nullptr);
}

// The smoothing amount is a diameter: halved, held within 5..22 by the smart blur, and only
// half of that is scanned. Amounts from 44 up all scan 11 pixels and give the same picture,
// byte for byte; below, the picture changes only where the scan does, every fourth amount.
TEST_F(ColCorEngine, SmoothingAmountStopsMovingTheResultAt44) {
  constexpr int32_t w = 48, h = 32;
  // Low contrast everywhere: every neighbour is similar, so each scan runs its full length.
  // The samples are hashed from their place, as a repeating pattern can average to the same
  // rounded means over a window of 21 and of 23.
  std::vector<uint32_t> src(static_cast<size_t>(w) * h);
  Plane grey(src.size());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      const uint32_t hash = (static_cast<uint32_t>(i) * 2654435761u) >> 8;
      auto* b = reinterpret_cast<uint8_t*>(&src[i]);
      b[0] = static_cast<uint8_t>(90 + hash % 23);
      b[1] = static_cast<uint8_t>(120 + (hash >> 5) % 19);
      b[2] = static_cast<uint8_t>(60 + (hash >> 10) % 17);
      b[3] = 0;
      grey[i] = static_cast<uint8_t>((b[0] + b[1] + b[2]) / 3);
    }
  auto smooth = [&](int32_t amount) {
    ColCorPar par = Record(104);
    par.w[5008] = amount;
    MiscColCor e;
    e.SetColCorPar(&par);
    std::vector<uint32_t> dst = src;
    e.ProcessSmooth(h, w, src.data(), dst.data(), grey.data());
    return dst;
  };
  const std::vector<uint32_t> at44 = smooth(44);
  EXPECT_NE(at44, src);
  for (int32_t amount : {45, 60, 80, 98, 100}) EXPECT_EQ(smooth(amount), at44) << amount;
  EXPECT_NE(smooth(40), at44);
  EXPECT_EQ(smooth(40), smooth(43));
  EXPECT_EQ(smooth(0), smooth(11));
  EXPECT_NE(smooth(11), smooth(12));
  // Exactly the smart-blur smoothing at the largest radius it takes, with the record's other
  // values (mode, iterate, 'Sdet', 'Sgra' and mutate at their defaults).
  const ColCorPar par = Record(104);
  std::vector<uint32_t> direct = src;
  ASSERT_EQ(X_Smooth_buffer(1, h, w, src.data(), direct.data(), h, w, grey.data(), h, w, 0, 0, w, h, 0,
                            0, 0, 1.0f, 1.0f, static_cast<int16_t>(par.w[5012]), 1,
                            static_cast<int16_t>(par.w[5007]), 22, static_cast<int16_t>(par.w[5009]),
                            static_cast<int16_t>(par.w[5011]), static_cast<int16_t>(par.w[5010])),
            0);
  EXPECT_EQ(at44, direct);
}

// Under a flag nobody raises every correction gives the same samples as
// without one; raised before the render, each stops and leaves planes that
// its owner drops, without crashing on what its steps left unfinished.
TEST_F(ColCorEngine, CancelledRendersStopAndUncancelledOnesAreUnchanged) {
  for (int kind : {103, 104, 105, 119}) {
    ColCorPar par = Record(kind);
    par.w[kCCFocusMode] = 15;
    par.w[kCCNoise + 2] = 3;
    par.w[kCCMatrix + 1] = 40;
    Rgb plain, watched, stopped;
    Fill(par, &plain, 0, 255, 1);
    plat::CancelFlag flag;
    {
      const plat::CancelScope scope(&flag);
      Fill(par, &watched, 0, 255, 1);
      flag.Cancel();
      Fill(par, &stopped, 0, 255, 1);
    }
    EXPECT_EQ(watched.r, plain.r) << kind;
    EXPECT_EQ(watched.g, plain.g) << kind;
    EXPECT_EQ(watched.b, plain.b) << kind;
    const Rgb input;
    EXPECT_TRUE(plain.r != input.r || plain.g != input.g || plain.b != input.b) << kind;
  }
}

TEST_F(ColCorEngine, AbsurdWordsAndNoMemoryLeaveThePlanes) {
  const Rgb in;
  for (int kind : {103, 104, 105}) {
    ColCorPar par = Record(kind);
    for (int k = 4983; k < kColCorWords; ++k) par.w[k] = (k & 1) ? -70000 : 70000;
    Rgb p;
    Fill(par, &p, 99, 255, 1);  // a blend mode outside 0..11 keeps every pixel
    EXPECT_EQ(p.r, in.r) << kind;
  }
  Rgb p;
  vmktest::NoWorkMemory none;
  Fill(Record(104), &p, 10, 255, 1);
  EXPECT_EQ(p.r, in.r);
}

// The registered rows through the script on 8 x 6 planes.
class ColCorRows : public vmktest::EngineRowTest<kW, kH> {};

TEST_F(ColCorRows, EachRowRendersItsCorrectionThroughPlaneSix) {
  const Plane six = Ramp(6);
  std::memcpy(s_.ChannelPlane(6, 1), six.data(), kN);
  for (EffectCode effect : {103, 104, 105, 119}) {
    ASSERT_NE(FindEngineRow(effect), nullptr) << effect;
    Oprn* op = OnePlaneOperation(effect);
    if (op->MulStruc == nullptr) {
      ASSERT_EQ(Alloc_MulStruc(&op->MulStruc, 0), 0);
    }
    ASSERT_EQ(Init_MulStruc(op->MulStruc, 1, 23), 0);
    auto* par = static_cast<ColCorPar*>(MulStrucRecord(op->MulStruc, 23));
    ASSERT_NE(par, nullptr);
    par->w[kCCKind] = effect;
    par->w[kCCFocusMode] = 4;
    par->w[kCCMixPercent] = 60;
    par->w[5007] = 80;
    op->Mode = 10;  // a mode whose self-blend shows when nothing ran
    op->Opa = 200;
    uint8_t* plane = s_.ChannelPlane(9, 1);
    const Plane in = Ramp(effect);
    std::memcpy(plane, in.data(), kN);
    EXPECT_EQ(s_.PerformToEffect(op), 0) << effect;

    Plane want = in;
    MiscColCor e;
    e.SetColCorPar(par);
    e.FillBuf(1, 10, 200, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
              want.data(), nullptr, nullptr, nullptr, six.data());
    EXPECT_EQ(Plane(plane, plane + kN), want) << effect;
  }
}

}  // namespace

// ---- a part of the picture with its reach ----

// A 360 x 270 picture with grain, edges and gradients, planes bottom row first.
struct Photo {
  static constexpr int32_t kWidth = 360, kHeight = 270;
  Plane r, g, b;
  Photo() : r(kWidth * kHeight), g(kWidth * kHeight), b(kWidth * kHeight) {
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const size_t i = static_cast<size_t>(kHeight - 1 - y) * kWidth + x;
        const uint32_t grain = (static_cast<uint32_t>(x) * 7919u + static_cast<uint32_t>(y) * 104729u) % 61u;
        r[i] = static_cast<uint8_t>(x * 200 / kWidth + grain);
        g[i] = static_cast<uint8_t>(((x / 23 + y / 17) % 2) * 120 + grain / 2);
        b[i] = static_cast<uint8_t>(y * 255 / kHeight);
      }
  }
};

// The render of the rectangle [x0, x1) x [y0, y1) of the picture on planes of its own, as a
// preview renders a zoomed part, against the render of the whole picture: the part
// [px0, px1) x [py0, py1) inside it is the whole render's own.
void ExpectPartAsWhole(const ColCorPar& par, const Photo& photo, const Rgb& whole, int32_t px0, int32_t py0,
                       int32_t px1, int32_t py1) {
  constexpr int32_t W = Photo::kWidth, H = Photo::kHeight;
  const int32_t reach = ColCorReach(par);
  // The part and its reach, on the whole picture's grid of eight (columns from
  // the left, rows from the bottom).
  const int32_t x0 = std::max(px0 - reach, 0) & ~7;
  const int32_t y0 = std::max(py0 - reach, 0);
  const int32_t x1 = std::min(px1 + reach, W);
  int32_t y1 = std::min(py1 + reach, H);
  y1 = H - (H - y1) / 8 * 8;
  const int32_t w = x1 - x0, h = y1 - y0;
  Rgb part;
  for (Plane* p : {&part.r, &part.g, &part.b}) p->assign(static_cast<size_t>(w) * h, 0);
  const Plane* from[3] = {&photo.r, &photo.g, &photo.b};
  Plane* to[3] = {&part.r, &part.g, &part.b};
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x)
      for (int k = 0; k < 3; ++k)
        (*to[k])[static_cast<size_t>(y1 - 1 - y) * w + (x - x0)] = (*from[k])[static_cast<size_t>(H - 1 - y) * W + x];
  MiscColCor e;
  e.SetColCorPar(&par);
  e.FillBuf(3, 0, 255, 0, 1, w, h, 0, 0, w, h, W, H, x0, y0, x1 - 1, y1 - 1, 1.0f, 1.0f, part.r.data(),
            part.g.data(), part.b.data(), nullptr, nullptr);
  int differ = 0;
  for (int32_t y = py0; y < py1; ++y)
    for (int32_t x = px0; x < px1; ++x) {
      const size_t a = static_cast<size_t>(y1 - 1 - y) * w + (x - x0), b = static_cast<size_t>(H - 1 - y) * W + x;
      differ += part.r[a] != whole.r[b];
      differ += part.g[a] != whole.g[b];
      differ += part.b[a] != whole.b[b];
    }
  EXPECT_EQ(differ, 0) << "part " << px0 << "," << py0 << " .. " << px1 << "," << py1 << ", reach " << reach;
}

// Every correction at the largest values its dialog reaches (each focus step alone and all
// four chained), and a few at their defaults: a part in the middle, at a corner and at the
// far edges, rendered with its reach, is what the whole picture's render makes of it.
TEST_F(ColCorEngine, APartWithItsReachRendersAsTheWholePictureDoes) {
  constexpr int32_t W = Photo::kWidth, H = Photo::kHeight;
  const Photo photo;
  std::vector<std::pair<const char*, ColCorPar>> cases;
  const auto base = [](int kind) {
    ColCorPar r;
    Init_ColCorPar(&r, W, H, 72, static_cast<int16_t>(kind), 0, 0);
    return r;
  };
  for (int kind : {103, 104, 105}) cases.emplace_back("defaults", base(kind));
  {
    ColCorPar r = base(119);
    r.w[kCCMatrix + 1] = 40;
    r.w[kCCMatrix + 4] = -30;
    cases.emplace_back("a mix", r);
  }
  {
    ColCorPar r = base(103);
    r.w[kCCNoise] = 100;
    r.w[kCCNoise + 1] = 100;
    r.w[kCCNoise + 2] = 5;
    cases.emplace_back("noise at its largest", r);
  }
  {
    ColCorPar r = base(104);
    for (int k = 0; k < 5; ++k) r.w[kCCSmoothing + k] = 100;
    cases.emplace_back("smoothing at its largest", r);
  }
  // The focus groups' largest values: deblur, denoise, sharpen, edge blur; rows mutate,
  // iterate, amount, edge or threshold (FocusWord: kCCFocus + 4 * row + group).
  constexpr int32_t kLargest[4][4] = {{100, 10, 100, 10}, {100, 20, 100, 100}, {100, 20, 100, 10}, {100, 15, 10, 100}};
  const auto focus = [&](int32_t modeBits) {
    ColCorPar r = base(105);
    r.w[kCCFocusMode] = modeBits;
    for (int32_t row = 0; row < 4; ++row)
      for (int32_t group = 0; group < 4; ++group) r.w[kCCFocus + 4 * row + group] = kLargest[group][row];
    return r;
  };
  for (int32_t bits : {1, 2, 4, 8, 15}) cases.emplace_back("focus at its largest", focus(bits));
  for (const auto& [name, par] : cases) {
    SCOPED_TRACE(std::string(name) + ", kind " + std::to_string(par.w[kCCKind]) + ", focus mode " +
                 std::to_string(par.w[kCCFocusMode]));
    Rgb whole;
    whole.r = photo.r;
    whole.g = photo.g;
    whole.b = photo.b;
    MiscColCor e;
    e.SetColCorPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, W, H, 0, 0, W, H, W, H, 0, 0, W - 1, H - 1, 1.0f, 1.0f, whole.r.data(),
              whole.g.data(), whole.b.data(), nullptr, nullptr);
    ASSERT_NE(whole.r, photo.r);
    ExpectPartAsWhole(par, photo, whole, 131, 97, 203, 151);
    ExpectPartAsWhole(par, photo, whole, 0, 0, 45, 38);
    ExpectPartAsWhole(par, photo, whole, 301, 219, W, H);
  }
  // What the reach is made of: the channel mixer reaches nothing, the noise reduction its
  // smart blur's five pixels a pass, the smoothing at most eleven.
  EXPECT_EQ(ColCorReach(base(119)), 0);
  ColCorPar noise = base(103);
  noise.w[kCCNoise + 2] = 1;
  EXPECT_EQ(ColCorReach(noise), 5 + 5);
  noise.w[kCCNoise + 2] = 5;
  EXPECT_EQ(ColCorReach(noise), 25 + 5);
  ColCorPar smooth = base(104);
  smooth.w[kCCSmoothing + 1] = 100;
  EXPECT_EQ(ColCorReach(smooth), 11 + 5);
}
