#include <gtest/gtest.h>

#include "engines/preset_file.h"
#include "support/session.h"

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
