// Direct-access pixel providers over a heap copy of a pixel buffer: the
// road by which a window shows a session image without holding on to the
// session's own buffer.
#pragma once

#include <cstdint>

#include "host/ApePlugInUtilities/pixel_buffer.h"

// The provider's information: a private copy of the buffer.
struct PixelProvider {
  PixelBuffer buffer;
};

PixelProvider* NewPixelProvider(const PixelBuffer& buffer);
// First byte of the copy's data.
const void* backingPixelBufferGetBytePointer(void* info);
void backingPixelBufferReleaseBytePointer(void* info, const void* pointer);
// Frees the copy.
void backingPixelBufferReleaseProvider(void* info);
// A row of a buffer through its const form, so that reading never
// separates a shared body.
const uint8_t* constCorrectRowPtr(const PixelBuffer& buffer, uint32_t row);
