// Two edit-host processes at once, as two windows of one user start them:
// on one picture and one versions folder, on two pictures of one name, and
// in one support folder. Each trial checks what each run said and left,
// never how long anything took.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ApePlugInUtilities/image_files.h"
#include "host/host_fixture.h"
#include "platform/imageio/image_io.h"

#ifdef VMK_EDIT_HOST

namespace {

namespace fs = std::filesystem;
using vmktest::RawImage;
using vmktest::Sample;

class TwoSessionsTest : public ::testing::Test {
 protected:
  // The shell words of one edit-host run on the support folder `support`
  // (its maker's folder made first), its output and exit status kept under
  // `name` (which the shell may expand: b$n), with the variables
  // `environment` (shell words). With `stopped`, the run is left open, held
  // in its event loop (its copy made) until the run "a" has ended (or two
  // minutes passed, should it never end), and then stopped with SIGTERM,
  // which the loop takes once it goes on.
  std::string Session(const std::string& support, const std::string& arguments, const std::string& name,
                      bool stopped = false, const std::string& environment = "") {
    fs::create_directories(dir_.file(support + "/Vellmarkstead"));
    const std::string base = "'" + dir_.path().string() + "/'" + name;
    const std::string held = dir_.file(name + ".held");
    std::string run = "QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" + dir_.file(support) + "' XDG_DATA_HOME='" +
                      dir_.file("data") + "' " + environment + (stopped ? " VMK_TEST_HOLD='turn:" + held + "'" : "") +
                      " '" VMK_EDIT_HOST "' " + arguments + " >" + base + "'.out' 2>&1";
    if (stopped)
      run += " & pid=$!; i=0; while { [ ! -e '" + held + "' ] && kill -0 $pid 2>/dev/null || [ ! -e '" +
             dir_.file("a.rc") + "' ]; } && [ $i -lt 6000 ]; do sleep 0.02; i=$((i+1)); done; kill -TERM $pid; rm -f '" +
             held + "'; wait $pid";
    return run + "; echo $? >" + base + "'.rc'";
  }
  // Runs the commands side by side and waits for all of them.
  void Together(const std::vector<std::string>& commands) {
    std::string line;
    for (const std::string& c : commands) line += "( " + c + " ) & ";
    line += "wait";
    ASSERT_EQ(std::system(line.c_str()), 0);
  }
  int Status(const std::string& name) const {
    return std::atoi(vmktest::ReadText(dir_.file(name + ".rc")).c_str());
  }
  std::string Output(const std::string& name) const { return vmktest::ReadText(dir_.file(name + ".out")); }
  std::vector<std::string> Files(const std::string& folder) const {
    std::vector<std::string> names;
    std::error_code ec;
    if (!fs::is_directory(dir_.file(folder), ec)) return names;
    for (const auto& e : fs::directory_iterator(dir_.file(folder))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Picture(const std::string& name, const RawImage& image) {
    fs::create_directories(fs::path(dir_.file(name)).parent_path());
    vmktest::WriteImageFile(dir_.file(name), plat::imageio::kTypePNG, image);
    return "'" + dir_.file(name) + "'";
  }
  std::string Layers() {
    vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
    return "--layers '" + dir_.file("bright.lay") + "'";
  }
  // True when the version at `path` holds `image`'s colours, each raised by
  // `raise` (to at most 255).
  static bool Holds(const std::string& path, const RawImage& image, uint32_t raise) {
    PixelBuffer v;
    if (readSourceImage(path, nullptr, nullptr, 0, true, v) != 0) return false;
    if (v.width() != image.width || v.height() != image.height) return false;
    for (uint32_t y = 0; y < image.height; ++y)
      for (uint32_t x = 0; x < image.width; ++x)
        for (int k = 0; k < 3; ++k)
          if (Sample(v, x, y, k) != std::min<uint32_t>(image.row(y)[x * 4 + k] + raise, 255)) return false;
    return true;
  }

  vmktest::TempDir dir_;
};

// A confirms an effect while B, on the same picture and versions folder,
// cancels or is stopped: each takes a name of its own, and B takes away
// only its own copy.
TEST_F(TwoSessionsTest, TwoRunsOnOnePictureNeverShareACopy) {
  const RawImage image = vmktest::PatternImage(24, 16, 1);
  const std::string picture = Picture("picture.png", image);
  const std::string layers = Layers();
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    const std::string versions = "versions" + std::to_string(trial);
    const std::string v = "--versions '" + dir_.file(versions) + "' ";
    const std::string a = Session("support-a", v + layers + " --auto ok " + picture, "a");
    // B cancels, or is left open and stopped once A has ended.
    const bool stopped = trial % 2 == 1;
    const std::string b = Session("support-b", v + (stopped ? "" : "--auto cancel ") + picture, "b", stopped);
    fs::remove(dir_.file("a.rc"));
    Together({a, b});
    EXPECT_EQ(Status("a"), 0) << Output("a");
    EXPECT_NE(Output("a").find("Edited versions are in"), std::string::npos) << Output("a");
    EXPECT_EQ(Status("b"), stopped ? 128 + 15 : 0) << Output("b");
    const std::vector<std::string> left = Files(versions);
    ASSERT_EQ(left.size(), 1u) << Output("b");
    EXPECT_TRUE(Holds(dir_.file(versions + "/" + left[0]), image, 10)) << left[0];
  }
}

// The name of a copy holds another file by the time the run is stopped
// (another program put it there): that file is not the run's to remove.
TEST_F(TwoSessionsTest, AStoppedRunRemovesOnlyTheFileItMade) {
  const std::string picture = Picture("picture.png", vmktest::PatternImage(8, 8, 1));
  const std::string copy = dir_.file("versions/picture.tif");
  fs::create_directories(dir_.file("versions"));
  // Left open and held once its copy is there; a file of the same name
  // takes the copy's place, then the run is stopped where it holds.
  const std::string held = dir_.file("run.held");
  const std::string run = Session("support", "--versions '" + dir_.file("versions") + "' " + picture, "run", false,
                                  "VMK_TEST_HOLD='copies:" + held + "'");
  const std::string open = run.substr(0, run.rfind("; echo"));
  const std::string line = open + " & pid=$!; i=0; while [ ! -e '" + held +
                           "' ] && kill -0 $pid 2>/dev/null && [ $i -lt 3000 ]; do sleep 0.02; i=$((i+1)); done; "
                           "printf other >'" +
                           dir_.file("versions/.other") + "'; mv '" + dir_.file("versions/.other") + "' '" + copy +
                           "'; kill -TERM $pid; wait $pid; s=$?; rm -f '" + held + "'; exit $s";
  const int status = std::system(line.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + 15) << Output("run");
  EXPECT_EQ(vmktest::ReadText(copy), "other");
  EXPECT_EQ(Files("versions"), std::vector<std::string>{"picture.tif"});
}

// Two pictures of one name in two folders, both confirmed into one versions
// folder: two versions, each of its own picture.
TEST_F(TwoSessionsTest, TwoPicturesOfOneNameBothConfirmedKeepBothEdits) {
  const RawImage first = vmktest::PatternImage(20, 12, 1);
  const RawImage second = vmktest::SolidImage(20, 12, 40, 90, 140);
  const std::string one = Picture("one/picture.png", first);
  const std::string two = Picture("two/picture.png", second);
  const std::string layers = Layers();
  for (int trial = 0; trial < 4; ++trial) {
    SCOPED_TRACE(trial);
    const std::string versions = "versions" + std::to_string(trial);
    const std::string v = "--versions '" + dir_.file(versions) + "' ";
    Together({Session("support-a", v + layers + " --auto ok " + one, "a"),
              Session("support-b", v + "--auto ok " + two, "b")});
    for (const char* run : {"a", "b"}) {
      EXPECT_EQ(Status(run), 0) << Output(run);
      EXPECT_NE(Output(run).find("Edited versions are in"), std::string::npos) << Output(run);
    }
    const std::vector<std::string> left = Files(versions);
    ASSERT_EQ(left, (std::vector<std::string>{"picture-1.tif", "picture.tif"}));
    const std::string p0 = dir_.file(versions + "/picture.tif"), p1 = dir_.file(versions + "/picture-1.tif");
    EXPECT_TRUE((Holds(p0, first, 10) && Holds(p1, second, 0)) || (Holds(p1, first, 10) && Holds(p0, second, 0)));
  }
}

// A confirms noise reduction while B starts and cancels sessions on another
// picture in the same support folder until A has ended. A's version is the
// one A makes alone, or A says that another edit holds the folder, fails and
// leaves nothing; every B run cancels, or is turned away the same way.
TEST_F(TwoSessionsTest, RunsSharingASupportFolderEditAsAloneOrSaySo) {
  RawImage image = vmktest::PatternImage(32, 24, 1);
  for (size_t i = 3; i < image.data.size(); i += 4) image.data[i] = 255;
  const std::string picture = Picture("picture.png", image);
  const std::string other = Picture("other.png", vmktest::SolidImage(8, 8, 128, 128, 128));
  const std::string effect = " --effect 103 --dialog ok --auto ok " + picture;
  Together({Session("alone", "--versions '" + dir_.file("alone") + "'" + effect, "alone")});
  ASSERT_EQ(Status("alone"), 0) << Output("alone");
  const std::vector<uint8_t> alone = vmktest::ReadBytes(dir_.file("alone/picture.tif"));
  const std::string kRefused = "another edit is using the support folder";
  int edited = 0;
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    const std::string support = "shared" + std::to_string(trial);
    const std::string versions = "versions" + std::to_string(trial);
    fs::remove(dir_.file("a.rc"));
    // At most 40 B runs, should A never end. B starts with A, or (every
    // other trial) once A has made its copy (held there until then) and so
    // is about to hold the folder.
    const bool afterCopy = trial % 2 == 1;
    const std::string held = dir_.file("a.held");
    std::string loop;
    if (afterCopy)
      loop = "i=0; while [ ! -e '" + held + "' ] && [ ! -e '" + dir_.file("a.rc") +
             "' ] && [ $i -lt 6000 ]; do sleep 0.01; i=$((i+1)); done; rm -f '" + held + "'; ";
    loop += "n=0; while [ ! -e '" + dir_.file("a.rc") + "' ] && [ $n -lt 40 ]; do n=$((n+1)); ";
    loop += Session(support, "--versions '" + dir_.file("b") + "' --auto cancel " + other, "b$n") + "; done";
    Together({Session(support, "--versions '" + dir_.file(versions) + "'" + effect, "a", false,
                      afterCopy ? "VMK_TEST_HOLD='copies:" + held + "'" : ""),
              loop});
    const std::string out = Output("a");
    if (Status("a") == 0) {
      EXPECT_NE(out.find("Edited versions are in"), std::string::npos) << out;
      ASSERT_EQ(Files(versions), std::vector<std::string>{"picture.tif"});
      EXPECT_EQ(vmktest::ReadBytes(dir_.file(versions + "/picture.tif")), alone);
      ++edited;
    } else {
      EXPECT_EQ(Status("a"), 1) << out;
      EXPECT_NE(out.find(kRefused), std::string::npos) << out;
      EXPECT_EQ(out.find("Edited versions are in"), std::string::npos) << out;
      EXPECT_TRUE(Files(versions).empty());
    }
    for (int n = 1; fs::exists(dir_.file("b" + std::to_string(n) + ".rc")); ++n) {
      const std::string b = "b" + std::to_string(n);
      SCOPED_TRACE(b);
      if (Status(b) == 0) {
        EXPECT_NE(Output(b).find("Edit cancelled"), std::string::npos) << Output(b);
      } else {
        EXPECT_EQ(Status(b), 1) << Output(b);
        EXPECT_NE(Output(b).find(kRefused), std::string::npos) << Output(b);
      }
      fs::remove(dir_.file(b + ".rc"));
    }
    EXPECT_TRUE(Files("b").empty());
  }
  std::printf("A edited in %d of 6 trials (refused in the others)\n", edited);
}

}  // namespace

#endif
