// The path tools: one mouse press in the preview turned into an edit of the
// list. The tool number (15 to 41) comes from the path-tools palette; the
// modifier keys refine each tool. The press is followed in the tool's own
// loop until the button is released, and all feedback is drawn in XOR, so
// drawing an outline twice erases it.
//
// Modifier keys are tested as whole masks (TestKeyModif): a key counts as
// down only when it is the only modifier held, so caps lock defeats every
// one of them, as it always has.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/core/plane_geometry.h"
#include "app/keyboard.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/ui_services.h"

namespace draw = plat::draw;
namespace ui = plat::ui;
using paths_detail::DragWhileDown;
using paths_detail::ModifierAlone;
using paths_detail::MouseInPort;
using paths_detail::MouseStillDown;

namespace {

constexpr uint32_t kPivotWait = 20;  // ticks before a press counts as a drag

// The pause lets the window's loop go on: a spin on the tick counter held
// the whole program for a third of a second at every press.
void WaitTicks(uint32_t ticks) { ui::Delay(ticks); }

bool Moved(float dx, float dy) { return dx > 0.1f || dx < -0.1f || dy > 0.1f || dy < -0.1f; }

// The far corner of a rubber band from (x0, y0) to (x, y); with Shift a
// square whose side is the larger drag distance, toward the pointer.
void BandCorner(bool square, float x0, float y0, float x, float y, float* cx, float* cy) {
  *cx = x;
  *cy = y;
  if (!square) return;
  const float dx = std::fabs(x - x0), dy = std::fabs(y - y0);
  if (dx <= dy) {
    *cx = x >= x0 ? x0 + dy : x0 - dy;
  } else {
    *cy = y >= y0 ? y0 + dx : y0 - dx;
  }
}

Rect Normalised(Point a, Point b) {
  Rect r;
  r.left = std::min(a.h, b.h);
  r.right = std::max(a.h, b.h);
  r.top = std::min(a.v, b.v);
  r.bottom = std::max(a.v, b.v);
  return r;
}

// A knot's selection changed on the screen too.
void SetSelected(CPathPoint* k, int16_t selected) {
  k->DrawSelf();
  k->selected = selected;
  k->DrawSelf();
}

// A path's look switched between active and inactive.
void Relook(CPath* p, RGBColor colour, bool active) {
  p->DrawPath(0, colour);
  if (active) {
    p->Activate();
  } else {
    p->Inactivate();
  }
  p->DrawPath(0, colour);
}

bool HasKnotOrText(const CPath* p) { return p->first != nullptr || p->txtObj != nullptr; }

// Sets every coordinate of the copy's knots from its source's through f.
template <typename F>
void MapKnots(const CPath* src, CPath* copy, F&& f) {
  CPathPoint* d = copy->first;
  const CPathPoint* s = src->first;
  for (int32_t i = 0; i < copy->count && d != nullptr && s != nullptr; ++i) {
    f(s->x, s->y, d->x, d->y);
    f(s->outX, s->outY, d->outX, d->outY);
    f(s->inX, s->inY, d->inX, d->inY);
    d = d->next;
    s = s->next;
    if (d == copy->first) break;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry

void CPathList::DoClick(GrafPtr port, int32_t offsetH, int32_t offsetV, Rect clip) {
  draw::Port* savedPort = draw::GetPort();
  if (drawPar != nullptr && drawPar->port != nullptr) {
    draw::SetPort(drawPar->port);
  } else if (port != nullptr) {
    draw::SetPort(port);
  }
  if (draw::GetPort() == nullptr) return;
  Point pt;
  int16_t result = 0;
  ui::TrackMouseLocation(nullptr, &pt, &result);
  pt.h = static_cast<int16_t>(pt.h - offsetH);
  pt.v = static_cast<int16_t>(pt.v - offsetV);
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  const float x = PortToPathX(dp, pt.h), y = PortToPathY(dp, pt.v);

  draw::PenState pen;
  draw::GetPenState(&pen);
  Rect savedClip;
  draw::GetClip(&savedClip);
  draw::PenNormal();
  draw::PenMode(draw::patXor);
  draw::ClipRect(clip);
  const bool shift = ModifierAlone(shiftKey) != 0;
  const bool command = ModifierAlone(cmdKey) != 0;

  switch (tool) {
    case 15:
      // The tool forgets the path being drawn, so the next knot starts a
      // new one.
      current = nullptr;
      WaitTicks(kPivotWait);
      SelectAndEdit(pt, x, y, shift);
      break;
    case 22:
    case 23:
    case 35:
      AddKnotTool(pt, x, y, shift);
      break;
    case 24:
      InsertKnotTool(x, y);
      break;
    case 25:
    case 26:
      for (CPath* p = first; p != nullptr; p = p->next) {
        if (p->active == 0 || p->IfOnPoint(x, y) == nullptr) continue;
        if (tool == 25) {
          p->RemovePoint(x, y);
        } else {
          p->CornerPoint(x, y);
        }
        break;
      }
      break;
    case 27:
    case 28:
    case 29:
      if (command) {
        SelectAndEdit(pt, x, y, shift);
        break;
      }
      WaitTicks(kPivotWait);
      if (!MouseStillDown()) {
        // A click sets the pivot.
        pivotX = x;
        pivotY = y;
      } else if (tool == 27) {
        MovePath(port, offsetH, offsetV);
      } else if (tool == 28) {
        RotatePath(port, offsetH, offsetV);
      } else {
        ResizePath(port, offsetH, offsetV);
      }
      break;
    case 32:
    case 33:
    case 40:
      // Control swaps ellipse and rectangle; the palette's tool stays
      // changed afterwards, as it always has.
      if (ModifierAlone(controlKey) != 0) tool = tool == 33 ? 32 : 33;
      if (tool == 33) {
        EllipseTool(x, y, shift);
      } else {
        RectangleTool(x, y, shift);
      }
      break;
    case 36:
      // Without a path there are no marks to change.
      if (first != nullptr) first->DoInteractiveChangeOfMark(pt.h, pt.v);
      break;
    case 39:
      if (ModifierAlone(controlKey) != 0) {
        RectangleTool(x, y, shift);
      } else {
        StarTool(x, y);
      }
      break;
    case 41:
      if (command) {
        SelectAndEdit(pt, x, y, shift);
      } else {
        StepRepeatTool(x, y);
      }
      break;
    default:
      break;
  }

  draw::ClipRect(savedClip);
  draw::SetPenState(pen);
  draw::SetPort(savedPort);
}

// ---------------------------------------------------------------------------
// Knots

void CPathList::AddKnotTool(Point pt, float x, float y, bool shift) {
  if (ModifierAlone(cmdKey) != 0) {
    SelectAndEdit(pt, x, y, shift);
    return;
  }
  if (ModifierAlone(controlKey) != 0) {
    InsertKnotTool(x, y);
    return;
  }
  const bool option = ModifierAlone(optionKey) != 0;
  if (option) {
    for (CPath* p = first; p != nullptr; p = p->next) {
      if (p->active != 0 && p->IfOnPoint(x, y) != nullptr) {
        p->CornerPoint(x, y);
        return;
      }
    }
  }
  if (current == nullptr) AddPath(1);
  CPath* path = current;
  if (path == nullptr) return;
  const int16_t wasClosed = path->closed;
  path->AddPoint(x, y, tool == 23 ? 1 : 0);
  if (wasClosed == 0 && path->closed != 0) {
    // The press closed the path on its first knot: the next press starts
    // a new one.
    AddPath(1);
    return;
  }
  CPathPoint* k = path->current;
  if (k == nullptr) return;
  if (tool == 35 || option) {
    k->kind = 1;
    return;
  }
  // Dragging pulls the new knot's tangents: out toward the pointer, in
  // mirrored through the knot.
  DragWhileDown(paths_detail::DrawParOr(drawPar), x, y, [&](float mx, float my, float, float) {
    path->DrawSegment(k->prev, k);
    k->DrawSelf();
    k->outX = mx;
    k->outY = my;
    k->inX = 2.0f * k->x - mx;
    k->inY = 2.0f * k->y - my;
    path->DrawSegment(k->prev, k);
    k->DrawSelf();
  });
}

void CPathList::InsertKnotTool(float x, float y) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    CPathPoint* a = nullptr;
    CPathPoint* b = nullptr;
    int16_t t = 0;
    intptr_t object = 0;
    if (p->IfOnCurve(x, y, &a, &b, &t, &object) == 0) continue;
    if (p->active == 0) Relook(p, colour, true);
    if (object == 0) p->InsertPoint(x, y);
    return;
  }
}

// ---------------------------------------------------------------------------
// Selecting and editing

void CPathList::DragSelectedKnots(float x, float y) {
  DragWhileDown(paths_detail::DrawParOr(drawPar), x, y, [&](float, float, float dx, float dy) {
    for (CPath* p = first; p != nullptr; p = p->next) {
      if (p->active != 0) p->MoveSelPathPoints(dx, dy);
    }
  });
}

bool CPathList::EditPathUnderPress(CPath* p, float x, float y, bool shift, bool onText) {
  CPathPoint* k = p->IfOnPoint(x, y);
  if (shift && p->active != 0) {
    if (!onText) return true;
    if (k == nullptr) {
      Relook(p, colour, false);
    } else if (!MouseStillDown()) {
      SetSelected(k, k->selected != 0 ? 0 : 1);
    } else if (k->selected != 0) {
      DragSelectedKnots(x, y);
    }
    return true;
  }
  if (shift) {
    Relook(p, colour, true);
    return true;
  }
  if (p->active == 0) {
    InActivateAll(1);
    p->DrawPath(0, colour);
    p->Activate();
    if (ModifierAlone(optionKey) != 0) p->SelectAll();
    p->DrawPath(0, colour);
    return true;
  }
  if (p->txtPath != nullptr) {
    const TextSettings& s = p->txtPath->settings;
    p->txtPath->F_TextParam(s.settingF, s.settingA, s.settingG, s.settingH, s.text, s.settingD,
                            s.real1, s.real2, static_cast<int32_t>(s.real3),
                            static_cast<int32_t>(s.real4), static_cast<float>(s.settingE),
                            s.settingB, s.settingC);
  }
  // A plain path's curve is left to the knot and control point test that
  // follows the walk.
  if (!onText) return false;
  if (k == nullptr) {
    p->SelectPoint(x, y);
  } else if (MouseStillDown()) {
    if (k->selected == 0) SetSelected(k, 1);
    DragSelectedKnots(x, y);
  } else if (ModifierAlone(optionKey) != 0) {
    paths_detail::ForEachPathKnot(p, [](CPathPoint* q) {
      if (q->selected == 0) SetSelected(q, 1);
    });
  } else {
    p->DeselectAll();
    SetSelected(k, 1);
  }
  return true;
}

void CPathList::SelectAndEdit(Point pt, float x, float y, bool shift) {
  // Text frames first.
  intptr_t object = 0;
  const int32_t onText = AreWeOnTxtObjCtrl(pt, &object);
  if ((onText == 1 || onText == 4) && object != 0) {
    auto* text = reinterpret_cast<CTxtObj*>(object);
    text->FollowView();
    const int16_t changed = text->frame->Interactive2(text->frame->kind, pt);
    if (onText == 1 || changed == 1) return;
  } else if (onText == -1 || onText == 2 || onText == 3) {
    return;
  }

  for (CPath* p = first; p != nullptr; p = p->next) {
    CPathPoint* a = nullptr;
    CPathPoint* b = nullptr;
    int16_t t = 0;
    intptr_t hitObject = 0;
    if (p->IfOnCurve(x, y, &a, &b, &t, &hitObject) == 0) continue;
    if (EditPathUnderPress(p, x, y, shift, hitObject != 0)) return;
  }

  for (CPath* p = first; p != nullptr; p = p->next) {
    int16_t which = 0;
    if (p->IfOnPoint(x, y) != nullptr || p->IfOnTanPoint(x, y, &which) != nullptr) {
      p->SelectPoint(x, y);
      return;
    }
  }
  if (!shift) InActivateAll(1);
  if (MouseStillDown()) Marquee(pt);
}

void CPathList::Marquee(Point from) {
  bool shown = false;
  Rect band;
  Point last = from;
  while (MouseStillDown()) {
    const Point m = MouseInPort();
    if (m.h == last.h && m.v == last.v && shown) continue;
    if (shown) draw::FrameRect(band);
    band = Normalised(from, m);
    draw::FrameRect(band);
    shown = true;
    last = m;
  }
  if (!shown) return;
  draw::FrameRect(band);
  ActivateWithinRect(band);
}

int32_t CPathList::ActivateWithinRect(Rect r) {
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  int32_t result = 0;
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->txtObj != nullptr) {
      CPathList letters(0);
      p->txtObj->RenderToList(&letters);
      bool inside = false;
      for (CPath* q = letters.first; q != nullptr && !inside; q = q->next) {
        paths_detail::ForEachPathKnot(q, [&](CPathPoint* k) {
          inside = inside || draw::PtInRect(PathToPort(dp, k->x, k->y), &r);
        });
      }
      if (inside) {
        Relook(p, colour, true);
        result = 1;
      }
      continue;
    }
    paths_detail::ForEachPathKnot(p, [&](CPathPoint* k) {
      if (!draw::PtInRect(PathToPort(dp, k->x, k->y), &r)) return;
      if (p->active == 0) Relook(p, colour, true);
      if (k->selected == 0) SetSelected(k, 1);
      result = 1;
    });
  }
  return result;
}

// ---------------------------------------------------------------------------
// Shapes with a rubber band

void CPathList::RectangleTool(float x0, float y0, bool shift) {
  CPath* band = nullptr;
  float cx = x0, cy = y0;
  DragWhileDown(paths_detail::DrawParOr(drawPar), x0, y0, [&](float x, float y, float, float) {
    if (band == nullptr) {
      band = NewBandPath(4);
      if (band == nullptr) return;
    } else {
      band->DrawPath(0, colour);
    }
    BandCorner(shift, x0, y0, x, y, &cx, &cy);
    fct_calc_Rect(band, x0, y0, cx, cy);
    band->DrawPath(0, colour);
  });
  if (band == nullptr) return;
  const int32_t* w = objPar.w;
  const auto offset = static_cast<float>(w[kObjOutlineOffset]);
  if (tool == 40) {
    RemoveSelPath(1);
    fct_calc_Table(1, x0, y0, cx, cy, static_cast<int16_t>(w[kObjColumns]),
                   static_cast<int16_t>(w[kObjRows]), static_cast<float>(w[kObjColumnGap]),
                   static_cast<float>(w[kObjRowGap]), offset);
  } else if (tool == 32) {
    const int32_t* r = w + kObjCornerRadius;
    const int32_t* s = w + kObjCornerStyle;
    RemoveSelPath(1);
    fct_calc_RRect(1, x0, y0, cx, cy, offset, static_cast<float>(r[0]), static_cast<float>(r[1]),
                   static_cast<float>(r[2]), static_cast<float>(r[3]), s[0], s[1], s[2], s[3]);
  }
}

CPath* CPathList::NewBandPath(int32_t knots) {
  AddPath(1);
  // A current path that already holds knots (a list of one path) is never
  // taken over by the band.
  CPath* p = current;
  if (p == nullptr || p->first != nullptr || p->txtObj != nullptr) return nullptr;
  p->CreaPathof_xpts(knots, 1);
  return p;
}

void CPathList::EllipseTool(float x0, float y0, bool shift) {
  const auto offset = static_cast<float>(objPar.w[kObjOutlineOffset]);
  const bool outline = offset > 0.01f || offset < -0.01f;
  CPath* plain = nullptr;
  CPath* grown = nullptr;
  bool started = false;
  DragWhileDown(paths_detail::DrawParOr(drawPar), x0, y0, [&](float x, float y, float, float) {
    if (!started) {
      started = true;
      plain = NewBandPath(4);
      if (plain != nullptr && outline) grown = NewBandPath(4);
    } else {
      if (plain != nullptr) plain->DrawPath(0, colour);
      if (grown != nullptr) grown->DrawPath(0, colour);
    }
    float cx, cy;
    BandCorner(shift, x0, y0, x, y, &cx, &cy);
    if (grown != nullptr) {
      fct_calc_ellipse(grown, x0, y0, cx, cy, offset);
      grown->DrawPath(0, colour);
    }
    if (plain != nullptr) {
      fct_calc_ellipse(plain, x0, y0, cx, cy, 0.0f);
      plain->DrawPath(0, colour);
    }
  });
}

void CPathList::StarTool(float x0, float y0) {
  const int32_t* w = objPar.w;
  const auto points = static_cast<int16_t>(w[kObjStarPoints]);
  const auto offset = static_cast<float>(w[kObjOutlineOffset]);
  const bool outline = offset > 0.01f || offset < -0.01f;
  auto calc = [&](int16_t phase, CPath* p, float radius, float angle, float addend) {
    return fct_calc_ngon(phase, 10.0f, points, p, x0, y0, radius,
                         static_cast<float>(w[kObjStarInner]), static_cast<float>(w[kObjStarAltTip]),
                         static_cast<float>(w[kObjStarAltInner]), w + kObjPointDepth, angle, addend,
                         w[kObjInnerForward], w[kObjInnerBackward], w[kObjInnerStyle],
                         w[kObjInnerPerPoint], w[kObjTipForward], w[kObjTipBackward],
                         w[kObjTipStyle], w[kObjTipPerPoint]);
  };
  CPath* plain = nullptr;
  CPath* grown = nullptr;
  bool started = false;
  DragWhileDown(paths_detail::DrawParOr(drawPar), x0, y0, [&](float x, float y, float, float) {
    if (!started) {
      started = true;
      plain = NewBandPath(0);
      if (plain != nullptr) calc(0, plain, 0.0f, 0.0f, 0.0f);
      if (plain != nullptr && outline) {
        grown = NewBandPath(0);
        if (grown != nullptr) calc(0, grown, 0.0f, 0.0f, offset);
      }
    } else {
      if (grown != nullptr) grown->DrawPath(0, colour);
      if (plain != nullptr) plain->DrawPath(0, colour);
    }
    const float radius = distance(x0, y0, x, y);
    float angle = 0.0f;
    if (ModifierAlone(cmdKey) == 0) A_ang_2point(x0, y0, x, y, &angle);
    // A failed placement keeps the knots placed before it; the outline is
    // drawn as it stands.
    if (grown != nullptr) {
      calc(1, grown, radius, angle, offset);
      grown->DrawPath(0, colour);
    }
    if (plain != nullptr) {
      calc(1, plain, radius, angle, 0.0f);
      plain->DrawPath(0, colour);
    }
  });
}

void CPathList::StepRepeatTool(float x0, float y0) {
  int32_t* w = objPar.w;
  const auto mode = static_cast<int16_t>(w[kObjStepMode]);
  if (mode == 0) {
    const DrawPar& dp = paths_detail::DrawParOr(drawPar);
    const Point from = PathToPort(dp, x0, y0);
    Point to = from;
    bool shown = false;
    float lx = x0, ly = y0;
    auto line = [&] {
      draw::MoveTo(from.h, from.v);
      draw::LineTo(to.h, to.v);
    };
    DragWhileDown(dp, x0, y0, [&](float x, float y, float, float) {
      if (shown) line();
      to = PathToPort(dp, x, y);
      line();
      shown = true;
      lx = x;
      ly = y;
    });
    if (shown) {
      line();
      w[kObjStepX] = static_cast<int32_t>(lx - x0);
      w[kObjStepY] = static_cast<int32_t>(ly - y0);
    }
  }
  fct_calc_StepRepeat(mode, static_cast<int16_t>(w[kObjStepCount]), x0, y0,
                      static_cast<float>(w[kObjStepX]), static_cast<float>(w[kObjStepY]),
                      static_cast<float>(w[kObjStepScaleX]), static_cast<float>(w[kObjStepScaleY]),
                      static_cast<float>(w[kObjStepAngle]));
}

// ---------------------------------------------------------------------------
// Moving, scaling and turning the active paths

namespace {

using PathPairs = std::vector<std::pair<CPath*, CPath*>>;

// The active sources with knots or a text object and their copies, in
// step; a copy of a text object gets its own, so that its frame can
// follow.
PathPairs PairCopies(CPathList& list, CPathList& copies) {
  PathPairs pairs;
  CPath* c = copies.first;
  for (CPath* p = list.first; p != nullptr && c != nullptr; p = p->next) {
    if (p->active == 0 || !HasKnotOrText(p)) continue;
    if (p->txtObj != nullptr) {
      c->CreaTxtObj();
      p->txtObj->CopyTxtObj(c->txtObj);
    }
    pairs.emplace_back(p, c);
    c = c->next;
  }
  return pairs;
}

}  // namespace

// Where a move (27), turn (28) or scaling (29) stands.
struct CPathList::Gesture {
  int16_t which = 27;
  float px = 0.0f, py = 0.0f;              // pivot
  float totalX = 0.0f, totalY = 0.0f;      // move so far
  float rx0 = 1.0f, ry0 = 1.0f;            // distances from the pivot at the press
  float rx = 1.0f, ry = 1.0f;              // ... and now
  float turn = 0.0f;                       // radians, anticlockwise with y up

  // Sets the copy from its source as the gesture stands.
  void Place(const CPath* src, CPath* copy) const {
    if (src->txtObj != nullptr) {
      CWarpPath* f = copy->txtObj->frame;
      src->txtObj->frame->CopyWarpPath(f);
      if (which == 27) f->MoveFrame(totalX, totalY);
      if (which == 29) f->ResizeFrame(px, py, rx0, rx, ry0, ry);
      if (which == 28) f->RotateFrame(px, py, turn);
      return;
    }
    MapKnots(src, copy, [&](float sx, float sy, float& dx, float& dy) {
      if (which == 27) {
        dx = sx + totalX;
        dy = sy + totalY;
      } else if (which == 29) {
        dx = px + (sx - px) * (rx / rx0);
        dy = py + (sy - py) * (ry / ry0);
      } else {
        float tx = 0.0f, ty = 0.0f;
        A_point_fromAng(px, -py, sx, -sy, &tx, &ty, turn);
        // Turned points are kept whole, in 16 bits, as they always were.
        dx = paths_detail::Trunc16Held(tx);
        dy = -static_cast<float>(paths_detail::Trunc16Held(ty));
      }
    });
  }
};

bool CPathList::TrackReform(Gesture& g, CPathList& copies, const PathPairs& pairs) {
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  const Point m0 = MouseInPort();
  const float x0 = PortToPathX(dp, m0.h), y0 = PortToPathY(dp, m0.v);
  g.rx0 = std::fabs(x0 - g.px);
  g.ry0 = std::fabs(y0 - g.py);
  if (g.rx0 == 0.0f) g.rx0 = 1.0f;
  if (g.ry0 == 0.0f) g.ry0 = 1.0f;
  if (ModifierAlone(shiftKey) != 0) g.rx0 = g.ry0 = std::max(g.rx0, g.ry0);
  float angle0 = 0.0f;
  A_ang_2point(g.px, -g.py, x0, -y0, &angle0);
  float lx = x0, ly = y0, lastAngle = angle0;
  bool moved = false;
  while (MouseStillDown()) {
    const Point m = MouseInPort();
    const float x = PortToPathX(dp, m.h), y = PortToPathY(dp, m.v);
    if (g.which == 28) {
      float angle = 0.0f;
      A_ang_2point(g.px, -g.py, x, -y, &angle);
      if (std::fabs(angle - lastAngle) <= 0.01f) continue;
      lastAngle = angle;
      g.turn = angle - angle0;
    } else {
      if (!Moved(x - lx, y - ly)) continue;
      g.totalX += x - lx;
      g.totalY += y - ly;
      lx = x;
      ly = y;
      // Distances, never signed: dragging across the pivot never mirrors.
      g.rx = std::fabs(x - g.px);
      g.ry = std::fabs(y - g.py);
      if (ModifierAlone(shiftKey) != 0) {
        g.rx = g.ry = std::max(g.rx, g.ry);
        g.rx0 = g.ry0 = std::max(g.rx0, g.ry0);
      }
    }
    if (!moved) {
      moved = true;
      copies.InActivateAll(2);
      for (CPath* q = copies.first; q != nullptr; q = q->next) q->DrawPath(0, colour);
    }
    for (const auto& [src, copy] : pairs) {
      copy->DrawPath(0, colour);
      g.Place(src, copy);
      copy->DrawPath(0, colour);
    }
  }
  return moved;
}

int32_t CPathList::Reform(int16_t which) {
  if (which == 27) lastReform = 15;
  bool anyActive = false;
  for (CPath* p = first; p != nullptr; p = p->next) anyActive = anyActive || p->active != 0;
  if (!anyActive) return 0;

  CPathList copies(0);
  copies.colour = colour;
  CopyActivePaths(&copies);
  const PathPairs pairs = PairCopies(*this, copies);
  Gesture g;
  g.which = which;
  g.px = pivotX;
  g.py = pivotY;
  if (which != 27) DrawPivot(0, colour, g.px, g.py);
  const bool moved = TrackReform(g, copies, pairs);
  if (which != 27) DrawPivot(0, colour, g.px, g.py);

  if (moved) {
    lastReform = which;
    if (which == 27) {
      moveX = g.totalX;
      moveY = g.totalY;
    } else if (which == 28) {
      rotation = g.turn;
    } else {
      resizeNumX = static_cast<int32_t>(g.rx);
      resizeNumY = static_cast<int32_t>(g.ry);
      resizeDenX = static_cast<int32_t>(g.rx0);
      resizeDenY = static_cast<int32_t>(g.ry0);
    }
  }

  if (ModifierAlone(optionKey) != 0) {
    // Option leaves the sources where they were and adds the moved copies;
    // the sources were hidden only when something moved.
    copies.ActivateAll(2);
    if (moved) {
      for (const auto& [src, copy] : pairs) src->DrawPath(0, colour);
    }
    AttachPathList(1, &copies);
    return 1;
  }
  copies.ActivateAll(1);
  for (const auto& [src, copy] : pairs) {
    if (src->txtObj != nullptr) {
      copy->txtObj->frame->CopyWarpPath(src->txtObj->frame);
    } else {
      paths_detail::CopyKnotCoordinates(copy, src, true);
    }
  }
  return 1;
}

int32_t CPathList::MovePath(GrafPtr, int32_t, int32_t) { return Reform(27); }
int32_t CPathList::RotatePath(GrafPtr, int32_t, int32_t) { return Reform(28); }
int32_t CPathList::ResizePath(GrafPtr, int32_t, int32_t) { return Reform(29); }
