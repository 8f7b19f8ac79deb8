// The script-record codecs of the photo-repeat and tessellation records. Called by
// RegisterTessellationRecords; repeating it changes nothing.
#pragma once

void RegisterTessellationScriptBlocks();
