#include "engines/patterns/image_combination_engine.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "app/core/percent.h"
#include "app/folder_scans.h"
#include "app/image_import.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "raster/distortion_warp.h"
#include "script/engine_rows.h"
#include "script/render_cases.h"

namespace vmkpat {

int16_t EntryOpacity(int32_t percent) {
  // One rounding of the double product plus 0.5, as the stored scripts were rendered; held to
  // the 16-bit range first, as an absurd percentage would leave any integer's.
  return PercentTo255Int16(percent);
}

bool EntryTileSize(int32_t rw, int32_t rh, int32_t across, int32_t down, bool distorted,
                   int32_t* tileWidth, int32_t* tileHeight) {
  if (across <= 0 || down <= 0) return false;
  if (distorted) {
    *tileWidth = static_cast<int32_t>(static_cast<float>(rw) / static_cast<float>(across) + 0.5f);
    *tileHeight = static_cast<int32_t>(static_cast<float>(rh) / static_cast<float>(down) + 0.5f);
  } else {
    *tileWidth = rw / across;
    *tileHeight = rh / down;
  }
  return *tileWidth > 0 && *tileHeight > 0;
}

bool EntryDistorted(const CombImaInfo& info) {
  static constexpr int32_t kX[4] = {0, 100, 100, 0};
  static constexpr int32_t kY[4] = {0, 0, 100, 100};
  for (int32_t k = 0; k < 4; ++k)
    if (info.cornerX[k] != kX[k] || info.cornerY[k] != kY[k]) return true;
  return false;
}

bool CombImaPicturesFound(const CombImaPar& record, std::string* missing) {
  const int32_t count = std::clamp(record.head.count, 0, kCombImaMaxEntries);
  for (int32_t i = 0; i < count; ++i) {
    if (record.infos[i].active != 1) continue;
    // The same look-up and measure as the render's, so that what is found here is drawn.
    fichier image = record.images[i];
    SearchAlternateFic(&image);
    int32_t fw = 0, fh = 0;
    if (LoadImaInBuf(1, 0, kLoadPlanes, &image, &fw, &fh, 0, 0, 0, 0, 1, 1, 1, 1, nullptr,
                     nullptr, nullptr, nullptr, nullptr) == 0 &&
        fw > 0 && fh > 0)
      continue;
    // As stored: a content picture keeps its folder's colon path, ":Images:" and its name.
    if (missing != nullptr)
      *missing = PStrString(record.images[i].path) + PStrString(record.images[i].name);
    return false;
  }
  return true;
}

}  // namespace vmkpat

namespace {

// The nine work planes of one rendering, each (width + 1) x (height + 1) bytes addressed
// with row length `width`: the base copy R, G, B that entries are composed onto, the entry's
// image D and the second set E (distorted image, or scratch for the complement).
struct CombPlanes {
  int32_t width = 0, height = 0;
  int32_t rw = 0, rh = 0;  // the drawing rectangle (0, 0)-(rw, rh)
  uint8_t* base[3] = {};
  uint8_t* image[3] = {};
  uint8_t* second[3] = {};
  size_t plain() const { return static_cast<size_t>(int64_t{width} * height); }
};

// The entry's image resized into D1 to D3; false when the file is missing, unreadable or
// empty.
bool LoadEntryImage(const fichier& reference, const CombPlanes& w) {
  fichier image = reference;
  SearchAlternateFic(&image);
  int32_t fw = 0, fh = 0;
  if (LoadImaInBuf(1, 0, kLoadPlanes, &image, &fw, &fh, 0, 0, 0, 0, w.rw, w.rh, w.width,
                   w.height, nullptr, nullptr, nullptr, nullptr, nullptr) != 0 ||
      fw <= 0 || fh <= 0)
    return false;
  return LoadImaInBuf(2, 0, kLoadPlanes, &image, &fw, &fh, 0, 0, fw, fh, w.rw, w.rh, w.width,
                      w.height, w.image[0], w.image[1], w.image[2], nullptr, nullptr) == 0;
}

// Maps each D plane into its E plane through the four corners: corner k at x = RW x xk /
// 100 and y = RH - RH x yk / 100, so the percentages count up from the rectangle's bottom.
void DistortEntry(const CombImaInfo& s, const CombPlanes& w) {
  int32_t cx[4], cy[4];
  for (int32_t k = 0; k < 4; ++k) {
    cx[k] = static_cast<int32_t>(int64_t{w.rw} * s.cornerX[k] / 100);
    cy[k] = w.rh - static_cast<int32_t>(int64_t{w.rh} * s.cornerY[k] / 100);
  }
  for (int32_t k = 0; k < 3; ++k) {
    std::memset(w.second[k], 0, w.plain());
    // The mapping takes the corners from the top right round: 2, 3, 0, 1.
    X_distort_bufcol(2, w.height, w.width, w.image[k], w.height, w.width, w.second[k], cx[2],
                     cy[2], cx[3], cy[3], cx[0], cy[0], cx[1], cy[1], 0, 0, w.rw, w.rh, 0, 100);
  }
}

// Lays the entry's texture, loaded once at tile size, over the base through the complement
// of the working image's first plane. Left off when no texture is named, its tile has no size
// or its memory is refused (which the renderer finds itself); false when the texture named
// cannot be read.
bool TextureEntry(const CombImaInfo& s, const fichier& reference, bool distorted,
                  uint8_t* const* in, const CombPlanes& w) {
  int32_t tw = 0, th = 0;
  if (reference.name[0] == 0 ||
      !vmkpat::EntryTileSize(w.rw, w.rh, s.textureAcross, s.textureDown, distorted, &tw, &th))
    return true;
  fichier texture = reference;
  if (distorted) SearchAlternateFic(&texture);
  plat::Block<uint8_t> tile(int64_t{tw} * th * 4, WorkSource());
  if (!tile) return true;
  tile.Clear();
  int32_t fw = 0, fh = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&texture, &fw, &fh, &unused) == -1) return false;
  if (AS_GetResizedImage(&texture, 0, 0, 0, fw - 1, fh - 1, tw, th, 0, 0, tw, th, 1, tile.get(),
                         nullptr, nullptr, nullptr) == -1)
    return false;
  for (size_t i = 0; i < w.plain(); ++i) in[0][i] = static_cast<uint8_t>(255 - in[0][i]);
  Effects::LoadTexture(static_cast<int16_t>(s.blendMode), vmkpat::EntryOpacity(s.opacity),
                       w.base[0], w.base[1], w.base[2], nullptr, tile.get(), 1, in[0], w.height,
                       w.width, 0, 0, w.rw, w.rh, tw, th, 0, 0);
  return true;
}

// One active entry composed onto the base. An entry naming no picture has nothing to draw;
// one whose picture or texture cannot be read cannot be drawn as the user set it: false, with
// that file in `unreadable`, and the rendering stops.
bool ComposeEntry(const CombImaInfo& s, const fichier& image, const fichier& texture,
                  const CombPlanes& w, std::string* unreadable) {
  if (image.name[0] == 0) return true;
  if (!LoadEntryImage(image, w)) {
    *unreadable = FicForUser(image);
    return false;
  }
  const auto blur = static_cast<int16_t>(s.blur);
  if (blur != 0)
    for (uint8_t* d : w.image)
      Effects::Blur(0, 255, d, nullptr, w.width, w.height, 0, 0, w.rw, w.rh, blur, 1);
  const bool distorted = vmkpat::EntryDistorted(s);
  if (distorted) DistortEntry(s, w);
  uint8_t* const* in = distorted ? w.second : w.image;
  uint8_t* const* other = distorted ? w.image : w.second;
  const auto emboss = static_cast<int16_t>(s.emboss);
  const auto edge = static_cast<int16_t>(s.edge);
  if (emboss != 0 || edge != 0)
    for (int32_t k = 0; k < 3; ++k)
      for (size_t i = 0; i < w.plain(); ++i) other[k][i] = static_cast<uint8_t>(255 - in[k][i]);
  if (emboss != 0)
    // The complement rides as the emboss's mask.
    for (int32_t k = 0; k < 3; ++k)
      Effects::Emboss(0, 255, in[k], other[k], w.height, w.width, 0, 0, w.rw, w.rh, emboss, 1,
                      128, static_cast<int16_t>(s.embossDirection), 1);
  const auto mode = static_cast<int16_t>(s.blendMode);
  const int16_t opacity = vmkpat::EntryOpacity(s.opacity);
  const RampTables ramp = RampTablesOf(s.ramp);
  Effects::LutToColor(mode, opacity, in[0], in[1], in[2], nullptr, w.height, w.width, w.base[0],
                      w.base[1], w.base[2], nullptr, w.height, w.width, 0, 0, w.rw, w.rh, 0, 0,
                      w.rw, w.rh, 1, 3, 3, nullptr, ramp.data(), 0, 255);
  if (s.textureOn != 0 && !TextureEntry(s, texture, distorted, in, w)) {
    *unreadable = FicForUser(texture);
    return false;
  }
  if (edge != 0)
    for (int32_t k = 0; k < 3; ++k)
      Effects::ContrExp(1, mode, opacity, other[k], w.height, w.width, w.base[k], w.height,
                        w.width, 0, 0, w.rw, w.rh, 0, 0, w.rw, w.rh, 0, 1, 1, edge, nullptr,
                        static_cast<uint8_t>(s.edgeColour[k] & 0xFF), 255);
  return true;
}

}  // namespace

MiscCombIma::MiscCombIma() : par_(1, WorkSource()) {
  // Cleared rather than left as found: a FillBuf before SetCombImaPar draws no entry.
  if (par_) par_.Clear();
}

void MiscCombIma::SetCombImaPar(const CombImaPar* record) {
  if (par_ && record != nullptr) Copy_CombImaPar(record, par_.get());
}

void MiscCombIma::GetCombImaPar(CombImaPar* record) const {
  if (par_ && record != nullptr) Copy_CombImaPar(par_.get(), record);
}

int32_t MiscCombIma::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                             int16_t source, int16_t apply, int32_t width, int32_t height,
                             int32_t left, int32_t top, int32_t right, int32_t bottom,
                             int32_t fullWidth, int32_t fullHeight, int32_t photoLeft,
                             int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                             float scaleX, float scaleY, uint8_t* plane0, uint8_t* plane1,
                             uint8_t* plane2, uint8_t* plane3, const uint8_t* mask) {
  (void)apply;
  (void)fullWidth;
  (void)fullHeight;
  unreadable_.clear();
  const bool one = planeCount == 1;
  if (!par_ || !vmkrec::PlanesGiven(width, height, !one, plane0, plane1, plane2))
    return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  vmkrec::PrepareEngineSource(
      source, one ? 1 : 3, 255,
      vmkrec::MakeSourceRequest(width, height, a.right - a.left, a.bottom - a.top, photoLeft,
                                photoTop, photoRight, photoBottom, scaleX, scaleY, plane0,
                                plane1, plane2, plane3));

  const int64_t size = (int64_t{width} + 1) * (int64_t{height} + 1);
  plat::Block<uint8_t> work(9 * size, WorkSource());
  if (!work) return -1;
  CombPlanes w;
  w.width = width;
  w.height = height;
  w.rw = a.right - a.left;
  w.rh = a.bottom - a.top;
  for (int32_t k = 0; k < 3; ++k) {
    w.base[k] = work.get() + k * size;
    w.image[k] = work.get() + (3 + k) * size;
    w.second[k] = work.get() + (6 + k) * size;
  }
  uint8_t* planes[3] = {plane0, one ? plane0 : plane1, one ? plane0 : plane2};
  for (int32_t k = 0; k < 3; ++k) std::memcpy(w.base[k], planes[k], w.plain());

  const CombImaPar& par = par_[0];
  const int32_t count = std::clamp(par.head.count, 0, kCombImaMaxEntries);
  if (w.rw > 0 && w.rh > 0)
    for (int32_t i = 0; i < count; ++i)
      if (par.infos[i].active == 1 &&
          !ComposeEntry(par.infos[i], par.images[i], par.textures[i], w, &unreadable_))
        return -1;

  if (!one) {
    for (int32_t k = 0; k < 3; ++k)
      vmkrec::BlendEffect(planes[k], w.base[k], mask, width, a, blendMode, opacity);
    return 0;
  }
  // One plane takes the mean of the composed planes.
  for (size_t i = 0; i < w.plain(); ++i)
    w.base[0][i] = static_cast<uint8_t>((w.base[0][i] + w.base[1][i] + w.base[2][i]) / 3);
  vmkrec::BlendEffect(plane0, w.base[0], mask, width, a, blendMode, opacity);
  return 0;
}

int32_t RunCombImaRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscCombIma>(
      [&](MiscCombIma& e) { e.SetCombImaPar(&c.Record<CombImaPar>()); },
      [&](MiscCombIma& e) {
        const int32_t r = e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.w, c.h, 0, 0, c.aw, c.ah, c.w,
                                    c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.planes[0], c.planes[1],
                                    c.planes[2], nullptr, c.mask);
        c.TellUnreadable(e.UnreadableFile());
        return r;
      });
}
