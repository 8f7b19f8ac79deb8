// edit-host whose output nobody reads (`edit-host ... | true`, a `tee` that
// Ctrl+C ended first): every run ends as the same run read by a terminal
// would, with the same status and the same files kept or removed, on OK, on
// Cancel and on a stop, also a stop taken in the signal handler whose lines
// about a copy it could not remove go nowhere.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/host_fixture.h"
#include "platform/imageio/image_io.h"
#include "support/child_process.h"

#ifdef VMK_EDIT_HOST

namespace {

using vmktest::Reap;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class EditHostOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    vmktest::WriteImageFile(dir_.file("picture.png"), plat::imageio::kTypePNG, vmktest::PatternImage(6, 5, 1));
    vmktest::WriteImageFile(dir_.file("second.png"), plat::imageio::kTypePNG, vmktest::PatternImage(5, 4, 2));
  }
  enum Reader { kRead, kStdoutUnread, kNoneRead };
  // Starts the host with `arguments` (shell words, after `environment`) in
  // the test's folder. Unread output goes to a pipe whose reading end is
  // already closed, as a shell's `| true` leaves it once `true` ended, with
  // SIGPIPE as a shell leaves it: stdout alone (stderr to err.txt), or both;
  // else both go to out.txt.
  pid_t Start(const std::string& environment, const std::string& arguments, Reader reader) {
    const bool unread = reader != kRead;
    const char* output = reader == kRead ? " >out.txt 2>&1" : reader == kStdoutUnread ? " 2>err.txt" : "";
    const std::string line = "cd '" + dir_.path().string() + "' && QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" +
                             dir_.file("support") + "' XDG_DATA_HOME='" + dir_.file("data") + "' " + environment +
                             " exec '" VMK_EDIT_HOST "' " + arguments + output;
    int pipe[2] = {-1, -1};
    if (unread && ::pipe2(pipe, O_CLOEXEC) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::signal(SIGPIPE, SIG_DFL);
      if (unread) {
        ::dup2(pipe[1], STDOUT_FILENO);
        if (reader == kNoneRead) ::dup2(pipe[1], STDERR_FILENO);
      }
      ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (unread) {
      ::close(pipe[0]);
      ::close(pipe[1]);
    }
    return pid;
  }
  // Waits (at most a minute) for the file `name` of the test's folder.
  bool WaitFor(const std::string& name) const {
    for (const auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end;) {
      if (fs::exists(dir_.file(name))) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::vector<std::string> Versions() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir_.file("v"), ec), last; !ec && it != last; it.increment(ec))
      names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Out() const { return vmktest::ReadText(dir_.file("out.txt")); }

  vmktest::TempDir dir_;
};

// OK, Cancel, and a stop once the copies are made, taken by the handler
// (held before the loop runs) or by the event loop (held in it, then let go
// on): read or not, the same status and the same versions folder.
TEST_F(EditHostOutputTest, OutputNobodyReadsChangesNeitherStatusNorFiles) {
  struct Case {
    const char* name;
    const char* arguments;
    // Where the run is held for the stop; none, no stop.
    const char* hold;
    int status;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"ok", "--versions v --auto ok picture.png second.png", nullptr, 0, {"picture.tif", "second.tif"}},
      {"cancel", "--versions v --auto cancel picture.png second.png", nullptr, 0, {}},
      {"stop in the handler", "--versions v picture.png second.png", "copies", 128 + SIGTERM, {}},
      {"stop in the loop", "--versions v picture.png second.png", "turn", 128 + SIGTERM, {}},
  };
  for (const Case& c : cases) {
    for (const Reader reader : {kRead, kStdoutUnread, kNoneRead}) {
      const bool unread = reader != kRead;
      SCOPED_TRACE(std::string(c.name) +
                   (reader == kRead ? ", read" : reader == kStdoutUnread ? ", stdout unread" : ", unread"));
      fs::remove_all(dir_.file("v"));
      fs::remove(dir_.file("held"));
      const bool stop = c.hold != nullptr;
      const pid_t pid = Start(stop ? std::string("VMK_TEST_HOLD=") + c.hold + ":held" : "", c.arguments, reader);
      ASSERT_GT(pid, 0);
      if (stop) {
        EXPECT_TRUE(WaitFor("held"));
        ::kill(pid, SIGTERM);
        // The loop takes it once it goes on; the handler, while held.
        if (std::string(c.hold) == "turn") fs::remove(dir_.file("held"));
      }
      EXPECT_EQ(Reap(pid), c.status) << (unread ? "" : Out());
      fs::remove(dir_.file("held"));
      EXPECT_EQ(Versions(), c.left);
      if (!unread && c.status == 0 && !c.left.empty()) {
        EXPECT_NE(Out().find("Edited versions are in v"), std::string::npos) << Out();
      }
    }
  }
}

// A stop taken in the signal handler (the main thread held before the loop
// runs) that cannot remove the newest copy (immutable, which stops the
// superuser too): its line about it goes nowhere, and it still removes the
// other copy, with the status of any stop. (Stderr is read, so that only
// the stop's own lines meet the closed pipe.)
TEST_F(EditHostOutputTest, AStopWhoseLinesGoNowhereStillRemovesAllItCan) {
  const std::string hold = ::geteuid() == 0 ? "chattr +i" : "";
  const std::string release = ::geteuid() == 0 ? "chattr -i" : "";
  vmktest::WriteText(dir_.file("probe"), "x");
  const bool holds = !hold.empty() && std::system((hold + " '" + dir_.file("probe") + "' 2>/dev/null").c_str()) == 0 &&
                     ::unlink(dir_.file("probe").c_str()) != 0;
  if (!hold.empty()) (void)std::system((release + " '" + dir_.file("probe") + "' 2>/dev/null").c_str());
  if (!holds) GTEST_SKIP() << "no way to make a file that cannot be removed here";
  for (const bool unread : {false, true}) {
    SCOPED_TRACE(unread ? "unread" : "read");
    fs::remove_all(dir_.file("v"));
    fs::remove(dir_.file("held"));
    const pid_t pid =
        Start("VMK_TEST_HOLD=copies:held", "--versions v picture.png second.png", unread ? kStdoutUnread : kRead);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor("held"));
    ASSERT_EQ(std::system((hold + " '" + dir_.file("v/second.tif") + "'").c_str()), 0);
    ::kill(pid, SIGTERM);
    const int status = Reap(pid);
    (void)std::system((release + " '" + dir_.file("v/second.tif") + "'").c_str());
    fs::remove(dir_.file("held"));
    EXPECT_EQ(status, 128 + SIGTERM) << (unread ? vmktest::ReadText(dir_.file("err.txt")) : Out());
    EXPECT_EQ(Versions(), std::vector<std::string>{"second.tif"});
    if (!unread) {
      EXPECT_NE(Out().find("Edit stopped; could not remove the editable copy v/second.tif"), std::string::npos)
          << Out();
    }
  }
}

}  // namespace

#endif
