// A session against what the user's system may hold against it: a link in
// the layer scratch's place, and too little memory for the render.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>

#include "app/core/session_state.h"
#include "host/edit_session.h"
#include "host/host_fixture.h"
#include "host/render_progress.h"
#include "platform/parallel/parallel.h"

namespace {

namespace fs = std::filesystem;
using vmktest::Sample;

class SessionLimitsTest : public vmktest::HostTest {};

// A link in the scratch's place to a file of the user's elsewhere: the
// start replaces the link with an empty scratch and leaves the file whole.
TEST_F(SessionLimitsTest, AStartReplacesALinkedScratchAndLeavesWhatItNames) {
  const std::string lay = bundle_.makersFile("com.vellmarkstead.lay");
  const std::string victim = bundle_.file("elsewhere/notes.txt");
  fs::create_directories(bundle_.file("elsewhere"));
  vmktest::WriteText(victim, "a file of the user, elsewhere\n");
  fs::create_symlink(victim, lay);
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(4, 4, 1))});
  EXPECT_EQ(vmktest::ReadText(victim), "a file of the user, elsewhere\n");
  EXPECT_FALSE(fs::is_symlink(lay));
  ASSERT_TRUE(fs::is_regular_file(lay));
  EXPECT_EQ(fs::file_size(lay), 0u);
  EXPECT_FALSE(s->LayersToRender());
  // A link that names nothing is replaced too; no temporary is left.
  session_.reset();
  fs::remove(lay);
  fs::create_symlink(bundle_.file("elsewhere/none"), lay);
  Start({Version("b.tif", vmktest::PatternImage(4, 4, 1))});
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(lay)));
  EXPECT_FALSE(fs::exists(bundle_.file("elsewhere/none")));
  for (const auto& e : fs::directory_iterator(fs::path(lay).parent_path()))
    EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u) << e.path();
}

TEST_F(SessionLimitsTest, AnEmptyScratchIsLeftAndAMissingOneIsNotMade) {
  const std::string lay = bundle_.makersFile("com.vellmarkstead.lay");
  Start({Version("a.tif", vmktest::PatternImage(4, 4, 1))});
  EXPECT_FALSE(fs::exists(fs::symlink_status(lay)));
  session_.reset();
  vmktest::WriteText(lay, "");
  const auto inode = fs::hard_link_count(lay);
  Start({Version("b.tif", vmktest::PatternImage(4, 4, 1))});
  EXPECT_EQ(fs::hard_link_count(lay), inode);
  EXPECT_EQ(fs::file_size(lay), 0u);
}

// The address space the process holds now.
size_t AddressSpace() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return static_cast<size_t>(pages) * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Run in a child process (the death test's): the session renders a
// 16-bit picture of 2048 x 2048 (32 MB) with room for its planes (16 MB)
// and some more, but not for a second picture. 0 when the render answered
// that memory ran out and left everything as it was.
int RenderUnderALimit(CarbonEditPlugin* s, const std::string& layers) {
  plat::SetThreadCount(1);
  const PixelBuffer before = s->destination;
  const uint32_t corner = Sample(before, 7, 9, 0);
  struct rlimit limit {};
  limit.rlim_cur = limit.rlim_max = AddressSpace() + (size_t{28} << 20);
  if (::setrlimit(RLIMIT_AS, &limit) != 0) return 10;
  const int32_t rendered = s->RenderLayerFile(layers);
  if (rendered != -1) return 11;
  if (s->lastError.find("not enough memory") == std::string::npos) return 12;
  if (!s->destination.sharesBodyWith(before) || !s->source.sharesBodyWith(before)) return 13;
  if (Sample(s->destination, 7, 9, 0) != corner) return 14;
  return 0;
}

// A render whose write-back cannot have the memory of its result ends with
// the memory answer instead of ending the process; the picture stays.
TEST_F(SessionLimitsTest, ARenderWithoutMemoryForItsResultSaysSoAndLeavesThePicture) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  CarbonEditPlugin* s = Start({Version("big.tif", vmktest::PatternImage(2048, 2048, 2))});
  ASSERT_EQ(s->destination.width(), 2048u);
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  const uint32_t corner = Sample(s->destination, 7, 9, 0);
  EXPECT_EXIT(std::_Exit(RenderUnderALimit(s, bundle_.file("bright.lay"))), ::testing::ExitedWithCode(0), "");
  // With the memory there, the same render goes through.
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("bright.lay")), 0);
  EXPECT_EQ(Sample(s->destination, 7, 9, 0), std::min<uint32_t>((corner >> 8) + 10, 255) * 257);
}

// On the render's own thread (no test clock: the render runs beside the
// event loop) and in line.
TEST(RenderRunner, AnAllocationFailureOrAnyExceptionBecomesAnAnswer) {
  EXPECT_EQ(RunRenderWithProgress([]() -> int32_t { throw std::bad_alloc(); }), kRenderNoMemory);
  EXPECT_EQ(RunRenderWithProgress([]() -> int32_t { throw std::out_of_range(""); }), -1);
  EXPECT_EQ(RunRenderWithProgress([]() -> int32_t { return 0; }), 0);
  plat::tb::test::Driver driver;
  EXPECT_EQ(RunRenderWithProgress([]() -> int32_t { throw std::bad_alloc(); }), kRenderNoMemory);
  EXPECT_EQ(RunRenderWithProgress([]() -> int32_t { throw std::out_of_range(""); }), -1);
  EXPECT_EQ(RunRenderWithProgress([]() -> int32_t { return 0; }), 0);
}

}  // namespace
