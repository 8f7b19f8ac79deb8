// The content-aware resize engine: brings the record's source rectangle to the size of its
// target rectangle, by seam carving (resize method 8) or by resampling with the filter the
// method names (0-7), and writes it there, blended over the picture.
#pragma once

#include <cstdint>

#include "engines/correction/resize_record.h"
#include "engines/records/engine_frame.h"

// A record rectangle (corners 0 and 2 of a quad, in 1/100000 of w x h, y measured upward)
// in plane coordinates, y flipped: top = h - h * y2 / 100000, bottom = h - h * y0 / 100000.
struct YoxelRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
YoxelRect YoxelQuadToRect(const int32_t* quad, int32_t w, int32_t h);

// A request for part of the picture (a preview tile): the record's source and target
// rectangles in full-picture pixels, and the part requested (inclusive corners) at its
// scales.
struct YoxelPartial {
  YoxelRect source, target;
  int32_t fullLeft = 0, fullTop = 0, fullRight = 0, fullBottom = 0;
  float scaleX = 1.0f, scaleY = 1.0f;
};

class MiscYoxel {
 public:
  MiscYoxel();  // the holder's record at the defaults of a 500 x 500 picture, no masks
  MiscYoxel(const MiscYoxel&) = delete;
  MiscYoxel& operator=(const MiscYoxel&) = delete;

  void SetYoxelPar(YoxelPar* p);
  void GetYoxelPar(YoxelPar* p);

  // The engine head (planes, blend mode, opacity, source, apply, plane size, rectangle,
  // full-picture size and rectangle, scales) and seven planes: red, green, blue, fourth,
  // fifth, sixth, per-pixel opacity. 0, or -1 with nothing written: an empty source or
  // target rectangle of a resampling method or of a partial request, or no memory.
  // Methods 0-7 resample (the fourth plane with the colours, the fifth with the cubic
  // filter); a partial request resamples the part of the picture that feeds the tile.
  int16_t FillBuf(int16_t planes, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, int32_t fullWidth, int32_t fullHeight,
                  int32_t fullLeft, int32_t fullTop, int32_t fullRight, int32_t fullBottom,
                  float scaleX, float scaleY, uint8_t* red, uint8_t* green, uint8_t* blue,
                  uint8_t* fourth, uint8_t* fifth, uint8_t* sixth, const uint8_t* opacityPlane);

  YoxelPar* record() const { return holder_.par; }

 private:
  int16_t PlainResize(int16_t planes, int16_t blendMode, int16_t opacity, int32_t width,
                      int32_t height, const vmkrec::EngineArea& area, const YoxelPartial* partial,
                      uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth,
                      uint8_t* fifth, const uint8_t* opacityPlane);
  static int16_t BlendInPlace(int16_t planes, int16_t blendMode, int16_t opacity, int32_t width,
                              const vmkrec::EngineArea& area, uint8_t* red, uint8_t* green,
                              uint8_t* blue, const uint8_t* opacityPlane);

  Yoxel holder_;
};
