// The warp frame: laying it over paths, keeping one saved state, moving it
// with its paths, drawing it as preview feedback, and its warp files and
// the menus that list them.
//
// Warp file: 232 bytes, the reference width and height (signed 32-bit) at 0
// and 4, then the 28 X and the 28 Y as single-precision floats at 8 and
// 120. We write it in this host's order (little-endian); a file whose width
// makes sense only byte-swapped was written on a big-endian host and is
// read big-endian. The kind is not in the file: it is the file's type.
#include "paths/warp_frame.h"

#include <array>
#include <cstdint>

#include "app/core/app_data.h"
#include "app/core/pascal_strings.h"
#include "app/core/plane_geometry.h"
#include "app/core/session_state.h"
#include "app/core/text_helpers.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"
#include "app/plain_file_menus.h"
#include "paths/path.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "platform/bytes/byte_order.h"
#include "platform/draw/port.h"
#include "platform/memory/memory.h"
#include "platform/toolbox/api/plain_menus.h"

namespace draw = plat::draw;
namespace bytes = plat::bytes;

namespace {

constexpr int kPoints = CWarpPath::kPoints;
constexpr int kFileBytes = 232;
constexpr int32_t kMenuFiles = 512;
constexpr int16_t kFirstMenuId = 16190;
constexpr std::array<int16_t, CWarpPath::kMenus> kMenuKinds = {2, 3, 20, 30, 33};
constexpr OSType kWarpCreator = FourCC("vMkC");

// The frame's points in port pixels, through its own mapping.
class ScreenPoints {
 public:
  ScreenPoints(const DrawPar& dp, const float* xs, const float* ys) {
    for (int i = 0; i < kPoints; ++i) p_[i] = PathToPort(dp, xs[i], ys[i]);
  }
  Point operator[](int i) const { return p_[i]; }

 private:
  Point p_[kPoints];
};

void Stroke(Point a, Point b) {
  draw::MoveTo(a.h, a.v);
  draw::LineTo(b.h, b.v);
  draw::Line(0, 0);
}

void Handle(Point p) {
  Rect r;
  VMK_SetRect(&r, static_cast<int16_t>(p.h - 3), static_cast<int16_t>(p.v - 3),
              static_cast<int16_t>(p.h + 3), static_cast<int16_t>(p.v + 3));
  draw::PaintRect(r);
}

// One Bezier of the frame, drawn at a step of 5 hundredths; `lines` adds
// its control lines p0-p1 and p3-p2.
void Curve(const ScreenPoints& s, int a, int b, int c, int d, bool lines) {
  CPath scratch;
  scratch.ug_spline(s[a], s[b], s[c], s[d], 5);
  if (lines) {
    Stroke(s[a], s[b]);
    Stroke(s[d], s[c]);
  }
}

void Corners(const ScreenPoints& s) {
  for (int i : {0, 7, 14, 21}) Handle(s[i]);
}

// An edge of two curves (e, e+1, e+2, e+3) and (e+3, ..., e+6) with their
// control lines and the handles at their inner points.
void TwoCurveEdge(const ScreenPoints& s, int e) {
  Curve(s, e, e + 1, e + 2, e + 3, true);
  Handle(s[e + 1]);
  Handle(s[e + 2]);
  Curve(s, e + 3, e + 4, e + 5, e + 6, true);
  Handle(s[e + 4]);
  Handle(s[e + 5]);
}

// An edge of one curve (e, e+1, e+5, e+6) with control lines and handles.
void OneCurveEdge(const ScreenPoints& s, int e) {
  Curve(s, e, e + 1, e + 5, e + 6, true);
  Handle(s[e + 1]);
  Handle(s[e + 5]);
}

// Reads the 232 bytes: the reference size and the two arrays, in the order
// the reference width tells. False when the bytes are short.
bool ParseWarpFile(const uint8_t* data, int32_t* refW, int32_t* refH, float* xs, float* ys) {
  auto sane = [](int64_t w) { return w >= 1 && w <= 65535; };
  const auto le = static_cast<int32_t>(bytes::loadLE32(data));
  const auto be = static_cast<int32_t>(bytes::loadBE32(data));
  const bytes::Order order = !sane(le) && sane(be) ? bytes::Order::Big : bytes::Order::Little;
  bytes::Reader r(data, kFileBytes, order);
  *refW = r.i32();
  *refH = r.i32();
  for (int i = 0; i < kPoints; ++i) xs[i] = r.f32();
  for (int i = 0; i < kPoints; ++i) ys[i] = r.f32();
  return r.ok();
}

// Writes the open file of slot 0 and closes it: 0, or -1 (the slot closed
// and, the file being a replacement, the old file left as it was).
int32_t WriteWarpFile(int32_t width, int32_t height, const float* xs, const float* ys) {
  bytes::Writer w;
  w.i32(width);
  w.i32(height);
  for (int i = 0; i < kPoints; ++i) w.f32(xs[i]);
  for (int i = 0; i < kPoints; ++i) w.f32(ys[i]);
  if (S_write(0, w.bytes().data(), 0, kFileBytes) != 0) {
    S_close(0);
    return -1;
  }
  return S_close(0) == 0 ? 0 : -1;
}

// Reads the open file of slot 0 into the arrays, scaled to width x height,
// and closes it: 0, or -1 with the arrays untouched.
int32_t ReadWarpFile(int32_t width, int32_t height, float* xs, float* ys) {
  uint8_t data[kFileBytes];
  int32_t size = 0;
  if (S_getEOF(0, &size) != 0 || size < kFileBytes || S_read(0, data, 0, kFileBytes) != 0) {
    S_close(0);
    return -1;
  }
  if (S_close(0) != 0) return -1;
  int32_t refW = 0, refH = 0;
  float fx[kPoints], fy[kPoints];
  if (!ParseWarpFile(data, &refW, &refH, fx, fy)) return -1;
  // A reference size of 0 has no ratio: the points are taken as stored.
  for (int i = 0; i < kPoints; ++i) {
    xs[i] = refW != 0 ? static_cast<float>(width) * fx[i] / static_cast<float>(refW) : fx[i];
    ys[i] = refH != 0 ? static_cast<float>(height) * fy[i] / static_cast<float>(refH) : fy[i];
  }
  return 0;
}

}  // namespace

CWarpPath::CWarpPath() { Init_DrawPar(&drawPar); }

// The frame owns what PrepareMenus made; nothing else frees it.
CWarpPath::~CWarpPath() { ReleaseMenus(); }

void CWarpPath::ReleaseMenus() {
  for (int i = 0; i < kMenus; ++i) {
    plat::ui::DisposeMenu(menus[i]);
    menus[i] = nullptr;
    plat::DisposePtr(fileTables[i]);
    fileTables[i] = nullptr;
  }
}

OSType CWarpPath::FileTypeOfKind(int16_t frameKind) {
  switch (frameKind) {
    case 2: return FourCC("Sw02");
    case 3: return FourCC("Sw03");
    case 20: return FourCC("Sw20");
    case 30: return FourCC("Sw30");
    case 33: return FourCC("Sw33");
    default: return 0;
  }
}

void CWarpPath::CopyWarpPath(CWarpPath* dst) const {
  if (dst == nullptr || dst == this) return;
  for (int i = 0; i < kPoints; ++i) {
    dst->X[i] = X[i];
    dst->Y[i] = Y[i];
  }
  dst->centreX = centreX;
  dst->centreY = centreY;
  dst->kind = kind;
}

void CWarpPath::MoveFrame(float dx, float dy) {
  for (int i = 0; i < kPoints; ++i) {
    X[i] += dx;
    Y[i] += dy;
  }
}

void CWarpPath::ResizeFrame(float px, float py, float fromW, float toW, float fromH, float toH) {
  // A zero reference size has no ratio; that axis keeps its points.
  for (int i = 0; i < kPoints; ++i) {
    if (fromW != 0.0f) X[i] = px + ((X[i] - px) * toW) / fromW;
    if (fromH != 0.0f) Y[i] = py + ((Y[i] - py) * toH) / fromH;
  }
}

void CWarpPath::RotateFrame(float cx, float cy, float angle) {
  for (int i = 0; i < kPoints; ++i) {
    float rx = 0.0f, ry = 0.0f;
    A_point_fromAng(cx, -cy, X[i], -Y[i], &rx, &ry, angle);
    X[i] = rx;
    Y[i] = -ry;
  }
}

void CWarpPath::Reset(CPathList* list) {
  float left = 10.0f, top = 10.0f, right = 110.0f, bottom = 110.0f;
  if (list != nullptr) {
    if (list->GetBound(1, &left, &top, &right, &bottom) == 0) {
      list->ActivateAll(0);
      list->GetBound(1, &left, &top, &right, &bottom);
    }
  }
  const float w = right - left, h = bottom - top;
  const float cx = (left + right) / 2.0f, cy = (top + bottom) / 2.0f;
  centreX = cx;
  centreY = cy;
  const float ls[7] = {top, top + h / 8, cy - h / 8, cy, cy + h / 8, bottom - h / 8, bottom};
  const float bs[7] = {left, left + w / 8, cx - w / 8, cx, cx + w / 8, right - w / 8, right};
  for (int i = 0; i < 7; ++i) {
    X[i] = left;                 // left edge, downward
    Y[i] = ls[i];
    X[7 + i] = bs[i];            // bottom edge, rightward
    Y[7 + i] = bottom;
    X[14 + i] = right;           // right edge, upward
    Y[14 + i] = ls[6 - i];
    X[21 + i] = bs[6 - i];       // top edge, leftward
    Y[21 + i] = top;
  }
}

void CWarpPath::BackTable(int16_t restore) {
  if (restore == 0) {
    for (int i = 0; i < kPoints; ++i) {
      savedX[i] = X[i];
      savedY[i] = Y[i];
    }
    savedKind = kind;
  } else {
    for (int i = 0; i < kPoints; ++i) {
      X[i] = savedX[i];
      Y[i] = savedY[i];
    }
    kind = savedKind;
  }
}

void CWarpPath::DisplayFrame2(int16_t mode, RGBColor colour, int16_t frameKind, const float* xs,
                              const float* ys) {
  // Kind 33 has its own routine (DisplayFrame); here it draws nothing, like
  // every kind outside the table.
  if (xs == nullptr || ys == nullptr) return;
  if (frameKind != 2 && frameKind != 3 && frameKind != 20 && frameKind != 30) return;
  paths_detail::PortScope port(&drawPar);
  paths_detail::PenScope pen(mode, colour);
  const ScreenPoints s(drawPar, xs, ys);
  switch (frameKind) {
    case 3:
      Stroke(s[7], s[13]);
      TwoCurveEdge(s, 0);
      Handle(s[3]);
      Stroke(s[21], s[27]);
      TwoCurveEdge(s, 14);
      Handle(s[17]);
      break;
    case 2:
      Stroke(s[7], s[13]);
      OneCurveEdge(s, 0);
      Stroke(s[21], s[27]);
      OneCurveEdge(s, 14);
      break;
    case 20:
      Stroke(s[0], s[6]);
      Curve(s, 7, 8, 12, 13, false);
      Handle(s[8]);
      Handle(s[12]);
      Stroke(s[14], s[20]);
      Curve(s, 21, 22, 26, 27, false);
      Handle(s[22]);
      Handle(s[26]);
      break;
    default:  // 30
      Stroke(s[0], s[6]);
      Curve(s, 7, 8, 9, 10, false);
      Curve(s, 10, 11, 12, 13, false);
      for (int i = 8; i <= 12; ++i) Handle(s[i]);
      Stroke(s[14], s[20]);
      Curve(s, 21, 22, 23, 24, false);
      Curve(s, 24, 25, 26, 27, false);
      for (int i = 22; i <= 26; ++i) Handle(s[i]);
      break;
  }
  Corners(s);
}

void CWarpPath::DisplayFrame(int16_t mode, RGBColor colour, const float* xs, const float* ys) {
  if (xs == nullptr || ys == nullptr) return;
  paths_detail::PortScope port(&drawPar);
  paths_detail::PenScope pen(mode, colour);
  const ScreenPoints s(drawPar, xs, ys);
  for (int e : {0, 7, 14, 21}) TwoCurveEdge(s, e);
  for (int i : {0, 3, 7, 10, 14, 17, 21, 24}) Handle(s[i]);
}

int32_t CWarpPath::Do_A_file(int16_t frameKind, int16_t mode, FSSpec spec, int32_t width,
                             int32_t height, float* xs, float* ys) {
  if (mode != 0 && mode != 1 && mode != 2) return 0;
  // A kind outside the table has no file type to save or list under.
  const OSType type = FileTypeOfKind(frameKind);
  if (type == 0 || xs == nullptr || ys == nullptr) return -1;
  fichier f;
  if (mode == 1) {
    Copy_FSSpeStruct(&spec, &f);
    f.creator = kWarpCreator;
    f.type = type;
    f.name[0] = 0;
    if (VMK_PutFile(&f) != 1) return 0;
    if (S_open(&f, 3, 0) != 0) return -1;
    return WriteWarpFile(width, height, xs, ys);
  }
  if (mode == 0) {
    Str255 prompt;
    SetPStr(prompt, "Load a New Warp...");
    if (VMK_GetFile(&f, &type, prompt, 1) != 1) return 0;
  } else if (!SetFicFromSpec(&f, spec)) {
    return -1;
  }
  if (S_open(&f, 1, 0) != 0) return -1;
  return ReadWarpFile(width, height, xs, ys);
}

int32_t CWarpPath::PrepareMenus() {
  // A second call replaces the menus of the first.
  ReleaseMenus();
  fichier folder;
  const bool haveFolder = gappData != nullptr;
  if (haveFolder) {
    Copy_FicStruct(&gappData->folder, &folder);
    PStrAppend(folder.path, "Warps");
  }
  for (int i = 0; i < kMenus; ++i) {
    menus[i] = plat::ui::NewMenu(static_cast<int16_t>(kFirstMenuId + i), "warp");
    if (menus[i] == nullptr) return -1;
    fileTables[i] = reinterpret_cast<FSSpec*>(plat::NewPtrClear(kMenuFiles * sizeof(FSSpec)));
    if (fileTables[i] == nullptr) return -1;
    if (!haveFolder) continue;
    const OSType type = FileTypeOfKind(kMenuKinds[static_cast<size_t>(i)]);
    int32_t count = 0;
    InstallMenuFromFileType(menus[i], &folder, &type, kMenuFiles, &count, fileTables[i], 1);
  }
  return 0;
}

void CWarpPath::Refresh_Dialog(int16_t mode, RGBColor colour, int16_t frameKind, Rect r) {
  // The preview shows the whole image in r: the frame is drawn through that
  // mapping, and both the session's and the frame's own mappings are put
  // back afterwards, so the preview leaves no trace on the image view.
  DrawPar savedOwn;
  Copy_DrawPar(&drawPar, &savedOwn);
  DrawPar* shared = SessionDrawPar();
  DrawPar savedShared;
  if (shared != nullptr) Copy_DrawPar(shared, &savedShared);

  const float rw = static_cast<float>(r.right - r.left);
  const float rh = static_cast<float>(r.bottom - r.top);
  const float iw = gPer != nullptr ? static_cast<float>(gPer->previewWidth) : 0.0f;
  const float ih = gPer != nullptr ? static_cast<float>(gPer->previewHeight) : 0.0f;
  // An empty rectangle or image has no mapping: scale 1 then.
  const float sx = rw > 0.0f && iw > 0.0f ? iw / rw : 1.0f;
  const float sy = rh > 0.0f && ih > 0.0f ? ih / rh : 1.0f;
  {
    CPathList scratch(0);
    scratch.SetDrwVal(0, 0, 0, 0, r.left, r.top, 0, sx, sy, 0.0f, 0.0f);
  }
  drawPar.viewOffsetX = r.left;
  drawPar.viewOffsetY = r.top;
  drawPar.originX = 0.0f;
  drawPar.originY = 0.0f;
  drawPar.scaleX = sx;
  drawPar.scaleY = sy;
  drawPar.mode = 0;

  draw::EraseRect(r);
  if (frameKind == 33) {
    DisplayFrame(mode, colour, X, Y);
  } else {
    DisplayFrame2(mode, colour, frameKind, X, Y);
  }

  Copy_DrawPar(&savedOwn, &drawPar);
  if (shared != nullptr) Copy_DrawPar(&savedShared, shared);
}
