#include "engines/tessellation/tessellation_record_kinds.h"

#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/tessellation_script_blocks.h"
#include "engines/tessellation/twin_tessellation_record.h"
#include "engines/tessellation/tessellation_rows.h"
#include "script/engine_rows.h"
#include "script/record_kinds.h"

namespace {

void RepDefaults(RepPar* r, const DefaultSizes&) { Init_RepPar(r, 0, 4, 4); }
void TessDefaults(TessPar* r, const DefaultSizes&) { Init_TessPar(r, 1, 1, 1); }
void HeschDefaults(HeschPar* r, const DefaultSizes&) { Init_HeschPar(r, 1, 1, 1); }

}  // namespace

void RegisterTessellationRecords() {
  RegisterRecordKind(WithSwap<RepPar, SwapRepPar>(RecordKindOf<RepPar, RepDefaults, Copy_RepPar>(3)));
  RegisterRecordKind(WithSwap<TessPar, SwapTessPar>(RecordKindOf<TessPar, TessDefaults, Copy_TessPar>(6)));
  RegisterRecordKind(RecordKindOf<HeschPar, HeschDefaults, Copy_HeschPar>(18));
  RegisterTessellationScriptBlocks();
  RegisterEngineRow(58, RunQuorlinRow);
  RegisterEngineRow(41, RunCastelRow);
}
