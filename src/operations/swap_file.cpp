// The buffer swap files: numbered slots in which a render puts one or three
// channel planes away and takes them back in a later step.
//
// A slot's file is "pspBuf<slot>.lst" in the maker's folder, type 'hBuf':
// a 16-bit channel count (1 for one plane, anything else for three), the
// 32-bit width and height, then the planes whole, row 0 first, with no gaps.
// Written in the host's order, which is little-endian here.
//
// A write goes to a replacement file that takes the old one's place only
// when every byte is written, so a failed write reports -1 and leaves the
// slot's previous file. A read checks the stored size against the planes
// before it fills them. A render keeps slots 0 to 64 to itself
// (operations/swap_slots.h): it writes the same files, the same way, into a
// folder of its own below the maker's folder, which goes when the render
// ends, so its saved planes cost the disk while it runs and never the
// process's memory (a 6000 x 4000 slot is 69 MB, and a render may fill 65
// of them), and nothing of them stays once it is over.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "app/core/file_records.h"
#include "app/file_access.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/swap_slots.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_io.h"
#include "platform/files/run_record.h"

using effect_support::ClampRegion;
namespace pf = plat::files;

// The folder of a render's own slots, made at its first save.
struct swap_slots::RenderSlots::Kept {
  std::string folder;  // empty until made
  int fd = -1;         // the folder, open and locked while the render lives
  Kept() = default;
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;
  ~Kept();
};

namespace {

constexpr int32_t kHeaderSize = 10;
constexpr int16_t kLastClearedSlot = 64;

// The render running on this thread: whether there is one, and the slots it
// keeps to itself (null outside a render: the maker's folder's files).
thread_local bool tRendering = false;
thread_local swap_slots::RenderSlots::Kept* tKept = nullptr;

// Where this thread's render keeps `slot`; null for the maker's folder's file.
swap_slots::RenderSlots::Kept* KeptFor(int16_t slot) {
  return slot >= 0 && slot <= kLastClearedSlot ? tKept : nullptr;
}

std::string SlotName(int16_t slot) { return "pspBuf" + std::to_string(slot) + ".lst"; }

// The slot's file record; false when there is no maker's folder to put it in.
bool SwapRecord(int16_t slot, fichier* f) {
  if (!MakersFolderItem(":" + SlotName(slot), f)) return false;
  f->type = FourCC("hBuf");
  return true;
}

// The POSIX folder that holds a record's item; "" when it names none.
std::string FolderOf(const fichier& f) {
  const std::string posix = FicToPosix(f);
  const size_t slash = posix.rfind('/');
  return slash == std::string::npos ? std::string() : posix.substr(0, slash == 0 ? 1 : slash);
}

// Whether a slot can be had: a render's own slot only where the maker's
// folder's file could be made, so that a preview gives what the render
// written back gives.
bool SlotPlace(int16_t slot, fichier* f) {
  if (!SwapRecord(slot, f)) return false;
  if (KeptFor(slot) == nullptr) return true;
  struct stat st {};
  const std::string folder = FolderOf(*f);
  return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// --- The folders of renders' own slots ---------------------------------------
//
// Named ".vellmarkstead-slots-<machine>.XXXXXX" in the maker's folder, made
// as mkdtemp makes them (a new name, readable by the user only) and locked
// (flock) by their render for as long as it lives. A render that dies
// without removing its folder (a crash, a kill) leaves it unlocked; the next
// render that makes one removes every such folder of this machine that
// nobody holds, so they never pile up. Another machine's folders (a maker's
// folder shared over the network, where a lock may hold on one machine only)
// are left to that machine. Only the slot files and their half-written
// replacements are taken out of a folder: anything else keeps it there.

constexpr char kOwnFolderPrefix[] = ".vellmarkstead-slots-";

// The start of this machine's folder names: the prefix and a short hash of
// the machine's name.
const std::string& OwnFolderStem() {
  static const std::string stem = [] {
    uint32_t h = 2166136261u;
    for (const unsigned char c : pf::ThisRunOrigin().machine) h = (h ^ c) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(h));
    return std::string(kOwnFolderPrefix) + hex + ".";
  }();
  return stem;
}

// A slot file, or the half-written replacement of one.
bool IsSlotFileName(const char* name) {
  const size_t n = std::strlen(name);
  if (std::strncmp(name, ".~pspBuf", 8) == 0) return true;
  return std::strncmp(name, "pspBuf", 6) == 0 && n > 10 && std::strcmp(name + n - 4, ".lst") == 0;
}

// Takes the slot files out of the folder open as `fd`, then the folder from
// `parent` by `name` while that name still holds it. The caller holds its lock.
void RemoveOwnFolder(int fd, int parent, const char* name) {
  if (const int listing = ::dup(fd); listing >= 0) {
    if (DIR* d = ::fdopendir(listing)) {
      while (const dirent* e = ::readdir(d))
        if (IsSlotFileName(e->d_name)) (void)::unlinkat(fd, e->d_name, 0);
      ::closedir(d);
    } else {
      ::close(listing);
    }
  }
  struct stat mine {}, named {};
  if (::fstat(fd, &mine) == 0 && ::fstatat(parent, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
    (void)::unlinkat(parent, name, AT_REMOVEDIR);
}

// Removes the folders of this machine's renders in `makers` that no render holds.
void RemoveLeftOwnFolders(const std::string& makers) {
  const int parent = ::open(makers.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) return;
  const int listing = ::dup(parent);
  DIR* d = listing >= 0 ? ::fdopendir(listing) : nullptr;
  if (d == nullptr) {
    if (listing >= 0) ::close(listing);
    ::close(parent);
    return;
  }
  const std::string& stem = OwnFolderStem();
  while (const dirent* e = ::readdir(d)) {
    if (std::strncmp(e->d_name, stem.c_str(), stem.size()) != 0) continue;
    const int fd = ::openat(parent, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    // Unlocked is left behind; a folder removed meanwhile (by another render's
    // sweep, whose lock this one got after it) has no links left.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0 &&
        st.st_uid == ::geteuid())
      RemoveOwnFolder(fd, parent, e->d_name);
    ::close(fd);  // lets the lock go
  }
  ::closedir(d);
  ::close(parent);
}

// Makes the render's own folder in the maker's folder; false (errno set) when
// none can be made there.
bool MakeOwnFolder(swap_slots::RenderSlots::Kept* kept, const std::string& makers) {
  RemoveLeftOwnFolders(makers);
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string path = makers + (makers.back() == '/' ? "" : "/") + OwnFolderStem() + "XXXXXX";
    if (::mkdtemp(path.data()) == nullptr) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // Gone already: another render's sweep took it between its making and
    // its lock. Where nothing can be locked (some network file systems) the
    // folder goes unlocked, and no sweep can lock it either.
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      continue;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_nlink == 0) {
      ::close(fd);
      continue;
    }
    kept->folder = std::move(path);
    kept->fd = fd;
    return true;
  }
  errno = EEXIST;
  return false;
}

// The file of one of the render's own slots; "" until the folder is made.
std::string OwnSlotPath(const swap_slots::RenderSlots::Kept& kept, int16_t slot) {
  return kept.folder.empty() ? std::string() : kept.folder + "/" + SlotName(slot);
}

// A render's own slot file, opened, read and written as File_kern does a
// record's (mode 0 an existing file, mode 3 its replacement), by its POSIX
// path: the folder's name is the render's own and needs no record.
class OwnSlotFile {
 public:
  explicit OwnSlotFile(std::string posix) : posix_(std::move(posix)) {}
  ~OwnSlotFile() {
    if (open_) (void)pf::CloseFile(ref_);
  }
  OwnSlotFile(const OwnSlotFile&) = delete;
  OwnSlotFile& operator=(const OwnSlotFile&) = delete;

  int16_t S_open(int16_t mode) {
    if (open_) return -1;
    const OSErr e = mode == 3 ? pf::OpenReplacement(posix_, FourCC("vMkC"), FourCC("hBuf"), &ref_)
                              : pf::OpenFile(posix_, &ref_);
    open_ = e == 0;
    return open_ ? 0 : -1;
  }
  int16_t S_read(void* buffer, int32_t at, int32_t count) {
    return Positioned(at, count, [&](int32_t* n) { return pf::ReadFile(ref_, buffer, n); });
  }
  int16_t S_write(const void* buffer, int32_t at, int32_t count) {
    return Positioned(at, count, [&](int32_t* n) { return pf::WriteFile(ref_, buffer, n); });
  }
  int16_t S_getEOF(int32_t* size) { return open_ && pf::GetEOF(ref_, size) == 0 ? 0 : -1; }
  int16_t S_close() {
    if (!open_) return -1;
    open_ = false;
    return pf::CloseFile(ref_) == 0 ? 0 : -1;
  }

 private:
  template <typename Transfer>
  int16_t Positioned(int32_t at, int32_t count, Transfer transfer) {
    if (!open_ || at < 0 || count < 0 || pf::SetFilePos(ref_, at) != 0) return -1;
    int32_t done = count;
    return transfer(&done) == 0 && done == count ? 0 : -1;
  }

  std::string posix_;
  int16_t ref_ = 0;
  bool open_ = false;
};

// Bytes of one plane, or -1 when the planes cannot be addressed in a file
// of 32-bit positions.
int64_t PlaneBytes(int32_t height, int32_t width) {
  if (height < 0 || width < 0) return -1;
  const int64_t plane = static_cast<int64_t>(height) * width;
  return kHeaderSize + 3 * plane > INT32_MAX ? -1 : plane;
}

plat::bytes::Writer Header(int32_t height, int32_t width, int32_t channels) {
  plat::bytes::Writer header;
  header.i16(static_cast<int16_t>(channels));
  header.i32(width);
  header.i32(height);
  return header;
}

// The planes stored after `header` in a slot of `size` bytes: 1 or 3, or 0
// when they were made for planes of another size than height x width (a
// read would fill these only in part).
int32_t StoredPlanes(const uint8_t* header, int64_t size, int32_t height, int32_t width,
                     int64_t plane) {
  plat::bytes::Reader r(header, kHeaderSize);
  const int16_t stored = r.i16();
  const int32_t storedWidth = r.i32();
  const int32_t storedHeight = r.i32();
  const int32_t storedPlanes = stored == 1 ? 1 : 3;
  if (storedWidth != width || storedHeight != height || size != kHeaderSize + storedPlanes * plane)
    return 0;
  return storedPlanes;
}

// Where plane p of those asked for starts in a slot: one stored plane fills
// every plane asked for; of three stored planes a single plane takes the first.
int64_t PlaneAt(int32_t storedPlanes, int32_t p, int64_t plane) {
  return kHeaderSize + (storedPlanes == 1 ? 0 : p * plane);
}

// Writes a slot through `file` (a File_kern, or a render's own slot file).
template <typename File>
int32_t WriteSlot(File& file, unsigned char* const* planes, int32_t count, int32_t height,
                  int32_t width, int32_t channels) {
  const int64_t plane = PlaneBytes(height, width);
  if (plane < 0) return -1;
  if (file.S_open(3) != 0) return -1;
  const plat::bytes::Writer header = Header(height, width, channels);
  int32_t rc = file.S_write(header.bytes().data(), 0, kHeaderSize) == 0 ? 0 : -1;
  for (int32_t p = 0; p < count && rc == 0; ++p) {
    const int64_t at = kHeaderSize + p * plane;
    if (file.S_write(planes[p], static_cast<int32_t>(at), static_cast<int32_t>(plane)) != 0) {
      rc = -1;
    }
  }
  // Closing commits the replacement only after complete writes.
  if (file.S_close() != 0) rc = -1;
  return rc;
}

// Reads a slot's existing file through `file`.
template <typename File>
int32_t ReadSlot(File& file, unsigned char* const* planes, int32_t count, int32_t height,
                 int32_t width) {
  const int64_t plane = PlaneBytes(height, width);
  if (plane < 0) return -1;
  if (file.S_open(0) != 0) return -1;
  uint8_t bytes[kHeaderSize];
  int32_t size = 0;
  if (file.S_read(bytes, 0, kHeaderSize) != 0 || file.S_getEOF(&size) != 0) {
    file.S_close();
    return -1;
  }
  const int32_t storedPlanes = StoredPlanes(bytes, size, height, width, plane);
  if (storedPlanes == 0) {
    file.S_close();
    return -1;
  }
  int32_t rc = 0;
  for (int32_t p = 0; p < count && rc == 0; ++p) {
    const int64_t at = PlaneAt(storedPlanes, p, plane);
    if (file.S_read(planes[p], static_cast<int32_t>(at), static_cast<int32_t>(plane)) != 0) {
      rc = -1;
    }
  }
  file.S_close();
  return rc;
}

// A save into one of the render's own slots, its folder made at the first.
int32_t WriteOwnSlot(swap_slots::RenderSlots::Kept* kept, const fichier& record, int16_t slot,
                     unsigned char* const* planes, int32_t count, int32_t height, int32_t width,
                     int32_t channels) {
  if (kept->folder.empty() && !MakeOwnFolder(kept, FolderOf(record))) return -1;
  OwnSlotFile file(OwnSlotPath(*kept, slot));
  return WriteSlot(file, planes, count, height, width, channels);
}

// A recall of one of the render's own slots; 0, planes untouched, when no
// save of the render has written it.
int32_t ReadOwnSlot(const swap_slots::RenderSlots::Kept& kept, int16_t slot,
                    unsigned char* const* planes, int32_t count, int32_t height, int32_t width) {
  const std::string path = OwnSlotPath(kept, slot);
  if (path.empty() || !pf::CanOpenFile(path)) return 0;
  OwnSlotFile file(path);
  return ReadSlot(file, planes, count, height, width);
}

void DeleteSlot(int16_t slot) {
  if (const swap_slots::RenderSlots::Kept* kept = KeptFor(slot)) {
    if (!kept->folder.empty()) (void)pf::DeleteFile(OwnSlotPath(*kept, slot));
    return;
  }
  fichier f;
  if (SwapRecord(slot, &f)) (void)S_delete(&f);
}

// True when a recall of the slot finds something to read (the maker's
// folder's file, or the render's own) where the maker's folder is known.
bool SlotHolds(int16_t slot) {
  fichier record;
  if (!SlotPlace(slot, &record)) return false;
  if (const swap_slots::RenderSlots::Kept* kept = KeptFor(slot)) {
    const std::string path = OwnSlotPath(*kept, slot);
    return !path.empty() && pf::CanOpenFile(path);
  }
  return S_test_exist(&record) != 0;
}

// planes[p] = Blend(mode, planes[p], values[p], weight) over the region (not empty, clamped),
// in bands of rows. values may be the planes themselves only under a mode other than 0, which
// BlendRun takes sample by sample (its replacement lanes assume apart arrays).
void BlendWithSelf(int16_t mode, int16_t opacity, unsigned char* const* planes,
                   unsigned char* const* values, int32_t count, const unsigned char* mask,
                   int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      const int64_t row = static_cast<int64_t>(y) * width + x0;
      for (int32_t p = 0; p < count; ++p)
        effect_support::BlendRun(mode, opacity, planes[p] + row, values[p] + row,
                                 mask != nullptr ? mask + row : nullptr, x1 - x0 + 1);
    }
  });
}

}  // namespace

swap_slots::RenderSlots::Kept::~Kept() {
  if (fd < 0) return;
  const size_t slash = folder.rfind('/');
  const std::string parentPath = slash == 0 ? "/" : folder.substr(0, slash);
  if (const int parent = ::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); parent >= 0) {
    RemoveOwnFolder(fd, parent, folder.c_str() + slash + 1);
    ::close(parent);
  }
  ::close(fd);
}

swap_slots::RenderSlots::RenderSlots() {
  if (tRendering) return;
  outermost_ = true;
  tRendering = true;
  kept_ = std::make_unique<Kept>();
  tKept = kept_.get();
}

swap_slots::RenderSlots::~RenderSlots() {
  if (!outermost_) return;
  tRendering = false;
  tKept = nullptr;
}

void swap_slots::RemoveLeftSlots() {
  // Inside a render the slots are its own: nothing of the maker's folder is its to clear.
  if (tRendering) return;
  fichier record;
  if (!SwapRecord(0, &record)) return;
  const std::string makers = FolderOf(record);
  if (makers.empty()) return;
  RemoveLeftOwnFolders(makers);
  for (int16_t s = 0; s <= kLastClearedSlot; ++s) DeleteSlot(s);
}

int32_t Effects::BufFile(int16_t mode, int16_t slot, unsigned char* plane1,
                         unsigned char* plane2, unsigned char* plane3, int32_t height,
                         int32_t width, int32_t channels) {
  if (mode == 2) {
    DeleteSlot(slot);
    return 0;
  }
  if (mode == 3) {
    // The render clears these at its start so that no slot carries planes
    // from one render into the next; slots above them are left alone.
    for (int16_t s = 0; s <= kLastClearedSlot; ++s) DeleteSlot(s);
    return 0;
  }
  if (mode != 0 && mode != 1) return 0;

  unsigned char* planes[3] = {plane1, plane2, plane3};
  const int32_t count = channels == 1 ? 1 : 3;
  for (int32_t p = 0; p < count; ++p) {
    if (planes[p] == nullptr) return -1;
  }
  fichier record;
  if (!SlotPlace(slot, &record)) return -1;
  if (swap_slots::RenderSlots::Kept* kept = KeptFor(slot)) {
    return mode == 0 ? WriteOwnSlot(kept, record, slot, planes, count, height, width, channels)
                     : ReadOwnSlot(*kept, slot, planes, count, height, width);
  }
  if (mode == 1 && S_test_exist(&record) == 0) return 0;
  File_kern file(&record);
  return mode == 0 ? WriteSlot(file, planes, count, height, width, channels)
                   : ReadSlot(file, planes, count, height, width);
}

int32_t Effects::SaveRecallBuf(int16_t mode, int16_t opacity, unsigned char* red,
                               unsigned char* green, unsigned char* blue, int32_t height,
                               int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                               const unsigned char* mask, int16_t channels, int16_t fileMode,
                               int16_t slot) {
  const int32_t count = channels == 1 ? 1 : 3;
  unsigned char* planes[3] = {red, green, blue};
  for (int32_t p = 0; p < count; ++p) {
    if (planes[p] == nullptr) return -1;
  }
  if (height < 0 || width < 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  const int64_t size = static_cast<int64_t>(height) * width;
  const bool empty = x0 > x1 || y0 > y1;
  // The region covers the planes: a save writes them as they stand and a
  // recall's copy overwrites every sample, so neither needs a cleared copy.
  const bool whole = !empty && x0 == 0 && y0 == 0 && x1 == width - 1 && y1 == height - 1;
  if (whole && fileMode == 0) {
    // A slot that cannot be kept fails the step, the planes as they were: a later recall
    // would find nothing, or an earlier render's planes.
    if (BufFile(0, slot, planes[0], planes[1], planes[2], height, width, channels) != 0) return -1;
    // Replacement of a sample by itself is the sample at any weight
    // ((255 - a) v + a v = 255 v): only the other modes change the planes.
    if (mode != 0) BlendWithSelf(mode, opacity, planes, planes, count, mask, width, x0, y0, x1, y1);
    return 0;
  }
  if (fileMode == 1 && !empty) {
    // Without a file to recall the copy would come back unchanged: the
    // planes blend with themselves, which replacement leaves as they are.
    if (!SlotHolds(slot)) {
      if (mode != 0) BlendWithSelf(mode, opacity, planes, planes, count, mask, width, x0, y0, x1, y1);
      return 0;
    }
  }
  plat::Block<unsigned char> w0(size, WorkSource());
  plat::Block<unsigned char> w1(count == 3 ? size : 0, WorkSource());
  plat::Block<unsigned char> w2(count == 3 ? size : 0, WorkSource());
  if (!w0 || !w1 || !w2) return -1;
  unsigned char* work[3] = {w0.get(), count == 3 ? w1.get() : nullptr,
                            count == 3 ? w2.get() : nullptr};
  for (int32_t p = 0; p < count; ++p) {
    // What lies outside the region is written to the file too: cleared, so
    // the file holds nothing left over from earlier use of the memory.
    if (!whole) std::memset(work[p], 0, static_cast<size_t>(size));
  }
  if (!empty) {
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y) {
        const int64_t row = static_cast<int64_t>(y) * width + x0;
        for (int32_t p = 0; p < count; ++p)
          std::memcpy(work[p] + row, planes[p] + row, static_cast<size_t>(x1 - x0 + 1));
      }
    });
  }

  // A recall of a slot that has no file, or whose file is refused, leaves
  // the copied region in the work planes, which then blend with themselves.
  // A save that cannot be kept fails, the planes as they were.
  if (BufFile(fileMode, slot, work[0], work[1], work[2], height, width, channels) != 0 &&
      fileMode == 0)
    return -1;

  // The save step blends too: each sample with itself. That changes nothing
  // under blend mode 0 but does change the image under the others (add
  // doubles it); scripts rely on the step behaving so.
  if (!empty) BlendWithSelf(mode, opacity, planes, work, count, mask, width, x0, y0, x1, y1);
  return 0;
}
