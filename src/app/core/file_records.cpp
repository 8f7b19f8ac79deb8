#include "app/core/file_records.h"

#include <cstring>

#include "app/core/app_data.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"

void Init_FicStruct(fichier* f) {
  f->name[0] = 0;
  f->path[0] = 0;
}

void Copy_FicStruct(const fichier* source, fichier* destination) {
  if (source == destination) return;
  Copy_FSSpeStruct(source, destination);
  pStrCopy(source->path, destination->path);
  destination->creator = source->creator;
  destination->type = source->type;
  for (int i = 0; i < 3; ++i) destination->spare[i] = source->spare[i];
}

void Copy_FSSpeStruct(const fichier* source, fichier* destination) {
  if (source == destination) return;
  destination->volume = source->volume;
  destination->parent = source->parent;
  pStrCopy(source->name, destination->name);
}

void Copy_FSSpeStruct(const FSSpec* source, fichier* destination) {
  destination->volume = source->vRefNum;
  destination->parent = source->parID;
  pStrCopy(source->name, destination->name);
}

FSSpec SpecOf(const fichier& f) {
  FSSpec s;
  s.vRefNum = f.volume;
  s.parID = f.parent;
  pStrCopy(f.name, s.name);
  return s;
}

namespace {

// The colon path of the record's folder, from its identifier or, failing
// that, from its own absolute path.
bool folderColonPath(const fichier& f, int32_t parent, std::string* colon, int32_t* id) {
  if (plat::files::FolderColonPath(parent, colon)) {
    *id = parent;
    return true;
  }
  if (parent != 0) return false;
  const std::string_view own = PStrView(f.path);
  if (!plat::files::IsAbsoluteColonPath(own)) return false;
  const std::string posix = plat::files::ColonToPosix(own);
  const int32_t found = plat::files::FolderID(posix);
  if (found == 0 || !plat::files::FolderColonPath(found, colon)) return false;
  *id = found;
  return true;
}

}  // namespace

void BuildVName(fichier* f, unsigned char* path, int32_t* parent, int16_t mode) {
  const int32_t dir = parent != nullptr ? *parent : f->parent;
  if (mode == 3) {
    int32_t up = 0;
    if (parent != nullptr && plat::files::ParentFolderID(dir, &up)) *parent = up;
    return;
  }
  if (mode != 1 && mode != 2) return;
  std::string colon;
  int32_t id = 0;
  if (folderColonPath(*f, dir, &colon, &id)) {
    SetPStr(path, colon);
    if (parent != nullptr && *parent == 0) *parent = id;
  } else if (mode == 1) {
    SetPStr(path, ":");
  }
}

OSErr FSMakeFSSpec(int16_t vRefNum, int32_t dirID, const unsigned char* name, fichier* f) {
  FSSpec s;
  const OSErr e = ::FSMakeFSSpec(vRefNum, dirID, name, &s);
  if (e == 0 || e == plat::files::kFileNotFound || e == plat::files::kFolderNotFound) {
    // A specification was made unless the call refused the name outright.
    if (s.parID != 0) Copy_FSSpeStruct(&s, f);
  }
  return e;
}

bool SetFicFromSpec(fichier* f, const FSSpec& spec) {
  fichier g;
  Copy_FicStruct(f, &g);
  Copy_FSSpeStruct(&spec, &g);
  unsigned char path[256] = {0};
  BuildVName(&g, path, &g.parent, 2);
  if (path[0] == 0) return false;
  pStrCopy(path, g.path);
  Copy_FicStruct(&g, f);
  return true;
}

bool SetFicFromPosix(fichier* f, const std::string& posix) {
  FSSpec s;
  const OSErr e = plat::files::MakeSpecFromPosix(posix, &s);
  if (e != 0 && e != plat::files::kFileNotFound && e != plat::files::kFolderNotFound) return false;
  std::string colon;
  if (!plat::files::FolderColonPath(s.parID, &colon)) return false;
  Copy_FSSpeStruct(&s, f);
  SetPStr(f->path, colon);
  return true;
}

std::string FicToPosix(const fichier& f) {
  if (f.parent != 0) return plat::files::SpecToPosix(SpecOf(f));
  // A record read back from a stored file: its path names the folder.
  const std::string_view folder = PStrView(f.path);
  if (!plat::files::IsAbsoluteColonPath(folder) || f.name[0] == 0) return {};
  return plat::files::ColonToPosix(folder) + "/" + plat::files::SwapNameSeparators(PStrView(f.name));
}

std::string FicForUser(const fichier& f) {
  std::string posix = FicToPosix(f);
  if (!posix.empty()) return posix;
  return PStrString(f.path) + PStrString(f.name);
}

void PathBelowFolder(const fichier& folder, std::string_view relative, unsigned char* full) {
  pStrCopy(folder.path, full);
  Pstrcat(full, folder.name);
  PStrAppend(full, relative);
}

bool MakersFolderItem(std::string_view relative, fichier* f) {
  if (gappData == nullptr) return false;
  Str255 full = {0};
  PathBelowFolder(gappData->makersFolder, relative, full);
  Init_FicStruct(f);
  FSMakeFSSpec(0, 0, full, f);
  if (f->name[0] == 0) return false;
  BuildVName(f, f->path, &f->parent, 1);
  f->creator = FourCC("vMkC");
  return true;
}

void Mak_fictmp(int32_t n, fichier* f) {
  if (f == nullptr) return;
  Str255 full = {0};
  if (gappData != nullptr) {
    PathBelowFolder(gappData->folder, "tmpVLM" + std::to_string(n), full);
  } else {
    SetPStr(full, "tmpVLM" + std::to_string(n));
  }
  FSSpec s;
  (void)::FSMakeFSSpec(0, 0, full, &s);
  if (s.parID == 0) return;  // no maker's folder to put it in
  Copy_FSSpeStruct(&s, f);
  BuildVName(f, f->path, &f->parent, 1);
}

void Write_FicStruct(plat::bytes::Writer& w, const fichier& f) {
  // Folder numbers mean nothing outside this process: a reader finds the
  // item again by its path and name.
  w.i16(0);
  w.i32(0);
  w.raw(f.name, sizeof f.name);
  w.raw(f.path, sizeof f.path);
  w.i16(f.reserved);
  w.fourCC(f.creator);
  w.fourCC(f.type);
  w.i32(f.spare[0]);
  w.i32(f.spare[1]);
  // Only the first two bytes of the final word are stored.
  plat::bytes::Writer last(w.order());
  last.i32(f.spare[2]);
  w.raw(last.bytes().data(), 2);
}

bool Read_FicStruct(plat::bytes::Reader& r, fichier* f) {
  if (r.remaining() < kFicStoredSize) {
    r.skip(kFicStoredSize);
    return false;
  }
  fichier g;
  Copy_FicStruct(f, &g);
  g.reserved = f->reserved;
  r.i16();
  r.i32();
  r.raw(g.name, sizeof g.name);
  r.raw(g.path, sizeof g.path);
  g.reserved = r.i16();
  g.creator = r.fourCC();
  g.type = r.fourCC();
  g.spare[0] = r.i32();
  g.spare[1] = r.i32();
  uint8_t tail[4];
  plat::bytes::Writer keep(r.order());
  keep.i32(f->spare[2]);
  std::memcpy(tail, keep.bytes().data(), 4);
  r.raw(tail, 2);
  plat::bytes::Reader back(tail, 4, r.order());
  g.spare[2] = back.i32();
  if (!r.ok()) return false;
  g.volume = 0;
  g.parent = 0;
  *f = g;
  return true;
}
