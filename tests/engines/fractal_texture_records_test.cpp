// Fractal and texture records and their preset files.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "engines/patterns/fractal_record.h"
#include "engines/patterns/texture_record.h"
#include "record_file_helpers.h"

namespace {

using vmktest::LittleWord;

class RecordFile : public vmktest::RecordFileTest {};

void ExpectPair(const int32_t* w, int32_t integer, int32_t fraction) {
  EXPECT_EQ(w[0], integer);
  EXPECT_EQ(w[1], fraction);
}

TEST(FractalRecord, FixedPointPairs) {
  const int32_t a[2] = {9, 9000000}, b[2] = {10, 0}, c[2] = {11, 5800000};
  EXPECT_DOUBLE_EQ(FractFixedValue(a), -0.1);
  EXPECT_DOUBLE_EQ(FractFixedValue(b), 0.0);
  EXPECT_DOUBLE_EQ(FractFixedValue(c), 1.58);
  int32_t w[2];
  SetFractFixed(w, -0.3);
  ExpectPair(w, 9, 7000000);
  SetFractFixed(w, 0.35);  // 0.35 lies just below its decimal value in binary
  ExpectPair(w, 10, 3500000);
  SetFractFixed(w, -2.0);
  ExpectPair(w, 8, 0);
  SetFractFixed(w, -0.65);
  ExpectPair(w, 9, 3500000);
  SetFractFixed(w, -1e-9);  // rounds up to the next whole value
  ExpectPair(w, 10, 0);
}

TEST(FractalRecord, DefaultsPerType) {
  auto r = std::make_unique<FractPar>();
  // The stored bytes of the type-13 defaults are pinned by the golden table of default
  // records; what follows is how the other types differ.
  Init_FractPar(r.get(), 13, 0);

  // A sample of the type table, as real values.
  struct Expect {
    int type, scale;
    double re, im;
  };
  for (const Expect& x : {Expect{2, 20, 0.5, 0.0}, Expect{7, 40, 0.7, -0.3},
                          Expect{8, 10, -0.1, -0.1}, Expect{12, 60, 1.0, 1.0},
                          Expect{19, 30, -0.7, 0.85}, Expect{24, 30, 0.5, -0.5},
                          Expect{27, 30, -1.0, 1.0}, Expect{30, 20, 0.0, 1.5},
                          Expect{31, 10, -0.65, 0.0}}) {
    FractInfo info;
    Init_FractInfo(&info, 0, x.type, 1);
    EXPECT_EQ(info.w[kFraColourScale], x.scale) << x.type;
    EXPECT_NEAR(FractFixedValue(&info.w[kFraConstRe]), x.re, 1e-12) << x.type;
    EXPECT_NEAR(FractFixedValue(&info.w[kFraConstIm]), x.im, 1e-12) << x.type;
    EXPECT_GE(info.w[kFraConstIm + 1], 0);
  }

  // Types outside the table keep the colour scale and the constant; extras only on request.
  FractInfo info;
  for (int i = 0; i < kFractInfoWords; ++i) info.w[i] = -7;
  Init_FractInfo(&info, 0, 32, 0);
  EXPECT_EQ(info.w[kFraType], 32);
  EXPECT_EQ(info.w[kFraColourScale], -7);
  EXPECT_EQ(info.w[kFraConstRe], -7);
  EXPECT_EQ(info.w[kFraConstIm + 1], -7);
  EXPECT_EQ(info.w[kFraExtras + 7], -7);
  EXPECT_EQ(info.w[kFraBailOut], 4);
}

TEST_F(RecordFile, FractalLayoutRoundTripAndDamage) {
  auto r = std::make_unique<FractPar>();
  Init_FractPar(r.get(), 5, 0);
  EXPECT_EQ(vmkrec::StoredSize(*r), 775688u);
  r->head = 9;
  r->entries[0].w[kFraIterations] = 250;
  r->entries[127].w[kFraType] = 31;
  r->entries[127].w[kFraExtras + 3] = -44;
  r->entries[64].ramp.values[3] = 0x1234;
  r->entries[64].ramp.colour[2][9] = 77;

  const auto b = vmktest::SaveByDialog(ui_, Do_AFract_file, r.get(), dir_.file("f"), FourCC("hFra"));
  ASSERT_EQ(b.size(), 775688u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 4), 9);
  EXPECT_EQ(LittleWord(b, 8), 1);          // entry 0's own flag
  EXPECT_EQ(LittleWord(b, 8 + 28), 250);   // iteration limit
  const size_t last = 8 + 6060 * 127;
  EXPECT_EQ(LittleWord(b, last + 24), 31);
  EXPECT_EQ(LittleWord(b, last + 100 + 12), -44);
  const size_t ramp = 8 + 6060 * 64 + 132;
  EXPECT_EQ(b[ramp + 2 + 6], 0x34);  // values[3], little-endian
  EXPECT_EQ(b[ramp + 2 + 7], 0x12);
  EXPECT_EQ(b[ramp + 1282 + 9], 77);
  for (int n = 0; n < kFractEntries; ++n)
    ASSERT_TRUE(vmktest::AllZero(b, 8 + 6060 * n + 1926, 4134)) << n;

  auto back = std::make_unique<FractPar>();
  ui_.AnswerOpenFile(dir_.file("f.hfra"));
  ASSERT_EQ(Do_AFract_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Fractal...");
  EXPECT_EQ(0, std::memcmp(back.get(), r.get(), sizeof(FractPar)));

  // Mode 3 writes the given file; a file of big-endian numbers reads the same.
  const std::string given = dir_.file("given.hfra");
  ASSERT_EQ(Do_AFract_file(3, vmktest::SpecForPath(given), back.get()), 0);
  EXPECT_EQ(vmktest::ReadBytes(given), b);
  const vmkrec::PresetFormat format{FourCC("hFra"), "", vmkrec::PresetLayout::RecordOnly, 0, true};
  vmktest::WriteBytes(given, vmktest::BigEndianImage(format, *r));
  auto fromBig = std::make_unique<FractPar>();
  ASSERT_EQ(Do_AFract_file(2, vmktest::SpecForPath(given), fromBig.get()), 0);
  EXPECT_EQ(0, std::memcmp(fromBig.get(), r.get(), sizeof(FractPar)));

  // A truncated file leaves the record as it was; other modes do nothing.
  vmktest::WriteBytes(given, std::vector<uint8_t>(b.begin(), b.end() - 1));
  auto keep = std::make_unique<FractPar>();
  Init_FractPar(keep.get(), 1, 0);
  const auto before = std::make_unique<FractPar>(*keep);
  EXPECT_EQ(Do_AFract_file(2, vmktest::SpecForPath(given), keep.get()), -1);
  EXPECT_EQ(Do_AFract_file(4, vmktest::SpecForPath(given), keep.get()), 0);
  EXPECT_EQ(0, std::memcmp(keep.get(), before.get(), sizeof(FractPar)));
  ui_.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(Do_AFract_file(0, FSSpec{}, keep.get()), -1);
}

TEST(FractalRecord, ConversionReversesEveryEntryAndComesBack) {
  auto r = std::make_unique<FractPar>();
  Init_FractPar(r.get(), 13, 0);
  const auto original = std::make_unique<FractPar>(*r);
  SwapFractPar(r.get(), 1, 1);
  EXPECT_EQ(r->head, 0x01000000);
  EXPECT_EQ(r->entries[0].w[kFraIterations], 0x64000000);
  EXPECT_EQ(r->entries[100].w[kFraType], 0x01000000);
  EXPECT_EQ(r->entries[100].ramp.opacity[0], 255);  // byte tables stay
  SwapFractPar(r.get(), 1, 1);
  EXPECT_EQ(0, std::memcmp(r.get(), original.get(), sizeof(FractPar)));
}

// --- texture -------------------------------------------------------------------------

TEST(TextureRecord, FileFormSplitsFloatsAndGuardsChoices) {
  TextuPar r;
  Init_TextuPar(&r);
  r.warp = -2.5f;
  r.turbulence = 10.0f;
  r.bias = 0.33f;
  r.gain = 1e10f;
  r.distortion = std::numeric_limits<float>::quiet_NaN();
  r.redKnots[0] = -0.00015f;
  r.vertShape = 4;        // outside 0..3: stored as 0
  r.horizShape = 3;
  r.particleFalloff = -1;
  r.combineMode = 9;      // stored as it is
  r.reserved1 = 7;
  r.reserved3 = -8;
  auto f = std::make_unique<TextuParFile>();
  std::memset(f->w, 0x55, sizeof f->w);
  TextuPar_to_TextuParFile(0, 0, &r, f.get());
  ExpectPair(&f->w[kTexWarp], -2, -5000);
  ExpectPair(&f->w[kTexTurbulence], 10, 0);
  ExpectPair(&f->w[kTexBias], 0, 3300);
  ExpectPair(&f->w[kTexGain], INT32_MAX, INT32_MAX);
  ExpectPair(&f->w[kTexDistortion], INT32_MIN, INT32_MIN);
  EXPECT_EQ(f->w[kTexKnots], 0);       // red knot 0: integer part
  EXPECT_EQ(f->w[kTexKnots + 6], -1);  // and its truncated fraction
  EXPECT_EQ(f->w[kTexKnots + 12 + 2], 0);
  EXPECT_EQ(f->w[kTexKnots + 12 + 6 + 2], 3300);  // green knot 2
  EXPECT_EQ(f->w[kTexVertShape], 0);
  EXPECT_EQ(f->w[kTexHorizShape], 3);
  EXPECT_EQ(f->w[kTexParticleFalloff], 0);
  EXPECT_EQ(f->w[kTexCombineMode], 9);
  EXPECT_EQ(f->w[kTexReserved1], 7);
  EXPECT_EQ(f->w[kTexReserved3], -8);
  EXPECT_EQ(f->w[kTexParticleSize], 20);

  // Back: floats within 1/10000, choices outside their range leave the record's own.
  TextuPar back;
  Init_TextuPar(&back);
  back.vertShape = 2;
  back.particleFalloff = 1;
  back.combineMode = 4;
  f->w[kTexHorizShape] = 1;
  f->w[kTexCombineMode] = -3;
  f->w[kTexVertShape] = 4;
  TextuPar_to_TextuParFile(1, 0, &back, f.get());
  EXPECT_EQ(back.warp, -2.5f);
  EXPECT_EQ(back.turbulence, 10.0f);
  EXPECT_EQ(back.bias, 0.33f);
  EXPECT_NEAR(back.greenKnots[3], 0.67f, 1e-4f);
  EXPECT_EQ(back.vertShape, 2);
  EXPECT_EQ(back.horizShape, 1);
  EXPECT_EQ(back.particleFalloff, 0);
  EXPECT_EQ(back.combineMode, 4);
  f->w[kTexCombineMode] = 5;
  TextuPar_to_TextuParFile(1, 0, &back, f.get());
  EXPECT_EQ(back.combineMode, 5);
  EXPECT_EQ(back.reserved1, 7);
}

TEST_F(RecordFile, TextureLayoutRoundTripAndDamage) {
  TextuPar r;
  Init_TextuPar(&r);
  r.warp = 12.25f;
  r.seed = 31337;
  r.lightnessShift = -40;
  r.combineMode = 3;
  r.ramp.values[0] = -2;
  r.ramp.opacity[5] = 9;
  const auto b = vmktest::SaveByDialog(ui_, Do_ATextu_file, &r, dir_.file("t"), FourCC("hTex"));
  ASSERT_EQ(b.size(), 6188u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 16), 12);
  EXPECT_EQ(LittleWord(b, 20), 2500);
  EXPECT_EQ(LittleWord(b, 68), 31337);
  EXPECT_EQ(LittleWord(b, 112), 3);
  EXPECT_EQ(LittleWord(b, 172), 3300);  // red knot 2's fraction
  EXPECT_EQ(LittleWord(b, 292), -40);
  EXPECT_TRUE(vmktest::AllZero(b, 296, 4096));
  EXPECT_EQ(b[4392 + 2], 0xFE);  // ramp value 0, little-endian
  EXPECT_EQ(b[4392 + 3], 0xFF);
  EXPECT_EQ(b[4392 + 514 + 5], 9);
  EXPECT_EQ(b[6186] | b[6187], 0);

  TextuPar back;
  Init_TextuPar(&back);
  ASSERT_EQ(Do_ATextu_file(2, vmktest::SpecForPath(dir_.file("t.htex")), &back), 0);
  EXPECT_EQ(back.warp, 12.25f);
  EXPECT_EQ(back.seed, 31337);
  EXPECT_EQ(back.combineMode, 3);
  EXPECT_EQ(back.redKnots[2], 0.33f);
  EXPECT_EQ(back.ramp.values[0], -2);
  EXPECT_EQ(back.ramp.opacity[5], 9);

  const vmkrec::PresetFormat format{FourCC("hTex"), "", vmkrec::PresetLayout::RecordOnly, 0, false};
  auto form = std::make_unique<TextuParFile>();
  TextuPar_to_TextuParFile(0, 0, &r, form.get());
  const std::string big = dir_.file("big.htex");
  vmktest::WriteBytes(big, vmktest::BigEndianImage(format, *form));
  TextuPar fromBig;
  Init_TextuPar(&fromBig);
  ASSERT_EQ(Do_ATextu_file(2, vmktest::SpecForPath(big), &fromBig), 0);
  EXPECT_EQ(fromBig.byteOrder, 1);
  EXPECT_EQ(fromBig.seed, 31337);
  EXPECT_EQ(fromBig.ramp.values[0], -2);

  // Truncated: untouched. Mode 3 writes nothing.
  vmktest::WriteBytes(big, std::vector<uint8_t>(b.begin(), b.begin() + 6000));
  TextuPar keep;
  Init_TextuPar(&keep);
  EXPECT_EQ(Do_ATextu_file(2, vmktest::SpecForPath(big), &keep), -1);
  EXPECT_EQ(keep.seed, 0);
  EXPECT_EQ(keep.warp, 0.0f);
  const std::string none = dir_.file("none.htex");
  EXPECT_EQ(Do_ATextu_file(3, vmktest::SpecForPath(none), &r), 0);
  EXPECT_FALSE(std::filesystem::exists(none));
}

}  // namespace
