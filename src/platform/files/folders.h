// Where the maker's folder lives.
//
// The Application Support folder is $XDG_DATA_HOME (default
// ~/.local/share); VMK_SUPPORT_DIR names another one, for tests and for
// users who keep their content elsewhere. The maker's folder is the first
// folder named "Vellmarkstead" below it: the direct child first, then a
// depth-first search in name order that goes at most four levels down, so
// that a large data folder never stalls the start of a session.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat::files {

inline constexpr const char* kMakersFolderName = "Vellmarkstead";
inline constexpr int kMakersFolderSearchDepth = 4;

// The Application Support folder (absolute POSIX path, no trailing slash;
// a relative VMK_SUPPORT_DIR is taken from the current folder); "" when
// neither the variables nor HOME say where it is.
std::string ApplicationSupportFolder();

// The first folder named exactly `name` below `root`: `root/name` when it is
// a folder, else depth-first in name order, children of `root` at depth 1,
// down to `maxDepth`. Symbolic links are matched but not searched through.
std::optional<std::string> FindFolderBelow(const std::string& root, const std::string& name,
                                           int maxDepth);

// The maker's folder below the Application Support folder, if there is one.
std::optional<std::string> FindMakersFolder();

// The files in which the dialogs keep their last settings between runs
// ("tmpvmkplv.hgr", "tmpvmkpbo.hbr", the compose chooser's "tmpvmkcompeff",
// ...) sit in the maker's folder beside the presets and carry the presets'
// type, so a listing by type takes them for presets. All their names begin
// with this prefix; no list of presets or of files to open shows one.
inline constexpr std::string_view kSettingsFilePrefix = "tmpvmk";
// True for the name (not the path) of such a file.
bool IsSettingsFileName(std::string_view name);

}  // namespace plat::files
