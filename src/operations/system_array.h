// Work arrays of the tracing, despeckle, thinning and quantising routines:
// taken straight from the system allocator, cleared, and given back on
// every path out of the routine. Empty (ok() false) when refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/memory/memory.h"

namespace operations {

template <typename T>
class SystemArray {
 public:
  explicit SystemArray(int64_t count)
      : data_(count >= 0 && static_cast<uint64_t>(count) <= INT64_MAX / sizeof(T)
                  ? reinterpret_cast<T*>(plat::NewPtrClear(count * static_cast<int64_t>(sizeof(T))))
                  : nullptr) {}
  ~SystemArray() {
    if (data_ != nullptr) plat::DisposePtr(data_);
  }
  SystemArray(const SystemArray&) = delete;
  SystemArray& operator=(const SystemArray&) = delete;

  bool ok() const { return data_ != nullptr; }
  T* get() const { return data_; }
  T& operator[](int64_t i) const { return data_[i]; }

 private:
  T* data_;
};

}  // namespace operations
