// The save step of the buffer swap file on a maker's folder whose writes fail as on a full
// disk: the slot cannot be kept, so the step answers -1 and changes nothing (its planes as
// they were, under any blend, the slot's earlier file whole), where it once answered 0 and
// left a later recall to find nothing or an earlier render's planes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "operations/effects.h"
#include "platform/files/file_io.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

class SwapSaveFailure : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
  }
  void TearDown() override { plat::files::FailWritesForTesting("", 0); }
  std::string Slot(int slot) const { return dir_.file("pspBuf" + std::to_string(slot) + ".lst"); }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

Plane Pattern(size_t n, int seed) {
  Plane p(n);
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(seed + 13 * i + i / 7);
  return p;
}

TEST_F(SwapSaveFailure, ASaveThatCannotBeWrittenFailsAndChangesNothing) {
  constexpr int32_t w = 9, h = 7;
  const Plane r0 = Pattern(w * h, 1), g0 = Pattern(w * h, 2), b0 = Pattern(w * h, 3);
  // An earlier render's planes in the slot.
  Plane r = r0, g = g0, b = b0;
  ASSERT_EQ(Effects::SaveRecallBuf(0, 255, r.data(), g.data(), b.data(), h, w, 0, 0, w - 1, h - 1,
                                   nullptr, 3, 0, 4),
            0);
  const std::vector<unsigned char> earlier = vmktest::ReadBytes(Slot(4));
  plat::files::FailWritesForTesting(dir_.path().string(), ENOSPC);
  struct Case {
    int16_t mode;
    int32_t x0, y0, x1, y1;
    int16_t channels;
  };
  // The whole planes and a part of them, replacing and adding (which doubles what it saves),
  // one plane and three.
  const Case cases[] = {{0, 0, 0, w - 1, h - 1, 3},
                        {1, 0, 0, w - 1, h - 1, 3},
                        {0, 2, 1, 6, 5, 3},
                        {1, 2, 1, 6, 5, 1},
                        {3, -2, -2, w + 3, h + 3, 1}};
  for (const Case& c : cases) {
    Plane pr = Pattern(w * h, 7), pg = Pattern(w * h, 8), pb = Pattern(w * h, 9);
    EXPECT_EQ(Effects::SaveRecallBuf(c.mode, 255, pr.data(), pg.data(), pb.data(), h, w, c.x0, c.y0,
                                     c.x1, c.y1, nullptr, c.channels, 0, 4),
              -1)
        << "mode " << c.mode << " region " << c.x0 << "," << c.y0;
    EXPECT_EQ(pr, Pattern(w * h, 7)) << "mode " << c.mode;
    EXPECT_EQ(pg, Pattern(w * h, 8)) << "mode " << c.mode;
    EXPECT_EQ(pb, Pattern(w * h, 9)) << "mode " << c.mode;
  }
  EXPECT_EQ(vmktest::ReadBytes(Slot(4)), earlier);
  // Reading is no writing: the recall of the earlier planes still works.
  Plane qr(w * h, 0), qg(w * h, 0), qb(w * h, 0);
  ASSERT_EQ(Effects::SaveRecallBuf(0, 255, qr.data(), qg.data(), qb.data(), h, w, 0, 0, w - 1,
                                   h - 1, nullptr, 3, 1, 4),
            0);
  EXPECT_EQ(qr, r0);
  EXPECT_EQ(qb, b0);
  plat::files::FailWritesForTesting("", 0);
  // The folder writable again, the same save succeeds.
  Plane pr = Pattern(w * h, 7), pg = Pattern(w * h, 8), pb = Pattern(w * h, 9);
  EXPECT_EQ(Effects::SaveRecallBuf(0, 255, pr.data(), pg.data(), pb.data(), h, w, 0, 0, w - 1,
                                   h - 1, nullptr, 3, 0, 4),
            0);
  EXPECT_NE(vmktest::ReadBytes(Slot(4)), earlier);
}

}  // namespace
