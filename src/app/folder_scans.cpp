#include "app/folder_scans.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_types.h"
#include "platform/files/folders.h"

namespace fs = std::filesystem;
namespace pf = plat::files;

namespace {

// Joins two pieces of a colon path. A folder path keeps its closing colon and
// a sub-path starts with one; two in a row would climb a folder, so they
// meet on one.
std::string JoinColon(std::string_view a, std::string_view b) {
  std::string out(a);
  if (!out.empty() && out.back() == ':' && !b.empty() && b.front() == ':') b.remove_prefix(1);
  out.append(b);
  return out;
}

// The POSIX path of the folder that an absolute colon path names (with or
// without its closing colon); "" when it names none.
std::string FolderOfColonPath(std::string_view colon) {
  std::string withColon(colon);
  if (withColon.empty() || withColon.back() != ':') withColon.push_back(':');
  // The file specification of an item inside the folder gives the folder as its
  // parent, whether or not that item exists.
  const std::string probe = JoinColon(withColon, "dummy");
  if (probe.size() > 255) return {};
  Str255 name;
  SetPStr(name, probe);
  FSSpec s;
  const OSErr e = ::FSMakeFSSpec(0, 0, name, &s);
  if (e != 0 && e != pf::kFileNotFound) return {};
  std::string folder;
  if (!pf::FolderPath(s.parID, &folder)) return {};
  std::error_code ec;
  return fs::is_directory(folder, ec) ? folder : std::string();
}

using Match = std::function<bool(const std::string& posix, std::string_view name)>;

OSErr ScanFolder(int32_t dirID, int16_t vRefNum, const Match& match, int32_t capacity,
                 int32_t* count, FSSpec* list) {
  std::string folder;
  std::error_code ec;
  if (!pf::FolderPath(dirID, &folder) || !fs::is_directory(folder, ec)) return pf::kFolderNotFound;
  std::vector<fs::directory_entry> items;
  fs::directory_iterator it(folder, ec);
  if (ec) return pf::kIOError;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return pf::kIOError;
    items.push_back(*it);
  }
  if (ec) return pf::kIOError;
  std::sort(items.begin(), items.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) {
              return a.path().filename() < b.path().filename();
            });
  for (const fs::directory_entry& item : items) {
    const std::string posix = item.path().string();
    if (item.is_directory(ec)) {
      // Sub-folders are scanned where they are met; what goes wrong inside
      // one does not stop this folder. Links are not followed.
      if (!item.is_symlink(ec)) (void)ScanFolder(pf::FolderID(posix), vRefNum, match, capacity, count, list);
      continue;
    }
    if (!item.is_regular_file(ec)) continue;
    const std::string name = pf::SwapNameSeparators(item.path().filename().string());
    // A dialog's last settings share the presets' folder and type: they are
    // no preset, whoever lists by type or by name.
    if (pf::IsSettingsFileName(name)) continue;
    if (name.size() > 255 || !match(posix, name)) continue;
    Str255 pname;
    SetPStr(pname, name);
    bool seen = false;
    for (int32_t k = 0; k < *count && !seen; ++k) seen = Pasc_streql(list[k].name, pname) == 1;
    if (seen) continue;
    // No room for the entry at *count: a caller that passes a full list
    // gets nothing written past its end.
    if (*count < 0 || *count >= capacity) return 0;
    FSSpec& entry = list[*count];
    entry.vRefNum = pf::kVolume;
    entry.parID = dirID;
    pStrCopy(pname, entry.name);
    if (*count + 1 >= capacity) return 0;
    ++*count;
  }
  return 0;
}

}  // namespace

OSErr SearchDirInDir(const fichier* folder, const unsigned char* name, FSSpec* out) {
  if (folder == nullptr || name == nullptr || out == nullptr) return pf::kParamError;
  const std::string root = FolderOfColonPath(PStrView(folder->path));
  if (root.empty()) return pf::kFolderNotFound;
  const std::optional<std::string> found =
      pf::FindFolderBelow(root, pf::SwapNameSeparators(PStrView(name)), pf::kMakersFolderSearchDepth);
  if (!found) return 0;
  FSSpec s;
  if (pf::MakeSpecFromPosix(*found, &s) != 0) return 0;
  *out = s;
  return 1;
}

int16_t LocateMakersFolder(fichier* record) {
  if (record == nullptr) return 0;
  const std::string support = pf::ApplicationSupportFolder();
  if (support.empty() || !SetFicFromPosix(record, support + "/temp")) return 0;
  Str255 name;
  SetPStr(name, pf::kMakersFolderName);
  FSSpec found;
  if (SearchDirInDir(record, name, &found) != 1) return 0;
  // The folder may lie several levels down: its path is the path of the
  // folder that holds it, not of the folder searched.
  return SetFicFromSpec(record, found) ? 1 : 0;
}

int16_t SearchAlternateFic(fichier* f) {
  if (f == nullptr || gPer == nullptr) return 0;
  if (S_test_exist(f) == 1) return 0;
  const fichier& makers = gPer->makersFolder;
  const std::string base = JoinColon(PStrView(makers.path), PStrView(makers.name));
  if (!pf::IsAbsoluteColonPath(base)) return 0;
  fichier copy;
  Copy_FicStruct(f, &copy);
  for (const char* sub : kContentFolders) {
    Copy_FicStruct(&copy, f);
    const std::string full = JoinColon(JoinColon(base, sub), PStrView(copy.name));
    // A name cut at 255 characters would name another file.
    if (full.size() > 255) continue;
    Str255 pfull;
    SetPStr(pfull, full);
    FSMakeFSSpec(0, 0, pfull, f);
    if (S_test_exist(f) == 1) break;
  }
  BuildVName(f, f->path, &f->parent, 1);
  return 0;
}

OSErr SortFileType(int32_t dirID, int16_t vRefNum, const OSType* type, int32_t capacity,
                   int32_t* count, FSSpec* list) {
  if (type == nullptr || count == nullptr || list == nullptr) return pf::kParamError;
  const OSType wanted = *type;
  return ScanFolder(
      dirID, vRefNum,
      [wanted](const std::string& posix, std::string_view) { return pf::FileTypeOf(posix) == wanted; },
      capacity, count, list);
}

OSErr SortFileExt(int32_t dirID, int16_t vRefNum, const char* text, int32_t capacity, int32_t* count,
                  FSSpec* list) {
  if (text == nullptr || count == nullptr || list == nullptr) return pf::kParamError;
  const std::string wanted(text);
  return ScanFolder(
      dirID, vRefNum,
      [&wanted](const std::string&, std::string_view name) {
        return name.find(wanted) != std::string_view::npos;
      },
      capacity, count, list);
}

int32_t FolderIDOfRecord(const fichier* folder) {
  if (folder == nullptr) return 0;
  const std::string path = FolderOfColonPath(JoinColon(PStrView(folder->path), PStrView(folder->name)));
  return path.empty() ? 0 : pf::FolderID(path);
}
