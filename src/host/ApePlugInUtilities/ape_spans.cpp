// Span moves between pixel buffers and packed RGB bytes.
#include "host/ApePlugInUtilities/ape_spans.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const PixelBuffer* gSpanSource = nullptr;
PixelBuffer* gSpanDestination = nullptr;

bool UsableBuffer(const PixelBuffer& b) {
  const uint32_t c = b.bytesPerComponent();
  return b.componentsPerPixel() == 4 && (c == 1 || c == 2 || c == 4);
}

// Clamped span; false when no pixel is to be moved.
bool ClampSpan(const PixelBuffer& b, int32_t& left, int32_t right0, int32_t* right) {
  left = std::max(left, 0);
  *right = std::min<int64_t>(right0, b.width());
  return !(left > *right || *right == 0);
}

inline uint8_t FloatToByte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 1.0f) return 255;
  return static_cast<uint8_t>(f * 255.0f + 0.5f);
}

}  // namespace

int32_t ReadAPEspan(const PixelBuffer& source, int32_t /*count*/, uint8_t* rgb, uint8_t* alpha,
                    int16_t /*planes*/, int32_t left, int32_t top, int32_t right,
                    int32_t /*bottom*/) {
  if (rgb == nullptr || !UsableBuffer(source)) return -1;
  top = std::max(top, 0);
  int32_t r = 0;
  if (!ClampSpan(source, left, right, &r)) return 0;
  if (static_cast<uint32_t>(top) >= source.height()) return -1;
  const uint8_t* row = source.rowPtr(static_cast<uint32_t>(top));
  const int32_t n = r - left;
  switch (source.bytesPerComponent()) {
    case 1: {
      const uint8_t* s = row + static_cast<size_t>(left) * 4;
      for (int32_t i = 0; i < n; ++i, s += 4) {
        rgb[3 * i] = s[0];
        rgb[3 * i + 1] = s[1];
        rgb[3 * i + 2] = s[2];
        if (alpha != nullptr) alpha[i] = s[3];
      }
      break;
    }
    case 2: {
      const auto* s = reinterpret_cast<const uint16_t*>(row) + static_cast<size_t>(left) * 4;
      for (int32_t i = 0; i < n; ++i, s += 4) {
        rgb[3 * i] = static_cast<uint8_t>(s[0] >> 8);
        rgb[3 * i + 1] = static_cast<uint8_t>(s[1] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(s[2] >> 8);
        if (alpha != nullptr) alpha[i] = static_cast<uint8_t>(s[3] >> 8);
      }
      break;
    }
    default: {
      const auto* s = reinterpret_cast<const float*>(row) + static_cast<size_t>(left) * 4;
      for (int32_t i = 0; i < n; ++i, s += 4) {
        rgb[3 * i] = FloatToByte(s[0]);
        rgb[3 * i + 1] = FloatToByte(s[1]);
        rgb[3 * i + 2] = FloatToByte(s[2]);
        if (alpha != nullptr) alpha[i] = FloatToByte(s[3]);
      }
      break;
    }
  }
  return 0;
}

int32_t WriteAPEspan(PixelBuffer& destination, int32_t /*count*/, const void* rgb,
                     const uint8_t* /*alpha*/, int16_t /*planes*/, int32_t left, int32_t top,
                     int32_t right, int32_t /*bottom*/) {
  if (rgb == nullptr || !UsableBuffer(destination)) return -1;
  top = std::max(top, 0);
  int32_t r = 0;
  if (!ClampSpan(destination, left, right, &r)) return 0;
  if (static_cast<uint32_t>(top) >= destination.height()) return -1;
  uint8_t* row = destination.rowPtr(static_cast<uint32_t>(top));
  const int32_t n = r - left;
  switch (destination.bytesPerComponent()) {
    case 1: {
      const auto* s = static_cast<const uint8_t*>(rgb);
      uint8_t* d = row + static_cast<size_t>(left) * 4;
      for (int32_t i = 0; i < n; ++i, d += 4, s += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      break;
    }
    case 2: {
      const auto* s = static_cast<const uint16_t*>(rgb);
      auto* d = reinterpret_cast<uint16_t*>(row) + static_cast<size_t>(left) * 4;
      for (int32_t i = 0; i < n; ++i, d += 4, s += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      break;
    }
    default: {
      const auto* s = static_cast<const uint32_t*>(rgb);
      auto* d = reinterpret_cast<float*>(row) + static_cast<size_t>(left) * 4;
      for (int32_t i = 0; i < n; ++i, d += 4, s += 3) {
        d[0] = static_cast<float>(s[0]) / 255.0f;
        d[1] = static_cast<float>(s[1]) / 255.0f;
        d[2] = static_cast<float>(s[2]) / 255.0f;
      }
      break;
    }
  }
  return 0;
}

void SetSessionSpanImages(const PixelBuffer* source, PixelBuffer* destination) {
  gSpanSource = source;
  gSpanDestination = destination;
}

int32_t ReadAPEimage(int32_t count, uint8_t* rgb, uint8_t* alpha, int16_t planes, int32_t left,
                     int32_t top, int32_t right, int32_t bottom) {
  if (gSpanSource == nullptr) return -1;
  return ReadAPEspan(*gSpanSource, count, rgb, alpha, planes, left, top, right, bottom);
}

int32_t WriteAPEimage(int32_t count, const void* rgb, const uint8_t* alpha, int16_t planes,
                      int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (gSpanDestination == nullptr) return -1;
  return WriteAPEspan(*gSpanDestination, count, rgb, alpha, planes, left, top, right, bottom);
}
