// The border record: up to 128 layers of tiles framing the picture. A layer has four corner
// tiles and up to 64 cells along each side, each cell filled with one of the layer's twelve
// tile images or colour ramps, turned, scaled, mirrored, recoloured and merged.
//
// Corner index i: 0 last rows and first columns, 1 first rows and first columns, 2 first
// rows and last columns, 3 last rows and last columns. Side index s: 0 first columns, 1 first
// rows, 2 last columns, 3 last rows. Tiles 0-3 are the corners, tile 4 + 64 s + k is cell k
// of side s counted from the corner where the side begins.
//
// Stored ('hBor' preset file), 1,068 + 133,132 bytes per layer in use: the record's flag and
// second word, the head and 1,024 reserved bytes, then per layer its head and 1,024 reserved
// bytes, its 16 file references (538 bytes each, names as they are), its 16 ramps and its 260
// tiles (108 bytes and 256 reserved each). The blocks that nothing in the system fills are
// written as zeros and not kept in memory; a layer's own flag and second word are not stored.
#pragma once

#include <algorithm>
#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kBordLayers = 128;
inline constexpr int32_t kBordTiles = 260;
inline constexpr int32_t kBordFiles = 16;
inline constexpr int32_t kBordCellsPerSide = 64;

// One cell of a layer. Geometry words 19-26 (a unit square in thousandths) are read by no
// engine.
struct BordTile {
  int32_t byteOrder = 0;
  int32_t second = 0;
  int32_t enabled = 0;    // drawn only when exactly 1
  int32_t image = 0;      // which of the twelve tile images, 0..11
  int32_t blendMode = 0;  // handed to the blend as value + 1
  int32_t opacity = 0;    // percent
  int32_t word6 = 0;      // carried, read by no engine
  int32_t maskKind = 0;   // 0 constant, 1 the tile's alpha, 2 the inverted alpha
  int32_t angle = 0;      // degrees
  int32_t mirror = 0;     // 0 none; otherwise kind 2 x value + 2 (corners only)
  int32_t scale = 0;      // percent
  int32_t value = 0;      // carried, read by no engine
  int32_t angleJitter = 0;  // degrees
  int32_t scaleJitter = 0;  // percent
  int32_t hue = 0;
  int32_t saturation = 0;
  int32_t lightness = 0;
  int32_t extra[2] = {};  // carried, read by no engine
  int32_t quadX[4] = {};
  int32_t quadY[4] = {};

  static constexpr int32_t kStoredSize = 364;
};

template <class V>
void VisitRecord(V& v, BordTile& r) {
  v.innerFlag(r.byteOrder);
  v.i32(r.second);
  v.i32(r.enabled);
  v.i32(r.image);
  v.i32(r.blendMode);
  v.i32(r.opacity);
  v.i32(r.word6);
  v.i32(r.maskKind);
  v.i32(r.angle);
  v.i32(r.mirror);
  v.i32(r.scale);
  v.i32(r.value);
  v.i32(r.angleJitter);
  v.i32(r.scaleJitter);
  v.i32(r.hue);
  v.i32(r.saturation);
  v.i32(r.lightness);
  v.i32s(r.extra, 2);
  v.i32s(r.quadX, 4);
  v.i32s(r.quadY, 4);
  v.reserved(256);
}

// The head of a layer. Thicknesses in half percent and insets in quarter percent of the
// rendered width (sides 0 and 2) or height (sides 1 and 3); corner heights and widths in
// half percent of the height and width.
struct BordInfo {
  int32_t byteOrder = 0;
  int32_t second = 0;
  int32_t two[2] = {};     // read by no engine
  int32_t kind = 0;        // 0 the twelve tiles are colour ramps, 1 image files
  int32_t shown = 0;       // the layer is rendered only when nonzero
  int32_t sideOn[4] = {};  // a side is drawn only when exactly 1
  int32_t cells[4] = {};   // cells per side, 0..64
  int32_t thickness[4] = {};
  int32_t inset[4] = {};
  int32_t cornerOn[4] = {};  // a corner is drawn only when exactly 1
  int32_t cornerHeight[4] = {};
  int32_t cornerWidth[4] = {};
  int32_t cornerInset[4] = {};
  int32_t last = 0;  // read by no engine

  static constexpr int32_t kStoredSize = 156;
};

template <class V>
void VisitRecord(V& v, BordInfo& r) {
  v.innerFlag(r.byteOrder);
  v.i32(r.second);
  v.i32s(r.two, 2);
  v.i32(r.kind);
  v.i32(r.shown);
  v.i32s(r.sideOn, 4);
  v.i32s(r.cells, 4);
  v.i32s(r.thickness, 4);
  v.i32s(r.inset, 4);
  v.i32s(r.cornerOn, 4);
  v.i32s(r.cornerHeight, 4);
  v.i32s(r.cornerWidth, 4);
  v.i32s(r.cornerInset, 4);
  v.i32(r.last);
}

// The head of the record.
struct BordInfo1 {
  int32_t byteOrder = 0;
  int32_t second = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t layerCount = 0;  // 0..128; only these layers are rendered and stored
  int32_t current = 0;     // 0-based, the layer the editor works on
  int32_t more[3] = {};    // read by no engine

  static constexpr int32_t kStoredSize = 36;
};

// The head's field list; hands back the layer count as stored.
template <class V>
int32_t VisitBordHead(V& v, BordInfo1& r) {
  v.innerFlag(r.byteOrder);
  v.i32(r.second);
  v.i32(r.width);
  v.i32(r.height);
  const int32_t n = v.count32(r.layerCount);
  v.i32(r.current);
  v.i32s(r.more, 3);
  return n;
}

template <class V>
void VisitRecord(V& v, BordInfo1& r) {
  VisitBordHead(v, r);
}

struct BordLay {
  int32_t byteOrder = 0;
  int32_t second = 0;
  BordInfo info;
  BordTile tiles[kBordTiles];
  fichier files[kBordFiles];  // tile images; only 0-11 are used
  LutVign ramps[kBordFiles];  // only 0-11 are used

  // One layer's section of the stored record.
  static constexpr int32_t kStoredSize = 133132;
};

// The stored section of a layer (without the layer's own flag and second word).
template <class V>
void VisitRecord(V& v, BordLay& r) {
  VisitRecord(v, r.info);
  v.reserved(1024);
  for (fichier& f : r.files) v.fic(f);
  for (LutVign& ramp : r.ramps) VisitRecord(v, ramp);
  for (BordTile& t : r.tiles) VisitRecord(v, t);
}

struct BordPar {
  int32_t byteOrder = 0;
  int32_t second = 0;
  BordInfo1 head;
  BordLay layers[kBordLayers];

  // A border without layers; each layer in use adds its section.
  static constexpr int32_t kStoredSize = 1068;
  static constexpr int32_t kMaxStoredSize = kStoredSize + kBordLayers * BordLay::kStoredSize;
};

// A stored layer count outside the record is taken at the nearest bound.
inline int32_t BordLayerCount(int32_t stored) { return std::clamp(stored, int32_t{0}, kBordLayers); }

template <class V>
void VisitRecord(V& v, BordPar& r) {
  v.flag(r.byteOrder);
  v.i32(r.second);
  const int32_t n = BordLayerCount(VisitBordHead(v, r.head));
  v.reserved(1024);
  for (int32_t i = 0; i < n; ++i) VisitRecord(v, r.layers[i]);
}

// withQuad 1 also writes the unit square of words 19-26.
void Init_BordTile(BordTile* tile, int16_t withQuad);
void Init_BordInfo(BordInfo* info, int16_t kind);
void Init_BordInfo1(BordInfo1* head, int32_t width, int32_t height);
// files 1: all 16 references to the content library's default tile; ramps 1: ramps 0-11
// (12-15 stay); tiles: Init_BordTile's withQuad; kind 0 corners turned 180, 270, 0, 90 and
// mirrored, other kinds the diagonals 45, 135, 225, 315.
void Init_BordLay(BordLay* layer, int16_t files, int16_t tiles, int16_t ramps, int16_t kind);
void Init_BordPar(BordPar* record, int32_t width, int32_t height, int16_t files, int16_t tiles,
                  int16_t ramps, int16_t kind);

void Copy_BordTile(const BordTile* source, BordTile* destination);
void Copy_BordInfo(const BordInfo* source, BordInfo* destination);
void Copy_BordInfo1(const BordInfo1* source, BordInfo1* destination);
void Copy_BordLay(const BordLay* source, BordLay* destination);
void Copy_BordPar(const BordPar* source, BordPar* destination);
// The same result as Copy_BordPar into a record that already holds one, but a
// layer whose bytes are already equal is neither copied nor written: an edit
// changes one layer of up to 128 (17 MB), and the dialog's backup and the
// preview box's copy follow every slider step.
void UpdateBordPar(const BordPar* source, BordPar* destination);
// The record's head and the layers in use (all a render reads); the layers
// beyond the count are left as they are.
void CopyBordParInUse(const BordPar* source, BordPar* destination);

void SwapBordTile(BordTile* tile, int16_t direction, int16_t force);
void SwapBordInfo(BordInfo* info, int16_t direction, int16_t force);
void SwapBordInfo1(BordInfo1* head, int16_t direction, int16_t force);
void SwapBordLay(BordLay* layer, int16_t direction, int16_t force);
// The flag, second word, head and all 128 layers.
void SwapBordPar(BordPar* record, int16_t direction, int16_t force);

// Removes layer `index`: the layers above it move down, the freed slot and those beyond get
// the defaults, the count drops by one and the current layer becomes 0. An index outside the
// layers in use does nothing.
void DelBor_BordPar(BordPar* record, int16_t index);

// Modes 0 to 3 of the preset convention, type 'hBor'. A read brings the layer count into
// 0..128 and the current layer below it; layers beyond the stored ones stay as they were.
int16_t Do_ABordPar_file(int16_t mode, FSSpec spec, BordPar* record);
