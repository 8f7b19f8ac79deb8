#include "platform/resources/resource_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <system_error>

namespace plat::res {
namespace {

std::string& folderRef() {
  static std::string folder;
  return folder;
}

constexpr uintmax_t kMaxResourceBytes = 4u << 20;

// String lists as read, by id; emptied when the folder changes. Menus are
// rebuilt from the same lists at every redraw, so a list is read once.
struct StringLists {
  std::mutex lock;
  std::map<int16_t, std::vector<std::string>> lists;
};

StringLists& stringLists() {
  static StringLists lists;
  return lists;
}

std::vector<std::string> SplitItems(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] != '#') items.push_back(std::move(line));
    start = end + 1;
  }
  return items;
}

const std::vector<std::string>& ListOf(int16_t id) {
  StringLists& s = stringLists();
  auto it = s.lists.find(id);
  if (it != s.lists.end()) return it->second;
  std::vector<std::string> items;
  if (auto text = GetResourceText(FourCC("STR#"), id)) items = SplitItems(*text);
  return s.lists.emplace(id, std::move(items)).first->second;
}

}  // namespace

void SetResourceFolder(const std::string& folder) {
  folderRef() = folder;
  StringLists& s = stringLists();
  std::lock_guard<std::mutex> hold(s.lock);
  s.lists.clear();
}

std::string GetIndString(int16_t id, int16_t index) {
  StringLists& s = stringLists();
  std::lock_guard<std::mutex> hold(s.lock);
  const std::vector<std::string>& items = ListOf(id);
  if (index < 1 || static_cast<size_t>(index) > items.size()) return "";
  return items[static_cast<size_t>(index) - 1];
}

int16_t CountIndStrings(int16_t id) {
  StringLists& s = stringLists();
  std::lock_guard<std::mutex> hold(s.lock);
  return static_cast<int16_t>(std::min<size_t>(ListOf(id).size(), 32767));
}
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
