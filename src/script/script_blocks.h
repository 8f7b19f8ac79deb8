// The effects' own blocks in a stored script record, and the helpers that the effect
// families use to write and read their records there.
//
// A block follows the operation's head in the record. Records marked "converted" travel
// little-endian in records of this program (mark 0); older records with a nonzero mark hold
// them big-endian, and the head's mark, not each record's word 0, says which. Records marked
// "host order" were dumps of memory; ours are written little-endian and read so whatever the
// mark. Every block has a fixed length (or one its own counts give): a record whose field
// list is shorter than its block is followed by zeros, and the reader skips them.
//
// Writing never changes the operation; a record the operation lacks is written at the
// defaults that its script accessor would hand out. Reading makes every record new, in a
// parameter block of the operation's own (Alloc_MulStruc, then Init_MulStruc of the kind),
// and gives -1 for a block cut short or refused by the record's own checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <type_traits>

#include "engines/records/param_record.h"
#include "platform/bytes/byte_order.h"
#include "script/effect_registries.h"
#include "script/operation.h"
#include "script/param_block.h"
#include "script/record_kinds.h"

class ScriptFile;

namespace scriptblock {

// Whether a record's numbers follow the head's mark or stay as the host wrote them.
enum class Storage { Converted, HostOrder };

// The sizes a missing record's defaults take: the script's own, the session's preview size.
DefaultSizes ScriptSizes(const ScriptFile& script);

// The defaults a script accessor hands out for a record of this kind.
void DefaultsOf(const ScriptFile& script, const RecordKind& kind, void* record);

// The record of `kind` in the operation's block, or null.
inline void* Carried(const Oprn& op, int16_t kind) {
  return op.MulStruc != nullptr ? MulStrucRecord(op.MulStruc, kind) : nullptr;
}

// Appends the record of `kind` that `op` carries (or, when it has none, its accessor
// defaults) by `visit` (the record's script form), then zeros up to `blockSize` (0: no
// padding). -1 when the kind is not registered or memory for the defaults runs short.
template <class R, class Visit>
int32_t WriteRecord(const ScriptFile& script, const Oprn& op, int16_t kind, size_t blockSize,
                    plat::bytes::Writer& out, Visit visit) {
  static_assert(std::is_trivially_destructible_v<R>, "records are plain data");
  const RecordKind* k = FindRecordKind(kind);
  if (k == nullptr) return -1;
  vmkrec::StoreVisitor v;
  if (void* own = Carried(op, kind)) {
    // The visitor only reads the record; reserved space goes out as zeros.
    visit(v, *static_cast<R*>(own));
  } else {
    vmkrec::ScratchRecord<R> defaults;
    if (!defaults.valid()) return -1;
    DefaultsOf(script, *k, defaults.get());
    visit(v, *defaults);
    if (k->release != nullptr) k->release(defaults.get());
  }
  if (!v.ok()) return -1;
  out.raw(v.data().data(), v.size());
  if (blockSize > v.size()) out.zeros(blockSize - v.size());
  return 0;
}

// Parses a record from the reader's cursor by `visit` into `record` and moves the reader
// past `blockSize` bytes (0: past what the field list took). False when the bytes run short.
template <class R, class Visit>
bool LoadBlock(plat::bytes::Reader& in, uint8_t mark, Storage storage, size_t blockSize,
               R& record, Visit visit) {
  vmkrec::LoadVisitor v(in.cursor(), in.remaining());
  const bool bigEndian = storage == Storage::Converted && mark != 0;
  v.forceOrder(bigEndian ? plat::bytes::Order::Big : plat::bytes::Order::Little);
  // Strings that this program stores zero-terminated were left length-prefixed by writers
  // of the other order: take them as they are there.
  if (mark != 0) v.keepStoredStrings();
  visit(v, record);
  if (!v.ok()) return false;
  const size_t used = blockSize > v.pos() ? blockSize : v.pos();
  if (in.remaining() < used) return false;
  in.skip(used);
  return in.ok();
}

// The operation's record of `kind`, made new at its block defaults in a block of its own
// (made when the operation has none); null when the kind is not registered or memory runs
// short.
void* NewCarried(Oprn& op, int16_t kind);

// Reads a record of `kind` into a new record of the operation.
template <class R, class Visit>
int32_t ReadRecord(Oprn& op, int16_t kind, plat::bytes::Reader& in, uint8_t mark,
                   Storage storage, size_t blockSize, Visit visit) {
  R* record = static_cast<R*>(NewCarried(op, kind));
  if (record == nullptr) return -1;
  return LoadBlock(in, mark, storage, blockSize, *record, visit) ? 0 : -1;
}

// The operation's file record (an empty one when it has none), name and path stored
// zero-terminated; and its reading into a new record of the operation.
int32_t WriteOprnFile(const Oprn& op, plat::bytes::Writer& out);
int32_t ReadOprnFile(Oprn& op, plat::bytes::Reader& in, uint8_t mark);

// The visit of a record's own field list.
struct WholeRecord {
  template <class V, class R>
  void operator()(V& v, R& r) const {
    VisitRecord(v, r);
  }
};

// The codec of an effect whose block is one record R of `Kind`, written by `Visit` (a
// stateless functor over the record's script form) into a block of `Block` bytes (0: as
// long as its field list).
template <class R, int16_t Kind, size_t Block, Storage S, class Visit = WholeRecord>
struct RecordCodec {
  static int32_t Write(const ScriptFile& script, Oprn& op, plat::bytes::Writer& out) {
    return WriteRecord<R>(script, op, Kind, Block, out, Visit{});
  }
  static int32_t Read(ScriptFile&, Oprn& op, plat::bytes::Reader& in, uint8_t mark) {
    return ReadRecord<R>(op, Kind, in, mark, S, Block, Visit{});
  }
  static ScriptBlockCodec Codec() { return ScriptBlockCodec{Write, Read}; }
};

// Registers the codec of each listed effect; -1 when one was refused.
int32_t RegisterCodecs(std::initializer_list<EffectCode> effects, const ScriptBlockCodec& codec);

}  // namespace scriptblock

// The script's own blocks: file records, colour matrix, ramps, the path block and the four
// numbers whose blocks carry no family record. Called by RegisterScriptRecords.
void RegisterScriptBlockCodecs();
