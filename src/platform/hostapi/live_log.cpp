#include "platform/hostapi/live_log.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace plat::hostapi {

namespace {

// -2: not looked at yet; -1: off. The render and preview threads write too,
// so the first look is settled by one compare-and-swap.
std::atomic<int> gFile{-2};

int File() {
  int fd = gFile.load(std::memory_order_acquire);
  if (fd != -2) return fd;
  const char* path = std::getenv("VMK_LIVE_LOG");
  int opened = path != nullptr && *path != 0 ? ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
  if (opened < 0) opened = -1;
  if (!gFile.compare_exchange_strong(fd, opened, std::memory_order_acq_rel)) {
    // Another thread looked first: use its file.
    if (opened >= 0) ::close(opened);
    return fd;
  }
  return opened;
}

}  // namespace

bool LiveLogOn() { return File() >= 0; }

double LiveClockMs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

void LiveLog(const char* format, ...) {
  const int fd = File();
  if (fd < 0) return;
  char line[1024];
  int n = std::snprintf(line, sizeof line, "%.3f ", LiveClockMs());
  va_list args;
  va_start(args, format);
  const int m = std::vsnprintf(line + n, sizeof line - static_cast<size_t>(n) - 1, format, args);
  va_end(args);
  // A longer line is cut, never split over two writes that another writer
  // could come between.
  n += m < 0 ? 0 : std::min<int>(m, static_cast<int>(sizeof line) - n - 2);
  line[n++] = '\n';
  const ssize_t written = ::write(fd, line, static_cast<size_t>(n));
  (void)written;
}

void ResetLiveLog() {
  const int fd = gFile.exchange(-2);
  if (fd >= 0) ::close(fd);
}

}  // namespace plat::hostapi
