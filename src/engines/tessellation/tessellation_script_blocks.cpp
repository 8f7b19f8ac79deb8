// How the photo-repeat and tessellation records travel in a stored script record.
#include "engines/tessellation/tessellation_script_blocks.h"

#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "script/script_blocks.h"

using scriptblock::RecordCodec;
using scriptblock::Storage;

namespace {

constexpr int16_t kRepKind = 3, kTessKind = 6;

// The photo-repeat record without its first two words, in memory order, its tile references
// with zero-terminated strings.
struct RepeatForm {
  template <class V>
  void operator()(V& v, RepPar& r) const {
    VisitRecord(v, r.grid);
    for (RepInfo& cell : r.cells) VisitRecord(v, cell);
    VisitRecord(v, r.symm);
    for (fichier& f : r.tiles) v.ficCStrings(f);
    for (LutVign& ramp : r.ramps) VisitRecord(v, ramp);
  }
};

}  // namespace

void RegisterTessellationScriptBlocks() {
  scriptblock::RegisterCodecs({41}, RecordCodec<RepPar, kRepKind, 0, Storage::Converted, RepeatForm>::Codec());
  scriptblock::RegisterCodecs({58}, RecordCodec<TessPar, kTessKind, 0, Storage::Converted>::Codec());
}
