// The image-combination engine: composes the record's active entries, in list order, onto a
// working copy of the picture (each entry an image file resized into the drawing rectangle,
// then blurred, distorted into its four corners, embossed, coloured through its ramp,
// overlaid with a tiled texture and edge-coloured, as its settings ask), and blends the
// result back over the caller's planes at the operation's blend mode, opacity and mask.
//
// Limits: the count is taken as 0..127; an empty rectangle draws no entry but still blends
// (the unchanged copy with itself through the blend mode); a texture whose tiles across or
// down are not positive, or whose tile comes out 0 pixels, is left off; an entry naming no
// image, or no texture, draws nothing of it. An image or texture that is named but missing or
// unreadable stops the rendering (-1, UnreadableFile naming it): left out without a word, the
// combination would not be the one the user made.
#pragma once

#include <cstdint>
#include <string>

#include "engines/patterns/image_combination_record.h"
#include "platform/memory/block.h"

struct EngineRowCall;

class MiscCombIma {
 public:
  MiscCombIma();
  MiscCombIma(const MiscCombIma&) = delete;
  MiscCombIma& operator=(const MiscCombIma&) = delete;

  void SetCombImaPar(const CombImaPar* record);
  void GetCombImaPar(CombImaPar* record) const;
  // The common head, width and height first; `apply` is not read (the effect always
  // renders); exclusive corners. `plane3` only reaches the source step. 0, or -1 (planes as
  // the source step left them) when the work planes cannot be had or a file cannot be read.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, int32_t fullWidth, int32_t fullHeight,
                  int32_t photoLeft, int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                  float scaleX, float scaleY, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  uint8_t* plane3, const uint8_t* mask);
  // The picture or texture of an active entry that the last FillBuf could not read (it then
  // answered -1 with the caller's planes as the source step left them); empty otherwise.
  const std::string& UnreadableFile() const { return unreadable_; }

 private:
  plat::Block<CombImaPar> par_;
  std::string unreadable_;
};

// The engine row of the combine-images operation (92).
int32_t RunCombImaRow(const EngineRowCall& call);

namespace vmkpat {
// An entry's opacity percent as the operations take it: trunc(percent x 2.55 + 0.5) in
// double, so 90 gives 229 and 10 gives 26.
int16_t EntryOpacity(int32_t percent);
// The texture tile of an entry over a RW x RH rectangle: after a distortion rounded
// (single precision), else the integer quotient. False when the texture is left off.
bool EntryTileSize(int32_t rw, int32_t rh, int32_t across, int32_t down, bool distorted,
                   int32_t* tileWidth, int32_t* tileHeight);
// Whether the eight corner words differ from the undistorted rectangle.
bool EntryDistorted(const CombImaInfo& info);
// Whether every active entry's picture is found (at its recorded place or, moved, in the
// content folders) and measures more than 0 x 0, as the render needs to draw it; when one is
// not, its name goes to `missing` (if given), as stored. A render of such a combination
// fails at its step, naming the picture; this tells a caller so without rendering.
bool CombImaPicturesFound(const CombImaPar& record, std::string* missing);
}  // namespace vmkpat
