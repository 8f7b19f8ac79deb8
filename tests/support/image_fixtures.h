// Test images made on the spot: patterned pixel buffers, small ICC and EXIF
// blocks, and file helpers for making damaged files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/imageio/image_io.h"
#include "support/preset_files.h"  // ReadBytes, WriteBytes

namespace vmktest {

// A four-component image held contiguously (row bytes = width x 4 x bytes).
struct RawImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bytes = 1;
  std::vector<uint8_t> data;

  size_t rowBytes() const { return static_cast<size_t>(width) * 4u * static_cast<size_t>(bytes); }
  plat::imageio::PixelSource source() const;
  uint8_t* row(uint32_t y) { return data.data() + rowBytes() * y; }
  const uint8_t* row(uint32_t y) const { return data.data() + rowBytes() * y; }
};

// A deterministic pattern at 1, 2 or 4 (float) bytes per component.
RawImage PatternImage(uint32_t width, uint32_t height, int bytes);
// One colour everywhere (components at 8 bits).
RawImage SolidImage(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b);

// A small well-formed RGB display profile and a one-entry EXIF block.
std::vector<uint8_t> TestIccProfile();
std::vector<uint8_t> TestExif();

// Keeps the first `keep` bytes of the file.
void Truncate(const std::string& path, size_t keep);

// An image file of the given type written through the image layer; fails the
// current test when writing fails.
void WriteImageFile(const std::string& path, const char* type, const RawImage& image,
                    const plat::imageio::Properties& props = {});

// CRC-32 as PNG chunks use it.
uint32_t Crc32(const uint8_t* data, size_t n);

// Files that declare a large image and hold (next to) no data for it: a TIFF
// of RGB samples of `bits` each (32: floats) whose one strip lies beyond the
// file's end, a PNG with a 16-byte data stream, and a JPEG made by the image
// layer whose frame is patched to the size and whose scan is cut off.
std::vector<uint8_t> HeaderOnlyTiff(uint32_t width, uint32_t height, int bits);
std::vector<uint8_t> HeaderOnlyPng(uint32_t width, uint32_t height);
std::vector<uint8_t> HeaderOnlyJpeg(const std::string& scratch, uint16_t width, uint16_t height);

// How far the process's address space grew at its peak while `work` ran,
// in bytes: `work` runs in a child process that reports the kernel's count.
// Every byte taken counts, by whatever allocator, touched or not.
uint64_t PeakGrowth(const std::function<void()>& work);

}  // namespace vmktest
