#include <gtest/gtest.h>

#include "engines/records/preset_file.h"
#include "support/preset_files.h"

using plat::bytes::Order;

namespace {

struct TinyPar {
  int32_t order = 0;
  int32_t a = 0;
  int32_t b = 0;  // not copied: must reach the file as zero
  static constexpr int32_t kStoredSize = 16;
};

template <class V>
void VisitRecord(V& v, TinyPar& r) {
  v.flag(r.order);
  v.i32(r.a);
  v.i32(r.b);
  v.reserved(4);
}

void CopyTiny(const TinyPar* s, TinyPar* d) {
  d->order = s->order;
  d->a = s->a;
}

constexpr vmkrec::PresetFormat kHead{FourCC("tEst"), "Load a New Test...",
                                     vmkrec::PresetLayout::HeadAndRecord, 7, false};
constexpr vmkrec::PresetFormat kOnly{FourCC("tEst"), "", vmkrec::PresetLayout::RecordOnly, 0,
                                     false};

class PresetImage : public vmktest::SessionTest {
 protected:
  void TearDown() override { plat::bytes::setHostOrderForTesting(std::nullopt); }
};

TEST_F(PresetImage, HeadAndRecordLayout) {
  for (Order host : {Order::Little, Order::Big}) {
    plat::bytes::setHostOrderForTesting(host);
    TinyPar r{HostOrderFlag(), 0x0A0B0C0D, 99};
    std::vector<uint8_t> img;
    ASSERT_TRUE(vmkrec::BuildPresetImage(kHead, r, CopyTiny, &img));
    const std::vector<uint8_t> expect = {
        static_cast<uint8_t>(host == Order::Big ? 0 : 1), 0, 0,
        static_cast<uint8_t>(host == Order::Big ? 1 : 0),  // 1 in the writer's order
        7, 0, 0, 0,                                        // format number, little-endian
        1, 0, 0, 0,                                        // word 0
        0x0D, 0x0C, 0x0B, 0x0A,                            // a
        0, 0, 0, 0,                                        // b: not copied, so zero
        0, 0, 0, 0};
    EXPECT_EQ(img, expect);
    EXPECT_EQ(r.b, 99);  // the caller's record is not changed by a save

    TinyPar back;
    ASSERT_TRUE(vmkrec::ParsePresetImage(kHead, img.data(), img.size(), &back));
    EXPECT_EQ(back.a, 0x0A0B0C0D);
    EXPECT_EQ(back.order, HostOrderFlag());
    EXPECT_FALSE(vmkrec::ParsePresetImage(kHead, img.data(), img.size() - 1, &back));
  }
}

TEST_F(PresetImage, RecordOnlyLayoutHasNoHead) {
  TinyPar r{1, 5, 0};
  std::vector<uint8_t> img;
  ASSERT_TRUE(vmkrec::BuildPresetImage(kOnly, r, CopyTiny, &img));
  ASSERT_EQ(img.size(), 16u);
  EXPECT_EQ(img[0], 1);
  EXPECT_EQ(img[4], 5);
  EXPECT_EQ(vmkrec::PresetFileSize(kOnly, 16), 16u);
  EXPECT_EQ(vmkrec::PresetFileSize(kHead, 16), 24u);
}

}  // namespace

namespace {

// A sectioned record: a head with its own word, then as many entries as its count says.
struct LayeredPar {
  int32_t order = 0;
  int32_t count = 0;
  int32_t entries[4] = {};
  static constexpr int32_t kStoredSize = 8;
  static constexpr int32_t kMaxStoredSize = 8 + 4 * 4;
};

template <class V>
void VisitRecord(V& v, LayeredPar& r) {
  v.flag(r.order);
  const int32_t n = v.count32(r.count);
  if (n < 0 || n > 4) return v.fail();
  v.i32s(r.entries, static_cast<size_t>(n));
}

// Its file carries a head of its own.
template <class V>
void VisitPresetFile(V& v, const vmkrec::PresetFormat&, LayeredPar& r) {
  int32_t magic = 0x4C415952;
  v.i32(magic);
  if (magic != 0x4C415952) return v.fail();
  VisitRecord(v, r);
}

void CopyLayered(const LayeredPar* s, LayeredPar* d) { *d = *s; }

constexpr vmkrec::PresetFormat kLayers{FourCC("tLay"), "", vmkrec::PresetLayout::RecordOnly, 0,
                                       false};

class SectionedPreset : public vmktest::PresetFileTest {};

TEST_F(SectionedPreset, CountsDecideTheSizeAndAreChecked) {
  LayeredPar r{1, 2, {5, 6, 0, 0}};
  const std::string path = dir_.file("l.tlay");
  ASSERT_EQ(vmkrec::DoPresetFile(2, vmktest::SpecForPath(path), &r, kLayers, CopyLayered), -1);
  std::vector<uint8_t> img;
  ASSERT_TRUE(vmkrec::BuildPresetImage(kLayers, r, CopyLayered, &img));
  EXPECT_EQ(img.size(), 4u + 8u + 8u);
  img.push_back(0xAB);  // trailing bytes past the record are ignored
  vmktest::WriteBytes(path, img);
  LayeredPar back;
  ASSERT_EQ(vmkrec::DoPresetFile(2, vmktest::SpecForPath(path), &back, kLayers, CopyLayered), 0);
  EXPECT_EQ(back.count, 2);
  EXPECT_EQ(back.entries[1], 6);

  // An absurd count and a foreign head are refused, the record untouched.
  img[8] = 9;
  vmktest::WriteBytes(path, img);
  EXPECT_EQ(vmkrec::DoPresetFile(2, vmktest::SpecForPath(path), &back, kLayers, CopyLayered), -1);
  img[8] = 2;
  img[0] = 0;
  vmktest::WriteBytes(path, img);
  EXPECT_EQ(vmkrec::DoPresetFile(2, vmktest::SpecForPath(path), &back, kLayers, CopyLayered), -1);
  EXPECT_EQ(back.entries[1], 6);
  EXPECT_EQ(back.count, 2);

  // Converted in place on a big-endian host, the count still walks its two entries.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  vmkrec::SwapRecord(back, 1, 0);
  EXPECT_EQ(back.entries[1], 0x06000000);
  EXPECT_EQ(back.entries[2], 0);
  vmkrec::SwapRecord(back, 0, 0);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(back.entries[1], 6);
  EXPECT_EQ(back.count, 2);
}

}  // namespace
