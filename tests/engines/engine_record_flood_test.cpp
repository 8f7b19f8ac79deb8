// Records of absurd words: every 32-bit word of an engine's record set to one value at or
// near the ends of its range (the floats among them become NaN, -0 or denormals), and the
// engine run over a small picture. Nothing may read or write outside the planes, overflow,
// or answer other than 0 or -1.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "engines/correction/colour_matrix.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/resize_record.h"
#include "engines/correction/yoxel_engine.h"
#include "engines/patterns/border_engine.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cast_shadow_engine.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/extrusion_engine.h"
#include "engines/patterns/extrusion_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/misc_fract.h"
#include "engines/patterns/painter_strokes_engine.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_engine.h"
#include "engines/patterns/screen_record.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/twin_tessellation_engine.h"
#include "engines/tessellation/twin_tessellation_record.h"
#include "support/session.h"

namespace {

constexpr int32_t kW = 23, kH = 17, kN = kW * kH;

struct Planes {
  std::vector<uint8_t> p0 = std::vector<uint8_t>(kN, 40), p1 = std::vector<uint8_t>(kN, 90),
                       p2 = std::vector<uint8_t>(kN, 200), p3 = std::vector<uint8_t>(kN, 255),
                       mask = std::vector<uint8_t>(kN, 128);
};

// Not 70000: a tessellation bleed of that many percent is drawable but slow, its quads 700
// times the picture.
const int32_t kWords[] = {-1, 1000000, -1000000, 2147483647, -2147483647 - 1, 0x7f7f7f7f};
constexpr size_t kBands = 40;

// The words of band `band` of `bands` equal slices of the record set to v; the bytes of a
// tail shorter than a word stay.
template <class Par>
void Flood(Par* r, int32_t v, size_t band, size_t bands) {
  static_assert(std::is_trivially_copyable_v<Par>);
  const size_t words = sizeof(Par) / sizeof v;
  auto* bytes = reinterpret_cast<unsigned char*>(r);
  for (size_t k = words * band / bands; k < words * (band + 1) / bands; ++k)
    std::memcpy(bytes + k * sizeof v, &v, sizeof v);
}

// Words that are no record words but the memory's own (the resize record's mask pointers)
// are put back to none after a flood.
template <class Par>
void KeepOwnWords(Par*) {}
template <>
void KeepOwnWords(YoxelPar* r) {
  r->protectMask = nullptr;
  r->removeMask = nullptr;
}

// The whole record flooded, then each band of the engine's defaults alone.
template <class Par, class Init, class Run>
void Flood(Init init, Run run) {
  for (int32_t v : kWords) {
    for (size_t band = 0; band <= kBands; ++band) {
      SCOPED_TRACE(testing::Message() << v << " in band " << band);
      auto rec = std::make_unique<Par>();
      if (band == kBands) {
        Flood(rec.get(), v, 0, 1);
      } else {
        init(rec.get());
        Flood(rec.get(), v, band, kBands);
      }
      KeepOwnWords(rec.get());
      // One plane and three by turns.
      const auto planes = static_cast<int16_t>(band % 2 == 0 ? 1 : 3);
      Planes p;
      const int32_t rc = run(*rec, planes, p);
      ASSERT_TRUE(rc == 0 || rc == -1) << rc;
    }
  }
}

class EngineRecordFlood : public vmktest::SessionTest {};

TEST_F(EngineRecordFlood, Border) {
  Flood<BordPar>(
      [](BordPar* r) { Init_BordPar(r, kW, kH, 0, 1, 1, 0); },
      [](const BordPar& r, int16_t n, Planes& p) {
    MiscBord e;
    e.SetBordPar(&r);
    return e.FillBuf(n, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                     p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(), p.mask.data());
  });
}

TEST_F(EngineRecordFlood, Screen) {
  Flood<ScreenPar>(
      [](ScreenPar* r) { Init_ScreenPar(r, 0); },
      [](const ScreenPar& r, int16_t n, Planes& p) {
    MiscScreen e;
    e.SetScreenPar(&r);
    return e.FillBuf(n, 0, 255, 0, kW, kH, 0, 0, kW, kH, p.p0.data(), p.p1.data(), p.p2.data(),
                     p.mask.data(), 20, 20, 0, 0);
  });
}

TEST_F(EngineRecordFlood, ImageCombination) {
  Flood<CombImaPar>(
      [](CombImaPar* r) { Init_CombImaPar(r, 1); },
      [](const CombImaPar& r, int16_t n, Planes& p) {
    MiscCombIma e;
    e.SetCombImaPar(&r);
    return e.FillBuf(n, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                     p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(), p.mask.data());
  });
}

TEST_F(EngineRecordFlood, PainterStrokes) {
  Flood<StrokPar>(
      [](StrokPar* r) { Init_StrokPar(r); },
      [](const StrokPar& r, int16_t n, Planes& p) {
    MiscStrok e;
    e.SetStrokPar(&r);
    return e.FillBuf(1, 0, 0, n, 0, 255, kW, kH, 0, 0, kW, kH, p.p0.data(), p.p1.data(),
                     p.p2.data(), p.mask.data());
  });
}

TEST_F(EngineRecordFlood, Tessellation) {
  Flood<TessPar>(
      [](TessPar* r) {
        Init_TessPar(r, 0, 0, 1);
        r->head.w[kTessSymmetry] = 7;
        Init_TessParQuad(r, 7, -1);
      },
      [](const TessPar& r, int16_t n, Planes& p) {
    MiscQuorlin e;
    e.SetTessPar(&r);
    return e.FillBuf(n, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                     p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(), p.mask.data());
  });
}

TEST_F(EngineRecordFlood, Extrusion) {
  Flood<XTrudePar>(
      [](XTrudePar* r) { Init_XTrudePar(r, 0, kW, kH); },
      [](const XTrudePar& r, int16_t n, Planes& p) {
    MiscXTrude e;
    e.SetXTrudePar(&r);
    return e.FillBuf(0, 255, kW, kH, n, p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(),
                     p.mask.data(), kW, kH);
  });
}

TEST_F(EngineRecordFlood, CastShadow) {
  Flood<ShadoPar>(
      [](ShadoPar* r) { Init_ShadoPar(r, 0); },
      [](const ShadoPar& r, int16_t, Planes& p) {
    MiscPhotoShado e;
    e.SetShadoPar(&r);
    return e.FillBuf(0, 255, kW, kH, p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(),
                     p.mask.data(), kW, kH);
  });
}

TEST_F(EngineRecordFlood, Fractal) {
  Flood<FractPar>(
      [](FractPar* r) { Init_FractPar(r, 1, 1); },
      [](const FractPar& r, int16_t n, Planes& p) {
    MiscFract e;
    e.SetFractPar(&r);
    return e.FillBuf(n, 0, 255, 0, 1, nullptr, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f,
                     1.f, p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(), p.mask.data());
  });
}

TEST_F(EngineRecordFlood, ColourMatrix) {
  Flood<ColMatPar>(
      [](ColMatPar* r) { Init_ColMatPar(r); },
      [](const ColMatPar& r, int16_t n, Planes& p) {
    MiscColMat e;
    e.SetColMatPar(&r);
    e.FillBuf(n, 0, 255, 0, 1, 255, 0, 0, kW, kH, 0, 0, 0, 0, kW - 1, kH - 1, 1.f, 1.f, kW, kH,
              p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(), p.mask.data());
    return 0;
  });
}

TEST_F(EngineRecordFlood, ContentAwareResize) {
  Flood<YoxelPar>(
      [](YoxelPar* r) {
        Init_YoxelPar(r, kW, kH, 72, 0, 0);
        r->resizeMethod = 8;
        r->targetQuad[4] = 80000;  // to four fifths of the width: seams to remove
        r->contrast = 20;
      },
      [](const YoxelPar& r, int16_t n, Planes& p) {
    MiscYoxel e;
    YoxelPar copy = r;
    e.SetYoxelPar(&copy);
    std::vector<uint8_t> fifth(kN, 10), sixth(kN, 20);
    return static_cast<int32_t>(e.FillBuf(n, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0,
                                          kW - 1, kH - 1, 1.f, 1.f, p.p0.data(), p.p1.data(),
                                          p.p2.data(), p.p3.data(), fifth.data(), sixth.data(),
                                          p.mask.data()));
  });
}

TEST_F(EngineRecordFlood, PhotoRepeat) {
  Flood<RepPar>(
      [](RepPar* r) { Init_RepPar(r, 0, 4, 3); },
      [](const RepPar& r, int16_t n, Planes& p) {
    MiscCastel e;
    e.SetRepPar(&r);
    return e.FillBuf(n, 0, 255, 0, 1, 255, 1, 2, 2, 0, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW,
                     kH, 1.f, 1.f, p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(),
                     p.mask.data());
  });
}

TEST_F(EngineRecordFlood, TwinTessellation) {
  Flood<HeschPar>(
      [](HeschPar* r) { Init_HeschPar(r, 1, 1, 1); },
      [](const HeschPar& r, int16_t n, Planes& p) {
    MiscPhotoHesch e;
    e.SetHeschPar(&r);
    return e.FillBuf(n, 0, 255, 0, kW, kH, 0, 0, kW, kH, p.p0.data(), p.p1.data(), p.p2.data(),
                     p.p3.data(), p.mask.data());
  });
}

// Each 32-bit word of a block alone at the ends of its range: deeper than a flooded band,
// which an engine may refuse at its first word.
template <class Block, class Run>
void EachWord(Block* block, Run run) {
  static_assert(std::is_trivially_copyable_v<Block>);
  for (int32_t v : {2147483647, -2147483647 - 1, -1}) {
    for (size_t k = 0; k < sizeof(Block) / sizeof v; ++k) {
      SCOPED_TRACE(testing::Message() << "word " << k << " at " << v);
      int32_t kept = 0;
      auto* at = reinterpret_cast<unsigned char*>(block) + k * sizeof v;
      std::memcpy(&kept, at, sizeof v);
      std::memcpy(at, &v, sizeof v);
      Planes p;
      const int32_t rc = run(p);
      std::memcpy(at, &kept, sizeof v);
      ASSERT_TRUE(rc == 0 || rc == -1) << rc;
    }
  }
}

TEST_F(EngineRecordFlood, BorderHeadLayerAndTileWordsOneByOne) {
  auto rec = std::make_unique<BordPar>();
  Init_BordPar(rec.get(), kW, kH, 0, 1, 1, 0);
  auto run = [&rec](Planes& p) {
    MiscBord e;
    e.SetBordPar(rec.get());
    return e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                     p.p0.data(), p.p1.data(), p.p2.data(), p.p3.data(), p.mask.data());
  };
  EachWord(&rec->head, run);
  EachWord(&rec->layers[0].info, run);
  EachWord(&rec->layers[0].tiles[0], run);  // a corner
  EachWord(&rec->layers[0].tiles[4], run);  // the first cell of side 0
}

}  // namespace
