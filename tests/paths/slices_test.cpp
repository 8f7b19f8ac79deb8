// Slice lists: the record and file, damaged files, snapping, reading
// order, the cell layout and its image cells, drawing and the mouse tool.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "path_fixture.h"
#include "paths/behaviours.h"
#include "paths/slices.h"
#include "platform/bytes/byte_order.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

using vmktest::ReadBytes;
using vmktest::WriteBytes;

CSlice* Add(CSliceList& l, float x0, float y0, float x1, float y1) {
  EXPECT_EQ(l.AddSlice(0), 0);
  l.current->CreaSlice(x0, y0, x1, y1);
  return l.current;
}

// The cells cover the whole image once: positive sizes, the image's area,
// no two overlapping.
void ExpectTiling(const CSliceList& l) {
  int64_t area = 0;
  std::vector<const CSlirect*> cells;
  for (const CSlirect* c = l.firstRect; c != nullptr; c = c->next) {
    cells.push_back(c);
    ASSERT_LT(c->left, c->right);
    ASSERT_LT(c->top, c->bottom);
    area += static_cast<int64_t>(c->right - c->left) * (c->bottom - c->top);
  }
  EXPECT_EQ(area, static_cast<int64_t>(l.width) * l.height);
  for (size_t i = 0; i < cells.size(); ++i) {
    for (size_t j = i + 1; j < cells.size(); ++j) {
      const CSlirect* a = cells[i];
      const CSlirect* c = cells[j];
      const bool apart = a->right <= c->left || c->right <= a->left || a->bottom <= c->top ||
                         c->bottom <= a->top;
      EXPECT_TRUE(apart) << i << " " << j;
    }
  }
}

class SliceTest : public pathtest::InteractivePathTest {
 protected:
  fichier FileAt(const std::string& name) {
    fichier f;
    Init_FicStruct(&f);
    f.creator = FourCC("vMkC");
    f.type = FourCC("sLic");
    EXPECT_TRUE(SetFicFromPosix(&f, dir_.file(name)));
    return f;
  }

  std::vector<uint8_t> Write(CSliceList& l, const std::string& name) {
    WriteBytes(dir_.file(name), {});
    fichier f = FileAt(name);
    File_kern fk(&f);
    int32_t pos = 0;
    EXPECT_EQ(l.WriteSliceList(0, &fk, &pos), 0);
    return ReadBytes(dir_.file(name));
  }

  int32_t Read(CSliceList& l, const std::string& name, int32_t* pos) {
    fichier f = FileAt(name);
    File_kern fk(&f);
    return l.ReadSliceList(0, &fk, pos, -1, RGBColor{});
  }

  // Three slices with links; the behaviour list has two behaviours.
  static void Fill(CSliceList& l) {
    const float r[3][4] = {{10, 10, 40, 30}, {50, 10, 90, 30}, {20, 50, 60, 80}};
    for (int i = 0; i < 3; ++i) {
      CSlice* s = Add(l, r[i][0], r[i][1], r[i][2], r[i][3]);
      unsigned char url[256];
      SetPStr(url, "http://x/" + std::to_string(i));
      s->SetURLname(url);
      s->SetURLactive(1);
      s->SetURLtarget(static_cast<int16_t>(i + 2));
    }
    l.behav->AddBehav(4);
  }

  vmktest::TempDir dir_;
};

TEST_F(SliceTest, RecordRoundTripsAndBigEndianReads) {
  CSliceList l;
  Fill(l);
  const std::vector<uint8_t> b = Write(l, "three.slic");
  const size_t perSlice = 530 + 8 + 2 * 271;
  ASSERT_EQ(b.size(), 6 + 3 * perSlice);
  plat::bytes::Reader r(b);
  EXPECT_EQ(r.u16(), 1);
  EXPECT_EQ(r.i32(), 3);
  EXPECT_EQ(r.i16(), 1);  // URL active
  EXPECT_EQ(r.i16(), 2);  // target
  r.seek(6 + 514);
  EXPECT_EQ(r.f32(), 10.0f);

  CSliceList back;
  int32_t pos = 0;
  ASSERT_EQ(Read(back, "three.slic", &pos), 0);
  EXPECT_EQ(pos, static_cast<int32_t>(b.size()));
  ASSERT_EQ(back.count, 3);
  const CSlice* s = back.first->next->next;
  EXPECT_EQ(s->left, 20.0f);
  EXPECT_EQ(s->bottom, 80.0f);
  EXPECT_EQ(s->urlTarget, 4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s->urlName + 1), s->urlName[0]), "http://x/2");
  EXPECT_EQ(s->active, 0);
  EXPECT_EQ(s->behav, back.behav);
  EXPECT_EQ(back.behav->count, 2);

  // The same record written by a big-endian host.
  plat::bytes::Writer w(plat::bytes::Order::Big);
  w.u16(1);
  w.i32(1);
  w.i16(1);
  w.i16(7);
  w.u8(1);
  w.u8('u');
  w.zeros(253);
  w.zeros(255);
  for (float v : {1.0f, 2.0f, 3.0f, 4.0f}) w.f32(v);
  w.u16(1);
  w.i16(-1);
  w.i32(1);
  for (int16_t v : {1, 9, 1, 3, 1, 0, 2, 5}) w.i16(v);
  w.zeros(255);
  WriteBytes(dir_.file("be.slic"), w.bytes());
  CSliceList be;
  pos = 0;
  ASSERT_EQ(Read(be, "be.slic", &pos), 0);
  ASSERT_EQ(be.count, 1);
  EXPECT_EQ(be.first->urlTarget, 7);
  EXPECT_EQ(be.first->right, 3.0f);
  ASSERT_EQ(be.behav->count, 1);
  EXPECT_EQ(be.behav->first->source, 9);
  EXPECT_EQ(be.behav->first->flag2, 5);
}

TEST_F(SliceTest, DamagedFilesKeepCompleteSlicesAndRecallKeepsTheList) {
  CSliceList l;
  Fill(l);
  std::vector<uint8_t> b = Write(l, "ok.slic");
  b.resize(b.size() - 100);
  WriteBytes(dir_.file("short.slic"), b);
  b[2] = 0xFF;
  b[3] = 0xFF;
  b[4] = 0xFF;
  WriteBytes(dir_.file("over.slic"), b);
  for (const char* name : {"short.slic", "over.slic"}) {
    CSliceList r;
    int32_t pos = 0;
    EXPECT_EQ(Read(r, name, &pos), -1) << name;
    EXPECT_EQ(r.count, 2) << name;
    EXPECT_EQ(r.behav->count, 2) << name;
  }

  CSliceList mine;
  Add(mine, 1, 1, 5, 5);
  ui_.AnswerOpenFile(dir_.file("short.slic"));
  EXPECT_EQ(mine.RecallSlice(-1, RGBColor{}), -1);
  ASSERT_EQ(mine.count, 1);
  EXPECT_EQ(mine.first->right, 5.0f);
  ui_.AnswerOpenFile(dir_.file("ok.slic"));
  EXPECT_EQ(mine.RecallSlice(-1, RGBColor{}), 0);
  EXPECT_EQ(mine.count, 3);
  EXPECT_EQ(mine.first->behav, mine.behav);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Slice...");
  ui_.AnswerSaveFile(dir_.file("saved"));
  EXPECT_EQ(mine.SaveSlice(), 0);
  EXPECT_EQ(ReadBytes(dir_.file("saved.slic")).size(), ReadBytes(dir_.file("ok.slic")).size());
}

TEST_F(SliceTest, SingleFlagSnappingOrderAndCopies) {
  CSliceList one;
  one.single = 1;
  Add(one, 0, 0, 5, 5);
  EXPECT_EQ(one.AddSlice(0), -1);
  EXPECT_EQ(one.count, 1);

  CSliceList l;
  Add(l, 50, 10, 90, 30);
  Add(l, 10, 10, 40, 30);
  Add(l, 20, 5, 30, 8);
  float x = 54.9f, y = 200.0f;
  l.Capture(&x, &y);
  EXPECT_EQ(x, 50.0f);
  EXPECT_EQ(y, 200.0f);
  x = 55.0f;
  l.Capture(&x, &y);
  EXPECT_EQ(x, 55.0f);
  x = 300.0f, y = 34.9f;
  l.Capture(&x, &y);
  EXPECT_EQ(y, 30.0f);

  l.SortSlice();
  EXPECT_EQ(l.first->orderNumber, 2);
  EXPECT_EQ(l.first->next->orderNumber, 1);
  EXPECT_EQ(l.first->next->next->orderNumber, 0);

  // Copying a slice onto one that shares its list keeps the behaviours.
  l.behav->AddBehav(3);
  l.first->CopySlice(l.first->next);
  EXPECT_EQ(l.behav->count, 2);
  EXPECT_EQ(l.first->next->left, 50.0f);

  l.ActivateAll(0);
  l.DuplicateSliceList();
  EXPECT_EQ(l.count, 6);
  float b[4];
  EXPECT_EQ(l.GetBound(1, &b[0], &b[1], &b[2], &b[3]), 1);
  EXPECT_EQ(b[1], 5.0f);
  EXPECT_EQ(b[2], 90.0f);
}

TEST_F(SliceTest, CellsTileTheImageInReadingOrder) {
  CSliceList l;
  l.width = 100;
  l.height = 100;
  Add(l, 60, 50, 90, 80);
  Add(l, 10, 10, 40, 30);
  l.behav->first->SetParam(3, 1, 0, 2, 3);  // on cell 2: codes 1, 3; one extra cell
  l.behav->AddBehav(0);
  l.behav->current->SetParam(2, 1, 0, 1, 0);  // source cell 0: codes 2, 3; two extra
  l.first->urlActive = 1;
  l.first->urlTarget = 6;
  l.PrepareSliima();

  ExpectTiling(l);
  std::vector<const CSlirect*> cells;
  for (const CSlirect* c = l.firstRect; c != nullptr; c = c->next) cells.push_back(c);
  // Numbered by top, then left; each slice owns its own cell.
  for (int16_t n = 1; n < l.rectCount; ++n) {
    const CSlirect* a = l.ExtractSlirectFromNum(static_cast<int16_t>(n - 1));
    const CSlirect* c = l.ExtractSlirectFromNum(n);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(a->top < c->top || (a->top == c->top && a->left < c->left));
  }
  int owned = 0;
  for (const CSlirect* c : cells) {
    if (c->owner == -1) continue;
    ++owned;
    const CSlice* s = l.ExtractSliceFromNum(c->owner);
    EXPECT_EQ(c->left, s->left);
    EXPECT_EQ(c->bottom, s->bottom);
    EXPECT_GE(c->hCount, 2);
    EXPECT_GE(c->vCount, 2);
  }
  EXPECT_EQ(owned, 2);

  ASSERT_EQ(l.imaCount, l.rectCount + 3);
  const CSliima* two = l.ExtractSliimaFromNum(2);
  EXPECT_EQ(two->events[0], 1);
  EXPECT_EQ(two->events[1], 3);
  EXPECT_EQ(two->events[2], 0);
  const CSliima* zero = l.ExtractSliimaFromNum(0);
  EXPECT_EQ(zero->events[0], 2);
  EXPECT_EQ(zero->events[1], 3);
  // The lower slice's cell carries its link.
  for (const CSliima* c = l.firstIma; c != nullptr; c = c->next) {
    if (c->left == 60 && c->top == 50) {
      EXPECT_EQ(c->urlTarget, 6);
    }
  }

  CSliima cell(0, 0, 0, 0, 0, 0, 1, 1);
  for (int i = 0; i < 200; ++i) cell.AddEvent(7);
  EXPECT_EQ(cell.events[126], 7);
  EXPECT_EQ(cell.events[127], 0);
}

TEST_F(SliceTest, GridsAndTouchingSlicesTileToo) {
  CSliceList grid;
  grid.width = 2048;
  grid.height = 1536;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 3; ++col) {
      const auto x = static_cast<float>(40 + col * 400);
      const auto y = static_cast<float>(20 + row * 150);
      Add(grid, x, y, x + 300, y + 120);
    }
  }
  grid.PrepareSliima();
  ExpectTiling(grid);

  CSliceList touching;
  touching.width = 100;
  touching.height = 80;
  Add(touching, 0, 0, 50, 40);
  Add(touching, 50, 0, 100, 40);
  Add(touching, 20, 40, 70, 80);
  touching.PrepareSliima();
  ExpectTiling(touching);
}

TEST_F(SliceTest, DrawingIsAnXorInvolutionAndLabelsCells) {
  CSliceList l;
  l.width = 60;
  l.height = 60;
  Add(l, 10, 10, 30, 30);
  l.DrawSliceList(&port_, 0, RGBColor{});
  EXPECT_FALSE(PortIsWhite());
  EXPECT_EQ(port_.surface().pixel(10, 20), 0xFF000000u);  // slice frame
  l.DrawSliceList(&port_, 0, RGBColor{});
  EXPECT_TRUE(PortIsWhite());

  l.DrawSlirect(1, RGBColor{});
  const CSlirect* owned = l.firstRect;
  while (owned != nullptr && owned->owner != 0) owned = owned->next;
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(owned->left, 10);
  EXPECT_EQ(owned->number, 2);
  // The label box: blue for a cell a slice owns, in the frame colour else.
  EXPECT_EQ(port_.surface().pixel(owned->left + 1, owned->top + 1), 0xFF0000FFu);
  EXPECT_EQ(port_.surface().pixel(1, 1), 0xFFFD007Du);
}

TEST_F(SliceTest, ToolSelectsDrawsAndSquares) {
  CSliceList l;
  l.SetToolmode(CSliceList::kToolSelect);
  Add(l, 10, 10, 40, 40);
  l.InActivateAll(0);
  ui_.Press(20, 20);
  ui_.Release(20, 20);
  l.DoClick(&port_, port_.portRect);
  EXPECT_EQ(l.first->active, 1);
  EXPECT_EQ(l.current, l.first);

  ui_.Press(100, 100);
  ui_.DragTo(130, 110);
  ui_.DragTo(150, 120);
  ui_.Release(150, 120);
  l.DoClick(&port_, port_.portRect);
  ASSERT_EQ(l.count, 2);
  EXPECT_EQ(l.first->active, 0);
  const CSlice* s = l.current;
  EXPECT_EQ(s->left, 100.0f);
  EXPECT_EQ(s->top, 100.0f);
  EXPECT_EQ(s->right, 150.0f);
  EXPECT_EQ(s->bottom, 120.0f);

  ui_.Press(200, 150, shiftKey);
  ui_.DragTo(230, 140, shiftKey);
  ui_.Release(230, 140, shiftKey);
  l.DoClick(&port_, port_.portRect);
  ASSERT_EQ(l.count, 3);
  s = l.current;
  EXPECT_EQ(s->left, 200.0f);
  EXPECT_EQ(s->right, 230.0f);
  EXPECT_EQ(s->top, 120.0f);  // 30 high, upward like the mouse
  EXPECT_EQ(s->bottom, 150.0f);
}

TEST_F(SliceTest, EditToolDragsACornerOfTheCurrentSlice) {
  CSliceList l;
  l.SetToolmode(CSliceList::kToolEdit);
  Add(l, 10, 10, 40, 40);
  l.first->DrawSlice(0, RGBColor{});
  ui_.Press(40, 40);
  ui_.DragTo(60, 70);
  ui_.Release(60, 70);
  l.DoClick(&port_, port_.portRect);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.first->left, 10.0f);
  EXPECT_EQ(l.first->top, 10.0f);
  EXPECT_EQ(l.first->right, 60.0f);
  EXPECT_EQ(l.first->bottom, 70.0f);
  l.first->DrawSlice(0, RGBColor{});  // the old look was erased, the new one drawn
  EXPECT_TRUE(PortIsWhite());
}

}  // namespace
