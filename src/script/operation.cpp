#include "script/operation.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engines/records/param_record.h"
#include "script/param_block.h"

void* NewRecordBlock(size_t size) { return vmkrec::NewScratch(size); }

void DeleteRecordBlock(void* block) { vmkrec::DeleteScratch(block); }

Oprn::Oprn()
    : Effect(0), Act(0), FromChannel(0), ToChannel(0), IntExt(0), MChannel(0), Param1(0),
      Param2(0), Param3(0), Param4(0), Param5(0), Mode(0), Opa(255), Param99(0),
      SelOprnExt(nullptr), ColMat(nullptr), LutVign(nullptr), Path3D(nullptr),
      MulStruc(nullptr), FileOprn(nullptr), NextOprn(nullptr) {}

Oprn::~Oprn() {
  delete FileOprn;
  FileOprn = nullptr;
  DeleteRecordBlock(SelOprnExt);
  SelOprnExt = nullptr;
  DeleteRecordBlock(ColMat);
  ColMat = nullptr;
  DeleteRecordBlock(LutVign);
  LutVign = nullptr;
  DeleteRecordBlock(Path3D);
  Path3D = nullptr;
  Dele_MulStruc(MulStruc);
  MulStruc = nullptr;
}

void InitOprn(Oprn* op) {
  if (op == nullptr) return;
  op->Mode = 0;
  op->Opa = 255;
  op->SelOprnExt = nullptr;
  op->ColMat = nullptr;
  op->LutVign = nullptr;
  op->Path3D = nullptr;
  op->MulStruc = nullptr;
  op->FileOprn = nullptr;
  op->NextOprn = nullptr;
}

void CopyOprnInfo(const Oprn* src, Oprn* dst) {
  if (src == nullptr || dst == nullptr) return;
  dst->Effect = src->Effect;
  dst->Act = src->Act;
  dst->FromChannel = src->FromChannel;
  dst->ToChannel = src->ToChannel;
  dst->IntExt = src->IntExt;
  dst->MChannel = src->MChannel;
  dst->Param1 = src->Param1;
  dst->Param2 = src->Param2;
  dst->Param3 = src->Param3;
  dst->Param4 = src->Param4;
  dst->Param5 = src->Param5;
  dst->Mode = src->Mode;
  dst->Opa = src->Opa;
  dst->Param99 = src->Param99;
}

namespace {

// Replaces dst's block of one attached record by a fresh copy of src's. The old block goes
// first (a failed copy leaves the pointer null, never the old record half-replaced); a block
// that dst only shared with src is dropped, not freed.
template <class R, class CopyFn>
bool ReplaceBlock(const R* from, R*& to, size_t size, CopyFn copy) {
  if (to != from) DeleteRecordBlock(to);
  to = nullptr;
  if (from == nullptr) return true;
  void* p = NewRecordBlock(size);
  if (p == nullptr) return false;
  if constexpr (std::is_arithmetic_v<R>)
    to = static_cast<R*>(p);  // the colour matrix: a plain array of cells
  else
    to = new (p) R;
  copy(from, to);
  return true;
}

bool CopyFile(const Oprn* src, Oprn* dst) {
  if (dst->FileOprn != src->FileOprn) delete dst->FileOprn;
  dst->FileOprn = nullptr;
  if (src->FileOprn == nullptr) return true;
  dst->FileOprn = new (std::nothrow) fichier;
  if (dst->FileOprn == nullptr) return false;
  Copy_FicStruct(src->FileOprn, dst->FileOprn);
  BuildVName(dst->FileOprn, dst->FileOprn->path, &dst->FileOprn->parent, 1);
  return true;
}

bool CopyParamBlock(const Oprn* src, Oprn* dst) {
  if (dst->MulStruc != src->MulStruc) Dele_MulStruc(dst->MulStruc);
  dst->MulStruc = nullptr;
  if (src->MulStruc == nullptr) return true;
  MulStruc* fresh = nullptr;
  if (Alloc_MulStruc(&fresh, 0) != 0) return false;
  // Every registered record at its defaults, then the source's records over them.
  if (Init_MulStruc(fresh, 1, 1) != 0 || Copy_MulStruc(src->MulStruc, fresh) != 0) {
    Dele_MulStruc(fresh);
    return false;
  }
  dst->MulStruc = fresh;
  return true;
}

// After a stop, a pointer that was never reached must not point at the source's record.
void Unshare(const Oprn* src, Oprn* dst) {
  if (dst->SelOprnExt == src->SelOprnExt) dst->SelOprnExt = nullptr;
  if (dst->FileOprn == src->FileOprn) dst->FileOprn = nullptr;
  if (dst->ColMat == src->ColMat) dst->ColMat = nullptr;
  if (dst->LutVign == src->LutVign) dst->LutVign = nullptr;
  if (dst->MulStruc == src->MulStruc) dst->MulStruc = nullptr;
  if (dst->Path3D == src->Path3D) dst->Path3D = nullptr;
}

}  // namespace

int32_t CopyOprn(const Oprn* src, Oprn* dst) {
  if (src == nullptr || dst == nullptr) return -1;
  if (src == dst) return 0;
  CopyOprnInfo(src, dst);
  const bool ok =
      ReplaceBlock(src->SelOprnExt, dst->SelOprnExt, sizeof(OprnExt), CopyOprnExt) &&
      CopyFile(src, dst) &&
      ReplaceBlock(src->ColMat, dst->ColMat, sizeof(int32_t) * kColMatCells,
                   [](const int32_t* s, int32_t* d) {
                     std::copy(s, s + kColMatCells, d);
                   }) &&
      ReplaceBlock(src->LutVign, dst->LutVign, sizeof(::LutVign), Copy_LutVign) &&
      CopyParamBlock(src, dst) &&
      ReplaceBlock(src->Path3D, dst->Path3D, sizeof(::Path3D), Copy_Path3D);
  if (ok) return 0;
  Unshare(src, dst);
  return -1;
}

void SwapOprn(Oprn* op, int16_t dir, int16_t force) {
  if (op == nullptr) return;
  int16_t* words[] = {&op->Effect, &op->Param1, &op->Param2, &op->Param3,
                      &op->Param4, &op->Param5, &op->Param99};
  for (int16_t* w : words) {
    if (dir == 1)
      CFSwapSInt16HostToLittle(w, force);
    else
      CFSwapSInt16LittleToHost(w);
  }
  if (op->SelOprnExt != nullptr) SwapOprnExt(op->SelOprnExt, dir, force);
}

void InitOprnExt(OprnExt* ext) {
  if (ext == nullptr) return;
  ext->ByteOrder = 1;
  std::fill(std::begin(ext->head), std::end(ext->head), 0);
  ext->head[0] = 1;
  for (int k = 0; k < OprnExt::kEntries; ++k) {
    ext->SelFlag[k] = 0;
    ext->SelLevel[k] = 100;
    ext->SelValueB[k] = ext->SelValueC[k] = ext->SelValueD[k] = 50;
  }
}

void CopyOprnExt(const OprnExt* src, OprnExt* dst) {
  if (src == nullptr || dst == nullptr || src == dst) return;
  // The fields are the first 348 bytes; the reserved rest is never copied.
  std::memcpy(static_cast<void*>(dst), static_cast<const void*>(src),
              offsetof(OprnExt, reserved));
}

void SwapOprnExt(OprnExt* ext, int16_t dir, int16_t force) {
  if (ext != nullptr) vmkrec::SwapRecord(*ext, dir, force);
}

void Copy_Path3D(const Path3D* src, Path3D* dst) {
  if (src == nullptr || dst == nullptr || src == dst) return;
  dst->direction = src->direction;
  dst->flag = src->flag;
  std::copy(std::begin(src->rects), std::end(src->rects), dst->rects);
  Copy_LutVign(&src->lut, &dst->lut);
  std::copy(std::begin(src->table), std::end(src->table), dst->table);
}
