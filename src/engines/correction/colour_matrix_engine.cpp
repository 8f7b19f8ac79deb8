#include "engines/correction/colour_matrix_engine.h"

void MiscColMat::SetColMatPar(const ColMatPar* record) { Copy_ColMatPar(record, par_.get()); }

void MiscColMat::GetColMatPar(ColMatPar* record) const { Copy_ColMatPar(par_.get(), record); }

void MiscColMat::SetColMatVal(const int32_t* cells, int16_t noise, int16_t shift1,
                              int16_t shift2, int16_t shift3, int16_t contrast) {
  if (!par_.valid() || cells == nullptr) return;
  for (int k = 0; k < kColMatCells; ++k) par_->cells[k] = static_cast<uint32_t>(cells[k]);
  par_->noise = noise;
  par_->shift[0] = shift1;
  par_->shift[1] = shift2;
  par_->shift[2] = shift3;
  par_->contrast = contrast;
}
