// Editing a warp frame with the mouse: which handles a press may take, the
// drag of one point (a corner with its twin and its control points, with
// mirrored partners under the modifier keys) and the drag of the whole
// frame, scaled about its centre with Option.
//
// Every change is drawn in XOR: the old frame drawn again (erasing it), the
// points changed, the new frame drawn. Only the frame is drawn while
// dragging, never what it bends.
#include <cmath>
#include <initializer_list>

#include "app/keyboard.h"
#include "paths/path_internal.h"
#include "paths/warp_frame.h"
#include "platform/toolbox/api/ui_services.h"

namespace {

constexpr float kReach = 6.0f;  // frame units around a point that take a press

bool Touches(float X, float Y, float x, float y) {
  return X - kReach < x && x < X + kReach && Y - kReach < y && y < Y + kReach;
}

bool OneOf(int i, std::initializer_list<int> set) {
  for (int v : set) {
    if (v == i) return true;
  }
  return false;
}

bool IsCorner(int i) { return OneOf(i, {0, 6, 7, 13, 14, 20, 21, 27}); }

// Whether the kind offers point i to the hit test: the corners always, the
// inner points of the curved edges by kind (kind 33 edits only corners here).
bool Editable(int16_t kind, int i) {
  if (IsCorner(i)) return true;
  if (OneOf(i, {1, 5, 15, 19})) return kind == 2 || kind == 3;
  if (OneOf(i, {2, 3, 4, 16, 17, 18})) return kind == 3;
  if (OneOf(i, {8, 12, 22, 26})) return kind == 20 || kind == 30;
  if (OneOf(i, {9, 10, 11, 23, 24, 25})) return kind == 30;
  return false;
}

// A corner: its two copies and the control points on either side of it.
struct Corner {
  int a, b;    // the two copies
  int c1, c2;  // the control points beside it
};
constexpr Corner kTopLeft{0, 27, 1, 26};
constexpr Corner kBottomLeft{6, 7, 5, 8};
constexpr Corner kBottomRight{13, 14, 12, 15};
constexpr Corner kTopRight{20, 21, 19, 22};

// The corner a point belongs to, and its horizontal, vertical and diagonal
// opposites; false for a point that is not a corner.
bool CornerOf(int i, Corner* own, Corner* horizontal, Corner* vertical, Corner* diagonal) {
  if (i == 0 || i == 27) {
    *own = kTopLeft, *horizontal = kTopRight, *vertical = kBottomLeft, *diagonal = kBottomRight;
  } else if (i == 6 || i == 7) {
    *own = kBottomLeft, *horizontal = kBottomRight, *vertical = kTopLeft, *diagonal = kTopRight;
  } else if (i == 13 || i == 14) {
    *own = kBottomRight, *horizontal = kBottomLeft, *vertical = kTopRight, *diagonal = kTopLeft;
  } else if (i == 20 || i == 21) {
    *own = kTopRight, *horizontal = kTopLeft, *vertical = kBottomRight, *diagonal = kBottomLeft;
  } else {
    return false;
  }
  return true;
}

// The partner of an inner point across the vertical centre line (Command)
// and across the horizontal one (Shift).
int HorizontalPartner(int i) { return i >= 22 ? 48 - i : 20 - i; }
int VerticalPartner(int i) { return i <= 5 ? 6 - i : 34 - i; }

}  // namespace

int16_t CWarpPath::OnCtrl(int16_t frameKind, Point pt) const {
  const float x = PortToPathX(drawPar, pt.h), y = PortToPathY(drawPar, pt.v);
  for (int i = 0; i < kPoints; ++i) {
    // A touched point the kind does not offer is passed over: a handle
    // lying under it may still answer.
    if (Touches(X[i], Y[i], x, y) && Editable(frameKind, i)) return 1;
  }
  return 0;
}

void CWarpPath::ShowFrame(int16_t frameKind) {
  const RGBColor black;
  if (frameKind == 33) {
    DisplayFrame(0, black, X, Y);
  } else {
    DisplayFrame2(0, black, frameKind, X, Y);
  }
}

void CWarpPath::MoveCorner(int i, float x, float y, float dx, float dy, float cx, float cy) {
  Corner own, horizontal, vertical, diagonal;
  if (!CornerOf(i, &own, &horizontal, &vertical, &diagonal)) return;
  // A corner takes the mouse; an opposite takes its mirror image, and the
  // control points beside each move by the step mirrored the same way.
  auto place = [&](const Corner& c, float px, float py, float sx, float sy) {
    X[c.a] = X[c.b] = px;
    Y[c.a] = Y[c.b] = py;
    X[c.c1] += sx * dx;
    Y[c.c1] += sy * dy;
    X[c.c2] += sx * dx;
    Y[c.c2] += sy * dy;
  };
  place(own, x, y, 1.0f, 1.0f);
  // Every key that is down applies, one after the other.
  if (KeyIsDown(plat::ui::kVKCommand) != 0) place(horizontal, 2 * cx - x, y, -1.0f, 1.0f);
  if (KeyIsDown(plat::ui::kVKShift) != 0) place(vertical, x, 2 * cy - y, 1.0f, -1.0f);
  if (KeyIsDown(plat::ui::kVKControl) != 0) place(diagonal, 2 * cx - x, 2 * cy - y, -1.0f, -1.0f);
}

void CWarpPath::MoveInnerPoint(int i, float x, float y, float dx, float dy, float cx, float cy) {
  X[i] = x;
  Y[i] = y;
  // A middle knot carries its two neighbours along.
  if (i == 3 || i == 10 || i == 17 || i == 24) {
    for (int n : {i - 1, i + 1}) {
      X[n] += dx;
      Y[n] += dy;
    }
  }
  // A middle knot is its own partner along its edge: it ends mirrored.
  if (KeyIsDown(plat::ui::kVKCommand) != 0) {
    const int h = HorizontalPartner(i);
    X[h] = 2 * cx - x;
    Y[h] = y;
  }
  if (KeyIsDown(plat::ui::kVKShift) != 0) {
    const int v = VerticalPartner(i);
    X[v] = x;
    Y[v] = 2 * cy - y;
  }
}

int16_t CWarpPath::Interactive2(int16_t frameKind, Point pt) {
  const float x0 = PortToPathX(drawPar, pt.h), y0 = PortToPathY(drawPar, pt.v);
  float keptX[kPoints], keptY[kPoints];
  float left = X[0], right = X[0], top = Y[0], bottom = Y[0];
  for (int i = 0; i < kPoints; ++i) {
    keptX[i] = X[i];
    keptY[i] = Y[i];
    left = std::fmin(left, X[i]);
    right = std::fmax(right, X[i]);
    top = std::fmin(top, Y[i]);
    bottom = std::fmax(bottom, Y[i]);
  }
  const float cx = (left + right) / 2.0f, cy = (top + bottom) / 2.0f;
  float xr = x0, yr = y0;
  int16_t changed = 0;
  bool hitAny = false;

  auto mouse = [&](float* x, float* y) {
    const Point m = paths_detail::MouseInPort();
    *x = PortToPathX(drawPar, m.h);
    *y = PortToPathY(drawPar, m.v);
  };

  // The scan goes on after a drag, testing the later points against the
  // last mouse position: the dragged corner's second copy is always found
  // there and runs one more (empty) pass, as it always has.
  for (int i = 0; i < kPoints; ++i) {
    if (!Touches(X[i], Y[i], xr, yr)) continue;
    hitAny = true;
    do {
      float x, y;
      mouse(&x, &y);
      const float dx = x - xr, dy = y - yr;
      if (std::fabs(dx) <= 0.1f && std::fabs(dy) <= 0.1f) continue;
      ShowFrame(frameKind);
      if (IsCorner(i)) {
        MoveCorner(i, x, y, dx, dy, cx, cy);
      } else {
        MoveInnerPoint(i, x, y, dx, dy, cx, cy);
      }
      ShowFrame(frameKind);
      xr = x;
      yr = y;
      changed = 1;
    } while (paths_detail::MouseStillDown());
  }
  if (hitAny) return changed;

  // No point under the press: the whole frame follows the mouse, or with
  // Option scales about its centre by how far the mouse lies from it
  // compared with the press (distances, so the frame never mirrors).
  const float fromW = std::fabs(x0 - cx), fromH = std::fabs(y0 - cy);
  float lx = x0, ly = y0;
  do {
    float x, y;
    mouse(&x, &y);
    if (std::fabs(x - lx) <= 0.1f && std::fabs(y - ly) <= 0.1f) continue;
    lx = x;
    ly = y;
    ShowFrame(frameKind);
    const bool scale = KeyIsDown(plat::ui::kVKOption) != 0;
    for (int i = 0; i < kPoints; ++i) {
      if (scale) {
        // A press on a centre line has no distance to compare: that axis
        // keeps its size.
        X[i] = fromW != 0.0f ? cx + std::fabs(x - cx) * (keptX[i] - cx) / fromW : keptX[i];
        Y[i] = fromH != 0.0f ? cy + std::fabs(y - cy) * (keptY[i] - cy) / fromH : keptY[i];
      } else {
        X[i] = keptX[i] + (x - x0);
        Y[i] = keptY[i] + (y - y0);
      }
    }
    ShowFrame(frameKind);
    changed = 1;
  } while (paths_detail::MouseStillDown());
  return changed;
}

void CWarpPath::Interactive(Point pt) { Interactive2(33, pt); }
