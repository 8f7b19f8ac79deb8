// Seam carving on work planes that share one row stride: cumulative energy maps, the
// least-energy seam, and removing or duplicating a seam in every plane at once, with the
// edge energy refreshed along it.
//
// Vertical seams hold one point per row (indexed by row) and narrow or widen the live
// area; horizontal seams one point per column (indexed by column) and change its height.
// The live area is the top-left width x height corner of stride x maxHeight planes.
// Cumulative sums saturate at +-2147483647, so long seams through strong edges never wrap
// to cheap values.
#pragma once

#include <cstdint>

struct pixXY {
  int32_t x;  // column
  int32_t y;  // row
};

// Added to the inserted-seam plane along every inserted seam, so later seams avoid the
// same place. One for each thread (two previews resize at once on their workers): the resize
// driver sets it before each insertion pass and it keeps its value between runs.
extern thread_local int16_t addweight;

// M := e1 + e2 (+ e3) plus the least of the (up to) three neighbours before. With a seed,
// only the cone from the seed's point (row 0 or column 0) onward is recomputed, wide
// enough to take in everything the last seam step changed.
void Energy_VMap(int32_t height, int32_t width, int32_t stride, int32_t maxHeight, int32_t* map,
                 const int32_t* e1, const int32_t* e2, const int32_t* e3, const pixXY* seed);
void Energy_HMap(int32_t height, int32_t width, int32_t stride, int32_t maxHeight, int32_t* map,
                 const int32_t* e1, const int32_t* e2, const int32_t* e3, const pixXY* seed);
// The least seam: its start is the least of the last row (column), the lowest on ties.
void Energy_VPath(int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                  const int32_t* map, pixXY* seam);
void Energy_HPath(int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                  const int32_t* map, pixXY* seam);
// Walks back from `start`: the middle wins ties with the left, the left or middle winner
// ties with the right.
void Generate_VPath(int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                    const int32_t* map, int32_t start, pixXY* seam);
void Generate_HPath(int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                    const int32_t* map, int32_t start, pixXY* seam);
// Removes the seam from the byte planes (red, green, blue, luminance) and the 32-bit ones
// (map, edge, mask): its neighbours take the averages, bytes (a + b) >> 1, words (a + b) / 2.
void Remove_VPath(int32_t height, int32_t width, int32_t stride, int32_t maxHeight, uint8_t* red,
                  uint8_t* green, uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge,
                  int32_t* mask, const pixXY* seam);
void Remove_HPath(int32_t height, int32_t width, int32_t stride, int32_t maxHeight, uint8_t* red,
                  uint8_t* green, uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge,
                  int32_t* mask, const pixXY* seam);
// Inserts a pixel before each seam point (the live width, or height, being the new one);
// the new pixel and the seam pixel gain addweight in `added`.
void Add_VPath(int32_t height, int32_t newWidth, int32_t stride, int32_t maxHeight, uint8_t* red,
               uint8_t* green, uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge,
               int32_t* mask, int32_t* added, const pixXY* seam);
void Add_HPath(int32_t newHeight, int32_t width, int32_t stride, int32_t maxHeight, uint8_t* red,
               uint8_t* green, uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge,
               int32_t* mask, int32_t* added, const pixXY* seam);
// Recomputes the edge energy in a band of six pixels along the seam, with the same
// detector the full pass uses.
void AdjustV_Edge(int16_t kernel, int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                  const uint8_t* luminance, int32_t* edge, const pixXY* seam);
void AdjustH_Edge(int16_t kernel, int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                  const uint8_t* luminance, int32_t* edge, const pixXY* seam);
// n seams removed or inserted, the first map built whole and the later ones as cones.
// 0; a failed allocation skips the seams.
int16_t Smart_VRemove(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                      int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue,
                      uint8_t* luminance, int32_t* edge, int32_t* mask);
int16_t Smart_VAdd(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                   int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue,
                   uint8_t* luminance, int32_t* edge, int32_t* mask);
int16_t Smart_HRemove(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                      int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue,
                      uint8_t* luminance, int32_t* edge, int32_t* mask);
int16_t Smart_HAdd(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                   int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue,
                   uint8_t* luminance, int32_t* edge, int32_t* mask);

// The content-aware resize of the processing rectangle [left, right) x [top, bottom) of
// the planes: the source rectangle is carved to the target rectangle's size (through the
// middle size when twoStage is 1), then written into the target rectangle, blended at the
// opacity (times the opacity plane where given). Outside the target rectangle fillMode 1
// paints black, 2 the fill colour, others keep the picture. Absent masks, or a mask size
// of 0, give no mask energy. -1, picture unchanged: nothing to do, an empty rectangle, a
// flip mode outside 0-3, or no memory; else 0.
int16_t PerformSmartBufResize(int16_t planes, int16_t blendMode, int16_t opacity, int32_t width,
                              int32_t height, int32_t left, int32_t top, int32_t right,
                              int32_t bottom, uint8_t* red, uint8_t* green, uint8_t* blue,
                              uint8_t* fourth, uint8_t* fifth, const uint8_t* opacityPlane,
                              int32_t maskWidth, int32_t maskHeight, const int16_t* protect,
                              const int16_t* remove, int32_t protectWeight, int32_t removeWeight,
                              int16_t twoStage, int32_t middleLeft, int32_t middleTop,
                              int32_t middleRight, int32_t middleBottom, int16_t edgeKernel,
                              int16_t flipMode, int32_t contrast, int32_t energySpread, int32_t,
                              int32_t, int32_t, int32_t, int32_t sourceLeft, int32_t sourceTop,
                              int32_t sourceRight, int32_t sourceBottom, int32_t targetLeft,
                              int32_t targetTop, int32_t targetRight, int32_t targetBottom,
                              int16_t fillMode, int32_t fillRed, int32_t fillGreen,
                              int32_t fillBlue);
