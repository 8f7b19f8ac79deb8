#include "engines/correction/yoxel_engine.h"

#include <vector>

#include "engines/correction/yoxel_seams.h"
#include "engines/records/engine_frame.h"

YoxelRect YoxelQuadToRect(const int32_t* quad, int32_t w, int32_t h) {
  // The record's y runs upward from the bottom edge; planes run downward.
  YoxelRect r;
  r.left = static_cast<int32_t>(static_cast<int64_t>(w) * quad[0] / 100000);
  r.right = static_cast<int32_t>(static_cast<int64_t>(w) * quad[2] / 100000);
  r.top = h - static_cast<int32_t>(static_cast<int64_t>(h) * quad[6] / 100000);
  r.bottom = h - static_cast<int32_t>(static_cast<int64_t>(h) * quad[4] / 100000);
  return r;
}

MiscYoxel::MiscYoxel() {
  if (holder_.par != nullptr) Init_YoxelPar(holder_.par, 500, 500, 72, 0, 5);
}

void MiscYoxel::SetYoxelPar(YoxelPar* p) {
  if (holder_.par != nullptr && p != nullptr) Copy_YoxelPar(p, holder_.par);
}

void MiscYoxel::GetYoxelPar(YoxelPar* p) {
  if (holder_.par != nullptr && p != nullptr) Copy_YoxelPar(holder_.par, p);
}

namespace {

// Full-picture rectangle of a request, in picture pixels, y downward as given.
YoxelRect FullPictureRect(const int32_t* quad, int32_t fullWidth, int32_t fullHeight) {
  // Partial requests take the record's y as it stands, without the flip: the preview tiles
  // were laid out that way and stored settings rely on it.
  YoxelRect r;
  r.left = static_cast<int32_t>(static_cast<int64_t>(fullWidth) * quad[0] / 100000);
  r.right = static_cast<int32_t>(static_cast<int64_t>(fullWidth) * quad[2] / 100000);
  r.top = static_cast<int32_t>(static_cast<int64_t>(fullHeight) * quad[4] / 100000);
  r.bottom = static_cast<int32_t>(static_cast<int64_t>(fullHeight) * quad[6] / 100000);
  return r;
}

bool Empty(const YoxelRect& r) { return r.right == r.left || r.bottom == r.top; }

}  // namespace

int16_t MiscYoxel::FillBuf(int16_t planes, int16_t blendMode, int16_t opacity, int16_t source,
                           int16_t apply, int32_t width, int32_t height, int32_t left,
                           int32_t top, int32_t right, int32_t bottom, int32_t fullWidth,
                           int32_t fullHeight, int32_t fullLeft, int32_t fullTop,
                           int32_t fullRight, int32_t fullBottom, float scaleX, float scaleY,
                           uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth,
                           uint8_t* fifth, uint8_t* sixth, const uint8_t* opacityPlane) {
  YoxelPar* par = holder_.par;
  if (par == nullptr || width <= 0 || height <= 0 || red == nullptr) return -1;
  const int16_t count = planes == 3 ? 3 : 1;
  if (count == 3 && (green == nullptr || blue == nullptr)) return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  const int32_t w = area.right - area.left;
  const int32_t h = area.bottom - area.top;

  const vmkrec::SourceRequest request =
      vmkrec::MakeSourceRequest(width, height, w, h, fullLeft, fullTop, fullRight, fullBottom,
                                scaleX, scaleY, red, green, blue, sixth);
  vmkrec::PrepareEngineSource(source, count, 255, request);

  bool resize = apply == 1;
  const bool partial = source == 3 && (fullRight - fullLeft != fullWidth - 1 ||
                                       fullBottom - fullTop != fullHeight - 1);
  if (resize && partial) {
    const YoxelRect src = FullPictureRect(par->sourceQuad, fullWidth, fullHeight);
    const YoxelRect tgt = FullPictureRect(par->targetQuad, fullWidth, fullHeight);
    if (Empty(src) || Empty(tgt)) return -1;
    const bool meets = fullLeft < tgt.right && fullRight >= tgt.left && fullTop < tgt.bottom &&
                       fullBottom >= tgt.top;
    if (!meets) resize = false;
  }

  if (resize && par->resizeMethod == 8) {
    // The rectangles are proportional to the processing rectangle's size but compared with
    // plane coordinates; callers hand processing rectangles that start at (0, 0). A partial
    // request carves the caller's planes as they are.
    const YoxelRect s = YoxelQuadToRect(par->sourceQuad, w, h);
    const YoxelRect t = YoxelQuadToRect(par->targetQuad, w, h);
    const YoxelRect m = YoxelQuadToRect(par->middleQuad, w, h);
    PerformSmartBufResize(count, blendMode, opacity, width, height, area.left, area.top,
                          area.right, area.bottom, red, green, blue, fourth, fifth, opacityPlane,
                          par->maskWidth, par->maskHeight, par->protectMask, par->removeMask,
                          par->protectWeight, par->removeWeight,
                          static_cast<int16_t>(par->twoStage), m.left, m.top, m.right, m.bottom,
                          static_cast<int16_t>(par->edgeKernel),
                          static_cast<int16_t>(par->flipMode), par->contrast, par->energySpread,
                          0, 0, 0, 0, s.left, s.top, s.right, s.bottom, t.left, t.top, t.right,
                          t.bottom, static_cast<int16_t>(par->fillMode), par->fillRed,
                          par->fillGreen, par->fillBlue);
    return 0;
  }
  if (resize) return -1;  // the resampling methods are not built yet

  // Nothing is resized: every pixel is blended with its own copy.
  if (area.empty() || w <= 0 || h <= 0) return 0;
  const int64_t size = static_cast<int64_t>(width) * height;
  uint8_t* plane[3] = {red, green, blue};
  for (int32_t c = 0; c < count; ++c) {
    std::vector<uint8_t> copy(plane[c], plane[c] + size);
    if (opacity == 255 && blendMode == 0) continue;
    vmkrec::BlendEffect(plane[c], copy.data(), opacityPlane, width, area, blendMode, opacity);
  }
  return 0;
}
