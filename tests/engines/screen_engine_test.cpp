// The screen engine: its cell list, the grid and the grey under each cell, the two image
// modes and the blend back.
#include "engines/patterns/screen_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/core/colour_spaces.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "support/session.h"
#include "tile_pictures.h"

namespace {

using Planes = std::vector<std::vector<uint8_t>>;

Quscr* Cell(int16_t level) {
  auto* q = new Quscr;
  q->level = level;
  return q;
}

std::vector<int16_t> Levels(const MiscScreen& e) {
  std::vector<int16_t> out;
  for (int16_t k = 1; e.GetQuscr(k) != nullptr; ++k) out.push_back(e.GetQuscr(k)->level);
  return out;
}

class Screen : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    rec = std::make_unique<ScreenPar>();
    Init_ScreenPar(rec.get(), 0);
  }
  // sizeX, sizeY in half percent; contrast table (0, 0) keeps the grey.
  int32_t Render(MiscScreen& e, Planes& p, int16_t n, int32_t size, int16_t mode = 0,
                 int16_t opacity = 255) {
    e.SetScreenPar(rec.get());
    return e.FillBuf(n, mode, opacity, 0, width, height, 0, 0, width, height, p[0].data(),
                     n == 1 ? nullptr : p[1].data(), n == 1 ? nullptr : p[2].data(), nullptr, size,
                     size, 0, 0);
  }
  Planes Picture(uint8_t v) const {
    return Planes(3, std::vector<uint8_t>(static_cast<size_t>(width) * height, v));
  }
  std::unique_ptr<ScreenPar> rec;
  int32_t width = 1000, height = 800;
};

TEST(ScreenCells, AddDeleteAndFind) {
  MiscScreen e;
  e.AddQuscr(0, Cell(1));  // an empty list
  e.AddQuscr(5, Cell(3));  // past the count: last
  e.AddQuscr(0, Cell(0));  // first
  e.AddQuscr(2, Cell(2));  // after the second
  EXPECT_EQ(Levels(e), (std::vector<int16_t>{0, 1, 2, 3}));
  EXPECT_EQ(e.count(), 4);
  EXPECT_EQ(e.GetQuscr(5), nullptr);
  e.DeleteQuscr(9);  // past the count: nothing
  e.DeleteQuscr(4);
  e.DeleteQuscr(2);
  EXPECT_EQ(Levels(e), (std::vector<int16_t>{0, 2}));
  e.AddQuscr(9, Cell(7));  // the last is known again after a deletion at the end
  EXPECT_EQ(Levels(e), (std::vector<int16_t>{0, 2, 7}));
  e.DeleteAllQuscr();
  EXPECT_EQ(e.count(), 0);
  EXPECT_EQ(e.GetQuscr(1), nullptr);
  e.DeleteQuscr(1);
  EXPECT_EQ(e.count(), 0);
  e.SetBufSize(30, 20);
  EXPECT_EQ(e.bufHeight(), 20);
}

TEST(ScreenCells, AverageGreyIsTheMeanOfTheRowMeans) {
  // Rows 1 0 / 1 0 / 2 2: row means 0, 0, 2 give 0; the mean of all six would be 1.
  const std::vector<uint8_t> v = {1, 0, 9, 1, 0, 9, 2, 2, 9};
  MiscScreen e;
  int32_t gray = 77;
  ASSERT_EQ(e.AverageGray(3, 3, v.data(), v.data(), v.data(), 0, 0, 2, 3, 0, 0, &gray), 0);
  EXPECT_EQ(gray, 0);
  // Read inside the planes only; an empty block leaves the grey.
  ASSERT_EQ(e.AverageGray(3, 3, v.data(), v.data(), v.data(), 2, -5, 8, 2, 0, 0, &gray), 0);
  EXPECT_EQ(gray, 9);
  e.AverageGray(3, 3, v.data(), v.data(), v.data(), 3, 0, 9, 3, 0, 0, &gray);
  EXPECT_EQ(gray, 9);
}

TEST_F(Screen, GridOfCellsAndTheirLevels) {
  rec->w[kScrImageMode] = 2;  // no images: only the grid
  Planes p = Picture(100);
  MiscScreen e;
  ASSERT_EQ(Render(e, p, 3, 20), 0);  // 20 half percent: 100 x 80 pixels
  ASSERT_EQ(e.count(), 100);
  const Quscr* first = e.GetQuscr(1);
  EXPECT_EQ(std::vector<int32_t>(first->x, first->x + 4), (std::vector<int32_t>{0, 100, 100, 0}));
  EXPECT_EQ(std::vector<int32_t>(first->y, first->y + 4), (std::vector<int32_t>{800, 800, 720, 720}));
  EXPECT_EQ(first->level, 155);
  const Quscr* twelfth = e.GetQuscr(12);  // second row, second column
  EXPECT_EQ(twelfth->x[0], 100);
  EXPECT_EQ(twelfth->y[0], 720);
  EXPECT_EQ(p, Picture(100));

  MiscScreen big;
  Planes q = Picture(100);
  ASSERT_EQ(Render(big, q, 1, 400), 0);  // twice the plane: one column, one row
  ASSERT_EQ(big.count(), 1);
  EXPECT_EQ(big.GetQuscr(1)->x[2], 1000);
  MiscScreen tiny;
  width = 30;
  height = 20;
  Planes t = Picture(100);
  ASSERT_EQ(Render(tiny, t, 3, 0), 0);  // cells below a pixel become one pixel
  EXPECT_EQ(tiny.count(), 600);
}

TEST_F(Screen, ModeOneWithoutFlagsOnlyBlends) {
  rec->w[kScrImageMode] = 1;
  std::fill(std::begin(rec->imageFlags), std::end(rec->imageFlags), 0);
  width = 40;
  height = 30;
  Planes p(3, std::vector<uint8_t>(40 * 30));
  for (int32_t k = 0; k < 3; ++k)
    for (size_t i = 0; i < p[k].size(); ++i) p[k][i] = static_cast<uint8_t>(i * (k + 2));
  const Planes before = p;
  MiscScreen e;
  ASSERT_EQ(Render(e, p, 3, 40, 3, 180), 0);
  for (int32_t k = 0; k < 3; ++k)
    for (size_t i = 0; i < p[k].size(); ++i) {
      unsigned char self = 0;
      X_optionRPart(&self, 4, before[k][i], before[k][i]);
      ASSERT_EQ(p[k][i], ((255 - 180) * before[k][i] + 180 * self) / 255);
    }
}

TEST_F(Screen, ImagesByLevel) {
  vmktest::TempDir dir;
  width = 60;
  height = 40;
  // Mode 0: a black image brightened by the level, 255 - 100, everywhere.
  rec->images[0] = vmktest::SolidPicture(dir.file("black.png"), 8, 8, 0, 0, 0);
  Planes p = Picture(100);
  MiscScreen e0;
  ASSERT_EQ(Render(e0, p, 3, 40), 0);
  EXPECT_EQ(p, Picture(155));
  // One plane reads and draws the same.
  Planes one = Picture(100);
  MiscScreen e1;
  ASSERT_EQ(Render(e1, one, 1, 40), 0);
  EXPECT_EQ(one[0], Picture(155)[0]);

  // Mode 1: only flagged images are read; the level's own image fills its cells.
  rec->w[kScrImageMode] = 1;
  std::fill(std::begin(rec->imageFlags), std::end(rec->imageFlags), 0);
  rec->imageFlags[155] = 1;
  rec->images[155] = vmktest::SolidPicture(dir.file("level.png"), 8, 8, 10, 20, 30);
  SetFicFromPosix(&rec->images[3], dir.file("missing.png"));
  Planes q = Picture(100);
  MiscScreen e2;
  ASSERT_EQ(Render(e2, q, 3, 40), 0);
  EXPECT_EQ(q[0], Picture(10)[0]);
  EXPECT_EQ(q[2], Picture(30)[2]);
  // A flagged image that cannot be read ends the render with nothing blended.
  rec->imageFlags[3] = 1;
  Planes r = Picture(100);
  MiscScreen e3;
  EXPECT_EQ(Render(e3, r, 3, 40, 3), -1);
  EXPECT_EQ(r, Picture(100));
  EXPECT_EQ(e3.UnreadableFile(), dir.file("missing.png"));
}

TEST_F(Screen, RefusedMemoryAndEngineRow) {
  rec->w[kScrImageMode] = 2;
  width = 20;
  height = 10;
  {
    vmktest::NoWorkMemory refused;
    Planes p = Picture(60);
    MiscScreen e;
    EXPECT_EQ(Render(e, p, 3, 40, 3), -1);
    EXPECT_EQ(p, Picture(60));
  }
  {
    // Cells wider than any memory in an image mode: refused, nothing blended.
    rec->w[kScrImageMode] = 1;
    Planes p = Picture(60);
    MiscScreen e;
    e.SetScreenPar(rec.get());
    EXPECT_EQ(e.FillBuf(3, 3, 255, 0, width, height, 0, 0, width, height, p[0].data(),
                        p[1].data(), p[2].data(), nullptr, 2000000000, 40, 0, 0),
              -1);
    EXPECT_EQ(p, Picture(60));
  }
  // Row 50: the operation's first two values size the cells, the next two set the grey's
  // table (brightness 50 here, so a grey of 150 and cells at level 105).
  RegisterEffectFamilies();
  ASSERT_EQ(FindEngineRow(50), &RunScreenRow);
  vmktest::TempDir dir;
  rec->w[kScrImageMode] = 0;
  rec->images[0] = vmktest::SolidPicture(dir.file("black.png"), 8, 8, 0, 0, 0);
  Planes p = Picture(100);
  EngineRowCall c;
  c.record = rec.get();
  c.n = 1;
  c.w = c.aw = width;
  c.h = c.ah = height;
  c.planes[0] = p[0].data();
  c.p1 = c.p2 = 50;
  c.p3 = 50;
  RunScreenRow(c);
  EXPECT_EQ(p[0], Picture(105)[0]);
}

}  // namespace
