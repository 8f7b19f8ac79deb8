// The extrusion engine: the outlines of the shape in one channel are traced, mapped from
// the front quadrilateral into the back one, and the body between the two is drawn as a
// stack of interpolated outlines from front to back, the front-most layer at a pixel
// staying visible. Colour comes from the ramp by depth, from the picture at the front
// outline or from the ramp along the outline; a light direction shades the sides and a
// random brightness varies along each outline.
#pragma once

#include <cstdint>

#include "engines/patterns/extrusion_record.h"
#include "engines/records/param_record.h"
#include "operations/outline_tracing.h"

// A point of a drawn outline: column and row counted from the top.
struct OutPoint {
  int32_t x;
  int32_t y;
};

// One traced outline with its per-point drawing values; arrays hold n entries.
struct outlist {
  int32_t n;
  int32_t longest;  // longest front-to-back distance
  int16_t* offsets;
  int16_t* multipliers;
  int16_t* brightness;
  int16_t* shade;  // light shade
  int16_t* angle;  // direction along the outline, whole degrees
  uint8_t* red;
  uint8_t* green;
  uint8_t* blue;
  uint8_t* four;
  OutPoint* front;
  OutPoint* back;
};

void InitOutlist(outlist* list, int32_t count);
// Frees every array of every entry, then the list (allocated with malloc) itself.
void FreeOutlist(outlist* list, int32_t count);

// n points into `plane`, each clamped to the plane. With a cover plane the weight is the
// opacity times the cover byte, and `clear` 1 zeroes the cover byte behind it.
void DrawOutline(int16_t blendMode, int16_t opacity, uint8_t* plane, uint8_t* cover,
                 int32_t height, int32_t width, int16_t clear, int32_t n,
                 const OutPoint* points, const int16_t* multipliers, const int16_t* offsets,
                 const uint8_t* colours);
void DrawOutlineCol(int16_t blendMode, int16_t opacity, uint8_t* plane, uint8_t* cover,
                    int32_t height, int32_t width, int16_t clear, int32_t n,
                    const OutPoint* points, const int16_t* multipliers, const int16_t* offsets,
                    uint8_t colour);

// Every outline of `traced` (y counted from the bottom) shifted by (dx, dy) into the shape
// plane (channel 0) and the colour copies (1..3) up to `lastChannel`, channel c in the low
// byte of colours[c]; a missing copy is skipped.
void ChanDrawOutline(int32_t unused, const pixel_outline_list_type* traced, const outlist* list,
                     int32_t dx, int32_t dy, int32_t lastChannel, const int32_t colours[4],
                     uint8_t* shape, uint8_t* copy0, uint8_t* copy1, uint8_t* copy2,
                     uint8_t* cover, int32_t height, int32_t width);

// The body between the front quadrilateral (fx, fy) and the back one (bx, by), plane
// coordinates with y from the top of the area's lower edge. 0, or -1 when memory is refused.
int32_t ExtrudeBackLightExpand(int16_t planeCount, uint8_t* shape, uint8_t* copy0,
                               uint8_t* copy1, uint8_t* copy2, int32_t height, int32_t width,
                               int32_t left, int32_t top, int32_t right, int32_t bottom,
                               int16_t unused, const XTrudePar* record, float* fx, float* fy,
                               float* bx, float* by);
// The straight variant: one offset from the first corner of the front quadrilateral to the
// first of the back one, walked a unit at a time.
int32_t ExtrudeBackLightOffset(int16_t planeCount, uint8_t* shape, uint8_t* copy0,
                               uint8_t* copy1, uint8_t* copy2, int32_t height, int32_t width,
                               int32_t left, int32_t top, int32_t right, int32_t bottom,
                               int16_t unused, const XTrudePar* record, int32_t areaWidth,
                               int32_t areaHeight);

class MiscXTrude {
 public:
  MiscXTrude();  // the copy starts at the record's defaults
  void SetXTrudePar(const XTrudePar* par);

  // planeCount 1 draws into plane0 alone. 0, or -1 when the shape plane or a colour copy
  // cannot be had (nothing drawn).
  int32_t FillBuf(int16_t blendMode, int16_t opacity, int32_t width, int32_t height,
                  int16_t planeCount, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  const uint8_t* source, const uint8_t* mask, int32_t areaWidth,
                  int32_t areaHeight);

  XTrudePar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<XTrudePar> par_;
};

// The two-plane render case of the extrusion.
void RegisterExtrusionCase();
