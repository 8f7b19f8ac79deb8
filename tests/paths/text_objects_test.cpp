// Text objects and text paths: copies, letters from the glyph outlines,
// placement along straight and round paths, the text object's letters in
// its frame and its frame's hit test under a view mapping.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"
#include "platform/draw/glyph_outline.h"

using pathtest::ClosedPath;
using pathtest::Knot;
using pathtest::OpenPath;

namespace {

constexpr int kW = 300, kH = 300;

void SetText(TextSettings* t, const char* s) {
  t->text[0] = static_cast<uint8_t>(std::strlen(s));
  std::memcpy(t->text + 1, s, std::strlen(s));
}

std::vector<uint8_t> Fill(CPathList* list) {
  std::vector<uint8_t> mask(static_cast<size_t>(kW) * kH, 0);
  EXPECT_EQ(FillColPath(0, list, kH, kW, mask.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, 0), 0);
  return mask;
}

int Count(const CPathList& l) {
  int n = 0;
  for (CPath* p = l.first; p != nullptr; p = p->next) ++n;
  return n;
}

// A circle of radius r about (c, c) from four Bezier quarters.
CPath* Circle(float c, float r) {
  const float k = 0.5522847f * r;
  CPath* p = ClosedPath({{c + r, c}, {c, c + r}, {c - r, c}, {c, c - r}});
  CPathPoint* q = p->first;
  const float dirs[4][2] = {{0, 1}, {-1, 0}, {0, -1}, {1, 0}};  // tangent at each knot
  for (int i = 0; i < 4; ++i, q = q->next) {
    q->outX = q->x + k * dirs[i][0];
    q->outY = q->y + k * dirs[i][1];
    q->inX = q->x - k * dirs[i][0];
    q->inY = q->y - k * dirs[i][1];
  }
  return p;
}

class TextObjectsTest : public pathtest::InteractivePathTest {};

TEST_F(TextObjectsTest, CopyOfATextPathKeepsSettingsStartAndArraysNotItsPath) {
  CPath owner;
  owner.CreaTxtPath();
  CTxtPath& src = *owner.txtPath;
  uint8_t text[] = {3, 'a', 'b', 'c'};
  src.F_TextParam(1, 2, 3, 4, text, 6, 7.5f, 8.5f, 9, 10, 11.75f, 0, 13);
  src.settings.flag2 = 0;
  src.startInt = 42;
  src.startFrac = 777;
  src.letterCount = 3;
  std::strcpy(src.plainText, "abc");
  for (int i = 0; i < CTxtPath::kLetters; ++i) {
    src.advance[i] = i * 3;
    src.offset[i] = -i;
    src.baseline[i] = i % 5;
    src.spare3[i] = 2 * i;
  }
  CTxtPath dst;
  src.CopyTxtPath(&dst);
  EXPECT_EQ(dst.settings.settingF, 1);
  EXPECT_EQ(dst.settings.settingA, 2);
  EXPECT_EQ(dst.settings.settingH, 4);
  EXPECT_EQ(dst.settings.settingD, 6);
  EXPECT_EQ(dst.settings.real2, 8.5f);
  EXPECT_EQ(dst.settings.real4, 10.0f);
  EXPECT_EQ(dst.settings.settingE, 11);
  EXPECT_EQ(dst.settings.settingB, 0);
  EXPECT_EQ(dst.settings.settingC, 13);
  EXPECT_EQ(dst.settings.flag2, 0);
  EXPECT_EQ(std::memcmp(dst.settings.text, text, 4), 0);
  EXPECT_EQ(dst.state, 1);
  EXPECT_EQ(dst.startInt, 42);
  EXPECT_EQ(dst.startFrac, 0);  // only the integer part travels
  EXPECT_STREQ(dst.plainText, "abc");
  EXPECT_EQ(std::memcmp(dst.advance, src.advance, sizeof dst.advance), 0);
  EXPECT_EQ(std::memcmp(dst.offset, src.offset, sizeof dst.offset), 0);
  EXPECT_EQ(std::memcmp(dst.spare3, src.spare3, sizeof dst.spare3), 0);
  EXPECT_EQ(dst.followed, nullptr);

  CTxtObj a, b;
  a.frame->Reset(nullptr);
  a.frame->kind = 30;
  a.F_TextParam(0, 0, 0, 0, text, 0, 20.0f, 0, 0, 0, 0, 1, 0);
  a.CopyTxtObj(&b);
  EXPECT_EQ(b.frame->kind, 30);
  EXPECT_EQ(b.frame->X[14], 110.0f);
  EXPECT_EQ(b.settings.real1, 20.0f);
}

TEST_F(TextObjectsTest, AShortWordGivesOneClosedPathPerGlyphContour) {
  CPath* line = OpenPath({{20, 150}, {280, 150}});
  line->CreaTxtPath();
  SetText(&line->txtPath->settings, "Hi8");
  int contours = 0;
  for (char ch : {'H', 'i', '8'}) {
    plat::draw::GlyphOutline g;
    ASSERT_TRUE(plat::draw::LoadGlyphOutline(static_cast<uint8_t>(ch), 36.0f, &g));
    contours += static_cast<int>(g.contours.size());
  }
  EXPECT_EQ(contours, 1 + 2 + 3);

  CPathList out(0);
  line->txtPath->TransfoToOutline(1, &out);
  EXPECT_EQ(Count(out), contours);
  EXPECT_EQ(out.count, contours);
  for (CPath* p = out.first; p != nullptr; p = p->next) {
    EXPECT_EQ(p->closed, 1);
    EXPECT_EQ(Knot(p, p->count), p->first);  // a ring
  }
  EXPECT_EQ(line->txtPath->letterCount, 3);
  for (CPathList* slot : line->txtPath->letters) EXPECT_EQ(slot, nullptr);
  // Letters sit in order along the line, advances rising.
  EXPECT_EQ(line->txtPath->advance[0], 0);
  EXPECT_GT(line->txtPath->advance[1], line->txtPath->advance[0]);
  EXPECT_LT(line->txtPath->leftExtent[2], line->txtPath->rightExtent[2]);
  delete line;
}

TEST_F(TextObjectsTest, AlongAStraightPathTheFillIsThatOfTheLettersMoved) {
  CPathList list(0);
  list.first = OpenPath({{10, 200}, {290, 200}});
  list.count = 1;
  CPath* line = list.first;
  line->CreaTxtPath();
  CTxtPath& tp = *line->txtPath;
  SetText(&tp.settings, "Rag");
  tp.settings.real1 = 48.0f;
  tp.startInt = 7;
  tp.offset[1] = 5;
  const std::vector<uint8_t> placed = Fill(&list);
  ASSERT_NE(tp.letters[0], nullptr);  // a render keeps the lists

  CPathList expected(0);
  for (int i = 0; i < 3; ++i) {
    const float p = static_cast<float>(tp.advance[i] + tp.offset[i] + tp.startInt +
                                       (tp.rightExtent[i] - tp.leftExtent[i]) / 2);
    float a = 0, x = 0, y = 0;
    line->GetPointAtLength(0, p, &a, &x, &y, nullptr, nullptr);
    CPathList copy(0);
    tp.letters[i]->CopyPathList(&copy);
    copy.MovePathList(0, 0, x - static_cast<float>((tp.leftExtent[i] + tp.rightExtent[i]) / 2),
                      y - static_cast<float>(tp.baseline[i]));
    expected.AttachPathList(0, &copy);
  }
  const std::vector<uint8_t> moved = Fill(&expected);
  int covered = 0;
  for (uint8_t v : moved) covered += v != 0;
  EXPECT_GT(covered, 500);
  EXPECT_EQ(placed, moved);
}

TEST_F(TextObjectsTest, AlongACircleEveryLettersPivotLiesOnIt) {
  CPath* circle = Circle(150.0f, 100.0f);
  circle->CreaTxtPath();
  CTxtPath& tp = *circle->txtPath;
  SetText(&tp.settings, "IIIIIIIIII");
  CPathList out(0);
  tp.TransfoToOutline(0, &out);
  ASSERT_EQ(Count(out), 10);  // an I is one contour
  int i = 0;
  for (CPath* p = out.first; p != nullptr; p = p->next, ++i) {
    const CPath* src = tp.letters[i]->first;
    // The placement is rigid: recover it from two knots.
    const CPathPoint* a0 = src->first;
    const CPathPoint* a1 = a0->next;
    const CPathPoint* b0 = p->first;
    const CPathPoint* b1 = b0->next;
    const double turn = std::atan2(b1->y - b0->y, b1->x - b0->x) -
                        std::atan2(a1->y - a0->y, a1->x - a0->x);
    const double px = (tp.leftExtent[i] + tp.rightExtent[i]) / 2 - a0->x;
    const double py = tp.baseline[i] - a0->y;
    const double x = b0->x + px * std::cos(turn) - py * std::sin(turn);
    const double y = b0->y + px * std::sin(turn) + py * std::cos(turn);
    EXPECT_NEAR(std::hypot(x - 150.0, y - 150.0), 100.0, 1.0) << "letter " << i;
    // Upright letters stand outside the circle: their tops point away.
    EXPECT_GT(std::hypot(b0->x - 150.0, b0->y - 150.0), 95.0);
  }
  delete circle;
}

TEST_F(TextObjectsTest, ATextObjectsLettersLieInsideItsFrame) {
  CPathList list(0);
  list.AddPath(0);
  CPath* p = list.first;
  p->CreaTxtObj();
  CTxtObj& obj = *p->txtObj;
  float l = 1, t = 1, r = 1, b = 1;
  EXPECT_EQ(obj.GetBound(&l, &t, &r, &b), 0);  // no text
  EXPECT_EQ(l + t + r + b, 0.0f);

  obj.frame->Reset(nullptr);
  for (int i : {22, 26}) obj.frame->Y[i] = -10.0f;  // bend the top edge up
  for (int i = 0; i < CWarpPath::kPoints; ++i) {
    obj.frame->X[i] = 40.0f + obj.frame->X[i] * 2.0f;
    obj.frame->Y[i] = 60.0f + obj.frame->Y[i];
  }
  SetText(&obj.settings, "Wave");
  ASSERT_EQ(obj.GetBound(&l, &t, &r, &b), 1);
  // Fitted to the box 60..260 x 50..170 (the bending leaves the letters
  // within a pixel of its straight sides).
  EXPECT_NEAR(l, 60.0f, 1.0f);
  EXPECT_NEAR(r, 260.0f, 1.0f);
  EXPECT_NEAR(b, 170.0f, 1.0f);
  EXPECT_GE(t, 50.0f);

  const std::vector<uint8_t> mask = Fill(&list);
  int covered = 0;
  for (int row = 0; row < kH; ++row) {
    for (int col = 0; col < kW; ++col) {
      if (mask[static_cast<size_t>(row) * kW + col] == 0) continue;
      ++covered;
      const int y = kH - row;  // rows count down from the flip height
      EXPECT_TRUE(col >= 59 && col <= 261 && y >= 49 && y <= 171) << col << "," << y;
    }
  }
  EXPECT_GT(covered, 2000);
}

TEST_F(TextObjectsTest, FrameHandlesAreFoundThroughTheViewMapping) {
  CTxtObj obj;
  obj.frame->Reset(nullptr);  // corners at 10 and 110
  // The view shows the image at half size, scrolled by 20 pixels.
  drawPar_.scaleX = drawPar_.scaleY = 2.0f;
  drawPar_.viewOffsetX = 20.0f;
  drawPar_.viewOffsetY = 20.0f;
  Point pt;
  pt.h = 25;  // (25 - 20) * 2 = 10: the top-left corner
  pt.v = 25;
  EXPECT_EQ(obj.OnCtrl(pt), 1);
  pt.h = 45;  // x 50, y 10: on the top edge between handles
  EXPECT_EQ(obj.OnCtrl(pt), 0);
  pt.h = 90;  // x 140: beyond the frame grown by 6
  EXPECT_EQ(obj.OnCtrl(pt), CTxtObj::kOffFrame);
  pt.h = 77;  // (114, 60) lies within the growth, on point 17 that kind 20
  pt.v = 50;  // does not offer
  EXPECT_EQ(obj.OnCtrl(pt), 0);

  // The frame is drawn where the view shows it.
  obj.DisplayFrame2(0, RGBColor());
  EXPECT_NE(port_.surface().pixel(25, 50), 0xFFFFFFFFu);  // the left edge
  EXPECT_EQ(port_.surface().pixel(10, 50), 0xFFFFFFFFu);
  obj.DisplayFrame2(0, RGBColor());
  EXPECT_TRUE(PortIsWhite());
}

TEST_F(TextObjectsTest, ATextPathAttachesByAPressAndItsMarksDragTheLetters) {
  // Knots every 10 units: lengths at a point are found to a 20th of a
  // segment.
  CPathList list(0);
  list.first = new CPath;
  for (int i = 1; i <= 29; ++i) list.first->AddPoint(new CPathPoint(10.0f * i, 100.0f, 0));
  list.count = 1;
  CTxtPath tp;
  SetText(&tp.settings, "abc");
  Point pt;
  pt.h = 60;
  pt.v = 100;
  EXPECT_EQ(tp.Interactive(&list, pt), 0);
  ASSERT_EQ(tp.followed, list.first);
  EXPECT_EQ(tp.state, 1);
  EXPECT_NEAR(static_cast<float>(tp.startInt) + tp.startFrac / 100000.0f, 50.0f, 1.0f);

  CPathList placed(0);
  tp.RenderToList(&placed);  // loads the letters
  float a = 0, x = 0, y = 0;
  tp.followed->GetPointAtLength(0, static_cast<float>(tp.advance[1] + tp.startInt), &a, &x, &y,
                                nullptr, nullptr);
  const auto h = static_cast<int16_t>(std::lround(x));
  ui_.Press(h, 100);
  ui_.DragTo(static_cast<int16_t>(h + 10), 100);
  ui_.DragTo(static_cast<int16_t>(h + 20), 100);
  ui_.Release(static_cast<int16_t>(h + 20), 100);
  pt.h = h;
  EXPECT_EQ(tp.Interactive(&list, pt), 1);
  EXPECT_EQ(tp.offset[0], 0);
  EXPECT_NEAR(tp.offset[1], 20, 2);  // lengths at a point are found to half a unit
  EXPECT_EQ(tp.offset[2], tp.offset[1]);  // the letters after it follow
}

}  // namespace
