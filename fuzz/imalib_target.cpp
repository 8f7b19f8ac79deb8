// Fuzz target: the image library's list file (ReadImaListFile, ReadImaListHeader) and
// thumbnail file (ImaThumbReader), as the library keeper reads them. The first byte of an
// input picks the file (even: list, odd: thumbnails); the rest is the file.
//
// Promises besides the sanitizers': a reader never writes, so a refused file is still the
// same bytes afterwards (the keeper then rebuilds or ignores it); an accepted list file
// written back by the library's writer gives the same bytes; an accepted thumbnail entry
// encodes to the bytes it was read from, with a size that fits the block.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "app/image_library_files.h"
#include "fuzz/fuzz_support.h"

namespace vmkfuzz {
namespace {

bool gReady = false;
fichier gList, gThumbs;

void Ready() {
  if (gReady) return;
  gReady = true;
  const std::string lib = File("Vellmarkstead");
  std::filesystem::create_directories(lib);
  if (!SetFicFromPosix(&gPer->makersFolder, lib) ||
      !ImaLibraryFile(kImaListFileName, kImaListType, &gList) ||
      !ImaLibraryFile(kImaThumbFileName, kImaThumbType, &gThumbs))
    Violation("harness: library files");
}

ImaListEntry Entry(const char* cat, const char* name, int32_t w, int32_t h) {
  ImaListEntry e;
  MakeImaEntry(cat, name, "vol:Vellmarkstead:Images:", FourCC("TIFF"), &e);
  e.width = w;
  e.height = h;
  return e;
}

std::vector<Bytes> ImaSeeds() {
  std::vector<Bytes> out;
  // Lists: empty, three entries in two categories, a selected category and page.
  for (int n : {0, 3, 40}) {
    ImaList list;
    for (int i = 0; i < n; ++i)
      list.entries.push_back(Entry(i % 2 == 0 ? "Images" : "Tiles1",
                                   ("p" + std::to_string(i) + ".tif").c_str(), 0, 0));
    list.categories = BuildImaCategories(list.entries);
    list.header.selectedCategory = static_cast<int16_t>(n > 0 ? 2 : 1);
    list.header.firstVisible = static_cast<int16_t>(n / 2);
    Bytes b = EncodeImaList(list);
    b.insert(b.begin(), 0);
    out.push_back(std::move(b));
  }
  // Thumbnails: one and two records, the second with a partial tail.
  for (int n : {1, 2}) {
    Bytes b(1, 1);
    std::vector<uint8_t> px(kImaThumbBytes, 0x40);
    std::vector<uint8_t> rec(kImaThumbRecordSize);
    for (int j = 0; j < n; ++j) {
      EncodeImaThumbRecord(Entry("Images", "t.tif", 130, 65 + j), px.data(), rec.data());
      b.insert(b.end(), rec.begin(), rec.end());
    }
    if (n == 2) b.insert(b.end(), rec.begin(), rec.begin() + 700);
    out.push_back(std::move(b));
  }
  return out;
}

void ListOne(const uint8_t* data, size_t size) {
  const std::string path = FicToPosix(gList);
  PutFile(path, data, size);
  ImaList list;
  list.header.entryCount = -9;
  const int16_t r = ReadImaListFile(gList, &list);
  ImaListHeader h;
  const int16_t rh = ReadImaListHeader(gList, &h);
  if (GetFile(path) != Bytes(data, data + size)) Violation("a list reader wrote its file");
  if (r != 0) {
    if (list.header.entryCount != -9) Violation("a refused list changed the caller's list");
    if (rh == 0 && ParseImaList(data, size, &list) == 0) Violation("header and list disagree");
    RefusedChecked();
    return;
  }
  Accepted();
  if (rh != 0) Violation("an accepted list with a refused header");
  int16_t sel = 0, first = 0;
  ImaListCorrected(list.header, &sel, &first);
  if (sel < 1 || sel > list.header.categoryCount || first < 0) Violation("corrected words");
  if (EncodeImaList(list) != Bytes(data, data + size)) Violation("list round trip");
  if (WriteImaListFile(gList, list) != 0 || GetFile(path) != Bytes(data, data + size))
    Violation("list written back differs");
}

void ThumbOne(const uint8_t* data, size_t size) {
  const std::string path = FicToPosix(gThumbs);
  PutFile(path, data, size);
  ImaThumbReader r;
  if (!r.Open(gThumbs)) Violation("thumbnail file did not open");
  if (int64_t{r.RecordCount()} * kImaThumbRecordSize > static_cast<int64_t>(size))
    Violation("records beyond the file");
  std::vector<uint8_t> px(kImaThumbBytes);
  uint8_t enc[kImaEntrySize];
  for (int32_t j = 0; j <= r.RecordCount(); ++j) {
    ImaListEntry e;
    if (!r.Entry(j, &e)) {
      RefusedChecked();
      continue;
    }
    Accepted();
    if (j == r.RecordCount()) Violation("an entry past the last whole record");
    if (e.width < 0 || e.width > kImaThumbSide || e.height < 0 || e.height > kImaThumbSide)
      Violation("thumbnail size outside the block");
    EncodeImaEntry(e, enc);
    if (std::memcmp(enc, data + static_cast<size_t>(j) * kImaThumbRecordSize, kImaEntrySize) != 0)
      Violation("thumbnail entry round trip");
    if (!r.Pixels(j, px.data())) Violation("pixels of a whole record");
  }
  if (GetFile(path) != Bytes(data, data + size)) Violation("the thumbnail reader wrote its file");
}

void ImaOne(const uint8_t* data, size_t size) {
  Ready();
  if (size < 1) return;
  if ((data[0] & 1) == 0)
    ListOne(data + 1, size - 1);
  else
    ThumbOne(data + 1, size - 1);
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"imalib", ImaSeeds, ImaOne};
  return family;
}

}  // namespace vmkfuzz
