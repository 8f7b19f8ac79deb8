// The engine rows of the photo tessellation (58) and the photo repeat (41).
#pragma once

struct EngineRowCall;

int32_t RunQuorlinRow(const EngineRowCall& call);
int32_t RunCastelRow(const EngineRowCall& call);
