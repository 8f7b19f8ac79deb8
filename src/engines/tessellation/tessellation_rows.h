// The engine rows of the photo tessellation (58) and the photo repeat (41).
#pragma once

struct EngineRowCall;

void RunQuorlinRow(const EngineRowCall& call);
void RunCastelRow(const EngineRowCall& call);
