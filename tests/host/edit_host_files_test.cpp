// The stand-in host against files that do not answer and folders that
// change under it: a FIFO given as the image or lying in the support folder
// in a list's place, a stop signal while the main thread is held, a copy the
// versions folder no longer lets go, and an image named like an option.
// Every run is bounded: one that does not end by itself is sent SIGTERM
// (then SIGKILL) by `timeout`, so a hang fails the test instead of holding it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/host_fixture.h"
#include "platform/imageio/image_io.h"

#ifdef VMK_EDIT_HOST

namespace {

namespace fs = std::filesystem;

class EditHostFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    vmktest::RawImage image = vmktest::PatternImage(6, 5, 1);
    vmktest::WriteImageFile(dir_.file("picture.png"), plat::imageio::kTypePNG, image);
  }
  // Runs `script` with sh in the test's folder, EH naming the host, within
  // `seconds`; the script's status (124 or 137 when it had to be stopped).
  // What it printed is in out.txt.
  int Run(const std::string& script, int seconds = 60) {
    vmktest::WriteText(dir_.file("run.sh"), script);
    const std::string command = "cd '" + dir_.path().string() + "' && QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" +
                                dir_.file("support") + "' XDG_DATA_HOME='" + dir_.file("data") +
                                "' EH='" VMK_EDIT_HOST "' timeout -k 5 " + std::to_string(seconds) +
                                " sh run.sh >out.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return vmktest::ReadText(dir_.file("out.txt")); }
  std::vector<std::string> Versions() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir_.file("v"), ec)) names.push_back(e.path().filename().string());
    return names;
  }

  vmktest::TempDir dir_;
};

TEST_F(EditHostFilesTest, AFifoGivenAsTheImageIsRefusedAtOnce) {
  EXPECT_EQ(Run("mkfifo photo.tif\n\"$EH\" --versions v --auto ok photo.tif\n"), 1) << Out();
  EXPECT_NE(Out().find("edit-host: no editable version of photo.tif: not an image file but a FIFO"),
            std::string::npos)
      << Out();
  EXPECT_TRUE(Versions().empty());
}

// The image library's list is a FIFO: read as a list that is not there, so
// the library is rebuilt in its place.
TEST_F(EditHostFilesTest, AFifoInTheListsPlaceIsReadAsNoList) {
  const std::string list = dir_.file("support/Vellmarkstead/com.vellmarkstead.pspImaLst.lst");
  ASSERT_EQ(::mkfifo(list.c_str(), 0600), 0);
  EXPECT_EQ(Run("\"$EH\" --versions v --effect 92 --dialog ok --auto ok picture.png\n"), 0) << Out();
  EXPECT_NE(Out().find("Edited versions are in v"), std::string::npos) << Out();
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(list)));
}

// The main thread held before the event loop runs (here in loading a
// plug-in that is a FIFO, once the copy is made): SIGTERM still removes the
// copy and ends the program.
TEST_F(EditHostFilesTest, AStopSignalWhileTheMainThreadIsHeldRemovesTheCopy) {
  fs::create_directories(dir_.file("v"));
  vmktest::WriteText(dir_.file("v/notes.txt"), "mine");
  fs::create_directories(dir_.file("bundle"));
  ASSERT_EQ(::mkfifo(dir_.file("bundle/ApeVMKPlugin.so").c_str(), 0600), 0);
  // The shell's open of the FIFO returns once the host has opened it; the
  // host then waits for bytes that do not come.
  EXPECT_EQ(Run("\"$EH\" --bundle bundle --versions v picture.png & pid=$!\n"
                "exec 3>bundle/ApeVMKPlugin.so\n"
                "kill -TERM $pid\n"
                "wait $pid\n"),
            128 + SIGTERM)
      << Out();
  EXPECT_NE(Out().find("Edit stopped; the editable copies it made in v are removed"), std::string::npos) << Out();
  EXPECT_EQ(Versions(), std::vector<std::string>{"notes.txt"});
}

TEST_F(EditHostFilesTest, AnImageAfterTwoDashesMayStartWithADash) {
  fs::copy_file(dir_.file("picture.png"), dir_.file("-dash.png"));
  EXPECT_EQ(Run("\"$EH\" --versions v --auto ok -- -dash.png\n"), 0) << Out();
  EXPECT_EQ(Versions(), std::vector<std::string>{"-dash.tif"});
  // Before the two dashes it is still an unknown option.
  EXPECT_EQ(Run("\"$EH\" --versions v --auto ok -dash.png\n"), 2) << Out();
}

// The versions folder made read-only once the copy is made (immutable for
// the superuser, whom permissions do not stop): the host names the copy it
// could not remove instead of saying the copies are gone.
TEST_F(EditHostFilesTest, ACopyThatCannotBeRemovedIsNamed) {
  // Can this user make a folder hold its files at all?
  fs::create_directories(dir_.file("probe"));
  vmktest::WriteText(dir_.file("probe/f"), "x");
  const std::string hold = ::geteuid() == 0 ? "chattr +i" : "chmod a-w";
  const std::string release = ::geteuid() == 0 ? "chattr -i" : "chmod u+w";
  const bool holds = std::system((hold + " '" + dir_.file("probe") + "' 2>/dev/null").c_str()) == 0 &&
                     ::unlink(dir_.file("probe/f").c_str()) != 0;
  (void)std::system((release + " '" + dir_.file("probe") + "' 2>/dev/null").c_str());
  if (!holds) GTEST_SKIP() << "no way to make a folder read-only here";
  // Held once the copy is finished, so that the folder is held with nothing
  // else of the run's in it.
  const int status = Run("VMK_TEST_HOLD=copies:held \"$EH\" --versions v picture.png & pid=$!\n"
                         "i=0; while [ ! -e held ] && kill -0 $pid 2>/dev/null && [ $i -lt 1200 ]; do sleep 0.05; "
                         "i=$((i+1)); done\n" +
                         hold + " v\nkill -TERM $pid\nwait $pid\ns=$?\n" + release + " v\nrm -f held\nexit $s\n");
  EXPECT_EQ(status, 128 + SIGTERM) << Out();
  EXPECT_NE(Out().find("Edit stopped; could not remove the editable copy v/picture.tif"), std::string::npos)
      << Out();
  EXPECT_EQ(Out().find("are removed"), std::string::npos) << Out();
  EXPECT_EQ(Versions(), std::vector<std::string>{"picture.tif"});
}

}  // namespace

#endif
