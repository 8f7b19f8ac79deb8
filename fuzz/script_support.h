// What the script-file targets share: a small script whose first layer holds
// operations, and the chain of a layer as comparable bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"

class ScriptFile;
struct Oprn;
class Laye;

namespace vmkfuzz {

// A 40 x 30 script whose layer 1 of stack 0 holds operations with blocks of
// their own (variant 0) or one plain operation (variant 1).
std::unique_ptr<ScriptFile> SmallScript(int variant);

Laye* FirstLayer(ScriptFile& s);

// The chain as its stored record, followed by its head pointer and count: a
// changed operation, a new chain or a new count all show.
Bytes ChainImage(ScriptFile& s, int16_t count, Oprn* first);

// The layer's flags, name, paths pointer and chain image.
Bytes LayerImage(ScriptFile& s, const Laye& l);

// A file record for a path in the work folder.
fichier FicAt(const std::string& posix);

}  // namespace vmkfuzz
