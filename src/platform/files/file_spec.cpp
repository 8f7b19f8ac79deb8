#include "platform/files/file_spec.h"

#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"

namespace plat::files {

namespace fs = std::filesystem;

namespace {

// Folder identifiers of this process. Entry i holds identifier i + 1, so the
// root "/" is identifier 1.
struct Catalogue {
  std::mutex lock;
  std::vector<std::string> paths{"/"};
  std::unordered_map<std::string, int32_t> ids{{"/", kRootParentID}};
};

Catalogue& catalogue() {
  static Catalogue c;
  return c;
}

std::string normalFolder(const std::string& posix) {
  std::string s = fs::path(posix).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

OSErr fillSpec(const std::string& posixItem, FSSpec* spec) {
  std::string item = normalFolder(posixItem);
  if (item.empty() || item.front() != '/') return kBadName;
  std::string folder, leaf;
  if (item == "/") {
    folder = "/";
  } else {
    const size_t slash = item.rfind('/');
    folder = slash == 0 ? "/" : item.substr(0, slash);
    leaf = SwapNameSeparators(item.substr(slash + 1));
  }
  if (leaf.size() > 255) return kBadName;
  spec->vRefNum = kVolume;
  spec->parID = FolderID(folder);
  spec->name[0] = static_cast<unsigned char>(leaf.size());
  std::memcpy(spec->name + 1, leaf.data(), leaf.size());

  std::error_code ec;
  if (fs::exists(item, ec)) return 0;
  return fs::is_directory(folder, ec) ? kFileNotFound : kFolderNotFound;
}

}  // namespace

int32_t FolderID(const std::string& posixFolder) {
  if (posixFolder.empty() || posixFolder.front() != '/') return 0;
  const std::string key = normalFolder(posixFolder);
  Catalogue& c = catalogue();
  std::lock_guard<std::mutex> g(c.lock);
  const auto it = c.ids.find(key);
  if (it != c.ids.end()) return it->second;
  c.paths.push_back(key);
  const auto id = static_cast<int32_t>(c.paths.size());
  c.ids.emplace(key, id);
  return id;
}

bool FolderPath(int32_t dirID, std::string* posixFolder) {
  Catalogue& c = catalogue();
  std::lock_guard<std::mutex> g(c.lock);
  if (dirID < 1 || static_cast<size_t>(dirID) > c.paths.size()) return false;
  *posixFolder = c.paths[static_cast<size_t>(dirID) - 1];
  return true;
}

}  // namespace plat::files

OSErr FSMakeFSSpec(int16_t /*vRefNum*/, int32_t dirID, const unsigned char* name, FSSpec* spec) {
  using namespace plat::files;
  if (spec == nullptr) return kParamError;
  const std::string colon = name != nullptr
                                ? std::string(reinterpret_cast<const char*>(name + 1), name[0])
                                : std::string();
  std::string posix;
  if (IsAbsoluteColonPath(colon)) {
    posix = ColonToPosix(colon);
  } else {
    std::string base;
    if (!FolderPath(dirID, &base)) return kFolderNotFound;
    const std::string rel = ColonToPosix(colon);
    posix = rel.empty() ? base : base + "/" + rel;
  }
  return fillSpec(posix, spec);
}

namespace plat::files {

OSErr MakeSpecFromPosix(const std::string& posix, FSSpec* spec) {
  if (spec == nullptr) return kParamError;
  return fillSpec(posix, spec);
}

std::string SpecToPosix(const FSSpec& spec) {
  std::string folder;
  if (!FolderPath(spec.parID, &folder)) return {};
  const std::string leaf =
      SwapNameSeparators(std::string(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]));
  if (leaf.empty()) return folder;
  return folder == "/" ? "/" + leaf : folder + "/" + leaf;
}

bool FolderColonPath(int32_t dirID, std::string* colon) {
  std::string folder;
  if (!FolderPath(dirID, &folder)) return false;
  std::string c = PosixToColon(folder, true);
  if (c.empty() || c.size() > 255) return false;
  *colon = std::move(c);
  return true;
}

bool ParentFolderID(int32_t dirID, int32_t* parent) {
  std::string folder;
  if (!FolderPath(dirID, &folder) || folder == "/") return false;
  const size_t slash = folder.rfind('/');
  *parent = FolderID(slash == 0 ? "/" : folder.substr(0, slash));
  return true;
}

}  // namespace plat::files
