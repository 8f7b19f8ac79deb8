#include "app/file_dialogs.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "app/core/app_data.h"
#include "app/folder_scans.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_spec.h"
#include "platform/files/file_types.h"
#include "platform/imageio/image_io.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/ui_services.h"

namespace pf = plat::files;
namespace pb = plat::bytes;

// Tells every live FileChoiceWatch of a file the user chose.
void NoteFileChoice(const std::string& path);

namespace {

constexpr size_t kListHeader = 8;
constexpr OSType kOpenResourceType = FourCC("open");
constexpr int16_t kOpenResourceId = 128;
// The resource file's alert of a file that could not be written.
constexpr int16_t kFileAlert = 129;

// Names a record after a chosen POSIX path: volume, folder and name, then
// the folder's path. False, record untouched, when the path cannot be named.
bool NameRecord(fichier* f, const std::string& posix) {
  FSSpec s;
  const OSErr e = pf::MakeSpecFromPosix(posix, &s);
  if (e != 0 && e != pf::kFileNotFound) return false;
  return SetFicFromSpec(f, s);
}

// A path the user chose in the save dialog that no record can name: a folder that is not
// there (the dialog takes a typed path as it is), or a name or folder path longer than a
// record's 255 bytes. Nothing is written, and the user is told so rather than left to think
// the file saved.
void SayNotNamed(const std::string& posix) {
  const std::filesystem::path p(posix);
  std::error_code ec;
  const std::string folder = p.parent_path().string();
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  alert.params = {"The file could not be saved as \"" + pf::DisplayName(p.filename().string()) + "\".",
                  std::filesystem::is_directory(folder, ec)
                      ? "Its name or its folder's path is too long: nothing was written."
                      : "The folder \"" + folder + "\" does not exist: nothing was written."};
  plat::ui::Alert(alert);
}

// The file types a picker filters on: those of the type list (or of the
// bundle's 'open' resource that stands in for it).
std::vector<OSType> PickerTypes(int16_t count, const OSType* types) {
  plat::Ptr list = CreateOpenHandle(kOpenListSignature, count, types);
  std::vector<OSType> out = TypesOfOpenList(list);
  plat::DisposePtr(list);
  return out;
}

// The first type a dialog lists, or 0 for one that lists every file.
OSType FirstType(int16_t count, const OSType* types) { return types != nullptr && count > 0 ? types[0] : 0; }

}  // namespace

std::string DialogFolderFor(OSType type) {
  if (gappData == nullptr) return {};
  const std::string makers = FicToPosix(gappData->makersFolder);
  if (makers.empty()) return {};
  std::vector<OSType> images;
  int32_t n = 0;
  BuildGraphicsImporterValidFileTypes(&images, &n);
  if (type == 0 || type == FourCC("TEXT") || std::find(images.begin(), images.end(), type) != images.end())
    return makers;
  // The scan the preset menus make: a list of room 2 keeps the first file found.
  const int32_t dir = FolderIDOfRecord(&gappData->folder);
  FSSpec found[2] = {};
  int32_t count = 0;
  if (dir != 0 && SortFileType(dir, pf::kVolume, &type, 2, &count, found) == 0 && count > 0) {
    const std::string first = pf::SpecToPosix(found[0]);
    const size_t slash = first.rfind('/');
    if (slash != std::string::npos && slash > 0) return first.substr(0, slash);
  }
  return makers;
}

plat::Ptr CreateOpenHandle(OSType signature, int16_t count, const OSType* types) {
  if (auto res = plat::res::GetResource(kOpenResourceType, kOpenResourceId)) {
    // Taken only when it is a well-formed list; the caller owns the copy.
    if (res->size() >= kListHeader) {
      plat::Ptr copy = plat::NewPtr(static_cast<int64_t>(res->size()));
      if (copy != nullptr) {
        std::memcpy(copy, res->data(), res->size());
        if (!TypesOfOpenList(copy).empty()) return copy;
        plat::DisposePtr(copy);
      }
    }
  }
  if (types == nullptr || count < 1) return nullptr;
  const size_t n = static_cast<size_t>(count);
  plat::Ptr block = plat::NewPtrClear(static_cast<int64_t>(12 + 4 * n));
  if (block == nullptr) return nullptr;
  auto* b = reinterpret_cast<uint8_t*>(block);
  pb::storeBE32(b, signature);
  pb::storeLE16(b + 4, 0);
  pb::storeLE16(b + 6, static_cast<uint16_t>(count));
  for (size_t i = 0; i < n; ++i) pb::storeBE32(b + kListHeader + 4 * i, types[i]);
  return block;
}

std::vector<OSType> TypesOfOpenList(const char* list) {
  std::vector<OSType> out;
  if (list == nullptr) return out;
  const int64_t size = plat::GetPtrSize(list);
  if (size < static_cast<int64_t>(kListHeader)) return out;
  const auto* b = reinterpret_cast<const uint8_t*>(list);
  const int64_t n = pb::loadLE16(b + 6);
  // A count that runs past the block is a damaged list: none of it is used.
  if (static_cast<int64_t>(kListHeader) + 4 * n > size) return out;
  for (int64_t i = 0; i < n; ++i) out.push_back(pb::loadBE32(b + kListHeader + 4 * i));
  return out;
}

int16_t VMK_GetFile(fichier* f, const OSType* types, const unsigned char* prompt, int16_t count) {
  if (f == nullptr) return 0;
  const std::string text = prompt != nullptr ? PStrString(prompt) : std::string();
  std::string path;
  if (!plat::ui::AskOpenFile(text, PickerTypes(count, types), &path, DialogFolderFor(FirstType(count, types))))
    return 0;
  if (!NameRecord(f, path)) return 0;
  NoteFileChoice(path);
  return 1;
}

int16_t VMK_GetFile(fichier* f, const OSType* types, int16_t count) {
  return VMK_GetFile(f, types, nullptr, count);
}

int16_t VMK_PutFile(fichier* f) {
  if (f == nullptr) return 0;
  std::string path;
  bool replacing = false;
  SaveDialogScope* scope = CurrentSaveDialogScope();
  // The name offered is the one the user knows, without its type's suffix;
  // the suffix comes back below.
  std::string offered = PStrString(f->name);
  if (offered.empty() && scope != nullptr) offered = scope->offered();
  const std::string folder =
      scope != nullptr && !scope->folder().empty() ? scope->folder() : DialogFolderFor(f->type);
  if (!plat::ui::AskSaveFile("", pf::DisplayName(offered), f->type, f->creator, &path, &replacing, folder))
    return 0;
  // A saved file carries its type's extension, so the dialogs and menus that
  // look for that type find it again.
  const std::string named = pf::WithTypeExtension(path, f->type);
  if (!NameRecord(f, named)) {
    SayNotNamed(named);
    return 0;
  }
  std::error_code ec;
  if (scope != nullptr) scope->Chose(named, replacing || std::filesystem::exists(named, ec));
  NoteFileChoice(named);
  return 1;
}

namespace {
SaveDialogScope* gInnermostSaveScope = nullptr;
FileChoiceWatch* gInnermostWatch = nullptr;
}  // namespace

SaveDialogScope::SaveDialogScope(std::string folder, std::string offered)
    : folder_(std::move(folder)), offered_(std::move(offered)), outer_(gInnermostSaveScope) {
  gInnermostSaveScope = this;
}

SaveDialogScope::~SaveDialogScope() {
  if (gInnermostSaveScope == this) gInnermostSaveScope = outer_;
}

void SaveDialogScope::Chose(const std::string& path, bool replacing) {
  chosen_ = path;
  replacing_ = replacing;
}

SaveDialogScope* CurrentSaveDialogScope() { return gInnermostSaveScope; }

FileChoiceWatch::FileChoiceWatch() : outer_(gInnermostWatch) { gInnermostWatch = this; }

FileChoiceWatch::~FileChoiceWatch() {
  if (gInnermostWatch == this) gInnermostWatch = outer_;
}

void NoteFileChoice(const std::string& path) {
  for (FileChoiceWatch* w = gInnermostWatch; w != nullptr; w = w->outer_) w->chosen_ = path;
}

OSErr GetOneFileWithPreview(int16_t numTypes, const char* typeList, const OSType* types, FSSpec* out,
                            void* /*filter*/) {
  if (out == nullptr) return pf::kParamError;
  const std::vector<OSType> list =
      typeList != nullptr ? TypesOfOpenList(typeList) : PickerTypes(numTypes, types);
  std::string path;
  if (!plat::ui::AskOpenFile("", list, &path, DialogFolderFor(list.empty() ? 0 : list.front())))
    return pf::kUserCanceled;
  FSSpec s;
  const OSErr e = pf::MakeSpecFromPosix(path, &s);
  if (e != 0) return e;
  *out = s;
  return 0;
}

int16_t Do_NewDir(const fichier* /*current*/, fichier* out) {
  if (out == nullptr) return 0;
  std::string path;
  if (!plat::ui::AskFolder("", &path)) return 0;
  fichier g;
  Copy_FicStruct(out, &g);
  if (!NameRecord(&g, path)) return 0;
  // The record names the folder itself: its own path, closing colon, no name.
  Pstrcat(g.path, g.name);
  PStrAppend(g.path, ":");
  if (g.path[0] == 0 || g.path[g.path[0]] != ':') return 0;  // did not fit
  g.name[0] = 0;
  Copy_FicStruct(&g, out);
  return 0;
}

OSErr BuildGraphicsImporterValidFileTypes(std::vector<OSType>* types, int32_t* count) {
  if (types == nullptr || count == nullptr) return pf::kParamError;
  std::vector<OSType> seen;
  for (const std::string& ext : plat::imageio::ReadableExtensions()) {
    const OSType t = pf::TypeForExtension(ext);
    if (t == 0 || std::find(seen.begin(), seen.end(), t) != seen.end()) continue;
    seen.push_back(t);
    types->push_back(t);
    ++*count;
  }
  return 0;
}

namespace {

// Four-character code of a suffix: ".jpg" gives "JPG ".
OSType SuffixCode(const std::string& extension) {
  char c[5] = {' ', ' ', ' ', ' ', 0};
  const std::string bare = !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
  for (size_t i = 0; i < 4 && i < bare.size(); ++i)
    c[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(bare[i])));
  return FourCC(c);
}

void Append(std::vector<OSType>* types, int32_t* count, OSType code) {
  types->push_back(code);
  ++*count;
}

}  // namespace

OSErr AddComponentFileTypes(OSType componentType, bool suffixes, std::vector<OSType>* types,
                            int32_t* count) {
  if (types == nullptr || count == nullptr) return pf::kParamError;
  // Every image reader takes a file-name suffix; there are no movie
  // importers and no component without a suffix.
  if (componentType == kGraphicsImporterComponent && suffixes) {
    int32_t n = 0;
    std::vector<OSType> readers;
    BuildGraphicsImporterValidFileTypes(&readers, &n);
    for (OSType t : readers) Append(types, count, t);
  }
  return 0;
}

OSErr BuildGraphicsImporterValidFileNameSuffixes(std::vector<OSType>* types, int32_t* count) {
  if (types == nullptr || count == nullptr) return pf::kParamError;
  for (const std::string& ext : plat::imageio::ReadableExtensions()) Append(types, count, SuffixCode(ext));
  return 0;
}

OSErr BuildMovieValidFileTypes(std::vector<OSType>* types, int32_t* count) {
  if (types == nullptr || count == nullptr) return pf::kParamError;
  Append(types, count, FourCC("MooV"));
  return 0;
}

OSErr BuildAllValidFileTypes(std::vector<OSType>* types, int32_t* count) {
  OSErr e = BuildMovieValidFileTypes(types, count);
  if (e == 0) e = AddComponentFileTypes(kMovieImporterComponent, true, types, count);
  if (e == 0) e = BuildGraphicsImporterValidFileTypes(types, count);
  return e;
}

OSErr BuildAllValidFileNameSuffixes(std::vector<OSType>* types, int32_t* count) {
  if (types == nullptr || count == nullptr) return pf::kParamError;
  Append(types, count, FourCC("MOV "));
  return BuildGraphicsImporterValidFileNameSuffixes(types, count);
}

OSErr PutFile(const unsigned char* prompt, const unsigned char* defaultName, FSSpec* out,
              unsigned char* chosen, unsigned char* replacing) {
  if (out == nullptr || chosen == nullptr || replacing == nullptr) return pf::kParamError;
  *chosen = 0;
  *replacing = 0;
  std::string path;
  bool replace = false;
  if (!plat::ui::AskSaveFile(prompt != nullptr ? PStrString(prompt) : std::string(),
                             defaultName != nullptr ? PStrString(defaultName) : std::string(),
                             FourCC("MooV"), FourCC("TVOD"), &path, &replace))
    return pf::kUserCanceled;
  FSSpec s;
  const OSErr e = pf::MakeSpecFromPosix(path, &s);
  if (e != 0) return e;
  *out = s;
  *chosen = 1;
  *replacing = replace ? 1 : 0;
  return 0;
}

void HandleNavEvent(const void*) {}

OSErr FSpGetFileType(const FSSpec* spec, OSType* type, OSType* creator) {
  if (spec == nullptr) return pf::kParamError;
  const std::string posix = pf::SpecToPosix(*spec);
  std::error_code ec;
  if (posix.empty() || !std::filesystem::exists(posix, ec)) return pf::kFileNotFound;
  if (std::filesystem::is_directory(posix, ec)) return 0;
  OSType c = 0;
  pf::GetTypeCreator(posix, nullptr, &c);
  if (type != nullptr) *type = pf::FileTypeOf(posix);
  if (creator != nullptr) *creator = c;
  return 0;
}
