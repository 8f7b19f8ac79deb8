// Editing warp grids: hit tests, selections, building, moving, the perspective drag and
// inserting or deleting node rows and columns.
#include <memory>

#include <gtest/gtest.h>

#include "engines/correction/grid_edit.h"

namespace {

// Regular grid over the picture: node (r, c) at x = c * 100000 / columns, y from 100000
// at row 0 down to 0 at the last row.
std::unique_ptr<GridPar> Regular(int32_t columns = 4, int32_t rows = 4) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), 640, 480, columns, rows, 1, 3, 1, 1);
  return r;
}

int32_t& At(GridPar& r, int32_t array, int32_t row, int32_t column) {
  GridInfo& g = r.grids[0];
  return g.node[array][row * (g.w[kGiColumns] + 1) + column];
}

TEST(GridEdit, SearchesAreStrictAndLeaveOutputsWhenNothingIsFound) {
  auto r = Regular();
  int32_t column = 9, row = 9;
  EXPECT_EQ(SearchInter_GridPar(r.get(), 0, 0, 0, 25400, 3, &column, &row, 500), 0);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(row, 0);
  column = row = 9;
  EXPECT_EQ(SearchInter_GridPar(r.get(), 0, 0, 0, 25500, 3, &column, &row, 500), -1);
  EXPECT_EQ(SearchInter_GridPar(r.get(), 0, 0, 3, 25000, 75000, &column, &row, 500), -1);
  EXPECT_EQ(column, 9);
  EXPECT_EQ(SearchInter_GridPar(r.get(), 0, 1, 2, 50100, 74800, &column, &row, 500), 0);
  EXPECT_EQ(column, 2);
  EXPECT_EQ(row, 1);

  float u = 0, v = 0;
  EXPECT_EQ(SearchPosit_GridPar(r.get(), 0, 0, 30000, 80000, &column, &row, &u, &v), 0);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(row, 0);
  EXPECT_NEAR(u, 0.2f, 1e-4);
  EXPECT_NEAR(v, 0.8f, 1e-4);
  EXPECT_EQ(SearchCell_GridPar(r.get(), 0, 0, 120000, 80000, &column, &row), -1);

  // Slots and counts that would reach past the arrays are refused.
  EXPECT_EQ(SearchInter_GridPar(r.get(), 16, 0, 0, 0, 0, &column, &row, 500), -1);
  EXPECT_EQ(SearchInter_GridPar(r.get(), -1, 0, 0, 0, 0, &column, &row, 500), -1);
  r->grids[0].w[kGiColumns] = 128;
  EXPECT_EQ(SearchInter_GridPar(r.get(), 0, 0, 0, 0, 0, &column, &row, 500), -1);
  EXPECT_EQ(AddRow_GridPar(r.get(), 0, 0, 0, 30000, 80000), -1);
}

TEST(GridEdit, SelectionsAndBounds) {
  auto r = Regular();
  RectSeleInOut_GridPar(r.get(), 0, 0, 0, 0, 0, 50000, 50000);
  EXPECT_EQ(At(*r, kGaSelected, 3, 1), 1);  // (25000, 25000)
  EXPECT_EQ(At(*r, kGaSelected, 3, 2), 0);  // x on the edge
  EXPECT_EQ(At(*r, kGaOut + kGaSelected, 3, 1), 0);
  int32_t mnx, mny, mxx, mxy, cx, cy;
  MinMaxCenterGrid_GridPar(r.get(), 0, 0, 1, &mnx, &mny, &mxx, &mxy, &cx, &cy);
  EXPECT_EQ(mnx, 25000);
  EXPECT_EQ(mxx, 25000);
  EXPECT_EQ(cy, 25000);
  RectSeleInOut_GridPar(r.get(), 0, 0, 1, 0, 0, 50000, 50000);
  EXPECT_EQ(At(*r, kGaSelected, 3, 1), 0);
  EXPECT_EQ(At(*r, kGaOut + kGaSelected, 3, 1), 1);

  // No node selected: the whole grid's bounds; positions above the range keep the minimum.
  SelDeselInOut_GridPar(r.get(), 0, 0, 1, 0);
  MinMaxCenterGrid_GridPar(r.get(), 0, 0, 1, &mnx, &mny, &mxx, &mxy, &cx, &cy);
  EXPECT_EQ(mnx, 0);
  EXPECT_EQ(mxy, 100000);
  EXPECT_EQ(cx, 50000);
  for (int32_t k = 0; k < 25; ++k) r->grids[0].node[kGaX][k] += 200001;
  MinMaxCenterGrid_GridPar(r.get(), 0, 0, 0, &mnx, &mny, &mxx, &mxy, &cx, &cy);
  EXPECT_EQ(mnx, 100000);
  EXPECT_EQ(mxx, 300001);
  EXPECT_EQ(cx, 200000);
}

TEST(GridEdit, CornersAndCreation) {
  auto r = Regular();
  int32_t x = 0, y = 0, ox = 0, oy = 0;
  EXPECT_EQ(Which_Corner(r.get(), 0, 0, 100400, 99600, &x, &y, &ox, &oy, 500), 2);
  EXPECT_EQ(x, 100000);
  EXPECT_EQ(oy, 0);
  EXPECT_EQ(ox, 0);
  EXPECT_EQ(Which_Corner(r.get(), 0, 0, 100500, 100000, &x, &y, &ox, &oy, 500), -1);
  EXPECT_EQ(Which_CornerRect(10, 10, 0, 100, 0, 50, 20), 1);
  EXPECT_EQ(Which_CornerRect(90, 45, 0, 100, 0, 50, 20), 4);
  EXPECT_EQ(Which_CornerRect(50, 25, 0, 100, 0, 50, 20), 0);
  EXPECT_EQ(Which_CornerRect(50, 50, 0, 100, 0, 50, 20), -1);

  const int32_t cornerX[4] = {0, -3, -3, 0};
  const int32_t cornerY[4] = {0, 0, 8, 8};
  Crea_GridPar(r.get(), 0, 1, 0, 4, cornerX, cornerY);
  EXPECT_EQ(r->grids[0].w[kGiRows], 1);
  EXPECT_EQ(r->grids[0].w[kGiColumns], 4);
  // -0.75, -1.5, -2.25 plus one half, truncated toward zero.
  EXPECT_EQ(At(*r, kGaX, 0, 1), 0);
  EXPECT_EQ(At(*r, kGaX, 0, 2), -1);
  EXPECT_EQ(At(*r, kGaX, 0, 3), -1);
  EXPECT_EQ(At(*r, kGaX, 1, 4), -2);  // even the far corner: -3 + 0.5 truncated
  EXPECT_EQ(At(*r, kGaY, 1, 2), 8);
  Crea_GridPar(r.get(), 0, 3, 2, 200, cornerX, cornerY);
  EXPECT_EQ(r->grids[0].w[kGiColumns], 127);
  EXPECT_EQ(At(*r, kGaOut + kGaY, 1, 5), 4);
}

TEST(GridEdit, MovingSelectionMirrorsAndDrags) {
  auto r = Regular();
  At(*r, kGaSelected, 1, 1) = 1;
  int16_t held = 0, set = 0, node = 0, column = 0, row = 0;
  EXPECT_EQ(MoveGrid_GridPar(r.get(), 0, 0, 0, 1, 0, 0, 100, 30, 1, 0, 0, &held, &set, &node, &column,
                             &row, 500),
            2);
  EXPECT_EQ(At(*r, kGaX, 1, 1), 25100);
  EXPECT_EQ(At(*r, kGaHandles + 7, 1, 1), 30);  // all five points move
  EXPECT_EQ(At(*r, kGaY, 1, 1), 75030);
  EXPECT_EQ(At(*r, kGaX, 1, 3), 74900);
  EXPECT_EQ(At(*r, kGaY, 1, 3), 75030);
  EXPECT_EQ(At(*r, kGaX, 3, 1), 25000);  // the other partners stay with one switch

  // A node on the axis is its own partner.
  auto m = Regular();
  At(*m, kGaSelected, 1, 2) = 1;
  MoveGrid_GridPar(m.get(), 0, 0, 0, 1, 0, 0, 100, 30, 1, 0, 0, &held, &set, &node, &column, &row, 500);
  EXPECT_EQ(At(*m, kGaX, 1, 2), 50000);
  EXPECT_EQ(At(*m, kGaY, 1, 2), 75060);

  // Nothing selected: the node under the pointer, and the drag state left on it.
  auto d = Regular();
  held = 0;
  EXPECT_EQ(MoveGrid_GridPar(d.get(), 0, 0, 1, 1, 75300, 49800, -40, 10, 0, 0, 0, &held, &set, &node,
                             &column, &row, 500),
            1);
  EXPECT_EQ(held, 1);
  EXPECT_EQ(node, 13);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(column, 3);
  EXPECT_EQ(At(*d, kGaX, 2, 3), 74960);
  EXPECT_EQ(At(*d, kGaOut + kGaY, 2, 3), 50010);  // both: the other set's position too
  // A handle is picked up only when the grid allows it.
  held = 0;
  At(*d, kGaHandles + 2, 0, 1) = 40000;
  At(*d, kGaHandles + 3, 0, 1) = 40000;
  MoveGrid_GridPar(d.get(), 0, 0, 0, 1, 40000, 40000, 5, 5, 0, 0, 0, &held, &set, &node, &column, &row, 500);
  EXPECT_EQ(At(*d, kGaHandles + 2, 0, 1), 40000);
  d->grids[0].w[kGiHandles] = 1;
  held = 0;
  MoveGrid_GridPar(d.get(), 0, 0, 0, 1, 40000, 40000, 5, 5, 0, 0, 0, &held, &set, &node, &column, &row, 500);
  EXPECT_EQ(At(*d, kGaHandles + 2, 0, 1), 40005);
  EXPECT_EQ(At(*d, kGaX, 0, 1), 25000);
  // A remembered node past this grid's nodes moves nothing.
  held = 1;
  node = 400;
  EXPECT_EQ(MoveGrid_GridPar(d.get(), 0, 0, 0, 1, 0, 100000, 5, 5, 0, 0, 0, &held, &set, &node, &column,
                             &row, 500),
            1);
  EXPECT_EQ(At(*d, kGaX, 0, 0), 0);
}

TEST(GridEdit, ScalingAndTurning) {
  auto r = Regular();
  auto out = Regular();
  SizeGrid_GridPar(r.get(), out.get(), 0, 0, 0, 0, 50000, 50000, 100, 100, 50, 200);
  EXPECT_EQ(At(*out, kGaX, 0, 0), 25000);
  EXPECT_EQ(At(*out, kGaY, 0, 0), 150000);
  EXPECT_EQ(At(*out, kGaOut + kGaX, 0, 0), 0);
  RotaGrid_GridPar(r.get(), out.get(), 0, 1, 0, 0, 50000, 50000, 0.5f, 0.5f + 3.14159265f);
  EXPECT_NEAR(At(*out, kGaOut + kGaX, 4, 4), 0, 1);  // a half turn about the centre
  EXPECT_NEAR(At(*out, kGaOut + kGaY, 4, 4), 100000, 1);
  EXPECT_EQ(At(*out, kGaX, 4, 4), 75000);  // the in grid as scaled above
}

TEST(GridEdit, PerspectiveWeights) {
  for (int16_t falloff : {0, 1}) {
    SCOPED_TRACE(falloff);
    auto r = Regular();
    ResetPerspAnchor_GridPar();
    ASSERT_EQ(PerspGrid_GridPar(r.get(), 0, 0, 0, 0, falloff, 0, 2, 2, 1000, -2000), 0);
    // Linear f = d / S; quadratic 1 - (S - d)^2 / S^2: halfway 0.5 or 0.75.
    const float half = falloff == 0 ? 0.5f : 0.75f;
    EXPECT_EQ(At(*r, kGaX, 2, 2), 51000);
    EXPECT_EQ(At(*r, kGaY, 2, 2), 48000);
    for (auto [row, column] : {std::pair{2, 0}, {2, 4}, {0, 2}, {4, 2}}) {
      EXPECT_EQ(At(*r, kGaX, row, column), column * 25000);
      EXPECT_EQ(At(*r, kGaY, row, column), 100000 - row * 25000);
    }
    EXPECT_EQ(At(*r, kGaX, 2, 1), static_cast<int32_t>(25000.0f + 1000.0f * half));
    EXPECT_EQ(At(*r, kGaY, 2, 1), static_cast<int32_t>(50000.0f - 2000.0f * half));
    EXPECT_EQ(At(*r, kGaX, 1, 1), static_cast<int32_t>(25000.0f + 1000.0f * half * half));
    EXPECT_EQ(At(*r, kGaY, 3, 3), static_cast<int32_t>(25000.0f - 2000.0f * half * half));
    EXPECT_EQ(At(*r, kGaOut + kGaX, 2, 2), 50000);
  }
  // No drag, or no node at the point: nothing moves. The anchor stays for mode 1.
  auto r = Regular();
  EXPECT_EQ(PerspGrid_GridPar(r.get(), 0, 0, 0, 0, 0, 1, 0, 0, 0, 0), 0);
  EXPECT_EQ(PerspGrid_GridPar(r.get(), 0, 0, 0, 0, 0, 2, 12000, 12000, 500, 500), -1);
  EXPECT_EQ(At(*r, kGaX, 2, 2), 50000);
  EXPECT_EQ(PerspGrid_GridPar(r.get(), 0, 0, 0, 0, 0, 0, 5, 0, 500, 500), -1);
  // An anchor on the first node of its row and column: full weight there, none at the far end.
  EXPECT_EQ(PerspGrid_GridPar(r.get(), 0, 1, 1, 0, 0, 0, 0, 0, 300, 300), 0);
  EXPECT_EQ(At(*r, kGaX, 0, 0), 300);
  EXPECT_EQ(At(*r, kGaOut + kGaY, 0, 0), 100300);
  EXPECT_EQ(At(*r, kGaOut + kGaY, 4, 4), 0);
}

TEST(GridEdit, InsertingAndDeletingRowsAndColumns) {
  auto r = Regular();
  At(*r, kGaHandles, 1, 1) = 1000;
  ASSERT_EQ(AddRow_GridPar(r.get(), 0, 0, 1, 30000, 87500), 0);
  EXPECT_EQ(r->grids[0].w[kGiRows], 5);
  for (int32_t c = 0; c <= 4; ++c) {
    EXPECT_EQ(At(*r, kGaY, 1, c), 87500);
    EXPECT_EQ(At(*r, kGaX, 1, c), c * 25000);
    EXPECT_EQ(At(*r, kGaSelected, 1, c), c > 0 && c < 4 ? 1 : 0);
    EXPECT_EQ(At(*r, kGaOut + kGaY, 1, c), 87500);
  }
  EXPECT_EQ(At(*r, kGaHandles, 1, 1), 500);
  EXPECT_EQ(At(*r, kGaHandles, 2, 1), 1000);
  EXPECT_EQ(At(*r, kGaY, 5, 0), 0);
  ASSERT_EQ(DelRow_GridPar(r.get(), 0, 0, 0, 87300), 0);
  EXPECT_EQ(r->grids[0].w[kGiRows], 4);
  EXPECT_EQ(At(*r, kGaY, 1, 3), 75000);
  EXPECT_EQ(At(*r, kGaHandles, 1, 1), 1000);
  EXPECT_EQ(DelRow_GridPar(r.get(), 0, 0, 0, 80000), -1);

  ASSERT_EQ(AddCol_GridPar(r.get(), 0, 1, 0, 90000, 60000), 0);
  EXPECT_EQ(r->grids[0].w[kGiColumns], 5);
  EXPECT_EQ(At(*r, kGaOut + kGaX, 2, 4), 90000);
  EXPECT_EQ(At(*r, kGaX, 2, 5), 100000);
  EXPECT_EQ(At(*r, kGaSelected, 2, 4), 0);
  ASSERT_EQ(DelCol_GridPar(r.get(), 0, 0, 90100, 0), 0);
  EXPECT_EQ(r->grids[0].w[kGiColumns], 4);
  EXPECT_EQ(At(*r, kGaX, 3, 4), 100000);

  auto one = Regular(3, 1);
  EXPECT_EQ(DelRow_GridPar(one.get(), 0, 0, 0, 100000), -1);
  auto full = Regular(127, 127);
  EXPECT_EQ(AddRow_GridPar(full.get(), 0, 0, 0, 50100, 50100), -1);
  EXPECT_EQ(AddCol_GridPar(full.get(), 0, 0, 0, 50100, 50100), -1);
  EXPECT_EQ(full->grids[0].w[kGiRows], 127);
}

}  // namespace
