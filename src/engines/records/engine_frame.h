// What every engine's FillBuf does before and after its own effect.
//
// An engine (Misc<X>) is created, given its record (Set<X>Par), asked once to FillBuf and
// deleted. Its arguments start with a common head: plane count (3 = red, green, blue; 1 =
// one plane passed first), blend mode, opacity, source (what the planes hold before the
// effect), apply (1 renders; anything else leaves the source as the result); then the
// family's own values, the area, the host-photo rectangle with its scales, the plane size
// and the planes with an optional blend mask.
//
//   - ClampArea brings the area into the planes (exclusive or inclusive corners, as the
//     family's convention says).
//   - PrepareEngineSource fills the planes for sources 1 to 3: 1 white (one plane: the fill
//     value), 2 the render file, 3 rows of the host photo (ReadCharBuffromPho); 0 leaves
//     them. Sources 2 and 3 need three planes. The render file belongs to the script, above
//     this library: the script installs its reader (SetRenderFileSource); with none
//     installed the planes stay as they are, as they do when there is no render file.
//   - BlendEffect puts the effect's result back over a plane at the operation's blend mode
//     and opacity, weighted by the mask when there is one.
#pragma once

#include <cstdint>

namespace vmkrec {

struct EngineArea {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool empty() const { return left > right || top > bottom; }
};

// Left and top are raised to 0. Exclusive corners: right and bottom are lowered to the
// plane width and height (the first column and row outside). Inclusive corners: at or past
// the width and height they become width - 1 and height - 1.
EngineArea ClampArea(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width,
                     int32_t height, bool inclusive);

// What the source step reads into the planes.
struct SourceRequest {
  int32_t width = 0;  // plane size
  int32_t height = 0;
  int32_t areaWidth = 0;  // size the read is resampled to
  int32_t areaHeight = 0;
  int32_t photoLeft = 0;  // rectangle of the host photo, inclusive corners (source 3)
  int32_t photoTop = 0;
  int32_t photoRight = 0;
  int32_t photoBottom = 0;
  float scaleX = 1.0f;
  float scaleY = 1.0f;
  uint8_t* planes[4] = {};  // red, green, blue, fourth (may be null)
};

// The request most engines make: every field as their FillBuf head received it.
SourceRequest MakeSourceRequest(int32_t width, int32_t height, int32_t areaWidth,
                                int32_t areaHeight, int32_t photoLeft, int32_t photoTop,
                                int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                                uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth);

// True when a FillBuf's plane size is positive and it has the planes its count needs:
// plane0, and plane1 and plane2 as well with three planes.
bool PlanesGiven(int32_t width, int32_t height, bool three, const uint8_t* plane0,
                 const uint8_t* plane1, const uint8_t* plane2);

using SourceReader = void (*)(const SourceRequest& request);
// Installs the reader of source 2, the render file; null removes it.
void SetRenderFileSource(SourceReader reader);

// The source step of FillBuf. With one plane only source 1 acts, filling planes[0] with
// `fillValue`; with three, source 1 fills red, green and blue with 255.
void PrepareEngineSource(int16_t source, int16_t planeCount, uint8_t fillValue,
                         const SourceRequest& request);
// The source step of an engine that asks only for its planes to be filled: the request is
// the plane size and the colour planes (no area, no photo rectangle), and any count but 1
// is three planes.
void PreparePlaneSource(int16_t source, int16_t planeCount, int32_t width, int32_t height,
                        uint8_t* red, uint8_t* green, uint8_t* blue);

// plane := ((255 - a) * plane + a * X_optionRPart(blendMode + 1, plane, result)) / 255 over
// the area (exclusive corners, already clamped), with a = opacity, or mask * opacity / 255
// where a mask is given. Rows are `width` samples apart in all three planes.
void BlendEffect(uint8_t* plane, const uint8_t* result, const uint8_t* mask, int32_t width,
                 const EngineArea& area, int16_t blendMode, int16_t opacity);

}  // namespace vmkrec
