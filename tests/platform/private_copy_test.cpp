// A render's private copy of a file: its bytes and name, nothing left when it cannot be
// finished, and the sweep that takes what a killed holder left but never a held copy.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/files/private_copy.h"
#include "support/session.h"

namespace fs = std::filesystem;
using plat::files::PrivateCopy;

namespace {

class PrivateCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Larger than one pass of the copy's buffer, no two passes alike.
    for (size_t i = 0; i < 200000; ++i) bytes_.push_back(static_cast<uint8_t>((i * 7 + i / 251) & 0xFF));
    vmktest::WriteBytes(lay_, bytes_);
  }
  void TearDown() override { plat::files::FailPrivateCopiesForTesting(0); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path())) names.insert(e.path().filename().string());
    return names;
  }

  vmktest::TempDir dir_;
  const std::string lay_ = dir_.file("lay");
  std::vector<uint8_t> bytes_;
};

TEST_F(PrivateCopyTest, ACopyHoldsTheBytesUnderANewNameUntilItsHolderEnds) {
  std::string first;
  {
    PrivateCopy a, b;
    ASSERT_EQ(a.Make(lay_, ".render"), 0);
    ASSERT_EQ(b.Make(lay_, ".render"), 0);
    first = a.path();
    EXPECT_NE(first, b.path());
    const std::string number = first.substr(lay_.size() + 7);
    EXPECT_EQ(first.substr(0, lay_.size() + 7), lay_ + ".render");
    EXPECT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos) << first;
    EXPECT_EQ(vmktest::ReadBytes(first), bytes_);
    struct stat st {};
    ASSERT_EQ(::stat(first.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The original changes, the copy does not; a second Make takes the first copy away.
    vmktest::WriteBytes(lay_, {1, 2, 3});
    EXPECT_EQ(vmktest::ReadBytes(first), bytes_);
    ASSERT_EQ(a.Make(lay_, ".render"), 0);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(vmktest::ReadBytes(a.path()), (std::vector<uint8_t>{1, 2, 3}));
    b.Remove();
    EXPECT_TRUE(b.path().empty());
    EXPECT_EQ(Names().size(), 2u);
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"lay"}));
}

TEST_F(PrivateCopyTest, ACopyThatCannotBeFinishedLeavesNothing) {
  PrivateCopy copy;
  ASSERT_EQ(copy.Make(lay_, ".render"), 0);
  plat::files::FailPrivateCopiesForTesting(ENOSPC);
  EXPECT_EQ(copy.Make(lay_, ".render"), ENOSPC);
  EXPECT_TRUE(copy.path().empty());
  plat::files::FailPrivateCopiesForTesting(0);
  EXPECT_EQ(copy.Make(dir_.file("gone"), ".render"), ENOENT);
  EXPECT_EQ(copy.Make(dir_.path().string(), ".render"), EISDIR);
  EXPECT_EQ(Names(), (std::set<std::string>{"lay"}));
  EXPECT_EQ(vmktest::ReadBytes(lay_), bytes_);
}

TEST_F(PrivateCopyTest, TheSweepTakesOnlyUnheldCopiesOfItsFile) {
  for (const char* name : {"lay.render7", "lay.render12", "lay.render7x", "lay.render", "other.render3", "lay.render40"})
    vmktest::WriteBytes(dir_.file(name), {9});
  fs::create_directory(dir_.file("lay.render99"));
  fs::create_symlink(lay_, dir_.file("lay.render5"));
  // One that a live render elsewhere holds.
  const int elsewhere = ::open(dir_.file("lay.render40").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(elsewhere, LOCK_EX | LOCK_NB), 0);
  // Making a copy sweeps first; a sweep leaves the copy made.
  PrivateCopy held;
  ASSERT_EQ(held.Make(lay_, ".render"), 0);
  EXPECT_EQ(plat::files::SweepPrivateCopies(lay_, ".render"), 0);
  EXPECT_EQ(Names(), (std::set<std::string>{"lay", "lay.render7x", "lay.render", "other.render3", "lay.render99",
                                            "lay.render5", "lay.render40", fs::path(held.path()).filename().string()}));
  ::close(elsewhere);
  EXPECT_EQ(plat::files::SweepPrivateCopies(lay_, ".render"), 1);
  EXPECT_FALSE(fs::exists(dir_.file("lay.render40")));
  EXPECT_EQ(vmktest::ReadBytes(held.path()), bytes_);
  EXPECT_EQ(vmktest::ReadBytes(lay_), bytes_);
}

}  // namespace
