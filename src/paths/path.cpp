// The path record and its knot chain: construction, copies, moves, bounds
// and the link texts.
#include "paths/path.h"

#include <algorithm>
#include <cstring>

#include "app/core/pascal_strings.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"

namespace {

// Frees a chain from its head: at most `count` knots, stopping at a null
// link, each knot's next link read before it is freed.
void FreeChain(CPathPoint* head, int32_t count) {
  // Open a ring at its end first, so that a count larger than the ring can
  // never free a knot twice.
  if (head != nullptr && head->prev != nullptr && head->prev->next == head) {
    head->prev->next = nullptr;
  }
  CPathPoint* k = head;
  for (int32_t i = 0; i < count && k != nullptr; ++i) {
    CPathPoint* nx = k->next;
    delete k;
    k = nx;
  }
}

// Copies a length-prefixed string into a field of `bytes` bytes, cutting it
// to the characters that fit so the length byte always tells the truth.
void StoreLinkString(uint8_t* field, int bytes, const uint8_t* src) {
  std::memset(field, 0, static_cast<size_t>(bytes));
  if (src != nullptr) PStrCopyCut(field, src, static_cast<size_t>(bytes - 1));
}

// Copies a stored link string out as a full length-prefixed string.
void LoadLinkString(const uint8_t* field, int bytes, uint8_t* dst) {
  if (dst != nullptr) PStrCopyCut(dst, field, static_cast<size_t>(bytes - 1));
}

}  // namespace

CPath::CPath() : drawPar(SessionDrawPar()) {}

CPath::~CPath() {
  delete txtObj;
  txtObj = nullptr;
  delete txtPath;
  txtPath = nullptr;
  FreeChain(first, count);
  first = nullptr;
  current = nullptr;
  count = 0;
}

const DrawPar& CPath::Drw() const { return paths_detail::DrawParOr(drawPar); }

void CPath::SetDrw(GrafPtr port, const DrawPar* dp) {
  SetDrawParAndPort(drawPar, port, dp);
}

void CPath::SetDrwVal(float offsetX, float offsetY, float scaleX, float scaleY, float originX,
                      float originY) {
  if (drawPar == nullptr) return;
  drawPar->viewOffsetX = offsetX;
  drawPar->viewOffsetY = offsetY;
  drawPar->scaleX = scaleX;
  drawPar->scaleY = scaleY;
  drawPar->originX = originX;
  drawPar->originY = originY;
}

int32_t CPath::CreaTxtObj() {
  delete txtObj;
  txtObj = new CTxtObj;
  return 0;
}

int32_t CPath::CreaTxtPath() {
  delete txtPath;
  txtPath = new CTxtPath;
  txtPath->state = 1;
  txtPath->followed = this;
  plain = 0;
  return 0;
}

void CPath::GetURL(int16_t* activeOut, int16_t* targetOut, uint8_t* name, uint8_t* alt) const {
  if (activeOut != nullptr) *activeOut = urlActive;
  if (targetOut != nullptr) *targetOut = urlTarget;
  LoadLinkString(urlName, kUrlBytes, name);
  LoadLinkString(urlAlt, kUrlBytes, alt);
}

void CPath::SetURLname(const uint8_t* name) { StoreLinkString(urlName, kUrlBytes, name); }
void CPath::SetURLalt(const uint8_t* alt) { StoreLinkString(urlAlt, kUrlBytes, alt); }

void CPath::CreaPathof_xpts(int32_t n, int16_t isClosed) {
  // A caller hands an empty path; knots it still held would otherwise be
  // lost with nothing pointing at them.
  FreeChain(first, count);
  first = nullptr;
  current = nullptr;
  count = 0;
  closed = isClosed;
  if (n <= 0) return;
  first = new CPathPoint(0.0f, 0.0f, 0);
  CPathPoint* last = first;
  for (int32_t i = 1; i < n; ++i) {
    CPathPoint* k = new CPathPoint(0.0f, 0.0f, 0);
    k->prev = last;
    last->next = k;
    last = k;
  }
  // Always a ring, whatever the closed flag: walks are bounded by the count.
  last->next = first;
  first->prev = last;
  count = n;
}

void CPath::AddPoint(CPathPoint* knot) {
  if (knot == nullptr) return;
  if (first == nullptr) {
    knot->prev = nullptr;
    knot->next = nullptr;
    first = knot;
    count = 1;
    return;
  }
  CPathPoint* last = first;
  // Only ever used on a null-terminated chain; the bound keeps a ring handed
  // in by mistake from looping for ever.
  for (int32_t i = 0; last->next != nullptr && last->next != first && i < count; ++i) {
    last = last->next;
  }
  knot->prev = last;
  knot->next = nullptr;
  last->next = knot;
  ++count;
}

void CPath::CopyPath(CPath* dst) const {
  if (dst == nullptr || dst == this) return;
  if (txtObj == nullptr) {
    FreeChain(dst->first, dst->count);
    dst->first = nullptr;
    dst->current = nullptr;
    dst->count = 0;
    CPathPoint* last = nullptr;
    ForEachKnot([&](CPathPoint* k) {
      CPathPoint* c = new CPathPoint;
      k->CopyPoint(c);
      c->drawPar = dst->drawPar;
      c->prev = last;
      c->next = nullptr;
      paths_detail::LinkLast(dst->first, last, c);
      ++dst->count;
      if (k == current) dst->current = c;
    });
    if (closed != 0 && last != nullptr) {
      last->next = dst->first;
      dst->first->prev = last;
    }
  }
  dst->closed = closed != 0 ? 1 : 0;
  dst->markCount = markCount;
  for (int i = 0; i < std::min<int>(markCount, kMaxMarks); ++i) dst->marks[i] = marks[i];
  dst->plain = plain;
  dst->active = active;
  dst->urlActive = urlActive;
  dst->urlTarget = urlTarget;
  std::memcpy(dst->urlName, urlName, sizeof urlName);
  std::memcpy(dst->urlAlt, urlAlt, sizeof urlAlt);
}

void CPath::DuplicatePath(const CPath* src, int16_t mode) {
  if (src == nullptr || src == this || src->first == nullptr) return;
  FreeChain(first, count);
  first = nullptr;
  current = nullptr;
  count = 0;

  // Knots that can really be reached: a count larger than the chain would
  // otherwise leave knots without a source.
  int32_t n = 0;
  CPathPoint* srcLast = nullptr;
  src->ForEachKnot([&](CPathPoint* k) {
    ++n;
    srcLast = k;
  });

  if (mode == 1) {
    CPathPoint* last = nullptr;
    src->ForEachKnot([&](CPathPoint* k) {
      CPathPoint* c = new CPathPoint(k->x, k->y, 0);
      c->outX = k->outX;
      c->outY = k->outY;
      c->inX = k->inX;
      c->inY = k->inY;
      c->prev = last;
      paths_detail::LinkLast(first, last, c);
      ++count;
    });
    if (src->closed != 0) {
      closed = 1;
      last->next = first;
      first->prev = last;
    }
    return;
  }

  // Reversed: an open path is read from its last knot, a closed one from its
  // first, so that a closed A, B, C becomes A, C, B.
  const CPathPoint* s = src->closed != 0 ? src->first : srcLast;
  CreaPathof_xpts(n, src->closed != 0 ? 1 : 0);
  CPathPoint* d = first;
  for (int32_t i = 0; i < n && s != nullptr && d != nullptr; ++i) {
    d->x = s->x;
    d->y = s->y;
    d->outX = s->inX;
    d->outY = s->inY;
    d->inX = s->outX;
    d->inY = s->outY;
    s = s->prev;
    d = d->next;
  }
}

void CPath::Move(float dx, float dy) {
  if (txtObj != nullptr) return;
  ForEachKnot([&](CPathPoint* k) { k->MovePoint(dx, dy); });
}

void CPath::Zoom(float sx, float sy) {
  if (txtObj != nullptr) return;
  ForEachKnot([&](CPathPoint* k) { k->ZoomPoint(sx, sy); });
}

int32_t CPath::GetBound(float* minX, float* minY, float* maxX, float* maxY) const {
  // A path with a text object keeps no knots: its outline is what the text
  // renders. The rendered bounds widen the given ones instead of replacing
  // them, so a text without letters leaves them as they were.
  if (txtObj != nullptr) {
    CPathList outline(0);
    txtObj->RenderToList(&outline);
    float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
    const int32_t r = outline.GetBound(0, &a, &b, &c, &d);
    if (r != 0) {
      *minX = std::min(*minX, a);
      *minY = std::min(*minY, b);
      *maxX = std::max(*maxX, c);
      *maxY = std::max(*maxY, d);
    }
    return r;
  }
  if (first == nullptr) return 0;
  ForEachKnot([&](CPathPoint* k) {
    const float xs[3] = {k->x, k->outX, k->inX};
    const float ys[3] = {k->y, k->outY, k->inY};
    for (int i = 0; i < 3; ++i) {
      if (xs[i] < *minX) *minX = xs[i];
      if (xs[i] > *maxX) *maxX = xs[i];
      if (ys[i] < *minY) *minY = ys[i];
      if (ys[i] > *maxY) *maxY = ys[i];
    }
  });
  return 1;
}

void CPath::Activate() {
  active = 1;
  ForEachKnot([](CPathPoint* k) { k->selected = 1; });
}

void CPath::Inactivate() {
  active = 0;
  ForEachKnot([](CPathPoint* k) { k->selected = 0; });
}

void CPath::SelectAll() {
  ForEachKnot([](CPathPoint* k) { k->selected = 1; });
}

CPathPoint* CPath::IfOnSelectedPoint(float, float) const { return nullptr; }

int32_t CPath::SegmentBound() const { return closed == 1 ? count : count - 1; }
