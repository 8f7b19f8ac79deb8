#include "engines/records/param_record.h"

#include <cstring>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "platform/memory/memory.h"

using plat::bytes::swap16;
using plat::bytes::swap32;

bool HostIsBigEndian() { return plat::bytes::hostOrder() == plat::bytes::Order::Big; }

int32_t HostOrderFlag() { return HostIsBigEndian() ? 0 : 1; }

int32_t CFSwapSInt32LittleToHost(int32_t* value) {
  if (HostIsBigEndian()) *value = static_cast<int32_t>(swap32(static_cast<uint32_t>(*value)));
  return *value;
}

int32_t CFSwapSInt32HostToLittle(int32_t* value, int16_t force) {
  if (force == 1 || HostIsBigEndian())
    *value = static_cast<int32_t>(swap32(static_cast<uint32_t>(*value)));
  return *value;
}

int16_t CFSwapSInt16LittleToHost(int16_t* value) {
  if (HostIsBigEndian()) *value = static_cast<int16_t>(swap16(static_cast<uint16_t>(*value)));
  return *value;
}

int16_t CFSwapSInt16HostToLittle(int16_t* value, int16_t force) {
  if (force == 1 || HostIsBigEndian())
    *value = static_cast<int16_t>(swap16(static_cast<uint16_t>(*value)));
  return *value;
}

namespace vmkrec {

void StoreVisitor::hostI32(int32_t& v) {
  uint8_t b[4];
  if (plat::bytes::hostOrder() == Order::Little)
    plat::bytes::storeLE32(b, static_cast<uint32_t>(v));
  else
    plat::bytes::storeBE32(b, static_cast<uint32_t>(v));
  w_.raw(b, 4);
}

void LoadVisitor::flag(int32_t& f) {
  if (raw_) {
    f = r_.i32();
    return;
  }
  // A zero word reads the same in both orders; only an older big-endian writer leaves it 0.
  const size_t at = r_.pos();
  if (forced_) {
    r_.setOrder(forcedOrder_);
  } else if (r_.remaining() >= 4) {
    const bool zero = data_[at] == 0 && data_[at + 1] == 0 && data_[at + 2] == 0 && data_[at + 3] == 0;
    r_.setOrder(zero ? Order::Big : Order::Little);
  }
  r_.i32();
  f = HostOrderFlag();
}

void LoadVisitor::flag8(uint8_t& f) {
  if (raw_) {
    f = r_.u8();
    return;
  }
  if (forced_)
    r_.setOrder(forcedOrder_);
  else if (r_.remaining() >= 1)
    r_.setOrder(data_[r_.pos()] == 0 ? Order::Big : Order::Little);
  r_.u8();
  f = static_cast<uint8_t>(HostOrderFlag());
}

void LoadVisitor::hostI32(int32_t& v) {
  // Written in the writer's order and ignored on reading; only its presence matters.
  v = r_.i32();
}

void FicStringsToC(fichier& f) {
  PCstr(f.name);
  PCstr(f.path);
}

void FicStringsFromC(fichier& f) {
  // A damaged record may hold no terminator; the string then ends with its field.
  f.name[sizeof f.name - 1] = 0;
  f.path[sizeof f.path - 1] = 0;
  CPstr(reinterpret_cast<char*>(f.name));
  CPstr(reinterpret_cast<char*>(f.path));
}

void StoreVisitor::ficCStrings(fichier& f) {
  fichier c;
  Copy_FicStruct(&f, &c);
  FicStringsToC(c);
  Write_FicStruct(w_, c);
}

void LoadVisitor::ficCStrings(fichier& f) {
  if (keepStrings_) {
    fic(f);
    return;
  }
  fichier c;
  if (!Read_FicStruct(r_, &c)) {
    failed_ = true;
    return;
  }
  FicStringsFromC(c);
  Copy_FicStruct(&c, &f);
}

void* NewScratch(size_t size) {
  if (size == 0 || size > 0x7FFFFFFFu) return nullptr;
  void* p = nullptr;
  if (CMemMan* m = SessionMemMan())
    p = m->NewBuf(static_cast<int32_t>(size));
  else
    p = plat::NewPtr(static_cast<int64_t>(size));
  if (p != nullptr) std::memset(p, 0, size);
  return p;
}

void DeleteScratch(void* block) {
  if (block == nullptr) return;
  CMemMan* m = SessionMemMan();
  if (m == nullptr || m->DelBuf(block) == 0) plat::DisposePtr(block);
}

}  // namespace vmkrec
