// What a session could start its colour work from: the colour-correction
// record of the document, and the YMCK colour model the bundle may carry as
// resource 'MocL' 128. Nothing calls them when a session starts; the
// application's colour-model field stays null unless init1_phomod finds a
// model, and every reader of it copes with null.
#pragma once

#include <cstdint>

#include "app/core/colour_model.h"

struct ColCorPar;

// Fills `record` with the defaults of colour-correction effect `effect` for
// the current document's size and resolution; -1, nothing written, without
// a record or a current document.
int32_t init1_par(ColCorPar* record, int16_t effect);
// Copies resource 'MocL' 128 into `model` when the bundle's resource file
// has one of exactly a model's size; -1, nothing written, otherwise.
int32_t init1_cal(ModTemplate* model);
// Makes the session's colour model from resource 'MocL' 128 and keeps it in
// the application's colour-model field; -1, the field left null, when there
// is no such resource or no memory for it.
int32_t init1_phomod();
