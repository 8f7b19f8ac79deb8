#include "host/session/kept_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

bool ReadAll(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
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
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  out.close();
  return !out.fail() && Unchanged();
}
