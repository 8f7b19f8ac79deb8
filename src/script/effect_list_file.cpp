#include "script/effect_list_file.h"

#include <array>
#include <cstring>
#include <limits>

#include "app/file_access.h"
#include "platform/files/file_io.h"
#include "platform/files/file_types.h"
#include "platform/bytes/byte_order.h"

namespace efflist {

namespace {

using plat::bytes::loadLE16;
using plat::bytes::storeLE16;

constexpr std::array<ListKind, 12> kKinds{{
    {0, 41, ":com.vellmarkstead.effrep.lst", FourCC("aCH5")},
    {0, 42, ":com.vellmarkstead.effwea.lst", FourCC("aCH7")},
    {0, 58, ":com.vellmarkstead.effqtss.lst", FourCC("aC15")},
    {0, 92, ":com.vellmarkstead.effwyv.lst", FourCC("aCH3")},
    {0, 100, ":com.vellmarkstead.efffr.lst", FourCC("aC20")},
    {0, 106, ":com.vellmarkstead.effbor.lst", FourCC("aC27")},
    {0, 114, ":com.vellmarkstead.effhdn.lst", FourCC("aCH4")},
    {0, 115, ":com.vellmarkstead.effsnv.lst", FourCC("aC12")},
    {0, 116, ":com.vellmarkstead.effbrm.lst", FourCC("aC10")},
    {0, 117, ":com.vellmarkstead.pspeff.lst", FourCC("aCH1")},
    {0, 118, ":com.vellmarkstead.efftool.lst", FourCC("aC28")},
    {1, 0, ":com.vellmarkstead.vmkvign.lst", FourCC("hVig")},
}};

// A zero-terminated text that must end inside its field.
bool ReadCText(const uint8_t* field, std::string* out) {
  const void* end = std::memchr(field, 0, kFieldSize);
  if (end == nullptr) return false;
  out->assign(reinterpret_cast<const char*>(field),
              static_cast<size_t>(static_cast<const uint8_t*>(end) - field));
  return true;
}

// A length-prefixed text of at most `maxLength` characters.
bool ReadPText(const uint8_t* field, size_t maxLength, std::string* out) {
  const size_t length = field[0];
  if (length > maxLength) return false;
  out->assign(reinterpret_cast<const char*>(field + 1), length);
  return true;
}

void PutCText(uint8_t* field, const std::string& text) {
  std::memcpy(field, text.data(), text.size());  // the rest of the field stays zero
}

void PutPText(uint8_t* field, const std::string& text) {
  field[0] = static_cast<uint8_t>(text.size());
  std::memcpy(field + 1, text.data(), text.size());
}

void PutWord(uint8_t* at, int16_t value) { storeLE16(at, static_cast<uint16_t>(value)); }
int16_t GetWord(const uint8_t* at) { return static_cast<int16_t>(loadLE16(at)); }

bool DecodeEntry(const uint8_t* p, Entry* e) {
  return ReadCText(p, &e->category) && ReadCText(p + kFieldSize, &e->second) &&
         ReadPText(p + 2 * kFieldSize, kMaxTextLength, &e->folder) &&
         ReadPText(p + 3 * kFieldSize, kMaxNameLength, &e->name) && !e->name.empty();
}

std::vector<Entry> StorableEntries(const ListFile& list) {
  std::vector<Entry> kept;
  for (const Entry& e : list.entries) {
    if (kept.size() >= static_cast<size_t>(kMaxEntries)) break;
    if (EntryFits(e)) kept.push_back(e);
  }
  return kept;
}

}  // namespace

std::span<const ListKind> ListKinds() { return kKinds; }

const ListKind* ListKindFor(int16_t mode, int16_t family) {
  for (const ListKind& k : kKinds) {
    if (mode == 1 && k.mode == 1) return &k;
    if (mode == 0 && k.mode == 0 && k.family == family) return &k;
  }
  return nullptr;
}

bool EntryFits(const Entry& e) {
  return e.category.size() <= kMaxTextLength && e.second.size() <= kMaxTextLength &&
         e.folder.size() <= kMaxTextLength && !e.name.empty() &&
         e.name.size() <= kMaxNameLength &&
         e.category.find('\0') == std::string::npos && e.second.find('\0') == std::string::npos;
}

std::vector<Category> BuildCategories(std::span<const Entry> entries) {
  std::vector<Category> out{{1, kAllCategory}};
  for (const Entry& e : entries) {
    ++out[0].count;
    // The comparison is exact on purpose: "all" or "All" is a category of its own, and an
    // entry filed under "ALL" is counted there once and makes no category.
    if (e.category == kAllCategory) continue;
    bool found = false;
    for (size_t k = 1; k < out.size() && !found; ++k) {
      if (out[k].name == e.category) {
        if (out[k].count < std::numeric_limits<int16_t>::max()) ++out[k].count;
        found = true;
      }
    }
    if (!found) out.push_back({1, e.category});
  }
  return out;
}

std::vector<int32_t> EntriesOfCategory(const ListFile& list, const std::string& name) {
  std::vector<int32_t> out;
  const bool all = name == kAllCategory;
  for (size_t i = 0; i < list.entries.size(); ++i) {
    if (all || list.entries[i].category == name) out.push_back(static_cast<int32_t>(i));
  }
  return out;
}

std::vector<uint8_t> EncodeList(const ListFile& list) {
  const std::vector<Entry> copies = StorableEntries(list);
  const std::vector<Category> categories = BuildCategories(copies);
  const size_t n = copies.size();
  const size_t c = categories.size();
  std::vector<uint8_t> bytes(kHeaderSize + kEntrySize * n + kCategorySize * c, 0);
  uint8_t* p = bytes.data();
  PutWord(p, list.header.selectedCategory);
  PutWord(p + 2, list.header.firstVisible);
  PutWord(p + 4, list.header.categoryEntries);
  PutWord(p + 6, static_cast<int16_t>(c));
  PutWord(p + 8, static_cast<int16_t>(n));
  p += kHeaderSize;
  for (const Entry& e : copies) {
    PutCText(p, e.category);
    PutCText(p + kFieldSize, e.second);
    PutPText(p + 2 * kFieldSize, e.folder);
    PutPText(p + 3 * kFieldSize, e.name);  // the bytes after the name stay zero
    p += kEntrySize;
  }
  for (const Category& k : categories) {
    PutWord(p, k.count);
    PutCText(p + 2, k.name);
    p += kCategorySize;
  }
  return bytes;
}

int32_t DecodeList(const uint8_t* data, size_t size, ListFile* out) {
  if (data == nullptr || out == nullptr || size < kHeaderSize) return -1;
  ListFile list;
  list.header.selectedCategory = GetWord(data);
  list.header.firstVisible = GetWord(data + 2);
  list.header.categoryEntries = GetWord(data + 4);
  list.header.categoryCount = GetWord(data + 6);
  list.header.entryCount = GetWord(data + 8);
  const int32_t n = list.header.entryCount;
  const int32_t c = list.header.categoryCount;
  // Every list has its "ALL" record; the size must be exactly what the counts say.
  if (n < 0 || c < 1) return -1;
  if (size != kHeaderSize + kEntrySize * static_cast<size_t>(n) +
                  kCategorySize * static_cast<size_t>(c)) {
    return -1;
  }
  list.entries.resize(static_cast<size_t>(n));
  const uint8_t* p = data + kHeaderSize;
  for (Entry& e : list.entries) {
    if (!DecodeEntry(p, &e)) return -1;
    p += kEntrySize;
  }
  list.categories.resize(static_cast<size_t>(c));
  for (Category& k : list.categories) {
    k.count = GetWord(p);
    if (!ReadCText(p + 2, &k.name)) return -1;
    p += kCategorySize;
  }
  if (list.categories[0].name != kAllCategory) return -1;
  *out = std::move(list);
  return 0;
}

int32_t ReadListFile(const fichier& file, ListFile* out) {
  File_kern f(&file);
  if (f.S_open(1) != 0) return -1;
  int32_t size = 0;
  std::vector<uint8_t> bytes;
  bool read = f.S_getEOF(&size) == 0 && size >= 0;
  if (read) {
    bytes.resize(static_cast<size_t>(size));
    read = size == 0 || f.S_read(bytes.data(), 0, size) == 0;
  }
  f.S_close();
  if (!read) return -1;
  return DecodeList(bytes.data(), bytes.size(), out);
}

int32_t WriteListFile(const fichier& file, const ListFile& list) {
  const std::string posix = FicToPosix(file);
  if (posix.empty()) return -1;
  const std::vector<uint8_t> bytes = EncodeList(list);
  plat::files::AtomicReplace replace(posix);
  if (!replace.ok() || !replace.write(bytes.data(), bytes.size()) || !replace.commit()) return -1;
  plat::files::SetTypeCreator(posix, kListType, kListCreator);
  return 0;
}

int32_t WriteListPosition(const fichier& file, int16_t selectedCategory, int16_t firstVisible) {
  File_kern f(&file);
  if (f.S_open(1) != 0) return -1;
  uint8_t words[4];
  PutWord(words, selectedCategory);
  PutWord(words + 2, firstVisible);
  const bool written = f.S_write(words, 0, 4) == 0;
  return f.S_close() == 0 && written ? 0 : -1;
}

int16_t ReadSlotRecords(const fichier& file, std::span<fichier* const> slots) {
  File_kern kern(&file);
  if (kern.S_open(1) != 0) return -1;
  for (size_t k = 0; k < slots.size(); ++k) {
    uint8_t bytes[kFicStoredSize];
    if (kern.S_read(bytes, static_cast<int32_t>(kFicStoredSize * k), kFicStoredSize) != 0) break;
    plat::bytes::Reader r(bytes, kFicStoredSize, plat::bytes::Order::Little);
    fichier read;
    if (!Read_FicStruct(r, &read) || read.name[0] > kMaxNameLength || read.path[0] > kMaxTextLength) {
      Init_FicStruct(slots[k]);
      continue;
    }
    Copy_FicStruct(&read, slots[k]);
  }
  return kern.S_close();
}

int16_t WriteSlotRecords(const fichier& file, std::span<const fichier* const> slots) {
  File_kern kern(&file);
  if (kern.S_open(3) != 0) return -1;
  for (size_t k = 0; k < slots.size(); ++k) {
    plat::bytes::Writer w(plat::bytes::Order::Little);
    Write_FicStruct(w, *slots[k]);
    if (kern.S_write(w.bytes().data(), static_cast<int32_t>(kFicStoredSize * k), kFicStoredSize) != 0) break;
  }
  return kern.S_close();
}

}  // namespace efflist
