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

}  // namespace
