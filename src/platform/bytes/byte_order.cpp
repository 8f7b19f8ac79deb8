#include "platform/bytes/byte_order.h"

#include <algorithm>

namespace plat::bytes {

namespace {
std::optional<Order> gForcedOrder;
}

Order hostOrder() {
  if (gForcedOrder) return *gForcedOrder;
  return std::endian::native == std::endian::big ? Order::Big : Order::Little;
}

void setHostOrderForTesting(std::optional<Order> order) { gForcedOrder = order; }

namespace {

// Numbers stored in the order asked are the host's own bytes when the two orders agree.
constexpr Order kNative = std::endian::native == std::endian::little ? Order::Little : Order::Big;

template <typename Bits>
void StoreBits(uint8_t* d, Bits v, Order order) {
  if constexpr (sizeof(Bits) == 2) {
    order == Order::Little ? storeLE16(d, v) : storeBE16(d, v);
  } else {
    order == Order::Little ? storeLE32(d, v) : storeBE32(d, v);
  }
}

template <typename Bits>
Bits LoadBits(const uint8_t* d, Order order) {
  if constexpr (sizeof(Bits) == 2) {
    return order == Order::Little ? loadLE16(d) : loadBE16(d);
  } else {
    return order == Order::Little ? loadLE32(d) : loadBE32(d);
  }
}

}  // namespace

template <typename Bits, typename T>
void Writer::writeArray(const T* p, size_t n) {
  static_assert(sizeof(Bits) == sizeof(T));
  const size_t at = buf_.size();
  buf_.resize(at + sizeof(T) * n);
  if (n == 0) return;
  uint8_t* d = buf_.data() + at;
  if (order_ == kNative) {
    std::memcpy(d, p, sizeof(T) * n);
    return;
  }
  for (size_t i = 0; i < n; ++i) StoreBits<Bits>(d + sizeof(T) * i, std::bit_cast<Bits>(p[i]), order_);
}

template <typename Bits, typename T>
void Reader::readArray(T* out, size_t n) {
  static_assert(sizeof(Bits) == sizeof(T));
  const size_t fit = ok_ && pos_ <= size_ ? std::min(n, (size_ - pos_) / sizeof(T)) : 0;
  if (fit > 0) {
    if (order_ == kNative) {
      std::memcpy(out, data_ + pos_, sizeof(T) * fit);
    } else {
      for (size_t i = 0; i < fit; ++i) out[i] = std::bit_cast<T>(LoadBits<Bits>(data_ + pos_ + sizeof(T) * i, order_));
    }
    pos_ += sizeof(T) * fit;
  }
  if (fit < n) {
    ok_ = false;
    std::fill(out + fit, out + n, T{0});
  }
}

void Writer::u16(uint16_t v) {
  uint8_t b[2];
  if (order_ == Order::Little) storeLE16(b, v); else storeBE16(b, v);
  raw(b, 2);
}

void Writer::u32(uint32_t v) {
  uint8_t b[4];
  if (order_ == Order::Little) storeLE32(b, v); else storeBE32(b, v);
  raw(b, 4);
}

void Writer::f64(double v) {
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  const auto lo = static_cast<uint32_t>(bits), hi = static_cast<uint32_t>(bits >> 32);
  if (order_ == Order::Little) { u32(lo); u32(hi); } else { u32(hi); u32(lo); }
}

void Writer::u16s(const uint16_t* p, size_t n) { writeArray<uint16_t>(p, n); }
void Writer::u32s(const uint32_t* p, size_t n) { writeArray<uint32_t>(p, n); }
void Writer::f32s(const float* p, size_t n) { writeArray<uint32_t>(p, n); }

void Writer::raw(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  buf_.insert(buf_.end(), p, p + n);
}

bool Reader::take(size_t n) {
  if (!ok_ || pos_ > size_ || size_ - pos_ < n) {
    ok_ = false;
    return false;
  }
  return true;
}

uint8_t Reader::u8() {
  if (!take(1)) return 0;
  return data_[pos_++];
}

uint16_t Reader::u16() {
  if (!take(2)) return 0;
  const uint16_t v = order_ == Order::Little ? loadLE16(data_ + pos_) : loadBE16(data_ + pos_);
  pos_ += 2;
  return v;
}

uint32_t Reader::u32() {
  if (!take(4)) return 0;
  const uint32_t v = order_ == Order::Little ? loadLE32(data_ + pos_) : loadBE32(data_ + pos_);
  pos_ += 4;
  return v;
}

double Reader::f64() {
  const uint32_t a = u32(), b = u32();
  const uint64_t bits = order_ == Order::Little ? (static_cast<uint64_t>(b) << 32) | a
                                                : (static_cast<uint64_t>(a) << 32) | b;
  return std::bit_cast<double>(bits);
}

void Reader::u16s(uint16_t* out, size_t n) { readArray<uint16_t>(out, n); }
void Reader::u32s(uint32_t* out, size_t n) { readArray<uint32_t>(out, n); }
void Reader::f32s(float* out, size_t n) { readArray<uint32_t>(out, n); }

void Reader::raw(void* out, size_t n) {
  if (!take(n)) {
    std::memset(out, 0, n);
    return;
  }
  std::memcpy(out, data_ + pos_, n);
  pos_ += n;
}

void Reader::skip(size_t n) {
  if (take(n)) pos_ += n;
}

bool Reader::seek(size_t pos) {
  if (pos > size_) {
    ok_ = false;
    return false;
  }
  pos_ = pos;
  return true;
}

}  // namespace plat::bytes
