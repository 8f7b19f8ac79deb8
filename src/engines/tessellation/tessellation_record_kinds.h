// Registers the tessellation and repeat families' parameter records as record kinds of the
// script's parameter block. Called by RegisterEffectFamilies; repeating it changes nothing.
#pragma once

void RegisterTessellationRecords();
