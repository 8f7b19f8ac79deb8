// Parameter records of the effect families: byte order, conversion and stored form.
//
// Every family (colour matrix, lens correction, borders, tessellations, ...) keeps its
// settings in one plain record whose word 0 tells the byte order of its numbers: in memory
// the host's flag (0 big-endian, 1 little-endian), in our files always 1, and 0 in files
// that an older big-endian writer stored in its own order.
//
// How a family implements the convention
// --------------------------------------
// 1. The record is a plain struct of fixed-width fields (int32_t, int16_t, uint32_t, float,
//    byte tables, embedded LutVign ramps and other sub-records), every member initialised to
//    zero, so a fresh record or scratch block never carries stale bytes into a file. Word 0 is
//    an int32_t. The struct carries `static constexpr int32_t kStoredSize`, its stored size.
// 2. The family writes ONE field list, in stored order, as an overload of VisitRecord:
//
//      template <class V> void VisitRecord(V& v, ZondracPar& r) {
//        v.flag(r.w[0]);          // word 0, the byte-order flag
//        v.innerFlag(r.sub[0]);   // a sub-record's own flag: follows the record's order
//        v.i32s(&r.w[1], 40);     // numbers: converted
//        v.bytes(r.table, 256);   // byte tables: stored as they are, never converted
//        VisitRecord(v, r.ramp);  // a sub-record or ramp: its own field list
//        v.reserved(2);           // (a ramp is 1794 bytes; the next word sits 4-aligned)
//        v.fic(r.image);          // a file record: its first 538 bytes, never converted
//        v.ficCStrings(r.tile);   // the same with name and path stored zero-terminated
//        v.reserved(4092);        // stored but not kept: zeros on write, skipped on read
//      }
//
//    That one list drives writing (StoreVisitor), reading in either stored order
//    (LoadVisitor), in-place conversion (SwapVisitor, behind Swap<X>) and the size check
//    (SizeVisitor). Families whose flag is one byte use v.flag8 and v.innerFlag8. A count that decides how many fields follow is visited with
//    `int32_t n = v.count32(r.layers);`, which hands back its value in this host's order
//    whichever visitor runs; the list calls v.fail() when such a count is absurd.
// 3. Swap<X>(rec, direction, force) is vmkrec::SwapRecord(*rec, direction, force).
// 4. Do_A<X>_file is vmkrec::DoPresetFile (engines/records/preset_file.h) with the family's file
//    type, prompt and layout, its Copy_<X> for the writer's scratch copy and, when a load
//    must keep some of the caller's fields, a function that takes the loaded scratch record
//    into the caller's.
// 5. The engine Misc<X> takes its record copy from the registry and does its FillBuf head
//    (area clamp, source step, blend back) with engines/records/engine_frame.h.
//
// Sub-records and ramps are converted with the record, force flag included, so a file of
// big-endian numbers comes back whole, ramps and all.
//
// Reading decides the order by the stored word 0, wherever it sits in the file: a zero word
// means big-endian numbers (a forced reversal on a little-endian host), anything else
// little-endian. Fields visited before the flag (a file head) are little-endian. The flags
// of sub-records (innerFlag) decide nothing: the record's own flag speaks for all its
// numbers, as the family's reader tests only that one; whatever an inner flag held in the
// file, it comes back as this host's flag.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/bytes/byte_order.h"

// ---------------------------------------------------------------------------------------
// Host test and the program's own byte-swap functions. They take the word by address and
// return the resulting value. The HostToLittle pair reverses whatever the host when `force`
// is 1 (a file of big-endian numbers read on a little-endian host), otherwise only on a
// big-endian host; the LittleToHost pair reverses only on a big-endian host.
// ---------------------------------------------------------------------------------------

// True when the host stores the 32-bit value 0x02000001 with the byte 2 first.
bool HostIsBigEndian();
// The byte-order flag of a record in this host's memory: 0 big-endian, 1 little-endian.
int32_t HostOrderFlag();

int32_t CFSwapSInt32LittleToHost(int32_t* value);
int32_t CFSwapSInt32HostToLittle(int32_t* value, int16_t force);
int16_t CFSwapSInt16LittleToHost(int16_t* value);
int16_t CFSwapSInt16HostToLittle(int16_t* value, int16_t force);

namespace vmkrec {

using plat::bytes::Order;

// A file record whose name and path travel as zero-terminated strings: in place, direction 1
// turns both length-prefixed strings into C strings, any other direction back.
void FicStringsToC(fichier& f);
void FicStringsFromC(fichier& f);

// Counts the stored bytes of a field list.
class SizeVisitor {
 public:
  void flag(int32_t&) { n_ += 4; }
  void flag8(uint8_t&) { n_ += 1; }
  void innerFlag(int32_t&) { n_ += 4; }
  void innerFlag8(uint8_t&) { n_ += 1; }
  void hostI32(int32_t&) { n_ += 4; }
  void i16(int16_t&) { n_ += 2; }
  void u16(uint16_t&) { n_ += 2; }
  void i32(int32_t&) { n_ += 4; }
  int32_t count32(int32_t& c) {
    n_ += 4;
    return c;
  }
  void u32(uint32_t&) { n_ += 4; }
  void f32(float&) { n_ += 4; }
  void i16s(int16_t*, size_t count) { n_ += 2 * count; }
  void u16s(uint16_t*, size_t count) { n_ += 2 * count; }
  void i32s(int32_t*, size_t count) { n_ += 4 * count; }
  void u32s(uint32_t*, size_t count) { n_ += 4 * count; }
  void f32s(float*, size_t count) { n_ += 4 * count; }
  void bytes(void*, size_t count) { n_ += count; }
  void fic(fichier&) { n_ += kFicStoredSize; }
  void ficCStrings(fichier&) { n_ += kFicStoredSize; }
  void reserved(size_t count) { n_ += count; }
  void fail() { ok_ = false; }
  bool ok() const { return ok_; }
  size_t size() const { return n_; }

 private:
  size_t n_ = 0;
  bool ok_ = true;
};

// Appends the stored form: numbers little-endian (or host order for raw records), word 0
// written as 1, reserved space as zeros.
class StoreVisitor {
 public:
  // `raw` stores every field in the host's order with word 0 as it is (raw preset files).
  explicit StoreVisitor(bool raw = false)
      : w_(raw ? plat::bytes::hostOrder() : Order::Little), raw_(raw) {}
  // Numbers in the given order, word 0 written as 1: the form an older big-endian writer
  // left in script records that say their order once in their head.
  explicit StoreVisitor(Order order) : w_(order), raw_(false) {}

  void flag(int32_t& f) { w_.i32(raw_ ? f : 1); }
  void flag8(uint8_t& f) { w_.u8(raw_ ? f : 1); }
  void innerFlag(int32_t& f) { flag(f); }
  void innerFlag8(uint8_t& f) { flag8(f); }
  // A head word kept in the writing host's order.
  void hostI32(int32_t& v);
  void i16(int16_t& v) { w_.i16(v); }
  void u16(uint16_t& v) { w_.u16(v); }
  void i32(int32_t& v) { w_.i32(v); }
  int32_t count32(int32_t& c) {
    w_.i32(c);
    return c;
  }
  void u32(uint32_t& v) { w_.u32(v); }
  void f32(float& v) { w_.f32(v); }
  void i16s(int16_t* p, size_t count) { w_.i16s(p, count); }
  void u16s(uint16_t* p, size_t count) { w_.u16s(p, count); }
  void i32s(int32_t* p, size_t count) { w_.i32s(p, count); }
  void u32s(uint32_t* p, size_t count) { w_.u32s(p, count); }
  void f32s(float* p, size_t count) { w_.f32s(p, count); }
  void bytes(void* p, size_t count) { w_.raw(p, count); }
  void fic(fichier& f) { Write_FicStruct(w_, f); }
  void ficCStrings(fichier& f);
  void reserved(size_t count) { w_.zeros(count); }
  void fail() { ok_ = false; }
  bool ok() const { return ok_; }

  size_t size() const { return w_.size(); }
  const std::vector<uint8_t>& data() const { return w_.bytes(); }
  std::vector<uint8_t> take() { return w_.take(); }

 private:
  plat::bytes::Writer w_;
  bool raw_;
  bool ok_ = true;
};

// Reads the stored form. At each word 0 the order of what follows is decided by that word
// (zero: big-endian); the record's flag becomes this host's. Reading past the end marks
// the visitor failed; callers take nothing from a failed visitor.
class LoadVisitor {
 public:
  LoadVisitor(const uint8_t* data, size_t size, bool raw = false)
      : data_(data), r_(data, size, raw ? plat::bytes::hostOrder() : Order::Little), raw_(raw) {}

  // A script record states the order of all its converted blocks once, in its head: from
  // here on every word 0 is read in that order and decides nothing.
  void forceOrder(Order order) {
    forced_ = true;
    forcedOrder_ = order;
    r_.setOrder(order);
  }
  // Older writers left the strings of these file records length-prefixed: take them whole.
  void keepStoredStrings() { keepStrings_ = true; }

  void flag(int32_t& f);
  void flag8(uint8_t& f);
  void innerFlag(int32_t& f) {
    const int32_t stored = r_.i32();
    f = raw_ ? stored : HostOrderFlag();
  }
  void innerFlag8(uint8_t& f) {
    const uint8_t stored = r_.u8();
    f = raw_ ? stored : static_cast<uint8_t>(HostOrderFlag());
  }
  void hostI32(int32_t& v);
  void i16(int16_t& v) { v = r_.i16(); }
  void u16(uint16_t& v) { v = r_.u16(); }
  void i32(int32_t& v) { v = r_.i32(); }
  int32_t count32(int32_t& c) {
    c = r_.i32();
    return c;
  }
  void u32(uint32_t& v) { v = r_.u32(); }
  void f32(float& v) { v = r_.f32(); }
  void i16s(int16_t* p, size_t count) { r_.i16s(p, count); }
  void u16s(uint16_t* p, size_t count) { r_.u16s(p, count); }
  void i32s(int32_t* p, size_t count) { r_.i32s(p, count); }
  void u32s(uint32_t* p, size_t count) { r_.u32s(p, count); }
  void f32s(float* p, size_t count) { r_.f32s(p, count); }
  void bytes(void* p, size_t count) { r_.raw(p, count); }
  void fic(fichier& f) {
    if (!Read_FicStruct(r_, &f)) failed_ = true;
  }
  void ficCStrings(fichier& f);
  void reserved(size_t count) { r_.skip(count); }
  void fail() { failed_ = true; }
  bool ok() const { return r_.ok() && !failed_; }

  size_t pos() const { return r_.pos(); }
  Order order() const { return r_.order(); }

 private:
  const uint8_t* data_;
  plat::bytes::Reader r_;
  bool raw_;
  bool failed_ = false;
  bool forced_ = false;
  Order forcedOrder_ = Order::Little;
  bool keepStrings_ = false;
};

// Converts a record in place between host order and little-endian: direction 1 host to
// little-endian (word 0 := 1, numbers through the HostToLittle functions with `force`),
// any other direction little-endian to host (word 0 := the host's flag, numbers through the
// LittleToHost functions). Byte tables and reserved space are never touched.
class SwapVisitor {
 public:
  SwapVisitor(int16_t direction, int16_t force) : toLittle_(direction == 1), force_(force) {}

  void flag(int32_t& f) { f = toLittle_ ? 1 : HostOrderFlag(); }
  void flag8(uint8_t& f) { f = static_cast<uint8_t>(toLittle_ ? 1 : HostOrderFlag()); }
  void innerFlag(int32_t& f) { flag(f); }
  void innerFlag8(uint8_t& f) { flag8(f); }
  void hostI32(int32_t&) {}
  void i16(int16_t& v) { toLittle_ ? CFSwapSInt16HostToLittle(&v, force_) : CFSwapSInt16LittleToHost(&v); }
  void u16(uint16_t& v) {
    auto s = static_cast<int16_t>(v);
    i16(s);
    v = static_cast<uint16_t>(s);
  }
  void i32(int32_t& v) { toLittle_ ? CFSwapSInt32HostToLittle(&v, force_) : CFSwapSInt32LittleToHost(&v); }
  // Converting to little-endian, the count is taken before its bytes turn; back, after.
  int32_t count32(int32_t& c) {
    const int32_t before = c;
    i32(c);
    return toLittle_ ? before : c;
  }
  void u32(uint32_t& v) {
    auto s = static_cast<int32_t>(v);
    i32(s);
    v = static_cast<uint32_t>(s);
  }
  void f32(float& v) {
    auto s = std::bit_cast<int32_t>(v);
    i32(s);
    v = std::bit_cast<float>(s);
  }
  void i16s(int16_t* p, size_t count) { for (size_t i = 0; i < count; ++i) i16(p[i]); }
  void u16s(uint16_t* p, size_t count) { for (size_t i = 0; i < count; ++i) u16(p[i]); }
  void i32s(int32_t* p, size_t count) { for (size_t i = 0; i < count; ++i) i32(p[i]); }
  void u32s(uint32_t* p, size_t count) { for (size_t i = 0; i < count; ++i) u32(p[i]); }
  void f32s(float* p, size_t count) { for (size_t i = 0; i < count; ++i) f32(p[i]); }
  void bytes(void*, size_t) {}
  void fic(fichier&) {}
  void ficCStrings(fichier& f) { toLittle_ ? FicStringsToC(f) : FicStringsFromC(f); }
  void reserved(size_t) {}
  void fail() {}
  bool ok() const { return true; }

 private:
  bool toLittle_;
  int16_t force_;
};

// ---------------------------------------------------------------------------------------
// Generic record operations over a family's VisitRecord.
// ---------------------------------------------------------------------------------------

template <class R>
void SwapRecord(R& record, int16_t direction, int16_t force) {
  SwapVisitor v(direction, force);
  VisitRecord(v, record);
}

// Stored size of a record as its field list describes it.
template <class R>
size_t StoredSize(R& record) {
  SizeVisitor v;
  VisitRecord(v, record);
  return v.size();
}

// The stored (little-endian, word 0 = 1) form of a record.
template <class R>
std::vector<uint8_t> StoreRecord(R& record) {
  StoreVisitor v;
  VisitRecord(v, record);
  return v.take();
}

// Reads a stored record into `out`. False when the bytes run short or the field list
// refused them; `out` may then hold part of them (read into a scratch record).
template <class R>
bool LoadRecord(const uint8_t* data, size_t size, R& out) {
  LoadVisitor v(data, size);
  VisitRecord(v, out);
  return v.ok();
}

// ---------------------------------------------------------------------------------------
// Scratch memory from the session's registry (or the plain block allocator outside a
// session), always zeroed, returned on every path.
// ---------------------------------------------------------------------------------------

void* NewScratch(size_t size);
void DeleteScratch(void* block);

// A zeroed block of `size` bytes; valid() is false when memory ran out (or for size 0).
class ScratchBytes {
 public:
  explicit ScratchBytes(size_t size)
      : block_(size > 0 && size <= 0x7FFFFFFFu ? static_cast<int64_t>(size) : -1, WorkSource()),
        size_(size) {
    block_.Clear();
  }
  bool valid() const { return static_cast<bool>(block_); }
  uint8_t* data() const { return block_.get(); }
  size_t size() const { return size_; }

 private:
  plat::Block<uint8_t> block_;
  size_t size_;
};

// A zero-initialised record of type R in scratch memory; also the engine's own record copy.
template <class R>
class ScratchRecord {
  static_assert(std::is_trivially_destructible_v<R>, "records are plain data");

 public:
  ScratchRecord() : block_(1, WorkSource()) {
    block_.Clear();  // padding included: nothing stale reaches a file
    if (block_) new (block_.get()) R{};
  }
  bool valid() const { return static_cast<bool>(block_); }
  R* get() const { return block_.get(); }
  R& operator*() const { return *block_.get(); }
  R* operator->() const { return block_.get(); }

 private:
  plat::Block<R> block_;
};

}  // namespace vmkrec
