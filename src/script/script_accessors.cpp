// Access to one operation of a script by (stack, layer, operation): list operations, field
// getters and setters, and the operation's own attached records.
#include <algorithm>
#include <cstring>
#include <new>

#include "app/core/session_state.h"
#include "script/param_block.h"
#include "script/script_file.h"

LayerFile* ScriptFile::GetStack(int16_t stack) const {
  return stack >= 0 && stack < kStacks ? stacks[stack] : nullptr;
}

Laye* ScriptFile::LayerAt(int16_t s, int16_t l) const {
  const LayerFile* stack = GetStack(s);
  return stack != nullptr ? stack->GetLaye(l) : nullptr;
}

Oprn* ScriptFile::OprnOrNew(int16_t s, int16_t l, int16_t o) {
  if (LayerAt(s, l) == nullptr) return nullptr;
  if (Oprn* op = GetOprn(s, l, o)) return op;
  Oprn* op = new Oprn;
  InitOprn(op);
  stacks[s]->AddOprnLaye(l, o, op);
  return op;
}

DefaultSizes ScriptFile::AccessSizes() const {
  DefaultSizes d = SessionDefaultSizes();
  d.width = width;
  d.height = height;
  d.resolution = WholeResolution(resolution);
  return d;
}

// --- List operations -------------------------------------------------------------------------

Laye* ScriptFile::AddOprn(int16_t s, int16_t l, int16_t index, Oprn* op) {
  LayerFile* stack = GetStack(s);
  return stack != nullptr ? stack->AddOprnLaye(l, index, op) : nullptr;
}

void ScriptFile::MoveOprn(int16_t s, int16_t l, int16_t from, int16_t to) {
  if (LayerFile* stack = GetStack(s)) stack->MoveOprnLaye(l, from, to);
}

void ScriptFile::DeleteOprn(int16_t s, int16_t l, int16_t index) {
  if (LayerFile* stack = GetStack(s)) stack->DeleteOprnLaye(l, index);
}

void ScriptFile::CleanOprn(int16_t s, int16_t l) {
  if (LayerFile* stack = GetStack(s)) stack->CleanOprnLaye(l);
}

Oprn* ScriptFile::GetOprn(int16_t s, int16_t l, int16_t index) const {
  const LayerFile* stack = GetStack(s);
  return stack != nullptr ? stack->GetOprnLaye(l, index) : nullptr;
}

// --- Fields ----------------------------------------------------------------------------------

namespace {

template <class Out, class Field>
Oprn* GetField(Oprn* op, Out* out, Out missing, Field field) {
  if (out != nullptr) *out = op != nullptr ? static_cast<Out>(field(*op)) : missing;
  return op;
}

}  // namespace

#define VMK_FIELD_GETTER(Name, Type, Missing, member)                                 \
  Oprn* ScriptFile::Name(int16_t s, int16_t l, int16_t o, Type* out) const {          \
    return GetField<Type>(GetOprn(s, l, o), out, Missing,                             \
                          [](const Oprn& op) { return op.member; });                  \
  }
VMK_FIELD_GETTER(GetEffect, int16_t, 0, Effect)
VMK_FIELD_GETTER(GetFromChannel, int16_t, 0, FromChannel)
VMK_FIELD_GETTER(GetToChannel, int16_t, 0, ToChannel)
VMK_FIELD_GETTER(GetMChannel, int16_t, 0, MChannel)
VMK_FIELD_GETTER(GetIntExt, int16_t, 0, IntExt)
VMK_FIELD_GETTER(GetParam1, int16_t, 0, Param1)
VMK_FIELD_GETTER(GetParam2, int16_t, 0, Param2)
VMK_FIELD_GETTER(GetParam3, int16_t, 0, Param3)
VMK_FIELD_GETTER(GetParam4, int16_t, 0, Param4)
VMK_FIELD_GETTER(GetParam5, int16_t, 0, Param5)
VMK_FIELD_GETTER(GetParam99, int16_t, 0, Param99)
VMK_FIELD_GETTER(GetMode, uint8_t, 0, Mode)
VMK_FIELD_GETTER(GetOpa, uint8_t, 255, Opa)
#undef VMK_FIELD_GETTER

int16_t ScriptFile::GetAct(int16_t s, int16_t l, int16_t o, int16_t* out) const {
  const Oprn* op = GetOprn(s, l, o);
  const int16_t v = op != nullptr ? op->Act : 0;
  if (out != nullptr) *out = v;
  return v;
}

#define VMK_FIELD_SETTER(Name, member, Type)                                   \
  void ScriptFile::Name(int16_t s, int16_t l, int16_t o, int16_t value) {      \
    if (Oprn* op = OprnOrNew(s, l, o)) op->member = static_cast<Type>(value);  \
  }
VMK_FIELD_SETTER(SetFromChannel, FromChannel, int8_t)
VMK_FIELD_SETTER(SetToChannel, ToChannel, int8_t)
VMK_FIELD_SETTER(SetMChannel, MChannel, int8_t)
VMK_FIELD_SETTER(SetIntExt, IntExt, int8_t)
VMK_FIELD_SETTER(SetParam1, Param1, int16_t)
VMK_FIELD_SETTER(SetParam2, Param2, int16_t)
VMK_FIELD_SETTER(SetParam3, Param3, int16_t)
VMK_FIELD_SETTER(SetParam4, Param4, int16_t)
VMK_FIELD_SETTER(SetParam5, Param5, int16_t)
VMK_FIELD_SETTER(SetParam99, Param99, int16_t)
VMK_FIELD_SETTER(SetMode, Mode, uint8_t)
VMK_FIELD_SETTER(SetOpa, Opa, uint8_t)
#undef VMK_FIELD_SETTER

void ScriptFile::SetAct(int16_t s, int16_t l, int16_t o, int16_t value) {
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr) return;
  // An operation without an effect stays inactive whatever the editor asks.
  op->Act = op->Effect == 0 ? 0 : static_cast<int8_t>(value);
}

// --- The operation's own records -------------------------------------------------------------

namespace {

// Makes an attached record of type R when absent; false when memory runs short.
template <class R>
bool EnsureRecord(R*& field) {
  if (field == nullptr) field = NewRecord<R>();
  return field != nullptr;
}

}  // namespace

void ScriptFile::GetColMat(int16_t s, int16_t l, int16_t o, int32_t* out) {
  if (out == nullptr) return;
  Oprn* op = GetOprn(s, l, o);
  if (op != nullptr && op->ColMat == nullptr)
    op->ColMat = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
  if (op == nullptr || op->ColMat == nullptr) {
    std::fill(out, out + kColMatCells, 0);
    return;
  }
  std::copy(op->ColMat, op->ColMat + kColMatCells, out);
}

int16_t ScriptFile::SetColMat(int16_t s, int16_t l, int16_t o, const int32_t* in) {
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr || in == nullptr) return -1;
  if (op->ColMat == nullptr)
    op->ColMat = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
  if (op->ColMat == nullptr) return -1;
  std::copy(in, in + kColMatCells, op->ColMat);
  return 0;
}

void ScriptFile::GetLutVign(int16_t preset, int16_t s, int16_t l, int16_t o,
                            LutVign* out) const {
  const Oprn* op = GetOprn(s, l, o);
  if (op != nullptr && op->LutVign != nullptr)
    Copy_LutVign(op->LutVign, out);
  else
    Init_LutVign(preset, out, 0, 0, 0, 0);
}

int16_t ScriptFile::SetLutVign(int16_t s, int16_t l, int16_t o, const LutVign* in) {
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr || in == nullptr || !EnsureRecord(op->LutVign)) return -1;
  Copy_LutVign(in, op->LutVign);
  return 0;
}

void ScriptFile::GetPath3D(int16_t s, int16_t l, int16_t o, Path3D* out) const {
  if (out == nullptr) return;
  const Oprn* op = GetOprn(s, l, o);
  if (op != nullptr && op->Path3D != nullptr) {
    Copy_Path3D(op->Path3D, out);
    return;
  }
  // Two nested rectangles scaled to the planes; the table stays as the caller had it.
  const int32_t w = planeWidth, h = planeHeight;
  out->direction = 0;
  out->flag = 1;
  const int32_t points[8] = {w / 4, h / 4, 3 * w / 4, 3 * h / 4, 3 * w / 8, 3 * h / 8,
                             7 * w / 8, 7 * h / 8};
  std::copy(points, points + 8, out->rects);
  Init_LutVign(0, &out->lut, 0, 0, 0, 0);
}

int16_t ScriptFile::SetPath3D(int16_t s, int16_t l, int16_t o, const Path3D* in) {
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr || in == nullptr || !EnsureRecord(op->Path3D)) return -1;
  Copy_Path3D(in, op->Path3D);
  return 0;
}

int16_t ScriptFile::GetSelOprnExt(int16_t s, int16_t l, int16_t o, OprnExt* out) const {
  const Oprn* op = GetOprn(s, l, o);
  const bool has = op != nullptr && op->SelOprnExt != nullptr;
  if (out == nullptr) return has ? 1 : 0;
  if (!has) {
    InitOprnExt(out);
    return 0;
  }
  CopyOprnExt(op->SelOprnExt, out);
  return 1;
}

int16_t ScriptFile::SetSelOprnExt(int16_t s, int16_t l, int16_t o, const OprnExt* in) {
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr || in == nullptr || !EnsureRecord(op->SelOprnExt)) return -1;
  CopyOprnExt(in, op->SelOprnExt);
  return 0;
}

Oprn* ScriptFile::GetFileOprn(int16_t s, int16_t l, int16_t o, fichier** out) const {
  Oprn* op = GetOprn(s, l, o);
  if (out != nullptr) *out = op != nullptr ? op->FileOprn : nullptr;
  return op;
}

int16_t ScriptFile::SetFileOprn(int16_t s, int16_t l, int16_t o, const fichier* in) {
  if (in == nullptr) return -1;
  Oprn* op = OprnOrNew(s, l, o);
  if (op == nullptr) return -1;
  if (op->FileOprn == nullptr) op->FileOprn = new (std::nothrow) fichier;
  if (op->FileOprn == nullptr) return -1;
  Copy_FicStruct(in, op->FileOprn);
  BuildVName(op->FileOprn, op->FileOprn->path, &op->FileOprn->parent, 1);
  return 0;
}

void ScriptFile::GetMulStruc(int16_t s, int16_t l, int16_t o, MulStruc* out) const {
  if (out == nullptr) return;
  const Oprn* op = GetOprn(s, l, o);
  if (op != nullptr && op->MulStruc != nullptr)
    Copy_MulStruc(op->MulStruc, out);
  else
    Init_MulStruc(out, 1, 1);
}

int16_t ScriptFile::SetMulStruc(int16_t s, int16_t l, int16_t o, const MulStruc* in) {
  Oprn* op = GetOprn(s, l, o);
  if (op == nullptr || in == nullptr) return -1;
  if (op->MulStruc == nullptr) {
    MulStruc* fresh = nullptr;
    if (Alloc_MulStruc(&fresh, 0) != 0) return -1;
    if (Init_MulStruc(fresh, 1, 1) != 0) {
      Dele_MulStruc(fresh);
      return -1;
    }
    op->MulStruc = fresh;
  }
  return Copy_MulStruc(in, op->MulStruc) == 0 ? 0 : -1;
}
