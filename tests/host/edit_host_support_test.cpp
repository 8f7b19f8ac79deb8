// edit-host and the support folder as a user sets it up: named relative to
// the folder the program starts in, not there at all, and a maker's folder
// whose lock file's name holds something else. Every run is bounded: one
// that does not end by itself is stopped by `timeout`, so a hang fails the
// test instead of holding it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ApePlugInUtilities/image_files.h"
#include "host/host_fixture.h"
#include "platform/files/folder_lock.h"
#include "platform/imageio/image_io.h"

#ifdef VMK_EDIT_HOST

namespace {

namespace fs = std::filesystem;

class EditHostSupportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vmktest::WriteImageFile(dir_.file("picture.png"), plat::imageio::kTypePNG, vmktest::PatternImage(12, 9, 1));
  }
  // Runs `script` with sh in the test's folder (EH names the host, the
  // display is offscreen, the data folder is the test's) within two
  // minutes; its status. What it printed is in out.txt.
  int Run(const std::string& script) {
    vmktest::WriteText(dir_.file("run.sh"), script);
    const std::string command = "cd '" + dir_.path().string() + "' && QT_QPA_PLATFORM=offscreen XDG_DATA_HOME='" +
                                dir_.file("data") + "' EH='" VMK_EDIT_HOST "' timeout -k 5 120 sh run.sh >out.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return vmktest::ReadText(dir_.file("out.txt")); }
  // True when the version at `path` differs from the picture somewhere.
  bool Edited(const std::string& path) const {
    PixelBuffer v;
    if (readSourceImage(dir_.file(path), nullptr, nullptr, 0, true, v) != 0) return false;
    const vmktest::RawImage image = vmktest::PatternImage(12, 9, 1);
    for (uint32_t y = 0; y < image.height; ++y)
      for (uint32_t x = 0; x < image.width; ++x)
        for (int k = 0; k < 3; ++k)
          if (vmktest::Sample(v, x, y, k) != image.row(y)[x * 4 + k]) return true;
    return false;
  }

  vmktest::TempDir dir_;
};

// A support folder named relative to where the host starts: the confirmed
// effect is stored and applied, and the folder held is the one named.
TEST_F(EditHostSupportTest, ARelativeSupportFolderKeepsTheConfirmedEffect) {
  fs::create_directories(dir_.file("rel/dir/Vellmarkstead"));
  EXPECT_EQ(Run("VMK_SUPPORT_DIR=rel/dir \"$EH\" --versions v --effect 103 --dialog ok --auto ok picture.png\n"), 0)
      << Out();
  EXPECT_NE(Out().find("Edited versions are in v"), std::string::npos) << Out();
  EXPECT_TRUE(Edited("v/picture.tif"));
  EXPECT_TRUE(fs::is_regular_file(dir_.file(std::string("rel/dir/Vellmarkstead/") +
                                            plat::files::FolderLock::kLockFileName)));
}

// No support folder can be named at all: the confirmed effect cannot be
// stored, and the run says why rather than naming an empty file.
TEST_F(EditHostSupportTest, NoSupportFolderIsSaidSo) {
  EXPECT_EQ(Run("env -u HOME -u XDG_DATA_HOME -u VMK_SUPPORT_DIR \"$EH\" --versions v --effect 103 --dialog ok "
                "--auto ok picture.png\n"),
            1)
      << Out();
  EXPECT_NE(Out().find("The effect could not be saved: no support folder was found"), std::string::npos) << Out();
  EXPECT_EQ(Out().find("saved as \"\""), std::string::npos) << Out();
}

// Something else at the lock file's name. A FIFO or a link of the user's
// is replaced by the lock file (the FIFO never opened, the linked file
// untouched), and a second host is turned away while the first is open.
// A folder with files is left as it is: the first host says it holds the
// folder on this machine only and why, and a second host is still turned
// away here.
TEST_F(EditHostSupportTest, ALockNameThatIsNoLockFileIsReplacedOrNamed) {
  const std::string lock = std::string("support/Vellmarkstead/") + plat::files::FolderLock::kLockFileName;
  vmktest::WriteText(dir_.file("victim.txt"), "user's words");
  const char* kinds[] = {"mkfifo", "ln -s ../../victim.txt", "mkdir"};
  for (const char* make : kinds) {
    SCOPED_TRACE(make);
    fs::remove_all(dir_.file("support"));
    fs::remove_all(dir_.file("a"));
    fs::remove_all(dir_.file("b"));
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    const bool folder = std::string(make) == "mkdir";
    const int status =
        Run(std::string(make) + " " + lock + "\n" + (folder ? "printf x >" + lock + "/inside\n" : "") +
            "export VMK_SUPPORT_DIR=support\n"
            "VMK_TEST_HOLD=loop:held \"$EH\" --versions a picture.png >a.txt 2>&1 & pid=$!\n"
            // Until the first holds the folder, its window open, or has ended. Not by trying
            // the lock: a try holds it for a moment, and a first host that met it then was
            // turned away itself.
            "i=0; while [ ! -e held ] && kill -0 $pid 2>/dev/null && [ $i -lt 6000 ]; do\n"
            "  sleep 0.05; i=$((i+1)); done\n"
            "\"$EH\" --versions b --auto ok picture.png; echo \"b $?\"\n"
            "rm -f held; kill -TERM $pid; wait $pid; echo \"a $?\"\ncat a.txt\n");
    EXPECT_EQ(status, 0) << Out();
    EXPECT_NE(Out().find("another edit is using the support folder"), std::string::npos) << Out();
    EXPECT_NE(Out().find("b 1"), std::string::npos) << Out();
    EXPECT_NE(Out().find("a 143"), std::string::npos) << Out();
    EXPECT_EQ(vmktest::ReadText(dir_.file("victim.txt")), "user's words");
    if (folder) {
      EXPECT_NE(Out().find("is held against other edits on this machine only (.vellmarkstead-lock in it is a folder "
                           "that holds files, not a lock file)"),
                std::string::npos)
          << Out();
      EXPECT_EQ(vmktest::ReadText(dir_.file(lock + "/inside")), "x");
    } else {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir_.file(lock))));
      EXPECT_EQ(Out().find("warning"), std::string::npos) << Out();
    }
  }
}

}  // namespace

#endif
