// A render's private copy of a file: its bytes and name, nothing left when it
// cannot be finished, and the sweep that takes what a killed holder left
// while never taking a copy somebody holds.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/files/private_copy.h"
#include "support/session.h"

namespace fs = std::filesystem;
using plat::files::FailPrivateCopiesForTesting;
using plat::files::PrivateCopy;
using plat::files::SweepPrivateCopies;

namespace {

class PrivateCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Larger than one pass of the copy's buffer, and no two passes alike.
    bytes_.resize(200000);
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    vmktest::WriteBytes(source(), bytes_);
  }
  void TearDown() override { FailPrivateCopiesForTesting(0); }
  std::string source() const { return dir_.file("lay"); }
  // The names in the folder besides the source, sorted.
  std::set<std::string> Others() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      if (e.path().filename() != "lay") names.insert(e.path().filename().string());
    return names;
  }

  vmktest::TempDir dir_;
  std::vector<uint8_t> bytes_;
};

TEST_F(PrivateCopyTest, ACopyHoldsTheBytesUnderItsOwnNameAndGoesWithItsHolder) {
  std::string first, second;
  {
    PrivateCopy a, b;
    ASSERT_EQ(a.Make(source(), ".render"), 0);
    ASSERT_EQ(b.Make(source(), ".render"), 0);
    first = a.path();
    second = b.path();
    EXPECT_NE(first, second);
    for (const std::string& p : {first, second}) {
      ASSERT_EQ(p.rfind(source() + ".render", 0), 0u) << p;
      const std::string number = p.substr(source().size() + 7);
      EXPECT_FALSE(number.empty());
      EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << p;
      EXPECT_EQ(vmktest::ReadBytes(p), bytes_);
      struct stat st {};
      ASSERT_EQ(::stat(p.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    // The original changes; the copies do not.
    vmktest::WriteBytes(source(), {1, 2, 3});
    EXPECT_EQ(vmktest::ReadBytes(first), bytes_);
    // A second Make takes the first copy away.
    ASSERT_EQ(a.Make(source(), ".render"), 0);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(vmktest::ReadBytes(a.path()), (std::vector<uint8_t>{1, 2, 3}));
    first = a.path();
    b.Remove();
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(b.path().empty());
    EXPECT_EQ(Others().size(), 1u);
  }
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(Others().empty());
}

TEST_F(PrivateCopyTest, ACopyThatCannotBeFinishedLeavesNothingAndSaysWhy) {
  PrivateCopy copy;
  FailPrivateCopiesForTesting(ENOSPC);
  EXPECT_EQ(copy.Make(source(), ".render"), ENOSPC);
  EXPECT_TRUE(copy.path().empty());
  EXPECT_TRUE(Others().empty());
  FailPrivateCopiesForTesting(0);
  EXPECT_EQ(copy.Make(dir_.file("gone"), ".render"), ENOENT);
  fs::create_directory(dir_.file("folder"));
  EXPECT_EQ(copy.Make(dir_.file("folder"), ".render"), EISDIR);
  EXPECT_EQ(Others(), (std::set<std::string>{"folder"}));
  // A failed Make also lets go of the copy made before it.
  ASSERT_EQ(copy.Make(source(), ".render"), 0);
  const std::string made = copy.path();
  FailPrivateCopiesForTesting(EROFS);
  EXPECT_EQ(copy.Make(source(), ".render"), EROFS);
  EXPECT_FALSE(fs::exists(made));
  EXPECT_EQ(Others(), (std::set<std::string>{"folder"}));
  // The source is read only: it is as it was.
  EXPECT_EQ(vmktest::ReadBytes(source()), bytes_);
}

TEST_F(PrivateCopyTest, TheSweepTakesOnlyTheUnheldCopiesOfItsFile) {
  // What killed holders left, and what only looks like it.
  for (const char* name : {"lay.render7", "lay.render12", "lay.render7x", "lay.renderx", "lay.render", "other.render3",
                           "lay.preview3"})
    vmktest::WriteBytes(dir_.file(name), {9});
  fs::create_directory(dir_.file("lay.render99"));
  fs::create_symlink(source(), dir_.file("lay.render5"));
  // One a holder elsewhere has locked (another process's live render).
  vmktest::WriteBytes(dir_.file("lay.render40"), {4});
  const int elsewhere = ::open(dir_.file("lay.render40").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(elsewhere, 0);
  ASSERT_EQ(::flock(elsewhere, LOCK_EX | LOCK_NB), 0);
  PrivateCopy held;
  // Making a copy sweeps first: the two plain leftovers go.
  ASSERT_EQ(held.Make(source(), ".render"), 0);
  const std::string mine = fs::path(held.path()).filename().string();
  EXPECT_EQ(Others(), (std::set<std::string>{"lay.render7x", "lay.renderx", "lay.render", "other.render3",
                                             "lay.preview3", "lay.render99", "lay.render5", "lay.render40", mine}));
  // The held copies stay through a sweep; the one let go goes at the next.
  EXPECT_EQ(SweepPrivateCopies(source(), ".render"), 0);
  EXPECT_TRUE(fs::exists(held.path()));
  EXPECT_TRUE(fs::exists(dir_.file("lay.render40")));
  ::close(elsewhere);
  EXPECT_EQ(SweepPrivateCopies(source(), ".render"), 1);
  EXPECT_FALSE(fs::exists(dir_.file("lay.render40")));
  EXPECT_EQ(vmktest::ReadBytes(held.path()), bytes_);
  // The link's target is untouched.
  EXPECT_EQ(vmktest::ReadBytes(source()), bytes_);
  EXPECT_EQ(SweepPrivateCopies(source(), ".preview"), 1);
  EXPECT_FALSE(fs::exists(dir_.file("lay.preview3")));
}

}  // namespace
