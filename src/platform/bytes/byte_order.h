// Explicit-width byte-order conversion for stored records.
//
// Files are little-endian; a few blocks are stored in the order of the host
// that wrote them, and we write those little-endian too. Records are always
// written and read field by field through these helpers, never by dumping
// structs. The host-order probe can be overridden by tests so that the
// swapping branches run on a little-endian machine too.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace plat::bytes {

enum class Order { Little, Big };

// The byte order of this host, unless a test has forced one.
Order hostOrder();
// Forces hostOrder() to answer `order` (nullopt restores the real probe).
void setHostOrderForTesting(std::optional<Order> order);

constexpr uint16_t swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
constexpr uint32_t swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}
constexpr uint64_t swap64(uint64_t v) {
  return (static_cast<uint64_t>(swap32(static_cast<uint32_t>(v))) << 32) |
         swap32(static_cast<uint32_t>(v >> 32));
}

// Converts between the host's order and little-endian storage (its own inverse).
inline uint16_t hostToLittle16(uint16_t v) { return hostOrder() == Order::Little ? v : swap16(v); }
inline uint32_t hostToLittle32(uint32_t v) { return hostOrder() == Order::Little ? v : swap32(v); }
inline uint16_t hostToBig16(uint16_t v) { return hostOrder() == Order::Big ? v : swap16(v); }
inline uint32_t hostToBig32(uint32_t v) { return hostOrder() == Order::Big ? v : swap32(v); }

// Loads and stores at a byte address, independent of alignment and host.
inline uint16_t loadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint16_t loadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t loadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t loadBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void storeLE16(uint8_t* p, uint16_t v) { p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8); }
inline void storeBE16(uint8_t* p, uint16_t v) { p[0] = static_cast<uint8_t>(v >> 8); p[1] = static_cast<uint8_t>(v); }
inline void storeLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16); p[3] = static_cast<uint8_t>(v >> 24);
}
inline void storeBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24); p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8); p[3] = static_cast<uint8_t>(v);
}

// Appends fields to a byte block in one chosen order (little-endian unless
// told otherwise).
class Writer {
 public:
  explicit Writer(Order order = Order::Little) : order_(order) {}
  void setOrder(Order order) { order_ = order; }
  Order order() const { return order_; }

  void u8(uint8_t v) { buf_.push_back(v); }
  void i8(int8_t v) { u8(static_cast<uint8_t>(v)); }
  void u16(uint16_t v);
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void u32(uint32_t v);
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void f32(float v) { u32(std::bit_cast<uint32_t>(v)); }
  void f64(double v);
  // Four-character codes keep their reading order ('hVig' stores "hVig" in
  // big-endian and "giVh" in little-endian, as a 32-bit word would).
  void fourCC(uint32_t code) { u32(code); }
  void raw(const void* data, size_t n);
  void zeros(size_t n) { buf_.insert(buf_.end(), n, 0); }
  // Arrays of numbers: the bytes a loop of the single forms writes, in one
  // step (a record of a megabyte is hundreds of thousands of fields).
  void u16s(const uint16_t* p, size_t n);
  void i16s(const int16_t* p, size_t n) { u16s(reinterpret_cast<const uint16_t*>(p), n); }
  void u32s(const uint32_t* p, size_t n);
  void i32s(const int32_t* p, size_t n) { u32s(reinterpret_cast<const uint32_t*>(p), n); }
  void f32s(const float* p, size_t n);

  size_t size() const { return buf_.size(); }
  const std::vector<uint8_t>& bytes() const { return buf_; }
  std::vector<uint8_t> take() { return std::move(buf_); }

 private:
  template <typename Bits, typename T>
  void writeArray(const T* p, size_t n);

  Order order_;
  std::vector<uint8_t> buf_;
};

// Reads fields from a byte block. Reading past the end yields zeros and
// marks the reader failed; callers check ok() once at the end and then
// either take every value or none.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size, Order order = Order::Little)
      : data_(data), size_(size), order_(order) {}
  explicit Reader(const std::vector<uint8_t>& v, Order order = Order::Little)
      : Reader(v.data(), v.size(), order) {}
  void setOrder(Order order) { order_ = order; }
  Order order() const { return order_; }

  uint8_t u8();
  int8_t i8() { return static_cast<int8_t>(u8()); }
  uint16_t u16();
  int16_t i16() { return static_cast<int16_t>(u16()); }
  uint32_t u32();
  int32_t i32() { return static_cast<int32_t>(u32()); }
  float f32() { return std::bit_cast<float>(u32()); }
  double f64();
  uint32_t fourCC() { return u32(); }
  // Arrays of numbers, as a loop of the single forms reads them: those past
  // the end read 0 and fail the reader.
  void u16s(uint16_t* out, size_t n);
  void i16s(int16_t* out, size_t n) { u16s(reinterpret_cast<uint16_t*>(out), n); }
  void u32s(uint32_t* out, size_t n);
  void i32s(int32_t* out, size_t n) { u32s(reinterpret_cast<uint32_t*>(out), n); }
  void f32s(float* out, size_t n);
  // Copies n bytes (zeros past the end).
  void raw(void* out, size_t n);
  void skip(size_t n);
  bool seek(size_t pos);

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t size() const { return size_; }
  size_t remaining() const { return pos_ <= size_ ? size_ - pos_ : 0; }
  // The bytes not read yet (remaining() of them), for a parser of their own.
  const uint8_t* cursor() const { return data_ + (pos_ <= size_ ? pos_ : size_); }

 private:
  bool take(size_t n);
  template <typename Bits, typename T>
  void readArray(T* out, size_t n);
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  Order order_;
  bool ok_ = true;
};

}  // namespace plat::bytes
