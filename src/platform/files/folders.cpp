#include "platform/files/folders.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace plat::files {

namespace fs = std::filesystem;

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string trimmed(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// A folder named relative to the current one, made absolute: every file
// record of the maker's folder and below holds an absolute path (a relative
// one has no colon form), and the session must name the same folder
// whatever it later takes as its current one. "" when the current folder
// cannot be had.
std::string absolute(const std::string& dir) {
  if (dir.front() == '/') return trimmed(dir);
  std::error_code ec;
  const fs::path full = fs::absolute(dir, ec);
  if (ec) return {};
  return trimmed(full.lexically_normal().string());
}

bool searchBelow(const fs::path& dir, const std::string& name, int depth, int maxDepth,
            std::string* found) {
  std::error_code ec;
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec)) folders.push_back(it->path());
  }
  std::sort(folders.begin(), folders.end());
  for (const auto& f : folders) {
    if (f.filename() == name) {
      *found = f.string();
      return true;
    }
    if (depth < maxDepth && !fs::is_symlink(f, ec) && searchBelow(f, name, depth + 1, maxDepth, found))
      return true;
  }
  return false;
}

}  // namespace

std::string ApplicationSupportFolder() {
  std::string dir = env("VMK_SUPPORT_DIR");
  if (!dir.empty()) return absolute(dir);
  dir = env("XDG_DATA_HOME");
  // The base-directory rules ignore a relative XDG_DATA_HOME.
  if (!dir.empty() && dir.front() == '/') return trimmed(dir);
  const std::string home = env("HOME");
  if (home.empty()) return {};
  return absolute(trimmed(home) + "/.local/share");
}

std::optional<std::string> FindFolderBelow(const std::string& root, const std::string& name,
                                           int maxDepth) {
  if (root.empty() || name.empty() || maxDepth < 1) return std::nullopt;
  std::error_code ec;
  const fs::path direct = fs::path(root) / name;
  if (fs::is_directory(direct, ec)) return direct.string();
  std::string found;
  if (searchBelow(root, name, 1, maxDepth, &found)) return found;
  return std::nullopt;
}

std::optional<std::string> FindMakersFolder() {
  return FindFolderBelow(ApplicationSupportFolder(), kMakersFolderName, kMakersFolderSearchDepth);
}

bool IsSettingsFileName(std::string_view name) { return name.starts_with(kSettingsFilePrefix); }

}  // namespace plat::files
