// The drawing both tessellation engines share: one tile per tile set, warped into every
// effective quad, into three copies of the picture.
//
// The tile size is the largest bled bounding box of the effective quads, so one size serves
// every tile set and quad. Tile planes are cleared when they are taken: a tile set that its
// source leaves unfilled draws black, not stale memory. Tiles are mirrored left to right and
// rolled by their offset with a wrap step of size - 1, as stored patterns have always been
// drawn; an offset beyond a whole tile takes as many wrap steps as it needs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/plane_geometry.h"
#include "engines/records/engine_frame.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/tessellation_record.h"
#include "platform/memory/block.h"
#include "script/lut_vign.h"

namespace tessrender {

// The renderer holds tile planes for at most twelve tile sets, the most a symmetry type
// uses.
inline constexpr int32_t kMaxTileSets = 12;

// What one FillBuf hands the drawing.
struct Job {
  bool twin = false;     // the twin engine: whole-tile corners, unturned source boxes
  int16_t source = 0;    // what the planes held before (0 the picture itself)
  int16_t planeCount = 3;
  int32_t width = 0, height = 0;  // plane size
  int32_t W = 0, H = 0;           // rendered rectangle
  uint8_t* planes[4] = {};        // picture planes, the fourth may be null
  uint8_t* copies[3] = {};        // where the tiles are warped, width x height each
};

// A FillBuf's job over `area`: one plane for any count but 3, the plane size, the
// rectangle the area spans and the planes. False, with nothing set, when the size is empty
// or a plane the count needs is missing.
bool StartJob(int16_t planeCount, int32_t width, int32_t height, const vmkrec::EngineArea& area,
              uint8_t* const planes[4], Job* job);

// Loads the box (thousandths of the picture) of tile set k's file into four tile planes of
// maxW x maxH: 0, or -1 (planes as they were) when the file cannot be read; the twin loads
// nothing.
using TileLoader = int32_t (*)(const fichier* file, int32_t x0, int32_t y0, int32_t x1,
                               int32_t y1, int32_t maxH, int32_t maxW, uint8_t* const* planes);

// Bleed percentages the renderer takes at most, either way.
inline constexpr int32_t kMaxBleedPercent = 1000;
void BleedQuad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int32_t x3, int32_t y3, int32_t percentX, int32_t percentY, int32_t* r);

// Tile set k's source box in thousandths, y downward (the twin: corners as stored), bled.
void SourceBox(const int32_t* w, bool twin, int32_t box[4]);

// Tile set planes of one size: four planes for each prepared set.
class TileSets {
 public:
  // Takes and clears planes for `count` sets of maxW x maxH; false when memory is refused.
  bool Take(int32_t count, int32_t maxW, int32_t maxH);
  int32_t count() const { return count_; }
  uint8_t* const* planes(int32_t k) const { return &planes_[static_cast<size_t>(k) * 4]; }
  // Set k names a tile file that could not be read; its planes stay cleared.
  void MarkUnread(int32_t k) { unread_[static_cast<size_t>(k)] = true; }
  bool unread(int32_t k) const { return unread_[static_cast<size_t>(k)]; }

 private:
  plat::Block<uint8_t> block_;
  std::vector<uint8_t*> planes_;
  bool unread_[kMaxTileSets] = {};
  int32_t count_ = 0;
};

// Fills the tile planes of every set by the head's tile source; false when a set's source
// could not be had (memory). A set whose named tile file cannot be read is marked unread; a
// set that names no file is left cleared, as it always was.
bool PrepareTiles(const TessInfo1& head, const TessInfo* const* sets, const LutVign* ramps,
                  const fichier* files, const Job& job, int32_t maxW, int32_t maxH,
                  TileLoader loader, TileSets* tiles);

// The roll (offset words 11, 12, mirrored left to right) and colour shift (words 8..10) of
// one set's planes, done once in place: every quad of the set reads the same tile.
bool RollAndShift(const int32_t* w, int32_t maxW, int32_t maxH, uint8_t* const* planes);

// Warps one tile set into one effective quad (corners x, y of the rectangle, y downward).
void DrawQuad(const int32_t* qx, const int32_t* qy, const int32_t* w, const Job& job,
              int32_t maxW, int32_t maxH, uint8_t* const* planes);

// One quad's warp as DrawQuad lays it: tile corners t, destination corners d, the tile set's
// planes and its warp mode.
struct PlacedQuad {
  int32_t t[8], d[8];
  uint8_t* const* planes = nullptr;
  int16_t mode = 0;
};
// The corners DrawQuad warps for one quad; false when the quad lies outside the picture.
bool PlaceQuad(const int32_t* qx, const int32_t* qy, const int32_t* w, const Job& job, int32_t maxW,
               int32_t maxH, int32_t* t, int32_t* d);
// The placed quads in their order, in bands of the copies' rows on the shared threads when
// the tiles and the copies never meet: the copies are those of the quads drawn one by one.
void DrawPlacedQuads(const std::vector<PlacedQuad>& quads, const Job& job, int32_t maxW,
                     int32_t maxH);

// The enabled tile set of an effective quad whose tile file could not be read; -1 when every
// quad that draws has its tile.
template <class Q>
int32_t UnreadSetDrawn(const TessInfo* const* sets, const Q* effHead, const TileSets& tiles) {
  for (const Q* q = effHead; q != nullptr; q = q->next)
    if (q->tile >= 0 && q->tile < tiles.count() && sets[q->tile]->w[kTessEnabled] == 1 &&
        tiles.unread(q->tile))
      return q->tile;
  return -1;
}

// The whole drawing over an effective list: tile size, tile sets, one warp per enabled
// quad. 0, or -1 when memory was refused or, with `*unreadable` set to the set's file
// reference, when a tile file that an enabled quad draws cannot be read (nothing drawn
// either way): left blank, the tessellation would pass for the one the user chose.
template <class Par, class Q>
int32_t DrawTiles(const Par& par, const Q* effHead, const Job& job, TileLoader loader,
                  const fichier** unreadable = nullptr) {
  const TessInfo* sets[kTessSets];
  for (int k = 0; k < kTessSets; ++k) sets[k] = &par.sets[k];
  int32_t maxW = 0, maxH = 0;
  for (const Q* q = effHead; q != nullptr; q = q->next) {
    if (q->tile < 0 || q->tile >= kTessSets) continue;
    const int32_t* w = sets[q->tile]->w;
    int32_t d[8], box[4];
    BleedQuad(q->x[0], job.H - q->y[0], q->x[1], job.H - q->y[1], q->x[2], job.H - q->y[2],
              q->x[3], job.H - q->y[3], w[kTessBleed], w[kTessBleed + 1], d);
    inf_sup(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], &box[0], &box[1], &box[2], &box[3]);
    maxW = std::max(maxW, box[2] - box[0]);
    maxH = std::max(maxH, box[3] - box[1]);
  }
  if (effHead == nullptr || maxW <= 0 || maxH <= 0) return 0;
  TileSets tiles;
  if (!PrepareTiles(par.head, sets, par.ramps, par.tiles, job, maxW, maxH, loader, &tiles))
    return -1;
  if (const int32_t k = UnreadSetDrawn(sets, effHead, tiles); k >= 0) {
    if (unreadable != nullptr) *unreadable = &par.tiles[k];
    return -1;
  }
  for (int32_t k = 0; k < tiles.count(); ++k)
    if (!RollAndShift(sets[k]->w, maxW, maxH, tiles.planes(k))) return -1;
  // The quads are placed first and warped together; without room for the list each is
  // drawn as it comes.
  std::vector<PlacedQuad> placed;
  bool listed = true;
  for (const Q* q = effHead; q != nullptr; q = q->next) {
    // A quad whose tile set has no planes (a count below the type's sets) draws nothing.
    if (q->tile < 0 || q->tile >= tiles.count()) continue;
    const int32_t* w = sets[q->tile]->w;
    if (w[kTessEnabled] != 1) continue;
    if (listed) {
      PlacedQuad p;
      if (!PlaceQuad(q->x, q->y, w, job, maxW, maxH, p.t, p.d)) continue;
      p.planes = tiles.planes(q->tile);
      p.mode = static_cast<int16_t>(w[kTessWarpMode]);
      try {
        placed.push_back(p);
        continue;
      } catch (const std::bad_alloc&) {
        DrawPlacedQuads(placed, job, maxW, maxH);
        placed.clear();
        listed = false;
      }
    }
    DrawQuad(q->x, q->y, w, job, maxW, maxH, tiles.planes(q->tile));
  }
  DrawPlacedQuads(placed, job, maxW, maxH);
  return 0;
}

// The three picture copies of a FillBuf: the planes as they are (plane0 in all three with
// one plane). Empty when memory is refused.
plat::Block<uint8_t> TakeCopies(const Job& job, uint8_t** copies);

// The final blend over the area: each plane with its copy, or plane0 with the grey average
// of the three copies with one plane.
void BlendBack(const Job& job, const vmkrec::EngineArea& area, const uint8_t* mask,
               int16_t blendMode, int16_t opacity);

}  // namespace tessrender
