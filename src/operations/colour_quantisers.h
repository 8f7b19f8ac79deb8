// Colour quantisers for three 8-bit planes. wuReduce is Xiaolin Wu's
// variance-minimising quantiser (Graphics Gems II) built into an image
// operation: the palette comes from the whole image, the region's samples
// are replaced by their palette colour through the blend mode, opacity and
// mask. CQuantizer is an octree quantiser (Gervautz and Purgathofer) with a
// reducible-node list per level and a weighted merge of the palette down
// to fewer than 16 colours.
#pragma once

#include <cstdint>

// ---- Wu's quantiser ----

// A box of histogram cells r0 < r <= r1, g0 < g <= g1, b0 < b <= b1 (33
// cells an axis, cell 0 empty) and its volume in cells.
struct box {
  int32_t r0, r1, g0, g1, b0, b1;
  int32_t vol;
};

// The cumulative moment tables, 33 x 33 x 33 entries indexed
// r * 1089 + g * 33 + b: pixel count, sums of the first, second and third
// plane's samples, and the sum of squares. The sums are 64-bit so that a
// very large image cannot overflow them; for any image below 8 million
// pixels they hold exactly what 32-bit tables would.
struct WuMoments {
  int64_t* wt;
  int64_t* mr;
  int64_t* mg;
  int64_t* mb;
  float* m2;
};

// Axis numbers of Maximize: the first component, the second, the third.
enum : int32_t { WU_RED = 2, WU_GREEN = 1, WU_BLUE = 0 };

// The moment sum over a box.
int64_t Vol(const box* cube, const int64_t* mmt);
float Vol(const box* cube, const float* mmt);
// The part of Vol that does not depend on the box's upper bound along
// `dir`, and the part that does with that bound replaced by `pos`.
int64_t Bottom(const box* cube, int32_t dir, const int64_t* mmt);
int64_t Top(const box* cube, int32_t dir, int32_t pos, const int64_t* mmt);
// The box's weighted variance.
float Var(const box* cube, const WuMoments& m);
// The best cut of a box along `dir` among first <= cut < last (*cut -1
// when none divides it into two non-empty parts) and its value.
float Maximize(const box* cube, int32_t dir, int32_t first, int32_t last, int32_t* cut,
               int64_t wholeR, int64_t wholeG, int64_t wholeB, int64_t wholeW,
               const WuMoments& m);

// Reduces the image to `colours` (held to 1..256) and blends the palette
// colour of each pixel of the inclusive region into it. The histogram reads
// all three planes whatever `channels` is; channels 3 rewrites all three,
// any other count only the first. 0, or -1 with the planes untouched when
// work memory cannot be had.
int32_t wuReduce(int16_t mode, int16_t opacity, int16_t channels, unsigned char* first,
                 unsigned char* second, unsigned char* third, int32_t height, int32_t width,
                 int32_t x0, int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                 int16_t colours);

// ---- Octree quantiser ----

// A palette entry: the three component means and the alpha mean.
struct RGBQUAD {
  uint32_t rgbRed;
  uint32_t rgbGreen;
  uint32_t rgbBlue;
  uint32_t rgbAlpha;
};

struct _NODE {
  int32_t bIsLeaf;
  uint32_t nPixelCount;
  uint32_t nRedSum;
  uint32_t nGreenSum;
  uint32_t nBlueSum;
  uint32_t nAlphaSum;
  _NODE* pChild[8];
  _NODE* pNext;  // the reducible list of its level
};

class CQuantizer {
 public:
  // The leaf limit while building is nMaxColors raised to 16; the palette
  // is merged down to nMaxColors. The tree is at most 8 levels deep.
  CQuantizer(uint32_t nMaxColors, uint32_t nColorBits);
  virtual ~CQuantizer();
  CQuantizer(const CQuantizer&) = delete;
  CQuantizer& operator=(const CQuantizer&) = delete;

  // Adds every pixel of the inclusive region. 1, or 0 when a node could
  // not be had (the colours added before it stay in the tree).
  int32_t ProcessImage(const unsigned char* first, const unsigned char* second,
                       const unsigned char* third, int32_t height, int32_t width, int32_t x0,
                       int32_t y0, int32_t x1, int32_t y1);
  // Kept for the interface; does nothing and answers 1.
  int32_t ReduceImage(const unsigned char* first, const unsigned char* second,
                      const unsigned char* third, int32_t height, int32_t width, int32_t x0,
                      int32_t y0, int32_t x1, int32_t y1);
  uint32_t GetColorCount() const;
  // Writes the palette: the leaves' colours in tree order, or, when fewer
  // than 16 colours were asked for and there are more leaves, their
  // count-weighted means in nMaxColors consecutive groups.
  void SetColorTable(RGBQUAD* prgb);
  // The index of pixel (x, y) of a packed image of 8, 4 or 1 bits a pixel
  // (high bits first); 0 for other depths.
  uint8_t GetPixelIndex(int32_t x, int32_t y, int32_t nBits, int32_t nRowBytes,
                        const unsigned char* image) const;

 protected:
  _NODE* CreateNode(uint32_t nLevel, uint32_t nColorBits, uint32_t* pLeafCount,
                    _NODE** pReducibleNodes);
  bool AddColor(_NODE** ppNode, uint8_t r, uint8_t g, uint8_t b, uint8_t a, uint32_t nColorBits,
                uint32_t nLevel, uint32_t* pLeafCount, _NODE** pReducibleNodes);
  void ReduceTree(uint32_t nColorBits, uint32_t* pLeafCount, _NODE** pReducibleNodes);
  void DeleteTree(_NODE** ppNode);
  void GetPaletteColors(_NODE* pTree, RGBQUAD* prgbPalette, uint32_t* pIndex, uint32_t* pSum);

  _NODE* m_pTree = nullptr;
  uint32_t m_nLeafCount = 0;
  _NODE* m_pReducibleNodes[9] = {};
  uint32_t m_nMaxColors;
  uint32_t m_nOutputMaxColors;
  uint32_t m_nColorBits;
};
