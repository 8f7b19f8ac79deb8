// Registers the correction families' parameter records (content-aware resize, grid warp,
// colour correction, lens correction) as record kinds of the script's parameter block.
// Called by RegisterEffectFamilies; repeating it changes nothing.
#pragma once

void RegisterCorrectionRecords();
