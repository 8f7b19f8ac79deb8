#include "fuzz/script_support.h"

#include <vector>

#include "engines/families/effect_families.h"
#include "script/layers.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "script/script_record_file.h"

namespace vmkfuzz {
namespace {

void PushPointer(Bytes& b, const void* p) {
  const auto v = reinterpret_cast<uintptr_t>(p);
  for (size_t k = 0; k < sizeof v; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

}  // namespace

std::unique_ptr<ScriptFile> SmallScript(int variant) {
  RegisterEffectFamilies();
  auto s = std::make_unique<ScriptFile>();
  if (s->I_ScriptFile(3, 40, 30, 72.0f, 40, 30, 0, 0, 39, 29) != 0) Violation("harness: script");
  const std::vector<int16_t> effects =
      variant == 0 ? std::vector<int16_t>{11, 23, 28, 22, 113, 106, 61} : std::vector<int16_t>{16};
  for (size_t k = 0; k < effects.size(); ++k) {
    const auto o = static_cast<int16_t>(k + 1);
    s->SetEffect(0, 1, o, effects[k], 0, 0, 0, 0);
    s->SetParam1(0, 1, o, static_cast<int16_t>(3 + k));
  }
  return s;
}

Laye* FirstLayer(ScriptFile& s) { return s.GetStack(0)->GetLaye(1); }

Bytes ChainImage(ScriptFile& s, int16_t count, Oprn* first) {
  Bytes b;
  // An empty chain has no record to tell it apart: its head and count say all (most of the
  // 256 stacks' layers are empty, and the record writer is the costly part of an image).
  if (first == nullptr && count == 0) {
    PushPointer(b, first);
    b.push_back(0);
    b.push_back(0);
    return b;
  }
  if (scriptrecord::BuildScriptRecord(s, 32767, first, fichier{}, nullptr, 0, 0, nullptr, 1, &b) !=
      0)
    b.push_back(0xEE);
  PushPointer(b, first);
  b.push_back(static_cast<uint8_t>(count));
  b.push_back(static_cast<uint8_t>(count >> 8));
  return b;
}

Bytes LayerImage(ScriptFile& s, const Laye& l) {
  Bytes b = ChainImage(s, l.oprnCount, l.firstOprn);
  for (int16_t v : {l.LayFlag, l.active, l.lock}) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  }
  b.insert(b.end(), l.name, l.name + sizeof l.name);
  PushPointer(b, l.paths);
  return b;
}

fichier FicAt(const std::string& posix) {
  fichier f;
  Init_FicStruct(&f);
  if (!SetFicFromPosix(&f, posix)) Violation("harness: file record");
  return f;
}

}  // namespace vmkfuzz
