// Registers the pattern and generator families' parameter records as record kinds of the
// script's parameter block. Called by RegisterEffectFamilies; repeating it changes nothing.
#pragma once

// Also registers the engine rows of the family's engines.
void RegisterPatternRecords();
