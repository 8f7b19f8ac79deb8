// Colour-correction and lens-correction records and their preset files.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engines/correction/colour_correction.h"
#include "engines/correction/lens_correction.h"
#include "engines/records/preset_file.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

std::unique_ptr<ColCorPar> DefaultColCor(int16_t kind) {
  auto r = std::make_unique<ColCorPar>();
  Init_ColCorPar(r.get(), 640, 480, 72, kind, 0, 0);
  return r;
}

// A stored form as an older big-endian writer left it: every word reversed, word 0 = 0.
std::vector<uint8_t> AsBigEndian(std::vector<uint8_t> b, size_t from, size_t words) {
  for (size_t i = from; i < from + 4 * words; i += 4) {
    std::swap(b[i], b[i + 3]);
    std::swap(b[i + 1], b[i + 2]);
  }
  b[from] = b[from + 1] = b[from + 2] = b[from + 3] = 0;
  return b;
}

TEST(ColCorRecord, InitByPartAndSectionedCopy) {
  auto r = DefaultColCor(103);
  r->w[50] = 77;                     // an array entry
  r->w[ColCorTable(2) + 3] = 99;     // a curve
  r->w[30] = 5;                      // the matrix
  Init_ColCorPar(r.get(), 10, 20, 30, 105, 1, 0);
  EXPECT_EQ(r->w[50], 77);
  EXPECT_EQ(r->w[ColCorTable(2) + 3], 99);
  EXPECT_EQ(r->w[30], 0);
  EXPECT_EQ(r->w[kCCKind], 105);
  Init_ColCorPar(r.get(), 10, 20, 30, 105, 3, 2);
  EXPECT_EQ(r->w[ColCorTable(2) + 3], 3);

  // Curve 4 into all four destination curves.
  auto s = DefaultColCor(119);
  s->w[ColCorTable(4) + 10] = -1;
  s->w[ColCorPoints(4) + 60] = 61;
  auto d = DefaultColCor(119);
  d->w[50] = 8;
  Copy_ColCorPar(s.get(), d.get(), 3, 4, 0);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(d->w[ColCorTable(n) + 10], -1) << n;
    EXPECT_EQ(d->w[ColCorPoints(n) + 60], 61) << n;
  }
  EXPECT_EQ(d->w[50], 8);  // part 3 leaves the arrays

  // Curve 1 into curve 3 only; a how above 4 copies no curve.
  d = DefaultColCor(119);
  s->w[ColCorTable(1)] = 42;
  Copy_ColCorPar(s.get(), d.get(), 0, 1, 3);
  EXPECT_EQ(d->w[ColCorTable(3)], 42);
  EXPECT_EQ(d->w[ColCorTable(1)], 0);
  d = DefaultColCor(119);
  Copy_ColCorPar(s.get(), d.get(), 3, 5, 0);
  EXPECT_EQ(d->w[ColCorTable(4) + 10], 10);

  // The further point lists and words 4984-4987 are never copied.
  s->w[4600] = 1;
  s->w[4985] = 2;
  s->w[2000] = 3;
  d = DefaultColCor(119);
  Copy_ColCorPar(s.get(), d.get(), 0, 0, 0);
  EXPECT_EQ(d->w[4600], 0);
  EXPECT_EQ(d->w[4985], 0);
  EXPECT_EQ(d->w[2000], 3);
  // Any other part copies only the always-copied words.
  s->w[5010] = -9;
  s->w[26] = 4;
  d = DefaultColCor(119);
  Copy_ColCorPar(s.get(), d.get(), 7, 0, 0);
  EXPECT_EQ(d->w[5010], -9);
  EXPECT_EQ(d->w[26], 0);
}

class ColCorFile : public vmktest::PresetFileTest {};

TEST_F(ColCorFile, LayoutAndPerEffectLoading) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  auto preset = DefaultColCor(104);
  preset->w[5008] = 33;
  preset->w[5014] = 66;
  preset->w[kCCMixPercent] = 40;
  preset->w[4600] = 5;  // never copied, so written as zero
  const std::string path = dir_.file("s.sse5");
  ui.AnswerSaveFile(path);
  ASSERT_EQ(Do_AColCor_file(1, FSSpec{}, preset.get(), 104), 0);
  EXPECT_EQ(ui.saveRequests.back().type, FourCC("Sse5"));
  const std::vector<uint8_t> b = vmktest::ReadBytes(path);
  ASSERT_EQ(b.size(), 8u + 28228u);
  EXPECT_EQ((std::vector<uint8_t>(b.begin(), b.begin() + 12)),
            (std::vector<uint8_t>{1, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(b[8 + 4 * 5008], 33);
  EXPECT_EQ(b[8 + 4 * 4600], 0);
  for (size_t i = 8 + 4 * kColCorWords; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << i;

  // A smoothing preset brings words 5007-5012 only.
  auto target = DefaultColCor(103);
  target->w[5014] = 1;
  target->w[2] = 3000;
  auto expect = std::make_unique<ColCorPar>(*target);
  ASSERT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(path), target.get(), 104), 0);
  expect->w[5008] = 33;
  EXPECT_EQ(0, std::memcmp(target.get(), expect.get(), sizeof(ColCorPar)));

  // A channel-mix preset brings word 18 and three words of rows 0, 1, 2 and 4.
  preset->w[24 + 3] = 11;  // fourth column
  preset->w[36] = 12;      // row at word 36
  preset->w[40 + 2] = 13;
  preset->w[28] = 14;
  const std::string mix = dir_.file("m.sse2");
  ui.AnswerSaveFile(mix);
  ASSERT_EQ(Do_AColCor_file(1, FSSpec{}, preset.get(), 119), 0);
  target = DefaultColCor(119);
  ASSERT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(mix), target.get(), 119), 0);
  EXPECT_EQ(target->w[kCCMixPercent], 40);
  EXPECT_EQ(target->w[42], 13);
  EXPECT_EQ(target->w[28], 14);
  EXPECT_EQ(target->w[27], 0);
  EXPECT_EQ(target->w[36], 0);
  EXPECT_EQ(target->w[5008], 15);

  // Focus and noise reduction.
  preset->w[4983] = 6;
  preset->w[5006] = 1;
  const std::string focus = dir_.file("f.sse3");
  ui.AnswerSaveFile(focus);
  ASSERT_EQ(Do_AColCor_file(1, FSSpec{}, preset.get(), 105), 0);
  ASSERT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(focus), target.get(), 105), 0);
  EXPECT_EQ(target->w[4983], 6);
  EXPECT_EQ(target->w[5006], 1);
  EXPECT_EQ(target->w[5014], 45);
  ASSERT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(focus), target.get(), 103), 0);
  EXPECT_EQ(target->w[5014], 66);
}

TEST_F(ColCorFile, EachFileTypeRoundTripsByteForByte) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  for (int16_t kind : {103, 104, 105, 119}) {
    auto preset = DefaultColCor(kind);
    for (int32_t i = 1; i < kColCorWords; ++i) preset->w[i] = i * 7 - 3000;
    preset->w[kCCMorePoints] = 0;  // words a save never copies
    std::fill(&preset->w[4984], &preset->w[4988], 0);
    const std::string path = dir_.file("p" + std::to_string(kind));
    ui.AnswerSaveFile(path);
    ASSERT_EQ(Do_AColCor_file(1, FSSpec{}, preset.get(), kind), 0);
    const std::string stored = path + plat::files::ExtensionForType(ColCorFileType(kind));
    const std::vector<uint8_t> first = vmktest::ReadBytes(stored);
    ASSERT_EQ(first.size(), 8u + 28228u) << kind;

    // Loaded into a record that differs only in this effect's words, then saved again.
    auto target = std::make_unique<ColCorPar>(*preset);
    for (int32_t i = 18; i < kColCorWords; ++i) target->w[i] += 1;
    for (int32_t i = 18; i < kColCorWords; ++i) {
      const bool own = (kind == 104 && i >= 5007 && i <= 5012) ||
                       (kind == 103 && i >= 5013 && i <= 5016) ||
                       (kind == 105 && (i == 4983 || (i >= 4991 && i <= 5006))) ||
                       (kind == 119 && (i == 18 || ((i >= 24 && i <= 43) && i % 4 != 3 &&
                                                    !(i >= 36 && i < 40))));
      if (!own) target->w[i] = preset->w[i];
    }
    ui.AnswerOpenFile(stored);
    ASSERT_EQ(Do_AColCor_file(0, FSSpec{}, target.get(), kind), 0);
    EXPECT_EQ(ui.openRequests.back().prompt, "Load a New ColCor...");
    EXPECT_EQ(ui.openRequests.back().types, std::vector<OSType>{ColCorFileType(kind)});
    const std::string again = dir_.file("again");
    ui.AnswerSaveFile(again);
    ASSERT_EQ(Do_AColCor_file(1, FSSpec{}, target.get(), kind), 0);
    EXPECT_EQ(vmktest::ReadBytes(again + plat::files::ExtensionForType(ColCorFileType(kind))),
              first)
        << kind;
  }
}

TEST_F(ColCorFile, BigEndianShortAndUnknownFiles) {
  auto preset = DefaultColCor(103);
  preset->w[5013] = 0x01020304;
  std::vector<uint8_t> image;
  constexpr vmkrec::PresetFormat kFormat{FourCC("Sse4"), "", vmkrec::PresetLayout::HeadAndRecord,
                                         4, false};
  ASSERT_TRUE(vmkrec::BuildPresetImage(
      kFormat, *preset, [](const ColCorPar* s, ColCorPar* d) { Copy_ColCorPar(s, d, 0, 0, 0); },
      &image));
  const std::string big = dir_.file("big.sse4");
  vmktest::WriteBytes(big, AsBigEndian(image, 8, kColCorWords));
  auto target = DefaultColCor(103);
  ASSERT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(big), target.get(), 103), 0);
  EXPECT_EQ(target->w[5013], 0x01020304);
  EXPECT_EQ(target->w[0], 1);

  const std::string cut = dir_.file("cut.sse4");
  vmktest::WriteBytes(cut, std::vector<uint8_t>(image.begin(), image.end() - 4));
  auto keep = DefaultColCor(103);
  auto before = std::make_unique<ColCorPar>(*keep);
  EXPECT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(cut), keep.get(), 103), -1);
  EXPECT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(big), keep.get(), 86), -1);
  EXPECT_EQ(Do_AColCor_file(4, vmktest::SpecForPath(big), keep.get(), 103), 0);
  EXPECT_EQ(0, std::memcmp(keep.get(), before.get(), sizeof(ColCorPar)));
  EXPECT_EQ(ColCorFileType(105), FourCC("Sse3"));
  EXPECT_EQ(ColCorFileType(119), FourCC("Sse2"));
}

TEST(ZondracRecord, DefaultsAndStoredSize) {
  // The default values themselves are pinned by the golden table of default records.
  ZondracPar z;
  Init_ZondracPar(&z, 640, 480, 300, 20, 20, 2);
  ZondracPar c;
  Copy_ZondracPar(&z, &c);
  EXPECT_EQ(0, std::memcmp(&c, &z, sizeof z));
}

class LensFile : public vmktest::PresetFileTest {};

TEST_F(LensFile, PresetKeepsTheCurrentImageSize) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  ZondracPar preset;
  Init_ZondracPar(&preset, 3000, 2000, 240, 20, 20, 2);
  preset.w[kZndRotation] = -7;
  const std::string path = dir_.file("l.hznd");
  ui.AnswerSaveFile(dir_.file("l"));  // the type's extension is added
  ASSERT_EQ(Do_AZondrac_file(1, FSSpec{}, &preset), 0);
  const std::vector<uint8_t> b = vmktest::ReadBytes(path);
  ASSERT_EQ(b.size(), 8u + 4256u);
  EXPECT_EQ((std::vector<uint8_t>(b.begin(), b.begin() + 12)),
            (std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ((std::vector<uint8_t>(b.begin() + 8 + 4 * 25, b.begin() + 8 + 4 * 26)),
            (std::vector<uint8_t>{0xF9, 0xFF, 0xFF, 0xFF}));

  ZondracPar z;
  Init_ZondracPar(&z, 640, 480, 72, 20, 20, 2);
  ui.AnswerOpenFile(path);
  ASSERT_EQ(Do_AZondrac_file(0, FSSpec{}, &z), 0);
  EXPECT_EQ(ui.openRequests.back().prompt, "Load a New Lens...");
  EXPECT_EQ(ui.openRequests.back().types, std::vector<OSType>{FourCC("hZnd")});
  EXPECT_EQ(z.w[kZndWidth], 640);
  EXPECT_EQ(z.w[kZndHeight], 480);
  EXPECT_EQ(z.w[kZndResolution], 240);
  EXPECT_EQ(z.w[kZndRotation], -7);

  // Saved again from what was read, over the same image size: the same bytes.
  ZondracPar again;
  Init_ZondracPar(&again, 3000, 2000, 72, 20, 20, 2);
  ASSERT_EQ(Do_AZondrac_file(2, vmktest::SpecForPath(path), &again), 0);
  const std::string second = dir_.file("again.hznd");
  ui.AnswerSaveFile(second);
  ASSERT_EQ(Do_AZondrac_file(1, FSSpec{}, &again), 0);
  EXPECT_EQ(vmktest::ReadBytes(second), b);

  // The same file from a big-endian writer, read on either host.
  const std::string big = dir_.file("big.hznd");
  vmktest::WriteBytes(big, AsBigEndian(b, 8, kZondracWords));
  for (auto host : {plat::bytes::Order::Little, plat::bytes::Order::Big}) {
    plat::bytes::setHostOrderForTesting(host);
    ZondracPar y;
    Init_ZondracPar(&y, 10, 20, 72, 20, 20, 2);
    const int16_t result = Do_AZondrac_file(2, vmktest::SpecForPath(big), &y);
    plat::bytes::setHostOrderForTesting(std::nullopt);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(y.w[0], host == plat::bytes::Order::Big ? 0 : 1);
    EXPECT_EQ(y.w[kZndRotation], -7);
    EXPECT_EQ(y.w[kZndWidth], 10);
  }
}

TEST_F(LensFile, ShortFileCancelAndOtherModesLeaveTheRecord) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  const std::string path = dir_.file("cut.hznd");
  vmktest::WriteBytes(path, std::vector<uint8_t>(8 + 4255, 1));
  ZondracPar z;
  Init_ZondracPar(&z, 640, 480, 72, 20, 20, 2);
  const ZondracPar before = z;
  EXPECT_EQ(Do_AZondrac_file(2, vmktest::SpecForPath(path), &z), -1);
  ui.AnswerSaveFile(std::nullopt);
  EXPECT_EQ(Do_AZondrac_file(1, FSSpec{}, &z), -1);
  EXPECT_EQ(Do_AZondrac_file(5, vmktest::SpecForPath(path), &z), 0);
  EXPECT_EQ(Do_AZondrac_file(3, vmktest::SpecForPath(path), &z), 0);
  EXPECT_EQ(0, std::memcmp(&z, &before, sizeof z));
  EXPECT_EQ(vmktest::ReadBytes(path).size(), 8u + 4255u);
}

}  // namespace
