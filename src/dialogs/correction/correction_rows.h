// The effect rows of the correction dialogs: noise reduction (103), smoothing
// (104), focus (105) and channel mixing (119).
#pragma once

class EffectRegistry;

void RegisterCorrectionRows(EffectRegistry& registry);
