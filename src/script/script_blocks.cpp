#include "script/script_blocks.h"

#include <algorithm>
#include <cstring>

#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "app/folder_scans.h"
#include "engines/records/session_defaults.h"
#include "script/script_file.h"

using plat::bytes::Reader;
using plat::bytes::Writer;

namespace scriptblock {

DefaultSizes ScriptSizes(const ScriptFile& script) { return script.AccessSizes(); }

void DefaultsOf(const ScriptFile& script, const RecordKind& kind, void* record) {
  (kind.accessDefaults != nullptr ? kind.accessDefaults : kind.blockDefaults)(record,
                                                                             ScriptSizes(script));
}

void* NewCarried(Oprn& op, int16_t kind) {
  if (FindRecordKind(kind) == nullptr) return nullptr;
  if (op.MulStruc == nullptr && Alloc_MulStruc(&op.MulStruc, 0) != 0) return nullptr;
  if (Init_MulStruc(op.MulStruc, 1, kind) != 0) return nullptr;
  return MulStrucRecord(op.MulStruc, kind);
}

int32_t RegisterCodecs(std::initializer_list<EffectCode> effects, const ScriptBlockCodec& codec) {
  int32_t result = 0;
  for (EffectCode e : effects)
    if (RegisterScriptBlockCodec(e, codec) != 0) result = -1;
  return result;
}

}  // namespace scriptblock

namespace {

using scriptblock::LoadBlock;
using scriptblock::Storage;

// --- The operation's file record -------------------------------------------------------------

// Name and path travel zero-terminated in a copy; the operation's record is not changed.
int32_t WriteFileRecord(const Oprn& op, Writer& out) {
  fichier copy;
  if (op.FileOprn != nullptr) Copy_FicStruct(op.FileOprn, &copy);
  vmkrec::FicStringsToC(copy);
  Write_FicStruct(out, copy);
  return 0;
}

bool Contains(const unsigned char* pascal, const char* needle) {
  const std::string_view text(reinterpret_cast<const char*>(pascal + 1), pascal[0]);
  return text.find(needle) != std::string_view::npos;
}

// Reads a file record into `f`: with mark 0 its strings were stored zero-terminated and its
// type is told by the name; then the record is pointed at its file by its path and name, or
// at a file of that name in the content folders. A file found in neither keeps the place
// stored for it: the search would leave it on the last content folder tried, and the layers
// saved again would lose where the user's file was, and a step that cannot read it would
// name a place the user never chose.
bool ReadFileRecord(Reader& in, uint8_t mark, fichier* f) {
  if (!Read_FicStruct(in, f)) return false;
  if (mark == 0) {
    vmkrec::FicStringsFromC(*f);
    if (Contains(f->name, ".jpg"))
      f->type = FourCC("JPEG");
    else if (Contains(f->name, ".tif"))
      f->type = FourCC("TIFF");
  }
  Str255 full = {0};
  pStrCopy(f->path, full);
  Pstrcat(full, f->name);
  FSMakeFSSpec(0, 0, full, f);
  fichier stored;
  Copy_FicStruct(f, &stored);
  SearchAlternateFic(f);
  if (S_test_exist(f) != 1) Copy_FicStruct(&stored, f);
  return true;
}

int32_t WriteFileBlock(const ScriptFile&, Oprn& op, Writer& out) {
  return scriptblock::WriteOprnFile(op, out);
}

int32_t ReadFileBlock(ScriptFile&, Oprn& op, Reader& in, uint8_t mark) {
  return scriptblock::ReadOprnFile(op, in, mark);
}

// Effect 53: an empty file record that nothing reads back.
int32_t WriteEmptyFileBlock(const ScriptFile&, Oprn&, Writer& out) {
  fichier empty;
  Write_FicStruct(out, empty);
  return 0;
}

int32_t SkipFileBlock(ScriptFile&, Oprn&, Reader& in, uint8_t) {
  if (in.remaining() < kFicStoredSize) return -1;
  in.skip(kFicStoredSize);
  return 0;
}

// --- Colour matrix, ramp, path block -------------------------------------------------------

int32_t WriteColMat(const ScriptFile&, Oprn& op, Writer& out) {
  for (int32_t k = 0; k < kColMatCells; ++k) out.i32(op.ColMat != nullptr ? op.ColMat[k] : 0);
  return 0;
}

int32_t ReadColMat(ScriptFile&, Oprn& op, Reader& in, uint8_t) {
  if (in.remaining() < 4u * kColMatCells) return -1;
  auto* m = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
  if (m == nullptr) return -1;
  for (int32_t k = 0; k < kColMatCells; ++k) m[k] = in.i32();
  DeleteRecordBlock(op.ColMat);
  op.ColMat = m;
  return 0;
}

int32_t WriteLut(const ScriptFile& script, Oprn& op, Writer& out) {
  LutVign lut;
  script.GetLutVign(0, -1, 0, 0, &lut);  // the accessor's defaults for a missing ramp
  if (op.LutVign != nullptr) Copy_LutVign(op.LutVign, &lut);
  vmkrec::StoreVisitor v;
  VisitRecord(v, lut);
  out.raw(v.data().data(), v.size());
  return 0;
}

int32_t ReadLut(ScriptFile&, Oprn& op, Reader& in, uint8_t) {
  auto* lut = NewRecord<LutVign>();
  if (lut == nullptr) return -1;
  // Ramps, matrices and the path block are little-endian whatever the mark.
  if (!LoadBlock(in, 0, Storage::HostOrder, LutVign::kStoredSize, *lut, scriptblock::WholeRecord{})) {
    DeleteRecordBlock(lut);
    return -1;
  }
  DeleteRecordBlock(op.LutVign);
  op.LutVign = lut;
  return 0;
}

// The path block's length word has always said 2856, the record's size in memory, though
// 2854 bytes follow it; readers ignore it.
constexpr int32_t kPathBlockWord = 2856;

template <class V>
void VisitPathBlock(V& v, Path3D& p) {
  v.i16(p.direction);
  v.i16(p.flag);
  v.i32s(p.rects, 8);
  VisitRecord(v, p.lut);
  v.i32s(p.table, 256);
}

int32_t WritePathBlock(const ScriptFile& script, Oprn& op, Writer& out) {
  Path3D p;
  if (op.Path3D != nullptr)
    Copy_Path3D(op.Path3D, &p);
  else
    script.GetPath3D(-1, 0, 0, &p);
  p.flag = 0;  // the block has always stored 0 here; the operation keeps its value
  out.i32(kPathBlockWord);
  vmkrec::StoreVisitor v;
  VisitPathBlock(v, p);
  out.raw(v.data().data(), v.size());
  return 0;
}

int32_t ReadPathBlock(ScriptFile&, Oprn& op, Reader& in, uint8_t) {
  if (in.remaining() < 4) return -1;
  in.i32();  // the length word
  auto* p = NewRecord<Path3D>();
  if (p == nullptr) return -1;
  if (!LoadBlock(in, 0, Storage::HostOrder, 0, *p, [](auto& v, Path3D& r) { VisitPathBlock(v, r); })) {
    DeleteRecordBlock(p);
    return -1;
  }
  DeleteRecordBlock(op.Path3D);
  op.Path3D = p;
  return 0;
}

// --- Blocks without a record ------------------------------------------------------------------

// Effect 31 stores a 32-bit 0.
int32_t WriteZeroWord(const ScriptFile&, Oprn&, Writer& out) {
  out.i32(0);
  return 0;
}

int32_t SkipWord(ScriptFile&, Oprn&, Reader& in, uint8_t) {
  if (in.remaining() < 4) return -1;
  in.skip(4);
  return 0;
}

// Effects 62 and 91 store nothing.
int32_t WriteNothing(const ScriptFile&, Oprn&, Writer&) { return 0; }
int32_t ReadNothing(ScriptFile&, Oprn&, Reader&, uint8_t) { return 0; }

}  // namespace

void RegisterScriptBlockCodecs() {
  using scriptblock::RegisterCodecs;
  RegisterCodecs({21, 24, 25, 26, 30, 35, 36, 38, 39, 51, 52, 75}, {WriteFileBlock, ReadFileBlock});
  RegisterCodecs({53}, {WriteEmptyFileBlock, SkipFileBlock});
  RegisterCodecs({22}, {WriteColMat, ReadColMat});
  RegisterCodecs({23, 29, 33, 79, 98, 99, 108}, {WriteLut, ReadLut});
  RegisterCodecs({28}, {WritePathBlock, ReadPathBlock});
  RegisterCodecs({31}, {WriteZeroWord, SkipWord});
  RegisterCodecs({62, 91}, {WriteNothing, ReadNothing});
}

// File records for the codecs of effects that store one before their family's record.
namespace scriptblock {

int32_t WriteOprnFile(const Oprn& op, Writer& out) { return WriteFileRecord(op, out); }

int32_t ReadOprnFile(Oprn& op, Reader& in, uint8_t mark) {
  auto* f = new (std::nothrow) fichier;
  if (f == nullptr) return -1;
  if (!ReadFileRecord(in, mark, f)) {
    delete f;
    return -1;
  }
  delete op.FileOprn;
  op.FileOprn = f;
  return 0;
}

}  // namespace scriptblock
