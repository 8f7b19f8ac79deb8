// The tessellation engine's quads: a base quad repeated as a lattice of parallelograms
// over the rendered rectangle (the geometric quads), each later cut by the symmetry into
// effective quads that carry a transform tag and a tile set.
#pragma once

#include <cstdint>

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
// alone holds up to 250,000 quads.
struct QuadList {
  int32_t& count;
  Quads*& head;
  Quads*& tail;

  // The n-th quad (1-based), or null when n is below 1 or past the count.
  Quads* Get(int32_t n) const;
  // n = 0 (or below): q becomes the head; past the count: appended at the tail; else
  // inserted after the n-th quad.
  void Add(int32_t n, Quads* q);
  // Removes and deletes the n-th quad; positions outside 1..count do nothing.
  void Delete(int32_t n);
  void DeleteAll();
};

class MiscQuorlin {
 public:
  MiscQuorlin();
  ~MiscQuorlin();
  MiscQuorlin(const MiscQuorlin&) = delete;
  MiscQuorlin& operator=(const MiscQuorlin&) = delete;

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

  // Empties both lists and builds them for the rectangle (left, top)-(right, bottom): the
  // base quad of tile set 0, its lattice, then the cut of the record's symmetry type.
  // Coordinates are relative to the rectangle's top-left corner.
  void PrepQuads(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Cuts every geometric quad into the copies of `type` (1..17; any other adds nothing),
  // appended to the effective list cell after cell, in table order.
  void QuadGeotoQuadEff(int16_t type);

  int32_t type = 0;  // symmetry type of the last expansion
  int32_t geoCount = 0;
  int32_t effCount = 0;
  Quads* geoHead = nullptr;
  Quads* effHead = nullptr;
  TessPar* par = nullptr;  // the engine's own copy, filled by SetTessPar

 private:
  QuadList Geo() { return {geoCount, geoHead, geoTail_}; }
  QuadList Eff() { return {effCount, effHead, effTail_}; }
  bool AppendGeo(const int32_t* x, const int32_t* y);
  void EmptyLists();

  Quads* geoTail_ = nullptr;
  Quads* effTail_ = nullptr;
};
