// The effect-list keeper: for one effect family (or for the colour ramps) it keeps the list
// file that catalogues the family's stored files in the maker's folder (the format is
// script/effect_list_file.h), fills a category popup and a name popup from it, and fills
// rows of preview slots and image views with the previews the stored files carry.
//
// Its owners are the load-effect browser, the compose-effect chooser and, in colour-ramp
// mode, the colour-ramp browser. An owner makes the object with its mode and slot count,
// sets the family and the fill limit, calls PrepareCatNamMenus once when its window opens,
// then UpdatePreviews whenever the category or scroll position changes, GetFichInList or
// LoadEff for the user's choice, and deletes the object.
//
// The list is rebuilt from the folder only when it is missing or damaged (or when an owner
// asks, with PrepareEffListFile): files stored later appear only after a rebuild. A list file
// that cannot be read leaves the menus empty. Menus are the plain menus of the toolbox api;
// the owner shows them in its popups.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/file_records.h"
#include "platform/toolbox/api/plain_menus.h"
#include "platform/types/mac_types.h"

class Laye;
class ScriptFile;
class VMKimabox;

// One preview slot of an owner: whether it shows an entry, the size of the preview it
// shows, the entry's stored file (name field: its file name; path field: its folder path)
// and, in colour-ramp mode, the rectangle of the ramp's bar.
struct TSSeff {
  int16_t filled = 0;
  int32_t previewWidth = 0;
  int32_t previewHeight = 0;
  fichier file;
  Rect bar;
};

class VMKlisteff {
 public:
  // Sizes of the previews a slot shows.
  static constexpr int32_t kPreviewSide = 130;
  static constexpr int32_t kBarWidth = 400;
  static constexpr int32_t kBarHeight = 32;

  // mode 0 effect files, 1 colour ramps; `slots` preview slots held by the owner.
  VMKlisteff(int16_t mode, int16_t slots);
  ~VMKlisteff() = default;
  VMKlisteff(const VMKlisteff&) = delete;
  VMKlisteff& operator=(const VMKlisteff&) = delete;

  // Names the family's list file, rebuilds it when it is missing or damaged, and fills both
  // menus; the number of items of the name menu.
  int16_t PrepareCatNamMenus(OpaqueMenuRef* categoryMenu, OpaqueMenuRef* nameMenu,
                             int16_t family);
  // Writes the list anew from the stored files of the family's type (of 'hVig' in mode 1)
  // in the maker's folder: header, entries and category records.
  void PrepareEffListFile(int16_t family);
  // Builds the category records and the category count from the entries and fills the
  // category menu with "ALL" and the categories.
  void PrepareListCat(OpaqueMenuRef* categoryMenu);
  // The number of entries of category `item` (below 1 means 1) into *count.
  void NbEff_Cat(OpaqueMenuRef* categoryMenu, int16_t* count, int16_t item);
  // Reads the header into the fields and fills the category menu.
  void LoadCatMenus(OpaqueMenuRef* categoryMenu);
  // Fills the name menu with the entries of the selected category; the number of items
  // (0 when the list cannot be read).
  int16_t LoadNamMenus(OpaqueMenuRef* categoryMenu, OpaqueMenuRef* nameMenu);
  // The stored file of entry `index` (from 0) of the selected category; nothing is written
  // when there is none.
  void GetFichInList(OpaqueMenuRef* categoryMenu, int16_t index, fichier* out);
  // Fills the slots and views from entry `first` of the selected category on (mode 0), or
  // writes the entry at `first` into `out` and leaves slots and views alone (mode 1).
  void UpdatePreviews(int16_t mode, OpaqueMenuRef* categoryMenu, int16_t first, int16_t force,
                      TSSeff** slots, VMKimabox** views, fichier* out);
  // Reads a stored effect into the layer: modes 0 and 2 the file of slot `index` (when it is
  // filled), mode 3 `file`; only with `load` 1. 0 when the layer took the effect, -1 when
  // nothing was read (the layer as it was).
  int16_t LoadEff(int16_t mode, int16_t load, int16_t index, TSSeff** slots, fichier* file,
                  Laye* layer, ScriptFile* script, char* text1, char* text2);

  fichier listFile;
  int16_t firstVisible = 0;
  int16_t categoryEntries = 0;
  int16_t categoryCount = 0;
  int16_t entryCount = 0;
  int16_t selectedCategory = 1;
  int16_t spare = 0;
  int16_t family = 0;
  int16_t mode = 0;
  int16_t slotCount = 0;
  int16_t lastFirst = -1;
  int16_t filled = 0;
  int16_t fillLimit = 0;
};

// A stored file's record from an entry's folder path and file name: the file
// reference made from the two joined, the name field the file name, the path
// field the folder path.
void MakeEffListRecord(const std::string& folder, const std::string& name, fichier* out);
