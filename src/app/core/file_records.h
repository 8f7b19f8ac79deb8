// The file record: a file specification (volume, parent folder, name), the
// colon path of the folder that holds the item, and the Mac creator and type
// the file is given when it is created.
//
// Opening, creating, deleting and testing a file use the file specification; the
// path serves to build the names of other files (path, then a name, then a
// further name) and is rebuilt by BuildVName whenever the file specification
// changes. A record whose folder identifier is 0 (read back from a stored
// file) is found through its path instead.
//
// Records embedded in stored files keep their 538-byte stored form: volume
// (16-bit) at 0, folder (32-bit) at 2, name at 6, path at 262, two reserved
// bytes at 518, creator at 520, type at 524 and the three further words at
// 528, of which the last gives only its first two bytes; in the host's order
// (little-endian here), volume and folder written as 0. In memory the fields
// keep their natural alignment, so the record is a little larger.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/pascal_strings.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_spec.h"
#include "platform/types/mac_types.h"


struct fichier {
  int16_t volume = 0;
  int32_t parent = 0;
  unsigned char name[256] = {};
  unsigned char path[256] = {};
  int16_t reserved = 0;
  OSType creator = 0;
  OSType type = 0;
  int32_t spare[3] = {};
};

inline constexpr size_t kFicStoredSize = 538;

// Empties the name and the path; everything else stays.
void Init_FicStruct(fichier* f);
// Copies every field (names and paths whole, up to 255 characters).
void Copy_FicStruct(const fichier* source, fichier* destination);
// Copies only the file specification part (volume, parent, name).
void Copy_FSSpeStruct(const fichier* source, fichier* destination);
void Copy_FSSpeStruct(const FSSpec* source, fichier* destination);
// The file specification part of a record.
FSSpec SpecOf(const fichier& f);

// Writes the full colon path of the folder that holds the record's item into
// `path` (which may be the record's own path field).
//   mode 1: the folder `*parent` on the record's volume, with its closing
//           colon; ":" when the folder is unknown (a record without a folder
//           identifier keeps the folder its own path names, and `*parent`
//           receives that folder's identifier).
//   mode 2: the same, but `path` is left as it was on failure.
//   mode 3: `*parent` becomes the identifier of its folder's parent; no path.
void BuildVName(fichier* f, unsigned char* path, int32_t* parent, int16_t mode);

// Fills the file specification part of a record from a length-prefixed name
// (absolute colon path, or a name inside folder `dirID`); the path field is
// not touched. Results as for a bare specification.
OSErr FSMakeFSSpec(int16_t vRefNum, int32_t dirID, const unsigned char* name, fichier* f);

// Points the record at the item a specification names and rebuilds its path
// (creator, type and the rest stay). False, record untouched, when no colon
// path of the item's folder fits in the record.
bool SetFicFromSpec(fichier* f, const FSSpec& spec);

// Names the item at an absolute POSIX path: specification and path built,
// creator and type left alone. False when the path cannot be named (relative,
// or longer than a record holds).
bool SetFicFromPosix(fichier* f, const std::string& posix);
// The POSIX path of a record's item; "" when it names nothing usable.
std::string FicToPosix(const fichier& f);
// The file a record names as its user knows it, for messages: its POSIX path, or, for a
// record stored relative to the content folders (":Images:"), that folder path and the name.
std::string FicForUser(const fichier& f);

// A scratch record "tmpVLM<n>" in the maker's folder of the application data.
void Mak_fictmp(int32_t n, fichier* f);

// The colon path of an item below the folder a record names: the record's
// path and name, then `relative` (which brings its own leading colon), cut
// at 255 characters.
void PathBelowFolder(const fichier& folder, std::string_view relative, unsigned char* full);
// Names an item in the maker's folder of the application data (`relative`
// as above) with the maker's creator; false, with the name left empty, when
// there is no application data or the name cannot be placed.
bool MakersFolderItem(std::string_view relative, fichier* f);

// Stored form: exactly kFicStoredSize bytes.
void Write_FicStruct(plat::bytes::Writer& w, const fichier& f);
// Reads kFicStoredSize bytes over the record (volume and folder become 0, the
// last two bytes of the final word are kept). False, record untouched, when
// the reader runs short.
bool Read_FicStruct(plat::bytes::Reader& r, fichier* f);
