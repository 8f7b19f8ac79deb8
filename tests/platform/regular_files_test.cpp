// Readers that meet a FIFO, a folder or a device where a file should be
// refuse it at once: a FIFO would otherwise hold the open until a writer
// came. Each call is made with a bounded wait; one that hangs is released
// (the FIFO opened from the other end) and fails the test.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "platform/files/file_errors.h"
#include "platform/files/file_io.h"
#include "platform/imageio/image_io.h"
#include "support/session.h"

namespace {

namespace pf = plat::files;
namespace io = plat::imageio;

// Runs `call` and reports whether it came back within ten seconds; a call
// still held in an open of `fifo` is let go by opening the other end.
bool ReturnsAtOnce(const std::string& fifo, const std::function<void()>& call) {
  auto done = std::async(std::launch::async, call);
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
  for (int tries = 0; tries < 100 && done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready;
       ++tries) {
    const int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    const int r = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (w >= 0) ::close(w);
    if (r >= 0) ::close(r);
  }
  return false;
}

class RegularFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0); }
  vmktest::TempDir dir_;
  const std::string fifo_ = dir_.file("photo.tif");
};

TEST_F(RegularFilesTest, OpenRegularRefusesAFifoForReadingAndWriting) {
  for (int flags : {O_RDONLY, O_WRONLY, O_RDWR}) {
    SCOPED_TRACE(flags);
    int fd = 0;
    bool notRegular = false;
    ASSERT_TRUE(ReturnsAtOnce(fifo_, [&] { fd = pf::OpenRegular(fifo_, flags, &notRegular); }));
    EXPECT_EQ(fd, -1);
    EXPECT_TRUE(notRegular);
  }
  EXPECT_EQ(pf::NotRegularKind(fifo_), "a FIFO");
}

TEST_F(RegularFilesTest, OpenRegularRefusesFoldersAndDevicesAndOpensFilesAsUsual) {
  bool notRegular = false;
  EXPECT_EQ(pf::OpenRegular(dir_.path().string(), O_RDONLY, &notRegular), -1);
  EXPECT_TRUE(notRegular);
  EXPECT_EQ(pf::NotRegularKind(dir_.path().string()), "a folder");
  EXPECT_EQ(pf::OpenRegular("/dev/null", O_RDONLY, &notRegular), -1);
  EXPECT_TRUE(notRegular);
  EXPECT_EQ(pf::NotRegularKind("/dev/null"), "a device");
  // Missing: the system's own error, and not called a FIFO or a folder.
  errno = 0;
  EXPECT_EQ(pf::OpenRegular(dir_.file("none"), O_RDONLY, &notRegular), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(notRegular);
  EXPECT_EQ(pf::NotRegularKind(dir_.file("none")), "");
  // A file opens, for reading and writing, and blocks as a file does.
  vmktest::WriteText(dir_.file("a.txt"), "abc");
  const int fd = pf::OpenRegular(dir_.file("a.txt"), O_RDWR, &notRegular);
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(notRegular);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  char b[3] = {};
  EXPECT_EQ(::read(fd, b, 3), 3);
  EXPECT_EQ(std::string(b, 3), "abc");
  ::close(fd);
  EXPECT_EQ(pf::NotRegularKind(dir_.file("a.txt")), "");
}

TEST_F(RegularFilesTest, TheFileLayerTakesAFifoForNoFile) {
  int16_t ref = 0;
  OSErr e = 0;
  bool can = true;
  ASSERT_TRUE(ReturnsAtOnce(fifo_, [&] {
    e = pf::OpenFile(fifo_, &ref);
    can = pf::CanOpenFile(fifo_);
  }));
  EXPECT_EQ(e, pf::kFileNotFound);
  EXPECT_FALSE(can);
  EXPECT_EQ(pf::OpenFileCount(), 0);
}

TEST_F(RegularFilesTest, TheImageReadersRefuseAFifoInOneLine) {
  int status = 0;
  std::string message;
  std::string type = "?";
  ASSERT_TRUE(ReturnsAtOnce(fifo_, [&] {
    status = io::ReadInfo(fifo_, nullptr, &message);
    type = io::SniffType(fifo_);
  }));
  EXPECT_EQ(status, io::kErrOpen);
  EXPECT_EQ(message, "not an image file but a FIFO: " + fifo_);
  EXPECT_EQ(type, "");
  // A folder is refused the same way.
  EXPECT_EQ(io::ReadInfo(dir_.path().string(), nullptr, &message), io::kErrOpen);
  EXPECT_EQ(message, "not an image file but a folder: " + dir_.path().string());
}

}  // namespace
