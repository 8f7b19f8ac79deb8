#include "app/file_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <sys/resource.h>

#include "app/core/app_data.h"
#include "platform/files/file_io.h"
#include "platform/files/file_types.h"
#include "support/session.h"

namespace fs = std::filesystem;
using vmktest::ReadText;
using vmktest::WriteText;

namespace {

class SlotFiles : public ::testing::Test {
 protected:
  fichier record(const std::string& name, OSType type = FourCC("aLay")) {
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, dir_.file(name)));
    f.creator = FourCC("vMkC");
    f.type = type;
    return f;
  }
  TAppData& app() { return app_.data(); }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

TEST_F(SlotFiles, SequentialReadsDoNotSeekAndAShortReadKeepsThePosition) {
  WriteText(dir_.file("data"), "0123456789");
  const fichier f = record("data");
  ASSERT_EQ(S_open(&f, 1, 0), 0);
  char buf[16] = {};
  const uint64_t seeks = plat::files::SeekCount();
  ASSERT_EQ(S_read(0, buf, 0, 4), 0);
  ASSERT_EQ(S_read(0, buf + 4, 4, 4), 0);
  EXPECT_EQ(plat::files::SeekCount(), seeks);
  EXPECT_EQ(std::string(buf, 8), "01234567");
  EXPECT_EQ(app().filePositions[0], 8);

  // Past the end: -1, position kept, the next read at the old position works.
  EXPECT_EQ(S_read(0, buf, 8, 5), -1);
  EXPECT_EQ(app().filePositions[0], 8);
  ASSERT_EQ(S_read(0, buf, 8, 2), 0);
  EXPECT_EQ(std::string(buf, 2), "89");

  // Any other position seeks first.
  const uint64_t before = plat::files::SeekCount();
  ASSERT_EQ(S_read(0, buf, 3, 2), 0);
  EXPECT_EQ(plat::files::SeekCount(), before + 1);
  EXPECT_EQ(std::string(buf, 2), "34");
  EXPECT_EQ(S_read(0, buf, -1, 2), -1);
  EXPECT_EQ(S_read(0, buf, 5, -2), -1);
  EXPECT_EQ(S_close(0), 0);
  EXPECT_EQ(app().fileStates[0], kSlotClosed);
  EXPECT_EQ(app().fileRefNums[0], 0);
  EXPECT_EQ(S_close(0), -1);
  EXPECT_EQ(S_read(0, buf, 0, 1), -1);
}

// The interface thread saves a preset in slot 0 while a preview worker wants to read a render
// file there: the worker can neither read, move nor close the preset's file, and its open
// waits for the save to be closed and then reads its own file.
TEST_F(SlotFiles, TwoThreadsUsingASlotAtOnceLeaveItToTheOneThatOpenedIt) {
  WriteText(dir_.file("render"), "render bytes");
  const fichier preset = record("preset"), render = record("render");
  ASSERT_EQ(S_open(&preset, 3, 0), 0);
  ASSERT_EQ(S_write(0, "ABC", 0, 3), 0);
  int refused = 0;
  std::thread([&] {
    char buf[4];
    int32_t size = 0;
    refused += S_read(0, buf, 0, 2) == -1;
    refused += S_write(0, "xyz", 0, 3) == -1;
    refused += S_getEOF(0, &size) == -1;
    refused += S_setEOF(0, 1) == -1;
    refused += S_close(0) == -1;
  }).join();
  EXPECT_EQ(refused, 5);

  std::atomic<bool> trying{false};
  std::string read;
  std::thread worker([&] {
    trying = true;
    char buf[12] = {};
    if (S_open(&render, 1, 0) == 0 && S_read(0, buf, 0, 12) == 0) read.assign(buf, 12);
    S_close(0);
  });
  while (!trying) std::this_thread::yield();
  EXPECT_EQ(S_write(0, "DEF", 3, 3), 0);
  EXPECT_EQ(S_close(0), 0);
  worker.join();
  EXPECT_EQ(ReadText(dir_.file("preset")), "ABCDEF");
  EXPECT_EQ(read, "render bytes");
  EXPECT_EQ(app().fileStates[0], kSlotClosed);
}

TEST_F(SlotFiles, AShortWriteFailsAndKeepsThePosition) {
  WriteText(dir_.file("data"), "0123456789");
  const fichier f = record("data");
  ASSERT_EQ(S_open(&f, 1, 0), 0);
  char buf[4] = {};
  ASSERT_EQ(S_read(0, buf, 0, 4), 0);

  // With files limited to 12 bytes, six bytes at 8 can only partly go in.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 12;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int16_t rc = S_write(0, "abcdef", 8, 6);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(rc, -1);
  EXPECT_EQ(app().filePositions[0], 4);
  // The next sequential read still starts where the caller left off.
  const uint64_t seeks = plat::files::SeekCount();
  ASSERT_EQ(S_read(0, buf, 4, 4), 0);
  EXPECT_EQ(std::string(buf, 4), "4567");
  EXPECT_EQ(plat::files::SeekCount(), seeks);
  EXPECT_EQ(S_close(0), 0);
}

TEST_F(SlotFiles, OpenModes) {
  const fichier missing = record("missing");
  EXPECT_EQ(S_open(&missing, 1, 3), -1);
  EXPECT_EQ(app().fileStates[3], kSlotClosed);
  EXPECT_EQ(S_test_exist(&missing), 0);

  // Mode 2 creates a new file and refuses an existing one.
  const fichier fresh = record("fresh", FourCC("pAth"));
  ASSERT_EQ(S_open(&fresh, 2, 1), 0);
  EXPECT_EQ(S_close(1), 0);
  EXPECT_EQ(S_test_exist(&fresh), 1);
  EXPECT_EQ(S_open(&fresh, 2, 1), -1);

  // Mode 0 opens without creating.
  EXPECT_EQ(S_open(&missing, 0, 2), -1);
  EXPECT_FALSE(fs::exists(dir_.file("missing")));
  ASSERT_EQ(S_open(&fresh, 0, 2), 0);
  EXPECT_EQ(S_close(2), 0);
}

TEST_F(SlotFiles, ReplacingGivesAnEmptyFileWithItsTypeAndKeepsTheOldOneUntilClosed) {
  WriteText(dir_.file("layers"), "previous layers");
  const fichier f = record("layers", FourCC("aLay"));
  ASSERT_EQ(S_open(&f, 3, 0), 0);
  EXPECT_EQ(ReadText(dir_.file("layers")), "previous layers");
  ASSERT_EQ(S_write(0, "new", 0, 3), 0);
  ASSERT_EQ(S_write(0, "!", 3, 1), 0);
  char back[4] = {};
  ASSERT_EQ(S_read(0, back, 0, 4), 0);
  EXPECT_EQ(std::string(back, 4), "new!");
  int32_t size = 0;
  EXPECT_EQ(S_getEOF(0, &size), 0);
  EXPECT_EQ(size, 4);
  ASSERT_EQ(S_close(0), 0);
  EXPECT_EQ(ReadText(dir_.file("layers")), "new!");

  // Opened and closed at once: an empty file.
  ASSERT_EQ(S_open(&f, 3, 0), 0);
  ASSERT_EQ(S_close(0), 0);
  EXPECT_EQ(fs::file_size(dir_.file("layers")), 0u);
  OSType type = 0, creator = 0;
  if (plat::files::GetTypeCreator(dir_.file("layers"), &type, &creator)) {
    EXPECT_EQ(type, FourCC("aLay"));
    EXPECT_EQ(creator, FourCC("vMkC"));
  }
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(SlotFiles, AnOpenSlotIsRefusedAndStaysUsable) {
  WriteText(dir_.file("a"), "alpha");
  WriteText(dir_.file("b"), "bravo");
  const fichier a = record("a");
  const fichier b = record("b");
  ASSERT_EQ(S_open(&a, 1, 5), 0);
  EXPECT_EQ(S_open(&b, 1, 5), -1);
  // Replacing through an open slot neither replaces nor disturbs anything.
  EXPECT_EQ(S_open(&b, 3, 5), -1);
  EXPECT_EQ(ReadText(dir_.file("b")), "bravo");
  char buf[5];
  ASSERT_EQ(S_read(5, buf, 0, 5), 0);
  EXPECT_EQ(std::string(buf, 5), "alpha");
  EXPECT_EQ(S_close(5), 0);
}

TEST_F(SlotFiles, SlotNumbersOutsideTheTableAreRefused) {
  const fichier f = record("x");
  char c = 0;
  for (int16_t slot : {int16_t{-1}, int16_t{128}, int16_t{1000}}) {
    EXPECT_EQ(S_open(&f, 3, slot), -1);
    EXPECT_EQ(S_read(slot, &c, 0, 1), -1);
    EXPECT_EQ(S_write(slot, &c, 0, 1), -1);
    EXPECT_EQ(S_close(slot), -1);
  }
  EXPECT_FALSE(fs::exists(dir_.file("x")));
  // Without application data every slot is refused.
  gappData = nullptr;
  EXPECT_EQ(S_open(&f, 3, 0), -1);
  gappData = &app();
}

TEST_F(SlotFiles, RecordsWithoutALocationOpenNothing) {
  fichier f;
  SetPStr(f.name, "loose");
  EXPECT_EQ(S_open(&f, 3, 0), -1);
  EXPECT_EQ(S_test_exist(&f), 0);
  EXPECT_NE(CreateFile(&f), 0);
}

TEST_F(SlotFiles, CreateAndDeleteByRecord) {
  const fichier f = record("made", FourCC("hVig"));
  EXPECT_EQ(CreateFile(&f), 0);
  EXPECT_NE(CreateFile(&f), 0);
  EXPECT_EQ(S_test_exist(&f), 1);
  EXPECT_EQ(S_delete(&f), 0);
  EXPECT_EQ(S_test_exist(&f), 0);
  EXPECT_NE(S_delete(&f), 0);
}

TEST_F(SlotFiles, FileObjectsReadAndWriteAtPositions) {
  const fichier f = record("kern");
  File_kern k(&f);
  EXPECT_EQ(k.state, 0);
  EXPECT_EQ(k.S_test_exist(), 0);
  EXPECT_EQ(k.S_open(0), -1);
  EXPECT_EQ(k.CreateFile(), 0);
  ASSERT_EQ(k.S_open(0), 0);
  EXPECT_EQ(k.S_open(0), -1);
  ASSERT_EQ(k.S_write("abcdef", 0, 6), 0);
  const uint64_t seeks = plat::files::SeekCount();
  ASSERT_EQ(k.S_write("gh", 6, 2), 0);
  EXPECT_EQ(plat::files::SeekCount(), seeks);
  char buf[8] = {};
  EXPECT_EQ(k.S_read(buf, 6, 4), -1);
  EXPECT_EQ(k.position, 8);
  ASSERT_EQ(k.S_read(buf, 0, 8), 0);
  EXPECT_EQ(std::string(buf, 8), "abcdefgh");
  int32_t size = 0;
  EXPECT_EQ(k.S_getEOF(&size), 0);
  EXPECT_EQ(size, 8);
  const int16_t ref = k.refNum;
  ASSERT_EQ(k.S_close(), 0);
  EXPECT_EQ(k.state, 0);
  EXPECT_EQ(k.refNum, ref);  // kept after closing
  EXPECT_EQ(k.S_close(), -1);
  EXPECT_EQ(k.S_read(buf, 0, 1), -1);

  // The destructor does not close.
  const int32_t open = plat::files::OpenFileCount();
  {
    File_kern other(&f);
    ASSERT_EQ(other.S_open(1), 0);
    EXPECT_EQ(plat::files::OpenFileCount(), open + 1);
    File_kern closer(&f);
    closer.refNum = other.refNum;
    closer.state = 1;
    EXPECT_EQ(closer.S_close(), 0);
  }
  EXPECT_EQ(plat::files::OpenFileCount(), open);
}

TEST_F(SlotFiles, FileObjectModesMatchTheSlotModes) {
  WriteText(dir_.file("exists"), "old");
  const fichier nothing = record("nothing");
  const fichier old = record("exists");
  File_kern missing(&nothing);
  EXPECT_EQ(missing.S_open(1), -1);
  File_kern exists(&old);
  EXPECT_EQ(exists.S_open(2), -1);
  ASSERT_EQ(exists.S_open(3), 0);
  ASSERT_EQ(exists.S_write("n", 0, 1), 0);
  EXPECT_EQ(ReadText(dir_.file("exists")), "old");
  ASSERT_EQ(exists.S_close(), 0);
  EXPECT_EQ(ReadText(dir_.file("exists")), "n");
}

TEST_F(SlotFiles, TextLinesStayInsideTheirBuffer) {
  const fichier f = record("text", FourCC("TEXT"));
  int16_t ref = 0;
  ASSERT_EQ(FILE_BinaryCreate(&ref, &f, 0), 0);
  ASSERT_EQ(FILE_TextWrite(ref, "first line\nsecond\n"), 0);
  ASSERT_EQ(FILE_TextWriteAtPos(ref, 18, "x"), 0);
  ASSERT_EQ(FILE_Close(ref), 0);

  File_kern k(&f);
  ASSERT_EQ(k.S_open(1), 0);
  const int16_t r = k.refNum;
  char buf[8];
  struct {
    char line[6];
    char canary[2];
  } small{};
  small.canary[0] = small.canary[1] = 'C';
  ASSERT_EQ(FILE_TextRead(r, small.line, 6), 0);
  EXPECT_STREQ(small.line, "first");
  EXPECT_EQ(small.canary[0], 'C');
  ASSERT_EQ(FILE_TextReadAtPos(r, 11, buf, 8), 0);
  EXPECT_STREQ(buf, "second");
  ASSERT_EQ(FILE_TextRead(r, buf, 8), 0);
  EXPECT_STREQ(buf, "x");
  EXPECT_EQ(FILE_TextRead(r, buf, 8), -1);
  EXPECT_EQ(FILE_TextRead(r, buf, 0), -1);

  char bin[3] = {};
  ASSERT_EQ(FILE_BinaryReadAtPos(r, 6, bin, 3), 0);
  EXPECT_EQ(std::string(bin, 3), "lin");
  char rest[100];
  EXPECT_EQ(FILE_BinaryRead(r, rest, 100), -1);
  ASSERT_EQ(k.S_close(), 0);
}

}  // namespace
