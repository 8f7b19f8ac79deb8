// The engine rows of the one-plane dispatch: the effects that render an effect family's
// engine (Misc<X>) into the destination plane or the composite planes.
//
// The engines live above the script, so each family registers its rows at start-up, one
// explicit call per effect number, with an adapter that runs its engine:
//
//   int32_t RunCastel(const EngineRowCall& c) {
//     return RunEngineOnce<MiscCastel>(
//         [&](MiscCastel& e) { e.SetRepPar(&c.Record<RepPar>()); },
//         [&](MiscCastel& e) {
//           return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.p1, 1, c.p2, c.p3, 0, c.w, c.h,
//                            0, 0, c.aw, c.ah, c.w, c.h, 0, 0, c.w, c.h, 1.0f, 1.0f,
//                            c.planes[0], c.planes[1], c.planes[2], c.plane6, c.mask);
//         });
//   }
//   ...
//   RegisterEngineRow(41, RunCastel);
//
// A family calls RegisterEngineRow from its own registration function, which
// RegisterEffectFamilies (engines/families) calls at start-up with the record kinds; the rows
// must be in place before a script renders. The weave cases (40, 42, 43) size their engine
// with `resolution` before they hand it the record; 40 always gets the composite planes.
//
// The row has done everything that is common to the engine effects by the time the adapter
// runs: it found the record of the effect's kind (the operation's, or one at that kind's
// defaults), chose the planes, and applied the few per-effect rules of the context (see
// EngineRowCall). The adapter only creates its engine, hands it the record, calls FillBuf
// once with its own argument list, lets the engine go and answers what FillBuf answered
// (negative: the engine could not render, and the render stops at the operation). An engine
// whose FillBuf answers nothing of memory refused to it answers 0: the renderer sees the
// blocks refused to the operation and fails it. An engine that stopped for a picture it could
// not read names it through TellUnreadable before it answers.
#pragma once

#include <cstdint>
#include <string>

#include "script/effect_registries.h"
#include "script/operation.h"

class ScriptFile;

// What a row hands its engine.
struct EngineRowCall {
  ScriptFile* script = nullptr;
  Oprn* op = nullptr;
  EffectCode effect = 0;

  // The record of the effect's MulStruc kind: the operation's own, or, when it holds none, a
  // record at that kind's defaults as the script's Get<X>Par accessors give them (it lives
  // for the call only; what the engine does to it reaches no operation). For 22, the
  // operation's 1089 ColMat cells, with Param1..Param5 below.
  void* record = nullptr;

  int16_t n = 1;          // planes: 1, the destination; 3, planes 3, 4 and 5
  int16_t mode = 0;       // the operation's blend mode
  int16_t opacity = 255;  // the operation's opacity (for 42, Param1 x Opa / 255)
  int16_t p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0;
  int32_t w = 0, h = 0;    // plane width and height
  int32_t aw = 0, ah = 0;  // area width and height
  int32_t resolution = 0;  // the script's resolution, truncated (the weave's buffer size)

  // PL: the destination plane and two nulls, or planes 3, 4 and 5; plane 2 of a CMYK script
  // is never handed to an engine.
  uint8_t* planes[3] = {};
  uint8_t* plane6 = nullptr;  // the caller's plane 6, null when there is none
  // Q: plane 89 for the composite of 101 and 113, null otherwise.
  uint8_t* q = nullptr;
  // K: the operation mask; for 102, 103 to 105 and 119 a copy of plane 6 instead.
  uint8_t* mask = nullptr;
  // The texture scales of 77: w / aw and h / ah on a single plane, w / 500 and h / 500 on the
  // composite. 1.0 for every other effect.
  float scaleX = 1.0f, scaleY = 1.0f;
  // The picture the planes stand for (the script's width and height): larger than the
  // planes in a fitted preview, the same in a render of the whole picture.
  int32_t pictureW = 0, pictureH = 0;
  // Where an engine that stopped because it could not read a picture its record names tells
  // which, as its user knows it: the row then fails the step as one whose file could not be
  // read. Null when nobody asks.
  std::string* unreadableFile = nullptr;
  void TellUnreadable(const std::string& file) const {
    if (unreadableFile != nullptr && !file.empty()) *unreadableFile = file;
  }

  template <class R>
  R& Record() const {
    return *static_cast<R*>(record);
  }
};

// Runs the engine of one operation: 0, or -1 when the engine could not render.
using EngineAdapter = int32_t (*)(const EngineRowCall& call);

// Registers the row of an engine effect and the render case that runs it. 0 when new or
// already registered with the same adapter; -1 (the first kept) for a null adapter, a second,
// different adapter, or a number the effect table does not give to the engine cases (49, whose
// engine the dispatch only makes and deletes, renders nothing and takes no row).
int32_t RegisterEngineRow(EffectCode effect, EngineAdapter adapter);
EngineAdapter FindEngineRow(EffectCode effect);

// Fills `row` for one operation as the renderer hands it over (ready for its adapter); the
// record and mask it points at are owned by `storage` and live as long as it does. 0, 1 when
// the effect renders nothing (22 without its ColMat), -1 when memory is refused or the
// record's kind is not registered. The render case behind every row calls it; tests call it
// to see the context.
struct EngineRowStorage;
int32_t PrepareEngineRow(RenderCall& call, EngineRowCall* row, EngineRowStorage* storage);

// The record and mask copy of one row, freed with it.
struct EngineRowStorage {
  EngineRowStorage() = default;
  ~EngineRowStorage();
  EngineRowStorage(const EngineRowStorage&) = delete;
  EngineRowStorage& operator=(const EngineRowStorage&) = delete;

  void* record = nullptr;  // a defaults record made for the row, or null
  int16_t kind = 0;
  uint8_t* mask = nullptr;  // the plane-6 copy, or null
};

// The one render case of every engine row.
int32_t EngineRowCase(RenderCall& call);

// The life of an engine in a row: created, given its record, filled once, deleted. Answers
// -1 when `fill` answered a negative value, else 0.
template <class Engine, class Give, class Fill>
int32_t RunEngineOnce(Give give, Fill fill) {
  Engine engine;
  give(engine);
  return fill(engine) < 0 ? -1 : 0;
}
