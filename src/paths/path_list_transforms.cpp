// Whole-list transforms: move, resize, rotate and mirror the paths of a
// list, repeat the last of them, measure the rectangle around the knots,
// fit a list into a rectangle and make an outline copy.
//
// Every coordinate of a knot means all six of them: the position and the
// out and in points, x values by the x rule and y values by the y rule.
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/core/plane_geometry.h"
#include "app/core/text_helpers.h"
#include "app/keyboard.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"

namespace {

using paths_detail::ForEachCoordinatePair;

bool Chosen(const CPath* p, int16_t activeOnly) { return activeOnly != 1 || p->active != 0; }

// Truncation toward zero to a 16-bit value, as the rotation has always
// stored its results (wrapping beyond the 16-bit range).
float Trunc16(float v) {
  const double t = std::trunc(static_cast<double>(v));
  if (!(t == t)) return 0.0f;
  const double lim = static_cast<double>(std::numeric_limits<int32_t>::max());
  const int32_t i = static_cast<int32_t>(t > lim ? lim : t < -lim ? -lim : t);
  return static_cast<float>(static_cast<int16_t>(i));
}

void Rotate(float cx, float cy, float angle, bool truncate, float& x, float& y) {
  float rx = 0.0f, ry = 0.0f;
  A_point_fromAng(cx, -cy, x, -y, &rx, &ry, angle);
  if (truncate) {
    x = Trunc16(rx);
    y = -Trunc16(ry);
  } else {
    x = rx;
    y = -ry;
  }
}

}  // namespace

void CPathList::MovePathList(int16_t, int16_t activeOnly, float dx, float dy) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (!Chosen(p, activeOnly)) continue;
    if (p->txtObj != nullptr && p->txtObj->frame != nullptr) p->txtObj->frame->MoveFrame(dx, dy);
    ForEachCoordinatePair(p, [&](float& x, float& y) {
      x += dx;
      y += dy;
    });
  }
}

void CPathList::ResizePathList(int16_t, int16_t activeOnly, float cx, float cy, float oldWidth,
                               float newWidth, float oldHeight, float newHeight) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (!Chosen(p, activeOnly)) continue;
    if (p->txtObj != nullptr) {
      if (p->txtObj->frame != nullptr) {
        p->txtObj->frame->ResizeFrame(cx, cy, oldWidth, newWidth, oldHeight, newHeight);
      }
      continue;
    }
    // A zero old size has no ratio: that axis stays as it is.
    ForEachCoordinatePair(p, [&](float& x, float& y) {
      if (oldWidth != 0.0f) x = cx + ((x - cx) * newWidth) / oldWidth;
      if (oldHeight != 0.0f) y = cy + ((y - cy) * newHeight) / oldHeight;
    });
  }
}

void CPathList::RotatePathList(int16_t, int16_t activeOnly, float cx, float cy, float angle) {
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (!Chosen(p, activeOnly)) continue;
    if (p->txtObj != nullptr) {
      if (p->txtObj->frame != nullptr) p->txtObj->frame->RotateFrame(cx, cy, angle);
      continue;
    }
    ForEachCoordinatePair(p, [&](float& x, float& y) { Rotate(cx, cy, angle, true, x, y); });
  }
}

void CPathList::FlipPathList(int16_t, int16_t activeOnly, float x0, float y0, float angle) {
  float a = 0.0f, b = 0.0f, c = 0.0f;
  A_droit_ang(x0, y0, angle, &a, &b, &c);
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (!Chosen(p, activeOnly) || p->txtObj != nullptr) continue;
    ForEachCoordinatePair(p, [&](float& x, float& y) {
      float px = 0.0f, py = 0.0f;
      if (A_proj_droit(a, b, c, x, y, &px, &py) != 0) return;
      x = 2.0f * px - x;
      y = 2.0f * py - y;
    });
  }
}

void CPathList::ApplyLastReform() {
  if (lastReform != 27 && lastReform != 28 && lastReform != 29) return;
  paths_detail::XorPen pen;
  CPathList copies(singlePath);
  CopyActivePaths(&copies);

  // The copies line up with the active paths that have knots or a text object.
  CPath* c = copies.first;
  for (CPath* p = first; p != nullptr && c != nullptr; p = p->next) {
    if (p->active == 0 || (p->first == nullptr && p->txtObj == nullptr)) continue;
    if (p->txtObj == nullptr) {
      paths_detail::CopyKnotCoordinates(p, c, false);
      ForEachCoordinatePair(c, [&](float& x, float& y) {
        if (lastReform == 29) {
          // A zero reference distance has no ratio: that axis stays.
          if (resizeDenX != 0) {
            x = pivotX + ((x - pivotX) * static_cast<float>(resizeNumX)) /
                             static_cast<float>(resizeDenX);
          }
          if (resizeDenY != 0) {
            y = pivotY + ((y - pivotY) * static_cast<float>(resizeNumY)) /
                             static_cast<float>(resizeDenY);
          }
        } else if (lastReform == 28) {
          Rotate(pivotX, pivotY, rotation, false, x, y);
        } else {
          x += moveX;
          y += moveY;
        }
      });
    }
    c = c->next;
  }

  if (TestKeyModif(optionKey) != 0 && singlePath != 1) {
    // Option keeps the originals and adds the transformed copies.
    AttachPathList(1, &copies);
  } else {
    c = copies.first;
    for (CPath* p = first; p != nullptr && c != nullptr; p = p->next) {
      if (p->active == 0 || (p->first == nullptr && p->txtObj == nullptr)) continue;
      p->DrawPath(0, colour);
      paths_detail::CopyKnotCoordinates(c, p, false);
      p->DrawPath(0, colour);
      c = c->next;
    }
  }
  DrawPathList(nullptr, 0, 0, colour);
}

int32_t CPathList::RectAroundPaths(float* xMin, float* xMax, float* yMin, float* yMax) const {
  if (first == nullptr) return -1;
  bool any = false;
  float x0 = 0.0f, x1 = 0.0f, y0 = 0.0f, y1 = 0.0f;
  auto widen = [&](float ax, float ay, float bx, float by) {
    if (!any) {
      x0 = ax;
      x1 = bx;
      y0 = ay;
      y1 = by;
      any = true;
      return;
    }
    x0 = std::fmin(x0, ax);
    x1 = std::fmax(x1, bx);
    y0 = std::fmin(y0, ay);
    y1 = std::fmax(y1, by);
  };
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->txtObj != nullptr) {
      CPathList outline(0);
      p->txtObj->RenderToList(&outline);
      float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
      if (outline.first != nullptr && outline.RectAroundPaths(&a, &b, &c, &d) == 0) {
        widen(a, c, b, d);
      }
      continue;
    }
    const CPathPoint* k = p->first;
    for (int32_t i = 0; i < p->count && k != nullptr; ++i) {
      widen(k->x, k->y, k->x, k->y);
      k = k->next;
      if (k == p->first) break;
    }
  }
  // Paths without knots give no rectangle.
  if (!any) return -1;
  *xMin = x0;
  *xMax = x1;
  *yMin = y0;
  *yMax = y1;
  return 0;
}

int32_t CPathList::ResizePathsInRect(CPathList* dst, int32_t height, float left, float right,
                                     float bottom, float top) const {
  if (dst == nullptr || first == nullptr) return -1;
  float xMin = 0.0f, xMax = 0.0f, yMin = 0.0f, yMax = 0.0f;
  if (RectAroundPaths(&xMin, &xMax, &yMin, &yMax) != 0) return -1;
  if (xMax - xMin < 0.0001f || yMax - yMin < 0.0001f) return -1;
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  // The rectangle is in port units counted up from the bottom of the image.
  const float tLeft = std::trunc(left) * dp.scaleX + dp.originX;
  const float tRight = std::trunc(right) * dp.scaleX + dp.originX;
  const float tTop = std::trunc(static_cast<float>(height) - top) * dp.scaleY + dp.originY;
  const float tBottom = std::trunc(static_cast<float>(height) - bottom) * dp.scaleY + dp.originY;
  auto mapX = [&](float x) { return ((x - xMin) / (xMax - xMin)) * (tRight - tLeft) + tLeft; };
  auto mapY = [&](float y) { return ((y - yMin) / (yMax - yMin)) * (tBottom - tTop) + tTop; };

  const CPath* s = first;
  for (CPath* d = dst->first; d != nullptr && s != nullptr; d = d->next, s = s->next) {
    if (d->txtObj != nullptr) {
      if (CWarpPath* f = d->txtObj->frame) {
        for (int i = 0; i < CWarpPath::kPoints; ++i) {
          f->X[i] = mapX(f->X[i]);
          f->Y[i] = mapY(f->Y[i]);
        }
      }
      continue;
    }
    CPathPoint* k = d->first;
    for (int32_t i = 0; i < s->count && i < d->count && k != nullptr; ++i) {
      k->x = mapX(k->x);
      k->outX = mapX(k->outX);
      k->inX = mapX(k->inX);
      k->y = mapY(k->y);
      k->outY = mapY(k->outY);
      k->inY = mapY(k->inY);
      k = k->next;
      if (k == d->first) break;
    }
  }
  return 0;
}

void CPathList::CopyPathListAndExtend(CPathList* dst) const {
  if (dst == nullptr || dst == this) return;
  dst->FreeAll();
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (p->txtObj != nullptr) {
      CPathList outline(0);
      p->txtObj->RenderToList(&outline);
      dst->CopyAttachPathList(&outline);
    } else if (p->txtPath == nullptr) {
      if (p->first == nullptr) continue;
      CPath* c = new CPath;
      c->drawPar = dst->drawPar;
      p->CopyPath(c);
      CPath* last = dst->Last();
      paths_detail::LinkLast(dst->first, last, c);
      ++dst->count;
    } else {
      CPathList outline(0);
      p->txtPath->RenderToList(&outline);
      dst->CopyAttachPathList(&outline);
    }
  }
  dst->tool = tool;
}
