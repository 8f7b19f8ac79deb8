// Text objects and text on paths: their settings and copies, the letters
// made from the drawing layer's glyph outlines, the text object's letters
// bent by its frame, the text path's letters placed along the path it
// follows, and dragging the letters of a text path by their marks.
//
// Letters are drawn in XOR like every other feedback: drawing them twice
// erases them.
#include "paths/text_objects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/warp_frame.h"
#include "platform/draw/glyph_outline.h"
#include "platform/draw/port.h"

namespace draw = plat::draw;

namespace {

constexpr float kTwoPi = 6.283185307f;

void StoreSettings(TextSettings* t, int16_t f, int16_t a, int16_t g, int16_t h,
                   const uint8_t* text, int16_t d, float r1, float r2, int32_t r3, int32_t r4,
                   float e, int16_t b, int16_t c) {
  t->settingA = a;
  t->settingB = b;
  t->settingC = c;
  t->settingD = d;
  t->settingE = static_cast<int32_t>(std::trunc(e));
  t->real1 = r1;
  t->real2 = r2;
  t->real3 = static_cast<float>(r3);
  t->real4 = static_cast<float>(r4);
  std::memset(t->text, 0, sizeof t->text);
  if (text != nullptr) std::memcpy(t->text, text, static_cast<size_t>(text[0]) + 1);
  t->settingF = f;
  t->settingG = g;
  t->settingH = h;
}

void CopySettings(const TextSettings& s, CTxtObj* obj, CTxtPath* path) {
  auto store = [&](auto* target) {
    target->F_TextParam(s.settingF, s.settingA, s.settingG, s.settingH, s.text, s.settingD,
                        s.real1, s.real2, static_cast<int32_t>(s.real3),
                        static_cast<int32_t>(s.real4), static_cast<float>(s.settingE),
                        s.settingB, s.settingC);
    target->settings.flag1 = s.flag1;
    target->settings.flag2 = s.flag2;
  };
  if (obj != nullptr) store(obj);
  if (path != nullptr) store(path);
}

// Appends paths to a list without touching its selection.
class ListTail {
 public:
  explicit ListTail(CPathList* list) : list_(list) {
    for (CPath* p = list->first; p != nullptr; p = p->next) last_ = p;
  }
  void Add(CPath* p) {
    paths_detail::LinkLast(list_->first, last_, p);
    ++list_->count;
  }

 private:
  CPathList* list_;
  CPath* last_ = nullptr;
};

// One closed path per contour of the glyph, shifted right by penX: a knot
// at the start and at the end of every segment but the closing one.
void AddGlyphPaths(const draw::GlyphOutline& g, float penX, ListTail& tail) {
  for (const draw::GlyphContour& c : g.contours) {
    const auto n = static_cast<int32_t>(c.segments.size());
    if (n < 2) continue;  // a lone point encloses nothing
    CPath* p = new CPath;
    p->CreaPathof_xpts(n, 1);
    CPathPoint* k = p->first;
    float x = c.startX, y = c.startY;
    for (int32_t j = 0; j < n; ++j) {
      const draw::GlyphSegment& s = c.segments[static_cast<size_t>(j)];
      k->x = x + penX;
      k->y = y;
      k->outX = s.c1x + penX;
      k->outY = s.c1y;
      k->next->inX = s.c2x + penX;
      k->next->inY = s.c2y;
      x = s.x;
      y = s.y;
      k = k->next;
    }
    tail.Add(p);
  }
}

// The text's letters set on one line from x 0, baseline y 0, into `list`.
void SetLine(const TextSettings& t, CPathList* list) {
  const float size = LetterSize(t);
  ListTail tail(list);
  float pen = 0.0f;
  for (int i = 1; i <= t.text[0]; ++i) {
    draw::GlyphOutline g;
    if (!draw::LoadGlyphOutline(t.text[i], size, &g)) continue;
    AddGlyphPaths(g, pen, tail);
    pen += g.advance;
  }
}

// Bounds of every coordinate of the list's paths; false when it has none.
bool TrueBounds(const CPathList& list, float* l, float* t, float* r, float* b) {
  *l = *t = 1.0e30f;
  *r = *b = -1.0e30f;
  bool any = false;
  for (CPath* p = list.first; p != nullptr; p = p->next) {
    if (p->GetBound(l, t, r, b) != 0) any = true;
  }
  return any;
}

// Turns every coordinate of the list about (cx, cy) by `angle`, counted
// anticlockwise with y up as the path directions are. The letters turn
// exactly: whole-pixel rounding would wreck their outlines, and a whole
// turn (a path running right) leaves them untouched.
void TurnLetters(CPathList* list, float angle, float cx, float cy) {
  double a = std::fmod(static_cast<double>(angle), static_cast<double>(kTwoPi));
  if (a < 0.0) a += kTwoPi;
  if (a < 1e-6 || a > kTwoPi - 1e-6) return;
  const double co = std::cos(a), si = std::sin(a);
  for (CPath* p = list->first; p != nullptr; p = p->next) {
    paths_detail::ForEachCoordinatePair(p, [&](float& x, float& y) {
      const double dx = x - cx, dy = y - cy;
      x = static_cast<float>(cx + dx * co + dy * si);
      y = static_cast<float>(cy - dx * si + dy * co);
    });
  }
}

void DeleteList(CPathList*& l) {
  delete l;
  l = nullptr;
}

}  // namespace

float LetterSize(const TextSettings& t) {
  return t.real1 >= 1.0f && t.real1 <= 1000.0f ? t.real1 : 36.0f;
}

// ---------------------------------------------------------------------------
// Text object

CTxtObj::CTxtObj() : frame(new CWarpPath) {
  frame->kind = 20;
  Init_DrawPar(&drawPar);
}

CTxtObj::~CTxtObj() { delete frame; }

void CTxtObj::F_TextParam(int16_t f, int16_t a, int16_t g, int16_t h, const uint8_t* text,
                          int16_t d, float real1, float real2, int32_t real3, int32_t real4,
                          float e, int16_t b, int16_t c) {
  StoreSettings(&settings, f, a, g, h, text, d, real1, real2, real3, real4, e, b, c);
}

void CTxtObj::CopyTxtObj(CTxtObj* target) const {
  if (target == nullptr || target == this) return;
  if (frame != nullptr && target->frame != nullptr) frame->CopyWarpPath(target->frame);
  CopySettings(settings, target, nullptr);
}

void CTxtObj::FollowView() {
  const DrawPar* shared = SessionDrawPar();
  if (shared == nullptr) return;
  for (DrawPar* dp : {&drawPar, frame != nullptr ? &frame->drawPar : nullptr}) {
    if (dp == nullptr) continue;
    dp->viewOffsetX = shared->viewOffsetX;
    dp->viewOffsetY = shared->viewOffsetY;
    dp->originX = shared->originX;
    dp->originY = shared->originY;
    dp->scaleX = shared->scaleX;
    dp->scaleY = shared->scaleY;
  }
}

int16_t CTxtObj::OnCtrl(Point pt) {
  if (frame == nullptr) return kOffFrame;
  FollowView();
  if (frame->OnCtrl(frame->kind, pt) != 0) return 1;
  const float x = PortToPathX(frame->drawPar, pt.h), y = PortToPathY(frame->drawPar, pt.v);
  const float* X = frame->X;
  const float* Y = frame->Y;
  const float l = *std::min_element(X, X + CWarpPath::kPoints) - 6.0f;
  const float r = *std::max_element(X, X + CWarpPath::kPoints) + 6.0f;
  const float t = *std::min_element(Y, Y + CWarpPath::kPoints) - 6.0f;
  const float b = *std::max_element(Y, Y + CWarpPath::kPoints) + 6.0f;
  return x >= l && x <= r && y >= t && y <= b ? 0 : kOffFrame;
}

// The text's real outlines, so that a text object fills and draws what was
// typed rather than nothing.
void CTxtObj::RenderToList(CPathList* list) {
  if (list == nullptr || frame == nullptr) return;
  CPathList line(0);
  SetLine(settings, &line);
  float l, t, r, b;
  if (!TrueBounds(line, &l, &t, &r, &b)) return;
  // Fit the line to the box of the frame's points, then bend it by the
  // frame; an axis without extent keeps its size.
  const float* X = frame->X;
  const float* Y = frame->Y;
  const float fl = *std::min_element(X, X + CWarpPath::kPoints);
  const float fr = *std::max_element(X, X + CWarpPath::kPoints);
  const float ft = *std::min_element(Y, Y + CWarpPath::kPoints);
  const float fb = *std::max_element(Y, Y + CWarpPath::kPoints);
  const float sx = r > l ? (fr - fl) / (r - l) : 1.0f;
  const float sy = b > t ? (fb - ft) / (b - t) : 1.0f;
  for (CPath* p = line.first; p != nullptr; p = p->next) {
    paths_detail::ForEachCoordinatePair(p, [&](float& x, float& y) {
      x = fl + (x - l) * sx;
      y = ft + (y - t) * sy;
    });
  }
  if (frame->kind == 33) {
    line.DistortWithPath(0, X, Y, 0);
  } else {
    line.Distort2Path(0, frame->kind, X, Y, 0);
  }
  list->AttachPathList(0, &line);
}

void CTxtObj::TransfoToOutline(CPathList* list) { RenderToList(list); }

int32_t CTxtObj::GetBound(float* left, float* top, float* right, float* bottom) {
  CPathList letters(0);
  RenderToList(&letters);
  return letters.GetBound(0, left, top, right, bottom);
}

void CTxtObj::Draw(int16_t mode, RGBColor colour) {
  CPathList letters(0);
  RenderToList(&letters);
  letters.InActivateAll(0);
  letters.DrawPathList(nullptr, 0, mode, colour);
}

void CTxtObj::InputText(int16_t, int16_t) {
  // Typing is not taken yet. Handing the object's mapping to a list would
  // write it into the session's shared mapping, so nothing is handed on.
}

void CTxtObj::DisplayFrame2(int16_t mode, RGBColor colour) {
  if (frame == nullptr) return;
  FollowView();
  if (frame->kind == 33) {
    frame->DisplayFrame(mode, colour, frame->X, frame->Y);
  } else {
    frame->DisplayFrame2(mode, colour, frame->kind, frame->X, frame->Y);
  }
}

// ---------------------------------------------------------------------------
// Text path

CTxtPath::CTxtPath() {
  settings.settingB = 1;
  Init_DrawPar(&drawPar);
}

CTxtPath::~CTxtPath() {
  for (CPathList*& l : letters) DeleteList(l);
}

void CTxtPath::F_TextParam(int16_t f, int16_t a, int16_t g, int16_t h, const uint8_t* text,
                           int16_t d, float real1, float real2, int32_t real3, int32_t real4,
                           float e, int16_t b, int16_t c) {
  StoreSettings(&settings, f, a, g, h, text, d, real1, real2, real3, real4, e, b, c);
}

void CTxtPath::CopyTxtPath(CTxtPath* target) const {
  if (target == nullptr || target == this) return;
  CopySettings(settings, nullptr, target);
  target->state = state;
  target->letterCount = letterCount;
  target->startInt = startInt;
  std::memcpy(target->plainText, plainText, sizeof plainText);
  std::memcpy(target->spare1, spare1, sizeof spare1);
  std::memcpy(target->advance, advance, sizeof advance);
  std::memcpy(target->offset, offset, sizeof offset);
  std::memcpy(target->spare2, spare2, sizeof spare2);
  std::memcpy(target->leftExtent, leftExtent, sizeof leftExtent);
  std::memcpy(target->spare3, spare3, sizeof spare3);
  std::memcpy(target->rightExtent, rightExtent, sizeof rightExtent);
  std::memcpy(target->baseline, baseline, sizeof baseline);
}

// Real letters from the drawing layer's font: text that filled, bounded and
// drew nothing would leave what the user typed invisible in every render.
void CTxtPath::LoadLetters(const char* text, int16_t count) {
  const int n = text == nullptr ? 0 : std::clamp<int>(count, 0, kLetters);
  const float size = LetterSize(settings);
  float pen = 0.0f;
  for (int i = 0; i < kLetters; ++i) {
    DeleteList(letters[i]);
    if (i >= n) continue;
    letters[i] = new CPathList(0);
    ListTail tail(letters[i]);
    draw::GlyphOutline g;
    // A character the face cannot give keeps an empty list and no width.
    draw::LoadGlyphOutline(static_cast<uint8_t>(text[i]), size, &g);
    AddGlyphPaths(g, pen, tail);
    advance[i] = static_cast<int32_t>(pen);
    if (g.contours.empty()) {
      leftExtent[i] = rightExtent[i] = advance[i];
    } else {
      leftExtent[i] = static_cast<int32_t>(pen + g.xMin);
      rightExtent[i] = static_cast<int32_t>(pen + g.xMax);
    }
    baseline[i] = 0;
    pen += g.advance;
  }
  loadedSize_ = size;
}

void CTxtPath::PrepareLetters() {
  const int n = settings.text[0];
  const bool changed = std::memcmp(plainText, settings.text + 1, static_cast<size_t>(n)) != 0 ||
                       plainText[n] != '\0' || loadedSize_ != LetterSize(settings);
  std::memcpy(plainText, settings.text + 1, static_cast<size_t>(n));
  plainText[n] = '\0';
  letterCount = static_cast<int16_t>(n);
  bool missing = false;
  for (int i = 0; i < n; ++i) missing = missing || letters[i] == nullptr;
  if (changed || missing) LoadLetters(plainText, letterCount);
}

float CTxtPath::Position(int i) const {
  if (i >= kLetters) return 0.0f;
  const float own = i >= workFrom_ ? working_[i] : static_cast<float>(advance[i]);
  return own + static_cast<float>(offset[i]);
}

void CTxtPath::PlaceLetters(int16_t mode, CPathList* list, int from) {
  PrepareLetters();
  if (followed == nullptr) return;
  CPath path;
  path.DuplicatePath(followed, settings.settingB);
  const float L = path.GetAcuPathLength();
  float cursor = path.closed != 0 ? 0.0f : static_cast<float>(startInt);
  const bool handOver = mode == 1 && list != nullptr;
  for (int i = 0; i < letterCount && cursor < L; ++i) {
    if (letters[i] == nullptr) continue;
    if (i >= from) {
      float p = Position(i) + static_cast<float>(startInt) +
                static_cast<float>((rightExtent[i] - leftExtent[i]) / 2);
      if (p > L) p -= L;
      float angle = 0.0f, x = 0.0f, y = 0.0f;
      path.GetPointAtLength(0, p, &angle, &x, &y, nullptr, nullptr);
      const float px = static_cast<float>((leftExtent[i] + rightExtent[i]) / 2);
      const auto py = static_cast<float>(baseline[i]);
      CPathList* work = letters[i];
      if (!handOver) {
        work = new CPathList(0);
        letters[i]->CopyPathList(work);
      }
      TurnLetters(work, angle, px, py);
      work->MovePathList(0, 0, x - px, y - py);
      if (list != nullptr) {
        list->AttachPathList(0, work);
      } else {
        work->InActivateAll(0);
        work->DrawPathList(nullptr, 0, 0, RGBColor());
      }
      if (handOver) {
        DeleteList(letters[i]);
      } else {
        delete work;
      }
    }
    if (i + 1 < kLetters) cursor += Position(i + 1) - Position(i);
  }
}

void CTxtPath::TransfoToOutline(int16_t mode, CPathList* list) {
  if (list == nullptr) return;
  PlaceLetters(mode, list, 0);
}

void CTxtPath::RenderToList(CPathList* list) {
  if (list == nullptr) return;
  PlaceLetters(0, list, 0);
}

void CTxtPath::Draw(int16_t mode, RGBColor colour) {
  CPathList placed(0);
  RenderToList(&placed);
  placed.InActivateAll(0);
  placed.DrawPathList(nullptr, 0, mode, colour);
}

void CTxtPath::DisplayLetters(int16_t from) { PlaceLetters(0, nullptr, from); }

void CTxtPath::DisplayMarks(int16_t from) {
  if (followed == nullptr) return;
  paths_detail::XorPen pen;
  for (int i = std::max<int>(from, 0); i < letterCount && i < kLetters; ++i) {
    float angle = 0.0f, x = 0.0f, y = 0.0f;
    followed->GetPointAtLength(0, Position(i) + static_cast<float>(startInt), &angle, &x, &y,
                               nullptr, nullptr);
    const Point c = PathToPort(drawPar, x, y);
    Rect r;
    r.left = static_cast<int16_t>(c.h - 1);
    r.right = static_cast<int16_t>(c.h + 1);
    r.top = static_cast<int16_t>(c.v - 5);
    r.bottom = static_cast<int16_t>(c.v + 5);
    draw::FrameRect(r);
  }
}

int16_t CTxtPath::Interactive(CPathList* list, Point pt) {
  if (followed == nullptr) state = 0;
  // The text path maps through its own parameters, which follow the view.
  if (const DrawPar* shared = SessionDrawPar()) Copy_DrawPar(shared, &drawPar);
  const float x = PortToPathX(drawPar, pt.h), y = PortToPathY(drawPar, pt.v);
  if (state == 0) {
    if (list == nullptr) return 0;
    float length = static_cast<float>(startInt) + static_cast<float>(startFrac) / 100000.0f;
    if (CPath* p = list->CapturePath(x, y, &length)) {
      followed = p;
      state = 1;
      startInt = static_cast<int32_t>(length);
      startFrac = static_cast<int32_t>((length - static_cast<float>(startInt)) * 100000.0f);
    }
    return 0;
  }
  AdjustMarks(x, y);
  return 1;
}

void CTxtPath::AdjustMarks(float x, float y) {
  if (followed == nullptr) return;
  const float start = static_cast<float>(startInt);
  int hit = -1;
  for (int i = 0; i < letterCount && i < kLetters && hit < 0; ++i) {
    float angle = 0.0f, mx = 0.0f, my = 0.0f;
    followed->GetPointAtLength(0, Position(i) + start, &angle, &mx, &my, nullptr, nullptr);
    if (std::fabs(mx - x) < 3.0f && std::fabs(my - y) < 3.0f) hit = i;
  }
  if (hit < 0) return;
  const float L = followed->GetAcuPathLength();
  for (int j = hit; j < kLetters; ++j) working_[j] = static_cast<float>(advance[j]);
  workFrom_ = hit;
  paths_detail::DragWhileDown(drawPar, x, y, [&](float mx, float my, float, float) {
    float len = 0.0f;
    if (followed->GetLengthAtPoint(0, &len, mx, my, nullptr, nullptr) != 0) return;
    DisplayMarks(static_cast<int16_t>(hit));
    DisplayLetters(static_cast<int16_t>(hit));
    float rel = len - start;
    if (len < start) rel = len + (L - start);
    const float shift = rel - (static_cast<float>(advance[hit]) + static_cast<float>(offset[hit]));
    for (int j = hit; j < kLetters; ++j) working_[j] = static_cast<float>(advance[j]) + shift;
    DisplayLetters(static_cast<int16_t>(hit));
    DisplayMarks(static_cast<int16_t>(hit));
  });
  for (int j = hit; j < kLetters; ++j) {
    offset[j] = static_cast<int32_t>(working_[j] - static_cast<float>(advance[j]) +
                                     static_cast<float>(offset[j]));
  }
  workFrom_ = kLetters;
}
