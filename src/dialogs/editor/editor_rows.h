// The effect rows of the editor folder: the file pickers of the path (26) and
// effect-list (46) operations and the composition record (111).
#pragma once

class EffectRegistry;

void RegisterEditorRows(EffectRegistry& registry);
