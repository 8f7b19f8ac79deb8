// Path lists as path-resource records: the 26-byte records of the published
// image-resource path format, each opened by a 16-bit selector, with every
// point as vertical then horizontal component, each a signed 8.24 fraction
// of the image height or width.
//
// The block is written big-endian: the readers of that format expect it so
// (it was this host's order when the format was fixed), unlike our own
// files, which are little-endian.
//
// A closed path repeats its first knot as the last record, with the knot
// itself as the leaving point; the path is not changed for that.
#include <cmath>
#include <cstring>

#include "paths/path.h"
#include "paths/path_list.h"
#include "paths/path_point.h"
#include "platform/bytes/byte_order.h"

namespace {

constexpr int32_t kRecordBytes = 26;
constexpr int16_t kClosedLength = 0;
constexpr int16_t kOpenLength = 3;
constexpr int16_t kKnotRecord = 5;

bool TakesPart(const CPath* p) { return p->txtPath == nullptr && p->count >= 2; }

// f as a signed 8.24 value, held at +-16. A point left of or above the
// image is stored as the format's plain two's complement: whole and fraction
// parts or-ed together would read back elsewhere in every reader of it.
int32_t Fraction(double f) {
  constexpr double kOne = 16777216.0;  // 2^24
  if (!(f == f)) return 0;
  if (f > 16.0) return static_cast<int32_t>(16.0 * kOne);
  if (f < -16.0) return static_cast<int32_t>(-16.0 * kOne);
  return static_cast<int32_t>(std::trunc(f * kOne));
}

class RecordWriter {
 public:
  RecordWriter(char* block, int32_t width, int32_t height)
      : out_(reinterpret_cast<uint8_t*>(block)), width_(width), height_(height) {}

  void Length(int16_t selector, int32_t knots) {
    uint8_t* r = Next();
    plat::bytes::storeBE16(r, static_cast<uint16_t>(selector));
    plat::bytes::storeBE16(r + 2, static_cast<uint16_t>(knots));
  }

  void Knot(float px, float py, float ax, float ay, float lx, float ly) {
    uint8_t* r = Next();
    plat::bytes::storeBE16(r, static_cast<uint16_t>(kKnotRecord));
    Point(r + 2, px, py);
    Point(r + 10, ax, ay);
    Point(r + 18, lx, ly);
  }

 private:
  uint8_t* Next() {
    uint8_t* r = out_;
    std::memset(r, 0, kRecordBytes);
    out_ += kRecordBytes;
    return r;
  }
  void Point(uint8_t* at, float x, float y) const {
    plat::bytes::storeBE32(at, static_cast<uint32_t>(Fraction(static_cast<double>(y) / height_)));
    plat::bytes::storeBE32(at + 4, static_cast<uint32_t>(Fraction(static_cast<double>(x) / width_)));
  }

  uint8_t* out_;
  double width_;
  double height_;
};

}  // namespace

void CPathList::PathList_sizHandlRsrc(int32_t* records) const {
  if (records == nullptr) return;
  const CPath* p = first;
  for (int32_t i = 0; i < count && p != nullptr; ++i, p = p->next) {
    if (!TakesPart(p)) continue;
    *records += 1 + p->count + (p->closed == 1 ? 1 : 0);
  }
}

int32_t CPathList::PathList_creaHandlRsrc(char* block, int32_t width, int32_t height) const {
  // Fractions of an empty image have no meaning.
  if (block == nullptr || width <= 0 || height <= 0) return -1;
  RecordWriter w(block, width, height);
  const CPath* p = first;
  for (int32_t i = 0; i < count && p != nullptr; ++i, p = p->next) {
    if (!TakesPart(p)) continue;
    const bool closed = p->closed == 1;
    w.Length(closed ? kClosedLength : kOpenLength, p->count + (closed ? 1 : 0));
    const CPathPoint* k = p->first;
    for (int32_t n = 0; n < p->count && k != nullptr; ++n) {
      if (n == 0) {
        w.Knot(k->x, k->y, k->x, k->y, k->outX, k->outY);
      } else {
        w.Knot(k->inX, k->inY, k->x, k->y, k->outX, k->outY);
      }
      k = k->next;
      if (k == p->first) break;
    }
    if (closed) {
      const CPathPoint* f = p->first;
      w.Knot(f->inX, f->inY, f->x, f->y, f->x, f->y);
    }
  }
  return 5;
}
