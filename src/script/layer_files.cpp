// Layer records and combined-layer files.
//
// A layer record at P: E1 (the end of its script record), three flag words, the operation
// count, the 256-byte name, the script record at P + 268 (none without operations), E2 at
// E1 and the path list from E1 + 4 to E2. A combined-layer file: width, height, whole
// resolution and the caller's document value, a directory of 256 entries (position of the
// stack's first layer record, layer count, the stack's stored word), from 3088 the slice
// list when the caller gives one, then the layer records, stack after stack. Stack 0's entry
// therefore lies past 3088 exactly when the file holds a slice list, and ends it.
//
// Readers check every stored position and count against the file before they follow it and
// read into new layers; a stack, or the whole script, takes what was read only when all of
// it was read, so a damaged file leaves the script as it was.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "paths/path_list.h"
#include "paths/slices.h"
#include "platform/bytes/byte_order.h"
#include "script/layers.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "script/script_record_file.h"

using plat::bytes::Reader;
using plat::bytes::Writer;

namespace {

constexpr int32_t kLayerHead = 268;
constexpr int32_t kNameField = 256;
constexpr int32_t kDirectoryAt = 16;
constexpr int32_t kDirectoryEntry = 12;
constexpr int32_t kLayersAt = kDirectoryAt + ScriptFile::kStacks * kDirectoryEntry;  // 3088
// The smallest layer record: its head and E2 (a path list takes bytes of its own besides).
constexpr int32_t kSmallestLayer = kLayerHead + 4;

int16_t WriteWord(File_kern* f, int32_t at, int32_t value) {
  uint8_t b[4];
  plat::bytes::storeLE32(b, static_cast<uint32_t>(value));
  return f->S_write(b, at, 4);
}

bool ReadAt(File_kern* f, int32_t at, int32_t count, std::vector<uint8_t>* out) {
  out->assign(static_cast<size_t>(count), 0);
  return f->S_read(out->data(), at, count) == 0;
}

// Opened (unless the caller holds it open) for the lifetime of the object.
class OpenFile {
 public:
  OpenFile(File_kern* f, int16_t mode, bool alreadyOpen)
      : f_(f), mine_(!alreadyOpen), ok_(alreadyOpen || f->S_open(mode) == 0) {}
  ~OpenFile() { close(); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  bool ok() const { return ok_; }
  // 0, or -1 when the file could not be closed.
  int16_t close() {
    if (!mine_ || !ok_) return 0;
    mine_ = false;
    return f_->S_close();
  }

 private:
  File_kern* f_;
  bool mine_;
  bool ok_;
};

// The head of a layer record as read.
struct LayerHead {
  int32_t e1 = 0;
  int32_t e2 = 0;
  int16_t flags[3] = {};
  int16_t count = 0;
  Str255 name = {0};
};

bool ReadLayerHead(File_kern* file, int32_t p, LayerHead* h) {
  OpenFile open(file, 0, false);
  if (!open.ok()) return false;
  int32_t eof = 0;
  if (file->S_getEOF(&eof) != 0 || p < 0 || p > eof - kSmallestLayer) return false;
  std::vector<uint8_t> head;
  if (!ReadAt(file, p, kLayerHead, &head)) return false;
  Reader r(head);
  h->e1 = r.i32();
  for (int16_t& f : h->flags) f = r.i16();
  h->count = r.i16();
  // The name ends at its zero, or after 255 characters.
  const auto* name = head.data() + 12;
  const size_t n = std::find(name, name + 255, 0) - name;
  h->name[0] = static_cast<unsigned char>(n);
  std::memcpy(h->name + 1, name, n);
  if (h->e1 < p + kLayerHead || h->e1 > eof - 4) return false;
  std::vector<uint8_t> e2;
  if (!ReadAt(file, h->e1, 4, &e2)) return false;
  h->e2 = static_cast<int32_t>(plat::bytes::loadLE32(e2.data()));
  return h->e2 >= h->e1 + 4 && h->e2 <= eof;
}

// A layer read whole before it takes anything of the caller's.
struct ReadLayer {
  LayerHead head;
  Oprn* first = nullptr;
  int16_t count = 0;
  std::unique_ptr<CPathList> paths;
  ~ReadLayer() { DeleteOprnChain(first); }
};

}  // namespace

int32_t ScriptFile::SaveLay(int16_t open, File_kern* file, Laye* layer, int32_t* pos) {
  if (file == nullptr || layer == nullptr || pos == nullptr || *pos < 0) return -1;
  OpenFile f(file, 0, open == 1);
  if (!f.ok()) return -1;
  const int32_t p = *pos;
  Writer w;
  w.i32(0);  // E1, once known
  w.i16(layer->LayFlag);
  w.i16(layer->active);
  w.i16(layer->lock);
  w.i16(layer->oprnCount);
  char name[kNameField] = {};
  std::memcpy(name, layer->name + 1, layer->name[0]);
  w.raw(name, kNameField);
  if (file->S_write(w.bytes().data(), p, kLayerHead) != 0) return -1;
  int32_t e1 = p + kLayerHead;
  if (layer->oprnCount > 0) {
    const char text[scriptrecord::kScriptTextSize] = {};
    if (SaveScriptAtPos(1, &e1, layer->oprnCount, layer->firstOprn, file, nullptr, 0, 0, text, 1) != 0)
      return -1;
  }
  if (WriteWord(file, p, e1) != 0 || WriteWord(file, e1, e1) != 0) return -1;
  int32_t e2 = e1 + 4;
  CPathList none(0);
  CPathList* paths = layer->paths != nullptr ? layer->paths : &none;
  if (paths->WritePathList(1, file, &e2, width, height) != 0) {
    *pos = e2;
    return -1;
  }
  if (WriteWord(file, e1, e2) != 0) return -1;
  if (f.close() != 0) return -1;
  *pos = e2;
  return 0;
}

int32_t ScriptFile::SaveAllLay(File_kern* file, int16_t stack, int32_t* pos) {
  const LayerFile* s = GetStack(stack);
  if (s == nullptr) return -1;
  int32_t result = 0;
  for (Laye* l = s->firstLaye; l != nullptr; l = l->next)
    if (SaveLay(1, file, l, pos) != 0) result = -1;
  return result;
}

int32_t ScriptFile::SaveCombiLay(File_kern* file, int32_t documentValue, CSliceList* slices) {
  if (file == nullptr) return -1;
  // The file is replaced whole: until it is closed the old one stays where it was.
  OpenFile f(file, 3, false);
  if (!f.ok()) return -1;
  Writer head;
  head.i32(width);
  head.i32(height);
  head.i32(WholeResolution(resolution));
  head.i32(documentValue);
  head.zeros(ScriptFile::kStacks * kDirectoryEntry);
  if (file->S_write(head.bytes().data(), 0, static_cast<int32_t>(head.size())) != 0) return -1;
  int32_t result = 0;
  int32_t pos = kLayersAt;
  if (slices != nullptr && slices->WriteSliceList(1, file, &pos) != 0) return -1;
  for (int16_t k = 0; k < kStacks; ++k) {
    const LayerFile* s = stacks[k];
    Writer entry;
    entry.i32(pos);
    entry.i32(s != nullptr ? s->layerCount : 0);
    entry.i32(s != nullptr ? s->stackValue : 0);
    if (file->S_write(entry.bytes().data(), kDirectoryAt + k * kDirectoryEntry, kDirectoryEntry) != 0)
      return -1;
    if (s != nullptr && SaveAllLay(file, k, &pos) != 0) result = -1;
  }
  if (f.close() != 0) return -1;
  return result;
}

namespace {

// Reads the layer record at *pos into `out` by mode; -1 on any failure.
// Paths are read for a picture of pathWidth x pathHeight.
int32_t ReadLayerRecord(ScriptFile& s, File_kern* file, int32_t* pos, int16_t mode,
                        int32_t pathWidth, int32_t pathHeight, ReadLayer* out) {
  if (!ReadLayerHead(file, *pos, &out->head)) return -1;
  const LayerHead& h = out->head;
  if ((mode == 0 || mode == 1) && h.count > 0) {
    int32_t at = *pos + kLayerHead;
    if (scriptrecord::RecallScriptSpan(s, &at, h.e1, 1, &out->count, &out->first, file, 0, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, 1.0f, 1.0f, 1) != 0 ||
        at != h.e1)
      return -1;
  }
  if (mode == 0 || mode == 2) {
    out->paths = std::make_unique<CPathList>(0);
    int32_t at = h.e1 + 4;
    if (out->paths->ReadPathList(0, file, &at, -1, RGBColor{}, pathWidth, pathHeight) != 0 ||
        at != h.e2)
      return -1;
  }
  *pos = h.e2;
  return 0;
}

// Gives a layer what was read: flags, name and, as the mode read them, operations and paths.
void TakeLayer(Laye* layer, ReadLayer& r, int16_t mode) {
  layer->LayFlag = r.head.flags[0];
  layer->active = r.head.flags[1];
  layer->lock = r.head.flags[2];
  layer->oprnCount = r.head.count;
  pStrCopy(r.head.name, layer->name);
  if (mode == 0 || mode == 1) {
    DeleteOprnChain(layer->firstOprn);
    layer->firstOprn = r.first;
    layer->oprnCount = r.count;
    r.first = nullptr;
  }
  if (mode == 0 || mode == 2) {
    delete layer->paths;
    layer->paths = r.paths.release();
  }
}

// One stack of a combined-layer file, read whole.
struct ReadStack {
  int32_t word = 0;
  std::vector<std::unique_ptr<ReadLayer>> layers;
};

int32_t ReadDirectoryStack(ScriptFile& s, File_kern* file, int16_t entry, int32_t pathWidth,
                           int32_t pathHeight, ReadStack* out) {
  if (entry < 0 || entry >= ScriptFile::kStacks) return -1;
  int32_t at = 0, count = 0;
  {
    OpenFile f(file, 0, false);
    if (!f.ok()) return -1;
    int32_t eof = 0;
    std::vector<uint8_t> e;
    if (file->S_getEOF(&eof) != 0 || eof < kLayersAt ||
        !ReadAt(file, kDirectoryAt + entry * kDirectoryEntry, kDirectoryEntry, &e))
      return -1;
    Reader r(e);
    at = r.i32();
    count = r.i32();
    out->word = r.i32();
    // Every layer record takes at least its head and E2.
    if (at < kLayersAt || at > eof || count < 0 || count > INT16_MAX ||
        int64_t{count} * kSmallestLayer > int64_t{eof} - at)
      return -1;
  }
  for (int32_t k = 0; k < count; ++k) {
    auto layer = std::make_unique<ReadLayer>();
    if (ReadLayerRecord(s, file, &at, 0, pathWidth, pathHeight, layer.get()) != 0) return -1;
    out->layers.push_back(std::move(layer));
  }
  return 0;
}

// The file's slice list into `out`, which starts empty; *present tells whether the file holds
// one (without, stack 0 starts at 3088). A list that does not end where stack 0 starts is
// damaged: -1.
int32_t ReadSliceBlock(File_kern* file, CSliceList* out, bool* present) {
  OpenFile f(file, 0, false);
  if (!f.ok()) return -1;
  std::vector<uint8_t> e;
  if (!ReadAt(file, kDirectoryAt, 4, &e)) return -1;
  const auto end = static_cast<int32_t>(plat::bytes::loadLE32(e.data()));
  *present = end != kLayersAt;
  if (!*present) return 0;
  int32_t at = kLayersAt;
  if (end < kLayersAt || out->ReadSliceList(1, file, &at, -1, RGBColor{}) != 0 || at != end)
    return -1;
  return f.close();
}

void TakeStack(LayerFile* stack, ReadStack& r) {
  stack->DeleteAllLaye();
  stack->stackValue = r.word;
  for (auto& read : r.layers) {
    auto* layer = new Laye;
    stack->AddLaye(static_cast<int16_t>(stack->layerCount + 1), layer);
    TakeLayer(layer, *read, 0);
  }
}

}  // namespace

int32_t ScriptFile::RecallLay(File_kern* file, Laye* layer, int32_t* pos, int16_t mode) {
  if (file == nullptr || layer == nullptr || pos == nullptr) return -1;
  ReadLayer r;
  int32_t at = *pos;
  if (ReadLayerRecord(*this, file, &at, mode, width, height, &r) != 0) return -1;
  TakeLayer(layer, r, mode);
  if ((mode == 0 || mode == 1) && r.head.count <= 0) {
    DeleteOprnChain(layer->firstOprn);
    layer->firstOprn = nullptr;
    layer->oprnCount = 0;
  }
  *pos = at;
  return 0;
}

int32_t ScriptFile::RecallAllLay(File_kern* file, int16_t entry, int16_t stack) {
  LayerFile* s = GetStack(stack);
  if (file == nullptr || s == nullptr) return -1;
  ReadStack r;
  if (ReadDirectoryStack(*this, file, entry, width, height, &r) != 0) return -1;
  TakeStack(s, r);
  return 0;
}

int32_t ScriptFile::RecallCombiLay(File_kern* file, int16_t mode, int32_t* documentValue,
                                   CSliceList* slices) {
  if (file == nullptr) return -1;
  int32_t w = width, h = height, res = 0, value = 0;
  {
    OpenFile f(file, 0, false);
    if (!f.ok()) return -1;
    std::vector<uint8_t> head;
    if (!ReadAt(file, 0, kDirectoryAt, &head)) return -1;
    Reader r(head);
    w = r.i32();
    h = r.i32();
    res = r.i32();
    value = r.i32();
  }
  if (mode == 0 || mode == 1) {
    if (w < 0 || h < 0) return -1;
  }
  // The paths take the picture size the script will have.
  const int32_t pathWidth = mode == 1 ? w : width, pathHeight = mode == 1 ? h : height;
  std::vector<ReadStack> read;
  CSliceList readSlices;
  bool slicesRead = false;
  if (mode == 1 || mode == 2) {
    if (slices != nullptr && ReadSliceBlock(file, &readSlices, &slicesRead) != 0) return -1;
    read.resize(kStacks);
    for (int16_t k = 0; k < kStacks; ++k)
      if (ReadDirectoryStack(*this, file, k, pathWidth, pathHeight, &read[k]) != 0) return -1;
  }
  if (mode == 0 || mode == 1) {
    width = w;
    height = h;
    resolution = static_cast<float>(res);
  }
  if (mode == 1 || mode == 2) {
    if (documentValue != nullptr) *documentValue = value;
    if (slices != nullptr && slicesRead) slices->TakeReadSlices(&readSlices, -1, RGBColor{});
    for (int16_t k = 0; k < kStacks; ++k)
      if (stacks[k] != nullptr) TakeStack(stacks[k], read[k]);
  }
  return 0;
}
