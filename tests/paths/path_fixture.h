// A session with its shared drawing parameters, and small builders of
// paths for the path tests.
#pragma once

#include <initializer_list>
#include <utility>

#include <algorithm>

#include "paths/draw_par.h"
#include "paths/path.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"
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

// The same with a current port and a scripted user for the interactive
// operations.
class InteractivePathTest : public PathTest {
 protected:
  InteractivePathTest() : port_(300, 200), guard_(&ui_) { plat::draw::SetPort(&port_); }
  ~InteractivePathTest() override { plat::draw::SetPort(nullptr); }

  bool PortIsWhite() const {
    const auto& px = port_.surface().pixels();
    return std::all_of(px.begin(), px.end(), [](uint32_t p) { return p == 0xFFFFFFFFu; });
  }

  plat::draw::Port port_;
  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices guard_;
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
