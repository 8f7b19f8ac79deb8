// The tessellation engine's quads: a base quad repeated as a lattice of parallelograms
// over the rendered rectangle (the geometric quads), each later cut by the symmetry into
// effective quads that carry a transform tag and a tile set.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "engines/tessellation/tessellation_record.h"

struct Quads {
  int32_t x[4] = {};  // corners 0..3, pixels of the rendered rectangle
  int32_t y[4] = {};
  int16_t tag = 0;   // transform tag; the renderer never reads it
  int16_t tile = 0;  // tile set 0..15
  Quads* next = nullptr;
};

// One of the engine's singly linked lists seen through its count, head and a kept tail,
// so building a lattice in order is linear. Positions and counts are 32-bit: a lattice
// alone holds up to 250,000 quads. Q is a quad record with a `next` link.
template <class Q>
struct QuadListOf {
  int32_t& count;
  Q*& head;
  Q*& tail;

  // The n-th quad (1-based), or null when n is below 1 or past the count.
  Q* Get(int32_t n) const {
    if (n < 1 || n > count) return nullptr;
    if (n == count) return tail;
    Q* q = head;
    for (int32_t k = 1; k < n; ++k) q = q->next;
    return q;
  }
  // n = 0 (or below): q becomes the head; past the count: appended at the tail; else
  // inserted after the n-th quad.
  void Add(int32_t n, Q* q) {
    if (q == nullptr) return;
    if (n <= 0 || count == 0) {
      q->next = head;
      head = q;
      if (tail == nullptr) tail = q;
    } else if (n >= count) {
      q->next = nullptr;
      tail->next = q;
      tail = q;
    } else {
      Q* after = Get(n);
      q->next = after->next;
      after->next = q;
    }
    ++count;
  }
  // Removes and deletes the n-th quad; positions outside 1..count do nothing.
  void Delete(int32_t n) {
    if (n < 1 || n > count) return;
    Q* gone = head;
    if (n == 1) {
      head = head->next;
    } else {
      Q* before = Get(n - 1);
      gone = before->next;
      before->next = gone->next;
      if (gone == tail) tail = before;
    }
    delete gone;
    if (--count == 0) head = tail = nullptr;
  }
  void DeleteAll() {
    while (head != nullptr) {
      Q* next = head->next;
      delete head;
      head = next;
    }
    tail = nullptr;
    count = 0;
  }
};

// What both tessellation engines keep of their quads, each engine on its own quad record Q:
// the geometric lattice and its effective cut, with the symmetry type of the last cut.
// The lists are emptied when the engine goes.
template <class Q>
class QuadLists {
 public:
  QuadLists() = default;
  ~QuadLists() { EmptyLists(); }
  QuadLists(const QuadLists&) = delete;
  QuadLists& operator=(const QuadLists&) = delete;

  int32_t type = 0;  // symmetry type of the last expansion
  int32_t geoCount = 0;
  int32_t effCount = 0;
  Q* geoHead = nullptr;
  Q* effHead = nullptr;

 protected:
  QuadListOf<Q> Geo() { return {geoCount, geoHead, geoTail_}; }
  QuadListOf<Q> Eff() { return {effCount, effHead, effTail_}; }
  // Appends a geometric quad of corners x, y; false, with both lists emptied, when it could
  // not be allocated.
  bool AppendGeo(const int32_t* x, const int32_t* y) {
    Q* q = new (std::nothrow) Q;
    if (q == nullptr) {
      EmptyLists();
      return false;
    }
    std::copy(x, x + 4, q->x);
    std::copy(y, y + 4, q->y);
    Geo().Add(geoCount + 1, q);
    return true;
  }
  void EmptyLists() {
    Geo().DeleteAll();
    Eff().DeleteAll();
  }

 private:
  Q* geoTail_ = nullptr;
  Q* effTail_ = nullptr;
};

class MiscQuorlin : public QuadLists<Quads> {
 public:
  MiscQuorlin();
  ~MiscQuorlin();

  Quads* GetQuadGeo(int32_t n) { return Geo().Get(n); }
  Quads* GetQuadEff(int32_t n) { return Eff().Get(n); }
  void AddQuadGeo(int32_t n, Quads* q);
  void AddQuadEff(int32_t n, Quads* q);
  void DeleteQuadGeo(int32_t n);
  void DeleteQuadEff(int32_t n);
  void DeleteAllQuadGeo();
  void DeleteAllQuadEff();

  // The lattice of the base quad (corners x, y) covering W x H; angle01 and angle12 are
  // the directions of its edges 0-1 and 1-2. False when a quad could not be allocated
  // (both lists are then emptied: nothing is drawn).
  bool PrepQuadGeoinQuad(float angle01, float angle12, const float* x, const float* y, int32_t W,
                         int32_t H);
  // Axis-aligned cells repeating the base rectangle; angles other than multiples of a
  // right angle make nothing.
  bool PrepQuadGeoinRect(float angle, const float* x, const float* y, int32_t W, int32_t H);

  // The engine's own copy of the record (Copy_TessPar both ways).
  void SetTessPar(const TessPar* record);
  void GetTessPar(TessPar* record) const;
  // The quad scaled about its centre by percentX, percentY (100 leaves it), in integers
  // truncated toward zero.
  static void BleedQuad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        int32_t x3, int32_t y3, int32_t percentX, int32_t percentY, int32_t* rx0,
                        int32_t* ry0, int32_t* rx1, int32_t* ry1, int32_t* rx2, int32_t* ry2,
                        int32_t* rx3, int32_t* ry3);

  // Renders the tessellation (width-and-height-first arrangement, exclusive corners):
  // the quads of the rectangle, one tile per tile set, each warped into the quads of its
  // set, and the result blended back over the picture. plane3 serves the source step and
  // the tiles' masks. 0, or -1 when a plane or work memory is missing, or a tile file that
  // an enabled quad draws is named but cannot be read (nothing drawn; UnreadableFile names
  // it). A tile set whose file reference names nothing draws nothing, as before.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, int32_t fullWidth, int32_t fullHeight,
                  int32_t photoLeft, int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                  float scaleX, float scaleY, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  uint8_t* plane3, const uint8_t* mask);
  // The box (x0, y0)-(x1, y1), in thousandths of the picture a file reference names,
  // resampled into four tile planes of tileWidth x tileHeight (red, green, blue, and the
  // fourth plane, opaque for a picture without alpha). 0, or -1 with the planes untouched
  // when the picture cannot be found, held or read.
  static int32_t LoadTileBuf(const fichier* file, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             int32_t tileHeight, int32_t tileWidth, uint8_t* p0, uint8_t* p1,
                             uint8_t* p2, uint8_t* p3);
  // 0 and the size of the picture a file reference names, or -1.
  static int32_t TileBufSize(const fichier* file, int32_t* width, int32_t* height);

  // Empties both lists and builds them for the rectangle (left, top)-(right, bottom): the
  // base quad of tile set 0, its lattice, then the cut of the record's symmetry type.
  // Coordinates are relative to the rectangle's top-left corner.
  void PrepQuads(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Cuts every geometric quad into the copies of `type` (1..17; any other adds nothing),
  // appended to the effective list cell after cell, in table order.
  void QuadGeotoQuadEff(int16_t type);

  // The tile file the last FillBuf could not read (it then answered -1), as its user knows
  // it; empty otherwise.
  const std::string& UnreadableFile() const { return unreadable_; }

  TessPar* par = nullptr;  // the engine's own copy, filled by SetTessPar

 private:
  std::string unreadable_;
};
