// The modes of the files that replacements make, and the process's file mode
// mask around them: a replacement reads the mask, it never sets it, so that a
// file another thread makes meanwhile gets the mask it should.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/files/file_io.h"
#include "support/at_once.h"
#include "support/session.h"

namespace {

using plat::files::AtomicReplace;

// Sets the process's file mode mask for the test's life; the one that was
// set comes back after it.
class ScopedMask {
 public:
  explicit ScopedMask(mode_t mask) : previous_(::umask(mask)) {}
  ~ScopedMask() { ::umask(previous_); }
  ScopedMask(const ScopedMask&) = delete;
  ScopedMask& operator=(const ScopedMask&) = delete;

 private:
  mode_t previous_;
};

// The mask as it stands, put back at once (the test's own thread is the only one).
mode_t MaskNow() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

bool Replace(const std::string& path, const char* text) {
  AtomicReplace out(path);
  return out.ok() && out.write(text, std::char_traits<char>::length(text)) && out.commit();
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

TEST(ReplacementModes, ANewFileTakesTheMaskAndAnOldOneKeepsItsMode) {
  vmktest::TempDir dir;
  const std::string made = dir.file("made"), kept = dir.file("kept");
  const ScopedMask mask(027);
  ASSERT_TRUE(Replace(made, "new"));
  EXPECT_EQ(ModeOf(made), 0640u);
  vmktest::WriteText(kept, "old");
  ASSERT_EQ(::chmod(kept.c_str(), 0604), 0);
  ASSERT_TRUE(Replace(kept, "newer"));
  EXPECT_EQ(ModeOf(kept), 0604u);
  EXPECT_EQ(MaskNow(), 027u);
}

// Where the process status shows no mask, a mask the program set after it started still
// decides a new file's mode (made private by the program, it must not come out readable).
TEST(ReplacementModes, AMaskSetAfterStartHoldsWhereTheStatusShowsNone) {
  vmktest::TempDir dir;
  plat::files::HideStatusMaskForTesting(true);
  bool made = false, other = false;
  mode_t privateMode = 0, groupMode = 0;
  {
    const ScopedMask mask(077);
    made = Replace(dir.file("private"), "new");
    privateMode = ModeOf(dir.file("private"));
  }
  {
    const ScopedMask mask(027);
    other = Replace(dir.file("group"), "new");
    groupMode = ModeOf(dir.file("group"));
  }
  plat::files::HideStatusMaskForTesting(false);
  ASSERT_TRUE(made && other);
  EXPECT_EQ(privateMode, 0600u);
  EXPECT_EQ(groupMode, 0640u);
}

// Two threads (a preview's save-buffer step and the interface's preset saves) replacing
// files at once, half of them new: every file gets 0644 under the mask 022 (a mask cleared
// for a moment would give one 0666), and the mask is still 022 after. VMK_REPLACEMENT_ROUNDS
// sets the writes of each thread.
TEST(ReplacementModes, TwoThreadsReplacingAtOnceLeaveTheMaskAndEveryModeAsTheyWere) {
  // In memory, where a write's flush costs nothing, the two threads' steps meet often; on a
  // disk each write waits for it.
  const bool inMemory = ::access("/dev/shm", W_OK | X_OK) == 0;
  std::unique_ptr<vmktest::TempDir> folder;
  {
    std::optional<vmktest::ScopedEnv> tmp;
    if (inMemory) tmp.emplace("TMPDIR", "/dev/shm");
    folder = std::make_unique<vmktest::TempDir>();
  }
  const vmktest::TempDir& dir = *folder;
  const char* asked = std::getenv("VMK_REPLACEMENT_ROUNDS");
  const int rounds = asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : inMemory ? 2000 : 300;
  const ScopedMask mask(022);
  auto writer = [&dir](char who) {
    return [&dir, who, i = 0]() mutable {
      const std::string path = dir.file(std::string(1, who) + std::to_string(i % 50));
      if (i++ % 2 == 0) ::unlink(path.c_str());  // a new file: its mode comes from the mask
      return Replace(path, "x") && ModeOf(path) == 0644u;
    };
  };
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(rounds, writer('a'), writer('b')), 0);
  EXPECT_EQ(MaskNow(), 022u);
}

}  // namespace
