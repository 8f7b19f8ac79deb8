// A session with its shared drawing parameters, and small builders of
// paths for the path tests.
#pragma once

#include <initializer_list>
#include <utility>

#include "paths/draw_par.h"
#include "paths/path.h"
#include "support/session.h"

namespace pathtest {

class PathTest : public vmktest::SessionTest {
 protected:
  PathTest() {
    Init_DrawPar(&drawPar_);
    gPer->drawPar = &drawPar_;
  }
  ~PathTest() override { gPer->drawPar = nullptr; }

  DrawPar drawPar_;
};

// An open, null-terminated path through the points, handles on the knots.
inline CPath* OpenPath(std::initializer_list<std::pair<float, float>> pts) {
  CPath* p = new CPath;
  for (const auto& [x, y] : pts) p->AddPoint(new CPathPoint(x, y, 0));
  return p;
}

// The same, closed into a ring.
inline CPath* ClosedPath(std::initializer_list<std::pair<float, float>> pts) {
  CPath* p = OpenPath(pts);
  CPathPoint* last = p->first;
  while (last->next != nullptr) last = last->next;
  last->next = p->first;
  p->first->prev = last;
  p->closed = 1;
  return p;
}

// The n-th knot from the first (0-based), following next links.
inline CPathPoint* Knot(const CPath* p, int n) {
  CPathPoint* k = p->first;
  for (int i = 0; i < n && k != nullptr; ++i) k = k->next;
  return k;
}

}  // namespace pathtest
