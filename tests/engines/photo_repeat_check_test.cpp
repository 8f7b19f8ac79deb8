// The photo-repeat record's check: grids the 576 cells can hold, a current
// cell inside the grid, clamping an owner's record, and checked reads that
// leave the caller's record as it was when they refuse a file.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "engines/tessellation/photo_repeat_check.h"
#include "record_file_helpers.h"

namespace {

std::unique_ptr<RepPar> Grid(int16_t columns, int16_t rows) {
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, columns, rows);
  return r;
}

TEST(RepeatCheck, GridsAndCurrentCellsTheCellsCanHold) {
  auto r = Grid(24, 24);
  EXPECT_EQ(Check_RepPar(r.get()), 0);
  int32_t* g = r->grid.w;
  g[kRepSelColumn] = 23;
  g[kRepSelRow] = 23;
  g[kRepSelCell] = 23 * 24 + 23;
  EXPECT_EQ(Check_RepPar(r.get()), 0);
  EXPECT_EQ(CurrentRepCell(r.get()), 575);
  struct Case {
    int32_t word, value;
  };
  for (const Case c : {Case{kRepColumnCount, 25}, Case{kRepColumnCount, 0}, Case{kRepRowCount, 30},
                       Case{kRepRowCount, -1}, Case{kRepSelCell, 576}, Case{kRepSelCell, -1},
                       Case{kRepSelColumn, 24}, Case{kRepSelRow, -2}}) {
    auto bad = Grid(24, 24);
    bad->grid.w[c.word] = c.value;
    EXPECT_EQ(Check_RepPar(bad.get()), -1) << c.word << " " << c.value;
  }
  // A current cell of a 4 x 6 grid: column 2, row 1 is the cell 1 + 2 x 6.
  auto small = Grid(4, 6);
  small->grid.w[kRepSelColumn] = 2;
  small->grid.w[kRepSelRow] = 1;
  small->grid.w[kRepSelCell] = 1 * 4 + 2;
  EXPECT_EQ(Check_RepPar(small.get()), 0);
  EXPECT_EQ(CurrentRepCell(small.get()), 1 + 2 * 6);
  EXPECT_EQ(small->cells[CurrentRepCell(small.get())].w[kCellColumn], 2);
  EXPECT_EQ(small->cells[CurrentRepCell(small.get())].w[kCellRow], 1);
  small->grid.w[kRepSelCell] = 24;  // past the 24 cells of the grid
  EXPECT_EQ(Check_RepPar(small.get()), -1);
  EXPECT_EQ(Check_RepPar(nullptr), -1);
}

TEST(RepeatCheck, AnOwnersRecordIsHeldToTheGrid) {
  auto r = Grid(4, 4);
  int32_t* g = r->grid.w;
  g[kRepColumnCount] = 100;
  g[kRepRowCount] = -5;
  g[kRepSelColumn] = 70;
  g[kRepSelRow] = 3;
  g[kRepSelCell] = 9999;
  Clamp_RepPar(r.get());
  EXPECT_EQ(g[kRepColumnCount], 24);
  EXPECT_EQ(g[kRepRowCount], 1);
  EXPECT_EQ(g[kRepSelColumn], 23);
  EXPECT_EQ(g[kRepSelRow], 0);
  EXPECT_EQ(g[kRepSelCell], 23);
  EXPECT_EQ(Check_RepPar(r.get()), 0);
  EXPECT_LT(CurrentRepCell(r.get()), kRepCells);
  // A record already inside is left byte for byte.
  auto fine = Grid(5, 3);
  auto copy = std::make_unique<RepPar>(*fine);
  Clamp_RepPar(fine.get());
  EXPECT_EQ(std::memcmp(fine.get(), copy.get(), sizeof(RepPar)), 0);
}

class RepeatCheckFile : public vmktest::PresetFileTest {};

TEST_F(RepeatCheckFile, ARefusedGridIsAnUnreadableFileAndLeavesTheRecord) {
  auto good = Grid(3, 2);
  good->cells[0].w[kCellOpacity] = 44;
  auto rows30 = Grid(3, 2);
  rows30->grid.w[kRepRowCount] = 30;
  auto cell700 = Grid(3, 2);
  cell700->grid.w[kRepSelCell] = 700;
  for (auto* r : {good.get(), rows30.get(), cell700.get()}) {
    const std::string path = dir_.file(r == good.get() ? "good" : r == rows30.get() ? "rows30" : "cell700");
    ASSERT_EQ(Do_ARepPar_file(3, vmktest::SpecForPath(path), r), 0);
  }
  auto held = Grid(7, 7);
  held->cells[1].w[kCellOrientation] = 5;
  const auto before = std::make_unique<RepPar>(*held);
  for (const char* name : {"rows30", "cell700", "missing"}) {
    EXPECT_EQ(Do_ARepPar_checked(2, vmktest::SpecForPath(dir_.file(name)), held.get()), -1) << name;
    EXPECT_EQ(std::memcmp(held.get(), before.get(), sizeof(RepPar)), 0) << name;
  }
  // The unchecked reader takes them as they are; the checked one the good file.
  auto loose = Grid(7, 7);
  EXPECT_EQ(Do_ARepPar_file(2, vmktest::SpecForPath(dir_.file("rows30")), loose.get()), 0);
  ASSERT_EQ(Do_ARepPar_checked(2, vmktest::SpecForPath(dir_.file("good")), held.get()), 0);
  EXPECT_EQ(held->grid.w[kRepColumnCount], 3);
  EXPECT_EQ(held->cells[0].w[kCellOpacity], 44);
}

}  // namespace
