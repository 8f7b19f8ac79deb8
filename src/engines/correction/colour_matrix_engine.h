// The colour-matrix engine object: it holds its own copy of a ColMatPar, taken from the
// session's registry when it is made and returned when it goes. The script fills it from an
// operation (SetColMatVal), the previews from a whole record (SetColMatPar).
#pragma once

#include <cstdint>

#include "engines/correction/colour_matrix.h"

class MiscColMat {
 public:

  // Copy the fields Copy_ColMatPar copies into and out of the engine's record.
  void SetColMatPar(const ColMatPar* record);
  void GetColMatPar(ColMatPar* record) const;
  // The operation's 1089 cells and its render settings; the drawing state stays.
  void SetColMatVal(const int32_t* cells, int16_t noise, int16_t shift1, int16_t shift2,
                    int16_t shift3, int16_t contrast);

  // Null when the registry had no room; the engine then renders nothing.
  ColMatPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<ColMatPar> par_;
};
