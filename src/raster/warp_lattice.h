// The regular lattice of the warp frame: the starting point of every lattice
// the grid warps bend, laid the same way into the frame's reference set and
// its deformed set.
#pragma once

#include <cstdint>

struct TCWrap;

// Sets the record's column and row counts to nx and ny and lays node (i, j)
// of the first set at (i * srcW / nx, j * srcH / ny) and of the second at
// (i * dstW / nx, j * dstH / ny), integer quotients. Handles are left as
// they are. Nothing changes when nx or ny is not positive or when the
// (nx + 1) x (ny + 1) nodes would not fit the record's planes.
void InitGrid(int16_t nx, int16_t ny, int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH,
              TCWrap* record);

// From the record's lattice coordinates (its unit, y pointing up) to pixels
// of the picture the record is applied to (its second size), y flipped about
// flipHeight. Every map producer over the record converts its nodes so.
class TCWrapToPicture {
 public:
  TCWrapToPicture(const TCWrap& record, int32_t flipHeight);
  // False when the lattice size converts to no pixels (an unknown unit, a
  // zero size): nothing can be scaled then.
  bool valid() const { return wp_ > 0 && hp_ > 0; }
  int32_t X(float v) const;
  int32_t Y(float v) const;

 private:
  int16_t unit_;
  float resolution_;
  float pictureW_;
  float pictureH_;
  int32_t flipHeight_;
  int32_t wp_ = 0;
  int32_t hp_ = 0;
};
