// The keeper of the image library: the images of the maker's folder listed
// in a list file with a category table and shown from a thumbnail file (their
// formats in app/image_library_files.h). It is no dialog: the image picker
// and the combine-images dialog each own one and drive it from their
// commands, filling their category and name popups, showing one page of
// thumbnails in their image boxes and taking back the file of a picked
// image. It keeps no file open between calls.
//
// Calling order of both owners: construct with the slot count, set the page
// size, PrepareCatNamMenus, PrepareBufImaListFile(0), UpdatePreviews(-1);
// later UpdatePreviews(first visible) on every redraw, LoadNamMenus after a
// category change; and for the update command: selected category 1,
// PrepareImaListFile(0) and, only when it answers 0, PrepareListCat,
// LoadNamMenus and PrepareBufImaListFile(1).
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "app/image_library_files.h"
#include "platform/toolbox/toolbox.h"

struct TSSeff;
struct SprayPar;
class VMKimabox;

class VMKlistima {
 public:
  explicit VMKlistima(int16_t slotTotal);
  ~VMKlistima() = default;
  VMKlistima(const VMKlistima&) = delete;
  VMKlistima& operator=(const VMKlistima&) = delete;

  // Names the list file; when it is missing or refused, rebuilds it (after
  // the user confirms) with its category table; fills both popups. The
  // number of images in the name popup.
  int16_t PrepareCatNamMenus(plat::tb::ControlRef category, plat::tb::ControlRef names);
  // Rebuilds the list file from the seven scan passes (ask 0: the user
  // confirms first). 0, or -1 when declined or failed, the old file as it
  // was.
  int16_t PrepareImaListFile(int16_t ask);
  // Builds the category table into the list file and fills the popup.
  void PrepareListCat(plat::tb::ControlRef category);
  // Builds the thumbnail file when it is missing, or always with force 1.
  void PrepareBufImaListFile(int16_t force);
  // Header words into the keeper, category names into the popup.
  void LoadCatMenus(plat::tb::ControlRef category);
  // The selected category's images that can be found, into the popup; the
  // number of items added.
  int16_t LoadNamMenus(plat::tb::ControlRef category, plat::tb::ControlRef names);
  // Entries of the category of popup item `item` (below 1: 1): "ALL" gives N.
  void NbIma_Cat(plat::tb::ControlRef category, int16_t* count, int16_t item);
  // The 0-based list position of the first entry of the category of popup
  // item `item`; nothing stored when there is none.
  void NbIma_inCat(plat::tb::ControlRef category, int16_t* position, int16_t item);
  // 1 when an entry of the list file has the name. The length-prefixed name
  // becomes zero-terminated text in place.
  int16_t CheckNamInList(unsigned char* name);
  // 1 when the image is where its path says, in the maker's category
  // folder or below its "Vellmarkstead" folder (the path then names that
  // folder); 0 when nowhere.
  int16_t ImaExist(unsigned char* path, char* category, unsigned char* name);
  // One page of thumbnails of the selected category from `first` (-1: from
  // its first image; the page last drawn: nothing to do) into the slots,
  // image records and boxes of the owner.
  void UpdatePreviews(plat::tb::ControlRef category, int16_t first, TSSeff* slotRecords,
                      SprayPar* images, VMKimabox** boxes);
  // The n-th (0-based) image of the selected category with a thumbnail;
  // `out` untouched when there is none.
  void GetFichInList(plat::tb::ControlRef category, int16_t n, fichier* out);

  // ---- fields, in order ----
  fichier listFile;        // 'hLst'
  fichier bufFile;         // 'hLbf'
  int16_t firstVisible = 0;       // header word 1
  int16_t entriesInCategory = 0;  // header word 2
  int16_t categoryCount = 0;      // header word 3
  int16_t entryCount = 0;         // header word 4, N
  int16_t selectedCategory = 1;   // header word 0
  uint8_t reserved[kImaListReservedSize] = {};
  int16_t slotCount = 0;
  int16_t lastDrawnFirst = -1;
  int16_t shownOnPage = 0;
  int16_t pageSize = 0;

 private:
  bool NameFiles();
  ImaListHeader Header() const;
  std::string SelectedCategoryText(plat::tb::ControlRef category) const;
};
