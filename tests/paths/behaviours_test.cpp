// Behaviour lists: numbering after removals, copies, the record's byte
// layout, big-endian records, damaged files and the recall that keeps the
// list when the file is bad.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "path_fixture.h"
#include "paths/behaviours.h"
#include "platform/bytes/byte_order.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

using vmktest::ReadBytes;
using vmktest::WriteBytes;

std::vector<int16_t> Numbers(const CBehavList& l) {
  std::vector<int16_t> n;
  for (const CBehav* b = l.first; b != nullptr; b = b->next) n.push_back(b->number);
  return n;
}

class BehavTest : public pathtest::PathTest {
 protected:
  BehavTest() : guard_(&ui_) {}

  fichier FileAt(const std::string& name) {
    fichier f;
    Init_FicStruct(&f);
    f.creator = FourCC("vMkC");
    f.type = FourCC("sBeh");
    EXPECT_TRUE(SetFicFromPosix(&f, dir_.file(name)));
    return f;
  }

  // Three behaviours with distinct fields; the second inactive.
  static void Fill(CBehavList& l) {
    for (int16_t s = 1; s <= 3; ++s) {
      l.AddBehav(static_cast<int16_t>(10 * s));
      l.current->SetParam(static_cast<int16_t>(s + 1), 7, 8, 9, s);
      unsigned char m[256];
      SetPStr(m, "msg" + std::to_string(s));
      l.current->SetMess(m);
    }
    l.InActivateNumber(2);
    l.listValue = 5;
  }

  vmktest::TempDir dir_;
  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices guard_;
};

TEST_F(BehavTest, RemovingRenumbersAndNeverEmptiesByNumber) {
  CBehavList l;
  Fill(l);
  l.RemoveNumberBehav(2);
  EXPECT_EQ(Numbers(l), (std::vector<int16_t>{1, 2}));
  EXPECT_EQ(l.count, 2);
  EXPECT_EQ(l.first->next->source, 30);

  CBehavList one;
  one.AddBehav(44);
  one.RemoveNumberBehav(1);
  ASSERT_EQ(one.count, 1);
  EXPECT_EQ(one.first->number, 1);
  EXPECT_EQ(one.first->source, 0);
  EXPECT_EQ(one.current, nullptr);

  l.ActivateAll();
  l.RemoveSelBehav();
  EXPECT_EQ(l.first, nullptr);
  EXPECT_EQ(l.count, 0);
}

TEST_F(BehavTest, CopiesDuplicatesAndAttaches) {
  CBehavList l;
  Fill(l);
  l.DuplicateBehavList();  // 1 and 3 active: copies at the head, 3 first
  ASSERT_EQ(l.count, 5);
  EXPECT_EQ(l.first->source, 30);
  EXPECT_EQ(l.first->next->source, 10);
  EXPECT_EQ(l.first->next->next->source, 10);
  EXPECT_EQ(l.first->next->next->next->active, 0);

  CBehavList act;
  l.CopyActiveBehavs(&act);
  EXPECT_EQ(Numbers(act), (std::vector<int16_t>{0, 1, 2, 3}));

  CBehavList base;
  Fill(base);
  CBehavList src;
  Fill(src);
  base.CopyAttachBehavList(&src);
  EXPECT_EQ(Numbers(base), (std::vector<int16_t>{1, 2, 3, 1, 3, 4}));
  EXPECT_EQ(base.count, 6);
  base.CopyBehavList(&base);  // onto itself: nothing
  EXPECT_EQ(base.count, 6);

  base.AttachBehavList(&src);
  EXPECT_EQ(base.count, 9);
  EXPECT_EQ(src.first, nullptr);
  EXPECT_EQ(base.first->active, 0);
  EXPECT_EQ(base.GetNumberBehav(2)->active, 0);
}

TEST_F(BehavTest, RecordLayoutAndRoundTrip) {
  CBehavList l;
  Fill(l);
  fichier f = FileAt("b.sbeh");
  WriteBytes(dir_.file("b.sbeh"), {});
  File_kern fk(&f);
  int32_t pos = 0;
  ASSERT_EQ(l.WriteBehavList(0, &fk, &pos), 0);
  const std::vector<uint8_t> b = ReadBytes(dir_.file("b.sbeh"));
  ASSERT_EQ(b.size(), 8u + 3u * 271u);
  EXPECT_EQ(pos, 8 + 3 * 271);
  plat::bytes::Reader r(b);
  EXPECT_EQ(r.u16(), 1);
  EXPECT_EQ(r.i16(), 5);
  EXPECT_EQ(r.i32(), 3);
  r.seek(8 + 271);  // the second behaviour
  EXPECT_EQ(r.i16(), 0);   // active
  EXPECT_EQ(r.i16(), 20);  // source
  EXPECT_EQ(r.i16(), 2);   // number
  EXPECT_EQ(r.i16(), 3);   // kind
  EXPECT_EQ(r.i16(), 7);
  EXPECT_EQ(r.i16(), 8);
  EXPECT_EQ(r.i16(), 9);
  EXPECT_EQ(r.i16(), 2);
  EXPECT_EQ(r.u8(), 4);
  EXPECT_EQ(r.u8(), 'm');

  // Into a list that has one: appended after it, which is now inactive.
  CBehavList back;
  back.AddBehav(99);
  pos = 0;
  File_kern in(&f);
  ASSERT_EQ(back.ReadBehavList(0, &in, &pos), 0);
  ASSERT_EQ(back.count, 4);
  EXPECT_EQ(back.first->active, 0);
  EXPECT_EQ(back.listValue, 5);
  const CBehav* c = back.first->next->next;
  EXPECT_EQ(c->number, 2);
  EXPECT_EQ(c->active, 0);
  EXPECT_EQ(c->flag1, 9);
  unsigned char m[256];
  c->GetMess(m);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m + 1), m[0]), "msg2");
}

TEST_F(BehavTest, BigEndianRecordReads) {
  plat::bytes::Writer w(plat::bytes::Order::Big);
  w.u16(1);
  w.i16(-1);
  w.i32(1);
  for (int16_t v : {1, 6, 1, 4, 1, 0, 1, 1}) w.i16(v);
  w.u8(2);
  w.raw("hi", 2);
  w.zeros(252);
  WriteBytes(dir_.file("be.sbeh"), w.bytes());
  fichier f = FileAt("be.sbeh");
  File_kern fk(&f);
  CBehavList l;
  int32_t pos = 0;
  ASSERT_EQ(l.ReadBehavList(0, &fk, &pos), 0);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.first->source, 6);
  EXPECT_EQ(l.first->kind, 4);
  EXPECT_EQ(l.first->message[0], 2);
}

TEST_F(BehavTest, DamagedFilesKeepCompleteBehavioursAndRecallKeepsTheList) {
  CBehavList l;
  Fill(l);
  WriteBytes(dir_.file("ok.sbeh"), {});
  fichier f = FileAt("ok.sbeh");
  File_kern fk(&f);
  int32_t pos = 0;
  ASSERT_EQ(l.WriteBehavList(0, &fk, &pos), 0);
  std::vector<uint8_t> b = ReadBytes(dir_.file("ok.sbeh"));
  b.resize(b.size() - 10);  // the third record cut short
  WriteBytes(dir_.file("short.sbeh"), b);
  b[4] = 0xFF;  // and a count of millions
  b[5] = 0xFF;
  b[6] = 0xFF;
  WriteBytes(dir_.file("over.sbeh"), b);

  for (const char* name : {"short.sbeh", "over.sbeh"}) {
    CBehavList r;
    fichier g = FileAt(name);
    File_kern gk(&g);
    pos = 0;
    EXPECT_EQ(r.ReadBehavList(0, &gk, &pos), -1) << name;
    EXPECT_EQ(r.count, 2) << name;
    EXPECT_EQ(pos, 8 + 2 * 271) << name;
  }

  CBehavList mine;
  mine.AddBehav(77);
  ui_.AnswerOpenFile(dir_.file("short.sbeh"));
  EXPECT_EQ(mine.RecallBehav(), -1);
  ASSERT_EQ(mine.count, 1);
  EXPECT_EQ(mine.first->source, 77);
  ui_.AnswerOpenFile(dir_.file("ok.sbeh"));
  EXPECT_EQ(mine.RecallBehav(), 0);
  EXPECT_EQ(mine.count, 3);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Behav...");

  ui_.AnswerSaveFile(dir_.file("saved"));
  EXPECT_EQ(mine.SaveBehav(), 0);
  EXPECT_EQ(ReadBytes(dir_.file("saved.sbeh")).size(), 8u + 3u * 271u);
}

}  // namespace
