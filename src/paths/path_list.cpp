// The path list: its chain, selection, adding and removing paths, hit
// tests, copies and attachments, bounds and drawing.
#include "paths/path_list.h"

#include "paths/path_internal.h"
#include "paths/text_objects.h"
#include "platform/draw/port.h"

namespace draw = plat::draw;

CPathList::CPathList(int16_t single) : singlePath(single), drawPar(SessionDrawPar()) {
  Init_TObjPar(&objPar);
}

CPathList::~CPathList() { FreeAll(); }

void CPathList::FreeAll() {
  CPath* p = first;
  while (p != nullptr) {
    CPath* nx = p->next;
    delete p;
    p = nx;
  }
  first = nullptr;
  current = nullptr;
  count = 0;
}

CPath* CPathList::Last() const {
  CPath* p = first;
  while (p != nullptr && p->next != nullptr) p = p->next;
  return p;
}

void CPathList::SetTObjPar(const TObjPar* src) { Copy_TObjPar(src, &objPar); }

void CPathList::SetDrw(GrafPtr port, const DrawPar* src) {
  SetDrawParAndPort(drawPar, port, src);
}

void CPathList::SetDrwVal(int32_t, int32_t, int32_t, int32_t, float offsetX, float offsetY,
                          int16_t mode, float scaleX, float scaleY, float originX,
                          float originY) {
  if (drawPar == nullptr) return;
  drawPar->viewOffsetX = offsetX;
  drawPar->viewOffsetY = offsetY;
  drawPar->mode = mode;
  drawPar->scaleX = scaleX;
  drawPar->scaleY = scaleY;
  drawPar->originX = originX;
  drawPar->originY = originY;
}

int32_t CPathList::AddPath(int16_t draw) {
  InActivateAll(draw);
  // The tools start a new path only once the current one holds something.
  if (current != nullptr && current->first == nullptr && current->txtObj == nullptr) return -1;
  CPath* np;
  if (first == nullptr) {
    np = new CPath;
    first = np;
  } else {
    if (singlePath == 1) return -1;
    CPath* last = Last();
    np = new CPath;
    if (draw == 1) last->DrawPath(0, colour);
    last->active = 0;
    if (draw == 1) last->DrawPath(0, colour);
    last->next = np;
  }
  np->active = 1;
  np->next = nullptr;
  current = np;
  ++count;
  return 0;
}

void CPathList::RemoveSelPath(int16_t draw) {
  if (first != nullptr) {
    CPath* trail = first;
    while (trail->next != nullptr) {
      CPath* s = trail->next;
      if (s->active != 0) {
        if (draw == 1) s->DrawPath(0, colour);
        trail->next = s->next;
        delete s;
        --count;
      } else {
        trail = s;
      }
    }
    // The head is handled last, so that the chain moves on to its successor.
    if (first->active != 0) {
      CPath* head = first;
      if (draw == 1) head->DrawPath(0, colour);
      first = head->next;
      delete head;
      --count;
    }
    if (first == nullptr) count = 0;
  }
  current = nullptr;
}

void CPathList::RemovePath(int16_t draw) {
  if (first == nullptr) return;
  CPath* p = first;
  while (p != nullptr) {
    CPath* nx = p->next;
    if (draw == 1) p->DrawPath(1, colour);
    --count;
    delete p;
    p = nx;
  }
  first = nullptr;
  count = 0;
  current = nullptr;
}

void CPathList::DelKeyHit() {
  if (tool == 22 || tool == 23 || tool == 35) {
    // The knot-adding tools take back their last knot (drawn in XOR).
    if (current != nullptr) current->DeleteLastPoint();
    return;
  }
  RemoveSelPath(1);
}

void CPathList::DuplicatePathList() {
  CPath* p = first;
  while (p != nullptr) {
    CPath* nx = p->next;
    if (p->active != 0) {
      CPath* c = new CPath;
      c->DuplicatePath(p, 0);
      c->Move(20.0f, 20.0f);
      c->active = 1;
      c->SelectAll();
      c->DrawPath(0, colour);
      c->next = first;
      first = c;
      ++count;
    }
    p = nx;
  }
}

void CPathList::ActivateAll(int16_t draw) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->active != 0) continue;
    if (draw == 1 || draw == 2) p->DrawPath(0, colour);
    p->Activate();
    if (draw == 1) p->DrawPath(0, colour);
  }
}

void CPathList::InActivateAll(int16_t draw) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->active == 0) continue;
    if (draw == 1 || draw == 2) p->DrawPath(0, colour);
    p->Inactivate();
    if (draw == 1) p->DrawPath(0, colour);
  }
}

void CPathList::SelectAll(int16_t draw) {
  paths_detail::XorPen pen;
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->active != 0) continue;
    if (draw == 1) p->DrawPath(0, colour);
    p->Activate();
    if (draw == 1) p->DrawPath(0, colour);
  }
  for (CPath* p = first; p != nullptr; p = p->next) {
    CPathPoint* k = p->first;
    for (int32_t i = 0; i < p->count && k != nullptr; ++i) {
      if (k->selected == 0) {
        if (draw == 1) k->DrawSelf();
        k->selected = 1;
        if (draw == 1) k->DrawSelf();
      }
      k = k->next;
      if (k == p->first) break;
    }
  }
}

void CPathList::DrawPathList(GrafPtr port, int16_t, int16_t mode, RGBColor c) {
  draw::Port* saved = draw::GetPort();
  if (port != nullptr) draw::SetPort(port);
  draw::ClipRect(paths_detail::DrawParOr(drawPar).limit);
  for (CPath* p = first; p != nullptr; p = p->next) p->DrawPath(mode, c);
  draw::SetPort(saved);
}

void CPathList::DrawPivot(int16_t mode, RGBColor c, float x, float y) {
  paths_detail::PenScope pen(mode, c);
  const Point s = PathToPort(paths_detail::DrawParOr(drawPar), x, y);
  draw::MoveTo(static_cast<int16_t>(s.h - 5), s.v);
  draw::LineTo(static_cast<int16_t>(s.h + 5), s.v);
  draw::MoveTo(s.h, static_cast<int16_t>(s.v - 5));
  draw::LineTo(s.h, static_cast<int16_t>(s.v + 5));
}

int32_t CPathList::AreWeOnPath(Point pt, intptr_t* hitInfo, intptr_t* path) {
  if (hitInfo != nullptr) *hitInfo = 0;
  if (path != nullptr) *path = 0;
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  const float x = PortToPathX(dp, pt.h), y = PortToPathY(dp, pt.v);
  for (CPath* p = first; p != nullptr; p = p->next) {
    CPathPoint* a = nullptr;
    CPathPoint* b = nullptr;
    int16_t t = 0;
    const int16_t r = p->IfOnCurve(x, y, &a, &b, &t, hitInfo);
    if (r != 0) {
      if (path != nullptr) *path = reinterpret_cast<intptr_t>(p);
      return r;
    }
  }
  return 0;
}

int32_t CPathList::AreWeOnTxtPath(Point pt, intptr_t* txtPathOut) {
  if (txtPathOut != nullptr) *txtPathOut = 0;
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  const float x = PortToPathX(dp, pt.h), y = PortToPathY(dp, pt.v);
  for (CPath* p = first; p != nullptr; p = p->next) {
    CPathPoint* a = nullptr;
    CPathPoint* b = nullptr;
    int16_t t = 0;
    intptr_t object = 0;
    if (p->IfOnCurve(x, y, &a, &b, &t, &object) != 3 || p->txtPath == nullptr ||
        p->active == 0) {
      continue;
    }
    switch (p->txtPath->OnCtrl(pt)) {
      case 0:
      case 1:
      case 3:
        if (txtPathOut != nullptr) *txtPathOut = reinterpret_cast<intptr_t>(p->txtPath);
        return 1;
      case 2:
        p->txtPath->TransfoToOutline(1, this);
        for (CPath* q = first; q != nullptr; q = q->next) q->Inactivate();
        p->Activate();
        RemoveSelPath(0);
        return 2;
      case -1:
        return -1;
      default:
        break;
    }
  }
  return 0;
}

int32_t CPathList::AreWeOnTxtObjCtrl(Point pt, intptr_t* txtObjOut) {
  if (txtObjOut != nullptr) *txtObjOut = 0;
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->active != 1 || p->txtObj == nullptr) continue;
    const int16_t r = p->txtObj->OnCtrl(pt);
    if (r == 0 || r == 1 || r == 3) {
      if (txtObjOut != nullptr) *txtObjOut = reinterpret_cast<intptr_t>(p->txtObj);
      return r == 0 ? 4 : r;
    }
    if (r == 2) {
      p->txtObj->TransfoToOutline(this);
      for (CPath* q = first; q != nullptr; q = q->next) q->Inactivate();
      p->Activate();
      RemoveSelPath(0);
      return 2;
    }
    if (r == -1) return -1;
  }
  return 0;
}

CPath* CPathList::CapturePath(float x, float y, float* length) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    CPathPoint* a = nullptr;
    CPathPoint* b = nullptr;
    int16_t t = 0;
    intptr_t object = 0;
    if (p->IfOnCurve(x, y, &a, &b, &t, &object) == 1) {
      float sx = 0.0f, sy = 0.0f;
      p->GetLengthAtPoint(0, length, x, y, &sx, &sy);
      return p;
    }
  }
  return nullptr;
}

int32_t CPathList::LookForTxtPath() const {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->txtPath != nullptr) return 1;
  }
  return 0;
}

int32_t CPathList::FillOption() const {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->active != 0 && p->count > 1) return 1;
  }
  return 0;
}

void CPathList::CopyPathList(CPathList* dst) const {
  if (dst == nullptr || dst == this) return;
  dst->FreeAll();
  CPath* last = nullptr;
  for (CPath* p = first; p != nullptr; p = p->next) {
    CPath* c = new CPath;
    c->drawPar = dst->drawPar;
    p->CopyPath(c);
    paths_detail::LinkLast(dst->first, last, c);
    ++dst->count;
    if (p == current) dst->current = c;
  }
  dst->tool = tool;
}

void CPathList::CopyActivePaths(CPathList* dst) const {
  if (dst == nullptr || dst == this) return;
  CPath* last = dst->Last();
  int32_t copied = 0;
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->active == 0 || (p->first == nullptr && p->txtObj == nullptr)) continue;
    CPath* c = new CPath;
    c->drawPar = dst->drawPar;
    p->CopyPath(c);
    paths_detail::LinkLast(dst->first, last, c);
    ++copied;
  }
  dst->count += copied;
}

void CPathList::CopyAttachPathList(const CPathList* src) {
  if (src == nullptr || src == this) return;
  for (CPath* p = first; p != nullptr; p = p->next) p->Inactivate();
  CPath* last = Last();
  for (CPath* p = src->first; p != nullptr; p = p->next) {
    CPath* c = new CPath;
    c->drawPar = drawPar;
    p->CopyPath(c);
    paths_detail::LinkLast(first, last, c);
    ++count;
  }
}

void CPathList::AttachPathList(int16_t draw, CPathList* other) {
  if (other == nullptr || other == this || other->first == nullptr) return;
  CPath* head = other->first;
  if (first == nullptr) {
    first = head;
  } else {
    for (CPath* p = first; p != nullptr; p = p->next) {
      if (p->active == 0) continue;
      if (draw == 1) p->DrawPath(0, colour);
      p->Inactivate();
      if (draw == 1) p->DrawPath(0, colour);
    }
    Last()->next = head;
  }
  count += other->count;
  for (CPath* p = head; p != nullptr; p = p->next) {
    p->drawPar = drawPar;
    paths_detail::ForEachPathKnot(p, [this](CPathPoint* k) { k->drawPar = drawPar; });
    p->Activate();
    if (draw == 1) p->DrawPath(0, colour);
  }
  // The paths belong to this list now: the other list must not free them.
  other->first = nullptr;
  other->count = 0;
  other->current = nullptr;
}

void CPathList::CopyLastReformParams(const CPathList* src) {
  if (src == nullptr) return;
  resizeNumX = src->resizeNumX;
  resizeNumY = src->resizeNumY;
  resizeDenX = src->resizeDenX;
  resizeDenY = src->resizeDenY;
  lastReform = src->lastReform;
  moveX = src->moveX;
  moveY = src->moveY;
  rotation = src->rotation;
  pivotX = src->pivotX;
  pivotY = src->pivotY;
}

int32_t CPathList::GetBound(int16_t activeOnly, float* minX, float* minY, float* maxX,
                            float* maxY) const {
  if (first == nullptr) {
    *minX = *minY = *maxX = *maxY = 0.0f;
    return 0;
  }
  *minX = *minY = 1.0e11f;
  *maxX = *maxY = 0.0f;
  int32_t result = 0;
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (activeOnly != 0 && p->active == 0) continue;
    const int32_t r = p->GetBound(minX, minY, maxX, maxY);
    result = activeOnly != 0 ? 1 : r;
  }
  // The maxima never fall below 0: paths at negative coordinates report 0.
  if (*maxX < 0.0f) *maxX = 0.0f;
  if (*maxY < 0.0f) *maxY = 0.0f;
  return result;
}

void CPathList::InsertPoints(int32_t n) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->count > 1) p->InsertPoints(n);
  }
}
