// File specifications: an item named by its volume, the identifier of the
// folder that holds it, and its name.
//
// Folder identifiers here are handed out by a small catalogue that remembers
// each folder's POSIX path for the life of the process; they are never
// stored (stored records carry 0 and are resolved again from their paths).
// Every item lives on one volume, -1. Identifier 1 stands for the parent of
// the top-level folders, which has no colon path of its own.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types/mac_types.h"

// The system's file specification with a 255-character name. Its fields
// keep their natural alignment in memory; stored records are written field
// by field.
struct FSSpec {
  int16_t vRefNum = 0;
  int32_t parID = 0;
  unsigned char name[256] = {};
};

namespace plat::files {

constexpr int16_t kVolume = -1;
constexpr int32_t kRootParentID = 1;

// The identifier of a folder given by its absolute POSIX path (made on first
// use; the folder need not exist). 0 for a relative path.
int32_t FolderID(const std::string& posixFolder);

// The POSIX path of a folder identifier; false when the identifier is unknown.
bool FolderPath(int32_t dirID, std::string* posixFolder);


// Makes a specification from a POSIX path; results as FSMakeFSSpec below.
OSErr MakeSpecFromPosix(const std::string& posix, FSSpec* spec);

// The POSIX path of the item a specification names, or "" when its folder
// identifier is unknown.
std::string SpecToPosix(const FSSpec& spec);

// The colon path of folder `dirID` with its closing colon ("home:ann:"), or
// false when the identifier is unknown or the folder has no colon path of at
// most 255 characters.
bool FolderColonPath(int32_t dirID, std::string* colon);

// The identifier of the folder that holds folder `dirID`; false when unknown
// or when `dirID` is a top-level folder's parent.
bool ParentFolderID(int32_t dirID, int32_t* parent);

}  // namespace plat::files

// Makes a specification from a length-prefixed name that is an absolute
// colon path, or a name or relative colon path inside folder `dirID` (an
// empty name names that folder itself). Like the record type it lives outside
// the namespace. Results: 0 when the item exists,
// kFileNotFound when its folder exists but it does not, kFolderNotFound when
// its folder does not exist either (the file specification is filled in all
// three cases so that it still says where the item would be); kBadName or
// kFolderNotFound, with `spec` untouched, when no location can be made (a
// relative name with no known folder, a name over 255 characters).
OSErr FSMakeFSSpec(int16_t vRefNum, int32_t dirID, const unsigned char* name, FSSpec* spec);
