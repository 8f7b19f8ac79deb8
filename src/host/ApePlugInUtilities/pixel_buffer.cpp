// Copy-on-write pixel buffers.
#include "host/ApePlugInUtilities/pixel_buffer.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

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
    data_.reset(static_cast<uint8_t*>(std::calloc(bytes, 1)));
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
  data_.reset(static_cast<uint8_t*>(std::malloc(o.size)));
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
