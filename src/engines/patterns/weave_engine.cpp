#include "engines/patterns/weave_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/parallel.h"
#include "raster/plane_copy.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPZabcdefghijklmnopz[]/";

bool IsSymbol(char c) { return c != 0 && std::strchr(kAlphabet, c) != nullptr; }
bool EndsMirror(char c) { return c == '[' || c == ']' || c == '/'; }

struct Node {
  char symbol;
  int32_t count;
};

// Expands nodes[begin, end) into `out`. Every limit stops the whole expansion: the positions
// (kMaxStripLength), the nodes, and the steps taken (so empty groups repeated many times end).
class Expander {
 public:
  explicit Expander(const std::vector<Node>& nodes) : nodes_(nodes) {}
  std::vector<Node> out;

  void Run(size_t begin, size_t end) {
    size_t i = begin;
    while (i < end && !Stopped()) {
      ++steps_;
      const Node& n = nodes_[i];
      if (n.symbol == ']') return;  // ends the current group (its count plays no part)
      if (n.symbol == '[') {
        const size_t m = Match(i, end);
        for (int32_t r = 0; r < n.count && !Stopped(); ++r) Run(i + 1, m);
        i = m < end ? m + 1 : end;
      } else if (n.symbol == '/') {
        size_t j = i + 1;
        while (j < end && !EndsMirror(nodes_[j].symbol)) ++j;
        for (int32_t r = 0; r < n.count && !Stopped(); ++r) {
          for (size_t k = i + 1; k < j; ++k) Emit(nodes_[k]);
          for (size_t k = j; k > i + 1; --k) Emit(nodes_[k - 1]);
        }
        i = j < end ? j + 1 : end;
      } else {
        Emit(n);
        ++i;
      }
    }
  }

 private:
  bool Stopped() const {
    return length_ >= kMaxStripLength || static_cast<int64_t>(out.size()) >= kMaxStripLength ||
           steps_ >= 16 * int64_t{kMaxStripLength};
  }
  size_t Match(size_t open, size_t end) const {
    int32_t depth = 1;
    for (size_t j = open + 1; j < end; ++j) {
      if (nodes_[j].symbol == '[') ++depth;
      if (nodes_[j].symbol == ']' && --depth == 0) return j;
    }
    return end;
  }
  void Emit(const Node& n) {
    ++steps_;
    if (Stopped()) return;
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(n.count, kMaxStripLength - length_));
    out.push_back({n.symbol, count});
    length_ += count;
  }

  const std::vector<Node>& nodes_;
  int64_t length_ = 0;
  int64_t steps_ = 0;
};

void FreeLine(uint8_t* line, int32_t from, int32_t to, int32_t n, int32_t colour) {
  const uint8_t c = colour >= 0 && colour <= 16 ? static_cast<uint8_t>(colour) : kFreePosition;
  for (int32_t i = std::max(from, 0); i < std::min(to, n); ++i) line[i] = c;
}

int32_t Shaded(int32_t shade, int32_t v, int32_t old) {
  return std::min(255, ((shade * v / 100) * 70 + old * 30) / 100);
}

}  // namespace

int32_t StringToNum(const unsigned char* text) {
  if (text == nullptr) return 0;
  const int32_t length = text[0];
  int32_t i = 1;
  bool negative = false;
  if (i <= length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i <= length && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), 0x7FFFFFFF);
  return static_cast<int32_t>(negative ? -value : value);
}

uint8_t StripIndex(char symbol) {
  if (symbol >= 'A' && symbol <= 'P') return static_cast<uint8_t>(symbol - 'A');
  if (symbol >= 'a' && symbol <= 'p') return static_cast<uint8_t>(symbol - 'a');
  if (symbol == 'Z' || symbol == 'z') return kFreePosition;
  return 0;
}

MiscWeave::MiscWeave() = default;
MiscWeave::~MiscWeave() { DelStrip(); }

void MiscWeave::SetPlaidPar(const PlaidPar* record) { Copy_PlaidPar(record, &par); }

void MiscWeave::SetBufSize(int32_t fw, int32_t fh, int32_t w, int32_t h, int32_t res) {
  fullWidth = fw;
  fullHeight = fh;
  width = w;
  height = h;
  span1 = span2 = std::max(w, h);
  resolution = res;
}

int32_t MiscWeave::CntStrip() const {
  int64_t total = 0;
  for (const TStrip* s = strips; s != nullptr; s = s->next) total += s->count;
  return static_cast<int32_t>(std::min<int64_t>(total, kMaxStripLength));
}

void MiscWeave::DelStrip() {
  while (strips != nullptr) delete std::exchange(strips, strips->next);
  stripNodes = 0;
}

void MiscWeave::ParseFormula(const char* formula) {
  DelStrip();
  char text[kFormulaSize] = {};
  std::memcpy(text, formula, kFormulaSize - 1);
  TStrip* tail = nullptr;
  unsigned char number[kFormulaSize + 1] = {};
  for (const char* c = text; *c != 0; ++c) {
    if (!IsSymbol(*c)) {
      if (number[0] < kFormulaSize - 1) number[++number[0]] = static_cast<unsigned char>(*c);
      continue;
    }
    auto* node = new TStrip;
    node->symbol = *c;
    node->count = number[0] == 0 ? 1 : std::clamp(StringToNum(number), 0, kMaxStripCount);
    number[0] = 0;
    (tail == nullptr ? strips : tail->next) = node;
    tail = node;
    ++stripNodes;
  }
}

void MiscWeave::ExpandStrip() {
  std::vector<Node> nodes;
  for (const TStrip* s = strips; s != nullptr; s = s->next) nodes.push_back({s->symbol, s->count});
  Expander expander(nodes);
  expander.Run(0, nodes.size());
  DelStrip();
  TStrip* tail = nullptr;
  for (const Node& n : expander.out) {
    auto* node = new TStrip;
    node->symbol = n.symbol;
    node->count = n.count;
    (tail == nullptr ? strips : tail->next) = node;
    tail = node;
    ++stripNodes;
  }
}

int32_t MiscWeave::PrepareAndCnt(int16_t which, int16_t, int16_t reps) {
  ParseFormula(which == 1 ? par.formula1 : par.formula2);
  if (strips != nullptr) ExpandStrip();
  return static_cast<int32_t>(std::min<int64_t>(int64_t{reps} * CntStrip(), 0x7FFFFFFF));
}

void MiscWeave::LoadStrip(uint8_t* buffer, int16_t rows) const {
  const int64_t length = CntStrip();
  for (int32_t r = 0; r < rows; ++r) {
    int64_t pos = r * length;
    for (const TStrip* s = strips; s != nullptr; s = s->next)
      for (int32_t c = 0; c < s->count; ++c) buffer[pos++] = StripIndex(s->symbol);
  }
}

void MiscWeave::PrepareFormula(int16_t which, int16_t mode, int32_t size, int32_t n,
                               uint8_t* line, int16_t reps) {
  if (size <= 0 || n <= 0 || line == nullptr) return;
  PrepareAndCnt(which, 0, 1);
  const int64_t length = CntStrip();
  if (length == 0) {  // no thread of the formula: palette 0, not a free line
    std::memset(line, 0, static_cast<size_t>(n));
    return;
  }
  const int32_t r = reps < 2 ? 1 : reps;
  std::vector<uint8_t> buffer(static_cast<size_t>(length) + 1);
  LoadStrip(buffer.data(), 1);
  if (mode == 2) {
    // The pattern repeated r times and stretched over the line; the repeats are the same
    // bytes, so one copy of it serves.
    for (int32_t k = 0; k < n; ++k) line[k] = buffer[(int64_t{k} * length * r / n) % length];
    return;
  }
  const int32_t period = std::max(n / r, 1);
  const int64_t shown = size / r;
  for (int32_t k = 0; k < n; ++k) {
    const int64_t idx = int64_t{k % period} * size / n;
    if (shown < length) {
      if (idx < shown) line[k] = buffer[idx];
    } else {
      line[k] = idx < length ? buffer[idx] : kFreePosition;
    }
  }
}

void MiscWeave::PrepareFree(const WWInfo& free, int16_t mode, int16_t cumulative, int32_t size,
                            int32_t n, uint8_t* line, int16_t reps) const {
  if (line == nullptr || n <= 0) return;
  std::memset(line, kFreePosition, static_cast<size_t>(n));
  if (size <= 0) return;
  const int32_t r = std::max<int32_t>(reps, 1);
  const int32_t count = std::clamp(free.stripCount, 0, kFreeStrips);
  if (mode == 1) {
    for (int32_t rep = 0; rep < r; ++rep) {
      int64_t start = int64_t{rep} * n / r, acc = 0;
      for (int32_t k = 0; k < count; ++k) {
        if (free.stripOn[k] != 1) continue;
        const int64_t len = cumulative != 0
                                ? int64_t{std::min(free.stripWidth[k], size)} * n / size - acc
                                : int64_t{n} * free.stripWidth[k] / size;
        if (len <= 0) continue;
        int64_t end = start + len;
        if (end >= n) end = n - 1;
        acc += len;
        FreeLine(line, static_cast<int32_t>(start), static_cast<int32_t>(end), n, free.stripColour[k]);
        start = end;
      }
    }
  } else if (mode == 2) {
    int64_t total = 0;
    for (int32_t k = 0; k < count; ++k)
      if (free.stripOn[k] == 1) total += free.stripWidth[k];
    if (total <= 0) return;
    const int64_t per = std::llround(static_cast<double>(n) / r);
    for (int32_t rep = 0; rep < r; ++rep) {
      int64_t start = rep * per;
      for (int32_t k = 0; k < count; ++k) {
        if (free.stripOn[k] != 1) continue;
        const int64_t len = std::llround(static_cast<double>(per) * free.stripWidth[k] / total);
        const int64_t end = std::min<int64_t>(start + len, n - 1);
        FreeLine(line, static_cast<int32_t>(std::min<int64_t>(start, n)), static_cast<int32_t>(end), n,
                 free.stripColour[k]);
        start = end;
      }
    }
  }
}

void MiscWeave::PrepareFreeH(int16_t mode, int16_t cumulative, int32_t size, int32_t n,
                             uint8_t* line, int16_t reps) {
  PrepareFree(par.free1, mode, cumulative, size, n, line, reps);
}

void MiscWeave::PrepareFreeV(int16_t mode, int16_t cumulative, int32_t size, int32_t n,
                             uint8_t* line, int16_t reps) {
  PrepareFree(par.free2, mode, cumulative, size, n, line, reps);
}

void MiscWeave::PaintThreads(bool fromStrips, int16_t which, int16_t useFree, int16_t channel,
                             int16_t mode, int16_t cumulative, int32_t full, int32_t n,
                             uint8_t* plane, int16_t angle, int16_t reps,
                             const uint8_t (*palette)[kPlaidColours], const LutVign& ramp) {
  if (plane == nullptr || width <= 0 || height <= 0) return;
  const int32_t span = span1;
  if (fromStrips) {
    std::vector<uint8_t> line(static_cast<size_t>(span), kFreePosition);
    if (useFree == 1 && which == 1)
      PrepareFreeV(mode, cumulative, full, std::min(n, span), line.data(), reps);
    else if (useFree == 1)
      PrepareFreeH(mode, cumulative, full, std::min(n, span), line.data(), reps);
    else
      PrepareFormula(which, mode, full, std::min(n, span), line.data(), reps);
    if (channel >= 0 && channel <= 2)
      Effects::ColorBar(plane, height, width, 0, 0, span, span, span, line.data(),
                        palette[channel], angle);
    return;
  }
  // The ramp is laid over a span x span square; the plane receives its top-left corner, so a
  // plane that is not square is never written past its end.
  std::vector<uint8_t> square(static_cast<size_t>(int64_t{span} * span));
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(&square[static_cast<size_t>(int64_t{y} * span)], plane + int64_t{y} * width,
                static_cast<size_t>(width));
  Effects::ColorWavePlane(square.data(), span, span, 0, 0, span, span, channel,
                          &ramp.opacity[0], angle, reps);
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(plane + int64_t{y} * width, &square[static_cast<size_t>(int64_t{y} * span)],
                static_cast<size_t>(width));
}

void MiscWeave::FillRows(int16_t channel, int16_t useFree, int16_t mode, int16_t cumulative,
                         uint8_t* plane, int16_t angle, int16_t reps) {
  const int32_t n = fullHeight > fullWidth && fullHeight > 0
                        ? static_cast<int32_t>(int64_t{span2} * fullWidth / fullHeight)
                        : span2;
  PaintThreads(par.threadSource == 0 || par.threadSource == 1, 1, useFree, channel, mode,
               cumulative, fullWidth, n, plane, angle, reps, par.paletteA, par.ramp1);
}

void MiscWeave::FillCols(int16_t channel, int16_t useFree, int16_t mode, int16_t cumulative,
                         uint8_t* plane, int16_t angle, int16_t reps) {
  const int32_t n = fullWidth > fullHeight && fullWidth > 0
                        ? static_cast<int32_t>(int64_t{span1} * fullHeight / fullWidth)
                        : span1;
  PaintThreads(par.threadSource == 0 || par.threadSource == 2, 0, useFree, channel, mode,
               cumulative, fullHeight, n, plane, angle, reps, par.paletteB, par.ramp2);
}

namespace {

// A weave pattern with each cell spread over cw x ch pixels.
struct Pattern {
  const WeaveInfo& weave;
  int32_t cw, ch, w, h;
  Pattern(const WeaveInfo& wv, int32_t cellW, int32_t cellH)
      : weave(wv), cw(cellW), ch(cellH), w(cellW * std::min<int32_t>(wv.columns, kWeaveSide)),
        h(cellH * std::min<int32_t>(wv.rows, kWeaveSide)) {}
  bool empty() const { return w < 1 || h < 1; }
  uint8_t at(int32_t x, int32_t y) const { return weave.cells[(y % h) / ch][(x % w) / cw]; }
};

// Pixel k (0 .. count - 1) across a thread cell `count` pixels thick, over the old pixel px:
// which are shaded depends on how thick the thread is. A thread thicker than five pixels
// draws nothing, as it always did; its callers skip it.
inline uint8_t ThreadPixel(int32_t k, int32_t count, int32_t shade, int32_t v, int32_t px,
                           bool rowThread) {
  int32_t out = v;
  if (count == 2 && k == 1) out = Shaded(shade, v, px);
  if (count >= 3 && k == 0) out = Shaded(shade, v, px);
  if (rowThread && count == 3 && k == 2) out = std::min(255, (v * 70 + px * 30) / 100);
  return static_cast<uint8_t>(out);
}

constexpr int32_t kThickestThread = 5;

// The weave cell's column under each column of the plane: (x mod w) / cw, so that a row of
// the pixel loops looks its cells up without a division.
void CellColumns(const Pattern& p, int32_t width, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((x % p.w) / p.cw);
}

}  // namespace

void MiscWeave::WeaveRowCols(int16_t channel, int16_t freeMode, int16_t mode,
                             int16_t cumulative, int32_t shade2, int32_t shade1,
                             uint8_t* rowLayer, uint8_t* colLayer, uint8_t* plane) {
  if (plane == nullptr || rowLayer == nullptr || colLayer == nullptr || width <= 0 || height <= 0)
    return;
  const int32_t cw = std::max<int32_t>(par.threadWidth, 1);
  const int32_t ch = std::max<int32_t>(par.threadHeight, 1);
  if (shade1 > 255) shade1 = 70;
  if (shade2 > 255) shade2 = 70;
  const Pattern a(par.weave1, cw, ch);
  const Pattern b(par.sameWeave == 1 ? par.weave1 : par.weave2, cw, ch);
  if (a.empty() || b.empty()) return;
  const auto size = static_cast<size_t>(int64_t{width} * height);

  // Each pixel is written once, from its own old value and the layer at its cell's first row
  // (a column thread) or first column (a row thread): rows go to the shared threads in bands,
  // the cells looked up through a table of the plane's columns.
  const int32_t planeW = width, planeH = height;
  plat::Block<uint8_t> tables(3 * int64_t{planeW}, WorkSource());
  if (!tables) return;
  uint8_t* columnsA = tables.get();
  uint8_t* columnsB = columnsA + planeW;
  uint8_t* across = columnsB + planeW;
  CellColumns(a, planeW, columnsA);
  CellColumns(b, planeW, columnsB);
  for (int32_t x = 0; x < planeW; ++x) across[x] = static_cast<uint8_t>(x % cw % 256);

  plat::CopyBytes(colLayer, plane, static_cast<int64_t>(size));
  FillCols(channel, freeMode == 1 || freeMode == 3 ? 1 : 0, mode, cumulative, colLayer,
           static_cast<int16_t>(par.colAngle + 90), par.colRepeats);
  // A column thread's cell covers planeH y0 .. y0 + ch - 1 of its own column and takes the
  // layer's value at row y0.
  const int32_t colsWoven = par.colsWoven;
  if (ch <= kThickestThread && (colsWoven == 0 || colsWoven == 1)) {
    plat::ParallelFor(0, planeH, 16, [=](int32_t first, int32_t last) {
      for (int32_t y = first; y < last; ++y) {
        const int32_t k = y % ch;
        const uint8_t* cells = a.weave.cells[(y % a.h) / ch];
        const uint8_t* v = colLayer + int64_t{y - k} * planeW;
        uint8_t* p = plane + int64_t{y} * planeW;
        // The pixels of the row that simply take the layer's value.
        const bool plain = ch == 1 || (ch == 2 && k == 0) || (ch >= 3 && k != 0);
        if (colsWoven == 1 && plain) {
          for (int32_t x = 0; x < planeW; ++x)
            if (cells[columnsA[x]] != 0) p[x] = v[x];
        } else if (colsWoven == 1) {
          for (int32_t x = 0; x < planeW; ++x)
            if (cells[columnsA[x]] != 0) p[x] = ThreadPixel(k, ch, shade2, v[x], p[x], false);
        } else if (plain) {
          std::memcpy(p, v, static_cast<size_t>(planeW));
        } else {
          for (int32_t x = 0; x < planeW; ++x) p[x] = ThreadPixel(k, ch, shade2, v[x], p[x], false);
        }
      }
    });
  }

  plat::CopyBytes(rowLayer, plane, static_cast<int64_t>(size));
  FillRows(channel, freeMode == 2 || freeMode == 3 ? 1 : 0, mode, cumulative, rowLayer,
           par.rowAngle, par.rowRepeats);
  // A row thread's cell stays in its row and takes the layer's value at its first column.
  const bool rowsDrawn = par.rowsWoven == 1 || (par.rowsWoven == 0 && colsWoven != 0);
  if (cw <= kThickestThread && rowsDrawn) {
    const bool woven = par.rowsWoven == 1;
    plat::ParallelFor(0, planeH, 16, [=](int32_t first, int32_t last) {
      for (int32_t y = first; y < last; ++y) {
        const uint8_t* cells = b.weave.cells[(y % b.h) / ch];
        const uint8_t* v = rowLayer + int64_t{y} * planeW;
        uint8_t* p = plane + int64_t{y} * planeW;
        if (cw == 1 && woven) {
          for (int32_t x = 0; x < planeW; ++x)
            if (cells[columnsB[x]] == 0) p[x] = v[x];
        } else if (cw == 1) {
          std::memcpy(p, v, static_cast<size_t>(planeW));
        } else {
          for (int32_t x = 0; x < planeW; ++x) {
            if (woven && cells[columnsB[x]] != 0) continue;
            const int32_t k = across[x];
            p[x] = ThreadPixel(k, cw, shade1, v[x - k], p[x], true);
          }
        }
      }
    });
  }
}

int32_t MiscWeave::FillBuf(int16_t blendMode, int16_t opacity, int16_t channel,
                           int16_t freeMode, int16_t mode, int16_t cumulative, uint8_t* plane,
                           const uint8_t* mask, int16_t clearFormula) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  const int64_t size = int64_t{width} * height;
  plat::Block<uint8_t> layers(3 * size, WorkSource());
  if (!layers) return -1;
  uint8_t* rowLayer = layers.get();
  uint8_t* colLayer = rowLayer + size;
  if (mask == nullptr) {
    WeaveRowCols(channel, freeMode, mode, cumulative, par.shade2, par.shade1, rowLayer,
                 colLayer, plane);
    return 0;
  }
  uint8_t* unwoven = colLayer + size;
  plat::CopyBytes(unwoven, plane, size);
  if (opacity != 0) {
    // One set of threads may be cleared so that it leaves the picture showing.
    if (clearFormula == 1) std::strcpy(par.formula2, "z");
    if (clearFormula == 2) std::strcpy(par.formula1, "z");
    WeaveRowCols(channel, freeMode, mode, cumulative, par.shade2, par.shade1, rowLayer,
                 colLayer, plane);
  }
  plat::ForEachByteRun(size, [&](int64_t first, int64_t last) {
    for (int64_t i = first; i < last; ++i) {
      const int32_t mixed = (opacity * plane[i] + (255 - opacity) * unwoven[i]) / 255;
      unsigned char b = unwoven[i];  // a mode without a case keeps the pixel
      X_optionRPart(&b, static_cast<uint32_t>(blendMode + 1), unwoven[i], mixed);
      plane[i] = static_cast<uint8_t>(((255 - mask[i]) * unwoven[i] + mask[i] * b) / 255);
    }
  });
  return 0;
}

int32_t MiscWeave::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                           int16_t source, int16_t apply, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, int32_t fw, int32_t fh,
                           int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                           int32_t photoBottom, float scaleX, float scaleY, int32_t w,
                           int32_t h, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                           uint8_t* plane3, uint8_t*) {
  const bool three = planeCount != 1;
  if (!vmkrec::PlanesGiven(w, h, three, plane0, plane1, plane2)) return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, w, h, false);
  vmkrec::PrepareEngineSource(
      source, three ? 3 : 1, 255,
      vmkrec::MakeSourceRequest(w, h, a.right - a.left, a.bottom - a.top, photoLeft, photoTop,
                                photoRight, photoBottom, scaleX, scaleY, plane0, plane1, plane2,
                                nullptr));
  if (apply != 1) return 0;
  SetBufSize(fw, fh, w, h, resolution);
  uint8_t* planes[3] = {plane0, plane1, plane2};
  for (int16_t k = 0; k < (three ? 3 : 1); ++k)
    FillBuf(blendMode, opacity, k, par.freeMode, par.lineMode,
            static_cast<int16_t>(par.free1.cumulative), planes[k], plane3, 0);
  return 0;
}

void MiscWeave::FrameBuf(int16_t channel, int16_t mode, uint8_t* plane, int32_t h, int32_t w,
                         int32_t left, int32_t top, int32_t right, int32_t bottom,
                         const uint8_t* mask, const int16_t* opacity, int32_t holeX,
                         int32_t holeY, int32_t edgeX, int32_t edgeY) {
  if (plane == nullptr || w <= 0 || h <= 0) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, w - 1);
  bottom = std::min(bottom, h - 1);
  if (right < left || bottom < top) return;
  // The weave draws at the engine's size: make it the plane's, so no layer overruns.
  if (width != w || height != h) SetBufSize(fullWidth, fullHeight, w, h, resolution);
  const double a = (right - left) * 0.5, b = (bottom - top) * 0.5;
  const auto xLo = static_cast<int32_t>(a - a * holeX / 100), xHi = static_cast<int32_t>(a + a * holeX / 100);
  const auto yLo = static_cast<int32_t>(b - b * holeY / 100), yHi = static_cast<int32_t>(b + b * holeY / 100);

  const int64_t size = int64_t{w} * h;
  plat::Block<uint8_t> work(4 * size, WorkSource());
  if (!work) return;
  uint8_t* copy = work.get();
  uint8_t* woven = copy + size;
  plat::CopyBytes(copy, plane, size);
  BufToBufChar_andR(0, w, h, copy, w, h, plane, left, top, right, bottom, xLo * edgeX / 100,
                    yLo * edgeY / 100, xHi + (right - xHi) * (100 - edgeX) / 100,
                    yHi + (bottom - yHi) * (100 - edgeY) / 100);
  plat::FillBytes(woven, size, 0);
  WeaveRowCols(channel, 0, mode, 0, par.shade2, par.shade1, woven + size, woven + 2 * size,
               woven);
  const int32_t op = opacity != nullptr ? *opacity : 255;
  // Each pixel from its own samples: rows in bands, a row in the runs either side of the
  // centre that keeps the picture. With an opacity in 0..255 every product is at most 255 x 255
  // and the mix takes 16-bit lanes, with the same quotients.
  const bool lanes = op >= 0 && op <= 255;
  const auto run = [=](int64_t row, int32_t from, int32_t to) {
    uint8_t* p = plane + row;
    const uint8_t* v = woven + row;
    const uint8_t* m = mask != nullptr ? mask + row : nullptr;
    if (lanes) {
      const auto o = static_cast<uint16_t>(op);
      for (int32_t x = from; x <= to; ++x) {
        const auto alpha = static_cast<uint16_t>(
            static_cast<uint16_t>(o * (m != nullptr ? m[x] : uint8_t{255})) / 255);
        p[x] = static_cast<uint8_t>(static_cast<uint16_t>((255 - alpha) * p[x] + alpha * v[x]) / 255);
      }
      return;
    }
    for (int32_t x = from; x <= to; ++x) {
      const int32_t alpha = op * (m != nullptr ? m[x] : 255) / 255;
      p[x] = static_cast<uint8_t>(((255 - alpha) * p[x] + alpha * v[x]) / 255);
    }
  };
  plat::ParallelFor(top, bottom, 16, [=](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      const int64_t row = int64_t{y} * w;
      if (y > yLo && y < yHi && xHi - xLo > 1) {
        run(row, left, std::min(right, xLo));  // the centre, xLo < x < xHi, keeps the picture
        run(row, std::max(left, xHi), right);
      } else {
        run(row, left, right);
      }
    }
  });
}
