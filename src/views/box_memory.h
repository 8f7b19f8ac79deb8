// Blocks of the views: every buffer and record copy of a box comes from the
// session's block registry (the plain allocator when there is no session) and
// goes back to it. A record copy is value-initialised in its zeroed block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include "engines/records/param_record.h"

namespace vmkviews {

template <class R>
R* TakeRecord() {
  static_assert(std::is_trivially_destructible_v<R>, "records are plain data");
  void* p = vmkrec::NewScratch(sizeof(R));
  return p != nullptr ? new (p) R{} : nullptr;
}

// Gives a block back and clears the owner's pointer.
template <class T>
void GiveBack(T*& block) {
  vmkrec::DeleteScratch(const_cast<std::remove_const_t<T>*>(block));
  block = nullptr;
}

}  // namespace vmkviews
