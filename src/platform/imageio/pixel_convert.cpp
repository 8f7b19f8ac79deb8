// Row conversions between the codecs' sample layouts and four-component
// pixels. Depth changes round to the nearest value (v x 257 up from 8 bits,
// v / 257 rounded down to 8), floats are on the scale 0..1 and are clamped
// into the integer ranges (NaN becomes 0).
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "platform/imageio/codec_common.h"

namespace plat::imageio::detail {
namespace {

template <typename T> constexpr T MaxOf();
template <> constexpr uint8_t MaxOf<uint8_t>() { return 255; }
template <> constexpr uint16_t MaxOf<uint16_t>() { return 65535; }
template <> constexpr float MaxOf<float>() { return 1.0f; }

inline uint8_t Mul(uint8_t c, uint8_t a) { return static_cast<uint8_t>((c * a + 127) / 255); }
inline uint16_t Mul(uint16_t c, uint16_t a) {
  return static_cast<uint16_t>((static_cast<uint32_t>(c) * a + 32767u) / 65535u);
}
inline float Mul(float c, float a) { return c * a; }

// Straight colour from a premultiplied one, rounded; no alpha, no colour.
inline uint8_t Div(uint8_t c, uint8_t a) {
  if (a == 0) return 0;
  return static_cast<uint8_t>(std::min<uint32_t>(255u, (c * 255u + a / 2u) / a));
}
inline uint16_t Div(uint16_t c, uint16_t a) {
  if (a == 0) return 0;
  return static_cast<uint16_t>(
      std::min<uint64_t>(65535u, (uint64_t{c} * 65535u + a / 2u) / a));
}
inline float Div(float c, float a) { return a > 0.0f ? std::min(c / a, 1.0f) : 0.0f; }

enum class AlphaMode { Keep, Premultiply, Unpremultiply };

inline float ClampUnit(float f) {
  if (!(f > 0.0f)) return 0.0f;  // NaN too
  return f < 1.0f ? f : 1.0f;
}

template <typename Out> Out Conv(uint8_t v);
template <typename Out> Out Conv(uint16_t v);
template <typename Out> Out Conv(float v);
template <> uint8_t Conv<uint8_t>(uint8_t v) { return v; }
template <> uint16_t Conv<uint16_t>(uint8_t v) { return static_cast<uint16_t>(v * 257); }
template <> float Conv<float>(uint8_t v) { return static_cast<float>(v) / 255.0f; }
template <> uint8_t Conv<uint8_t>(uint16_t v) {
  return static_cast<uint8_t>((static_cast<uint32_t>(v) * 255u + 32767u) / 65535u);
}
template <> uint16_t Conv<uint16_t>(uint16_t v) { return v; }
template <> float Conv<float>(uint16_t v) { return static_cast<float>(v) / 65535.0f; }
template <> uint8_t Conv<uint8_t>(float v) { return static_cast<uint8_t>(ClampUnit(v) * 255.0f + 0.5f); }
template <> uint16_t Conv<uint16_t>(float v) {
  return static_cast<uint16_t>(ClampUnit(v) * 65535.0f + 0.5f);
}
template <> float Conv<float>(float v) { return v; }

template <typename In, typename Out, int Ch>
void StoreT(const In* s, uint32_t width, Out* d, AlphaMode mode) {
  for (uint32_t x = 0; x < width; ++x, s += Ch, d += 4) {
    In r, g, b, a = MaxOf<In>();
    if constexpr (Ch <= 2) {
      r = g = b = s[0];
    } else {
      r = s[0];
      g = s[1];
      b = s[2];
    }
    if constexpr (Ch == 2 || Ch == 4) {
      a = s[Ch - 1];
      if (mode == AlphaMode::Premultiply) {
        r = Mul(r, a);
        g = Mul(g, a);
        b = Mul(b, a);
        a = MaxOf<In>();
      } else if (mode == AlphaMode::Unpremultiply) {
        r = Div(r, a);
        g = Div(g, a);
        b = Div(b, a);
      }
    }
    d[0] = Conv<Out>(r);
    d[1] = Conv<Out>(g);
    d[2] = Conv<Out>(b);
    d[3] = Conv<Out>(a);
  }
}

// Three samples a pixel into four of the same depth, the alpha at full: on
// a little-endian machine each pixel is one word read (its three samples
// and the next pixel's first bytes), the top sample set to full, one word
// written. The last pixel, whose word would reach past the row, and other
// machines go sample by sample. Same samples as StoreT; about three times
// fewer operations a pixel.
template <typename T, typename Word>
void StoreOpaque(const T* s, uint32_t width, T* d) {
  static_assert(sizeof(Word) == 4 * sizeof(T));
  uint32_t x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr Word kFull = static_cast<Word>(MaxOf<T>()) << (3 * 8 * sizeof(T));
    for (; x + 1 < width; ++x, s += 3, d += 4) {
      Word v;
      std::memcpy(&v, s, sizeof v);
      v |= kFull;
      std::memcpy(d, &v, sizeof v);
    }
  }
  for (; x < width; ++x, s += 3, d += 4) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = MaxOf<T>();
  }
}

// Four samples a pixel into three of the same depth (the alpha left out):
// a word read and a word written a pixel, each write's top sample
// overwritten by the next pixel's; the last pixel sample by sample.
template <typename T, typename Word>
void PackOpaque(const T* s, uint32_t width, T* d) {
  static_assert(sizeof(Word) == 4 * sizeof(T));
  uint32_t x = 0;
  for (; x + 1 < width; ++x, s += 4, d += 3) std::memcpy(d, s, sizeof(Word));
  for (; x < width; ++x, s += 4, d += 3) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  }
}

template <typename In, typename Out>
void StoreCh(const In* s, int channels, uint32_t width, Out* d, AlphaMode mode) {
  if constexpr (std::is_same_v<In, uint8_t> && std::is_same_v<Out, uint8_t>) {
    if (channels == 3) return StoreOpaque<uint8_t, uint32_t>(s, width, d);
  } else if constexpr (std::is_same_v<In, uint16_t> && std::is_same_v<Out, uint16_t>) {
    if (channels == 3) return StoreOpaque<uint16_t, uint64_t>(s, width, d);
  }
  switch (channels) {
    case 1: StoreT<In, Out, 1>(s, width, d, mode); break;
    case 2: StoreT<In, Out, 2>(s, width, d, mode); break;
    case 3: StoreT<In, Out, 3>(s, width, d, mode); break;
    default: StoreT<In, Out, 4>(s, width, d, mode); break;
  }
}

template <typename In>
void StoreIn(const In* s, int channels, uint32_t width, uint8_t* row, int outBytes,
             AlphaMode mode) {
  if (outBytes == 1)
    StoreCh<In, uint8_t>(s, channels, width, row, mode);
  else if (outBytes == 2)
    StoreCh<In, uint16_t>(s, channels, width, reinterpret_cast<uint16_t*>(row), mode);
  else
    StoreCh<In, float>(s, channels, width, reinterpret_cast<float*>(row), mode);
}

template <typename In, typename Out>
void PackT(const In* s, uint32_t width, Out* d) {
  for (uint32_t x = 0; x < width; ++x, s += 4, d += 3) {
    d[0] = Conv<Out>(s[0]);
    d[1] = Conv<Out>(s[1]);
    d[2] = Conv<Out>(s[2]);
  }
}

// All four samples a pixel, the alpha with the colours.
template <typename In, typename Out>
void PackAlphaT(const In* s, uint32_t width, Out* d) {
  if constexpr (std::is_same_v<In, Out>) {
    std::memcpy(d, s, static_cast<size_t>(width) * 4u * sizeof(In));
  } else {
    for (uint32_t i = 0; i < width * 4u; ++i) d[i] = Conv<Out>(s[i]);
  }
}

template <typename In>
void PackIn(const In* s, uint32_t width, Kind kind, bool alpha, void* out) {
  if (alpha) {
    switch (kind) {
      case Kind::U8: PackAlphaT<In, uint8_t>(s, width, static_cast<uint8_t*>(out)); break;
      case Kind::U16: PackAlphaT<In, uint16_t>(s, width, static_cast<uint16_t*>(out)); break;
      case Kind::F32: PackAlphaT<In, float>(s, width, static_cast<float*>(out)); break;
    }
    return;
  }
  if constexpr (std::is_same_v<In, uint8_t>) {
    if (kind == Kind::U8)
      return PackOpaque<uint8_t, uint32_t>(s, width, static_cast<uint8_t*>(out));
  } else if constexpr (std::is_same_v<In, uint16_t>) {
    if (kind == Kind::U16)
      return PackOpaque<uint16_t, uint64_t>(s, width, static_cast<uint16_t*>(out));
  }
  switch (kind) {
    case Kind::U8: PackT<In, uint8_t>(s, width, static_cast<uint8_t*>(out)); break;
    case Kind::U16: PackT<In, uint16_t>(s, width, static_cast<uint16_t*>(out)); break;
    case Kind::F32: PackT<In, float>(s, width, static_cast<float*>(out)); break;
  }
}

}  // namespace

int CheckSize(uint32_t width, uint32_t height, std::string* message) {
  if (width == 0 || height == 0) {
    SetMessage(message, "image has no pixels (" + std::to_string(width) + " x " +
                            std::to_string(height) + ")");
    return kErrDamaged;
  }
  if (width > kMaxDimension || height > kMaxDimension ||
      static_cast<uint64_t>(width) * height > kMaxPixels) {
    SetMessage(message, "image of " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels is larger than this program reads");
    return kErrTooLarge;
  }
  return kOk;
}

int CheckDataFits(uint64_t decoded, uint64_t stored, uint64_t ratio, const char* format,
                  std::string* message) {
  constexpr uint64_t kSlack = 4096;
  if (stored > (UINT64_MAX - kSlack) / ratio || decoded <= stored * ratio + kSlack) return kOk;
  SetMessage(message, std::string("damaged ") + format + " file: its " + std::to_string(stored) +
                          " bytes of data cannot hold the " + std::to_string(decoded) +
                          " bytes its header declares");
  return kErrDamaged;
}

uint64_t BytesAfter(int fd, uint64_t offset) {
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size < 0) return 0;
  const auto size = static_cast<uint64_t>(st.st_size);
  return size > offset ? size - offset : 0;
}

int PrepareTarget(DecodeContext& ctx) {
  if (ctx.factory == nullptr || !*ctx.factory) return kOk;
  PixelTarget t;
  bool made = false;
  try {
    made = (*ctx.factory)(*ctx.info, &t);
  } catch (...) {
    made = false;  // the codecs' C state must be torn down by their callers
  }
  if (!made) {
    ctx.message = "no memory for the image's pixels";
    return kErrNoMemory;
  }
  const int b = t.bytesPerComponent;
  if (t.base == nullptr || (b != 1 && b != 2 && b != 4) ||
      t.rowBytes < static_cast<size_t>(ctx.info->width) * 4u * static_cast<size_t>(b)) {
    ctx.message = "bad pixel buffer for the image";
    return kErrArgument;
  }
  ctx.target = t;
  return kOk;
}

void StoreRow(const void* samples, Kind kind, int channels, bool premultiplied,
              const DecodeContext& ctx, uint32_t y) {
  const PixelTarget& t = ctx.target;
  uint8_t* row = t.base + static_cast<size_t>(y) * t.rowBytes;
  const uint32_t w = ctx.info->width;
  const AlphaMode mode =
      ctx.straightAlpha ? (premultiplied ? AlphaMode::Unpremultiply : AlphaMode::Keep)
                        : (premultiplied ? AlphaMode::Keep : AlphaMode::Premultiply);
  switch (kind) {
    case Kind::U8:
      StoreIn(static_cast<const uint8_t*>(samples), channels, w, row, t.bytesPerComponent,
              mode);
      break;
    case Kind::U16:
      StoreIn(static_cast<const uint16_t*>(samples), channels, w, row, t.bytesPerComponent,
              mode);
      break;
    case Kind::F32:
      StoreIn(static_cast<const float*>(samples), channels, w, row, t.bytesPerComponent,
              mode);
      break;
  }
}

void PackRow(const PixelSource& px, uint32_t y, Kind kind, void* out, bool alpha) {
  const uint8_t* row = px.base + static_cast<size_t>(y) * px.rowBytes;
  if (px.bytesPerComponent == 1)
    PackIn(row, px.width, kind, alpha, out);
  else if (px.bytesPerComponent == 2)
    PackIn(reinterpret_cast<const uint16_t*>(row), px.width, kind, alpha, out);
  else
    PackIn(reinterpret_cast<const float*>(row), px.width, kind, alpha, out);
}

}  // namespace plat::imageio::detail
