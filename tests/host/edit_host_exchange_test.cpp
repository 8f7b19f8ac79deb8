// OK's write-back (and a copy's own making) exchanges the name of its
// temporary file with the copy's; when the copy's name holds a file of the
// user's by then, it exchanges the two back and puts the version beside it.
// What a third change of that name between the two exchanges, and a kill
// -9 there, leave: nothing of the user's is removed or hidden, and a later
// start puts right what the kill left. The moment is held through the
// host's test hold "swap".
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ApePlugInUtilities/image_files.h"
#include "host/host_fixture.h"
#include "platform/imageio/image_io.h"
#include "support/folder_names.h"

#ifdef VMK_EDIT_HOST

namespace {

namespace fs = std::filesystem;

class EditHostExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    vmktest::WriteImageFile(dir_.file("picture.png"), plat::imageio::kTypePNG, vmktest::PatternImage(6, 5, 1));
    vmktest::WriteImageFile(dir_.file("mine.tif"), plat::imageio::kTypeTIFF, vmktest::SolidImage(6, 5, 9, 99, 199));
    vmktest::WriteImageFile(dir_.file("third.tif"), plat::imageio::kTypeTIFF, vmktest::SolidImage(7, 5, 1, 2, 3));
    vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
    mine_ = vmktest::ReadBytes(dir_.file("mine.tif"));
    third_ = vmktest::ReadBytes(dir_.file("third.tif"));
  }
  // Runs `script` with sh in the test's folder (EH names the host; waitfor
  // waits, at most a minute, for the file a test hold makes); its status.
  // What it printed is in out.txt.
  int Run(const std::string& script) {
    vmktest::WriteText(dir_.file("run.sh"),
                       "waitfor() { i=0; while [ ! -e \"$1\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; }\n" +
                           script);
    const std::string command = "cd '" + dir_.path().string() + "' && QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" +
                                dir_.file("support") + "' XDG_DATA_HOME='" + dir_.file("data") +
                                "' EH='" VMK_EDIT_HOST "' timeout -k 5 180 sh run.sh >out.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return vmktest::ReadText(dir_.file("out.txt")); }
  std::vector<std::string> Names(const std::string& folder) const {
    return vmktest::FolderNames(dir_.file(folder));
  }
  // True when `path` holds the picture brightened by 10.
  bool HoldsTheEdit(const std::string& path) {
    PixelBuffer v;
    if (readSourceImage(dir_.file(path), nullptr, nullptr, 0, true, v) != 0) return false;
    const vmktest::RawImage image = vmktest::PatternImage(6, 5, 1);
    for (uint32_t y = 0; y < image.height; ++y)
      for (uint32_t x = 0; x < image.width; ++x)
        for (int k = 0; k < 3; ++k)
          if (vmktest::Sample(v, x, y, k) != std::min<uint32_t>(image.row(y)[x * 4 + k] + 10, 255)) return false;
    return true;
  }
  // Shell words: once the plug-in has read the copy, the user's file is
  // renamed onto the copy's name (as an export does).
  static std::string UsersFileTakesTheName() {
    return "waitfor held\ncp mine.tif v/.in\nmv v/.in v/picture.tif\nrm -f held\nwaitfor sheld\n";
  }

  vmktest::TempDir dir_;
  std::vector<uint8_t> mine_;
  std::vector<uint8_t> third_;
};

// Between the write-back's exchange and its exchange back, the copy's name
// (holding the edit for that moment) is replaced by yet another file, or
// removed. Neither the user's file nor the third one is removed, and the
// host names truthfully where each is; the version is said not written.
TEST_F(EditHostExchangeTest, AThirdChangeBetweenTheSwapsRemovesNothing) {
  for (const bool replace : {true, false}) {
    SCOPED_TRACE(replace ? "replaced" : "removed");
    fs::remove_all(dir_.file("v"));
    const int status = Run("VMK_TEST_HOLD=loop:held,swap:sheld \"$EH\" --versions v --layers bright.lay --auto ok "
                           "picture.png & pid=$!\n" +
                           UsersFileTakesTheName() +
                           (replace ? "cp third.tif v/.in\nmv v/.in v/picture.tif\n" : "rm v/picture.tif\n") +
                           "rm -f sheld\nwait $pid\n");
    EXPECT_EQ(status, 1) << Out();
    EXPECT_NE(Out().find("Edit failed; the editable copies it made in v are removed"), std::string::npos) << Out();
    EXPECT_EQ(vmktest::ReadBytes(dir_.file("v/picture.tif")), mine_);
    const std::vector<std::string> names = Names("v");
    if (!replace) {
      EXPECT_EQ(names, std::vector<std::string>{"picture.tif"});
      continue;
    }
    ASSERT_EQ(names.size(), 2u) << ::testing::PrintToString(names);
    EXPECT_EQ(names[0].rfind(".~picture.tif.", 0), 0u) << names[0];
    EXPECT_EQ(vmktest::ReadBytes(dir_.file("v/" + names[0])), third_);
    EXPECT_NE(Out().find("The file that had taken the name v/picture.tif is back there; another file, put at that "
                         "name while it was checked, is now at v/" +
                         names[0]),
              std::string::npos)
        << Out();
  }
}

// Killed outright (kill -9, a crash, a power cut) between the exchange and
// the exchange back: the user's file is at the temporary's hidden name and
// the edit at its name. The next start puts the user's file back at its
// name and the edit, whole, beside it, and says where the edit is.
TEST_F(EditHostExchangeTest, AKillBetweenTheSwapsIsPutRightByTheNextStart) {
  const int status = Run("VMK_TEST_HOLD=loop:held,swap:sheld \"$EH\" --versions v --layers bright.lay --auto ok "
                         "picture.png & pid=$!\n" +
                         UsersFileTakesTheName() +
                         "kill -KILL $pid\nwait $pid\nrm -f sheld\n"
                         "\"$EH\" --versions w --auto cancel picture.png\n");
  EXPECT_EQ(status, 0) << Out();
  EXPECT_EQ(Names("v"), (std::vector<std::string>{"picture-1.tif", "picture.tif"}));
  EXPECT_EQ(vmktest::ReadBytes(dir_.file("v/picture.tif")), mine_);
  EXPECT_TRUE(HoldsTheEdit("v/picture-1.tif"));
  EXPECT_NE(Out().find("edit-host: left by a run that was killed: " + dir_.file("v/picture-1.tif") +
                       ": the version it wrote of " + dir_.file("v/picture.tif")),
            std::string::npos)
      << Out();
  EXPECT_EQ(Names("support/.vellmarkstead-runs"), std::vector<std::string>{});
}

// The same at the copy's own making: the user's file took the claimed name
// before the copy's pixels were put there, and the run is killed between
// the exchange and the exchange back. The next start puts the user's file
// back at its name and takes the copy away.
TEST_F(EditHostExchangeTest, AKillBetweenTheSwapsOfACopysMakingIsPutRightByTheNextStart) {
  const int status = Run("VMK_TEST_HOLD=claim:held,swap:sheld \"$EH\" --versions v picture.png & pid=$!\n" +
                         UsersFileTakesTheName() +
                         "kill -KILL $pid\nwait $pid\nrm -f sheld\n"
                         "\"$EH\" --versions w --auto cancel picture.png\n");
  EXPECT_EQ(status, 0) << Out();
  EXPECT_EQ(Names("v"), std::vector<std::string>{"picture.tif"});
  EXPECT_EQ(vmktest::ReadBytes(dir_.file("v/picture.tif")), mine_);
  EXPECT_EQ(Names("support/.vellmarkstead-runs"), std::vector<std::string>{});
}

}  // namespace

#endif
