// The script-record codecs of the correction families' records (colour correction, resize,
// grid warp, lens correction). Called by RegisterCorrectionRecords; repeating it changes
// nothing.
#pragma once

void RegisterCorrectionScriptBlocks();
