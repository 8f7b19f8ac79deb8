// The border engine: frames the picture with the layers of a border record. Each shown layer
// makes its twelve tile images once (colour ramps or image files) at one square size, cuts
// the picture's edge into four corners and up to 64 cells a side, and merges every enabled
// cell's tile (mirrored, turned and scaled with random jitter, recoloured) into working copies
// of the picture with the tile's own blend mode, opacity and mask; the copies then go back
// over the picture at the operation's blend mode and opacity.
//
// At the limits: layer counts are held to 0..128 and cells per side to 0..64; cells are
// clipped to the planes; a tile source kind other than 0 and 1 makes no tile images, and its
// enabled cells take their two random draws and merge nothing, as do cells of no size; a
// layer whose tile size comes out 0 is skipped. The generator is reseeded with 0 at every
// render, so the jitter is the same each time.
//
// A tile image whose file reference names nothing is an empty, transparent tile. One that names
// a picture that cannot be read, drawn by an enabled cell, stops the rendering (-1, nothing
// blended, UnreadableFile naming it): a frame left blank is not the one the user chose.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/file_records.h"
#include "engines/patterns/border_record.h"
#include "platform/memory/block.h"

struct EngineRowCall;

class MiscBord {
 public:
  MiscBord();
  MiscBord(const MiscBord&) = delete;
  MiscBord& operator=(const MiscBord&) = delete;

  void SetBordPar(const BordPar* record);
  void GetBordPar(BordPar* record) const;

  // The area (exclusive corners) is clamped to the planes; the two values after it are not
  // read; the photo rectangle and scales serve source 3 only. apply other than 1 only
  // prepares the source and blends the unchanged copies back. 0, or -1 (nothing blended)
  // when memory fails or a picture that a drawn cell needs cannot be read.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, int32_t, int32_t, int32_t photoLeft,
                  int32_t photoTop, int32_t photoRight, int32_t photoBottom, float scaleX,
                  float scaleY, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  uint8_t* plane3, const uint8_t* mask);

  // The largest cell of a layer measured at twice its drawn size, without insets: width
  // from the corners, the thickness of sides 0 and 2 and the cells of sides 1 and 3; height
  // from the corners, the thickness of sides 1 and 3 and the cells of sides 0 and 2.
  void GetBiggestTile(int16_t layer, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int32_t* width, int32_t* height) const;

  // The crop (thousandths) of a tile picture resampled into four planes of width x height,
  // the fourth from the picture's alpha (255 where it has none). 0, or -1 with the planes
  // untouched when the file cannot be read or memory fails.
  int32_t LoadTileBuf(const fichier* file, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int32_t width, int32_t height, uint8_t* red, uint8_t* green,
                      uint8_t* blue, uint8_t* alpha) const;

  // The tile picture the last FillBuf could not read (it then answered -1), as its user
  // knows it; empty otherwise.
  const std::string& UnreadableFile() const { return unreadable_; }

  // Merges one cell's planes (cellWidth x cellHeight) into the three working planes over
  // x0..x1 - 1, y0..y1 - 1 (rows `width` apart), weighted by the tile's mask kind and
  // opacity, at the tile's blend mode. Reads stay inside the cell and writes inside the
  // planes.
  void MergeCell(int32_t cellWidth, int32_t cellHeight, const uint8_t* red, const uint8_t* green,
                 const uint8_t* blue, const uint8_t* alpha, int32_t width, int32_t height,
                 uint8_t* work1, uint8_t* work2, uint8_t* work3, int32_t x0, int32_t y0,
                 int32_t x1, int32_t y1, const BordTile* tile) const;

 private:
  plat::Block<BordPar> par_;
  std::string unreadable_;
};

// Cells whose planes come out the same (same tile image, turn, scale, size and recolouring, as
// along a side without jitter) are made once per layer and render, and a layer's tile images
// naming the same file read it once; off, every cell is made and every file read on its own,
// the plain form the shared ones are checked against. On by default.
void SetBorderCellReuse(bool on);

// Engine row 106.
int32_t RunBordRow(const EngineRowCall& call);
