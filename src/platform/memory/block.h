// One owner for work memory.
//
// A Block<T> holds `count` elements of a plain type taken from a source (the
// session's block registry, or the plain allocator when there is none) and
// hands them back to that same source when it goes, on whichever path the
// caller leaves. It moves but never copies, so exactly one owner frees it.
// Failure to get memory leaves the block empty: callers write
//
//   plat::Block<float> row(width, WorkSource());
//   if (!row) return -1;
//
// The contents are not cleared unless Clear() is called.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "platform/memory/memory.h"

namespace plat {

// Where a block's bytes come from and where they go back: two functions and
// the object they act on. The platform itself knows only the plain
// allocator; a registry above it supplies its own pair.
struct BlockSource {
  void* owner = nullptr;
  // `bytes` is at least 1; null when the memory cannot be had.
  void* (*take)(void* owner, int64_t bytes) = nullptr;
  void (*give)(void* owner, void* block) = nullptr;
};

// NewPtr and DisposePtr: what a kernel uses when no session is running.
BlockSource PlainSource();

template <typename T>
class Block {
  // The memory is never constructed or destroyed element by element.
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "Block holds plain samples and records only");

 public:
  Block() = default;
  // `count` elements from `source`. A negative count, a size that does not
  // fit, or a refusal by the source leave the block empty. A count of 0
  // still takes a (one-byte) block, so that emptiness always means failure.
  explicit Block(int64_t count, BlockSource source = PlainSource()) : source_(source) {
    if (count < 0 || source.take == nullptr) return;
    if (count > std::numeric_limits<int64_t>::max() / static_cast<int64_t>(sizeof(T))) {
      CountRefusedBlock();
      return;
    }
    const int64_t bytes = count * static_cast<int64_t>(sizeof(T));
    data_ = static_cast<T*>(source.take(source.owner, bytes > 0 ? bytes : 1));
    if (data_ != nullptr) count_ = count;
  }
  ~Block() { reset(); }

  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  Block(Block&& other) noexcept
      : source_(other.source_),
        data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)) {}
  Block& operator=(Block&& other) noexcept {
    if (this != &other) {
      reset();
      source_ = other.source_;
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }

  explicit operator bool() const { return data_ != nullptr; }
  T* get() const { return data_; }
  T& operator[](int64_t i) const { return data_[i]; }
  T* begin() const { return data_; }
  T* end() const { return data_ + count_; }
  int64_t size() const { return count_; }
  int64_t bytes() const { return count_ * static_cast<int64_t>(sizeof(T)); }

  // Zero bytes in every element.
  void Clear() const {
    if (data_ != nullptr) std::memset(static_cast<void*>(data_), 0, static_cast<size_t>(bytes()));
  }
  // Hands the memory back now; the block is empty afterwards.
  void reset() {
    if (data_ != nullptr) source_.give(source_.owner, data_);
    data_ = nullptr;
    count_ = 0;
  }

 private:
  BlockSource source_;
  T* data_ = nullptr;
  int64_t count_ = 0;
};

}  // namespace plat
