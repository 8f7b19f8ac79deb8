#include "engines/correction/correction_record_kinds.h"

#include "engines/correction/colour_correction.h"
#include "engines/correction/correction_engine_rows.h"
#include "engines/correction/correction_script_blocks.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "script/record_kinds.h"

namespace {

// These records are sized by the picture: a parameter block gives them the session's
// values, a script accessor the script's own width, height and resolution.
void YoxelDefaults(YoxelPar* r, const DefaultSizes& s) {
  // Mask mode 0: a record in a parameter block starts without masks.
  Init_YoxelPar(r, s.width, s.height, s.resolution, 0, 5);
}
// The block's grid is not sized; the accessor's is sized by the script.
void GridInBlock(GridPar* r, const DefaultSizes&) { Init_GridPar(r, 0, 0, 10, 10, 1, 3, 1, 1); }
void GridForAccess(GridPar* r, const DefaultSizes& s) {
  Init_GridPar(r, s.width, s.height, 10, 10, 1, 3, 1, 1);
}
void ColCorDefaults(ColCorPar* r, const DefaultSizes& s) {
  Init_ColCorPar(r, s.width, s.height, s.resolution, 0, 0, 0);
}
void CopyColCor(const ColCorPar* source, ColCorPar* destination) {
  Copy_ColCorPar(source, destination, 0, 0, 0);
}
void ZondracDefaults(ZondracPar* r, const DefaultSizes& s) {
  Init_ZondracPar(r, s.width, s.height, s.resolution, 20, 20, 2);
}

}  // namespace

void RegisterCorrectionRecords() {
  RecordKind yoxel = WithSwap<YoxelPar, SwapYoxelPar>(RecordKindOf<YoxelPar, YoxelDefaults, Copy_YoxelPar>(21));
  // The masks are blocks of their own and go with the record.
  yoxel.release = ReleaseOf<YoxelPar, Dele_YoxelMsk>();
  RegisterRecordKind(yoxel);

  RecordKind grid = WithSwap<GridPar, SwapGridPar>(RecordKindOf<GridPar, GridInBlock, Copy_GridPar>(22));
  grid.accessDefaults = InitOf<GridPar, GridForAccess>();
  RegisterRecordKind(grid);

  RegisterRecordKind(WithSwap<ColCorPar, SwapColCorPar>(RecordKindOf<ColCorPar, ColCorDefaults, CopyColCor>(23)));
  RegisterRecordKind(WithSwap<ZondracPar, SwapZondracPar>(RecordKindOf<ZondracPar, ZondracDefaults, Copy_ZondracPar>(30)));
  RegisterCorrectionScriptBlocks();
  RegisterCorrectionEngineRows();
}
