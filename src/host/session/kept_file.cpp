#include "host/session/kept_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/files/file_io.h"
#include "platform/files/file_types.h"

namespace fs = std::filesystem;

namespace {

// Only a regular file is read: a FIFO put in the file's place would hold the
// open for ever.
bool ReadAll(const std::string& path, std::vector<uint8_t>* out) {
  const int fd = plat::files::OpenRegular(path, O_RDONLY);
  if (fd < 0) return false;
  out->clear();
  char chunk[65536];
  bool good = true;
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      good = n == 0;
      break;
    }
    out->insert(out->end(), chunk, chunk + n);
  }
  ::close(fd);
  return good;
}

}  // namespace

KeptFile::KeptFile(const fichier& file) : path_(FicToPosix(file)) {
  std::error_code ec;
  existed_ = !path_.empty() && fs::is_regular_file(path_, ec);
  readable_ = existed_ && ReadAll(path_, &bytes_);
}

bool KeptFile::Unchanged() const {
  std::error_code ec;
  if (!existed_) return path_.empty() || !fs::is_regular_file(path_, ec);
  std::vector<uint8_t> now;
  return readable_ && ReadAll(path_, &now) && now == bytes_;
}

bool KeptFile::Restore() const {
  if (Unchanged()) return true;
  std::error_code ec;
  if (!existed_) return fs::remove(path_, ec) && !ec;
  // A file that could not be read when it was kept cannot be put back.
  if (!readable_) return false;
  // Through a replacement: a disk that fills while the old bytes go back
  // must not leave a file that is neither the old one nor the new.
  OSType type = 0, creator = 0;
  const bool tagged = plat::files::GetTypeCreator(path_, &type, &creator);
  {
    plat::files::AtomicReplace out(path_);
    if (out.ok() && out.write(bytes_.data(), bytes_.size()) && out.commit()) {
      if (tagged) plat::files::SetTypeCreator(path_, type, creator);
      return Unchanged();
    }
  }
  // A disk too full for a second copy may still take the old bytes back
  // over the blocks the file holds now.
  return RewriteInPlace() && Unchanged();
}

bool KeptFile::RewriteInPlace() const {
  const int fd = plat::files::OpenRegular(path_, O_WRONLY);
  if (fd < 0) return false;
  bool good = true;
  size_t done = 0;
  while (good && done < bytes_.size()) {
    const ssize_t n = ::pwrite(fd, bytes_.data() + done, bytes_.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    good = n > 0;
    if (good) done += static_cast<size_t>(n);
  }
  good = good && ::ftruncate(fd, static_cast<off_t>(bytes_.size())) == 0;
  return ::close(fd) == 0 && good;
}
