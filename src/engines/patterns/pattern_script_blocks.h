// The script-record codecs of the pattern and generator families' records. Called by
// RegisterPatternRecords; repeating it changes nothing.
#pragma once

void RegisterPatternScriptBlocks();
