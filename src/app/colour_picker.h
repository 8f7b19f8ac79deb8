// The colour picker call that edits one colour of a dialog.
#pragma once

#include <cstdint>

// Colour models 3 and 4 edit red, green and blue in c1..c3 (c4 untouched);
// models 1 and 2 edit yellow, magenta, cyan and black in c1..c4 through the
// application's colour model. Components hold 8-bit values. Returns 0 (also
// when the user cancels, which leaves every component as it was), or -1 for
// another model or a YMCK model without a colour model.
int32_t DoChooseCol(int16_t model, int16_t* c1, int16_t* c2, int16_t* c3, int16_t* c4);
