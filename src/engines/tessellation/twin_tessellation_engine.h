// The twin tessellation engine: the tessellation engine member for member, on its own quad
// record and its own record copy, with these differences: it always draws (no apply flag),
// its only source is white (1) or the planes as they are, tile files are never loaded
// (their planes stay cleared), a tile set's source box is its source quad as stored, and
// every quad takes its whole tile. Its expansion turns two copies of types 3 and 7
// differently. Nothing in the plug-in constructs it yet.
#pragma once

#include <cstdint>

#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/twin_tessellation_record.h"

struct QuadsH {
  int32_t x[4] = {};
  int32_t y[4] = {};
  int16_t tag = 0;
  int16_t tile = 0;
  QuadsH* next = nullptr;
};

class MiscPhotoHesch : public QuadLists<QuadsH> {
 public:
  MiscPhotoHesch();
  ~MiscPhotoHesch();

  void SetHeschPar(const HeschPar* record);
  void GetHeschPar(HeschPar* record) const;

  QuadsH* GetQuadHGeo(int32_t n) { return Geo().Get(n); }
  QuadsH* GetQuadHEff(int32_t n) { return Eff().Get(n); }
  void AddQuadHGeo(int32_t n, QuadsH* q) { Geo().Add(n, q); }
  void AddQuadHEff(int32_t n, QuadsH* q) { Eff().Add(n, q); }
  void DeleteQuadHGeo(int32_t n) { Geo().Delete(n); }
  void DeleteQuadHEff(int32_t n) { Eff().Delete(n); }
  void DeleteAllQuadHGeo() { Geo().DeleteAll(); }
  void DeleteAllQuadHEff() { Eff().DeleteAll(); }

  // As the tessellation engine's lattices, expansion and quad preparation.
  bool PrepQuadHGeoinRect(float angle, const float* x, const float* y, int32_t W, int32_t H);
  bool PrepQuadHGeoinQuadH(float angle01, float angle12, const float* x, const float* y,
                           int32_t W, int32_t H);
  void PrepQuadsH(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void QuadHGeotoQuadHEff(int16_t type);

  static void BleedQuad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        int32_t x3, int32_t y3, int32_t percentX, int32_t percentY, int32_t* rx0,
                        int32_t* ry0, int32_t* rx1, int32_t* ry1, int32_t* rx2, int32_t* ry2,
                        int32_t* rx3, int32_t* ry3);
  // The twin reads no tile file: the planes are left as they are.
  static void LoadTileBuf(const fichier* file, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          int32_t tileHeight, int32_t tileWidth, uint8_t* p0, uint8_t* p1,
                          uint8_t* p2, uint8_t* p3);
  // Exclusive corners. 0, or -1 when a plane or work memory is missing (nothing drawn).
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  uint8_t* plane3, const uint8_t* mask);

  HeschPar* par = nullptr;  // from the system allocator, filled by SetHeschPar
};
