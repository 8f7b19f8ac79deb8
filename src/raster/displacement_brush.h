// Displacement maps of the brush family and the brushes that edit them.
//
// Two maps, x and y, say for each pixel from where the picture is fetched:
// value 32768 + 128 x d moves the fetch by d pixels (16- or 32-bit maps,
// the same coding). A map may be coarser than the picture: pixel (x, y) of
// a w x h picture reads map cell (mapLeft + round(x (mapRight - mapLeft) /
// (w - 1)), mapTop + round(y (mapBottom - mapTop) / (h - 1))), held inside
// the map. The displacement applied is (map - 32768) x percent / 100,
// scaled by scaleX or scaleY where given (rounded half up), and divided by
// 128 toward zero. A fetch that falls outside the picture gives the
// member's outside value. Long buffers are rows of `stride` pixels.
//
// The brushes work on a square of (2 radius + 1)^2 cells around their
// centre, visiting only the part inside the picture.
#pragma once

#include <cstdint>

struct TMaskPar;

// No displacement in the brush family's maps.
constexpr int32_t kBrushMapNeutral = 32768;
// Brush maps' values are held to 0..kBrushMapTop.
constexpr int32_t kBrushMapTop = 65536;

// Through 16-bit maps of the picture's own layout, each pixel reading the
// map at its own index. Outside: the pixel's own source value.
void Xold_CompuDisplace(int32_t ignored, int32_t stride, int32_t height, int32_t width,
                        const uint32_t* src, uint32_t* dst, const uint16_t* mapX,
                        const uint16_t* mapY, int16_t percent);
void Xold_Brush_CompuDisplace(int32_t ignored, int32_t stride, int32_t height, int32_t width,
                              const uint32_t* src, uint32_t* dst, const uint16_t* mapX,
                              const uint16_t* mapY, int32_t cx, int32_t cy, int32_t radius,
                              int16_t percent);

// Through 16-bit maps with the picture's stride, read over a map rectangle.
// Outside: all four bytes 128.
void Xshort_CompuDisplace(int32_t ignored, int32_t stride, int32_t height, int32_t width,
                          int32_t mapLeft, int32_t mapTop, int32_t mapRight, int32_t mapBottom,
                          float scaleX, const uint32_t* src, uint32_t* dst, const uint16_t* mapX,
                          const uint16_t* mapY, int16_t percent, float scaleY);
void XShort_Brush_CompuDisplace(int32_t ignored, int32_t stride, int32_t height, int32_t width,
                                int32_t mapLeft, int32_t mapTop, int32_t mapRight,
                                int32_t mapBottom, float scaleX, const uint32_t* src,
                                uint32_t* dst, const uint16_t* mapX, const uint16_t* mapY,
                                int32_t cx, int32_t cy, int32_t radius, int16_t percent,
                                float scaleY);

// Four char planes through 32-bit maps of mapWidth x mapHeight cells. The
// alpha planes may be null. Outside: R = G = B = 255, A = 0. Rows run on the
// shared threads.
void Xlong_CompuDisplace(int32_t mapHeight, int32_t mapWidth, int32_t height, int32_t width,
                         int32_t mapLeft, int32_t mapTop, int32_t mapRight, int32_t mapBottom,
                         float scaleX, const uint8_t* srcR, const uint8_t* srcG,
                         const uint8_t* srcB, const uint8_t* srcA, uint8_t* dstR, uint8_t* dstG,
                         uint8_t* dstB, uint8_t* dstA, const uint32_t* mapX,
                         const uint32_t* mapY, int16_t percent, float scaleY);
// The same inside the brush square. Returns mapRight - mapLeft (its callers
// have always read the map span from it).
int32_t X_Brush_CompuDisplace(int32_t mapHeight, int32_t mapWidth, int32_t height, int32_t width,
                              int32_t mapLeft, int32_t mapTop, int32_t mapRight,
                              int32_t mapBottom, float scaleX, const uint8_t* srcR,
                              const uint8_t* srcG, const uint8_t* srcB, const uint8_t* srcA,
                              uint8_t* dstR, uint8_t* dstG, uint8_t* dstB, uint8_t* dstA,
                              const uint32_t* mapX, const uint32_t* mapY, int32_t cx,
                              int32_t cy, int32_t radius, int16_t percent, float scaleY);

// Composes 16-bit map B into map A in place: where A's fetch p lies inside
// the picture, A becomes B(p) + (A - 32768), held to 0..65535.
void X_CombineDisplace(int32_t ignored, int32_t stride, int32_t height, int32_t width,
                       uint16_t* mapAx, uint16_t* mapAy, const uint16_t* mapBx,
                       const uint16_t* mapBy);

// Interpolates pictures A and B, with their 16-bit maps, into the result:
// every result pixel takes A and B by nearest sample at its scaled place,
// bytes 0..2 and both maps weighted (weight x A + (255 - weight) x B) / 255
// (byte 3 from A), and the mixed picture is then warped through the mixed
// maps at 100 %. Returns 0, or -1 for a missing plane, an empty picture or
// work memory that cannot be had.
int32_t X_InterBufs(int16_t weight, int32_t widthA, int32_t heightA, const uint32_t* bufA,
                    const uint16_t* mapAx, const uint16_t* mapAy, int32_t widthB,
                    int32_t heightB, const uint32_t* bufB, const uint16_t* mapBx,
                    const uint16_t* mapBy, int32_t widthR, int32_t heightR, uint32_t* bufR,
                    uint16_t* mapRx, uint16_t* mapRy);

// Scales both 500 x 500 16-bit maps about 32768 by percent (held to
// 0..65535).
void X_interMask(uint16_t* mapX, uint16_t* mapY, int16_t percent);

// One dab of the displacement brush on 32-bit maps of mapWidth x mapHeight
// cells (values held to 0..65536). start 0 begins a stroke at (x, y); the
// first dab after no start at all begins one too. Tools: 0 and 4 push, 1
// relaxes toward no displacement, 2 jitters (strength in percent, drawn
// from the random hook), 3 restores toward origX, origY. alongStroke 0
// pushes across the stroke, otherwise along it, accumulating. The brush is
// (2 radius + 1)^2 unsigned weights. scaleX and scaleY are not read by the
// tools.
void X_Brush_Displace(int16_t start, int32_t mapHeight, int32_t mapWidth, int32_t height,
                      int32_t width, int32_t mapLeft, int32_t mapTop, int32_t mapRight,
                      int32_t mapBottom, float scaleX, float scaleY, uint32_t* mapX,
                      uint32_t* mapY, const uint32_t* origX, const uint32_t* origY,
                      const uint16_t* brush, int32_t x, int32_t y, int32_t radius, int16_t tool,
                      int16_t alongStroke, int16_t strength, int32_t ignored,
                      int32_t falloffRadius);

// Fills (2 radius + 1)^2 weights 0..4096: 0 on and beyond the circle of the
// radius, rising toward the centre with the square of the distance inside,
// scaled by the hardness (a tenth of it above radius 40).
void X_prepare_Brush(int32_t* weights, int32_t radius, int32_t hardness);

// One dab of the colour-masked paint brush into a char plane: each sample
// under the brush moves toward `value` by the brush weight (4096 full) times
// the colour mask of the pixel's R, G, B (255 when the mask is off).
void X_Brush_DtyMsk(int32_t ignored1, int32_t ignored2, int32_t ignored3, int32_t height,
                    int32_t width, const uint8_t* R, const uint8_t* G, const uint8_t* B,
                    uint8_t* plane, const int16_t* brush, TMaskPar* mask, int32_t cx, int32_t cy,
                    int32_t radius, int32_t value);
