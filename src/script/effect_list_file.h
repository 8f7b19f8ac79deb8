// The effect-list file (".lst", type 'hLst'): a catalogue of the stored effect files of one
// family (or of the colour ramps) in the maker's folder, so that the browsers fill their
// category and name popups without opening every stored file.
//
// Layout, every 16-bit word little-endian whatever the host:
//   0   five words: selected category (1-based popup item), first visible entry of that
//       category (from 0), entries of the selected category as last counted, category
//       count C (with "ALL"), entry count N;
//   10  N entries of 1020 bytes: category (255 bytes, zero-terminated), second text
//       (255, zero-terminated), folder path (255, length-prefixed colon path ending in
//       ':'), file name (255, length-prefixed, at most 63 characters, then zeros);
//   10 + 1020 N   C category records of 257 bytes: a 16-bit count, then a 255-byte
//       zero-terminated name. Record 0 is "ALL"; the others follow in the order their
//       category first occurs among the entries.
//
// The reader trusts nothing: counts and offsets are checked against the file's size, every
// text must end inside its field, and one bad field refuses the whole file, which the
// browsers then treat as a file that cannot be opened (and rebuild). The writer writes a
// new file beside the old one and renames it into place, so a failed write leaves the old
// list as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/core/file_records.h"

namespace efflist {

inline constexpr size_t kHeaderSize = 10;
inline constexpr size_t kFieldSize = 255;
inline constexpr size_t kEntrySize = 4 * kFieldSize;  // 1020
inline constexpr size_t kCategorySize = 2 + kFieldSize;  // 257
inline constexpr size_t kMaxTextLength = kFieldSize - 1;  // room for the ending zero
inline constexpr size_t kMaxNameLength = 63;
// The most stored files one list catalogues.
inline constexpr int32_t kMaxEntries = 30000;
inline constexpr const char* kAllCategory = "ALL";
inline constexpr OSType kListType = FourCC("hLst");
inline constexpr OSType kListCreator = FourCC("vMkC");

struct Header {
  int16_t selectedCategory = 1;
  int16_t firstVisible = 0;
  int16_t categoryEntries = 0;
  int16_t categoryCount = 0;
  int16_t entryCount = 0;
};

struct Entry {
  std::string category;
  std::string second;
  std::string folder;  // colon path of the folder that holds the stored file
  std::string name;    // the stored file's name
};

struct Category {
  int16_t count = 0;
  std::string name;
};

struct ListFile {
  Header header;
  std::vector<Entry> entries;
  std::vector<Category> categories;
};

// One row of the table of list files: the family (mode 0) or the colour ramps (mode 1),
// the list file's name in the maker's folder and the type of the stored files it lists.
struct ListKind {
  int16_t mode;
  int16_t family;  // 0 for the colour ramps
  const char* fileName;
  OSType listed;
};

// Every row: the eleven effect families, then the colour ramps.
std::span<const ListKind> ListKinds();
// The row of a family in mode 0 or of the ramps in mode 1 (family ignored); null for a
// family without a list.
const ListKind* ListKindFor(int16_t mode, int16_t family);

// True when the entry can be stored: texts of at most 254 characters, a folder path of at
// most 254 and a file name of 1 to 63.
bool EntryFits(const Entry& entry);
// The category records of a list of entries: "ALL" first with 1 + one per entry, then each
// category (compared exactly, case counting) in order of first occurrence with one per
// entry. An entry filed under "ALL" makes no category of its own.
std::vector<Category> BuildCategories(std::span<const Entry> entries);
// The entries of category `name` in file order ("ALL": every entry), as indices.
std::vector<int32_t> EntriesOfCategory(const ListFile& list, const std::string& name);

// The bytes of a list: the header's first three words as given; the entries that fit (at
// most kMaxEntries, the others left out and not counted, so that what is written always
// reads back); the category records built from those entries, whatever `list.categories`
// holds; words 3 and 4 counting what was written.
std::vector<uint8_t> EncodeList(const ListFile& list);
// Reads a whole list from bytes; -1, `out` untouched, when anything is out of place.
int32_t DecodeList(const uint8_t* data, size_t size, ListFile* out);

// The list file of the record: 0 and `out` filled, or -1 when it is missing, unreadable or
// damaged.
int32_t ReadListFile(const fichier& file, ListFile* out);
// Writes the whole list as a new file under the record's name (type 'hLst', creator
// 'vMkC'); -1 and the old file unchanged when it cannot be written.
int32_t WriteListFile(const fichier& file, const ListFile& list);
// Rewrites header words 0 and 1 of an existing list in place; -1 when the file cannot be
// opened or written.
int32_t WriteListPosition(const fichier& file, int16_t selectedCategory, int16_t firstVisible);

// The compose-effect chooser's slot file: the stored file records of its slots, one after
// another, kFicStoredSize bytes each (little-endian). Reads them in turn into `slots`: a
// record the file does not hold whole ends the read, leaving its slot and the later ones as
// they were; a record whose name or path cannot be a stored effect's empties its slot. The
// file's close result, or -1 when it cannot be opened.
int16_t ReadSlotRecords(const fichier& file, std::span<fichier* const> slots);
// Writes the slots' records in that form, stopping at the first that cannot be written;
// the close result, or -1 when the file cannot be opened.
int16_t WriteSlotRecords(const fichier& file, std::span<const fichier* const> slots);

}  // namespace efflist
