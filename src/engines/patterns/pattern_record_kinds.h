// Registers the pattern and generator families' parameter records as record kinds of the
// script's parameter block. Called by RegisterEffectFamilies; repeating it changes nothing.
#pragma once

void RegisterPatternRecords();
