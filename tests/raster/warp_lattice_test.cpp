#include "raster/warp_lattice.h"

#include <gtest/gtest.h>

#include <memory>

#include "raster/warp_frame_record.h"

namespace {

TEST(InitGrid, RegularLatticeInBothSetsAndRefusals) {
  auto f = std::make_unique<TCWrap>();
  f->set1.prevColX[0] = 7.0f;
  InitGrid(2, 1, 100, 50, 30, 20, f.get());
  EXPECT_EQ(f->columns, 2);
  EXPECT_EQ(f->rows, 1);
  const float sx[] = {0, 50, 100};
  const float dx[] = {0, 15, 30};
  for (int j = 0; j <= 1; ++j) {
    for (int i = 0; i <= 2; ++i) {
      const int k = j * 3 + i;
      EXPECT_EQ(f->set1.x[k], sx[i]);
      EXPECT_EQ(f->set1.y[k], j * 50.0f);
      EXPECT_EQ(f->set2.x[k], dx[i]);
      EXPECT_EQ(f->set2.y[k], j * 20.0f);
    }
  }
  EXPECT_EQ(f->set1.prevColX[0], 7.0f);  // handles stay
  // Integer quotients: 10 / 3 steps 3, 6, 10.
  InitGrid(3, 1, 10, 10, 10, 10, f.get());
  EXPECT_EQ(f->set1.x[1], 3.0f);
  EXPECT_EQ(f->set1.x[2], 6.0f);
  EXPECT_EQ(f->set1.x[3], 10.0f);

  // Nothing for an empty lattice or one beyond 101 x 101 nodes.
  InitGrid(0, 4, 10, 10, 10, 10, f.get());
  InitGrid(4, -1, 10, 10, 10, 10, f.get());
  InitGrid(101, 100, 10, 10, 10, 10, f.get());
  EXPECT_EQ(f->columns, 3);
  EXPECT_EQ(f->rows, 1);
  EXPECT_EQ(f->set1.x[3], 10.0f);
  InitGrid(100, 100, 200, 100, 200, 100, f.get());
  EXPECT_EQ(f->set1.x[kTCWrapMaxNodes - 1], 200.0f);
  EXPECT_EQ(f->set2.y[kTCWrapMaxNodes - 1], 100.0f);
}

}  // namespace
