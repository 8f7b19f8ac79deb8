// The table layout of a slice list: reading order, layout limits, cut
// lines, rectangular cells and the image cells with their links and event
// codes.
//
// Cells are made from the horizontal cut lines, top down: the lines of each
// height are joined and split where a vertical line runs down from it or
// crosses it, and each piece opens a cell that runs down to the first lower
// line over any part of it. That cell's bottom edge joins the lines of the
// height it stops at, so the cells tile the image without gap or overlap.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "paths/behaviours.h"
#include "paths/path_internal.h"
#include "paths/slices.h"

namespace {

int16_t I16(float v) { return paths_detail::Trunc16Held(v); }

template <typename Node>
void FreeChain(Node*& first, int16_t& count) {
  while (first != nullptr) {
    Node* next = first->next;
    delete first;
    first = next;
  }
  count = 0;
}

template <typename Node>
void Append(Node*& first, int16_t& count, Node* node) {
  Node** link = &first;
  while (*link != nullptr) link = &(*link)->next;
  *link = node;
  ++count;
}

}  // namespace

// ---- Layout elements ------------------------------------------------------------------

void CSliceList::InfoSliima(CSliima* cell, int16_t flag, const unsigned char* url,
                            const unsigned char* alt, int16_t target) const {
  if (cell == nullptr) return;
  cell->urlActive = flag;
  cell->urlTarget = target;
  if (url != nullptr) std::copy(url, url + url[0] + 1, cell->urlName);
  if (alt != nullptr) std::copy(alt, alt + alt[0] + 1, cell->urlAlt);
}

void CSliceList::CreaSlihori(int16_t from, int16_t to, int16_t at) {
  Append(firstHori, horiCount, new CSlihori(from, to, at));
}

void CSliceList::CreaSliverti(int16_t from, int16_t to, int16_t at) {
  Append(firstVerti, vertiCount, new CSliverti(from, to, at));
}

CSliima* CSliceList::CreaSliima(int16_t kind, int16_t number, int16_t lines1, int16_t lines2,
                                int32_t l, int32_t t, int32_t r, int32_t b) {
  auto* cell = new CSliima(kind, number, lines1, lines2, l, t, r, b);
  Append(firstIma, imaCount, cell);
  return cell;
}

void CSliceList::CutSlirect(CSlirect* cell) {
  for (CSlirect** link = &firstRect; *link != nullptr; link = &(*link)->next) {
    if (*link != cell) continue;
    *link = cell->next;
    delete cell;
    --rectCount;
    return;
  }
}

void CSliceList::CutSlihori(CSlihori* line) {
  for (CSlihori** link = &firstHori; *link != nullptr; link = &(*link)->next) {
    if (*link != line) continue;
    *link = line->next;
    delete line;
    --horiCount;
    return;
  }
}

int16_t CSliceList::SplitHori(int16_t inclusive, int16_t position, int16_t from,
                              int16_t* to) const {
  int16_t moved = 0;
  for (const CSliverti* v = firstVerti; v != nullptr; v = v->next) {
    const bool spans = inclusive == 1 ? v->fromY <= position && position <= v->toY
                                      : v->fromY < position && position < v->toY;
    if (!spans) continue;
    const bool within = inclusive == 1 ? from < v->atX && v->atX <= *to
                                       : from < v->atX && v->atX < *to;
    if (within) {
      *to = v->atX;
      moved = 1;
    }
  }
  return moved;
}

int16_t CSliceList::SplitVerti(int16_t inclusive, int16_t position, int16_t from,
                               int16_t* to) const {
  int16_t moved = 0;
  for (const CSlihori* h = firstHori; h != nullptr; h = h->next) {
    const bool spans = inclusive == 1 ? h->fromX <= position && position <= h->toX
                                      : h->fromX < position && position < h->toX;
    if (!spans) continue;
    const bool within = inclusive == 1 ? from < h->atY && h->atY <= *to
                                       : from < h->atY && h->atY < *to;
    if (within) {
      *to = h->atY;
      moved = 1;
    }
  }
  return moved;
}

void CSliceList::SliceSlirect(CSlirect* a, CSlirect* b) {
  if (a == nullptr || b == nullptr || a == b) return;
  if (a->left <= b->left && a->top <= b->top && b->right <= a->right && b->bottom <= a->bottom) {
    CutSlirect(b);
  }
}

void CSliceList::DeleteSlirect() { FreeChain(firstRect, rectCount); }
void CSliceList::DeleteSlihori() { FreeChain(firstHori, horiCount); }
void CSliceList::DeleteSliverti() { FreeChain(firstVerti, vertiCount); }
void CSliceList::DeleteSliima() { FreeChain(firstIma, imaCount); }

// ---- Reading order -------------------------------------------------------------------

void CSliceList::SortSlice() {
  for (CSlice* s = first; s != nullptr; s = s->next) s->orderMark = -1;
  if (first != nullptr && first->next == nullptr) {
    first->orderMark = 1;
    first->orderNumber = 0;
    return;
  }
  for (int16_t n = 0;; ++n) {
    CSlice* best = nullptr;
    for (CSlice* s = first; s != nullptr; s = s->next) {
      if (s->orderMark != -1) continue;
      if (best == nullptr || s->top < best->top || (s->top == best->top && s->left < best->left)) {
        best = s;
      }
    }
    if (best == nullptr) return;
    best->orderMark = 1;
    best->orderNumber = n;
  }
}

void CSliceList::SortSlirect() {
  for (CSlirect* c = firstRect; c != nullptr; c = c->next) c->orderMark = -1;
  auto before = [](const CSlirect* a, const CSlirect* b) {
    if (a->top != b->top) return a->top < b->top;
    if (a->left != b->left) return a->left < b->left;
    if (a->right != b->right) return a->right < b->right;
    return a->bottom < b->bottom;
  };
  for (int16_t n = 0;; ++n) {
    CSlirect* best = nullptr;
    for (CSlirect* c = firstRect; c != nullptr; c = c->next) {
      if (c->orderMark == -1 && (best == nullptr || before(c, best))) best = c;
    }
    if (best == nullptr) return;
    best->orderMark = 1;
    best->number = n;
  }
}

// ---- Layout limits ---------------------------------------------------------------------

void CSliceList::PrepareDraw() {
  const auto W = static_cast<float>(width);
  const auto H = static_cast<float>(height);
  for (int16_t n = 0; n < count; ++n) {
    CSlice* s = ExtractSliceFromNum(n);
    if (s == nullptr) continue;
    float& ll = s->limits[CSlice::kLeftLimit];
    float& rl = s->limits[CSlice::kRightLimit];
    float& lowL = s->limits[CSlice::kLowLeftLimit];
    float& lowR = s->limits[CSlice::kLowRightLimit];
    ll = 0.0f;
    rl = W;
    lowL = H;
    lowR = H;
    for (const CSlice* o = first; o != nullptr; o = o->next) {
      if (o == s) continue;
      if (o->top <= s->top && s->top <= o->bottom) {
        if (o->right <= s->left) {
          ll = std::max(ll, o->right);
        } else if (o->left <= s->left) {
          ll = std::max(ll, o->left);
        }
        if (o->left >= s->right && o->left < rl) {
          rl = o->top == s->top ? s->right : o->left;
        }
        if (o->left < s->right && s->right <= o->right && o->right < rl) rl = o->right;
      }
      if (o->left <= s->left && s->left <= o->right) {
        if (o->top >= s->bottom) {
          lowL = std::min(lowL, o->top);
        } else if (s->bottom <= o->bottom) {
          lowL = std::min(lowL, o->bottom);
        }
      }
      if (o->left <= s->right && s->right <= o->right) {
        if (o->top >= s->bottom) {
          lowR = std::min(lowR, o->top);
        } else if (s->bottom <= o->bottom) {
          lowR = std::min(lowR, o->bottom);
        }
      }
    }
    for (int16_t m = 0; m < n; ++m) {
      const CSlice* e = ExtractSliceFromNum(m);
      if (e == nullptr) continue;
      const float eLowL = e->limits[CSlice::kLowLeftLimit];
      const float eLowR = e->limits[CSlice::kLowRightLimit];
      if (e->right <= s->left && eLowR > s->top) ll = std::max(ll, e->right);
      if (e->left <= s->left && eLowL > s->top) ll = std::max(ll, e->left);
      if (e->left >= s->right && eLowL > s->top) rl = std::min(rl, e->left);
      if (e->right >= s->right && eLowR > s->top) rl = std::min(rl, e->right);
    }
  }
}

// ---- Cells -------------------------------------------------------------------------------

void CSliceList::BuildCutLines() {
  DeleteSlihori();
  DeleteSliverti();
  for (const CSlice* s = first; s != nullptr; s = s->next) {
    const int16_t l = I16(s->left), t = I16(s->top), r = I16(s->right), b = I16(s->bottom);
    const int16_t ll = I16(s->limits[CSlice::kLeftLimit]);
    const int16_t rl = I16(s->limits[CSlice::kRightLimit]);
    if (t > 0) {
      if (ll < l) CreaSlihori(ll, l, t);
      if (l < r) CreaSlihori(l, r, t);
      if (rl > r) CreaSlihori(r, rl, t);
    }
    if (b < height && l < r) CreaSlihori(l, r, b);
  }
  for (const CSlice* s = first; s != nullptr; s = s->next) {
    const int16_t l = I16(s->left), t = I16(s->top), r = I16(s->right), b = I16(s->bottom);
    const int16_t lowL = I16(s->limits[CSlice::kLowLeftLimit]);
    const int16_t lowR = I16(s->limits[CSlice::kLowRightLimit]);
    if (l > 0) {
      if (t < b) CreaSliverti(t, b, l);
      if (lowL > b) CreaSliverti(b, lowL, l);
      if (t < b) CreaSliverti(t, b, r);
    }
    if (r < width && lowR > b) CreaSliverti(b, lowR, r);
  }
}

void CSliceList::BuildCells() {
  // The horizontal lines of one height, and the top edge, are taken as
  // their union, cut wherever a vertical line runs down from that height or
  // through it: touching slices lay overlapping lines, and a cell must
  // start only once.
  struct Segment {
    int16_t from, to, at;
  };
  std::map<int16_t, std::vector<std::pair<int16_t, int16_t>>> rows;
  for (const CSlihori* h = firstHori; h != nullptr; h = h->next) {
    if (h->fromX < h->toX) rows[h->atY].push_back({h->fromX, h->toX});
  }
  const auto W = static_cast<int16_t>(std::min<int32_t>(width, 32767));
  if (W > 0) rows[0].push_back({0, W});
  DeleteSlirect();
  const auto H = static_cast<int16_t>(std::min<int32_t>(height, 32767));
  // Rows are taken top down; a cell's bottom edge is handed to the row it
  // stops at, so whatever lies under a cell opens a cell of its own there.
  for (auto row = rows.begin(); row != rows.end(); ++row) {
    const int16_t at = row->first;
    if (at < 0 || at >= H) continue;
    std::vector<std::pair<int16_t, int16_t>> spans;
    for (auto [from, to] : row->second) {
      from = std::max<int16_t>(from, 0);
      to = std::min(to, W);
      if (from < to) spans.push_back({from, to});
    }
    std::sort(spans.begin(), spans.end());
    std::set<int16_t> cuts;
    for (const CSliverti* v = firstVerti; v != nullptr; v = v->next) {
      if (v->fromY <= at && at < v->toY) cuts.insert(v->atX);
    }
    std::vector<Segment> segs;
    size_t i = 0;
    while (i < spans.size()) {
      int16_t from = spans[i].first;
      int16_t to = spans[i].second;
      for (++i; i < spans.size() && spans[i].first <= to; ++i) to = std::max(to, spans[i].second);
      for (auto c = cuts.upper_bound(from); c != cuts.end() && *c < to; ++c) {
        segs.push_back({from, *c, at});
        from = *c;
      }
      segs.push_back({from, to, at});
    }
    for (const Segment& c : segs) {
      // Down to the first lower row with a line over any part of the span.
      int16_t bottom = H;
      for (auto below = std::next(row); below != rows.end() && bottom == H; ++below) {
        if (below->first >= H) break;
        for (const auto& [from, to] : below->second) {
          if (from < c.to && c.from < to) {
            bottom = below->first;
            break;
          }
        }
      }
      Append(firstRect, rectCount, new CSlirect(c.from, c.at, c.to, bottom));
      if (bottom < H) rows[bottom].push_back({c.from, c.to});
    }
  }
}

void CSliceList::CountCellLines() {
  for (CSlirect* c = firstRect; c != nullptr; c = c->next) {
    std::set<int16_t> ys, xs;
    for (const CSlirect* o = firstRect; o != nullptr; o = o->next) {
      for (int16_t y : {o->top, o->bottom}) {
        if (c->top <= y && y <= c->bottom) ys.insert(y);
      }
      for (int16_t x : {o->left, o->right}) {
        if (c->left <= x && x <= c->right) xs.insert(x);
      }
    }
    c->hCount = static_cast<int16_t>(ys.size());
    c->vCount = static_cast<int16_t>(xs.size());
  }
}

void CSliceList::BuildColumns() {
  DeleteSlihori();
  int32_t x = 0;
  while (x < width) {
    int32_t end = width;
    for (const CSlirect* c = firstRect; c != nullptr; c = c->next) {
      if (c->right > x) end = std::min<int32_t>(end, c->right);
    }
    CreaSlihori(static_cast<int16_t>(x), static_cast<int16_t>(end), 0);
    x = end;
  }
}

void CSliceList::PrepareSlirect() {
  BuildCutLines();
  BuildCells();
  SortSlirect();
  CountCellLines();
  for (CSlirect* c = firstRect; c != nullptr; c = c->next) {
    c->owner = -1;
    for (const CSlice* s = first; s != nullptr; s = s->next) {
      if (I16(s->left) <= c->left && I16(s->top) <= c->top && c->right <= I16(s->right) &&
          c->bottom <= I16(s->bottom)) {
        c->owner = s->orderNumber;
      }
    }
  }
  BuildColumns();
}

// ---- Image cells ------------------------------------------------------------------------

void CSliceList::AddBehaviourCodes(CSliima* cell) const {
  if (behav == nullptr) return;
  for (const CBehav* b = behav->first; b != nullptr; b = b->next) {
    if (b->active == 0) continue;
    if (b->kind == 3 && b->flag1 == cell->number) {
      cell->AddEvent(1);
      cell->AddEvent(b->flag2);
    } else if ((b->kind == 2 || b->kind == 4) && b->source == cell->number) {
      cell->AddEvent(2);
      if (b->flag1 == 1) cell->AddEvent(3);
      if (b->flag2 == 1) cell->AddEvent(4);
    }
  }
}

void CSliceList::AddBehaviourCells() {
  if (behav == nullptr) return;
  for (const CBehav* b = behav->first; b != nullptr; b = b->next) {
    if (b->active == 0) continue;
    auto extra = [&](int16_t kind, int16_t cellNumber) {
      const CSlirect* c = ExtractSlirectFromNum(cellNumber);
      if (c == nullptr) return;
      CreaSliima(kind, c->number, c->hCount, c->vCount, c->left, c->top, c->right, c->bottom);
    };
    if (b->kind == 3 && b->flag2 > 1) {
      extra(static_cast<int16_t>(b->flag2 - 1), b->flag1);
    } else if (b->kind == 2 || b->kind == 4) {
      extra(1, b->source);
      if (b->flag1 == 1) extra(2, b->source);
      if (b->flag2 == 1) extra(3, b->source);
    }
  }
}

void CSliceList::PrepareSliima() {
  SortSlice();
  PrepareDraw();
  PrepareSlirect();
  DeleteSliima();
  for (int16_t n = 0; n < rectCount; ++n) {
    const CSlirect* c = ExtractSlirectFromNum(n);
    if (c == nullptr) continue;
    CSliima* cell =
        CreaSliima(0, c->number, c->hCount, c->vCount, c->left, c->top, c->right, c->bottom);
    const CSlice* owner = c->owner != -1 ? ExtractSliceFromNum(c->owner) : nullptr;
    if (owner != nullptr && owner->urlActive == 1) {
      InfoSliima(cell, owner->urlActive, owner->urlName, owner->urlAlt, owner->urlTarget);
    }
    AddBehaviourCodes(cell);
  }
  AddBehaviourCells();
}
