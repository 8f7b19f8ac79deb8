// The small value types that the whole system shares with the drawing and
// toolbox layers: rectangles and points in the old toolbox's field order,
// 16-bit colours, four-character codes and result codes.
#pragma once

#include <cstdint>

// Rectangle in port or plane coordinates: top, left, bottom, right; right and
// bottom are exclusive.
struct Rect {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;
};

// Point: vertical then horizontal.
struct Point {
  int16_t v = 0;
  int16_t h = 0;
};

// 16-bit-per-channel colour.
struct RGBColor {
  uint16_t red = 0;
  uint16_t green = 0;
  uint16_t blue = 0;
};

// Floating-point geometry of the drawing contexts and custom views.
struct CGPoint {
  float x = 0.0f;
  float y = 0.0f;
};
struct CGSize {
  float width = 0.0f;
  float height = 0.0f;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
};

using OSType = uint32_t;
using OSErr = int16_t;
using OSStatus = int32_t;

constexpr OSErr noErr = 0;

// 'abcd' as a 32-bit code whose first character is the most significant byte.
constexpr OSType FourCC(const char (&s)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(s[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3]));
}

// Modifier-key bits as the system tests them (whole masks are compared).
enum : uint32_t {
  cmdKey = 0x0100,
  shiftKey = 0x0200,
  alphaLock = 0x0400,
  optionKey = 0x0800,
  controlKey = 0x1000,
};
