// The editor's side of the effect launcher: one effect's dialog on operation
// 1 of a layer, through an operation-list editor that never shows its window.
#pragma once

#include <cstdint>

class ScriptFile;

// Makes an editor, binds it to the layer with operation 1 current (the
// picture's size and work area as 16-bit values), sets the effect's
// starting parameters, dispatches the effect with flag 0 and deletes the
// editor; the dispatcher's answer (0 when no editor can be had).
int16_t LaunchTuneEffect(ScriptFile* script, int16_t stack, int16_t layer, int32_t width, int32_t height,
                         int16_t effect);
