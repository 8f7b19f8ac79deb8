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
// before it fills them. A render that keeps its slots to itself
// (operations/swap_slots.h) holds the same bytes in memory instead.
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "app/file_access.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/swap_slots.h"
#include "platform/bytes/byte_order.h"

using effect_support::ClampRegion;

struct swap_slots::RenderSlots::Kept {
  std::map<int16_t, std::vector<uint8_t>> slots;  // each as its file would hold it
};

namespace {

constexpr int32_t kHeaderSize = 10;
constexpr int16_t kLastClearedSlot = 64;

// The render running on this thread: whether there is one, and the slots it
// keeps to itself (null: its slots are the maker's folder's files).
thread_local bool tRendering = false;
thread_local swap_slots::RenderSlots::Kept* tKept = nullptr;

// Where this thread's render keeps `slot`; null for the maker's folder's file.
swap_slots::RenderSlots::Kept* KeptFor(int16_t slot) {
  return slot >= 0 && slot <= kLastClearedSlot ? tKept : nullptr;
}

// The slot's file record; false when there is no maker's folder to put it in.
bool SwapRecord(int16_t slot, fichier* f) {
  if (!MakersFolderItem(":pspBuf" + std::to_string(slot) + ".lst", f)) return false;
  f->type = FourCC("hBuf");
  return true;
}

// Whether a slot can be had: a slot kept in memory only where its file could
// be made, so that a preview gives what the render written back gives.
bool SlotPlace(int16_t slot, fichier* f) {
  if (!SwapRecord(slot, f)) return false;
  if (KeptFor(slot) == nullptr) return true;
  const std::string posix = FicToPosix(*f);
  const size_t slash = posix.rfind('/');
  struct stat st {};
  return slash != std::string::npos && ::stat(posix.substr(0, slash + 1).c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

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

int32_t WriteSlot(const fichier& record, unsigned char* const* planes, int32_t count,
                  int32_t height, int32_t width, int32_t channels) {
  const int64_t plane = PlaneBytes(height, width);
  if (plane < 0) return -1;
  File_kern file(&record);
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

int32_t ReadSlot(const fichier& record, unsigned char* const* planes, int32_t count,
                 int32_t height, int32_t width) {
  if (S_test_exist(&record) == 0) return 0;
  const int64_t plane = PlaneBytes(height, width);
  if (plane < 0) return -1;
  File_kern file(&record);
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

// A slot kept in memory, as its file would be written; the slot keeps what
// it held when the memory cannot be had.
int32_t KeepSlot(swap_slots::RenderSlots::Kept* kept, int16_t slot, unsigned char* const* planes,
                 int32_t count, int32_t height, int32_t width, int32_t channels) {
  const int64_t plane = PlaneBytes(height, width);
  if (plane < 0) return -1;
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(kHeaderSize + count * plane));
    const plat::bytes::Writer header = Header(height, width, channels);
    std::memcpy(bytes.data(), header.bytes().data(), kHeaderSize);
    for (int32_t p = 0; p < count; ++p)
      std::memcpy(bytes.data() + kHeaderSize + p * plane, planes[p], static_cast<size_t>(plane));
    kept->slots[slot] = std::move(bytes);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

// A slot kept in memory read back, as its file would be.
int32_t ReadKept(const std::vector<uint8_t>& bytes, unsigned char* const* planes, int32_t count,
                 int32_t height, int32_t width) {
  const int64_t plane = PlaneBytes(height, width);
  if (plane < 0 || bytes.size() < static_cast<size_t>(kHeaderSize)) return -1;
  const int32_t storedPlanes =
      StoredPlanes(bytes.data(), static_cast<int64_t>(bytes.size()), height, width, plane);
  if (storedPlanes == 0) return -1;
  for (int32_t p = 0; p < count; ++p)
    std::memcpy(planes[p], bytes.data() + PlaneAt(storedPlanes, p, plane), static_cast<size_t>(plane));
  return 0;
}

void DeleteSlot(int16_t slot) {
  if (swap_slots::RenderSlots::Kept* kept = KeptFor(slot)) {
    kept->slots.erase(slot);
    return;
  }
  fichier f;
  if (SwapRecord(slot, &f)) (void)S_delete(&f);
}

// True when a recall of the slot finds something to read (a file, or the
// render's own kept planes) where the maker's folder is known.
bool SlotHolds(int16_t slot) {
  fichier record;
  if (!SlotPlace(slot, &record)) return false;
  if (const swap_slots::RenderSlots::Kept* kept = KeptFor(slot)) return kept->slots.count(slot) != 0;
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

swap_slots::RenderSlots::RenderSlots(Keeping keeping) {
  if (tRendering) return;
  outermost_ = true;
  tRendering = true;
  if (keeping == Keeping::kOwn) {
    kept_ = std::make_unique<Kept>();
    tKept = kept_.get();
  }
}

swap_slots::RenderSlots::~RenderSlots() {
  if (!outermost_) return;
  tRendering = false;
  tKept = nullptr;
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
    if (tKept != nullptr) {
      tKept->slots.clear();
      return 0;
    }
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
    if (mode == 0) return KeepSlot(kept, slot, planes, count, height, width, channels);
    const auto it = kept->slots.find(slot);
    return it == kept->slots.end() ? 0 : ReadKept(it->second, planes, count, height, width);
  }
  return mode == 0 ? WriteSlot(record, planes, count, height, width, channels)
                   : ReadSlot(record, planes, count, height, width);
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
