// What a stop (SIGTERM, Ctrl+C, a closed terminal), a Cancel and a failed
// run of edit-host take away, and what they say they did, at the moments
// where that is hard: at the program's end, while a copy's name is claimed,
// while OK writes the versions back, once the user put a file of their own
// in a copy's place, after a version was written over a copy, and after a
// run that was killed outright. Every run is bounded; the moments are held
// through the host's test hold (VMK_TEST_HOLD), never found by watching
// the versions folder or by sleeping for a guessed time.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/ApePlugInUtilities/image_files.h"
#include "host/host_fixture.h"
#include "platform/imageio/image_io.h"
#include "support/child_process.h"
#include "support/folder_names.h"

#ifdef VMK_EDIT_HOST

namespace {

using vmktest::Reap;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Shell words that wait (at most a minute) for the file $1; and until the
// process $1 has taken every signal sent to it (none is pending), or ended.
constexpr const char* kWaitFor =
    "waitfor() { i=0; while [ ! -e \"$1\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; }\n"
    "taken() { while grep -q '^ShdPnd:.*[1-9a-f]' /proc/$1/status 2>/dev/null &&\n"
    "  ! grep -q '^State:[[:space:]]*Z' /proc/$1/status; do sleep 0.01; done; }\n";

class EditHostStopsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    vmktest::WriteImageFile(dir_.file("picture.png"), plat::imageio::kTypePNG, vmktest::PatternImage(6, 5, 1));
  }
  std::string Environment() const {
    return "QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" + dir_.file("support") + "' XDG_DATA_HOME='" +
           dir_.file("data") + "' EH='" VMK_EDIT_HOST "'";
  }
  // Runs `script` with sh in the test's folder (EH names the host) within
  // `seconds`; its status (124 or 137 when it had to be stopped). What it
  // printed is in out.txt.
  int Run(const std::string& script, int seconds = 120) {
    vmktest::WriteText(dir_.file("run.sh"), std::string(kWaitFor) + script);
    const std::string command = "cd '" + dir_.path().string() + "' && " + Environment() + " timeout -k 5 " +
                                std::to_string(seconds) + " sh run.sh >out.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Starts the host with `arguments` (shell words) in the test's folder,
  // with the variables `environment` (shell words) besides the test's,
  // printing into out.txt; its process id.
  pid_t Start(const std::string& arguments, const std::string& environment = "") {
    const std::string line = "cd '" + dir_.path().string() + "' && " + Environment() + " " + environment +
                             " exec '" VMK_EDIT_HOST "' " + arguments + " >out.txt 2>&1";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  static bool Ended(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
  }
  // Waits (at most a minute, or until `pid` ends) for the file `name` in
  // the test's folder.
  void WaitForFile(const std::string& name, pid_t pid) const {
    for (const auto end = Clock::now() + std::chrono::seconds(60);
         Clock::now() < end && !Ended(pid) && !fs::exists(dir_.file(name));)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Waits for the run `pid` to hold where it makes the file `held`
  // (VMK_TEST_HOLD=copy:cheld once the copy's own temporary file is named,
  // write:wheld once OK's write-back's is); true when it holds there with a
  // temporary file beside the version `name` in the folder `folder`.
  bool HeldWithTemporary(const std::string& held, const std::string& folder, const std::string& name,
                         pid_t pid) const {
    WaitForFile(held, pid);
    if (Ended(pid) || !fs::exists(dir_.file(held))) return false;
    for (const std::string& n : Names(folder))
      if (n.rfind(".~" + name, 0) == 0) return true;
    return false;
  }
  bool HeldAtWriteBack(const std::string& folder, const std::string& name, pid_t pid) const {
    return HeldWithTemporary("wheld", folder, name, pid);
  }
  // Lets a run held by HeldAtWriteBack go on.
  void GoOn() const { fs::remove(dir_.file("wheld")); }
  // Sends `signals` to the run `pid` once it holds at the write-back of the version `name`
  // in v, lets it go on and waits for its end: whether it held there, and its status.
  struct Stopped {
    bool held;
    int status;
  };
  Stopped StopAtWriteBack(const std::string& name, pid_t pid, std::initializer_list<int> signals) const {
    const bool held = HeldAtWriteBack("v", name, pid);
    for (const int sig : signals) ::kill(pid, sig);
    GoOn();
    return {held, Reap(pid)};
  }
  std::string Out() const { return vmktest::ReadText(dir_.file("out.txt")); }
  // The names in `folder` (hidden ones too), sorted; none when it is not there.
  std::vector<std::string> Names(const std::string& folder) const {
    return vmktest::FolderNames(dir_.file(folder));
  }
  // A large picture, slow enough to write that a signal finds its
  // temporary file there.
  std::string LargePicture() {
    vmktest::WriteImageFile(dir_.file("large.tif"), plat::imageio::kTypeTIFF, vmktest::PatternImage(2500, 2500, 1));
    vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
    return "large.tif";
  }
  // True when the version at `path` is the large picture brightened by 10
  // (looked at along its first and last rows).
  bool HoldsTheEdit(const std::string& path) {
    PixelBuffer v;
    if (readSourceImage(dir_.file(path), nullptr, nullptr, 0, true, v) != 0) return false;
    const vmktest::RawImage image = vmktest::PatternImage(2500, 2500, 1);
    if (v.width() != image.width || v.height() != image.height) return false;
    for (uint32_t y : {0u, 2499u})
      for (uint32_t x = 0; x < image.width; ++x)
        for (int k = 0; k < 3; ++k)
          if (vmktest::Sample(v, x, y, k) != std::min<uint32_t>(image.row(y)[x * 4 + k] + 10, 255)) return false;
    return true;
  }

  vmktest::TempDir dir_;
};

// A stop signal that lands while the program ends, after it said where the
// confirmed versions are: nothing it reported goes, and it ends as it said.
TEST_F(EditHostStopsTest, ASignalAsTheRunEndsRemovesNothingItReported) {
  fs::copy_file(dir_.file("picture.png"), dir_.file("second.png"));
  for (const char* signal : {"TERM", "HUP"}) {
    SCOPED_TRACE(signal);
    fs::remove_all(dir_.file("v"));
    const int status = Run(std::string("VMK_TEST_HOLD=exit:held \"$EH\" --versions v --auto ok picture.png second.png "
                                       "& pid=$!\nwaitfor held\nkill -") +
                           signal + " $pid\ntaken $pid\nrm -f held\nwait $pid\n");
    EXPECT_EQ(status, 0) << Out();
    EXPECT_NE(Out().find("Edited versions are in v"), std::string::npos) << Out();
    EXPECT_EQ(Out().find("Edit stopped"), std::string::npos) << Out();
    EXPECT_EQ(Names("v"), (std::vector<std::string>{"picture.tif", "second.tif"}));
  }
}

// The user deletes the copy during the edit and puts a file of their own at
// its name: neither a stop nor a Cancel removes it, even where the file
// system gives the new file the copy's old inode number.
TEST_F(EditHostStopsTest, AFileTheUserPutsInACopysPlaceIsNeverRemoved) {
  vmktest::WriteImageFile(dir_.file("mine.tif"), plat::imageio::kTypeTIFF, vmktest::SolidImage(6, 5, 9, 99, 199));
  const std::vector<uint8_t> mine = vmktest::ReadBytes(dir_.file("mine.tif"));
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    fs::remove_all(dir_.file("v"));
    const bool stop = trial % 2 == 0;
    const int status = Run(std::string("VMK_TEST_HOLD=copies:held \"$EH\" --versions v ") +
                           (stop ? "" : "--auto cancel ") +
                           "picture.png & pid=$!\nwaitfor held\nrm v/picture.tif\ncp mine.tif v/picture.tif\n" +
                           (stop ? "kill -TERM $pid\n" : "rm -f held\n") + "wait $pid\ns=$?\nrm -f held\nexit $s\n");
    EXPECT_EQ(status, stop ? 128 + SIGTERM : 0) << Out();
    EXPECT_NE(Out().find(stop ? "Edit stopped; the editable copies it made in v are removed"
                              : "Edit cancelled; the editable copies it made in v are removed"),
              std::string::npos)
        << Out();
    EXPECT_EQ(vmktest::ReadBytes(dir_.file("v/picture.tif")), mine);
  }
}

// One session on two pictures, an effect confirmed for both: the first
// version is written over its copy, the second cannot be (no room for a
// file that large). The failed run takes the first version away too, and
// says so.
TEST_F(EditHostStopsTest, AVersionOkWroteGoesWithTheRestWhenALaterOneCannotBeWritten) {
  if (std::system("command -v prlimit >/dev/null 2>&1") != 0) GTEST_SKIP() << "no prlimit here";
  vmktest::WriteImageFile(dir_.file("small.png"), plat::imageio::kTypePNG, vmktest::PatternImage(4, 4, 1));
  vmktest::WriteImageFile(dir_.file("big.png"), plat::imageio::kTypePNG, vmktest::PatternImage(400, 300, 1));
  vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
  // Held once both copies are made; the files it writes from then on may
  // be at most half the big copy's size.
  const int status = Run(
      "trap '' XFSZ\n"
      "VMK_TEST_HOLD=copies:held \"$EH\" --versions v --layers bright.lay --auto ok small.png big.png & pid=$!\n"
      "waitfor held\n"
      "prlimit --pid $pid --fsize=$(( $(stat -c %s v/big.tif) / 2 ))\n"
      "rm -f held\nwait $pid\n");
  EXPECT_EQ(status, 1) << Out();
  EXPECT_NE(Out().find("could not be written"), std::string::npos) << Out();
  EXPECT_NE(Out().find("Edit failed; the editable copies it made in v are removed"), std::string::npos) << Out();
  EXPECT_EQ(Out().find("Edited versions are in"), std::string::npos) << Out();
  EXPECT_FALSE(fs::exists(dir_.file("v"))) << ::testing::PrintToString(Names("v")) << Out();
}

// A start removes only what a run killed outright recorded it made. Files
// of the user's whose names look like the host's temporaries stay (in the
// versions folder, in the maker's folder and deeper, read-only, held open,
// locked, links and folders of such names); the copy a killed run left
// unchanged goes, so the next edit of that picture gets its plain name;
// and what a run killed while OK wrote the version back left goes too.
TEST_F(EditHostStopsTest, AStartRemovesOnlyWhatAKilledRunMade) {
  fs::create_directories(dir_.file("v"));
  const std::string makers = "support/Vellmarkstead";
  const std::vector<std::string> users = {"v/.~report.odt.ABC123",
                                          "v/.~notes.backup",
                                          "v/.~Budget 2026.xlsx.final1",
                                          "v/.~picture.tif.Ab12Cd",
                                          "v/.~thesis.tex.Ab12Cd",
                                          "v/.~locked.txt.Fl0ckd",
                                          "v/.~album.Dd1Rr2/inside.txt",
                                          makers + "/.~my-notes.txt.Kp9Zz2",
                                          makers + "/My presets/old/.~Light.sse4.Kp9Zz1"};
  for (const auto& f : users) {
    fs::create_directories(fs::path(dir_.file(f)).parent_path());
    vmktest::WriteText(dir_.file(f), "user data of " + f);
  }
  fs::permissions(dir_.file("v/.~thesis.tex.Ab12Cd"), fs::perms::owner_read);
  fs::create_symlink(dir_.file(users[0]), dir_.file("v/.~link.tif.Sy1Ml2"));
  const int locked = ::open(dir_.file("v/.~locked.txt.Fl0ckd").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(locked, 0);
  ASSERT_EQ(::flock(locked, LOCK_EX), 0);
  auto usersKept = [&] {
    for (const auto& f : users) EXPECT_EQ(vmktest::ReadText(dir_.file(f)), "user data of " + f) << f;
    EXPECT_TRUE(fs::is_symlink(dir_.file("v/.~link.tif.Sy1Ml2")));
  };
  EXPECT_EQ(Run("\"$EH\" --versions v --auto cancel picture.png\n"), 0) << Out();
  EXPECT_NE(Out().find("Edit cancelled; the editable copies it made in v are removed"), std::string::npos) << Out();
  usersKept();

  // Killed outright once its copy is made: the next start removes the
  // copy, and its own copy of the same picture gets the plain name.
  const int killed = Run("VMK_TEST_HOLD=copies:held \"$EH\" --versions v picture.png & pid=$!\n"
                         "waitfor held\nkill -KILL $pid\nwait $pid\ns=$?\nrm -f held\nexit $s\n");
  EXPECT_EQ(killed, 128 + SIGKILL) << Out();
  EXPECT_TRUE(fs::exists(dir_.file("v/picture.tif")));
  EXPECT_EQ(Run("\"$EH\" --versions v --auto ok picture.png\n"), 0) << Out();
  EXPECT_NE(Out().find("Edited versions are in v"), std::string::npos) << Out();
  EXPECT_TRUE(fs::exists(dir_.file("v/picture.tif")));
  EXPECT_FALSE(fs::exists(dir_.file("v/picture-1.tif")));
  usersKept();
  fs::remove(dir_.file("v/picture.tif"));

  // Killed outright while OK writes the version back: its temporary file
  // goes with the next start, and so does the copy unless the edit had
  // already taken its place (then the edit stays, whole).
  const std::string large = LargePicture();
  const pid_t pid = Start("--versions v --layers bright.lay --auto ok " + large, "VMK_TEST_HOLD=write:wheld");
  const bool seen = HeldAtWriteBack("v", large, pid);
  ::kill(pid, SIGKILL);
  Reap(pid);
  GoOn();
  ASSERT_TRUE(seen) << Out();
  EXPECT_EQ(Run("\"$EH\" --versions v --auto cancel picture.png\n"), 0) << Out();
  ::close(locked);
  usersKept();
  std::vector<std::string> planted = {".~Budget 2026.xlsx.final1", ".~album.Dd1Rr2", ".~link.tif.Sy1Ml2",
                                      ".~locked.txt.Fl0ckd",        ".~notes.backup", ".~picture.tif.Ab12Cd",
                                      ".~report.odt.ABC123",        ".~thesis.tex.Ab12Cd"};
  if (fs::exists(dir_.file("v/" + large))) {
    EXPECT_TRUE(HoldsTheEdit("v/" + large));
    planted.insert(planted.begin(), large);
  }
  EXPECT_EQ(Names("v"), planted);
  EXPECT_EQ(Names("support/.vellmarkstead-runs"), std::vector<std::string>{});
}

// Ctrl+\ (SIGQUIT) stops a run as SIGTERM does: what it made goes, and it
// says so; before the loop runs and once it does.
TEST_F(EditHostStopsTest, CtrlBackslashStopsLikeSigterm) {
  // Started by the test itself: a shell's background job would start with
  // SIGQUIT ignored, and the host keeps an inherited ignore.
  const pid_t held = Start("--versions v picture.png", "VMK_TEST_HOLD=copies:held");
  WaitForFile("held", held);
  ::kill(held, SIGQUIT);
  EXPECT_EQ(Reap(held), 128 + SIGQUIT) << Out();
  EXPECT_NE(Out().find("Edit stopped; the editable copies it made in v are removed"), std::string::npos) << Out();
  EXPECT_FALSE(fs::exists(dir_.file("v")));
  fs::remove(dir_.file("held"));
  // In the event loop, with the effect's dialog open: held in its loop, and
  // let go on, so that the loop takes the signal.
  const pid_t pid = Start("--versions v --effect 103 picture.png", "VMK_TEST_HOLD=turn:held");
  WaitForFile("held", pid);
  EXPECT_TRUE(fs::exists(dir_.file("held"))) << Out();
  ::kill(pid, SIGQUIT);
  fs::remove(dir_.file("held"));
  EXPECT_EQ(Reap(pid), 128 + SIGQUIT) << Out();
  EXPECT_NE(Out().find("Edit stopped; the editable copies it made in v are removed"), std::string::npos) << Out();
  EXPECT_FALSE(fs::exists(dir_.file("v")));
  EXPECT_EQ(Names("support/.vellmarkstead-runs"), std::vector<std::string>{});
}

// OK on two versions, the second one unreadable by then, so that OK ends
// with "These versions could not be rendered"; one stop while the first
// version is written back. The edit is whole and the session ended: the
// stop keeps it and names it, with status 3.
TEST_F(EditHostStopsTest, AStopWhileOkSaysAVersionWasNotRenderedKeepsTheEdit) {
  const std::string large = LargePicture();
  for (int trial = 0; trial < 2; ++trial) {
    SCOPED_TRACE(trial);
    fs::remove_all(dir_.file("v"));
    const pid_t pid = Start("--versions v --layers bright.lay --auto ok " + large + " picture.png",
                            "VMK_TEST_HOLD=copies:held,write:wheld");
    WaitForFile("held", pid);
    // Written over in place, as another program may.
    {
      std::FILE* f = std::fopen(dir_.file("v/picture.tif").c_str(), "r+");
      ASSERT_NE(f, nullptr);
      std::fputs("garbage", f);
      std::fclose(f);
    }
    fs::remove(dir_.file("held"));
    const auto [seen, status] = StopAtWriteBack(large, pid, {SIGTERM});
    ASSERT_TRUE(seen) << Out();
    EXPECT_EQ(status, 3) << Out();
    EXPECT_NE(Out().find("Edit stopped once OK had written the edited versions: they are in v (v/" + large + ")"),
              std::string::npos)
        << Out();
    EXPECT_TRUE(HoldsTheEdit("v/" + large));
    EXPECT_EQ(Names("v"), (std::vector<std::string>{large, "picture.tif"}));
  }
}

// The user's own file takes the copy's name while the edit is open (a
// rename, as an export does); OK keeps it and writes the edit beside it
// under the next free name, and says where.
TEST_F(EditHostStopsTest, OkNeverWritesOverAFileThatTookTheCopysName) {
  vmktest::WriteImageFile(dir_.file("mine.tif"), plat::imageio::kTypeTIFF, vmktest::SolidImage(6, 5, 9, 99, 199));
  const std::vector<uint8_t> mine = vmktest::ReadBytes(dir_.file("mine.tif"));
  vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
  // Once the plug-in has read the copy, before OK.
  const int status = Run(
      "VMK_TEST_HOLD=loop:held \"$EH\" --versions v --layers bright.lay --auto ok picture.png & pid=$!\n"
      "waitfor held\ncp mine.tif v/.in\nmv v/.in v/picture.tif\nrm -f held\nwait $pid\n");
  EXPECT_EQ(status, 0) << Out();
  EXPECT_EQ(vmktest::ReadBytes(dir_.file("v/picture.tif")), mine);
  EXPECT_NE(Out().find("v/picture.tif was no longer the editable copy (another file had taken its name, and stays): "
                       "its version is in v/picture-1.tif"),
            std::string::npos)
      << Out();
  EXPECT_EQ(Names("v"), (std::vector<std::string>{"picture-1.tif", "picture.tif"}));
  PixelBuffer edited;
  ASSERT_EQ(readSourceImage(dir_.file("v/picture-1.tif"), nullptr, nullptr, 0, true, edited), 0);
  const vmktest::RawImage image = vmktest::PatternImage(6, 5, 1);
  EXPECT_EQ(vmktest::Sample(edited, 2, 3, 1), std::min<uint32_t>(image.row(3)[2 * 4 + 1] + 10, 255));
}

// Two stop signals the moment OK starts writing the version back: the run
// either takes everything it made away (the half-written temporary file
// too) and says so, or, when they came once the version was whole, keeps it
// and says where it is. Nothing half-written is ever left.
TEST_F(EditHostStopsTest, TwoStopsDuringTheWriteBackLeaveNothingHalfWritten) {
  const std::string large = LargePicture();
  for (int trial = 0; trial < 3; ++trial) {
    SCOPED_TRACE(trial);
    fs::remove_all(dir_.file("v"));
    const pid_t pid = Start("--versions v --layers bright.lay --auto ok " + large, "VMK_TEST_HOLD=write:wheld");
    const auto [seen, status] = StopAtWriteBack(large, pid, {SIGTERM, SIGINT});
    ASSERT_TRUE(seen) << Out();
    const std::vector<std::string> left = Names("v");
    for (const std::string& n : left) EXPECT_NE(n.rfind(".~", 0), 0u) << n << ": " << Out();
    if (status == 128 + SIGTERM || status == 128 + SIGINT) {
      EXPECT_NE(Out().find("Edit stopped; the editable copies it made in v are removed"), std::string::npos) << Out();
      EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
    } else {
      EXPECT_EQ(status, 3) << Out();
      EXPECT_NE(Out().find("Edit stopped once OK had written the edited versions: they are in v"), std::string::npos)
          << Out();
      EXPECT_TRUE(HoldsTheEdit("v/" + large));
    }
  }
}

// One stop signal while OK writes the version back: the version is written
// whole and kept, and the run says so, with a status of its own.
TEST_F(EditHostStopsTest, OneStopDuringTheWriteBackSaysWhereTheEditIs) {
  const std::string large = LargePicture();
  for (int trial = 0; trial < 2; ++trial) {
    SCOPED_TRACE(trial);
    fs::remove_all(dir_.file("v"));
    const pid_t pid = Start("--versions v --layers bright.lay --auto ok " + large, "VMK_TEST_HOLD=write:wheld");
    const auto [seen, status] = StopAtWriteBack(large, pid, {SIGTERM});
    ASSERT_TRUE(seen) << Out();
    EXPECT_EQ(status, 3) << Out();
    EXPECT_NE(Out().find("Edit stopped once OK had written the edited versions: they are in v"), std::string::npos)
        << Out();
    EXPECT_EQ(Names("v"), std::vector<std::string>{large});
    EXPECT_TRUE(HoldsTheEdit("v/" + large));
  }
}

// Stopped before the event loop runs (here held once the copy is made):
// the folders the start made for the versions go with the copy.
TEST_F(EditHostStopsTest, AStopBeforeTheLoopRemovesTheFoldersTheStartMade) {
  fs::create_directories(dir_.file("outer"));
  for (const char* signal : {"TERM", "HUP"}) {
    SCOPED_TRACE(signal);
    const int status = Run(std::string("VMK_TEST_HOLD=copies:held \"$EH\" --versions outer/new/v picture.png & pid=$!\n"
                                       "waitfor held\nkill -") +
                           signal + " $pid\nwait $pid\ns=$?\nrm -f held\nexit $s\n");
    EXPECT_EQ(status, 128 + (signal[0] == 'T' ? SIGTERM : SIGHUP)) << Out();
    EXPECT_NE(Out().find("Edit stopped; the editable copies it made in outer/new/v are removed"), std::string::npos)
        << Out();
    EXPECT_FALSE(fs::exists(dir_.file("outer/new")));
    EXPECT_TRUE(fs::is_directory(dir_.file("outer")));
  }
}

// Two stop signals while a copy is made: at its claimed name, and once its
// pixels are to be written through its temporary file (held at each). Nothing
// of the copy is left, and the run says so. (A script's background job
// starts with SIGINT ignored, so the script sends SIGHUP.)
TEST_F(EditHostStopsTest, TwoStopsWhileACopyIsMadeLeaveNothingOfIt) {
  fs::create_directories(dir_.file("v"));
  vmktest::WriteText(dir_.file("v/notes.txt"), "mine");
  const int status = Run(
      "VMK_TEST_HOLD=claim:held \"$EH\" --versions v picture.png & pid=$!\n"
      "waitfor held\nkill -TERM $pid\nkill -HUP $pid\nwait $pid\ns=$?\nrm -f held\nexit $s\n");
  EXPECT_TRUE(status == 128 + SIGTERM || status == 128 + SIGHUP) << status << ": " << Out();
  EXPECT_NE(Out().find("Edit stopped; the editable copies it made in v are removed"), std::string::npos) << Out();
  EXPECT_EQ(Names("v"), std::vector<std::string>{"notes.txt"});

  const std::string large = LargePicture();
  for (int trial = 0; trial < 3; ++trial) {
    SCOPED_TRACE(trial);
    const pid_t pid = Start("--versions v " + large, "VMK_TEST_HOLD=copy:cheld");
    const bool seen = HeldWithTemporary("cheld", "v", large, pid);
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGINT);
    const int stopped = Reap(pid);
    fs::remove(dir_.file("cheld"));
    ASSERT_TRUE(seen) << Out();
    EXPECT_TRUE(stopped == 128 + SIGTERM || stopped == 128 + SIGINT) << stopped << ": " << Out();
    EXPECT_NE(Out().find("Edit stopped; the editable copies it made in v are removed"), std::string::npos) << Out();
    EXPECT_EQ(Names("v"), std::vector<std::string>{"notes.txt"});
  }
}

}  // namespace

#endif
