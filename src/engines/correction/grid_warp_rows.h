// Registers the script's engine row of the grid warp (102). Called with the other
// correction rows; repeating it changes nothing.
#pragma once

void RegisterGridWarpEngineRows();
