// The effect rows of the pattern and shape dialogs.
#pragma once

class EffectRegistry;

void RegisterPatternsRows(EffectRegistry& registry);
