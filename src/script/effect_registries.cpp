#include "script/effect_registries.h"

#include <algorithm>
#include <array>

namespace {

constexpr size_t kTableSize = kHighestEffect + 1;

// Effects whose operations store blocks after their head: file records, colour matrix,
// ramps, the path block and the parameter records. Four numbers that only one side of the
// record ever stored (31, 49 written; 62, 91 read) and 53's unfilled file block count too:
// their blocks need a codec just the same.
constexpr int16_t kWithBlocks[] = {21,  22,  23,  24,  25,  26,  28,  29,  30,  31,  33,  35,
                                   36,  38,  39,  40,  41,  42,  43,  49,  51,  52,  53,  58,
                                   61,  62,  72,  75,  77,  79,  80,  81,  82,  85,  86,  90,
                                   91,  92,  94,  98,  99,  100, 101, 102, 103, 104, 105, 106,
                                   108, 109, 110, 111, 113, 119};

bool InRange(EffectCode effect) { return effect >= 1 && effect <= kHighestEffect; }

struct Tables {
  std::array<ScriptBlockCodec, kTableSize> codecs{};
  std::array<RenderCase, kTableSize> cases{};
};

Tables& Registry() {
  static Tables tables;
  return tables;
}

}  // namespace

bool EffectHasScriptBlock(EffectCode effect) {
  return std::find(std::begin(kWithBlocks), std::end(kWithBlocks), effect) != std::end(kWithBlocks);
}

int32_t RegisterScriptBlockCodec(EffectCode effect, const ScriptBlockCodec& codec) {
  if (!InRange(effect) || !EffectHasScriptBlock(effect) || codec.write == nullptr ||
      codec.read == nullptr)
    return -1;
  ScriptBlockCodec& slot = Registry().codecs[effect];
  if (slot.write == nullptr) {
    slot = codec;
    return 0;
  }
  return slot.write == codec.write && slot.read == codec.read ? 0 : -1;
}

const ScriptBlockCodec* FindScriptBlockCodec(EffectCode effect) {
  if (!InRange(effect)) return nullptr;
  const ScriptBlockCodec& slot = Registry().codecs[effect];
  return slot.write != nullptr ? &slot : nullptr;
}

int32_t ScriptBlockCodecFor(EffectCode effect, const ScriptBlockCodec** codec, std::string* error) {
  if (codec != nullptr) *codec = nullptr;
  if (!EffectHasScriptBlock(effect)) return 0;
  const ScriptBlockCodec* found = FindScriptBlockCodec(effect);
  if (found == nullptr) {
    if (error != nullptr) *error = "unsupported effect " + std::to_string(effect);
    return -1;
  }
  if (codec != nullptr) *codec = found;
  return 0;
}

int32_t FileUnreadable(RenderCall& call, const fichier& file) {
  call.failure = StepFailure::kFileUnreadable;
  call.file = FicForUser(file);
  return -1;
}

int32_t RegisterRenderCase(EffectCode effect, RenderCase renderCase) {
  if (!InRange(effect) || renderCase == nullptr) return -1;
  RenderCase& slot = Registry().cases[effect];
  if (slot == nullptr) slot = renderCase;
  return slot == renderCase ? 0 : -1;
}

RenderCase FindRenderCase(EffectCode effect) {
  return InRange(effect) ? Registry().cases[effect] : nullptr;
}
