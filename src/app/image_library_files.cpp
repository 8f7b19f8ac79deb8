#include "app/image_library_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/image_import.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_io.h"
#include "platform/files/file_spec.h"
#include "platform/files/file_types.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"

namespace fs = std::filesystem;
namespace pf = plat::files;
namespace pb = plat::bytes;

namespace {

// Offsets inside an entry.
constexpr int32_t kCategoryAt = 0;
constexpr int32_t kNameAt = 255;
constexpr int32_t kPathAt = 510;
constexpr int32_t kName2At = 765;
constexpr int32_t kTypeAt = 1020;
constexpr int32_t kWidthAt = 1024;
constexpr int32_t kHeightAt = 1028;

bool Terminated(const char* field) {
  return std::memchr(field, 0, kImaTextField) != nullptr;
}

template <size_t N>
std::string CText(const std::array<char, N>& field) {
  const char* end = static_cast<const char*>(std::memchr(field.data(), 0, N));
  return end == nullptr ? std::string() : std::string(field.data(), end);
}

template <size_t N>
std::string PText(const std::array<unsigned char, N>& field) {
  const size_t n = std::min<size_t>(field[0], N - 1);
  return std::string(reinterpret_cast<const char*>(field.data() + 1), n);
}

template <size_t N>
void SetCText(std::array<char, N>* field, std::string_view text) {
  field->fill(0);
  std::memcpy(field->data(), text.data(), std::min(text.size(), N - 1));
}

template <size_t N>
void SetPText(std::array<unsigned char, N>* field, std::string_view text) {
  field->fill(0);
  const size_t n = std::min(text.size(), N - 1);
  (*field)[0] = static_cast<unsigned char>(n);
  std::memcpy(field->data() + 1, text.data(), n);
}

// Reads exactly `count` bytes at `position`; false on a short read.
bool ReadAt(int fd, int64_t position, void* out, size_t count) {
  auto* p = static_cast<char*>(out);
  while (count > 0) {
    const ssize_t n = ::pread(fd, p, count, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    position += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// An open file that closes itself.
struct Fd {
  int fd = -1;
  explicit Fd(const std::string& posix, int flags) {
    // Only a regular file: a FIFO in its place would hold the open for ever.
    if (!posix.empty()) fd = pf::OpenRegular(posix, flags);
  }
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  // The size of a regular file, or -1.
  int64_t Size() const {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
  }
};

// The POSIX path of an item named by a colon folder path and a name; "" when
// the folder path is not absolute.
std::string PosixOf(std::string_view folder, std::string_view name) {
  if (!pf::IsAbsoluteColonPath(folder) || name.empty()) return {};
  return pf::ColonToPosix(folder) + "/" + pf::SwapNameSeparators(name);
}

bool FileThere(std::string_view folder, std::string_view name) {
  const std::string posix = PosixOf(folder, name);
  return !posix.empty() && pf::CanOpenFile(posix);
}

}  // namespace

// ---- fields ----

std::string ImaCategoryText(const ImaListEntry& e) { return CText(e.category); }
std::string ImaNameText(const ImaListEntry& e) { return PText(e.name); }
std::string ImaPathText(const ImaListEntry& e) { return PText(e.path); }
std::string ImaCategoryName(const ImaCategory& c) { return CText(c.name); }

bool MakeImaEntry(std::string_view category, std::string_view name, std::string_view path,
                  OSType type, ImaListEntry* e) {
  if (e == nullptr || name.size() > static_cast<size_t>(kImaMaxNameLength) ||
      path.size() > static_cast<size_t>(kImaMaxPathLength) ||
      category.size() > static_cast<size_t>(kImaMaxPathLength) ||
      category.find('\0') != std::string_view::npos)
    return false;
  ImaListEntry out;
  SetCText(&out.category, category);
  SetPText(&out.name, name);
  SetPText(&out.path, path);
  SetPText(&out.name2, name);
  out.type = type;
  *e = out;
  return true;
}

void SetImaCategoryName(ImaCategory* c, std::string_view name) { SetCText(&c->name, name); }

// ---- byte forms ----

void EncodeImaListHeader(const ImaListHeader& h, uint8_t* out) {
  const int16_t words[5] = {h.selectedCategory, h.firstVisible, h.entriesInCategory,
                            h.categoryCount, h.entryCount};
  for (int k = 0; k < 5; ++k) pb::storeLE16(out + 2 * k, static_cast<uint16_t>(words[k]));
  std::memcpy(out + 10, h.reserved.data(), kImaListReservedSize);
}

void DecodeImaListHeader(const uint8_t* in, ImaListHeader* h) {
  h->selectedCategory = static_cast<int16_t>(pb::loadLE16(in));
  h->firstVisible = static_cast<int16_t>(pb::loadLE16(in + 2));
  h->entriesInCategory = static_cast<int16_t>(pb::loadLE16(in + 4));
  h->categoryCount = static_cast<int16_t>(pb::loadLE16(in + 6));
  h->entryCount = static_cast<int16_t>(pb::loadLE16(in + 8));
  std::memcpy(h->reserved.data(), in + 10, kImaListReservedSize);
}

void EncodeImaEntry(const ImaListEntry& e, uint8_t* out) {
  std::memcpy(out + kCategoryAt, e.category.data(), kImaTextField);
  std::memcpy(out + kNameAt, e.name.data(), kImaTextField);
  std::memcpy(out + kPathAt, e.path.data(), kImaTextField);
  std::memcpy(out + kName2At, e.name2.data(), kImaTextField);
  // The type keeps its reading order ('TIFF' is stored "TIFF").
  pb::storeBE32(out + kTypeAt, e.type);
  pb::storeLE32(out + kWidthAt, static_cast<uint32_t>(e.width));
  pb::storeLE32(out + kHeightAt, static_cast<uint32_t>(e.height));
}

bool DecodeImaEntry(const uint8_t* in, ImaListEntry* e) {
  if (!Terminated(reinterpret_cast<const char*>(in + kCategoryAt))) return false;
  if (in[kNameAt] > kImaMaxNameLength || in[kName2At] > kImaMaxNameLength ||
      in[kPathAt] > kImaMaxPathLength)
    return false;
  ImaListEntry out;
  std::memcpy(out.category.data(), in + kCategoryAt, kImaTextField);
  std::memcpy(out.name.data(), in + kNameAt, kImaTextField);
  std::memcpy(out.path.data(), in + kPathAt, kImaTextField);
  std::memcpy(out.name2.data(), in + kName2At, kImaTextField);
  out.type = pb::loadBE32(in + kTypeAt);
  out.width = static_cast<int32_t>(pb::loadLE32(in + kWidthAt));
  out.height = static_cast<int32_t>(pb::loadLE32(in + kHeightAt));
  *e = out;
  return true;
}

void EncodeImaCategory(const ImaCategory& c, uint8_t* out) {
  pb::storeLE16(out, static_cast<uint16_t>(c.count));
  std::memcpy(out + 2, c.name.data(), kImaTextField);
}

bool DecodeImaCategory(const uint8_t* in, ImaCategory* c) {
  if (!Terminated(reinterpret_cast<const char*>(in + 2))) return false;
  c->count = static_cast<int16_t>(pb::loadLE16(in));
  std::memcpy(c->name.data(), in + 2, kImaTextField);
  return true;
}

int64_t ImaListFileSize(int32_t entries, int32_t categories) {
  return kImaListHeaderSize + int64_t{kImaEntrySize} * entries +
         int64_t{kImaCategorySize} * categories;
}

std::vector<uint8_t> EncodeImaList(const ImaList& list) {
  const auto n = static_cast<int32_t>(list.entries.size());
  const auto c = static_cast<int32_t>(list.categories.size());
  std::vector<uint8_t> out(static_cast<size_t>(ImaListFileSize(n, c)));
  ImaListHeader h = list.header;
  h.entryCount = static_cast<int16_t>(n);
  h.categoryCount = static_cast<int16_t>(c);
  EncodeImaListHeader(h, out.data());
  uint8_t* p = out.data() + kImaListHeaderSize;
  for (const ImaListEntry& e : list.entries) {
    EncodeImaEntry(e, p);
    p += kImaEntrySize;
  }
  for (const ImaCategory& k : list.categories) {
    EncodeImaCategory(k, p);
    p += kImaCategorySize;
  }
  return out;
}

namespace {

// The counts of a header, when they can describe a file at all.
bool CountsUsable(const ImaListHeader& h) {
  return h.categoryCount >= 1 && h.entryCount >= 0 && h.entryCount <= kImaMaxEntries;
}

}  // namespace

int16_t ParseImaList(const uint8_t* data, size_t size, ImaList* list) {
  if (data == nullptr || list == nullptr || size < static_cast<size_t>(kImaListHeaderSize)) return -1;
  ImaList out;
  DecodeImaListHeader(data, &out.header);
  if (!CountsUsable(out.header)) return -1;
  const int32_t n = out.header.entryCount, c = out.header.categoryCount;
  if (static_cast<int64_t>(size) != ImaListFileSize(n, c)) return -1;
  out.entries.resize(static_cast<size_t>(n));
  const uint8_t* p = data + kImaListHeaderSize;
  for (ImaListEntry& e : out.entries) {
    if (!DecodeImaEntry(p, &e)) return -1;
    p += kImaEntrySize;
  }
  out.categories.resize(static_cast<size_t>(c));
  for (ImaCategory& k : out.categories) {
    if (!DecodeImaCategory(p, &k)) return -1;
    p += kImaCategorySize;
  }
  *list = std::move(out);
  return 0;
}

void ImaListCorrected(const ImaListHeader& h, int16_t* selected, int16_t* first) {
  if (selected != nullptr)
    *selected = h.selectedCategory >= 1 && h.selectedCategory <= h.categoryCount
                    ? h.selectedCategory
                    : int16_t{1};
  if (first != nullptr) *first = h.firstVisible >= 0 ? h.firstVisible : int16_t{0};
}

// ---- the files ----

bool ImaLibraryFile(const char* fileName, OSType type, fichier* out) {
  if (gPer == nullptr || out == nullptr) return false;
  const fichier& makers = gPer->makersFolder;
  std::string full = PStrString(makers.path);
  full += PStrView(makers.name);
  full += fileName;
  if (full.size() > 255 || !pf::IsAbsoluteColonPath(full)) return false;
  fichier f;
  Copy_FicStruct(&makers, &f);
  Str255 pfull;
  SetPStr(pfull, full);
  (void)FSMakeFSSpec(0, 0, pfull, &f);
  BuildVName(&f, f.path, &f.parent, 1);
  f.creator = kImaLibraryCreator;
  f.type = type;
  if (FicToPosix(f).empty()) return false;
  *out = f;
  return true;
}

namespace {

// The list's header, checked against the file's size before anything is
// allocated for its counts; with `bytes`, the whole file too.
int16_t ReadCheckedList(const fichier& file, ImaListHeader* h, std::vector<uint8_t>* bytes) {
  Fd f(FicToPosix(file), O_RDONLY);
  const int64_t size = f.Size();
  if (size < kImaListHeaderSize) return -1;
  uint8_t head[kImaListHeaderSize];
  if (!ReadAt(f.fd, 0, head, sizeof head)) return -1;
  ImaListHeader out;
  DecodeImaListHeader(head, &out);
  if (!CountsUsable(out) || size != ImaListFileSize(out.entryCount, out.categoryCount)) return -1;
  if (bytes != nullptr) {
    bytes->resize(static_cast<size_t>(size));
    if (!ReadAt(f.fd, 0, bytes->data(), bytes->size())) return -1;
  }
  if (h != nullptr) *h = out;
  return 0;
}

}  // namespace

int16_t ReadImaListHeader(const fichier& file, ImaListHeader* h) {
  if (h == nullptr) return -1;
  return ReadCheckedList(file, h, nullptr);
}

int16_t ReadImaListFile(const fichier& file, ImaList* list) {
  std::vector<uint8_t> bytes;
  if (list == nullptr || ReadCheckedList(file, nullptr, &bytes) != 0) return -1;
  return ParseImaList(bytes.data(), bytes.size(), list);
}

namespace {

int16_t WriteWhole(const fichier& file, const std::vector<uint8_t>& bytes) {
  const std::string posix = FicToPosix(file);
  if (posix.empty()) return -1;
  pf::AtomicReplace out(posix);
  if (!out.ok() || !out.write(bytes.data(), bytes.size()) || !out.commit()) return -1;
  pf::SetTypeCreator(posix, file.type, file.creator);
  return 0;
}

}  // namespace

int16_t WriteImaListFile(const fichier& file, const ImaList& list) {
  if (list.entries.size() > static_cast<size_t>(kImaMaxEntries) || list.categories.empty() ||
      list.categories.size() > static_cast<size_t>(kImaMaxEntries))
    return -1;
  return WriteWhole(file, EncodeImaList(list));
}

int16_t WriteImaListHeaderWords(const fichier& file, int16_t selected, int16_t first) {
  // Only into a list that reads as one, and through a replacement of the
  // whole file: words written in place into a damaged list would change a
  // file that a declined or failed rebuild has just said was left as it
  // was, and a write cut short would tear the header.
  std::vector<uint8_t> bytes;
  ImaList list;
  if (ReadCheckedList(file, nullptr, &bytes) != 0 || ParseImaList(bytes.data(), bytes.size(), &list) != 0)
    return -1;
  pb::storeLE16(bytes.data(), static_cast<uint16_t>(selected));
  pb::storeLE16(bytes.data() + 2, static_cast<uint16_t>(first));
  return WriteWhole(file, bytes);
}

ImaThumbReader::~ImaThumbReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool ImaThumbReader::Open(const fichier& file) {
  if (fd_ >= 0) ::close(fd_);
  records_ = 0;
  const std::string posix = FicToPosix(file);
  fd_ = posix.empty() ? -1 : pf::OpenRegular(posix, O_RDONLY);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  // A partial record at the end is never read.
  records_ = static_cast<int32_t>(std::min<int64_t>(st.st_size / kImaThumbRecordSize, INT32_MAX));
  return true;
}

bool ImaThumbReader::Entry(int32_t j, ImaListEntry* e) {
  if (fd_ < 0 || j < 0 || j >= records_ || e == nullptr) return false;
  uint8_t bytes[kImaEntrySize];
  if (!ReadAt(fd_, int64_t{kImaThumbRecordSize} * j, bytes, sizeof bytes)) return false;
  ImaListEntry out;
  if (!DecodeImaEntry(bytes, &out)) return false;
  if (out.width < 0 || out.width > kImaThumbSide || out.height < 0 || out.height > kImaThumbSide)
    return false;
  *e = out;
  return true;
}

bool ImaThumbReader::Pixels(int32_t j, uint8_t* out) {
  if (fd_ < 0 || j < 0 || j >= records_ || out == nullptr) return false;
  return ReadAt(fd_, int64_t{kImaThumbRecordSize} * j + kImaEntrySize, out, kImaThumbBytes);
}

void EncodeImaThumbRecord(const ImaListEntry& e, const uint8_t* pixels, uint8_t* out) {
  EncodeImaEntry(e, out);
  if (pixels != nullptr)
    std::memcpy(out + kImaEntrySize, pixels, kImaThumbBytes);
  else
    std::memset(out + kImaEntrySize, 0, kImaThumbBytes);
}

void ImaThumbSize(int32_t w, int32_t h, int32_t* tw, int32_t* th) {
  if (w > h) {
    *tw = kImaThumbSide;
    *th = static_cast<int32_t>(int64_t{h} * kImaThumbSide / w);
  } else {
    *th = kImaThumbSide;
    *tw = h > 0 ? static_cast<int32_t>(int64_t{w} * kImaThumbSide / h) : 0;
  }
}

// ---- building ----

int16_t ImaFindImage(unsigned char* path, const char* category, const unsigned char* name) {
  if (path == nullptr || category == nullptr || name == nullptr) return 0;
  const std::string_view nm = PStrView(name);
  if (FileThere(PStrView(path), nm)) return 1;
  std::vector<std::string> probes;
  if (gappData != nullptr) probes.push_back(PStrString(gappData->folder.path) + category + ":");
  if (gPer != nullptr) {
    const fichier& makers = gPer->makersFolder;
    probes.push_back(PStrString(makers.path) + PStrString(makers.name) + ":Vellmarkstead:" +
                     category + ":");
  }
  for (const std::string& folder : probes) {
    if (folder.size() > static_cast<size_t>(kImaMaxPathLength) || !FileThere(folder, nm)) continue;
    SetPStr(path, folder);
    return 1;
  }
  return 0;
}

const std::array<ImaScanPass, 7>& ImaScanPasses() {
  static const std::array<ImaScanPass, 7> passes = {{
      {FourCC("TIFF"), nullptr, FourCC("TIFF")},
      {0, ".tif", FourCC("TIFF")},
      {FourCC("JPEG"), nullptr, FourCC("JPEG")},
      {0, ".jpg", FourCC("JPEG")},
      {FourCC("8BPS"), nullptr, FourCC("8BPS")},
      {FourCC("8BIM"), nullptr, FourCC("8BIM")},
      // The type of the type pass before it.
      {0, ".psd", FourCC("8BIM")},
  }};
  return passes;
}

namespace {

struct Walk {
  const ImaScanPass& pass;
  uint8_t* specs;
  int32_t capacity;
  int32_t count = 0;
};

bool Matches(const ImaScanPass& pass, const std::string& posix, std::string_view name) {
  if (pass.ext != nullptr) {
    const std::string_view ext(pass.ext);
    return name.size() >= ext.size() && name.substr(name.size() - ext.size()) == ext;
  }
  return pf::FileTypeOf(posix) == pass.type;
}

void PutSpec(Walk& w, int32_t dirID, std::string_view name) {
  uint8_t* s = w.specs + static_cast<size_t>(w.count) * kImaPassSpecSize;
  std::memset(s, 0, kImaPassSpecSize);
  pb::storeLE16(s, static_cast<uint16_t>(pf::kVolume));
  pb::storeLE32(s + 2, static_cast<uint32_t>(dirID));
  s[6] = static_cast<uint8_t>(name.size());
  std::memcpy(s + 7, name.data(), name.size());
  ++w.count;
}

// Depth first in name order, as the preset menus walk, but every match is
// kept: two images of one name in two folders are two library entries.
void WalkFolder(Walk& w, const std::string& folder) {
  std::error_code ec;
  std::vector<fs::directory_entry> items;
  fs::directory_iterator it(folder, ec);
  if (ec) return;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return;
    items.push_back(*it);
  }
  std::sort(items.begin(), items.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
    return a.path().filename() < b.path().filename();
  });
  int32_t dirID = 0;
  bool folderUsable = false;
  for (const fs::directory_entry& item : items) {
    if (w.count >= w.capacity) return;
    if (item.is_symlink(ec)) continue;
    const std::string posix = item.path().string();
    if (item.is_directory(ec)) {
      WalkFolder(w, posix);
      continue;
    }
    if (!item.is_regular_file(ec)) continue;
    const std::string name = pf::SwapNameSeparators(item.path().filename().string());
    if (name.size() > static_cast<size_t>(kImaMaxNameLength) || !Matches(w.pass, posix, name))
      continue;
    if (dirID == 0) {
      dirID = pf::FolderID(folder);
      std::string colon;
      folderUsable = pf::FolderColonPath(dirID, &colon) &&
                     colon.size() <= static_cast<size_t>(kImaMaxPathLength);
    }
    if (folderUsable) PutSpec(w, dirID, name);
  }
}

}  // namespace

int32_t ImaScanFolder(const std::string& folderPosix, const ImaScanPass& pass, uint8_t* specs,
                      int32_t capacity) {
  if (specs == nullptr || capacity <= 0) return 0;
  std::error_code ec;
  if (!fs::is_directory(folderPosix, ec)) return 0;
  Walk w{pass, specs, std::min(capacity, kImaPassLimit)};
  WalkFolder(w, folderPosix);
  return w.count;
}

bool ImaEntryFromSpec(const uint8_t* spec, OSType listed, ImaListEntry* e) {
  const auto dirID = static_cast<int32_t>(pb::loadLE32(spec + 2));
  const size_t n = std::min<size_t>(spec[6], kImaMaxNameLength);
  const std::string name(reinterpret_cast<const char*>(spec + 7), n);
  std::string folder;
  if (!pf::FolderColonPath(dirID, &folder)) return false;
  Str255 pfolder, category;
  SetPStr(pfolder, folder);
  StrFolderUp(pfolder, category);
  return MakeImaEntry(PStrView(category), name, folder, listed, e);
}

int32_t ImaAppendPass(const std::string& folderPosix, const ImaScanPass& pass, uint8_t* specs,
                      int32_t capacity, std::unordered_set<std::string>* listed,
                      std::vector<ImaListEntry>* entries) {
  if (listed == nullptr || entries == nullptr) return 0;
  const int32_t found = ImaScanFolder(folderPosix, pass, specs, capacity);
  std::vector<std::string> added;
  int32_t appended = 0;
  for (int32_t k = 0; k < found; ++k) {
    if (entries->size() >= static_cast<size_t>(kImaMaxEntries)) break;
    ImaListEntry e;
    if (!ImaEntryFromSpec(specs + static_cast<size_t>(k) * kImaPassSpecSize, pass.listed, &e))
      continue;
    std::string name = ImaNameText(e);
    // Only earlier passes' names count: the duplicates of one pass stay.
    if (listed->count(name) != 0) continue;
    entries->push_back(e);
    added.push_back(std::move(name));
    ++appended;
  }
  listed->insert(added.begin(), added.end());
  return appended;
}

std::vector<ImaCategory> BuildImaCategories(const std::vector<ImaListEntry>& entries) {
  std::vector<ImaCategory> out(1);
  SetImaCategoryName(&out[0], "ALL");
  // "ALL" starts at 1 and rises once per entry: it ends one above N.
  int32_t all = 1;
  for (const ImaListEntry& e : entries) {
    ++all;
    const std::string cat = ImaCategoryText(e);
    // An entry whose category is "ALL" counts towards "ALL" a second time
    // and makes no category of its own, as the menu walk that counts them
    // stops at the first item of that name.
    if (cat == "ALL") {
      ++all;
      continue;
    }
    auto it = std::find_if(out.begin() + 1, out.end(),
                           [&](const ImaCategory& c) { return ImaCategoryName(c) == cat; });
    if (it != out.end()) {
      it->count = static_cast<int16_t>(std::min<int32_t>(it->count + 1, INT16_MAX));
      continue;
    }
    ImaCategory c;
    c.count = 1;
    SetImaCategoryName(&c, cat);
    out.push_back(c);
  }
  out[0].count = static_cast<int16_t>(std::min<int32_t>(all, INT16_MAX));
  return out;
}

namespace {

// One image to thumbnail: where it was found and what it became.
struct ThumbJob {
  ImaListEntry entry;  // path rewritten to where the image was found
  bool found = false;
  bool made = false;
  std::vector<uint8_t> pixels;
};

// Decodes one found image into its record's block; leaves `made` false for a
// file no reader takes or a picture without a size.
void MakeThumb(ThumbJob& job) {
  fichier f;
  Init_FicStruct(&f);
  pStrCopy(job.entry.path.data(), f.path);
  pStrCopy(job.entry.name.data(), f.name);
  int32_t w = 0, h = 0;
  if (LoadImaInBuf(1, 0, kLoadPixels, &f, &w, &h, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr,
                   nullptr, nullptr, nullptr) != 0 ||
      w <= 0 || h <= 0)
    return;
  int32_t tw = 0, th = 0;
  ImaThumbSize(w, h, &tw, &th);
  job.pixels.assign(kImaThumbBytes, 0);
  // A picture too thin for one column keeps a blank block: the scaler is
  // never asked for an empty destination.
  if (tw > 0 && th > 0 &&
      LoadImaInBuf(2, 0, kLoadPixels, &f, &w, &h, 0, 0, w, h, tw, th, kImaThumbSide,
                   kImaThumbSide, job.pixels.data(), nullptr, nullptr, nullptr, nullptr) != 0)
    return;
  job.entry.width = tw;
  job.entry.height = th;
  job.made = true;
}

// Images decoded together between two turns of the progress window.
constexpr int32_t kThumbBatch = 16;

}  // namespace

int16_t BuildImaThumbFile(const fichier& file, const std::vector<ImaListEntry>& entries,
                          const std::function<void()>& between) {
  const std::string posix = FicToPosix(file);
  if (posix.empty()) return -1;
  pf::AtomicReplace out(posix);
  if (!out.ok()) return kImaNotWritten;
  // One record's bytes, reused; from the block allocator, so that a session
  // out of memory ends the build before anything is replaced.
  plat::Block<uint8_t> record(kImaThumbRecordSize, WorkSource());
  if (!record) return -1;
  const auto n = static_cast<int32_t>(entries.size());
  for (int32_t start = 0; start < n; start += kThumbBatch) {
    const int32_t end = std::min(n, start + kThumbBatch);
    std::vector<ThumbJob> jobs(static_cast<size_t>(end - start));
    // The probes touch the session's records: on this thread, before the
    // batch goes to the pool.
    for (int32_t i = start; i < end; ++i) {
      ThumbJob& job = jobs[static_cast<size_t>(i - start)];
      job.entry = entries[static_cast<size_t>(i)];
      job.found = ImaFindImage(job.entry.path.data(), job.entry.category.data(),
                               job.entry.name.data()) == 1;
    }
    plat::ParallelFor(0, end - start, 1, [&jobs](int32_t first, int32_t last) {
      for (int32_t k = first; k < last; ++k)
        if (jobs[static_cast<size_t>(k)].found) MakeThumb(jobs[static_cast<size_t>(k)]);
    });
    for (const ThumbJob& job : jobs) {
      if (!job.made) continue;
      EncodeImaThumbRecord(job.entry, job.pixels.data(), record.get());
      if (!out.write(record.get(), kImaThumbRecordSize)) return kImaNotWritten;
    }
    if (between) between();
  }
  if (!out.commit()) return kImaNotWritten;
  pf::SetTypeCreator(posix, file.type, file.creator);
  return 0;
}
