// How the correction families' records travel in a stored script record.
//
// The resize record is followed by its two masks, 16-bit values in the writer's order,
// maskWidth x maskHeight of each; a reader makes the masks as large as the stored size asks
// once the file is known to hold them, so a record from a session of another preview size
// still reads, and no stored size can write past a mask.
#include "engines/correction/correction_script_blocks.h"

#include <cstdint>

#include "engines/correction/colour_correction.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/records/session_defaults.h"
#include "script/script_blocks.h"
#include "script/script_file.h"

using plat::bytes::Reader;
using plat::bytes::Writer;
using scriptblock::RecordCodec;
using scriptblock::Storage;

namespace {

constexpr int16_t kYoxelKind = 21, kGridKind = 22, kColCorKind = 23, kZondracKind = 30;

// --- Colour correction: the record takes the reading script's picture size. ---------------

using ColCorCodec = RecordCodec<ColCorPar, kColCorKind, 0, Storage::HostOrder>;

int32_t ReadColCor(ScriptFile& script, Oprn& op, Reader& in, uint8_t mark) {
  if (ColCorCodec::Read(script, op, in, mark) != 0) return -1;
  auto* r = static_cast<ColCorPar*>(scriptblock::Carried(op, kColCorKind));
  r->w[kCCWidth] = script.width;
  r->w[kCCHeight] = script.height;
  return 0;
}

// --- Resize: the record, then its two masks. ----------------------------------------------

// Masks larger than this per side are refused rather than allocated.
constexpr int32_t kMaxMaskSide = 1 << 15;

int32_t WriteYoxel(const ScriptFile& script, Oprn& op, Writer& out) {
  if (RecordCodec<YoxelPar, kYoxelKind, 0, Storage::Converted>::Write(script, op, out) != 0)
    return -1;
  // A record the operation lacks goes out at its defaults, with masks of zeros.
  vmkrec::ScratchRecord<YoxelPar> defaults;
  const auto* r = static_cast<const YoxelPar*>(scriptblock::Carried(op, kYoxelKind));
  if (r == nullptr) {
    if (!defaults.valid()) return -1;
    scriptblock::DefaultsOf(script, *FindRecordKind(kYoxelKind), defaults.get());
    r = defaults.get();
  }
  const int64_t n = r->maskWidth > 0 && r->maskHeight > 0 ? int64_t{r->maskWidth} * r->maskHeight : 0;
  for (const int16_t* mask : {r->protectMask, r->removeMask})
    for (int64_t k = 0; k < n; ++k) out.i16(mask != nullptr ? mask[k] : 0);
  if (r == defaults.get()) Dele_YoxelMsk(defaults.get());
  return 0;
}

int32_t ReadYoxel(ScriptFile&, Oprn& op, Reader& in, uint8_t mark) {
  auto* r = static_cast<YoxelPar*>(scriptblock::NewCarried(op, kYoxelKind));
  if (r == nullptr) return -1;
  Init_YoxelPar(r, SessionPhotoWidth(), SessionPhotoHeight(), SessionDefaultSizes().resolution, 1, 5);
  if (!scriptblock::LoadBlock(in, mark, Storage::Converted, 0, *r, scriptblock::WholeRecord{}))
    return -1;
  const int32_t w = r->maskWidth, h = r->maskHeight;
  if (w < 0 || h < 0 || w > kMaxMaskSide || h > kMaxMaskSide) return -1;
  const int64_t n = int64_t{w} * h;
  if (static_cast<uint64_t>(4 * n) > in.remaining()) return -1;
  Init_YoxelMsk(r, 0);  // masks at least as large as the stored size
  if (n > 0 && (r->protectMask == nullptr || r->removeMask == nullptr)) return -1;
  for (int16_t* mask : {r->protectMask, r->removeMask})
    for (int64_t k = 0; k < n; ++k) mask[k] = in.i16();
  return in.ok() ? 0 : -1;
}

}  // namespace

void RegisterCorrectionScriptBlocks() {
  using scriptblock::RegisterCodecs;
  RegisterCodecs({86, 103, 104, 105, 119}, {ColCorCodec::Write, ReadColCor});
  RegisterCodecs({101}, {WriteYoxel, ReadYoxel});
  RegisterCodecs({102}, RecordCodec<GridPar, kGridKind, GridPar::kStoredSize, Storage::Converted>::Codec());
  RegisterCodecs({113}, RecordCodec<ZondracPar, kZondracKind, 0, Storage::Converted>::Codec());
}
