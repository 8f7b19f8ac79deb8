#include "platform/resources/resource_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace plat::res {
namespace {

std::string& folderRef() {
  static std::string folder;
  return folder;
}

constexpr uintmax_t kMaxResourceBytes = 4u << 20;

}  // namespace

void SetResourceFolder(const std::string& folder) { folderRef() = folder; }
const std::string& ResourceFolder() { return folderRef(); }

std::string TypeFolderName(OSType type) {
  std::string name;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>((type >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E || c == '/' || c == '\\') return "";
    name.push_back(c);
  }
  if (name == "...." || name.find_first_not_of('.') == std::string::npos) return "";
  return name;
}

std::optional<std::string> GetResourcePath(OSType type, int16_t id) {
  const std::string& root = folderRef();
  std::string typeName = TypeFolderName(type);
  if (root.empty() || typeName.empty()) return std::nullopt;
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::path(root) / typeName;
  if (!fs::is_directory(dir, ec)) return std::nullopt;
  // The first file whose stem is the number, by name, so the choice never
  // depends on the order the file system lists them in.
  std::string stem = std::to_string(id);
  std::vector<fs::path> hits;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().stem().string() == stem && it->is_regular_file(ec)) hits.push_back(it->path());
  }
  if (hits.empty()) return std::nullopt;
  std::sort(hits.begin(), hits.end());
  return hits.front().string();
}

std::optional<std::vector<uint8_t>> GetResource(OSType type, int16_t id) {
  const auto path = GetResourcePath(type, id);
  if (!path) return std::nullopt;
  namespace fs = std::filesystem;
  std::error_code ec;
  uintmax_t size = fs::file_size(*path, ec);
  if (ec || size > kMaxResourceBytes) return std::nullopt;
  std::ifstream in(*path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> GetResourceText(OSType type, int16_t id) {
  auto bytes = GetResource(type, id);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace plat::res
