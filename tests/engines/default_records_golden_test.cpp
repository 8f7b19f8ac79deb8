// The stored bytes of every family's default record against one golden table: what Init_
// sets, its conversion and its stored layout, pinned together. A changed default shows up
// here as a changed digest; the family's own tests say what its fields mean.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/correction/colour_correction.h"
#include "engines/correction/colour_matrix.h"
#include "engines/correction/lens_correction.h"
#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/extrusion_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/records/param_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/twin_tessellation_record.h"

namespace {

// FNV-1a over the stored bytes.
uint64_t Digest(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ULL;
  return h;
}

// The stored form of a default record made by `init`.
template <class R, class InitFn>
std::vector<uint8_t> Stored(InitFn init) {
  auto r = std::make_unique<R>();
  init(r.get());
  return vmkrec::StoreRecord(*r);
}

struct Golden {
  const char* family;
  std::function<std::vector<uint8_t>()> stored;
  size_t size;
  uint64_t digest;
};

const std::vector<Golden>& Table() {
  static const std::vector<Golden> table = {
      {"ColCorPar",
       [] {
         return Stored<ColCorPar>([](auto* r) { Init_ColCorPar(r, 640, 480, 72, 104, 0, 0); });
       },
       28228, 0xc777f6b908f93d7fULL},
      {"ZondracPar",
       [] {
         return Stored<ZondracPar>([](auto* r) { Init_ZondracPar(r, 640, 480, 300, 20, 20, 2); });
       },
       4256, 0x49d3ceeeaecdf423ULL},
      {"ColMatPar", [] { return Stored<ColMatPar>([](auto* r) { Init_ColMatPar(r); }); }, 6452,
       0x0ebb7d9ed931dd30ULL},
      {"LBlurPar", [] { return Stored<LBlurPar>([](auto* r) { Init_LBlurPar(r); }); }, 604,
       0x8405ae7f7734b60aULL},
      {"FlarePar", [] { return Stored<FlarePar>([](auto* r) { Init_FlarePar(r); }); }, 592,
       0x8e8eabeab6c2f4b2ULL},
      {"SupVigPar", [] { return Stored<SupVigPar>([](auto* r) { Init_SupVigPar(r); }); }, 1828,
       0x43a66caca3326055ULL},
      {"FractPar", [] { return Stored<FractPar>([](auto* r) { Init_FractPar(r, 0, 0); }); }, 775688,
       0xaeaad976c849f96cULL},
      {"XTrudePar",
       [] { return Stored<XTrudePar>([](auto* r) { Init_XTrudePar(r, 0, 640, 480); }); }, 6812,
       0xc93d65d86dd01279ULL},
      {"ShadoPar", [] { return Stored<ShadoPar>([](auto* r) { Init_ShadoPar(r, 0); }); }, 5996,
       0x462e5947bbabc535ULL},
      {"CookiCutPar", [] { return Stored<CookiCutPar>([](auto* r) { Init_CookiCutPar(r); }); },
       5952, 0x58fec7d3837d59a0ULL},
      {"ShapePar", [] { return Stored<ShapePar>([](auto* r) { Init_ShapePar(r, 640, 480, 0); }); },
       10252, 0xa1bb6a75136b4acaULL},
      {"CompoPar",
       [] { return Stored<CompoPar>([](auto* r) { Init_CompoPar(r, 320, 200, 0, 0, 0, 0); }); },
       1316, 0xfc071bc050c16862ULL},
      {"StrokPar", [] { return Stored<StrokPar>([](auto* r) { Init_StrokPar(r); }); }, 55420,
       0x91c4f70e23fe4776ULL},
      {"PlaidPar", [] { return Stored<PlaidPar>([](auto* r) { Init_PlaidPar(r, 0); }); }, 72830,
       0x00ce525c0768b80eULL},
      {"WeaveInfo", [] { return Stored<WeaveInfo>([](auto* r) { Init_WeaveInfo(r, 8, 8); }); },
       17720, 0x5fb710546cacb247ULL},
      {"HeschPar", [] { return Stored<HeschPar>([](auto* r) { Init_HeschPar(r, 0, 0, 1); }); },
       105156, 0x553232682a41f351ULL},
      {"FractPar 13", [] { return Stored<FractPar>([](auto* r) { Init_FractPar(r, 13, 0); }); },
       775688, 0xbac34a1461fc5f4fULL},
      {"TessPar", [] { return Stored<TessPar>([](auto* r) { Init_TessPar(r, 0, 0, 1); }); }, 105124,
       0x0abd14d1e5b25550ULL},
      {"RepPar", [] { return Stored<RepPar>([](auto* r) { Init_RepPar(r, 1, 4, 3); }); }, 711884,
       0x4fa301dbbaa3eb73ULL},
  };
  return table;
}

TEST(DefaultRecords, StoredBytesMatchTheGoldenTable) {
  for (const Golden& g : Table()) {
    const std::vector<uint8_t> bytes = g.stored();
    char digest[19];
    std::snprintf(digest, sizeof digest, "0x%016" PRIx64, Digest(bytes));
    EXPECT_EQ(bytes.size(), g.size) << g.family;
    EXPECT_EQ(Digest(bytes), g.digest)
        << g.family << " stores " << bytes.size() << " bytes, digest " << digest;
  }
}

}  // namespace
