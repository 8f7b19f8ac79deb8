#include "script/layers.h"

#include <algorithm>
#include <new>

#include "app/core/text_helpers.h"
#include "paths/path_list.h"
#include "script/operation.h"

namespace {

// The singly linked lists of layers (through next) and of operations (through NextOprn)
// share one set of position rules.
template <class T, T* T::*Next>
struct Chain {
  // Item n counted from 1; null for n below 1 or beyond the list.
  static T* At(T* head, int32_t n) {
    if (n < 1) return nullptr;
    while (head != nullptr && --n > 0) head = head->*Next;
    return head;
  }

  static T* Last(T* head) {
    while (head != nullptr && head->*Next != nullptr) head = head->*Next;
    return head;
  }

  // k 0 (or below): first; k above the count: last; else after item k.
  static void Insert(T*& head, int32_t count, int32_t k, T* item) {
    T* after = k > count ? Last(head) : At(head, k);
    if (after == nullptr) {
      item->*Next = head;
      head = item;
    } else {
      item->*Next = after->*Next;
      after->*Next = item;
    }
  }

  static T* Unlink(T*& head, T* item) {
    if (head == item) {
      head = item->*Next;
    } else {
      T* p = head;
      while (p != nullptr && p->*Next != item) p = p->*Next;
      if (p == nullptr) return nullptr;
      p->*Next = item->*Next;
    }
    item->*Next = nullptr;
    return item;
  }

  // Moves item `from` after the item that was at `to` before the move (to 0: first).
  static void Move(T*& head, int32_t count, int32_t from, int32_t to) {
    if (from == to || from < 1 || from > count || to < 0 || to > count) return;
    T* item = At(head, from);
    T* target = At(head, to);
    Unlink(head, item);
    if (target == nullptr) {
      item->*Next = head;
      head = item;
    } else {
      item->*Next = target->*Next;
      target->*Next = item;
    }
  }
};

using Layers = Chain<Laye, &Laye::next>;
using Oprns = Chain<Oprn, &Oprn::NextOprn>;

// "Layer " and a number, as every inserted layer is named.
void NameLayer(Laye* layer, int32_t number) {
  Str255 digits = {0};
  VMK_NumToString(number, digits);
  SetPStr(layer->name, "Layer ");
  Pstrcat(layer->name, digits);
}

}  // namespace

void DeleteOprnChain(Oprn* op) {
  while (op != nullptr) {
    Oprn* next = op->NextOprn;
    delete op;
    op = next;
  }
}


Laye::Laye() : paths(new CPathList(0)) {}

Laye::~Laye() {
  delete paths;
  paths = nullptr;
  DeleteOprnChain(firstOprn);
  firstOprn = nullptr;
  oprnCount = 0;
}

LayerFile::~LayerFile() {
  Laye* l = firstLaye;
  while (l != nullptr) {
    Laye* next = l->next;
    delete l;
    l = next;
  }
  firstLaye = nullptr;
  layerCount = 0;
}

Laye* LayerFile::GetLaye(int16_t n) const { return Layers::At(firstLaye, n); }

void LayerFile::AddLaye(int16_t n, Laye* layer) {
  if (layer == nullptr) return;
  Layers::Insert(firstLaye, layerCount, std::max<int16_t>(n, 0), layer);
  ++layerCount;
  // The number is the new count less one wherever the layer went; only a layer put first
  // with position 0 is always numbered 0. Stored layer sets carry names made this way.
  NameLayer(layer, n <= 0 ? 0 : layerCount - 1);
}

void LayerFile::EmptyLaye(int16_t n) {
  Laye* l = GetLaye(n);
  if (l == nullptr) return;
  if (l->paths != nullptr) {
    delete l->paths;
    l->paths = new CPathList(0);
  }
  DeleteOprnChain(l->firstOprn);
  l->firstOprn = nullptr;
  l->oprnCount = 0;
}

void LayerFile::MoveLaye(int16_t from, int16_t to) { Layers::Move(firstLaye, layerCount, from, to); }

namespace {

void CopyPaths(const Laye* from, Laye* to) {
  delete to->paths;
  to->paths = new CPathList(0);
  if (from->paths != nullptr) from->paths->CopyPathList(to->paths);
}

// Every operation of `from`, in order, copied onto the end of `to` (an empty list). The
// copies go into the layer object itself, so a copy into a stack that already had layers
// cannot land in a neighbour.
void CopyOprns(const Laye* from, Laye* to) {
  int16_t k = 1;
  for (const Oprn* op = from->firstOprn; op != nullptr; op = op->NextOprn, ++k) {
    Oprn* copy = new Oprn;
    InitOprn(copy);
    Oprns::Insert(to->firstOprn, to->oprnCount, k, copy);
    ++to->oprnCount;
    CopyOprn(op, copy);
  }
}

}  // namespace

void LayerFile::CopyLaye(int16_t from, int16_t to, int16_t what) {
  if (from == to || what < 0 || what > 2) return;
  Laye* source = GetLaye(from);
  Laye* target = GetLaye(to);
  if (source == nullptr || target == nullptr) return;
  if (what == 0) {
    target->LayFlag = source->LayFlag;
    target->active = source->active;
    target->lock = source->lock;
  }
  if (what == 0 || what == 1) CopyPaths(source, target);
  if (what == 0 || what == 2) {
    CleanOprnLaye(to);
    CopyOprns(source, target);
  }
}

void LayerFile::CopyAllLaye(LayerFile* target) const {
  if (target == nullptr || target == this) return;
  int16_t k = 1;
  for (const Laye* l = firstLaye; l != nullptr; l = l->next, ++k) {
    Laye* copy = new Laye;
    target->AddLaye(k, copy);
    copy->LayFlag = l->LayFlag;
    copy->active = l->active;
    copy->lock = l->lock;
    pStrCopy(l->name, copy->name);
    CopyPaths(l, copy);
    CopyOprns(l, copy);
  }
}

void LayerFile::DeleteLaye(int16_t n) {
  Laye* l = GetLaye(n);
  if (l == nullptr) return;
  Layers::Unlink(firstLaye, l);
  delete l;
  --layerCount;
}

void LayerFile::DeleteAllLaye() {
  for (int16_t k = layerCount; k > 0; --k) DeleteLaye(1);
}

namespace {

// A layer's flag, 0 for a missing layer, also stored in *out when given.
int16_t ReadFlag(const Laye* l, int16_t Laye::*flag, int16_t* out) {
  const int16_t v = l != nullptr ? l->*flag : 0;
  if (out != nullptr) *out = v;
  return v;
}

}  // namespace

int16_t LayerFile::GetLayAct(int16_t n, int16_t* out) const {
  return ReadFlag(GetLaye(n), &Laye::active, out);
}

void LayerFile::SetLayAct(int16_t n, int16_t value) {
  if (Laye* l = GetLaye(n)) l->active = value;
}

int16_t LayerFile::GetLayLock(int16_t n, int16_t* out) const {
  return ReadFlag(GetLaye(n), &Laye::lock, out);
}

void LayerFile::SetLayLock(int16_t n, int16_t value) {
  if (Laye* l = GetLaye(n)) l->lock = value;
}

Oprn* LayerFile::GetOprnLaye(int16_t n, int16_t k) const {
  const Laye* l = GetLaye(n);
  return l != nullptr ? Oprns::At(l->firstOprn, k) : nullptr;
}

Laye* LayerFile::AddOprnLaye(int16_t n, int16_t k, Oprn* op) {
  Laye* l = GetLaye(n);
  if (l == nullptr || op == nullptr) return l;
  Oprns::Insert(l->firstOprn, l->oprnCount, std::max<int16_t>(k, 0), op);
  ++l->oprnCount;
  return l;
}

void LayerFile::DeleteOprnLaye(int16_t n, int16_t k) {
  Laye* l = GetLaye(n);
  Oprn* op = l != nullptr ? Oprns::At(l->firstOprn, k) : nullptr;
  if (op == nullptr) return;
  Oprns::Unlink(l->firstOprn, op);
  delete op;
  --l->oprnCount;
}

void LayerFile::CleanOprnLaye(int16_t n) {
  Laye* l = GetLaye(n);
  if (l == nullptr) return;
  DeleteOprnChain(l->firstOprn);
  l->firstOprn = nullptr;
  l->oprnCount = 0;
}

void LayerFile::MoveOprnLaye(int16_t n, int16_t from, int16_t to) {
  if (Laye* l = GetLaye(n)) Oprns::Move(l->firstOprn, l->oprnCount, from, to);
}
