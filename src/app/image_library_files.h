// The image library's two files, as bytes: the list file (a header, one
// entry per image of the maker's folder, then the category table) and the
// thumbnail file (one entry and a 130 x 130 picture per image that could be
// loaded). Both are little-endian on every host and hold no pointers.
//
//   list file        0  s16 selected category (1-based, 1 = "ALL")
//                    2  s16 first visible (0-based)
//                    4  s16 entries in the selected category
//                    6  s16 category count C, "ALL" included
//                    8  s16 entry count N
//                   10  572 reserved bytes (zeros)
//    582 + 1032 i       entry i
//    582 + 1032 N + 257 k  category record k: s16 count, 255 bytes of text
//
//   entry (1032)     0  category, zero-terminated text in 255 bytes
//                  255  file name, length-prefixed in 255 bytes
//                  510  folder path (colon form, closing colon), same
//                  765  file name again, same
//                 1020  file type, four characters in reading order
//                 1024  s32 thumbnail width (0 in the list file)
//                 1028  s32 thumbnail height (0 in the list file)
//
//   thumbnail record j at 68632 j: an entry, then 130 rows of 130 pixels of
//   R, G, B and a fourth byte, bottom row first; the picture fills the
//   first `height` rows and `width` columns, the rest is zeros.
//
// A reader trusts nothing it reads: a list file is taken only when its size
// is exactly what its counts say and every text ends inside its field; a
// thumbnail record is taken only when it is whole and its size fits the
// block. A list file it took is written back byte for byte as it was read.
// Files are written whole into a temporary file and renamed into place only
// when every byte got there, so a failed or abandoned rebuild leaves the old
// file as it was.
//
// Also here, because it needs no window: the scan passes that collect the
// library's images, the category table, the three places an image is looked
// for, and the thumbnail builder (decoding on the shared threads).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/core/file_records.h"
#include "platform/types/mac_types.h"

inline constexpr int32_t kImaListHeaderSize = 582;
inline constexpr int32_t kImaListReservedSize = 572;
inline constexpr int32_t kImaEntrySize = 1032;
inline constexpr int32_t kImaCategorySize = 257;
inline constexpr int32_t kImaTextField = 255;
inline constexpr int32_t kImaMaxNameLength = 63;
inline constexpr int32_t kImaMaxPathLength = 254;
inline constexpr int32_t kImaMaxEntries = 32767;
inline constexpr int32_t kImaThumbSide = 130;
inline constexpr int32_t kImaThumbBytes = kImaThumbSide * kImaThumbSide * 4;  // 67600
inline constexpr int32_t kImaThumbRecordSize = kImaEntrySize + kImaThumbBytes;  // 68632
// Files one scan pass lists at most (the pass's scratch block holds that
// many 70-byte file specifications).
inline constexpr int32_t kImaPassLimit = 30000;
inline constexpr int32_t kImaPassSpecSize = 70;
inline constexpr int32_t kImaPassBufferSize = 2100000;

inline constexpr const char* kImaListFileName = ":com.vellmarkstead.pspImaLst.lst";
inline constexpr const char* kImaThumbFileName = ":com.vellmarkstead.pspImaBuf.lst";
inline constexpr OSType kImaLibraryCreator = FourCC("vMkC");
inline constexpr OSType kImaListType = FourCC("hLst");
inline constexpr OSType kImaThumbType = FourCC("hLbf");

// Header words 0 to 4 and the reserved block.
struct ImaListHeader {
  int16_t selectedCategory = 1;
  int16_t firstVisible = 0;
  int16_t entriesInCategory = 0;
  int16_t categoryCount = 0;
  int16_t entryCount = 0;
  std::array<uint8_t, kImaListReservedSize> reserved{};
};

// One entry. The text fields keep all 255 stored bytes, so that what follows
// a text's end survives a read and a write.
struct ImaListEntry {
  std::array<char, kImaTextField> category{};          // zero-terminated
  std::array<unsigned char, kImaTextField> name{};     // length-prefixed
  std::array<unsigned char, kImaTextField> path{};     // length-prefixed
  std::array<unsigned char, kImaTextField> name2{};    // length-prefixed
  OSType type = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct ImaCategory {
  int16_t count = 0;
  std::array<char, kImaTextField> name{};  // zero-terminated
};

struct ImaList {
  ImaListHeader header;
  std::vector<ImaListEntry> entries;
  std::vector<ImaCategory> categories;
};

// ---- fields ----

// The entry's texts as C++ strings (a field without its end reads as empty).
std::string ImaCategoryText(const ImaListEntry& e);
std::string ImaNameText(const ImaListEntry& e);
std::string ImaPathText(const ImaListEntry& e);
std::string ImaCategoryName(const ImaCategory& c);
// Fills an entry: category, name twice, folder path, type; sizes 0. False
// (entry untouched) when the name is longer than 63 characters, the path
// than 254 or the category than 254.
bool MakeImaEntry(std::string_view category, std::string_view name, std::string_view path,
                  OSType type, ImaListEntry* e);
void SetImaCategoryName(ImaCategory* c, std::string_view name);

// ---- byte forms ----

void EncodeImaListHeader(const ImaListHeader& h, uint8_t* out);  // 582 bytes
void DecodeImaListHeader(const uint8_t* in, ImaListHeader* h);
void EncodeImaEntry(const ImaListEntry& e, uint8_t* out);  // 1032 bytes
// False (entry untouched) when a text has no end inside its field, a length
// byte exceeds 254 or a name 63.
bool DecodeImaEntry(const uint8_t* in, ImaListEntry* e);
void EncodeImaCategory(const ImaCategory& c, uint8_t* out);  // 257 bytes
bool DecodeImaCategory(const uint8_t* in, ImaCategory* c);

// The bytes a list file of `list` holds; words 3 and 4 are the table's and
// the entries' counts.
std::vector<uint8_t> EncodeImaList(const ImaList& list);
// The size a list file with these counts has: 582 + 1032 N + 257 C.
int64_t ImaListFileSize(int32_t entries, int32_t categories);
// Takes a whole list file. 0, or -1 with *list untouched when the size is not
// exactly what the counts say, C is below 1, N outside 0..32767 or a text
// of an entry or a category has no end in its field. The selected category
// and first visible are taken as stored: ImaListCorrected tells the values
// to use.
int16_t ParseImaList(const uint8_t* data, size_t size, ImaList* list);
// Header words 0 and 1 as they may be used: a category outside 1..C is 1, a
// negative first visible is 0 (both are written in place by a page redraw,
// so a torn write must not make the file useless).
void ImaListCorrected(const ImaListHeader& h, int16_t* selected, int16_t* first);

// ---- the files ----

// The record of a library file in the maker's folder of the session
// (gPer->makersFolder): its path and name followed by `fileName`, with the
// library's creator and `type`. False when there is no session or the name
// does not fit.
bool ImaLibraryFile(const char* fileName, OSType type, fichier* out);

// Reads and checks the list file; 0, or -1 (list untouched) when it is
// missing, cannot be read or is refused by ParseImaList. Nothing is read
// beyond the size its header announces.
int16_t ReadImaListFile(const fichier& file, ImaList* list);
// Header words 0 to 4 only, checked against the file's size as above.
int16_t ReadImaListHeader(const fichier& file, ImaListHeader* h);
// Writes the whole file through a temporary file; 0, or -1 with the old file
// as it was.
int16_t WriteImaListFile(const fichier& file, const ImaList& list);
// Sets header words 0 and 1 (4 bytes), writing the whole file through a
// temporary file; -1, with the file as it was, when it is missing or does
// not read as a list (ReadImaListFile) or cannot be replaced.
int16_t WriteImaListHeaderWords(const fichier& file, int16_t selected, int16_t first);

// A thumbnail file opened for reading: the whole records it holds, each
// checked when it is read.
class ImaThumbReader {
 public:
  ImaThumbReader() = default;
  ~ImaThumbReader();
  ImaThumbReader(const ImaThumbReader&) = delete;
  ImaThumbReader& operator=(const ImaThumbReader&) = delete;

  // False when the file cannot be opened.
  bool Open(const fichier& file);
  // Whole records in the file (a partial last one does not count).
  int32_t RecordCount() const { return records_; }
  // The entry of record j; false when it cannot be read or is refused (a
  // text without its end, a width or height outside 0..130).
  bool Entry(int32_t j, ImaListEntry* e);
  // The 67600 picture bytes of record j; false when they cannot be read.
  bool Pixels(int32_t j, uint8_t* out);

 private:
  int fd_ = -1;
  int32_t records_ = 0;
};

// One thumbnail record's bytes (68632): the entry, then the block.
void EncodeImaThumbRecord(const ImaListEntry& e, const uint8_t* pixels, uint8_t* out);
// The thumbnail size of a w x h picture: the longer side 130, the other
// scaled with integer division (a 1 x 1000 picture gives 0 x 130).
void ImaThumbSize(int32_t w, int32_t h, int32_t* tw, int32_t* th);

// ---- building ----

// Finding a listed image: the folder the entry names, then the maker's
// folder's category folder (gappData->folder's path + category), then
// "Vellmarkstead" below the maker's folder (gPer->makersFolder's path and
// name + ":Vellmarkstead:" + category). 1 when one holds the file; for the
// second and third probe `path` (length-prefixed, the folder with its
// closing colon) becomes that probe's folder. 0 when none does.
int16_t ImaFindImage(unsigned char* path, const char* category, const unsigned char* name);

// The seven scan passes in their order: file type 'TIFF', extension ".tif",
// 'JPEG', ".jpg", '8BPS', '8BIM', ".psd"; an extension pass lists the type of
// the type pass before it.
struct ImaScanPass {
  OSType type;      // the type matched, 0 for an extension pass
  const char* ext;  // the end of the name matched, null for a type pass
  OSType listed;    // the type written into the entries
};
const std::array<ImaScanPass, 7>& ImaScanPasses();

// One pass over the folder tree below `folderPosix`: every regular file that
// matches, in name order, depth first, links not followed, same names of
// different folders all kept, at most kImaPassLimit. Each file goes into
// `specs` as a 70-byte record (16-bit volume, 32-bit folder identifier,
// name of at most 63 characters, length-prefixed in 64 bytes); a file whose
// name is longer than 63 characters or whose folder has no colon path of at
// most 254 characters is passed over. The number of records written.
int32_t ImaScanFolder(const std::string& folderPosix, const ImaScanPass& pass, uint8_t* specs,
                      int32_t capacity);
// The entry of one 70-byte record of a pass: category = the last folder
// name of its folder's path, the pass's listed type. False when its folder
// is unknown.
bool ImaEntryFromSpec(const uint8_t* spec, OSType listed, ImaListEntry* e);

// One whole pass: scans into `specs`, drops every file whose name an earlier
// pass listed (`listed`; files of one pass that share a name are all kept),
// and appends the rest to `entries`, which stop at 32767. The names this
// pass added join `listed` afterwards. The number of entries appended.
int32_t ImaAppendPass(const std::string& folderPosix, const ImaScanPass& pass, uint8_t* specs,
                      int32_t capacity, std::unordered_set<std::string>* listed,
                      std::vector<ImaListEntry>* entries);

// The category table of the entries: "ALL" with N + 1, then each category
// in order of first appearance with its count.
std::vector<ImaCategory> BuildImaCategories(const std::vector<ImaListEntry>& entries);

// Builds the thumbnail file for the list's entries through a temporary
// file: each image that ImaFindImage finds and the image readers take gets a
// record (its folder path as found), in list order. Decoding runs on the
// shared threads in batches; `between` runs on the calling thread after
// each batch (the progress window's turn). 0; -1 (no memory, no name) or
// kImaNotWritten (the folder would not take the file) with the old file as
// it was.
inline constexpr int16_t kImaNotWritten = -2;
int16_t BuildImaThumbFile(const fichier& file, const std::vector<ImaListEntry>& entries,
                          const std::function<void()>& between);
