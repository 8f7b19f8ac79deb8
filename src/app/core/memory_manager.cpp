#include "app/core/memory_manager.h"

#include <limits>

#include "app/core/session_state.h"

CMem::~CMem() {
  if (block != nullptr) plat::DisposePtr(block);
}

void CMem::CreaCMem(int32_t n) {
  size = n;
  block = plat::NewPtr(n);
}

CMemMan::CMemMan() = default;

CMemMan::~CMemMan() {
  // Frees in allocation order; the list itself dies with the object.
  CMem* r = head_;
  while (r != nullptr) {
    CMem* next = r->next;
    delete r;
    r = next;
  }
}

char* CMemMan::NewBuf(int32_t size) { return NewBuf(size, 0); }

char* CMemMan::NewBuf(int32_t size, int16_t numbered) {
  auto* r = new CMem;
  r->size = size;
  r->block = plat::NewPtr(size);
  if (r->block == nullptr) {
    delete r;
    return nullptr;
  }
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (numbered != 0) {
    r->identifier = nextIdentifier_;
    nextIdentifier_ += 1.0;
  }
  AddCMem(r);
  return r->block;
}

void CMemMan::AddCMem(CMem* record) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  record->next = nullptr;
  if (head_ == nullptr) {
    head_ = record;
  } else {
    CMem* t = head_;
    while (t->next != nullptr) t = t->next;
    t->next = record;
  }
  ++count_;
}

CMem* CMemMan::GetCMem(void* block) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  for (CMem* r = head_; r != nullptr; r = r->next)
    if (r->block == block) return r;
  return nullptr;
}

int16_t CMemMan::DelBuf(void* block) {
  if (block == nullptr) return 0;
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  CMem* r = GetCMem(block);
  return r == nullptr ? 0 : DelCMem(r);
}

int16_t CMemMan::DelCMem(CMem* record) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (head_ == nullptr || record == nullptr) return 0;
  if (head_ == record) {
    head_ = record->next;
  } else {
    CMem* p = head_;
    while (p->next != nullptr && p->next != record) p = p->next;
    if (p->next == nullptr) return 0;
    p->next = record->next;
  }
  delete record;  // disposes of the block
  --count_;
  return 1;
}

namespace {
CMemMan* registry() { return gPer != nullptr ? gPer->memMan : nullptr; }
}  // namespace

VMKMemMan::~VMKMemMan() { DelAllBuf(); }

int32_t VMKMemMan::IniVMKMemMan(int32_t width, int32_t height, int32_t bitsPerSample) {
  width_ = width;
  height_ = height;
  bytesPerSample_ = bitsPerSample / 8;
  for (int32_t n = 0; n < kSlots; ++n) {
    depth_[n] = 0;
    plane_[n] = nullptr;
  }
  return 0;
}

char* VMKMemMan::CreBuf(int32_t n) {
  if (!validSlot(n)) return nullptr;
  CMemMan* m = registry();
  if (depth_[n] != 0 && plane_[n] != nullptr) {
    if (m != nullptr) m->DelBuf(plane_[n]);
    depth_[n] = 0;
    plane_[n] = nullptr;
  }
  // The slot counts as created even when the allocation fails, as callers
  // expect; the size is checked so that a huge image fails cleanly.
  char* p = nullptr;
  if (m != nullptr && width_ >= 0 && height_ >= 0 && bytesPerSample_ >= 0) {
    const auto total = static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_) *
                       static_cast<uint64_t>(bytesPerSample_);
    if (total <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
      p = m->NewBuf(static_cast<int32_t>(total));
    else
      plat::CountRefusedBlock();
  }
  plane_[n] = p;
  depth_[n] = bytesPerSample_;
  return p;
}

char* VMKMemMan::GetBuf(int32_t n, int16_t create) {
  if (!validSlot(n)) return nullptr;
  if (depth_[n] != 0) return plane_[n];
  return create == 1 ? CreBuf(n) : nullptr;
}

int32_t VMKMemMan::DelBuf(int32_t n) {
  if (!validSlot(n) || depth_[n] == 0) return -1;
  if (plane_[n] == nullptr) return 0;
  if (CMemMan* m = registry()) m->DelBuf(plane_[n]);
  depth_[n] = 0;
  plane_[n] = nullptr;
  return 0;
}

void VMKMemMan::DelAllBuf() {
  for (int32_t n = 0; n < kSlots; ++n) {
    if (plane_[n] != nullptr) {
      if (CMemMan* m = registry()) m->DelBuf(plane_[n]);
      plane_[n] = nullptr;
    }
  }
}

int32_t VMKMemMan::GetID(const void* plane, int32_t* slot) const {
  for (int32_t n = 0; n < kSlots; ++n) {
    if (plane_[n] == plane) {
      if (slot != nullptr) *slot = n;
      return 0;
    }
  }
  return -1;
}

namespace {
void* takeFromMan(void* owner, int64_t bytes) {
  // The registry's sizes are 32-bit: a larger block is refused as memory it cannot give.
  if (bytes > std::numeric_limits<int32_t>::max()) {
    plat::CountRefusedBlock();
    return nullptr;
  }
  return static_cast<CMemMan*>(owner)->NewBuf(static_cast<int32_t>(bytes));
}
void giveToMan(void* owner, void* block) { static_cast<CMemMan*>(owner)->DelBuf(block); }
}  // namespace

plat::BlockSource MemManSource(CMemMan* man) {
  if (man == nullptr) return plat::PlainSource();
  return {man, takeFromMan, giveToMan};
}

plat::BlockSource WorkSource() { return MemManSource(SessionMemMan()); }
