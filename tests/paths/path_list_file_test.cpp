// The path-list record and file: byte layout, scaling on reading, text
// blocks, damaged and truncated files, and the save and load commands.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/file_records.h"
#include "app/file_access.h"
#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_io.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

using pathtest::Knot;
using pathtest::OpenPath;

namespace {

using vmktest::ReadBytes;
using vmktest::WriteBytes;

fichier FileAt(const std::string& posix) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = FourCC("vMkC");
  f.type = FourCC("pAth");
  EXPECT_TRUE(SetFicFromPosix(&f, posix));
  return f;
}

class PathListFileTest : public pathtest::PathTest {
 protected:
  PathListFileTest() : guard_(&ui_) {}

  // Writes the list with reference size w x h to a fresh file; its bytes.
  std::vector<uint8_t> Write(CPathList& l, int32_t w, int32_t h, const std::string& name) {
    const std::string posix = dir_.file(name);
    WriteBytes(posix, {});
    fichier f = FileAt(posix);
    File_kern file(&f);
    int32_t pos = 0;
    EXPECT_EQ(l.WritePathList(0, &file, &pos, w, h), 0);
    const std::vector<uint8_t> bytes = ReadBytes(posix);
    EXPECT_EQ(pos, static_cast<int32_t>(bytes.size()));
    return bytes;
  }

  int32_t Read(CPathList& l, const std::string& name, int32_t w, int32_t h, int32_t* pos) {
    fichier f = FileAt(dir_.file(name));
    File_kern file(&f);
    return l.ReadPathList(0, &file, pos, -1, RGBColor{}, w, h);
  }

  vmktest::TempDir dir_;
  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices guard_;
};

// A known list: one open path of two knots, handles on the knots.
std::unique_ptr<CPathList> TwoKnotList() {
  auto l = std::make_unique<CPathList>(0);
  l->first = OpenPath({{10.25f, 20.5f}, {-3.75f, 0.0f}});
  l->count = 1;
  return l;
}

TEST_F(PathListFileTest, KnownListFileByteForByte) {
  auto l = TwoKnotList();
  const std::vector<uint8_t> b = Write(*l, 100, 100, "two.path");
  ASSERT_EQ(b.size(), 638u);
  plat::bytes::Reader r(b);
  EXPECT_EQ(r.u16(), 2);
  EXPECT_EQ(r.i32(), 100);
  EXPECT_EQ(r.i32(), 100);
  EXPECT_EQ(r.i32(), 1);
  EXPECT_EQ(r.i32(), 2);    // knots
  EXPECT_EQ(r.i16(), 0);    // closed
  EXPECT_EQ(r.i16(), 1);    // link enabled
  EXPECT_EQ(r.i16(), 0);    // link target
  for (int i = 0; i < 510; ++i) ASSERT_EQ(r.u8(), 0) << i;
  EXPECT_EQ(r.i32(), 0);
  EXPECT_EQ(r.i32(), 0);
  const int32_t k1[12] = {10, 25000, 20, 50000, 10, 25000, 20, 50000, 10, 25000, 20, 50000};
  for (int32_t v : k1) EXPECT_EQ(r.i32(), v);
  const int32_t k2[12] = {-3, -75000, 0, 0, -3, -75000, 0, 0, -3, -75000, 0, 0};
  for (int32_t v : k2) EXPECT_EQ(r.i32(), v);
  EXPECT_EQ(r.remaining(), 0u);
  // Little-endian on the disk: the first knot's fraction 25000 = 0x61A8.
  EXPECT_EQ(b[14 + 528 + 4], 0xA8);
  EXPECT_EQ(b[14 + 528 + 5], 0x61);

  CPathList back(0);
  int32_t pos = 0;
  ASSERT_EQ(Read(back, "two.path", 200, 50, &pos), 0);
  EXPECT_EQ(pos, 638);
  ASSERT_EQ(back.count, 1);
  CPath* p = back.first;
  ASSERT_EQ(p->count, 2);
  EXPECT_FLOAT_EQ(p->first->x, 20.5f);
  EXPECT_FLOAT_EQ(p->first->y, 10.25f);
  EXPECT_FLOAT_EQ(p->first->inX, 20.5f);
  EXPECT_FLOAT_EQ(Knot(p, 1)->x, -7.5f);
  EXPECT_FLOAT_EQ(Knot(p, 1)->y, 0.0f);
  EXPECT_EQ(Knot(p, 1)->next, nullptr);
  EXPECT_EQ(p->active, 1);
  EXPECT_EQ(back.current, nullptr);
}

TEST_F(PathListFileTest, RingsLinksAndTextBlocksRoundTrip) {
  CPathList l(0);
  l.first = OpenPath({{1, 2}, {3, 4}, {5, 6}});
  CPathPoint* last = Knot(l.first, 2);
  last->next = l.first->first;
  l.first->first->prev = last;
  l.first->closed = 1;
  l.first->urlTarget = 4;
  l.first->SetURLname(reinterpret_cast<const uint8_t*>("\x04" "http"));
  CPath* tp = OpenPath({{0, 0}, {9, 9}});
  l.first->next = tp;
  tp->CreaTxtPath();
  tp->txtPath->advance[7] = -123456;
  tp->txtPath->startFrac = 77;
  tp->txtPath->reserved[8159] = 0xEE;
  tp->txtPath->settings.real3 = -1.5f;
  tp->txtPath->settings.settingE = 31;
  tp->txtPath->settings.text[0] = 3;
  std::memcpy(tp->txtPath->settings.text + 1, "abc", 3);
  CPath* to = new CPath;
  tp->next = to;
  to->CreaTxtObj();
  to->txtObj->frame->X[27] = 12.5f;
  to->txtObj->frame->kind = 33;
  to->txtObj->settings.settingG = -2;
  l.count = 3;

  const std::vector<uint8_t> b = Write(l, 100, 100, "mix.path");
  ASSERT_EQ(b.size(), 14u + (528 + 3 * 48) + (528 + 16895 + 2 * 48) + (528 + 757));
  // The layout block of a text path is big-endian: state word 1 first.
  const size_t layout = 14 + 528 + 3 * 48 + 528;
  EXPECT_EQ(b[layout], 0);
  EXPECT_EQ(b[layout + 1], 1);

  CPathList back(0);
  int32_t pos = 0;
  ASSERT_EQ(Read(back, "mix.path", 100, 100, &pos), 0);
  ASSERT_EQ(back.count, 3);
  CPath* ring = back.first;
  EXPECT_EQ(ring->closed, 1);
  EXPECT_EQ(Knot(ring, 2)->next, ring->first);
  EXPECT_EQ(ring->first->prev, Knot(ring, 2));
  EXPECT_EQ(ring->urlTarget, 4);
  EXPECT_EQ(0, std::memcmp(ring->urlName, "\x04" "http", 5));
  CPath* tp2 = ring->next;
  ASSERT_NE(tp2->txtPath, nullptr);
  EXPECT_EQ(tp2->txtPath->followed, tp2);
  EXPECT_EQ(tp2->txtPath->state, 1);
  EXPECT_EQ(tp2->txtPath->advance[7], -123456);
  EXPECT_EQ(tp2->txtPath->startFrac, 77);
  EXPECT_EQ(tp2->txtPath->reserved[8159], 0xEE);
  EXPECT_FLOAT_EQ(tp2->txtPath->settings.real3, -1.5f);
  EXPECT_EQ(tp2->txtPath->settings.settingE, 31);
  EXPECT_EQ(0, std::memcmp(tp2->txtPath->settings.text, "\x03" "abc", 4));
  EXPECT_EQ(tp2->count, 2);
  CPath* to2 = tp2->next;
  ASSERT_NE(to2->txtObj, nullptr);
  EXPECT_EQ(to2->first, nullptr);
  EXPECT_FLOAT_EQ(to2->txtObj->frame->X[27], 12.5f);
  EXPECT_EQ(to2->txtObj->frame->kind, 33);
  EXPECT_EQ(to2->txtObj->settings.settingG, -2);
}

TEST_F(PathListFileTest, ReadingIntoAList) {
  auto l = TwoKnotList();
  Write(*l, 0, 100, "zero.path");
  // A reference width of 0 keeps the stored x values.
  CPathList back(0);
  CPath* empty = new CPath;
  back.first = empty;
  back.count = 1;
  int32_t pos = 0;
  // The empty last path takes the first record, without a new path.
  ASSERT_EQ(Read(back, "zero.path", 400, 200, &pos), 0);
  EXPECT_EQ(back.count, 1);
  EXPECT_EQ(back.first, empty);
  EXPECT_FLOAT_EQ(empty->first->x, 10.25f);
  EXPECT_FLOAT_EQ(empty->first->y, 41.0f);

  // Existing active paths are deactivated; new ones appended and active.
  pos = 0;
  ASSERT_EQ(Read(back, "zero.path", 400, 200, &pos), 0);
  EXPECT_EQ(back.count, 2);
  EXPECT_EQ(back.first->active, 0);
  EXPECT_EQ(back.first->next->active, 1);

  // Another version: nothing read, the position moves by 2.
  std::vector<uint8_t> b = ReadBytes(dir_.file("zero.path"));
  b[0] = 3;
  WriteBytes(dir_.file("v3.path"), b);
  pos = 0;
  EXPECT_EQ(Read(back, "v3.path", 400, 200, &pos), -1);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(back.count, 2);
}

TEST_F(PathListFileTest, DamagedFilesStopAtTheLastCompletePath) {
  CPathList l(0);
  l.first = OpenPath({{1, 1}, {2, 2}});
  l.first->next = OpenPath({{3, 3}, {4, 4}, {5, 5}});
  l.count = 2;
  const std::vector<uint8_t> good = Write(l, 10, 10, "good.path");

  // Cut inside the second path's knots: the first path is kept.
  std::vector<uint8_t> cut(good.begin(), good.end() - 20);
  WriteBytes(dir_.file("cut.path"), cut);
  CPathList a(0);
  int32_t pos = 0;
  EXPECT_EQ(Read(a, "cut.path", 10, 10, &pos), -1);
  ASSERT_EQ(a.count, 1);
  EXPECT_EQ(a.first->count, 2);
  EXPECT_EQ(pos, 14 + 528 + 96);

  // A knot count far beyond the file makes nothing.
  std::vector<uint8_t> huge = good;
  const uint8_t big[4] = {0xFF, 0xFF, 0xFF, 0x0F};
  std::memcpy(huge.data() + 14, big, 4);
  WriteBytes(dir_.file("huge.path"), huge);
  CPathList h(0);
  pos = 0;
  EXPECT_EQ(Read(h, "huge.path", 10, 10, &pos), -1);
  EXPECT_EQ(h.count, 0);
  EXPECT_EQ(h.first, nullptr);

  // A negative knot count and a bad presence word are refused the same way.
  std::vector<uint8_t> neg = good;
  const uint8_t minus[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  std::memcpy(neg.data() + 14, minus, 4);
  WriteBytes(dir_.file("neg.path"), neg);
  pos = 0;
  EXPECT_EQ(Read(h, "neg.path", 10, 10, &pos), -1);
  EXPECT_EQ(h.count, 0);
  std::vector<uint8_t> flag = good;
  flag[14 + 520] = 7;
  WriteBytes(dir_.file("flag.path"), flag);
  pos = 0;
  EXPECT_EQ(Read(h, "flag.path", 10, 10, &pos), -1);
  EXPECT_EQ(h.count, 0);

  // A path count larger than the file reads what is there.
  std::vector<uint8_t> many = good;
  many[10] = 9;
  WriteBytes(dir_.file("many.path"), many);
  pos = 0;
  EXPECT_EQ(Read(h, "many.path", 10, 10, &pos), -1);
  EXPECT_EQ(h.count, 2);

  // Missing files: nothing happens.
  pos = 0;
  EXPECT_EQ(Read(h, "absent.path", 10, 10, &pos), -1);
  EXPECT_EQ(pos, 0);
}

TEST_F(PathListFileTest, WriteFailuresAreReported) {
  auto l = TwoKnotList();
  fichier f = FileAt(dir_.file("missing-folder/x.path"));
  File_kern file(&f);
  int32_t pos = 0;
  EXPECT_EQ(l->WritePathList(0, &file, &pos, 10, 10), -1);
  EXPECT_EQ(l->first->WritePath(0, &file, &pos), -1);

  // A path written into a file it opened itself is closed again.
  WriteBytes(dir_.file("one.path"), {});
  fichier g = FileAt(dir_.file("one.path"));
  File_kern one(&g);
  pos = 0;
  EXPECT_EQ(l->first->WritePath(0, &one, &pos), 0);
  EXPECT_EQ(pos, 528 + 96);
  EXPECT_EQ(one.S_open(0), 0);
  EXPECT_EQ(one.S_close(), 0);

  CPath into;
  pos = 0;
  EXPECT_EQ(into.ReadPath(0, &one, &pos), 0);
  EXPECT_EQ(into.count, 2);
  EXPECT_FLOAT_EQ(Knot(&into, 1)->x, -3.75f);
}

TEST_F(PathListFileTest, SaveTellsAFileTheFolderWouldNotTakeFromACancel) {
  auto l = TwoKnotList();
  ui_.AnswerSaveFile(dir_.file("kept"));
  ASSERT_EQ(l->SavePathList(100, 100), 0);
  const std::vector<uint8_t> old = ReadBytes(dir_.file("kept.path"));
  ASSERT_EQ(old.size(), 638u);
  // Another list over the same file, on a full and then a read-only disk.
  auto other = TwoKnotList();
  other->first->first->x = 12.5f;
  for (int error : {ENOSPC, EROFS}) {
    ui_.AnswerSaveFile(dir_.file("kept.path"), true);
    plat::files::FailWritesForTesting(dir_.path().string(), error);
    const int32_t answer = other->SavePathList(100, 100);
    plat::files::FailWritesForTesting("", 0);
    EXPECT_EQ(answer, -1) << error;
    EXPECT_EQ(ReadBytes(dir_.file("kept.path")), old) << error;
  }
  // A new name: no file is made.
  ui_.AnswerSaveFile(dir_.file("fresh"));
  plat::files::FailWritesForTesting(dir_.path().string(), ENOSPC);
  EXPECT_EQ(other->SavePathList(100, 100), -1);
  plat::files::FailWritesForTesting("", 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("fresh.path")));
  // A cancelled dialog writes nothing and is no failure.
  ui_.AnswerSaveFile(std::nullopt);
  EXPECT_EQ(other->SavePathList(100, 100), 0);
  EXPECT_EQ(ReadBytes(dir_.file("kept.path")), old);
  for (const auto& item : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_NE(item.path().filename().string().rfind(".~", 0), 0u) << item.path();
}

TEST_F(PathListFileTest, SaveAndRecallThroughThePickers) {
  auto l = TwoKnotList();
  ui_.AnswerSaveFile(dir_.file("saved"));
  l->SavePathList(100, 100);
  ASSERT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(ui_.saveRequests[0].type, FourCC("pAth"));
  EXPECT_EQ(ReadBytes(dir_.file("saved.path")).size(), 638u);

  CPathList user(0);
  user.first = OpenPath({{7, 7}, {8, 8}});
  user.count = 1;

  // A damaged file, a text file and a cancelled dialog keep the user's paths.
  std::vector<uint8_t> bad = ReadBytes(dir_.file("saved.path"));
  bad.resize(600);
  WriteBytes(dir_.file("bad.path"), bad);
  ui_.AnswerOpenFile(dir_.file("bad.path"));
  user.RecallPathList(-1, RGBColor{}, 100, 100);
  ASSERT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(ui_.openRequests[0].prompt, "Load a New Path...");
  ASSERT_EQ(ui_.openRequests[0].types.size(), 2u);
  EXPECT_EQ(ui_.openRequests[0].types[1], FourCC("TEXT"));
  ASSERT_EQ(user.count, 1);
  EXPECT_EQ(user.first->first->x, 7.0f);

  WriteBytes(dir_.file("notes.txt"), {'h', 'i'});
  ui_.AnswerOpenFile(dir_.file("notes.txt"));
  user.RecallPathList(-1, RGBColor{}, 100, 100);
  EXPECT_EQ(user.count, 1);
  user.RecallPathList(-1, RGBColor{}, 100, 100);
  EXPECT_EQ(user.count, 1);

  ui_.AnswerOpenFile(dir_.file("saved.path"));
  user.RecallPathList(-1, RGBColor{}, 200, 50);
  ASSERT_EQ(user.count, 1);
  EXPECT_FLOAT_EQ(user.first->first->x, 20.5f);
  EXPECT_EQ(user.first->next, nullptr);

  // Without a dialog: replace, then add.
  fichier f = FileAt(dir_.file("saved.path"));
  EXPECT_EQ(user.DefaultPath(2, &f, 100, 100), 0);
  EXPECT_EQ(user.count, 2);
  EXPECT_EQ(user.DefaultPath(1, &f, 100, 100), 0);
  EXPECT_EQ(user.count, 1);
  fichier g = FileAt(dir_.file("default.path"));
  EXPECT_EQ(user.DefaultPath(0, &g, 100, 100), 0);
  EXPECT_EQ(ReadBytes(dir_.file("default.path")).size(), 638u);
  EXPECT_EQ(user.DefaultPath(7, &g, 100, 100), 0);
}

TEST_F(PathListFileTest, DefaultPathTellsItsCallerWhenTheFileIsNotWritten) {
  auto l = TwoKnotList();
  fichier missing = FileAt(dir_.file("missing-folder/x.path"));
  EXPECT_EQ(l->DefaultPath(0, &missing, 100, 100), -1);
  // A read-only folder keeps out everyone but the superuser; its old file
  // stays as it was.
  const std::string folder = dir_.file("locked");
  std::filesystem::create_directory(folder);
  WriteBytes(folder + "/x.path", {1, 2, 3});
  std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_exec);
  fichier locked = FileAt(folder + "/x.path");
  const int32_t rc = l->DefaultPath(0, &locked, 100, 100);
  if (::geteuid() != 0) {
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(ReadBytes(folder + "/x.path"), (std::vector<uint8_t>{1, 2, 3}));
  }
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  // Reading a file that is not a path list: -1, and the paths stay.
  WriteBytes(dir_.file("junk.path"), {1, 2, 3});
  fichier junk = FileAt(dir_.file("junk.path"));
  EXPECT_EQ(l->DefaultPath(1, &junk, 100, 100), -1);
  EXPECT_EQ(l->DefaultPath(1, &missing, 100, 100), -1);
  EXPECT_EQ(l->count, 1);
  EXPECT_EQ(l->DefaultPath(0, nullptr, 100, 100), -1);
}

}  // namespace
