// Copy-on-write pixel buffers.
#include "host/ApePlugInUtilities/pixel_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// Bodies of this size and more are mapped from the system directly, in
// whole large pages (2 MB) where the system gives them: their zeros cost
// nothing until touched, as calloc's do, and the first write into a fresh
// 3072 x 2048 16-bit body takes some 25 page faults instead of 12 000
// (about 5 ms instead of 31 ms on this kind of machine).
constexpr size_t kMappedBytes = size_t{4} << 20;
constexpr size_t kLargePage = size_t{2} << 20;

size_t MappedLength(size_t bytes) {
  return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

// `bytes` of zeroed data, or null.
uint8_t* TakeData(size_t bytes) {
#if defined(__linux__)
  if (bytes >= kMappedBytes) {
    // Mapped a large page longer than needed, then cut to a start on a
    // large-page boundary, so that every part can be a large page.
    const size_t length = MappedLength(bytes);
    void* raw = ::mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto at = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t start = (at + kLargePage - 1) / kLargePage * kLargePage;
    if (start > at) ::munmap(raw, start - at);
    ::munmap(reinterpret_cast<void*>(start + length), at + kLargePage - start);
#ifdef MADV_HUGEPAGE
    // Only advice: without large pages the mapping works page by page.
    (void)::madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<uint8_t*>(start);
  }
#endif
  return static_cast<uint8_t*>(std::calloc(bytes, 1));
}

}  // namespace

void PixelBufferImp::FreeData::operator()(uint8_t* p) const {
#if defined(__linux__)
  if (bytes >= kMappedBytes) {
    ::munmap(p, MappedLength(bytes));
    return;
  }
#endif
  std::free(p);
}

uint32_t PixelRowBytes(uint32_t width, uint32_t bytesPerComponent, uint32_t componentsPerPixel) {
  const uint64_t raw = uint64_t{width} * bytesPerComponent * componentsPerPixel;
  const uint64_t padded = (raw + 15u) & ~uint64_t{15};
  return padded > UINT32_MAX ? 0u : static_cast<uint32_t>(padded);
}

PixelBufferImp::PixelBufferImp(uint32_t w, uint32_t h, uint32_t bpc, uint32_t cpp) {
  const uint32_t rb = PixelRowBytes(w, bpc, cpp);
  if (rb == 0 && uint64_t{w} * bpc * cpp != 0) return;  // rows too long: stay empty
  if (h != 0 && rb != 0) {
    const size_t bytes = static_cast<size_t>(rb) * h;
    data_ = std::unique_ptr<uint8_t[], FreeData>(TakeData(bytes), FreeData{bytes});
    if (data_ == nullptr) return;  // out of memory: the empty body tells the caller
    size = bytes;
  }
  width = w;
  height = h;
  bytesPerComponent = bpc;
  componentsPerPixel = cpp;
  rowBytes = rb;
}

PixelBufferImp::PixelBufferImp(const PixelBufferImp& o)
    : refCount(1),
      width(o.width),
      height(o.height),
      bytesPerComponent(o.bytesPerComponent),
      componentsPerPixel(o.componentsPerPixel),
      rowBytes(o.rowBytes) {
  if (o.size == 0) return;
  data_ = std::unique_ptr<uint8_t[], FreeData>(TakeData(o.size), FreeData{o.size});
  if (data_ == nullptr) throw std::bad_alloc();
  std::memcpy(data_.get(), o.data_.get(), o.size);
  size = o.size;
}

uint8_t* PixelBufferImp::rowPtr(uint32_t row) {
  return const_cast<uint8_t*>(static_cast<const PixelBufferImp*>(this)->rowPtr(row));
}

const uint8_t* PixelBufferImp::rowPtr(uint32_t row) const {
  const size_t offset = static_cast<size_t>(row) * rowBytes;
  if (row >= height || size == 0 || offset >= size) throw std::out_of_range("");
  return data_.get() + offset;
}

void PixelBufferImp::release() {
  if (refCount <= 1)
    delete this;
  else
    --refCount;
}

PixelBuffer::PixelBuffer() : imp_(new PixelBufferImp(0, 0, 0, 0)) {}

PixelBuffer::PixelBuffer(uint32_t width, uint32_t height, uint32_t bytesPerComponent,
                         uint32_t componentsPerPixel)
    : imp_(new PixelBufferImp(width, height, bytesPerComponent, componentsPerPixel)) {}

PixelBuffer::PixelBuffer(const PixelBuffer& other) : imp_(other.imp_) { ++imp_->refCount; }

PixelBuffer& PixelBuffer::operator=(const PixelBuffer& other) {
  // Take the new body before letting go of the old one: self-assignment keeps
  // the body alive.
  ++other.imp_->refCount;
  imp_->release();
  imp_ = other.imp_;
  return *this;
}

PixelBuffer::~PixelBuffer() { imp_->release(); }

void PixelBuffer::swap(PixelBuffer& other) noexcept { std::swap(imp_, other.imp_); }

void PixelBuffer::TakeFreshBodyIfShared(PixelBuffer* old) {
  if (imp_->refCount <= 1) return;
  PixelBuffer fresh(width(), height(), bytesPerComponent(), componentsPerPixel());
  if (fresh.width() != width() || fresh.height() != height()) throw std::bad_alloc();
  swap(fresh);
  if (old != nullptr) old->swap(fresh);
}

uint8_t* PixelBuffer::rowPtr(uint32_t row) {
  if (imp_->refCount > 1) {
    auto* copy = new PixelBufferImp(*imp_);
    imp_->release();
    imp_ = copy;
  }
  return imp_->rowPtr(row);
}

const uint8_t* PixelBuffer::rowPtr(uint32_t row) const {
  return static_cast<const PixelBufferImp*>(imp_)->rowPtr(row);
}
