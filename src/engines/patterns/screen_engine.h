// The screen engine: rebuilds the picture as a grid of cells, each filled with a small image
// chosen or adjusted by how dark the picture is under it. Every cell is measured for its
// average grey (through a contrast table); its level is 255 minus that grey. Image mode 0
// brightens the one image (file reference 0) by the level in every cell; mode 1 takes the
// level's own image of 256, for levels whose flag is 1; other modes draw no cell. Either
// image may first be displaced by the picture under the cell. The cell images are warped into
// working copies of the picture, which go back over it at the operation's blend mode and
// opacity.
//
// At the limits: cell sizes below one pixel become one; a cell larger than the plane gives
// one column or row; the grey under a cell is read inside the planes only; mode 1 reads only
// the flagged images. A missing image, or memory refused, ends the render with nothing
// blended.
#pragma once

#include <cstdint>
#include <string>

#include "engines/patterns/screen_record.h"
#include "platform/memory/block.h"

struct EngineRowCall;

// One cell: corners (x0, top), (x1, top), (x1, bottom), (x0, bottom), each y stored as the
// plane height minus the row; level is 255 minus the cell's average grey.
struct Quscr {
  int32_t x[4] = {};
  int32_t y[4] = {};
  int16_t level = 0;
  Quscr* next = nullptr;
};

class MiscScreen {
 public:
  MiscScreen();
  ~MiscScreen();
  MiscScreen(const MiscScreen&) = delete;
  MiscScreen& operator=(const MiscScreen&) = delete;

  void SetScreenPar(const ScreenPar* record);
  void GetScreenPar(ScreenPar* record) const;
  void SetBufSize(int32_t width, int32_t height);
  int32_t bufWidth() const { return bufWidth_; }
  int32_t bufHeight() const { return bufHeight_; }

  // The cell list, numbered from 1. GetQuscr: cell k, or null past the end.
  int32_t count() const { return count_; }
  Quscr* GetQuscr(int16_t k) const;
  // Takes the cell: position 0 puts it first, a position past the count last, any other
  // after cell `position`.
  void AddQuscr(int16_t position, Quscr* cell);
  // Unlinks and frees cell k; nothing when there is no such cell.
  void DeleteQuscr(int16_t k);
  void DeleteAllQuscr();

  // The mean grey (r + g + b) / 3 of columns x0..x1 - 1 and rows y0..y1 - 1 (inside the
  // planes, rows `width` apart) after the contrast table of (lutFirst, lutSecond): the mean
  // of the rows' means, integer divisions. Leaves *gray alone for an empty block. 0, or -1
  // when memory fails.
  int32_t AverageGray(int32_t width, int32_t height, const uint8_t* red, const uint8_t* green,
                      const uint8_t* blue, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int32_t lutSecond, int32_t lutFirst, int32_t* gray);
  // Appends the grid of cells of about cellWidth x cellHeight over the planes, row by row.
  // 0, or -1 when memory fails.
  int32_t PrepQuscr(int32_t width, int32_t height, const uint8_t* red, const uint8_t* green,
                    const uint8_t* blue, int32_t cellWidth, int32_t cellHeight,
                    int32_t lutSecond, int32_t lutFirst);

  // Sources 0 (the planes as they are) and 1 (white). Cells of sizeX x width / 200 by
  // sizeY x height / 200 pixels; lutFirst and lutSecond set the contrast table of the grey
  // measure. 0, or -1 (nothing blended) when an image cannot be read or memory fails.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  const uint8_t* mask, int32_t sizeX, int32_t sizeY, int32_t lutSecond,
                  int32_t lutFirst);
  // The cell image the last FillBuf could not read (it then answered -1), as its user knows
  // it; empty otherwise.
  const std::string& UnreadableFile() const { return unreadable_; }

 private:
  void Insert(int64_t position, Quscr* cell);

  int32_t count_ = 0;
  Quscr* first_ = nullptr;
  Quscr* last_ = nullptr;
  plat::Block<ScreenPar> par_;
  int32_t bufWidth_ = 0;
  int32_t bufHeight_ = 0;
  std::string unreadable_;
};

// Engine row 50.
int32_t RunScreenRow(const EngineRowCall& call);
