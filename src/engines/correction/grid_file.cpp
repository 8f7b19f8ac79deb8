// The grid-warp preset ('hXgr'): the record's head, the file references and the grids in
// use, each grid coded by runs (its node arrays are mostly empty), then the selection
// plane the grids were drawn for, also coded by runs.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/core/memory_manager.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/run_stream.h"
#include "engines/records/preset_file.h"
#include "platform/memory/block.h"
#include "raster/crop_box.h"
#include "raster/run_length.h"

namespace {

constexpr vmkrec::PresetFormat kGridFile{FourCC("hXgr"), "Load a New Grid...",
                                         vmkrec::PresetLayout::RecordOnly, 0, true};

constexpr size_t kHeadBytes = 64 + 4096;
// A coded plane holds at most two words per sample; keep the count a 32-bit word.
constexpr int64_t kMaxSelectionSamples = 0x3FFFFFFF;

// One grid as the 361,608 words the file codes, in the host's order: its words as they lie
// (head, node arrays, the extra word, the extra points, all 32-bit with nothing between),
// then the 1024 reserved words as zeros. Copied whole, not word by word: a grid file is read
// and written one whole grid at a time.
static_assert(sizeof(GridInfo) ==
              4 * static_cast<size_t>(kGridHeadWords + kGridArrays * kGridNodes + 1 + 4 * kGridExtraPoints));
static_assert(sizeof(GridInfo) / 4 + kGridReservedWords == static_cast<size_t>(kGridInfoWords));

void GridToWords(const GridInfo& g, uint32_t* out) {
  std::memcpy(out, &g, sizeof g);
  std::fill(out + sizeof g / 4, out + kGridInfoWords, 0u);
}

void WordsToGrid(const uint32_t* in, GridInfo& g) { std::memcpy(static_cast<void*>(&g), in, sizeof g); }

int64_t Samples(int32_t width, int32_t height) {
  return width > 0 && height > 0 ? static_cast<int64_t>(width) * height : 0;
}

bool BuildGridFile(const GridPar& record, int32_t width, int32_t height, const uint8_t* selection,
                   std::vector<uint8_t>* out) {
  const int32_t count = record.head.w[kGpCount];
  const int64_t samples = Samples(width, height);
  if (count < 0 || count > kGridSlots || samples > kMaxSelectionSamples) return false;
  // One grid at a time through a cleared copy (Copy_GridInfo moves the nodes in use only,
  // so nothing stale beyond them reaches the file), not the whole 23 MB record.
  plat::Block<GridInfo> one(1, WorkSource());
  vmkrec::ScratchBytes flat(4 * static_cast<size_t>(kGridInfoWords));
  if (!one || !flat.valid()) return false;

  plat::bytes::Writer w;
  w.i32(1);
  for (int32_t k = 1; k < 16; ++k) w.i32(k == kGpVersion ? 3 : record.head.w[k]);
  w.zeros(4096);
  for (int32_t i = 0; i < count; ++i) {
    fichier f{};  // as a copy into a cleared record would have it
    Copy_FicStruct(&record.files[i], &f);
    Write_FicStruct(w, f);
  }

  uint32_t* words = reinterpret_cast<uint32_t*>(flat.data());
  std::vector<uint32_t> coded;
  for (int32_t i = 0; i < count; ++i) {
    one.Clear();
    Copy_GridInfo(&record.grids[i], one.get());
    GridInfo& g = one[0];
    g.w[0] = 1;
    g.w[kGiVersion] = 3;
    GridToWords(g, words);
    int32_t length = 0;
    if (encodeRLElongbuf(0, &length, kGridInfoWords, 1, words, nullptr) != 0) return false;
    coded.assign(static_cast<size_t>(length), 0);
    if (encodeRLElongbuf(1, &length, kGridInfoWords, 1, words, coded.data()) != 0) return false;
    w.i32(length);
    vmkrec::WriteRunWords(w, coded);
  }

  coded.clear();
  if (samples > 0) {
    if (selection == nullptr) {
      // No plane: nothing selected.
      coded = {static_cast<uint32_t>(samples), 0u};
    } else {
      uint8_t* plane = const_cast<uint8_t*>(selection);
      int32_t length = 0;
      if (encodeRLEcharbuf(0, &length, width, height, plane, nullptr) != 0) return false;
      coded.assign(static_cast<size_t>(length), 0);
      if (encodeRLEcharbuf(1, &length, width, height, plane, coded.data()) != 0) return false;
    }
  }
  w.i32(width);
  w.i32(height);
  w.i32(static_cast<int32_t>(coded.size()));
  vmkrec::WriteRunWords(w, coded);
  int32_t box[4] = {0, 0, width, height};
  if (record.head.w[kGpSelection] != 0 && selection != nullptr && samples > 0)
    inCropbuf(width, height, selection, &box[0], &box[1], &box[2], &box[3]);
  for (int32_t v : box) w.i32(v);
  *out = w.take();
  return true;
}

struct StoredSelection {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> words;
};

// What a read holds before anything reaches the caller's record: the head, the file records
// and only the grids the file has. A whole record is 23 MB in memory; a file mostly holds one
// or two grids, and taking (and clearing) the whole of it for every read was most of a
// read's time.
struct LoadedGrids {
  GridInfo1 head;
  fichier files[kGridSlots];
  plat::Block<GridInfo> grids;
};

// Reads the whole file into `s` and, with withSelection 1, its selection stream; false at
// the first thing that does not hold.
bool ParseGridFile(const uint8_t* data, size_t size, int16_t withSelection, LoadedGrids* s,
                   StoredSelection* selection) {
  if (size < kHeadBytes) return false;
  // Word 0 is 0 only in files of an older big-endian writer.
  const bool little = plat::bytes::loadLE32(data) != 0;
  plat::bytes::Reader r(data, size, little ? plat::bytes::Order::Little : plat::bytes::Order::Big);
  for (int32_t& v : s->head.w) v = r.i32();
  s->head.w[0] = HostOrderFlag();
  r.skip(4096);
  const int32_t count = s->head.w[kGpCount];
  if (count < 0 || count > kGridSlots) return false;
  for (int32_t i = 0; i < count; ++i)
    if (!Read_FicStruct(r, &s->files[i])) return false;
  // Every word of a grid is read from its stream below: the grids need no clearing.
  s->grids = plat::Block<GridInfo>(count, WorkSource());
  if (!s->grids) return false;

  vmkrec::ScratchBytes flat(4 * static_cast<size_t>(kGridInfoWords));
  if (!flat.valid()) return false;
  uint32_t* words = reinterpret_cast<uint32_t*>(flat.data());
  std::vector<uint32_t> coded;
  for (int32_t i = 0; i < count; ++i) {
    int32_t length = r.i32();
    if (!vmkrec::ReadRunWords(r, length, &coded)) return false;
    std::fill(words, words + kGridInfoWords, 0u);
    if (encodeRLElongbuf(2, &length, kGridInfoWords, 1, words, coded.data()) != 0) return false;
    GridInfo& g = s->grids[i];
    WordsToGrid(words, g);
    g.w[0] = HostOrderFlag();
    g.w[kGiVersion] = 3;
    if (g.w[kGiColumns] < 1 || g.w[kGiColumns] > kGridMaxCells || g.w[kGiRows] < 1 ||
        g.w[kGiRows] > kGridMaxCells)
      return false;
  }

  if (withSelection == 1) {
    selection->width = r.i32();
    selection->height = r.i32();
    const int32_t length = r.i32();
    if (!r.ok() || !vmkrec::ReadRunWords(r, length, &selection->words)) return false;
    if (!vmkrec::RunsFit(selection->words, Samples(selection->width, selection->height)))
      return false;
    for (int k = 0; k < 4; ++k) r.i32();  // the bounding box: not used
  }
  return r.ok();
}

}  // namespace

int16_t Do_AGrid_file(int16_t mode, FSSpec spec, GridPar* record, int16_t withSelection,
                      int32_t width, int32_t height, uint8_t* selection) {
  if (record == nullptr) return mode >= 0 && mode <= 3 ? -1 : 0;
  vmkrec::PresetFile file;
  const vmkrec::PresetAction action = file.Choose(mode, spec, kGridFile);
  if (action == vmkrec::kPresetNothing) return 0;
  if (action == vmkrec::kPresetCancelled) return -1;
  if (action == vmkrec::kPresetWrite) {
    std::vector<uint8_t> image;
    if (!BuildGridFile(*record, width, height, selection, &image)) return -1;
    return file.Write(image.data(), image.size());
  }

  std::unique_ptr<vmkrec::ScratchBytes> bytes;
  if (file.Read(0x7FFFFFFF, &bytes) != 0) return -1;
  auto loaded = std::make_unique<LoadedGrids>();
  StoredSelection stored;
  if (!ParseGridFile(bytes->data(), bytes->size(), withSelection, loaded.get(), &stored))
    return -1;
  bytes.reset();

  // A preset keeps the current picture size. The rest as Copy_GridPar takes a record: the
  // head, then the file records and grids in use.
  const int32_t pictureWidth = record->head.w[kGpWidth];
  const int32_t pictureHeight = record->head.w[kGpHeight];
  record->head = loaded->head;
  for (int32_t i = 0; i < std::clamp(loaded->head.w[kGpCount], 0, kGridSlots); ++i) {
    Copy_FicStruct(&loaded->files[i], &record->files[i]);
    Copy_GridInfo(&loaded->grids[i], &record->grids[i]);
  }
  record->head.w[kGpWidth] = pictureWidth;
  record->head.w[kGpHeight] = pictureHeight;
  record->head.w[kGpVersion] = 3;
  if (withSelection == 1)
    vmkrec::ResampleRuns(stored.words, stored.width, stored.height, selection, width, height);
  return 0;
}
