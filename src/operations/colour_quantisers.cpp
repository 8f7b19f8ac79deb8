// Wu's quantiser works on a 33 x 33 x 33 histogram of the samples' top five
// bits (cell 0 of each axis left empty so cumulative sums need no tests).
// Boxes are cut where the summed squared means of the two parts are
// largest, always cutting the box of largest variance next, until K boxes
// exist or no box can be cut. The octree quantiser folds its deepest
// reducible node into a leaf whenever the leaves exceed the limit.
#include "operations/colour_quantisers.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "operations/effect_support.h"
#include "platform/memory/block.h"
#include "platform/types/plane_view.h"

namespace {

constexpr int32_t kSide = 33;
constexpr int32_t kCells = kSide * kSide * kSide;  // 35937
constexpr int32_t kMaxBoxes = 256;

constexpr int32_t At(int32_t r, int32_t g, int32_t b) { return r * 1089 + g * 33 + b; }

// The three planes; a single channel passes one plane three times.
using Planes = std::array<plat::PlaneView<unsigned char>, 3>;

template <typename T>
T VolOf(const box* c, const T* m) {
  return m[At(c->r1, c->g1, c->b1)] - m[At(c->r1, c->g1, c->b0)] - m[At(c->r1, c->g0, c->b1)] +
         m[At(c->r1, c->g0, c->b0)] - m[At(c->r0, c->g1, c->b1)] + m[At(c->r0, c->g1, c->b0)] +
         m[At(c->r0, c->g0, c->b1)] - m[At(c->r0, c->g0, c->b0)];
}

// The histogram of the whole image: each pixel's cell, and per cell the
// count, the three sums and the sum of squares.
void Histogram(const Planes& planes, uint16_t* cellOf, const WuMoments& m) {
  int32_t squares[256];
  for (int32_t i = 0; i < 256; ++i) squares[i] = i * i;
  const int32_t width = planes[0].width;
  for (int32_t y = 0; y < planes[0].height; ++y) {
    const unsigned char* p1 = planes[0].Row(y);
    const unsigned char* p2 = planes[1].Row(y);
    const unsigned char* p3 = planes[2].Row(y);
    uint16_t* cells = cellOf + static_cast<int64_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t c1 = p1[x], c2 = p2[x], c3 = p3[x];
      const int32_t cell = At((c1 >> 3) + 1, (c2 >> 3) + 1, (c3 >> 3) + 1);
      cells[x] = static_cast<uint16_t>(cell);
      ++m.wt[cell];
      m.mr[cell] += c1;
      m.mg[cell] += c2;
      m.mb[cell] += c3;
      m.m2[cell] += static_cast<float>(squares[c1] + squares[c2] + squares[c3]);
    }
  }
}

// Turns the five tables into moments cumulated from cell (0, 0, 0).
void Cumulate(const WuMoments& m) {
  for (int32_t r = 1; r < kSide; ++r) {
    int64_t area[kSide] = {}, areaR[kSide] = {}, areaG[kSide] = {}, areaB[kSide] = {};
    float area2[kSide] = {};
    for (int32_t g = 1; g < kSide; ++g) {
      int64_t line = 0, lineR = 0, lineG = 0, lineB = 0;
      float line2 = 0.0f;
      for (int32_t b = 1; b < kSide; ++b) {
        const int32_t i = At(r, g, b);
        line += m.wt[i];
        lineR += m.mr[i];
        lineG += m.mg[i];
        lineB += m.mb[i];
        line2 += m.m2[i];
        area[b] += line;
        areaR[b] += lineR;
        areaG[b] += lineG;
        areaB[b] += lineB;
        area2[b] += line2;
        const int32_t below = i - 1089;
        m.wt[i] = m.wt[below] + area[b];
        m.mr[i] = m.mr[below] + areaR[b];
        m.mg[i] = m.mg[below] + areaG[b];
        m.mb[i] = m.mb[below] + areaB[b];
        m.m2[i] = m.m2[below] + area2[b];
      }
    }
  }
}

int32_t CellVolume(const box& c) { return (c.r1 - c.r0) * (c.g1 - c.g0) * (c.b1 - c.b0); }

// Cuts `set1` in two along the axis of the best cut, the new half going to
// `set2`. false when the box cannot be split.
bool Cut(box* set1, box* set2, const WuMoments& m) {
  const int64_t wholeR = Vol(set1, m.mr), wholeG = Vol(set1, m.mg);
  const int64_t wholeB = Vol(set1, m.mb), wholeW = Vol(set1, m.wt);
  int32_t cutR = -1, cutG = -1, cutB = -1;
  const float maxR = Maximize(set1, WU_RED, set1->r0 + 1, set1->r1, &cutR, wholeR, wholeG, wholeB,
                              wholeW, m);
  const float maxG = Maximize(set1, WU_GREEN, set1->g0 + 1, set1->g1, &cutG, wholeR, wholeG,
                              wholeB, wholeW, m);
  const float maxB = Maximize(set1, WU_BLUE, set1->b0 + 1, set1->b1, &cutB, wholeR, wholeG,
                              wholeB, wholeW, m);
  int32_t dir;
  if (maxR >= maxG && maxR >= maxB) {
    dir = WU_RED;
    if (cutR < 0) return false;
  } else if (maxG >= maxR && maxG >= maxB) {
    dir = WU_GREEN;
  } else {
    dir = WU_BLUE;
  }
  set2->r1 = set1->r1;
  set2->g1 = set1->g1;
  set2->b1 = set1->b1;
  if (dir == WU_RED) {
    set2->r0 = set1->r1 = cutR;
    set2->g0 = set1->g0;
    set2->b0 = set1->b0;
  } else if (dir == WU_GREEN) {
    set2->g0 = set1->g1 = cutG;
    set2->r0 = set1->r0;
    set2->b0 = set1->b0;
  } else {
    set2->b0 = set1->b1 = cutB;
    set2->r0 = set1->r0;
    set2->g0 = set1->g0;
  }
  set1->vol = CellVolume(*set1);
  set2->vol = CellVolume(*set2);
  return true;
}

// Cuts boxes until `colours` exist or none can be cut; answers how many.
int32_t Partition(box* cube, int32_t colours, const WuMoments& m) {
  float vv[kMaxBoxes] = {};
  cube[0] = box{0, kSide - 1, 0, kSide - 1, 0, kSide - 1, 0};
  int32_t next = 0;
  for (int32_t i = 1; i < colours; ++i) {
    if (Cut(&cube[next], &cube[i], m)) {
      vv[next] = cube[next].vol > 1 ? Var(&cube[next], m) : 0.0f;
      vv[i] = cube[i].vol > 1 ? Var(&cube[i], m) : 0.0f;
    } else {
      vv[next] = 0.0f;  // that box stays whole; try the next largest
      --i;
    }
    next = 0;
    float largest = vv[0];
    for (int32_t k = 1; k <= i; ++k) {
      if (vv[k] > largest) {
        largest = vv[k];
        next = k;
      }
    }
    if (largest <= 0.0f) return i + 1;
  }
  return colours;
}

}  // namespace

// ---- Wu's quantiser ----

int64_t Vol(const box* cube, const int64_t* mmt) { return VolOf(cube, mmt); }
float Vol(const box* cube, const float* mmt) { return VolOf(cube, mmt); }

int64_t Bottom(const box* c, int32_t dir, const int64_t* m) {
  switch (dir) {
    case WU_RED:
      return -m[At(c->r0, c->g1, c->b1)] + m[At(c->r0, c->g1, c->b0)] +
             m[At(c->r0, c->g0, c->b1)] - m[At(c->r0, c->g0, c->b0)];
    case WU_GREEN:
      return -m[At(c->r1, c->g0, c->b1)] + m[At(c->r1, c->g0, c->b0)] +
             m[At(c->r0, c->g0, c->b1)] - m[At(c->r0, c->g0, c->b0)];
    case WU_BLUE:
      return -m[At(c->r1, c->g1, c->b0)] + m[At(c->r1, c->g0, c->b0)] +
             m[At(c->r0, c->g1, c->b0)] - m[At(c->r0, c->g0, c->b0)];
    default: return 0;
  }
}

int64_t Top(const box* c, int32_t dir, int32_t pos, const int64_t* m) {
  switch (dir) {
    case WU_RED:
      return m[At(pos, c->g1, c->b1)] - m[At(pos, c->g1, c->b0)] - m[At(pos, c->g0, c->b1)] +
             m[At(pos, c->g0, c->b0)];
    case WU_GREEN:
      return m[At(c->r1, pos, c->b1)] - m[At(c->r1, pos, c->b0)] - m[At(c->r0, pos, c->b1)] +
             m[At(c->r0, pos, c->b0)];
    case WU_BLUE:
      return m[At(c->r1, c->g1, pos)] - m[At(c->r1, c->g0, pos)] - m[At(c->r0, c->g1, pos)] +
             m[At(c->r0, c->g0, pos)];
    default: return 0;
  }
}

float Var(const box* cube, const WuMoments& m) {
  const auto dr = static_cast<float>(Vol(cube, m.mr));
  const auto dg = static_cast<float>(Vol(cube, m.mg));
  const auto db = static_cast<float>(Vol(cube, m.mb));
  const float xx = Vol(cube, m.m2);
  return xx - (dr * dr + dg * dg + db * db) / static_cast<float>(Vol(cube, m.wt));
}

float Maximize(const box* cube, int32_t dir, int32_t first, int32_t last, int32_t* cut,
               int64_t wholeR, int64_t wholeG, int64_t wholeB, int64_t wholeW,
               const WuMoments& m) {
  const int64_t baseR = Bottom(cube, dir, m.mr), baseG = Bottom(cube, dir, m.mg);
  const int64_t baseB = Bottom(cube, dir, m.mb), baseW = Bottom(cube, dir, m.wt);
  auto spread = [](int64_t r, int64_t g, int64_t b, int64_t w) {
    const auto fr = static_cast<float>(r), fg = static_cast<float>(g), fb = static_cast<float>(b);
    return (fr * fr + fg * fg + fb * fb) / static_cast<float>(w);
  };
  float best = 0.0f;
  *cut = -1;
  for (int32_t i = first; i < last; ++i) {
    const int64_t halfR = baseR + Top(cube, dir, i, m.mr);
    const int64_t halfG = baseG + Top(cube, dir, i, m.mg);
    const int64_t halfB = baseB + Top(cube, dir, i, m.mb);
    const int64_t halfW = baseW + Top(cube, dir, i, m.wt);
    if (halfW == 0) continue;
    float value = spread(halfR, halfG, halfB, halfW);
    if (wholeW - halfW == 0) continue;
    value += spread(wholeR - halfR, wholeG - halfG, wholeB - halfB, wholeW - halfW);
    if (value > best) {
      best = value;
      *cut = i;
    }
  }
  return best;
}

namespace {

// Cumulative moments, one table each, cleared.
struct MomentTables {
  plat::Block<int64_t> wt{kCells}, mr{kCells}, mg{kCells}, mb{kCells};
  plat::Block<float> m2{kCells};
  bool Take() {
    if (!wt || !mr || !mg || !mb || !m2) return false;
    for (auto* t : {&wt, &mr, &mg, &mb}) t->Clear();
    m2.Clear();
    return true;
  }
  WuMoments view() const { return {wt.get(), mr.get(), mg.get(), mb.get(), m2.get()}; }
};

// Wu's reduction of `planes` to k colours, blended into the (clipped)
// region; `rewritten` planes of the three take their palette colour.
int32_t WuReduce(const Planes& planes, int32_t rewritten, plat::InclusiveRect region,
                 plat::ConstPlaneView<unsigned char> mask, int16_t mode, int16_t opacity,
                 int32_t k) {
  MomentTables tables;
  if (!tables.Take()) return -1;
  const WuMoments m = tables.view();
  plat::Block<uint16_t> cellOf(planes[0].count());
  if (!cellOf) return -1;
  Histogram(planes, cellOf.get(), m);
  Cumulate(m);

  box cube[kMaxBoxes];
  const int32_t boxes = Partition(cube, k, m);
  plat::Block<unsigned char> tag(kCells);
  if (!tag) return -1;
  unsigned char lut[3][kMaxBoxes];
  for (int32_t b = 0; b < boxes; ++b) {
    const box& c = cube[b];
    for (int32_t r = c.r0 + 1; r <= c.r1; ++r)
      for (int32_t g = c.g0 + 1; g <= c.g1; ++g)
        for (int32_t bl = c.b0 + 1; bl <= c.b1; ++bl) tag[At(r, g, bl)] = static_cast<unsigned char>(b);
    const int64_t weight = Vol(&c, m.wt);
    lut[0][b] = weight != 0 ? static_cast<unsigned char>(Vol(&c, m.mr) / weight) : 0;
    lut[1][b] = weight != 0 ? static_cast<unsigned char>(Vol(&c, m.mg) / weight) : 0;
    lut[2][b] = weight != 0 ? static_cast<unsigned char>(Vol(&c, m.mb) / weight) : 0;
  }

  // The palette is the whole image's; only the region is rewritten.
  if (!region.ClipTo(planes[0].width, planes[0].height)) return 0;
  for (int32_t y = region.top; y <= region.bottom; ++y) {
    const uint16_t* cells = cellOf.get() + static_cast<int64_t>(y) * planes[0].width;
    for (int32_t x = region.left; x <= region.right; ++x) {
      const int32_t a = effect_support::Weight(mask.data, mask.Index(x, y), opacity);
      const int32_t b = tag[cells[x]];
      for (int32_t p = 0; p < rewritten; ++p) {
        unsigned char& s = planes[p].At(x, y);
        s = effect_support::Blend(mode, s, lut[p][b], a);
      }
    }
  }
  return 0;
}

}  // namespace

int32_t wuReduce(int16_t mode, int16_t opacity, int16_t channels, unsigned char* first,
                 unsigned char* second, unsigned char* third, int32_t height, int32_t width,
                 int32_t x0, int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                 int16_t colours) {
  if (first == nullptr || second == nullptr || third == nullptr) return -1;
  if (height <= 0 || width <= 0) return 0;
  using View = plat::PlaneView<unsigned char>;
  const Planes planes = {View::Packed(first, width, height), View::Packed(second, width, height),
                         View::Packed(third, width, height)};
  // One box at least (fewer would tag nothing), 256 at most (the box table
  // and the 8-bit tags hold no more).
  return WuReduce(planes, channels == 3 ? 3 : 1, plat::InclusiveRect{x0, y0, x1, y1},
                  plat::ConstPlaneView<unsigned char>::Packed(mask, width, height), mode, opacity,
                  std::clamp<int32_t>(colours, 1, kMaxBoxes));
}

// ---- Octree quantiser ----

CQuantizer::CQuantizer(uint32_t nMaxColors, uint32_t nColorBits)
    : m_nMaxColors(nMaxColors < 16 ? 16 : nMaxColors),
      m_nOutputMaxColors(nMaxColors),
      m_nColorBits(nColorBits > 8 ? 8 : nColorBits) {}

CQuantizer::~CQuantizer() { DeleteTree(&m_pTree); }

int32_t CQuantizer::ProcessImage(const unsigned char* first, const unsigned char* second,
                                 const unsigned char* third, int32_t height, int32_t width,
                                 int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  bool whole = true;
  effect_support::ForEachPixel(width, height, x0, y0, x1, y1, [&](int64_t i, int32_t, int32_t) {
    if (!whole) return;
    if (!AddColor(&m_pTree, first[i], second[i], third[i], 0, m_nColorBits, 0, &m_nLeafCount,
                  m_pReducibleNodes)) {
      whole = false;
      return;
    }
    while (m_nLeafCount > m_nMaxColors) {
      const uint32_t before = m_nLeafCount;
      ReduceTree(m_nColorBits, &m_nLeafCount, m_pReducibleNodes);
      if (m_nLeafCount == before) break;
    }
  });
  return whole ? 1 : 0;
}

int32_t CQuantizer::ReduceImage(const unsigned char*, const unsigned char*, const unsigned char*,
                                int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
  return 1;
}

uint32_t CQuantizer::GetColorCount() const { return m_nLeafCount; }

_NODE* CQuantizer::CreateNode(uint32_t nLevel, uint32_t nColorBits, uint32_t* pLeafCount,
                              _NODE** pReducibleNodes) {
  auto* node = static_cast<_NODE*>(std::calloc(1, sizeof(_NODE)));
  if (node == nullptr) return nullptr;
  node->bIsLeaf = nLevel == nColorBits ? 1 : 0;
  if (node->bIsLeaf) {
    ++*pLeafCount;
  } else {
    node->pNext = pReducibleNodes[nLevel];
    pReducibleNodes[nLevel] = node;
  }
  return node;
}

bool CQuantizer::AddColor(_NODE** ppNode, uint8_t r, uint8_t g, uint8_t b, uint8_t a,
                          uint32_t nColorBits, uint32_t nLevel, uint32_t* pLeafCount,
                          _NODE** pReducibleNodes) {
  static const uint8_t mask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
  if (*ppNode == nullptr) {
    *ppNode = CreateNode(nLevel, nColorBits, pLeafCount, pReducibleNodes);
    if (*ppNode == nullptr) return false;
  }
  _NODE* node = *ppNode;
  if (node->bIsLeaf) {
    ++node->nPixelCount;
    node->nRedSum += r;
    node->nGreenSum += g;
    node->nBlueSum += b;
    node->nAlphaSum += a;
    return true;
  }
  const uint32_t shift = 7 - nLevel;
  const uint32_t index = (((r & mask[nLevel]) >> shift) << 2) |
                         (((g & mask[nLevel]) >> shift) << 1) | ((b & mask[nLevel]) >> shift);
  return AddColor(&node->pChild[index], r, g, b, a, nColorBits, nLevel + 1, pLeafCount,
                  pReducibleNodes);
}

void CQuantizer::ReduceTree(uint32_t nColorBits, uint32_t* pLeafCount, _NODE** pReducibleNodes) {
  if (nColorBits == 0) return;
  uint32_t level = nColorBits - 1;
  while (level > 0 && pReducibleNodes[level] == nullptr) --level;
  _NODE* node = pReducibleNodes[level];
  if (node == nullptr) return;
  pReducibleNodes[level] = node->pNext;
  uint32_t children = 0;
  for (_NODE*& child : node->pChild) {
    if (child == nullptr) continue;
    node->nRedSum += child->nRedSum;
    node->nGreenSum += child->nGreenSum;
    node->nBlueSum += child->nBlueSum;
    node->nAlphaSum += child->nAlphaSum;
    node->nPixelCount += child->nPixelCount;
    DeleteTree(&child);
    ++children;
  }
  node->bIsLeaf = 1;
  *pLeafCount -= children - 1;
}

void CQuantizer::DeleteTree(_NODE** ppNode) {
  if (*ppNode == nullptr) return;
  for (_NODE*& child : (*ppNode)->pChild) DeleteTree(&child);
  std::free(*ppNode);
  *ppNode = nullptr;
}

void CQuantizer::GetPaletteColors(_NODE* pTree, RGBQUAD* prgbPalette, uint32_t* pIndex,
                                  uint32_t* pSum) {
  if (pTree == nullptr) return;
  if (pTree->bIsLeaf) {
    const uint32_t n = pTree->nPixelCount != 0 ? pTree->nPixelCount : 1;
    RGBQUAD& entry = prgbPalette[*pIndex];
    entry.rgbRed = static_cast<uint8_t>(pTree->nRedSum / n);
    entry.rgbGreen = static_cast<uint8_t>(pTree->nGreenSum / n);
    entry.rgbBlue = static_cast<uint8_t>(pTree->nBlueSum / n);
    entry.rgbAlpha = static_cast<uint8_t>(pTree->nAlphaSum / n);
    if (pSum != nullptr) pSum[*pIndex] = n;
    ++*pIndex;
    return;
  }
  for (_NODE* child : pTree->pChild) GetPaletteColors(child, prgbPalette, pIndex, pSum);
}

void CQuantizer::SetColorTable(RGBQUAD* prgb) {
  uint32_t index = 0;
  if (m_nOutputMaxColors >= 16) {
    GetPaletteColors(m_pTree, prgb, &index, nullptr);
    return;
  }
  std::vector<RGBQUAD> leaves(m_nLeafCount);
  std::vector<uint32_t> counts(m_nLeafCount);
  GetPaletteColors(m_pTree, leaves.data(), &index, counts.data());
  if (m_nLeafCount <= m_nOutputMaxColors) {
    std::copy(leaves.begin(), leaves.end(), prgb);
    return;
  }
  // Groups of consecutive leaves, each merged by pixel count.
  const uint64_t total = m_nLeafCount, groups = m_nOutputMaxColors;
  for (uint64_t j = 0; j < groups; ++j) {
    uint64_t r = 0, g = 0, b = 0, a = 0, n = 0;
    for (uint64_t k = j * total / groups; k < (j + 1) * total / groups; ++k) {
      r += static_cast<uint64_t>(leaves[k].rgbRed) * counts[k];
      g += static_cast<uint64_t>(leaves[k].rgbGreen) * counts[k];
      b += static_cast<uint64_t>(leaves[k].rgbBlue) * counts[k];
      a += static_cast<uint64_t>(leaves[k].rgbAlpha) * counts[k];
      n += counts[k];
    }
    if (n == 0) n = 1;
    prgb[j] = RGBQUAD{static_cast<uint32_t>(r / n), static_cast<uint32_t>(g / n),
                      static_cast<uint32_t>(b / n), static_cast<uint32_t>(a / n)};
  }
}

uint8_t CQuantizer::GetPixelIndex(int32_t x, int32_t y, int32_t nBits, int32_t nRowBytes,
                                  const unsigned char* image) const {
  const unsigned char* row = image + static_cast<int64_t>(y) * nRowBytes;
  switch (nBits) {
    case 8: return row[x];
    case 4: return static_cast<uint8_t>((x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
    case 1: return static_cast<uint8_t>((row[x / 8] >> (7 - x % 8)) & 1);
    default: return 0;
  }
}
