// Registers the script's engine rows of the correction engines: colour matrix (22), colour
// correction (103, 104, 105, 119) and lens correction (113). Called by
// RegisterCorrectionRecords; repeating it changes nothing.
#pragma once

void RegisterCorrectionEngineRows();
