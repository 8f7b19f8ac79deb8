#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/file_records.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/swap_slots.h"
#include "platform/files/file_io.h"
#include "platform/parallel/parallel.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;
namespace fs = std::filesystem;

class SwapFile : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
  }
  fs::path Slot(int slot) const { return dir_.path() / ("pspBuf" + std::to_string(slot) + ".lst"); }
  std::vector<unsigned char> Bytes(int slot) const { return vmktest::ReadBytes(Slot(slot)); }
  void Write(int slot, const std::vector<unsigned char>& bytes) const {
    vmktest::WriteBytes(Slot(slot), bytes);
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

// A w x h plane of distinct values.
Plane Pattern(int w, int h, int seed) {
  Plane p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>(seed + 7 * i);
  return p;
}

TEST_F(SwapFile, LayoutOfOneAndThreePlanes) {
  Plane r = Pattern(3, 2, 1), g = Pattern(3, 2, 2), b = Pattern(3, 2, 3);
  ASSERT_EQ(Effects::BufFile(0, 5, r.data(), nullptr, nullptr, 2, 3, 1), 0);
  std::vector<unsigned char> bytes = Bytes(5);
  ASSERT_EQ(bytes.size(), 10u + 6u);
  EXPECT_EQ((std::vector<unsigned char>(bytes.begin(), bytes.begin() + 10)),
            (std::vector<unsigned char>{1, 0, 3, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(Plane(bytes.begin() + 10, bytes.end()), r);

  ASSERT_EQ(Effects::BufFile(0, 5, r.data(), g.data(), b.data(), 2, 3, 3), 0);
  bytes = Bytes(5);
  ASSERT_EQ(bytes.size(), 10u + 3u * 6u);
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(Plane(bytes.begin() + 10, bytes.begin() + 16), r);
  EXPECT_EQ(Plane(bytes.begin() + 16, bytes.begin() + 22), g);
  EXPECT_EQ(Plane(bytes.begin() + 22, bytes.end()), b);
}

TEST_F(SwapFile, ReadsMatchStoredAndAskedPlanes) {
  const Plane r = Pattern(4, 3, 10), g = Pattern(4, 3, 20), b = Pattern(4, 3, 30);
  Plane a(12, 0), c(12, 0), d(12, 0);
  // Three into three.
  ASSERT_EQ(Effects::BufFile(0, 1, const_cast<unsigned char*>(r.data()),
                             const_cast<unsigned char*>(g.data()),
                             const_cast<unsigned char*>(b.data()), 3, 4, 3),
            0);
  ASSERT_EQ(Effects::BufFile(1, 1, a.data(), c.data(), d.data(), 3, 4, 3), 0);
  EXPECT_EQ(a, r);
  EXPECT_EQ(c, g);
  EXPECT_EQ(d, b);
  // Three stored, one asked: the first.
  a.assign(12, 0);
  ASSERT_EQ(Effects::BufFile(1, 1, a.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(a, r);
  // One stored, three asked: the one plane in each.
  Plane one = Pattern(4, 3, 99);
  ASSERT_EQ(Effects::BufFile(0, 2, one.data(), nullptr, nullptr, 3, 4, 1), 0);
  ASSERT_EQ(Effects::BufFile(1, 2, a.data(), c.data(), d.data(), 3, 4, 3), 0);
  EXPECT_EQ(a, one);
  EXPECT_EQ(c, one);
  EXPECT_EQ(d, one);
  // A slot never written: nothing read, no error.
  Plane keep(12, 42);
  ASSERT_EQ(Effects::BufFile(1, 3, keep.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(keep, Plane(12, 42));
}

TEST_F(SwapFile, FilesOfAnotherSizeOrCutShortAreRefused) {
  Plane p = Pattern(4, 3, 5);
  ASSERT_EQ(Effects::BufFile(0, 4, p.data(), nullptr, nullptr, 3, 4, 1), 0);
  Plane other(4 * 4, 42);
  EXPECT_EQ(Effects::BufFile(1, 4, other.data(), nullptr, nullptr, 4, 4, 1), -1);
  EXPECT_EQ(other, Plane(16, 42));

  std::vector<unsigned char> bytes = Bytes(4);
  bytes.resize(bytes.size() - 1);
  Write(4, bytes);
  Plane same(12, 42);
  EXPECT_EQ(Effects::BufFile(1, 4, same.data(), nullptr, nullptr, 3, 4, 1), -1);
  EXPECT_EQ(same, Plane(12, 42));
  // A header alone, claiming three planes.
  Write(4, {3, 0, 4, 0, 0, 0, 3, 0, 0, 0});
  EXPECT_EQ(Effects::BufFile(1, 4, same.data(), nullptr, nullptr, 3, 4, 1), -1);
  Write(4, {1, 0});
  EXPECT_EQ(Effects::BufFile(1, 4, same.data(), nullptr, nullptr, 3, 4, 1), -1);
  EXPECT_EQ(same, Plane(12, 42));
}

TEST_F(SwapFile, NamesAndDeletion) {
  Plane p = Pattern(2, 2, 0);
  for (int slot : {-1, 0, 10, 64, 65}) {
    ASSERT_EQ(Effects::BufFile(0, static_cast<int16_t>(slot), p.data(), nullptr, nullptr, 2, 2, 1),
              0);
    EXPECT_TRUE(fs::exists(Slot(slot))) << slot;
  }
  EXPECT_TRUE(fs::exists(dir_.path() / "pspBuf-1.lst"));
  EXPECT_TRUE(fs::exists(dir_.path() / "pspBuf10.lst"));
  ASSERT_EQ(Effects::BufFile(2, 10, nullptr, nullptr, nullptr, 0, 0, 1), 0);
  EXPECT_FALSE(fs::exists(Slot(10)));
  EXPECT_EQ(Effects::BufFile(2, 10, nullptr, nullptr, nullptr, 0, 0, 1), 0);  // already gone
  ASSERT_EQ(Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 1), 0);
  EXPECT_FALSE(fs::exists(Slot(0)));
  EXPECT_FALSE(fs::exists(Slot(64)));
  EXPECT_TRUE(fs::exists(Slot(65)));
  EXPECT_TRUE(fs::exists(Slot(-1)));
  // Unknown modes do nothing.
  EXPECT_EQ(Effects::BufFile(7, 65, nullptr, nullptr, nullptr, 0, 0, 1), 0);
  EXPECT_TRUE(fs::exists(Slot(65)));
}

using swap_slots::RenderSlots;

// The swap files in the folder.
int SlotFiles(const fs::path& folder) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(folder))
    n += e.path().filename().string().rfind("pspBuf", 0) == 0 ? 1 : 0;
  return n;
}

// The folders of renders' own slots in the maker's folder.
std::vector<fs::path> OwnFolders(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().rfind(".vellmarkstead-slots-", 0) == 0) found.push_back(e.path());
  std::sort(found.begin(), found.end());
  return found;
}

// A render's own slots read back by the rules of the files, and touch no file; the slots
// outside 0 to 64 stay the maker's folder's files.
TEST_F(SwapFile, ARendersOwnSlotsReadAsTheFilesWouldAndLeaveTheFolder) {
  const Plane r = Pattern(4, 3, 10), g = Pattern(4, 3, 20), b = Pattern(4, 3, 30);
  const Plane one = Pattern(4, 3, 99);
  Write(1, {9, 9});
  auto slots = std::make_unique<RenderSlots>();
  Plane a(12, 0), c(12, 0), d(12, 0);
  // The folder's file of the slot is not this render's.
  ASSERT_EQ(Effects::BufFile(1, 1, a.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(a, Plane(12, 0));
  ASSERT_EQ(Effects::BufFile(0, 1, const_cast<unsigned char*>(r.data()),
                             const_cast<unsigned char*>(g.data()),
                             const_cast<unsigned char*>(b.data()), 3, 4, 3),
            0);
  ASSERT_EQ(Effects::BufFile(1, 1, a.data(), c.data(), d.data(), 3, 4, 3), 0);
  EXPECT_EQ(a, r);
  EXPECT_EQ(c, g);
  EXPECT_EQ(d, b);
  a.assign(12, 0);
  ASSERT_EQ(Effects::BufFile(1, 1, a.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(a, r);
  ASSERT_EQ(Effects::BufFile(0, 2, const_cast<unsigned char*>(one.data()), nullptr, nullptr, 3, 4, 1), 0);
  ASSERT_EQ(Effects::BufFile(1, 2, a.data(), c.data(), d.data(), 3, 4, 3), 0);
  EXPECT_EQ(a, one);
  EXPECT_EQ(c, one);
  EXPECT_EQ(d, one);
  // Planes of another size are refused and stay as they were; clearing empties every slot.
  Plane other(16, 42), keep(12, 42);
  EXPECT_EQ(Effects::BufFile(1, 2, other.data(), nullptr, nullptr, 4, 4, 1), -1);
  EXPECT_EQ(other, Plane(16, 42));
  ASSERT_EQ(Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 1), 0);
  ASSERT_EQ(Effects::BufFile(1, 1, keep.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(keep, Plane(12, 42));
  Plane p = Pattern(4, 3, 7);
  EXPECT_EQ(Bytes(1), (std::vector<unsigned char>{9, 9}));
  EXPECT_EQ(SlotFiles(dir_.path()), 1);
  // Above 64 the slots outlive renders, as the folder's files.
  ASSERT_EQ(Effects::BufFile(0, 65, p.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(Bytes(65).size(), 10u + 12u);
  // Without a maker's folder a render's own slot cannot be had either.
  ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, (dir_.path() / "missing").string()));
  EXPECT_EQ(Effects::BufFile(0, 3, p.data(), nullptr, nullptr, 3, 4, 1), -1);
  ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
  ASSERT_EQ(Effects::BufFile(1, 3, keep.data(), nullptr, nullptr, 3, 4, 1), 0);
  EXPECT_EQ(keep, Plane(12, 42));
  // The slots lie in one folder of the render's own, for its user only, and go with it.
  ASSERT_EQ(Effects::BufFile(0, 2, const_cast<unsigned char*>(one.data()), nullptr, nullptr, 3, 4, 1), 0);
  const std::vector<fs::path> own = OwnFolders(dir_.path());
  ASSERT_EQ(own.size(), 1u);
  struct stat st {};
  ASSERT_EQ(::stat(own[0].c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(vmktest::ReadBytes(own[0] / "pspBuf2.lst").size(), 10u + 12u);
  EXPECT_FALSE(fs::exists(own[0] / "pspBuf1.lst"));  // cleared
  slots.reset();
  EXPECT_TRUE(OwnFolders(dir_.path()).empty());
  EXPECT_EQ(Bytes(1), (std::vector<unsigned char>{9, 9}));
}

// A render's own slot file holds what the maker's folder's file of the same save holds, byte
// for byte, and reads back the same.
TEST_F(SwapFile, ARendersOwnSlotIsTheMakersFolderFileByteForByte) {
  const Plane r = Pattern(5, 3, 11), g = Pattern(5, 3, 22), b = Pattern(5, 3, 33);
  unsigned char* in[3] = {const_cast<unsigned char*>(r.data()), const_cast<unsigned char*>(g.data()),
                          const_cast<unsigned char*>(b.data())};
  for (const int32_t channels : {1, 3}) {
    ASSERT_EQ(Effects::BufFile(0, 9, in[0], in[1], in[2], 3, 5, channels), 0);
    const std::vector<unsigned char> makers = Bytes(9);
    Plane a[2][3];
    for (int road = 0; road < 2; ++road) {
      std::unique_ptr<RenderSlots> slots;
      if (road == 1) {
        slots = std::make_unique<RenderSlots>();
        ASSERT_EQ(Effects::BufFile(0, 9, in[0], in[1], in[2], 3, 5, channels), 0);
        const std::vector<fs::path> own = OwnFolders(dir_.path());
        ASSERT_EQ(own.size(), 1u);
        EXPECT_EQ(vmktest::ReadBytes(own[0] / "pspBuf9.lst"), makers) << channels;
      }
      for (Plane& p : a[road]) p.assign(15, 7);
      ASSERT_EQ(Effects::BufFile(1, 9, a[road][0].data(), a[road][1].data(), a[road][2].data(), 3, 5, 3), 0);
    }
    for (int k = 0; k < 3; ++k) EXPECT_EQ(a[1][k], a[0][k]) << channels;
    EXPECT_EQ(a[0][0], r);
    EXPECT_EQ(a[0][2], channels == 1 ? r : b);
  }
  EXPECT_TRUE(OwnFolders(dir_.path()).empty());
}

// A save into a render's own slot on a full disk fails as the maker's folder's does: -1, the
// slot keeping the planes of its last good save (none at first), and the folder still goes.
TEST_F(SwapFile, ARendersOwnSlotThatCannotBeWrittenIsReported) {
  const Plane first = Pattern(3, 2, 1), second = Pattern(3, 2, 2);
  for (const bool own : {false, true}) {
    std::unique_ptr<RenderSlots> slots;
    if (own) slots = std::make_unique<RenderSlots>();
    ASSERT_EQ(Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 1), 0);
    plat::files::FailWritesForTesting(dir_.path().string(), ENOSPC);
    Plane back(6, 42);
    EXPECT_EQ(Effects::BufFile(0, 6, const_cast<unsigned char*>(first.data()), nullptr, nullptr, 2, 3, 1), -1)
        << own;
    EXPECT_EQ(Effects::BufFile(1, 6, back.data(), nullptr, nullptr, 2, 3, 1), 0);
    EXPECT_EQ(back, Plane(6, 42)) << own;
    plat::files::FailWritesForTesting("", 0);
    ASSERT_EQ(Effects::BufFile(0, 6, const_cast<unsigned char*>(first.data()), nullptr, nullptr, 2, 3, 1), 0);
    plat::files::FailWritesForTesting(dir_.path().string(), ENOSPC);
    EXPECT_EQ(Effects::BufFile(0, 6, const_cast<unsigned char*>(second.data()), nullptr, nullptr, 2, 3, 1), -1)
        << own;
    plat::files::FailWritesForTesting("", 0);
    ASSERT_EQ(Effects::BufFile(1, 6, back.data(), nullptr, nullptr, 2, 3, 1), 0);
    EXPECT_EQ(back, first) << own;
    slots.reset();
    EXPECT_TRUE(OwnFolders(dir_.path()).empty()) << own;
  }
  EXPECT_EQ(plat::files::OpenFileCount(), 0);
}

// Folders that renders which died left (unlocked) go at the next render's first save, with
// their slot files and half-written ones; a folder another render holds stays whole, and so
// do a folder with a file of someone else's in it (its slot files go), folders of another
// machine and the other files of the maker's folder.
TEST_F(SwapFile, FoldersLeftByDeadRendersGoAtTheNextRendersFirstSave) {
  Plane p = Pattern(2, 2, 3);
  std::string stem;
  {
    const RenderSlots slots;
    ASSERT_EQ(Effects::BufFile(0, 1, p.data(), nullptr, nullptr, 2, 2, 1), 0);
    const std::vector<fs::path> own = OwnFolders(dir_.path());
    ASSERT_EQ(own.size(), 1u);
    const std::string name = own[0].filename().string();
    stem = name.substr(0, name.rfind('.') + 1);
  }
  ASSERT_EQ(stem.size(), std::string(".vellmarkstead-slots-01234567.").size());
  const auto left = [&](const std::string& name, bool userFile) {
    const fs::path f = dir_.path() / name;
    fs::create_directory(f);
    fs::permissions(f, fs::perms::owner_all, fs::perm_options::replace);
    vmktest::WriteBytes(f / "pspBuf3.lst", {1, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 2, 3, 4});
    vmktest::WriteBytes(f / ".~pspBuf4.lst.Ab12Cd", {1});
    if (userFile) vmktest::WriteBytes(f / "notes.txt", {7});
    return f;
  };
  const fs::path dead = left(stem + "dead01", false);
  const fs::path kept = left(stem + "user01", true);
  const fs::path held = left(stem + "held01", false);
  const fs::path elsewhere = left(".vellmarkstead-slots-fedcba98.other1", false);
  Write(5, {9, 9});
  // The lock a live render holds on its folder, as another process of this machine holds it.
  const int heldFd = ::open(held.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(heldFd, 0);
  ASSERT_EQ(::flock(heldFd, LOCK_EX | LOCK_NB), 0);
  {
    const RenderSlots slots;
    // A render that saves nothing makes no folder, and so takes nothing away.
    ASSERT_EQ(Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 1), 0);
    EXPECT_TRUE(fs::exists(dead));
  }
  {
    const RenderSlots slots;
    ASSERT_EQ(Effects::BufFile(0, 1, p.data(), nullptr, nullptr, 2, 2, 1), 0);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(kept / "notes.txt"));
    EXPECT_FALSE(fs::exists(kept / "pspBuf3.lst"));
    EXPECT_FALSE(fs::exists(kept / ".~pspBuf4.lst.Ab12Cd"));
    EXPECT_TRUE(fs::exists(held / "pspBuf3.lst"));
    EXPECT_TRUE(fs::exists(held / ".~pspBuf4.lst.Ab12Cd"));
    EXPECT_TRUE(fs::exists(elsewhere / "pspBuf3.lst"));
    EXPECT_EQ(OwnFolders(dir_.path()).size(), 4u);  // kept, held, elsewhere and this render's
  }
  ::close(heldFd);
  EXPECT_EQ(Bytes(5), (std::vector<unsigned char>{9, 9}));
  std::vector<fs::path> stay = {elsewhere, held, kept};
  std::sort(stay.begin(), stay.end());
  EXPECT_EQ(OwnFolders(dir_.path()), stay);
}

// A render that starts on another thread while this one has saved a slot clears only its
// own slots, and does not see this one's.
TEST_F(SwapFile, TwoRendersAtOnceTheLaterStartClearsOnlyItsOwnSlots) {
  const Plane mine = Pattern(3, 2, 40);
  const RenderSlots slots;
  ASSERT_EQ(Effects::BufFile(0, 5, const_cast<unsigned char*>(mine.data()), nullptr, nullptr, 2, 3, 1), 0);
  Plane seen(6, 42), theirs = Pattern(3, 2, 90), theirsBack(6, 0);
  std::thread([&] {
    const RenderSlots other;
    (void)Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 1);
    (void)Effects::BufFile(1, 5, seen.data(), nullptr, nullptr, 2, 3, 1);
    // Its first save makes its own folder and takes away those no render holds: never
    // this one's.
    (void)Effects::BufFile(0, 5, theirs.data(), nullptr, nullptr, 2, 3, 1);
    (void)Effects::BufFile(1, 5, theirsBack.data(), nullptr, nullptr, 2, 3, 1);
    EXPECT_EQ(OwnFolders(dir_.path()).size(), 2u);
  }).join();
  EXPECT_EQ(seen, Plane(6, 42));
  EXPECT_EQ(theirsBack, theirs);
  Plane back(6, 0);
  ASSERT_EQ(Effects::BufFile(1, 5, back.data(), nullptr, nullptr, 2, 3, 1), 0);
  EXPECT_EQ(back, mine);
  EXPECT_EQ(OwnFolders(dir_.path()).size(), 1u);
}

TEST_F(SwapFile, AWriteThatCannotBeMadeIsReported) {
  Plane p = Pattern(2, 2, 0);
  ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, (dir_.path() / "missing").string()));
  EXPECT_EQ(Effects::BufFile(0, 1, p.data(), nullptr, nullptr, 2, 2, 1), -1);
  // Three planes asked for with one given.
  ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
  EXPECT_EQ(Effects::BufFile(0, 1, p.data(), nullptr, nullptr, 2, 2, 3), -1);
  EXPECT_FALSE(fs::exists(Slot(1)));
}

TEST_F(SwapFile, SaveAndRecallSteps) {
  const Plane r0 = Pattern(4, 4, 1), g0 = Pattern(4, 4, 2), b0 = Pattern(4, 4, 3);
  Plane r = r0, g = g0, b = b0;
  // Save under mode 0 leaves the planes; the region reaching past them is
  // clamped, and what lies outside it is stored as 0.
  ASSERT_EQ(Effects::SaveRecallBuf(0, 255, r.data(), g.data(), b.data(), 4, 4, 1, 1, 9, 9,
                                   nullptr, 3, 0, 8),
            0);
  EXPECT_EQ(r, r0);
  std::vector<unsigned char> bytes = Bytes(8);
  ASSERT_EQ(bytes.size(), 10u + 3u * 16u);
  EXPECT_EQ(bytes[10 + 0], 0);
  EXPECT_EQ(bytes[10 + 5], r0[5]);
  EXPECT_EQ(bytes[10 + 16 + 15], g0[15]);

  // Paint the planes, then recall: the region comes back, the rest stays.
  r.assign(16, 9);
  g.assign(16, 9);
  b.assign(16, 9);
  ASSERT_EQ(Effects::SaveRecallBuf(0, 255, r.data(), g.data(), b.data(), 4, 4, 0, 0, 3, 3,
                                   nullptr, 3, 1, 8),
            0);
  EXPECT_EQ(r[0], 0);  // stored as 0 outside the saved region
  EXPECT_EQ(r[5], r0[5]);
  EXPECT_EQ(b[15], b0[15]);

  // Recall of a slot no save has written changes nothing under mode 0.
  Plane one = Pattern(4, 4, 50);
  ASSERT_EQ(Effects::SaveRecallBuf(0, 255, one.data(), nullptr, nullptr, 4, 4, 0, 0, 3, 3,
                                   nullptr, 1, 1, 30),
            0);
  EXPECT_EQ(one, Pattern(4, 4, 50));
}

TEST_F(SwapFile, SaveUnderAddDoublesTheRegionButStoresThePlanesAsTheyWere) {
  Plane p = {10, 100, 200, 30};
  ASSERT_EQ(Effects::SaveRecallBuf(1, 255, p.data(), nullptr, nullptr, 2, 2, 0, 0, 0, 1,
                                   nullptr, 1, 0, 6),
            0);
  EXPECT_EQ(p, (Plane{20, 100, 255, 30}));  // column 0 only
  const std::vector<unsigned char> bytes = Bytes(6);
  EXPECT_EQ(Plane(bytes.begin() + 10, bytes.end()), (Plane{10, 0, 200, 0}));
}

TEST_F(SwapFile, NoWorkMemoryTouchesNeitherPlanesNorFiles) {
  Plane p = Pattern(2, 2, 0);
  Plane stored = Pattern(2, 2, 90);
  ASSERT_EQ(Effects::BufFile(0, 3, stored.data(), nullptr, nullptr, 2, 2, 1), 0);
  vmktest::NoWorkMemory none;
  // Part of the planes: the save needs its cleared copy.
  EXPECT_EQ(Effects::SaveRecallBuf(1, 255, p.data(), nullptr, nullptr, 2, 2, 0, 0, 0, 1, nullptr,
                                   1, 0, 2),
            -1);
  // A recall of a file needs the copy the file is read into.
  EXPECT_EQ(Effects::SaveRecallBuf(1, 255, p.data(), nullptr, nullptr, 2, 2, 0, 0, 1, 1, nullptr,
                                   1, 1, 3),
            -1);
  none.End();
  EXPECT_EQ(p, Pattern(2, 2, 0));
  EXPECT_FALSE(fs::exists(Slot(2)));
}

TEST_F(SwapFile, SaveOfWholePlanesNeedsNoWorkMemory) {
  Plane p = Pattern(2, 2, 0);
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Effects::SaveRecallBuf(1, 255, p.data(), nullptr, nullptr, 2, 2, 0, 0, 1, 1, nullptr,
                                   1, 0, 2),
            0);
  none.End();
  const std::vector<unsigned char> bytes = Bytes(2);
  EXPECT_EQ(Plane(bytes.begin() + 10, bytes.end()), Pattern(2, 2, 0));
  EXPECT_EQ(p, (Plane{0, 14, 28, 42}));  // added to itself
  // Nor does a recall of a slot without a file: the planes blend with themselves.
  vmktest::NoWorkMemory again;
  EXPECT_EQ(Effects::SaveRecallBuf(1, 255, p.data(), nullptr, nullptr, 2, 2, 0, 0, 1, 1, nullptr,
                                   1, 1, 4),
            0);
  again.End();
  EXPECT_EQ(p, (Plane{0, 28, 56, 84}));
}

// The step as it was first written: a cleared copy of the region, the file, then each sample
// blended with the copy one after the other.
void PlainSaveRecall(int16_t mode, int16_t opacity, unsigned char* const* planes, int32_t height,
                     int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                     const unsigned char* mask, int16_t channels, int16_t fileMode,
                     int16_t slot) {
  const int32_t count = channels == 1 ? 1 : 3;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width - 1);
  y1 = std::min(y1, height - 1);
  const size_t size = static_cast<size_t>(height) * width;
  std::vector<Plane> work(3, Plane(size, 0));
  for (int32_t p = 0; p < count; ++p)
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) work[p][y * width + x] = planes[p][y * width + x];
  (void)Effects::BufFile(fileMode, slot, work[0].data(), work[1].data(), work[2].data(), height,
                         width, channels);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int32_t i = y * width + x;
      const int32_t a = effect_support::Weight(mask, i, opacity);
      for (int32_t p = 0; p < count; ++p)
        planes[p][i] = effect_support::Blend(mode, planes[p][i], work[p][i], a);
    }
}

TEST_F(SwapFile, BandedStepsMatchThePlainOneAtAnyThreadCount) {
  struct Size {
    int32_t w, h;
  };
  const Size sizes[] = {{1, 1}, {17, 3}, {2049, 5}, {3, 70}};
  for (const Size sz : sizes) {
    const size_t n = static_cast<size_t>(sz.w) * sz.h;
    Plane mask(n);
    for (size_t i = 0; i < n; ++i) mask[i] = static_cast<unsigned char>(i * 37 + 11);
    for (const int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      for (const int16_t mode : {0, 1, 9}) {
        for (const bool masked : {false, true}) {
          for (const bool whole : {true, false}) {
            for (const int16_t channels : {1, 3}) {
              const int32_t x1 = whole ? sz.w - 1 : sz.w / 2, y1 = whole ? sz.h - 1 : sz.h / 2;
              const unsigned char* m = masked ? mask.data() : nullptr;
              Plane a[3] = {Pattern(sz.w, sz.h, 1), Pattern(sz.w, sz.h, 2), Pattern(sz.w, sz.h, 3)};
              Plane b[3] = {a[0], a[1], a[2]};
              unsigned char* pa[3] = {a[0].data(), a[1].data(), a[2].data()};
              unsigned char* pb[3] = {b[0].data(), b[1].data(), b[2].data()};
              // Save, then recall over changed planes, the slot's file compared between.
              PlainSaveRecall(mode, 200, pa, sz.h, sz.w, 0, 0, x1, y1, m, channels, 0, 11);
              const std::vector<unsigned char> stored = Bytes(11);
              ASSERT_EQ(Effects::SaveRecallBuf(mode, 200, pb[0], pb[1], pb[2], sz.h, sz.w, 0, 0,
                                               x1, y1, m, channels, 0, 11),
                        0);
              ASSERT_EQ(Bytes(11), stored) << sz.w << "x" << sz.h << " threads " << threads;
              for (int k = 0; k < 3; ++k) ASSERT_EQ(a[k], b[k]) << sz.w << "x" << sz.h << " mode " << mode;
              for (int k = 0; k < 3; ++k)
                for (size_t i = 0; i < n; ++i) a[k][i] = b[k][i] = static_cast<unsigned char>(i * 5 + k);
              PlainSaveRecall(mode, 255, pa, sz.h, sz.w, 0, 0, x1, y1, m, channels, 1, 11);
              ASSERT_EQ(Effects::SaveRecallBuf(mode, 255, pb[0], pb[1], pb[2], sz.h, sz.w, 0, 0,
                                               x1, y1, m, channels, 1, 11),
                        0);
              for (int k = 0; k < 3; ++k) ASSERT_EQ(a[k], b[k]) << sz.w << "x" << sz.h << " recall";
              // A recall of a slot without a file blends the planes with their own copy.
              PlainSaveRecall(mode, 255, pa, sz.h, sz.w, 0, 0, x1, y1, m, channels, 1, 12);
              ASSERT_EQ(Effects::SaveRecallBuf(mode, 255, pb[0], pb[1], pb[2], sz.h, sz.w, 0, 0,
                                               x1, y1, m, channels, 1, 12),
                        0);
              for (int k = 0; k < 3; ++k) ASSERT_EQ(a[k], b[k]) << sz.w << "x" << sz.h << " no file";
            }
          }
        }
      }
    }
  }
  plat::SetThreadCount(0);
}

// What a session's start clears: a dead render's folder and the maker's folder's files of
// slots 0 to 64 (an older OK left them there); never a live render's folder, the slots above
// 64, or anything while a render runs on the calling thread.
TEST_F(SwapFile, ASessionsStartClearsWhatDeadRendersLeft) {
  for (int slot : {0, 64, 65}) Write(slot, {1, 2});
  {
    const RenderSlots slots;
    swap_slots::RemoveLeftSlots();  // inside a render: nothing
    EXPECT_TRUE(fs::exists(Slot(0)));
  }
  Plane live = Pattern(2, 2, 9);
  {
    const RenderSlots slots;
    ASSERT_EQ(Effects::BufFile(0, 2, live.data(), nullptr, nullptr, 2, 2, 1), 0);
    const fs::path own = OwnFolders(dir_.path()).at(0);
    // As a kill leaves one: a folder with its slot, and no lock on it.
    fs::path dead = own;
    dead += "x";
    fs::copy(own, dead, fs::copy_options::recursive);
    // Another thread's session start while this render holds its folder.
    std::thread([] { swap_slots::RemoveLeftSlots(); }).join();
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(Slot(0)));
    EXPECT_FALSE(fs::exists(Slot(64)));
    EXPECT_EQ(Bytes(65), (std::vector<unsigned char>{1, 2}));
    Plane back(4, 0);
    ASSERT_EQ(Effects::BufFile(1, 2, back.data(), nullptr, nullptr, 2, 2, 1), 0);
    EXPECT_EQ(back, live);
  }
  EXPECT_TRUE(OwnFolders(dir_.path()).empty());
}

}  // namespace
