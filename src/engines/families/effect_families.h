// Start-up registration of every effect family with the script: the parameter-record kinds
// of the script's own records and of the correction, pattern and tessellation libraries.
// Views, the session and tests call it before they build scripts; calling it again changes
// nothing.
#pragma once

void RegisterEffectFamilies();
