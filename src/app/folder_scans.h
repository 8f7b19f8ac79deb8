// Finding folders and files by walking folder trees: the maker's folder
// below the Application Support folder, a content file that has moved to
// another content folder, and the lists of preset files by type or by name
// that fill the preset menus.
//
// Folders are walked in name order (the catalogue order of this platform);
// symbolic links to folders are not followed, so a link loop cannot trap a
// scan.
#pragma once

#include <array>
#include <cstdint>

#include "app/core/file_records.h"

// The content folders a missing content file is looked for in, in this
// order, each below the maker's folder.
inline constexpr std::array<const char*, 19> kContentFolders = {
    ":Tiles:",        ":Tiles1:",  ":Tiles1:Displace:", ":Tiles1:Lights:", ":Sprays:",
    ":Images:",       ":Edges:",   ":Edges1:",          ":Edges2:",        ":Edges3:",
    ":Edges4:",       ":Images:Edges:", ":Mouldings:",  ":BackDrops:",     ":HaldenF:",
    ":Blinds:",       ":SurfaceTiles:", ":GenericTiles:", ":Bord:"};

// Looks below the folder that the record's path names for a folder called
// exactly `name` (case counts): its direct child first, then depth first,
// at most four levels down, so that a large data folder cannot stall the
// start of a session. 1 and *out naming the folder found; 0 when there is
// none; kFolderNotFound when the folder to search does not exist.
OSErr SearchDirInDir(const fichier* folder, const unsigned char* name, FSSpec* out);

// The session's maker's folder: the record is set to "temp" in the
// Application Support folder and, when a folder named "Vellmarkstead" is
// found below it, to that folder, with the path of the folder that holds it,
// so that path + name + a file's own name addresses a file in it however
// deep it lies. 1 when found, else 0 (the record then names "temp").
int16_t LocateMakersFolder(fichier* record);

// Finds a content file that is not where the record says: the same name is
// tried in each content folder of the session's maker's folder in turn, and
// the record is left on the first that holds it, or on ":Bord:" when none
// does; its path is rebuilt. A record whose file exists, or a session
// without a maker's folder, is left as it was. Always 0.
int16_t SearchAlternateFic(fichier* f);

// Collects the files of type *type found in folder `dirID` and, where they
// are met, its sub-folders, into list[*count] on: a name already among the
// first *count entries is skipped (the first one met wins); a new one goes
// into entry *count, which then grows, unless *count + 1 reaches the
// capacity: the scan stops there with the entry written but not counted.
// The dialogs' last-settings files (plat::files::IsSettingsFileName) are
// never collected, by either scan.
// The list has room for `capacity` entries. 0, or the first error of this
// folder's listing (kFolderNotFound, kIOError); errors inside sub-folders are
// ignored.
OSErr SortFileType(int32_t dirID, int16_t vRefNum, const OSType* type, int32_t capacity,
                   int32_t* count, FSSpec* list);
// The same for files whose name contains `text` anywhere.
OSErr SortFileExt(int32_t dirID, int16_t vRefNum, const char* text, int32_t capacity, int32_t* count,
                  FSSpec* list);

// The identifier of the folder a record names by its path followed by its
// name (the folder itself); 0 when there is no such folder.
int32_t FolderIDOfRecord(const fichier* folder);
