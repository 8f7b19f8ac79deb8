// What SetEffect gives an operation: its effect's default parameters, and the loss of every
// attached record the effect does not use.
#include <algorithm>

#include "script/param_block.h"
#include "script/script_file.h"

namespace {

enum When : uint8_t { kAlways, kChanged };

struct EffectDefaults {
  int16_t effects[4];  // the row's numbers; 0 ends a shorter list
  When when;
  bool activate;   // active flag 1
  bool composite;  // destination channel 2
  int8_t count;    // parameters written, P1 onwards
  int16_t params[5];
  bool resetBlend = false;  // blend mode 0, opacity 255
};

// clang-format off
const EffectDefaults kDefaults[] = {
    {{2}, kAlways, false, false, 2, {255, 0}},
    {{3, 4, 5, 6}, kAlways, false, false, 1, {255}},
    {{7, 8}, kAlways, false, false, 2, {2, 2}},
    {{10}, kAlways, true, false, 5, {255, 255, 255, 255, 255}},
    {{11}, kAlways, true, false, 1, {2}},
    {{12}, kAlways, true, false, 4, {1, 128, 45, 1}},
    {{13}, kAlways, true, false, 5, {0, 64, 128, 192, 255}},
    {{14}, kAlways, false, false, 2, {0, 255}},
    {{15}, kAlways, false, false, 1, {10}},
    {{16}, kAlways, true, false, 1, {0}},
    {{17}, kAlways, true, false, 3, {0, 0, 0}},
    {{18}, kAlways, true, true, 3, {0, 0, 0}},
    {{19}, kAlways, false, false, 2, {10, 10}},
    {{20}, kAlways, false, false, 3, {10, 10, 0}},
    {{21}, kChanged, false, false, 5, {10, 10, 40, 40, 0}},
    {{22}, kAlways, true, false, 5, {0, 0, 0, 0, 0}},
    {{23}, kChanged, true, false, 2, {255, 0}},
    {{24, 92}, kAlways, false, false, 1, {255}},
    {{25}, kChanged, true, true, 3, {80, 80, 255}},
    {{26}, kAlways, false, false, 1, {1}},
    {{27}, kAlways, false, false, 5, {0, 255, 255, 255, 255}},
    {{28}, kAlways, false, false, 2, {0, 30}},
    {{29}, kChanged, true, false, 2, {0, 0}},
    {{32}, kAlways, false, false, 3, {18, 45, 7}},
    {{33}, kChanged, false, false, 5, {2, 10, 10, 255, 0}},
    {{34}, kChanged, false, false, 5, {1, 255, 255, 255, 255}},
    {{35}, kChanged, false, false, 5, {255, 20, 20, 100, 4}, true},
    {{36}, kChanged, false, false, 5, {255, 20, 20, 1, 1}},
    {{37}, kChanged, false, false, 5, {50, 50, 255, 255, 255}},
    {{38, 39, 40}, kChanged, false, false, 5, {255, 50, 50, 100, 100}},
    {{41}, kChanged, false, false, 4, {255, 1, 1, 0}},
    {{42}, kChanged, false, false, 1, {255}},
    {{43}, kChanged, true, false, 1, {0}},
    {{44}, kAlways, true, false, 4, {255, 1, -64, 0}},
    {{47}, kChanged, false, false, 5, {1, 0, 255, 255, 255}},
    {{48}, kChanged, false, false, 5, {1, 255, 255, 255, 255}},
    {{49}, kChanged, false, false, 1, {255}},
    {{50}, kChanged, false, false, 5, {3, 3, 0, 0, 0}},
    {{51}, kChanged, false, false, 5, {255, 12, 12, 2, 0}, true},
    {{52}, kChanged, false, false, 5, {100, 1, 128, 45, -20}},
    {{53}, kChanged, true, false, 5, {0, 0, 100, 100, 0}},
    {{54}, kChanged, true, false, 2, {0, 0}},
    {{55}, kAlways, false, false, 2, {1, 1}},
    {{56}, kChanged, false, false, 4, {80, 80, 0, 0}},
    {{60}, kAlways, true, true, 5, {0, 0, 0, 0, 0}},
    {{61}, kChanged, false, false, 5, {90, 70, 255, 255, 255}},
    {{69}, kAlways, false, false, 5, {4, -10, 4, 220, 0}},
    {{71}, kChanged, true, false, 5, {0, 4, 5, 4, 5}},
    {{72}, kAlways, false, false, 2, {1, 1}},
    {{75}, kChanged, false, false, 5, {80, 50, 50, 100, 100}},
    {{78}, kChanged, true, true, 1, {16}},
    {{79}, kChanged, true, false, 5, {0, 50, 50, 100, 1}},
    {{82, 85}, kAlways, false, true, 0, {}},
    {{83}, kChanged, true, false, 4, {5, 50, 50, 0}},
    {{84}, kChanged, true, false, 2, {20, 0}},
    {{86}, kChanged, true, true, 2, {40, 0}},
    {{87}, kAlways, false, true, 2, {4, 30}},
    {{88}, kAlways, false, false, 1, {1}},
    {{90}, kChanged, false, false, 5, {10, 10, 0, 0, 0}},
    {{91}, kChanged, false, false, 5, {10, 0, 0, 0, 0}},
    {{95}, kChanged, true, false, 3, {0, 50, 50}},
    {{96, 97}, kChanged, false, false, 1, {0}},
    {{98, 108}, kChanged, true, false, 4, {0, 0, 0, 0}},
    {{99}, kChanged, true, false, 4, {0, 2000, 8, 100}},
    {{107}, kAlways, true, false, 1, {0}},
    {{112}, kChanged, true, false, 2, {0, 0}},
    {{120}, kChanged, true, false, 2, {3, 3}},
    {{121}, kAlways, true, true, 5, {0, 50, 0, 0, 0}},
    {{122}, kAlways, true, true, 5, {5, 50, 50, 50, 0}},
};
// clang-format on

constexpr int16_t kKeepsLutVign[] = {23, 29, 33, 79, 98, 99, 108};
constexpr int16_t kKeepsMulStruc[] = {40, 41, 42, 43, 49, 58, 61, 72, 80, 81, 82,
                                      85, 86, 90, 92, 94, 100, 106, 109, 110, 111, 119};

template <size_t N>
bool Listed(const int16_t (&list)[N], int16_t effect) {
  return std::find(list, list + N, effect) != list + N;
}

const EffectDefaults* DefaultsOf(int16_t effect) {
  for (const EffectDefaults& row : kDefaults)
    if (effect != 0 && std::find(row.effects, row.effects + 4, effect) != row.effects + 4)
      return &row;
  return nullptr;
}

void WriteDefaults(const EffectDefaults& row, Oprn* op) {
  if (row.activate) op->Act = 1;
  if (row.composite) op->ToChannel = 2;
  int16_t* params[] = {&op->Param1, &op->Param2, &op->Param3, &op->Param4, &op->Param5};
  for (int k = 0; k < row.count; ++k) *params[k] = row.params[k];
  if (row.resetBlend) {
    op->Mode = 0;
    op->Opa = 255;
  }
}

// Frees what the effect does not use. This runs on every call, changed or not, so a record
// stored before its effect number (other than a kept kind) is lost: the editors store records
// after SetEffect.
void DropUnusedRecords(Oprn* op, int16_t effect) {
  if (effect != 22) {
    DeleteRecordBlock(op->ColMat);
    op->ColMat = nullptr;
  }
  if (!Listed(kKeepsLutVign, effect)) {
    DeleteRecordBlock(op->LutVign);
    op->LutVign = nullptr;
  }
  if (!Listed(kKeepsMulStruc, effect)) {
    Dele_MulStruc(op->MulStruc);
    op->MulStruc = nullptr;
  }
  if (effect != 28) {
    DeleteRecordBlock(op->Path3D);
    op->Path3D = nullptr;
  }
}

}  // namespace

void ScriptFile::SetEffect(int16_t s, int16_t l, int16_t o, int16_t effect, int32_t, int32_t,
                           int32_t, int32_t) {
  if (LayerAt(s, l) == nullptr) return;
  Oprn* op = GetOprn(s, l, o);
  bool changed = true;
  if (op != nullptr) {
    changed = op->Effect != effect;
  } else {
    op = new Oprn;
    InitOprn(op);
    stacks[s]->AddOprnLaye(l, o, op);
  }
  op->Effect = effect;
  const EffectDefaults* row = DefaultsOf(effect);
  if (row != nullptr && (row->when == kAlways || changed)) WriteDefaults(*row, op);
  DropUnusedRecords(op, effect);
}
