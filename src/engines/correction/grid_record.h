// The grid-warp record: up to sixteen grids, each an in lattice that lies on the picture
// and an out lattice to which each in cell is carried, with the sixteen-word head that
// doubles as the small record GridInfo1 and one file reference per grid.
//
// Node coordinates, handles and frame corners are fractions of the picture, 100000
// spanning its width (x, to the right) or height (y, upward from the bottom edge). A grid
// has 1 to 127 cells each way; node (row r, column c) is entry r * (columns + 1) + c of
// each of its twenty-two node arrays (room for 128 x 128 nodes): arrays 0-10 the in
// grid, 11-21 the out grid, in each set x, y, then x and y of handles 1 to 4, then the
// node's selection flag.
//
// Only the grids below head word 4 are in use: copies, conversions and stores leave the
// other slots alone, and copies move only the first (max(columns, rows) + 1)^2 nodes of
// each array, so the 23 MB record costs what its grids use.
//
// Stored block, as scripts keep it with their grid-warp operations (23,159,808 bytes,
// little-endian, word 0 = 1):
//
//   offset        size        content
//   0             64          head words 0-15
//   64            4096        reserved, zeros
//   4160          16 x 540    file references: 538 bytes stored as they stand, 2 zeros
//   12800         16 x 1446432  grid slots; a slot in use holds its 361,608 words (head,
//                             node arrays, the word and four arrays of 28, then 1024
//                             reserved words as zeros), a slot beyond the count zeros
//   23155712      4096        reserved tail, zeros
//
// The tail makes the block 4096 bytes longer than the fields it holds; it is the size
// every stored script carries for these operations, so it stays, and readers skip it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"

inline constexpr int32_t kGridSlots = 16;
inline constexpr int32_t kGridMaxCells = 127;
inline constexpr int32_t kGridNodes = 128 * 128;
inline constexpr int32_t kGridArrays = 22;
inline constexpr int32_t kGridHeadWords = 23;
inline constexpr int32_t kGridExtraPoints = 28;
// Words of one grid as stored and coded, the reserved 1024 included.
inline constexpr int32_t kGridInfoWords = 361608;
inline constexpr int32_t kGridReservedWords = 1024;

// GridPar / GridInfo1 head words.
enum : int32_t {
  kGpVersion = 1,
  kGpWidth = 2,      // picture width in pixels the grids were made for
  kGpHeight = 3,
  kGpCount = 4,      // grids in use, 1 to 16
  kGpCurrent = 5,    // current grid, 0-based
  kGpSelection = 8,  // 1 weights the warp by the selection plane
  kGpTool = 9,       // grid tool of the preview, 0 to 9
};

// GridInfo head words.
enum : int32_t {
  kGiVersion = 1,
  kGiEnabled = 2,    // only a grid whose word is 1 is rendered
  kGiMorph = 8,      // percent from the in grid (0) to the out grid (100)
  kGiCurvature = 9,  // 0: straight cell edges
  kGiHandles = 10,   // 1: a drag may pick up handles
  kGiFrameX = 11,    // x of the four frame corners (11-14), then y (15-18)
  kGiFrameY = 15,
  kGiColumns = 21,
  kGiRows = 22,
};

// Node arrays of a set; the out set is the in set's index + kGaOut.
enum : int32_t {
  kGaX = 0,
  kGaY = 1,
  kGaHandles = 2,  // x, y of handles 1 to 4: 2-9
  kGaSelected = 10,
  kGaOut = 11,
};

struct GridInfo1 {
  int32_t w[16] = {};
};

struct GridInfo {
  int32_t w[kGridHeadWords] = {};
  int32_t node[kGridArrays][kGridNodes] = {};
  int32_t extraWord = 0;
  int32_t extra[4][kGridExtraPoints] = {};
  // The 1024 reserved words that complete a stored grid are not kept in memory.
};

struct GridPar {
  static constexpr int32_t kStoredSize = 23159808;

  GridInfo1 head;
  fichier files[kGridSlots];
  GridInfo grids[kGridSlots];
};

// Field lists (engines/records/param_record.h).
template <class V>
void VisitRecord(V& v, GridInfo1& h) {
  v.flag(h.w[0]);
  v.i32s(&h.w[1], 15);
}

template <class V>
void VisitRecord(V& v, GridInfo& g) {
  // The record's word 0 speaks for every grid; a grid's own word follows it.
  v.innerFlag(g.w[0]);
  v.i32s(&g.w[1], kGiColumns - 1);
  const int32_t columns = v.count32(g.w[kGiColumns]);
  const int32_t rows = v.count32(g.w[kGiRows]);
  if (columns < 0 || columns > kGridMaxCells || rows < 0 || rows > kGridMaxCells) v.fail();
  for (auto& a : g.node) v.i32s(a, kGridNodes);
  v.i32(g.extraWord);
  for (auto& a : g.extra) v.i32s(a, kGridExtraPoints);
  v.reserved(4 * kGridReservedWords);
}

template <class V>
void VisitRecord(V& v, GridPar& r) {
  v.flag(r.head.w[0]);
  v.i32s(&r.head.w[1], kGpCount - 1);
  int32_t count = v.count32(r.head.w[kGpCount]);
  if (count < 0 || count > kGridSlots) {
    v.fail();
    count = count < 0 ? 0 : kGridSlots;
  }
  v.i32s(&r.head.w[kGpCount + 1], 15 - kGpCount);
  v.reserved(4096);
  for (auto& f : r.files) {
    v.fic(f);
    v.reserved(2);
  }
  for (int32_t i = 0; i < kGridSlots; ++i) {
    if (i < count)
      VisitRecord(v, r.grids[i]);
    else
      v.reserved(4 * static_cast<size_t>(kGridInfoWords));
  }
  v.reserved(4096);
}

// Head words with their defaults: flag, version 3, width, height, one grid, grid 0
// current, then 1, 128, 0, 0, 1, 0, 1, 1, 2, 0.
void Init_GridInfo1(GridInfo1* head, int32_t width, int32_t height);
// initHead 1: the head (Init_GridInfo1). initFiles 1: the sixteen file references
// emptied. Always: every slot Init_GridInfo(slot, initGridHeads, 1, columns, rows, nodes).
void Init_GridPar(GridPar* record, int32_t width, int32_t height, int32_t columns, int32_t rows,
                  int16_t initFiles, int16_t nodes, int16_t initHead, int16_t initGridHeads);
// Word 0 := the host's flag and word 1 := 3 always; initHead 1: the settings and the cell
// counts; initFrame 1: the frame corners; nodes 1 a regular in grid, 2 out, 3 both (the
// counts then stored too). Counts are held to 1..127. The word and four arrays of 28 are
// cleared.
void Init_GridInfo(GridInfo* grid, int16_t initHead, int16_t initFrame, int32_t columns,
                   int32_t rows, int16_t nodes);
// Head words, then file reference and grid of each grid in use.
void Copy_GridPar(const GridPar* source, GridPar* destination);
// Head words, the nodes in use of every array, the word and four arrays of 28.
void Copy_GridInfo(const GridInfo* source, GridInfo* destination);
void Copy_GridInfo1(const GridInfo1* source, GridInfo1* destination);
// Direction nonzero: the second grid's out arrays take the first grid's in arrays; 0:
// its in arrays take the first's out arrays. The node count is the second grid's; heads
// stay. The same grid twice copies in to out or out to in.
void Copy_GridInfoInOut(const GridInfo* first, GridInfo* second, int16_t direction);
// The record convention's conversion of the head and of the grids in use only.
void SwapGridPar(GridPar* record, int16_t direction, int16_t force);
void SwapGridInfo(GridInfo* grid, int16_t direction, int16_t force);
void SwapGridInfo1(GridInfo1* head, int16_t direction, int16_t force);
// Removes grid `index` (0-based) and makes grid 0 current: every slot becomes a regular
// grid of the current grid's size and the other grids in use come back in order. An
// index outside the grids in use, or no memory for the scratch copy, changes nothing.
void DelGrd_GridPar(GridPar* record, int16_t index);

// The 'hXgr' preset with its selection plane: mode 0 open dialog ("Load a New Grid..."),
// 1 save dialog, 2 read and 3 write the given file, others nothing (0).
//
// File (32-bit words, little-endian; a file whose head word 0 is 0 holds big-endian
// numbers): head words 0-15 (word 1 = 3, word 4 = N grids), 4096 reserved bytes; the N
// file references, 538 bytes each; per grid the stream length L in words and the L words
// of its run-length coded 361,608 words; the selection plane's W, H, the length M and
// the M words of its coded W x H bytes; four words, the plane's bounding box when head
// word 8 is set, else 0, 0, W, H.
//
// A read keeps the record's picture width and height and takes everything else; with
// withSelection 1 the stored plane is resampled by nearest sample into the caller's
// width x height plane. Everything is checked before anything is taken: more than 16
// grids, a stream longer than its file or than a grid, cell counts outside 1..127, or a
// selection stream beyond W x H gives -1 with the record and plane untouched.
int16_t Do_AGrid_file(int16_t mode, FSSpec spec, GridPar* record, int16_t withSelection,
                      int32_t width, int32_t height, uint8_t* selection);
