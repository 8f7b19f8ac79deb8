#include "engines/patterns/screen_engine.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "app/core/memory_manager.h"
#include "app/image_import.h"
#include "engines/patterns/engine_planes.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "raster/distortion_warp.h"
#include "script/engine_rows.h"

namespace {

int16_t Short(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

}  // namespace

MiscScreen::MiscScreen() : par_(1, plat::PlainSource()) { par_.Clear(); }

MiscScreen::~MiscScreen() {
  while (first_ != nullptr) delete std::exchange(first_, first_->next);
}

void MiscScreen::SetScreenPar(const ScreenPar* record) {
  if (par_ && record != nullptr) Copy_ScreenPar(record, par_.get());
}

void MiscScreen::GetScreenPar(ScreenPar* record) const {
  if (par_ && record != nullptr) Copy_ScreenPar(par_.get(), record);
}

void MiscScreen::SetBufSize(int32_t width, int32_t height) {
  bufWidth_ = width;
  bufHeight_ = height;
}

Quscr* MiscScreen::GetQuscr(int16_t k) const {
  if (k < 1) return nullptr;
  Quscr* q = first_;
  for (int32_t i = 1; i < k && q != nullptr; ++i) q = q->next;
  return q;
}

void MiscScreen::Insert(int64_t position, Quscr* cell) {
  if (position <= 0 || first_ == nullptr) {
    cell->next = first_;
    first_ = cell;
    if (last_ == nullptr) last_ = cell;
  } else if (position >= count_) {
    cell->next = nullptr;
    last_->next = cell;
    last_ = cell;
  } else {
    Quscr* after = first_;
    for (int64_t i = 1; i < position; ++i) after = after->next;
    cell->next = after->next;
    after->next = cell;
  }
  ++count_;
}

void MiscScreen::AddQuscr(int16_t position, Quscr* cell) {
  if (cell != nullptr) Insert(position, cell);
}

void MiscScreen::DeleteQuscr(int16_t k) {
  if (k < 1 || k > count_ || first_ == nullptr) return;
  Quscr* gone = first_;
  Quscr* before = nullptr;
  for (int32_t i = 1; i < k && gone->next != nullptr; ++i) {
    before = gone;
    gone = gone->next;
  }
  (before != nullptr ? before->next : first_) = gone->next;
  if (last_ == gone) last_ = before;
  delete gone;
  --count_;
}

void MiscScreen::DeleteAllQuscr() {
  // Every cell, however long the list (a 16-bit count would leave some behind).
  while (first_ != nullptr) DeleteQuscr(1);
  count_ = 0;
}

int32_t MiscScreen::AverageGray(int32_t width, int32_t height, const uint8_t* red,
                                const uint8_t* green, const uint8_t* blue, int32_t x0, int32_t y0,
                                int32_t x1, int32_t y1, int32_t lutSecond, int32_t lutFirst,
                                int32_t* gray) {
  if (red == nullptr || green == nullptr || blue == nullptr || gray == nullptr) return -1;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width);
  y1 = std::min(y1, height);
  // An inverted block at the ends of the int range is empty, not an overflow.
  if (int64_t{x1} - x0 < 1 || int64_t{y1} - y0 < 1) return 0;
  const int32_t dw = x1 - x0, dh = y1 - y0;
  plat::Block<uint8_t> block(int64_t{dw} * dh, WorkSource());
  if (!block) return -1;
  for (int32_t y = 0; y < dh; ++y) {
    const size_t row = static_cast<size_t>(y0 + y) * static_cast<size_t>(width) + x0;
    uint8_t* out = block.get() + static_cast<size_t>(y) * dw;
    for (int32_t x = 0; x < dw; ++x)
      out[x] = static_cast<uint8_t>((red[row + x] + green[row + x] + blue[row + x]) / 3);
  }
  Effects::AdjContrast(0, 255, block.get(), dh, dw, 0, 0, dw, dh, 1, nullptr, Short(lutFirst),
                       Short(lutSecond), 0);
  int64_t sum = 0;
  for (int32_t y = 0; y < dh; ++y) {
    int64_t rowSum = 0;
    const uint8_t* in = block.get() + static_cast<size_t>(y) * dw;
    for (int32_t x = 0; x < dw; ++x) rowSum += in[x];
    sum += rowSum / dw;
  }
  *gray = static_cast<int32_t>(sum / dh);
  return 0;
}

int32_t MiscScreen::PrepQuscr(int32_t width, int32_t height, const uint8_t* red,
                              const uint8_t* green, const uint8_t* blue, int32_t cellWidth,
                              int32_t cellHeight, int32_t lutSecond, int32_t lutFirst) {
  if (width <= 0 || height <= 0) return 0;
  cellWidth = std::max(cellWidth, 1);
  cellHeight = std::max(cellHeight, 1);
  const float fw = static_cast<float>(width), fh = static_cast<float>(height);
  const int32_t columns = std::max(1, static_cast<int32_t>(fw / static_cast<float>(cellWidth)));
  const int32_t rows = std::max(1, static_cast<int32_t>(fh / static_cast<float>(cellHeight)));
  // Set once per grid and not between cells: an empty cell keeps the grey of the one before,
  // as the screens saved with the effect were drawn.
  int32_t gray = 0;
  for (int32_t j = 0; j < rows; ++j) {
    const float yA = static_cast<float>(j) * fh / static_cast<float>(rows);
    const float yB = static_cast<float>(j + 1) * fh / static_cast<float>(rows);
    for (int32_t i = 0; i < columns; ++i) {
      const auto x0 = static_cast<int32_t>(int64_t{i} * width / columns);
      const auto x1 = static_cast<int32_t>(int64_t{i + 1} * width / columns);
      if (AverageGray(width, height, red, green, blue, x0, static_cast<int32_t>(yA), x1,
                      static_cast<int32_t>(yB), lutSecond, lutFirst, &gray) != 0)
        return -1;
      auto* q = new (std::nothrow) Quscr;
      if (q == nullptr) return -1;
      const auto top = static_cast<int32_t>(fh - yA), bottom = static_cast<int32_t>(fh - yB);
      q->x[0] = q->x[3] = x0;
      q->x[1] = q->x[2] = x1;
      q->y[0] = q->y[1] = top;
      q->y[2] = q->y[3] = bottom;
      q->level = static_cast<int16_t>(255 - gray);
      Insert(int64_t{columns} * j + i, q);
    }
  }
  return 0;
}

namespace {

// The cell images of one render: red, green, blue and the grey map under the cell, then the
// loaded images, three planes each of cw x ch.
struct CellBuffers {
  plat::Block<uint8_t> block;
  uint8_t* cell[4] = {};
  uint8_t* image[kScreenImages][3] = {};
};

bool Allocate(int32_t cw, int32_t ch, const bool (&wanted)[kScreenImages], CellBuffers* b) {
  // Cells beyond any memory: refused before the sizes below could overflow.
  if (cw > (1 << 24) || ch > (1 << 24)) return false;
  const int64_t cellSize = (int64_t{cw} + 1) * (int64_t{ch} + 1), imageSize = int64_t{cw} * ch;
  const int64_t images = std::count(std::begin(wanted), std::end(wanted), true);
  b->block = plat::Block<uint8_t>(4 * cellSize + 3 * images * imageSize, WorkSource());
  if (!b->block) return false;
  uint8_t* at = b->block.get();
  for (uint8_t*& c : b->cell) c = std::exchange(at, at + cellSize);
  for (int32_t k = 0; k < kScreenImages; ++k)
    if (wanted[k])
      for (uint8_t*& p : b->image[k]) p = std::exchange(at, at + imageSize);
  return true;
}

// The whole picture of a file reference resized into three planes of cw x ch.
bool LoadCellImage(const fichier& reference, int32_t cw, int32_t ch, uint8_t* const (&planes)[3]) {
  fichier file = reference;
  int32_t iw = 0, ih = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&file, &iw, &ih, &unused) != 0) return false;
  return AS_GetResizedImage(&file, 1, 0, 0, iw - 1, ih - 1, cw, ch, 0, 0, cw - 1, ch - 1, 3,
                            planes[0], planes[1], planes[2], nullptr) == 0;
}

struct CellPass {
  int32_t width = 0, height = 0, cw = 0, ch = 0;
  const uint8_t* picture[3] = {};
  uint8_t* const* work = nullptr;
  int16_t displacement = 0;
  bool adjust = false;  // image mode 0 brightens the image by the cell's level
};

// One cell: the grey map under its first corner (read inside the planes), the image copied,
// displaced by the map, brightened, and warped onto the cell's corners.
void DrawCell(const CellPass& p, CellBuffers& b, const Quscr& q, uint8_t* const (&image)[3]) {
  const int32_t cx = q.x[0], cy = p.height - q.y[0];
  uint8_t* map = b.cell[3];
  for (int32_t r = 0; r < p.ch; ++r) {
    const int32_t y = std::clamp(cy + r, 0, p.height - 1);
    for (int32_t c = 0; c < p.cw; ++c) {
      const int32_t x = std::clamp(cx + c, 0, p.width - 1);
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(p.width) + x;
      map[static_cast<size_t>(r) * p.cw + c] =
          static_cast<uint8_t>((p.picture[0][i] + p.picture[1][i] + p.picture[2][i]) / 3);
    }
  }
  const auto plain = static_cast<size_t>(int64_t{p.cw} * p.ch);
  for (int32_t k = 0; k < 3; ++k) {
    uint8_t* cell = b.cell[k];
    std::memcpy(cell, image[k], plain);
    if (p.displacement != 0)
      Effects::Displace(0, 255, cell, map, p.ch, p.cw, 0, 0, p.cw, p.ch, 1, nullptr,
                        p.displacement, p.displacement, 128);
    if (p.adjust)
      Effects::AdjContrast(0, 255, cell, p.ch, p.cw, 0, 0, p.cw, p.ch, 1, nullptr, 0, q.level, 0);
    X_distort_buffer(0, p.ch, p.cw, cell, 0, nullptr, p.height, p.width, p.work[k], q.x[0],
                     p.height - q.y[0], q.x[1], p.height - q.y[1], q.x[2], p.height - q.y[2],
                     q.x[3], p.height - q.y[3], 0, 0, p.cw - 1, p.ch - 1, 100);
  }
}

}  // namespace

int32_t MiscScreen::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                            int16_t source, int32_t width, int32_t height, int32_t left,
                            int32_t top, int32_t right, int32_t bottom, uint8_t* plane0,
                            uint8_t* plane1, uint8_t* plane2, const uint8_t* mask, int32_t sizeX,
                            int32_t sizeY, int32_t lutSecond, int32_t lutFirst) {
  unreadable_.clear();
  const bool three = planeCount != 1;
  if (!par_ || !vmkrec::PlanesGiven(width, height, three, plane0, plane1, plane2)) return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  // The screen knows only the white source.
  if (source == 1) vmkrec::PreparePlaneSource(1, planeCount, width, height, plane0, plane1, plane2);
  const auto side = [](int32_t size, int32_t percent2) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{size} * percent2 / 200, 1, INT32_MAX));
  };
  CellPass pass;
  pass.width = width;
  pass.height = height;
  pass.cw = side(width, sizeX);
  pass.ch = side(height, sizeY);
  pass.picture[0] = plane0;
  pass.picture[1] = three ? plane1 : plane0;
  pass.picture[2] = three ? plane2 : plane0;

  vmkpat::WorkPlanes work(planeCount, plane0, plane1, plane2, width, height);
  if (!work) return -1;
  pass.work = work.all();
  if (PrepQuscr(width, height, pass.picture[0], pass.picture[1], pass.picture[2], pass.cw,
                pass.ch, lutSecond, lutFirst) != 0)
    return -1;

  const ScreenPar& par = *par_.get();
  const int32_t mode = par.w[kScrImageMode];
  if (mode == 0 || mode == 1) {
    // Mode 0 reads image 0; mode 1 the images whose flag is set, the only ones it draws:
    // an image switched off is never drawn, so a missing one must not fail the render, and
    // loading it would only cost time and memory.
    bool wanted[kScreenImages] = {};
    for (int32_t k = 0; k < kScreenImages; ++k)
      wanted[k] = mode == 0 ? k == 0 : par.imageFlags[k] == 1;
    CellBuffers buffers;
    if (!Allocate(pass.cw, pass.ch, wanted, &buffers)) return -1;
    for (int32_t k = 0; k < kScreenImages; ++k)
      if (wanted[k] && !LoadCellImage(par.images[k], pass.cw, pass.ch, buffers.image[k])) {
        // A picture named but not read is told by name; a cell image never chosen names none.
        if (par.images[k].name[0] != 0) unreadable_ = FicForUser(par.images[k]);
        return -1;
      }
    pass.displacement = static_cast<int16_t>(par.w[kScrDisplacement] & 0xFFFF);
    pass.adjust = mode == 0;
    for (const Quscr* q = first_; q != nullptr; q = q->next) {
      const int32_t k = mode == 0 ? 0 : q->level;
      if (k < 0 || k >= kScreenImages || !wanted[k]) continue;
      DrawCell(pass, buffers, *q, buffers.image[k]);
    }
  }
  // Other modes draw nothing; the copies still go back through the blend.
  work.BlendBack(mask, area, blendMode, opacity);
  return 0;
}

int32_t RunScreenRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscScreen>(
      [&](MiscScreen& e) { e.SetScreenPar(&c.Record<ScreenPar>()); },
      [&](MiscScreen& e) {
        const int32_t r = e.FillBuf(c.n, c.mode, c.opacity, 0, c.w, c.h, 0, 0, c.aw, c.ah,
                                    c.planes[0], c.planes[1], c.planes[2], c.mask, c.p1, c.p2,
                                    c.p3, c.p4);
        c.TellUnreadable(e.UnreadableFile());
        return r;
      });
}
