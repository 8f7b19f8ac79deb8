#include "host/pixel_provider.h"

PixelProvider* NewPixelProvider(const PixelBuffer& buffer) { return new PixelProvider{buffer}; }

const void* backingPixelBufferGetBytePointer(void* info) {
  auto* p = static_cast<PixelProvider*>(info);
  return p != nullptr && p->buffer.height() > 0 ? constCorrectRowPtr(p->buffer, 0) : nullptr;
}

void backingPixelBufferReleaseBytePointer(void*, const void*) {}

void backingPixelBufferReleaseProvider(void* info) { delete static_cast<PixelProvider*>(info); }

const uint8_t* constCorrectRowPtr(const PixelBuffer& buffer, uint32_t row) { return buffer.rowPtr(row); }
