// A free loader beside the image box: four planes of w x h (red, green, blue and a mask)
// filled from the current document's channels, from a colour ramp or from an image file,
// then turned in hue, saturation and lightness. Nothing in the plug-in calls it yet; a
// dialog that wants a picture in planes of its own size can.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "script/lut_vign.h"

// kind 0: channels 3 to 6 of the current document's script into r, g, b, m;
// kind 1: the ramp's colour bar (as the ramp editor draws it, over its checkerboard) into
//         r, g, b, and channel 6 of the current document into m;
// kinds 2 and 3: the image file resized to w x h into r, g, b, and its alpha into m;
// then, for kinds 0 to 3, hue, saturation and lightness shifted over the whole of r, g, b
// (HSLBlendChar; no shift at all leaves them as loaded). Channels are rescaled to w x h; a channel the script does not have
// leaves its plane as it was. Other kinds do nothing.
// 0; -1 when the planes or the size are missing, when kind 0 or 1 finds no current document
// or kind 1 no ramp (or a bar wider or taller than 32767), or when the image file cannot be read (the planes are then untouched).
int16_t LoadImaBuf(int16_t kind, uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* m, int32_t w,
                   int32_t h, fichier* file, LutVign* lut, int16_t hue, int16_t saturation,
                   int16_t lightness);
