// The photo-repeat engine: the rendered area cut into columns x rows cells, rows and
// columns shifted by their percentages, cells that leave the area at the right or bottom
// wrapped back in at the left or top, and a tile picture (file reference 0, or the picture
// itself) turned, skewed, scrolled, resized to a cell and blended into every cell that is
// on. The whole pattern may be repeated several times across and down.
//
// The tile is square (the larger cell side): the picture is stretched to it. A cell that
// wraps at both edges gives four pieces and no corner piece, as stored patterns have always
// looked.
#pragma once

#include <cstdint>
#include <string>

#include "engines/tessellation/photo_repeat_record.h"
#include "platform/types/mac_types.h"

// One placed piece of a cell.
struct TRepPat {
  int16_t column = 0;  // the grid position the piece belongs to
  int16_t row = 0;
  int16_t on = 0;
  int16_t orientation = 0;  // also the colour index of colour cells
  int16_t selected = 0;     // 1 for the pieces of the grid's selected cell
  int16_t maskMode = 0;
  int16_t cellBlendMode = 0;
  int16_t opacityPercent = 0;
  int16_t scrollX = 0;
  int16_t scrollY = 0;
  int16_t skewX = 0;
  int16_t skewY = 0;
  // top, left: the piece's origin inside the tile; bottom, right: its height and width.
  Rect source;
  // In area coordinates, right and bottom exclusive.
  Rect destination;
  TRepPat* next = nullptr;
};

// 0 and the size of the picture a file reference names, or -1 when it cannot be found or
// measured.
int32_t PatBufSize(const fichier* file, int32_t* width, int32_t* height);

class MiscCastel {
 public:
  MiscCastel();
  ~MiscCastel();
  MiscCastel(const MiscCastel&) = delete;
  MiscCastel& operator=(const MiscCastel&) = delete;

  void SetRepPar(const RepPar* record);

  // Appends the pieces of an area of that size to the list (callers start from an empty
  // one); pieceCount counts the filled pieces, the list ends with one unfilled piece.
  void PrepareRepPat(int32_t areaWidth, int32_t areaHeight);
  // Frees every piece; head null, pieceCount 0.
  void DelRepPat();

  // source 1: the picture of the reference resampled into four width x height tile planes
  // (the fourth opaque without alpha); source 0: the host photo shrunk to that size.
  // 0, or -1 with the planes untouched.
  int32_t LoadTileBuf(int16_t source, const fichier* file, int16_t unused, int32_t width,
                      int32_t height, uint8_t* p0, uint8_t* p1, uint8_t* p2, uint8_t* p3);
  // Paints `channel` of the cell colour (colourMode 1: the index's colour, 0: white) over
  // the rectangle, clamped into width x height; rows are `stride` apart.
  static void PutColInBuf(int32_t stride, int32_t unused, uint8_t* plane, int32_t width,
                          int32_t height, int16_t channel, Rect area, int16_t colourMode,
                          int16_t colourIndex);
  // Blends the tile under `source`'s origin into the destination rectangle through the
  // mask mode (1 opacity alone, 2 the tile mask inverted, 3 the tile mask), blend mode
  // handed to the kernel as it stands.
  static void MergeTileBuf(int32_t tileWidth, int32_t tileHeight, const uint8_t* colour,
                           const uint8_t* mask, int32_t width, int32_t height, uint8_t* plane,
                           int16_t opacity, int16_t blendMode, int16_t maskMode, Rect source,
                           Rect destination);
  // Turns, skews, scrolls and resizes the tile to a cell and merges it into the work plane,
  // once, or repeatX x repeatY times with `direct` 1.
  void PasteTileBuf(int16_t direct, int16_t repeatX, int16_t repeatY, int32_t tileWidth,
                    int32_t tileHeight, const uint8_t* tileMask, const uint8_t* tileColour,
                    int32_t cellW, int32_t cellH, int32_t areaWidth, int32_t areaHeight,
                    int32_t workWidth, int32_t workHeight, uint8_t* work, uint8_t* unused,
                    int16_t orientation, int16_t scrollX, int16_t scrollY, int16_t skewX,
                    int16_t skewY, int16_t opacity, int16_t cellBlendMode, int16_t maskMode,
                    Rect source, Rect destination);
  // Width-and-height-first arrangement with the repeat's own values; exclusive corners.
  // 0, or -1 when a plane, the tile or work memory is missing (the planes then keep the
  // source step's picture).
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int16_t tileOpacity, int16_t direct, int16_t repeatX,
                  int16_t repeatY, int16_t unused, int32_t width, int32_t height, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int32_t fullWidth,
                  int32_t fullHeight, int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                  int32_t photoBottom, float scaleX, float scaleY, uint8_t* plane0,
                  uint8_t* plane1, uint8_t* plane2, uint8_t* plane3, const uint8_t* mask);

  // The tile picture the last FillBuf could not read (it then answered -1), as its user
  // knows it; empty otherwise.
  const std::string& UnreadableFile() const { return unreadable_; }

  // The nine words; all zero until FillBuf sets them, so a preview may build pieces first.
  RepPar* par = nullptr;
  TRepPat* head = nullptr;
  int32_t pieceCount = 0;
  int32_t tileWidth = 0;  // of the picture of file reference 0
  int32_t tileHeight = 0;
  int32_t cellWidth = 0;
  int32_t cellHeight = 0;
  int32_t tileSideX = 0;  // the square tile planes
  int32_t tileSideY = 0;

 private:
  std::string unreadable_;
};
