// Loading a chosen stored effect into a layer, for every window that lets the user pick one
// (the main editing window, the operation-list editor, the compose chooser's caller).
//
// Choosing and loading are apart: a browser only says which file was chosen, and its
// caller loads it here. The layer's operations are replaced only when the whole stored
// record was read; otherwise the layer keeps what it had and the user is told which file
// could not be read.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

class Laye;
class ScriptFile;

// Reads the stored effect `file` into `layer` of `script` (scales 1.0; the record's two
// texts into text1 and text2 when given, 255 bytes each). 0 when the layer took the
// effect; -1, with the layer as it was and an alert naming the file, when it could not.
int16_t RecallEffectIntoLayer(const fichier& file, ScriptFile* script, Laye* layer,
                              char* text1, char* text2);

// The same without a word to the user (a hover over stored effects): 0 when the layer took
// the effect, -1 with the layer as it was. A record that names no file reads nothing.
int16_t ReadEffectIntoLayer(const fichier& file, ScriptFile* script, Laye* layer, char* text1,
                            char* text2);

// The alert's texts for a file that could not be read.
inline constexpr int16_t kRecallAlert = 129;
