#include "engines/correction/colour_matrix_engine.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "engines/correction/colour_matrix_dither.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "script/script_file.h"
#include "support/at_once.h"
#include "support/session.h"

#include "engine_row_fixture.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 8, kH = 6, kN = kW * kH;

Plane Ramp(int seed) {
  Plane p(kN);
  for (int i = 0; i < kN; ++i) p[i] = static_cast<uint8_t>((i * 29 + seed * 53) & 255);
  return p;
}

uint32_t Cell(uint8_t c0, uint8_t c1, uint8_t c2, uint8_t c3) {
  return (uint32_t{c0} << 24) | (uint32_t{c1} << 16) | (uint32_t{c2} << 8) | c3;
}

class ColMatRender : public vmktest::SessionTest {
 protected:
  void SetUp() override { ResetColMatRandom(); }
  void TearDown() override { ResetColMatRandom(); }
};

TEST_F(ColMatRender, GeneratorsFromTheirSeed) {
  EXPECT_EQ(S2_alea(0), 36);
  EXPECT_EQ(S2_alea(0), 183);
  EXPECT_EQ(S2_alea(0), 228);
  // A release keeps the index and the state: the refill continues the sequence.
  EXPECT_EQ(S2_alea(1), 0);
  EXPECT_NE(S2_alea(0), 114);
  EXPECT_EQ(S_alea(1.0), 1149);  // low 16 bits of 3664642941 - 17180000000
  EXPECT_EQ(S_alea(1.0e30), 0);  // out of range gives 0, never an undefined conversion
}

// Two previews dithering at once: each render builds its dither table, draws and releases
// the byte table while the other reads it. Nothing is compared: the fault was a read of the
// table the other thread had just freed, a crash here and a report under the sanitizer.
TEST_F(ColMatRender, TwoRendersAtOnceShareTheGeneratorsSafely) {
  auto render = [] {
    std::vector<uint8_t> table(kDitherTableSize);
    S_precalcul_alea(table.data(), 1, 20);
    for (int i = 0; i < 400; ++i) (void)S2_alea(0);
    S2_alea(1);
    return true;
  };
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(40, render, render), 0);
}

TEST_F(ColMatRender, DitherRowsAtDeviationZero) {
  std::vector<uint8_t> table(kDitherTableSize, 1);
  S_precalcul_alea(table.data(), 1, 0);
  for (int L = 0; L < kDitherRows; L += 37) {
    int sum = 0;
    for (int i = 0; i < 256; ++i) {
      const uint8_t b = table[L * 256 + i];
      ASSERT_EQ(b % 2, 0) << L;
      sum += b;
    }
    EXPECT_NEAR(sum / 256.0, L / 4.0, 1.5) << L;
  }
  EXPECT_EQ(table[308 * 256 + 100], 76);  // a quarter of 308 with its low bit cleared
}

TEST_F(ColMatRender, FlatGridGivesItsValueLowBitCleared) {
  MiscColMat e;
  std::vector<uint32_t> cells(kColMatCells, Cell(77, 10, 20, 30));
  std::vector<uint32_t> px(kN, 0x01020304u);
  ASSERT_EQ(e.ProcessVignette1(0, 255, 4, kH, kW, px.data(), nullptr, 0, 0, kW - 1, kH - 1,
                               cells.data(), 0),
            0);
  const auto* b = reinterpret_cast<const uint8_t*>(px.data());
  for (int i = 0; i < kN; ++i) {
    ASSERT_EQ(b[4 * i], 76);
    ASSERT_EQ(b[4 * i + 1], 10);
    ASSERT_EQ(b[4 * i + 3], 30);
  }
  // An empty area: -1, nothing touched; four planes take the same arithmetic.
  EXPECT_EQ(e.ProcessVignette1(0, 255, 4, kH, kW, px.data(), nullptr, 5, 0, 4, kH - 1,
                               cells.data(), 0),
            -1);
  Plane r(kN, 1), g(kN, 2), bl(kN, 3), f(kN, 4);
  ASSERT_EQ(e.ProcessVignette4(0, 255, 1, kH, kW, r.data(), g.data(), bl.data(), f.data(),
                               nullptr, 0, 0, kW - 1, kH - 1, cells.data(), 0),
            0);
  EXPECT_EQ(r, Plane(kN, 76));
  EXPECT_EQ(g, Plane(kN, 2));  // one channel only
}

TEST_F(ColMatRender, OnePixelAreaReadsCellZero) {
  MiscColMat e;
  std::vector<uint32_t> cells(kColMatCells, Cell(200, 200, 200, 200));
  cells[0] = Cell(40, 60, 80, 0);
  std::vector<uint32_t> px(kN, 0);
  // Spans of 1 whatever the clip, so the pixel sits on cell (0, 0) alone.
  ASSERT_EQ(e.ProcessVignette1(0, 255, 4, kH, kW, px.data(), nullptr, 3, 2, 3, 2, cells.data(), 0),
            0);
  const auto* b = reinterpret_cast<const uint8_t*>(px.data() + 2 * kW + 3);
  EXPECT_EQ(b[0], 40);
  EXPECT_EQ(b[1], 60);
  EXPECT_EQ(b[2], 80);
  EXPECT_EQ(px[0], 0u);
}

TEST_F(ColMatRender, GridChannelThreeSharesTheSource) {
  const Plane r0 = Ramp(1), g0 = Ramp(2), b0 = Ramp(3);
  for (uint8_t keep : {uint8_t{255}, uint8_t{0}}) {
    MiscColMat e;
    std::vector<int32_t> cells(kColMatCells, static_cast<int32_t>(Cell(100, 150, 200, keep)));
    e.SetColMatVal(cells.data(), 0, 0, 0, 0, 0);
    Plane r = r0, g = g0, b = b0;
    e.FillBuf(3, 0, 255, 0, 1, 255, 0, 0, kW, kH, 0, 0, 0, 0, kW, kH, 1.f, 1.f, kW, kH, r.data(),
              g.data(), b.data(), nullptr, nullptr);
    if (keep == 255) {
      // The dither clears the share's low bit: 254 / 255 of the source is kept.
      for (int i = 0; i < kN; ++i) {
        ASSERT_NEAR(r[i], r0[i], 1) << i;
        ASSERT_NEAR(b[i], b0[i], 1) << i;
      }
    } else {
      // The processed pixels stand: the grid's colour wherever the source was.
      EXPECT_NE(r, r0);
      EXPECT_EQ(r[5], r[40]);
      EXPECT_EQ(g[5], g[40]);
    }
  }
}

TEST_F(ColMatRender, OnePlaneUnappliedBlendsItsOwnGrey) {
  MiscColMat e;
  std::vector<int32_t> cells(kColMatCells, 0);
  e.SetColMatVal(cells.data(), 0, 0, 0, 0, 0);
  const Plane in = Ramp(4);
  Plane p = in;
  e.FillBuf(1, 10, 255, 0, 0, 255, 0, 0, kW, kH, 0, 0, 0, 0, kW, kH, 1.f, 1.f, kW, kH, p.data(),
            nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < kN; ++i) {
    unsigned char v = 0;
    X_optionRPart(&v, 11, in[i], in[i]);
    ASSERT_EQ(p[i], v) << i;
  }
  // A blend mode outside 0..11 keeps every pixel.
  p = in;
  e.FillBuf(1, 40, 255, 0, 1, 255, 0, 0, kW, kH, 0, 0, 0, 0, kW, kH, 1.f, 1.f, kW, kH, p.data(),
            nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(p, in);
}

TEST_F(ColMatRender, NoMemoryLeavesThePlanes) {
  MiscColMat e;
  std::vector<int32_t> cells(kColMatCells, static_cast<int32_t>(Cell(1, 2, 3, 0)));
  e.SetColMatVal(cells.data(), 0, 0, 0, 0, 0);
  const Plane in = Ramp(5);
  Plane r = in, g = in, b = in;
  vmktest::NoWorkMemory none;
  e.FillBuf(3, 0, 255, 0, 1, 255, 0, 0, kW, kH, 0, 0, 0, 0, kW, kH, 1.f, 1.f, kW, kH, r.data(),
            g.data(), b.data(), nullptr, nullptr);
  EXPECT_EQ(r, in);
}

class ColMatRow : public vmktest::EngineRowTest<kW, kH> {};

TEST_F(ColMatRow, RendersTheOperationsCells) {
  ASSERT_NE(FindEngineRow(22), nullptr);
  Oprn* op = OnePlaneOperation(22);
  op->ColMat = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
  for (int k = 0; k < kColMatCells; ++k) op->ColMat[k] = static_cast<int32_t>(Cell(k % 256, 9, 9, 0));
  op->Param1 = 12;  // noise
  op->Mode = 3;
  op->Opa = 180;
  const Plane in = Ramp(7);
  std::memcpy(s_.ChannelPlane(9, 1), in.data(), kN);
  ResetColMatRandom();
  EXPECT_EQ(s_.PerformToEffect(op), 0);
  const uint8_t* got = s_.ChannelPlane(9, 0);

  // The same engine by hand from the same generator states.
  ResetColMatRandom();
  MiscColMat e;
  e.SetColMatVal(op->ColMat, 12, 0, 0, 0, 0);
  Plane want = in;
  e.FillBuf(1, 3, 180, 0, 1, 255, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
            want.data(), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Plane(got, got + kN), want);
  EXPECT_NE(want, in);
}

}  // namespace
