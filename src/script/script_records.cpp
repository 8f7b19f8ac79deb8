// The effect families' parameter records of an operation, reached through its MulStruc and
// the registered record kinds.
#include "script/param_block.h"
#include "script/record_kinds.h"
#include "script/script_file.h"

void ScriptFile::GetRecordPar(int16_t kind, int16_t s, int16_t l, int16_t o, void* out) {
  const RecordKind* k = FindRecordKind(kind);
  if (k == nullptr || out == nullptr) return;
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr || op->MulStruc == nullptr) {
    (k->accessDefaults != nullptr ? k->accessDefaults : k->blockDefaults)(out, AccessSizes());
    return;
  }
  // A block without this record gains it at its defaults; the records it holds stay: a
  // getter that freed them would lose the other families' settings of the step on a read.
  if (MulStrucRecord(op->MulStruc, kind) == nullptr && Init_MulStruc(op->MulStruc, 1, kind) != 0)
    return;
  k->copy(MulStrucRecord(op->MulStruc, kind), out);
}

int16_t ScriptFile::SetRecordPar(int16_t kind, int16_t s, int16_t l, int16_t o, const void* in) {
  const RecordKind* k = FindRecordKind(kind);
  Oprn* op = GetOprn(s, l, o);
  if (k == nullptr || in == nullptr || op == nullptr) return -1;
  const bool made = op->MulStruc == nullptr;
  if (made && Alloc_MulStruc(&op->MulStruc, 0) != 0) return -1;
  if (MulStrucRecord(op->MulStruc, kind) == nullptr && Init_MulStruc(op->MulStruc, 1, kind) != 0) {
    if (made) {
      Dele_MulStruc(op->MulStruc);
      op->MulStruc = nullptr;
    }
    return -1;
  }
  k->copy(in, MulStrucRecord(op->MulStruc, kind));
  return 0;
}

#define VMK_RECORD_ACCESSORS(X, kind)                                                    \
  void ScriptFile::Get##X(int16_t s, int16_t l, int16_t o, X* out) {                     \
    GetRecordPar(kind, s, l, o, out);                                                    \
  }                                                                                      \
  int16_t ScriptFile::Set##X(int16_t s, int16_t l, int16_t o, const X* in) {             \
    return SetRecordPar(kind, s, l, o, in);                                              \
  }
VMK_RECORD_ACCESSORS(PlaidPar, 2)
VMK_RECORD_ACCESSORS(RepPar, 3)
VMK_RECORD_ACCESSORS(SupVigPar, 4)
VMK_RECORD_ACCESSORS(ScreenPar, 5)
VMK_RECORD_ACCESSORS(TessPar, 6)
VMK_RECORD_ACCESSORS(FramPar, 7)
VMK_RECORD_ACCESSORS(TcolPar, 8)
VMK_RECORD_ACCESSORS(TextuPar, 10)
VMK_RECORD_ACCESSORS(ShadoPar, 11)
VMK_RECORD_ACCESSORS(CookiCutPar, 12)
VMK_RECORD_ACCESSORS(StrokPar, 13)
VMK_RECORD_ACCESSORS(LBlurPar, 14)
VMK_RECORD_ACCESSORS(FlarePar, 15)
VMK_RECORD_ACCESSORS(XTrudePar, 16)
VMK_RECORD_ACCESSORS(CombImaPar, 17)
VMK_RECORD_ACCESSORS(HeschPar, 18)
VMK_RECORD_ACCESSORS(BDropPar, 19)
VMK_RECORD_ACCESSORS(FractPar, 20)
VMK_RECORD_ACCESSORS(YoxelPar, 21)
VMK_RECORD_ACCESSORS(GridPar, 22)
VMK_RECORD_ACCESSORS(ColCorPar, 23)
VMK_RECORD_ACCESSORS(BordPar, 24)
VMK_RECORD_ACCESSORS(ShapePar, 26)
VMK_RECORD_ACCESSORS(CompoPar, 27)
VMK_RECORD_ACCESSORS(ZondracPar, 30)
#undef VMK_RECORD_ACCESSORS

void ScriptFile::GetSprayPar(int16_t, int16_t, int16_t, SprayPar*) {}

int16_t ScriptFile::SetSprayPar(int16_t, int16_t, int16_t, const SprayPar*) { return 0; }
