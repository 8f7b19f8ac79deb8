// The engines behind the image box's previews, registered at start-up.
//
// The views sit below no engine family's registration, so the box does not
// call an engine itself: each preview routine builds one PreviewCall and
// hands it to the engine registered for (routine, code). The dedicated
// previews register under code 0; PrepEffBuf under the script effect number.
// A routine with no engine registered loads its work planes as they were
// given (cleared to zero), so the preview shows black over the laid-out area.
//
// What an engine does with the call: create its Misc<X>, give it the record
// (Set<X>Par), call FillBuf once with the leading shorts in order, then the
// values in the call's order, and destroy it. The orders:
//   kViewSizeFirst   view width, view height, 0, 0, effect width, effect
//                    height, W, H, source rectangle, scale, scale, planes
//                    (repeat, tessellation, cookie cutter, image combination,
//                    fractal, border, grid, colour correction, resize);
//   kViewSizeAfter   0, 0, effect width, effect height, W, H, source
//                    rectangle, scale, scale, view width, view height, planes
//                    (colour matrix, weave, shapes, lens);
//   kRenderOrder     0, 0, effect width, effect height, source rectangle,
//                    scale, scale, view width, view height, planes (no W, H;
//                    the render file, named by SetFich(file, none, 3, 0, 0)
//                    when renderFile is not null; a null path list after the
//                    shorts).
// The fractal takes a null script after its shorts. Planes are red, green,
// blue, mask and a null fifth; the resize and lens engines take seven: red,
// green, blue, null, null, mask, null.
#pragma once

#include <cstdint>

struct fichier;

namespace vmkviews {

enum PreviewRoutine : int16_t {
  kPreviewYoxel = 1,    // PrepYoxelBuf
  kPreviewGrid = 2,     // PrepGridBuf
  kPreviewColCor = 3,   // PrepColCorBuf
  kPreviewZondrac = 4,  // PrepZondracBuf
  kPreviewEffect = 5,   // PrepEffBuf, keyed by effect number
};

enum class FillOrder : int16_t { kViewSizeFirst, kViewSizeAfter, kRenderOrder };

struct PreviewCall {
  int16_t routine = 0;
  int16_t code = 0;
  void* record = nullptr;                // the box's copy of the engine's record
  const fichier* renderFile = nullptr;   // code 0 with the box's render flag set
  int16_t shorts[10] = {};               // the leading shorts, starting 3, 0
  int16_t shortCount = 0;
  FillOrder order = FillOrder::kViewSizeFirst;
  int32_t viewWidth = 0;  // the planes' row length and height
  int32_t viewHeight = 0;
  int32_t effWidth = 0;  // target rectangle (0, 0, effWidth, effHeight)
  int32_t effHeight = 0;
  int32_t srcWidth = 0;  // W, H: the picture
  int32_t srcHeight = 0;
  int32_t srcRect[4] = {};  // x0, y0, x1, y1 in picture pixels
  float scale = 0.0f;       // picture pixels per display pixel
  // Device pixels per view pixel the planes are laid out at: on a denser
  // screen the view, effect sizes are the box's times this and the scale
  // its fraction, so the preview renders at the screen's own resolution.
  int32_t backing = 1;
  uint8_t* planes[7] = {};
  int16_t planeCount = 5;
  // A zoomed view at or above one view pixel a picture pixel: the engine
  // renders the picture's own pixels partLeft .. partLeft + partWidth - 1 by
  // partTop .. partTop + partHeight - 1 (and a margin around them where its
  // result at a pixel reads pixels further off) on planes of their own, at
  // one picture pixel a sample, and each view sample of the effect rectangle
  // then takes the pixel under its middle, `partStep` picture pixels a
  // sample from (partLeft, partTop): what OK's render shows there, enlarged.
  bool part = false;
  int32_t partLeft = 0, partTop = 0, partWidth = 0, partHeight = 0;
  double partStep = 1.0;

  template <class R>
  R* recordAs() const {
    return static_cast<R*>(record);
  }
};

// 0 when the engine ran; on any other answer the box keeps its view (layout
// and display) as it was.
using PreviewEngine = int32_t (*)(const PreviewCall& call);

// Registers (or, with null, removes) the engine of a routine and code.
void RegisterPreviewEngine(int16_t routine, int16_t code, PreviewEngine engine);
PreviewEngine FindPreviewEngine(int16_t routine, int16_t code);
// The order and plane layout each preview hands its engine.
FillOrder FillOrderOf(int16_t routine, int16_t code);

// Fills the table with the engines this library knows (every dedicated
// routine and every effect number with an engine); the application object
// calls it when it makes its boxes. Calling it again changes nothing.
void RegisterPreviewEngines();

}  // namespace vmkviews
