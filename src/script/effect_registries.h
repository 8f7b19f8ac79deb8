// Two tables keyed by effect number that the floors above the script fill at start-up: how
// an effect's own blocks of a stored script record are written and read, and the render case
// that runs an effect. Which route an effect takes through the renderer is not kept here; the
// renderer's effect table is the one source of routes. Registration is by explicit calls
// (RegisterEffectFamilies and the renderer's own set-up); nothing registers itself.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bytes/byte_order.h"
#include "script/operation.h"

class ScriptFile;

inline constexpr EffectCode kHighestEffect = 122;

// --- Script-record blocks --------------------------------------------------------------------

struct ScriptBlockCodec {
  // Appends the effect's blocks of `op` in their stored form; -1 when a record they need is
  // missing.
  int32_t (*write)(const ScriptFile& script, Oprn& op, plat::bytes::Writer& out) = nullptr;
  // Reads the effect's blocks from `in` into new records of `op`; `mark` is the record's
  // byte-order mark. -1 on a damaged block or when memory runs short.
  int32_t (*read)(ScriptFile& script, Oprn& op, plat::bytes::Reader& in, uint8_t mark) = nullptr;
};

// True for the effect numbers whose operations carry blocks of their own in a script record.
bool EffectHasScriptBlock(EffectCode effect);
// 0 when new or already registered with the same functions; -1 (the first kept) for a number
// outside 1..122, one without blocks, an incomplete codec or a second, different codec.
int32_t RegisterScriptBlockCodec(EffectCode effect, const ScriptBlockCodec& codec);
const ScriptBlockCodec* FindScriptBlockCodec(EffectCode effect);
// The codec an operation of this effect needs: 0 with null for an effect without blocks, 0
// with the codec, or -1 with "unsupported effect N" when its blocks have no codec.
int32_t ScriptBlockCodecFor(EffectCode effect, const ScriptBlockCodec** codec, std::string* error);

// --- Render cases ----------------------------------------------------------------------------

// Why a step of a render could not do its work.
enum class StepFailure : uint8_t {
  kFailed,          // its operation or engine answered that it could not
  kNoMemory,        // memory was refused to it
  kFileUnreadable,  // a file it reads could not be read
  kFileUnwritable,  // a file it writes could not be written
};

// What a render case works on. The renderer fills it and hands it to the case registered under
// the operation's effect number (script/render_cases.h shows how a case reads it):
// - one-plane and two-plane cases: the operation, its mask (plane-sized, 255 = full effect),
//   the destination plane (null for the composite, channel 2; the case then takes planes 3, 4,
//   5 and, for a CMYK script, 2) and the number of planes the case handles (1, or 3 / 4 for an
//   RGB / CMYK composite);
// - two-plane cases also get the source plane (for a composite source, channel 2, the mean of
//   planes 3 to 5, with `compositeSource` set so that cases taking three planes take 3, 4, 5);
// - steps of the render loop itself (path, envelope and image loaders) get no mask and no
//   planes, but the stack and 1-based layer the operation sits in.
struct RenderCall {
  ScriptFile* script = nullptr;
  Oprn* op = nullptr;
  uint8_t* mask = nullptr;
  uint8_t* plane = nullptr;
  const uint8_t* source = nullptr;
  int16_t planeCount = 1;
  bool compositeSource = false;
  int16_t stack = 0;
  int16_t layer = 0;
  // Set by a case that answers -1 for a reason of its own (a file it could not read or
  // write); memory refused on the way is found by the renderer whatever the case says.
  StepFailure failure = StepFailure::kFailed;
  // The file it could not read, as its user knows it, so that whoever tells the failure can
  // say which; empty when the failure is not a file's.
  std::string file{};
};

// Fails the call for want of `file` (kFileUnreadable, the file named); answers -1, so that a
// case can `return FileUnreadable(c, file);`.
int32_t FileUnreadable(RenderCall& call, const fichier& file);

// 0 when the case ran or had nothing to do, -1 when it could not do its work: the render then
// stops at its operation.
using RenderCase = int32_t (*)(RenderCall& call);

// 0 when new or already registered with the same function; -1 (the first kept) for a number
// outside 1..122, a null case or a second, different case.
int32_t RegisterRenderCase(EffectCode effect, RenderCase renderCase);
// The case of an effect, or null: the renderer reports a routed number without one.
RenderCase FindRenderCase(EffectCode effect);
