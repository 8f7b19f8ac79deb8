// The effect dispatcher's own cost: the registry lookup and the owner's
// protocol around a dialog (a scratch record of the full size taken from the
// session's memory manager, the operation's record fetched into it, the code
// and the record stored back, the block returned), for the two largest
// records, the grid warp's GridPar (about 23 MB) and the border's BordPar.
// The dialogs themselves are left out: stand-in rows answer OK at once.
#include <benchmark/benchmark.h>

#include "bench_session.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "engines/correction/grid_record.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/border_record.h"
#include "script/script_file.h"

namespace {

template <class R, void (ScriptFile::*Get)(int16_t, int16_t, int16_t, R*),
          int16_t (ScriptFile::*Set)(int16_t, int16_t, int16_t, const R*)>
int16_t Protocol(EffectCall& c) {
  ScratchRecord<R> record;
  if (!record) return 0;
  (c.script->*Get)(c.stack, c.layer, c.operation, record.get());
  benchmark::DoNotOptimize(record.get());
  c.SetEffect();
  return (c.script->*Set)(c.stack, c.layer, c.operation, record.get()) == 0 ? 1 : 0;
}

void BM_PerformEffect(benchmark::State& state) {
  BenchSession session;
  RegisterEffectFamilies();
  const auto code = static_cast<int16_t>(state.range(0));
  EffectRegistry& registry = EffectDialogRegistry();
  registry.Add({{102}, false, Protocol<GridPar, &ScriptFile::GetGridPar, &ScriptFile::SetGridPar>});
  registry.Add({{106}, false, Protocol<BordPar, &ScriptFile::GetBordPar, &ScriptFile::SetBordPar>});
  ScriptFile script;
  script.I_ScriptFile(3, 2048, 1536, 72.0f, 500, 500, 0, 0, 499, 374);
  script.SetEffect(0, 1, 1, code, 0, 0, 2048, 1536);
  VMKtuneeff editor;
  editor.LoadVal(1, code);
  editor.SetScriptFile(&script, 0, 1, 2048, 1536, 0, 0, 2048, 1536);
  for (auto _ : state) benchmark::DoNotOptimize(editor.Perform_Effect(code, 0));
  state.counters["record_MB"] =
      static_cast<double>(code == 102 ? sizeof(GridPar) : sizeof(BordPar)) / (1024.0 * 1024.0);
  registry.Remove(102);
  registry.Remove(106);
}
BENCHMARK(BM_PerformEffect)->ArgName("code")->Arg(102)->Arg(106)->Unit(benchmark::kMillisecond);

// The lookup alone: a code no row serves.
void BM_PerformEffectNoRow(benchmark::State& state) {
  BenchSession session;
  ScriptFile script;
  VMKtuneeff editor;
  editor.SetScriptFile(&script, 0, 1, 2048, 1536, 0, 0, 2048, 1536);
  for (auto _ : state) benchmark::DoNotOptimize(editor.Perform_Effect(112, 0));
}
BENCHMARK(BM_PerformEffectNoRow);

}  // namespace
