// The session's images in memory: interleaved pixels of four components of
// 1, 2 or 4 bytes (unsigned 8-bit, native-order unsigned 16-bit, native
// floats), rows padded to 16 bytes.
//
// PixelBuffer is a handle on a reference-counted body that is shared on copy
// and separated on the first write through rowPtr, so the session's four
// images cost one until an edit changes one of them. A handle never holds a
// null body: the empty buffer has a body of width 0 and height 0.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

class PixelBufferImp {
 public:
  // A body with zeroed data. A size whose rows or data cannot be had (too
  // large, out of memory) gives an empty body (width and height 0). The
  // zeros of a large body are the system's untouched pages: memory is
  // taken as rows are written.
  PixelBufferImp(uint32_t width, uint32_t height, uint32_t bytesPerComponent,
                 uint32_t componentsPerPixel);
  // A private copy: count 1, same fields and data.
  PixelBufferImp(const PixelBufferImp& other);
  PixelBufferImp& operator=(const PixelBufferImp&) = delete;

  // First byte of a row; std::out_of_range (empty message) for a row at or
  // past the height or an empty body.
  uint8_t* rowPtr(uint32_t row);
  const uint8_t* rowPtr(uint32_t row) const;
  // Count 1: deletes the body; else drops one reference.
  void release();

  uint32_t refCount = 1;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bytesPerComponent = 0;
  uint32_t componentsPerPixel = 0;
  uint32_t rowBytes = 0;
  size_t size = 0;  // bytes of data

 private:
  // Hands the data back the way TakeData took it (by its size).
  struct FreeData {
    FreeData() : bytes(0) {}
    explicit FreeData(size_t b) : bytes(b) {}
    void operator()(uint8_t* p) const;
    size_t bytes;
  };
  std::unique_ptr<uint8_t[], FreeData> data_;
};

class PixelBuffer {
 public:
  PixelBuffer();
  PixelBuffer(uint32_t width, uint32_t height, uint32_t bytesPerComponent,
              uint32_t componentsPerPixel);
  PixelBuffer(const PixelBuffer& other);
  PixelBuffer& operator=(const PixelBuffer& other);
  ~PixelBuffer();

  void swap(PixelBuffer& other) noexcept;

  // Before a write over every byte: a body shared with other handles is
  // left to them, and this handle takes a fresh one of the same layout
  // rather than a copy whose pixels would all be overwritten. The old body
  // goes to `old` when given (left as it is otherwise). std::bad_alloc when
  // the memory cannot be had, this handle then as it was.
  void TakeFreshBodyIfShared(PixelBuffer* old = nullptr);

  uint32_t width() const { return imp_->width; }
  uint32_t height() const { return imp_->height; }
  uint32_t bytesPerComponent() const { return imp_->bytesPerComponent; }
  uint32_t componentsPerPixel() const { return imp_->componentsPerPixel; }
  uint32_t rowBytes() const { return imp_->rowBytes; }

  // For writing: separates a shared body first.
  uint8_t* rowPtr(uint32_t row);
  const uint8_t* rowPtr(uint32_t row) const;

  // For tests and diagnostics: the number of handles on this body, and
  // whether two handles share one.
  uint32_t shareCount() const { return imp_->refCount; }
  bool sharesBodyWith(const PixelBuffer& other) const { return imp_ == other.imp_; }

 private:
  PixelBufferImp* imp_;
};

// Row bytes of a buffer: width x bytes per component x components, rounded up
// to a multiple of 16; 0 when that does not fit in 32 bits.
uint32_t PixelRowBytes(uint32_t width, uint32_t bytesPerComponent, uint32_t componentsPerPixel);
