// The render file: one picture at preview size that effect engines read as their source.
//
// Four 32-bit words (plane width W, height H, the valid area's right edge R and bottom edge
// B), then four W x H planes (red, green, blue, the fourth plane), in the host's order (ours
// is little-endian). It is written whole with one write and removed when that fails, so a
// reader finds either a complete file or none; a reader takes it only when its length is
// exactly 16 + 4 W H and its area lies inside its planes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/core/file_records.h"
#include "app/file_access.h"
#include "engines/records/engine_frame.h"
#include "engines/records/param_record.h"
#include "platform/bytes/byte_order.h"
#include "raster/plane_copy.h"
#include "script/misc_render.h"

namespace {

constexpr int16_t kSlot = 0;
constexpr int32_t kHead = 16;

struct RenderHead {
  int32_t w = 0, h = 0, r = 0, b = 0;
  bool valid() const { return w > 0 && h > 0 && r >= 1 && r <= w && b >= 1 && b <= h; }
  int64_t planeSize() const { return int64_t{w} * h; }
  // The file's length, 16 + 4 W H, when it fits a file offset; -1 otherwise. Four planes of
  // a size near the 32-bit limit each way would overflow even 64 bits, so the plane size is
  // checked against what a file can hold before it is multiplied.
  int64_t fileLength() const {
    if (planeSize() > (int64_t{INT32_MAX} - kHead) / 4) return -1;
    return kHead + 4 * planeSize();
  }
};

int32_t WriteRenderFile(const fichier& f, const RenderHead& head, uint8_t* const planes[4]) {
  if (!head.valid() || head.fileLength() < 0) return -1;
  const auto n = static_cast<size_t>(head.planeSize());
  plat::bytes::Writer w(plat::bytes::hostOrder());
  w.i32(head.w);
  w.i32(head.h);
  w.i32(head.r);
  w.i32(head.b);
  for (int k = 0; k < 4; ++k) w.raw(planes[k], n);
  if (S_open(&f, 3, kSlot) != 0) return -1;
  int16_t result = S_write(kSlot, w.bytes().data(), 0, static_cast<int32_t>(w.size()));
  if (S_close(kSlot) != 0) result = -1;
  if (result != 0) S_delete(&f);
  return result == 0 ? 0 : -1;
}

int32_t ReadRenderFile(const fichier& f, int32_t width, int32_t height, uint8_t* const planes[4],
                       int32_t right, int32_t bottom) {
  if (S_open(&f, 1, kSlot) != 0) return -1;
  int32_t eof = 0;
  uint8_t words[kHead];
  RenderHead head;
  bool ok = S_getEOF(kSlot, &eof) == 0 && S_read(kSlot, words, 0, kHead) == 0;
  if (ok) {
    plat::bytes::Reader r(words, kHead, plat::bytes::hostOrder());
    head = {r.i32(), r.i32(), r.i32(), r.i32()};
    ok = head.valid() && head.fileLength() == eof;
  }
  std::vector<uint8_t> data;
  if (ok) {
    data.resize(static_cast<size_t>(4 * head.planeSize()));
    ok = S_read(kSlot, data.data(), kHead, static_cast<int32_t>(data.size())) == 0;
  }
  S_close(kSlot);
  if (!ok) return -1;
  const auto n = static_cast<size_t>(head.planeSize());
  for (int k = 0; k < 4; ++k)
    if (planes[k] != nullptr)
      BufToBufChar_andR(0, head.w, head.h, data.data() + k * n, width, height, planes[k], 0, 0,
                        head.r, head.b, 0, 0, right, bottom);
  return 0;
}

// Source 2 of every engine: the render file read into its planes at its area's size.
void ReadRenderFileSource(const vmkrec::SourceRequest& q) {
  MiscRender render;
  render.ReadWriteRendFile(1, q.width, q.height, q.planes[0], q.planes[1], q.planes[2],
                           q.planes[3], q.areaWidth, q.areaHeight);
}

}  // namespace

bool RenderFileRecord(fichier* f) {
  if (!MakersFolderItem(":com.vellmarkstead.prend", f)) return false;
  f->creator = FourCC("vMkC");
  f->type = FourCC("aHrn");
  return true;
}

void InstallRenderFileSource() { vmkrec::SetRenderFileSource(ReadRenderFileSource); }

int32_t MiscRender::ReadWriteRendFile(int16_t direction, int32_t w, int32_t h, uint8_t* red,
                                      uint8_t* green, uint8_t* blue, uint8_t* fourth,
                                      int32_t right, int32_t bottom) {
  fichier f;
  if (!RenderFileRecord(&f) || red == nullptr || green == nullptr || blue == nullptr) return -1;
  uint8_t* const planes[4] = {red, green, blue, fourth};
  if (direction == 0) {
    if (fourth == nullptr) return -1;
    return WriteRenderFile(f, RenderHead{w, h, right, bottom}, planes);
  }
  // The caller's area must lie inside its planes.
  if (w <= 0 || h <= 0 || right < 1 || bottom < 1 || right > w || bottom > h) return -1;
  return ReadRenderFile(f, w, h, planes, right, bottom);
}
