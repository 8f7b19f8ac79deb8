// The grid-warp record: defaults, copies of the grids in use, conversion, deleting a grid,
// the block scripts store and the 'hXgr' preset with its selection plane.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/pascal_strings.h"
#include "engines/correction/grid_record.h"
#include "platform/bytes/byte_order.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

using plat::bytes::loadLE32;

std::unique_ptr<GridPar> NewGrid(int32_t columns = 3, int32_t rows = 2) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), 640, 480, columns, rows, 1, 3, 1, 1);
  return r;
}

std::unique_ptr<GridPar> Clone(const GridPar& r) {
  auto c = std::make_unique<GridPar>();
  std::memcpy(static_cast<void*>(c.get()), &r, sizeof r);
  return c;
}

// Field by field: a file reference's padding and the bytes after its strings carry nothing.
bool Same(const GridPar& a, const GridPar& b) {
  if (std::memcmp(a.head.w, b.head.w, sizeof a.head.w) != 0) return false;
  for (int32_t i = 0; i < kGridSlots; ++i) {
    const fichier& f = a.files[i];
    const fichier& g = b.files[i];
    if (PStrString(f.name) != PStrString(g.name) || PStrString(f.path) != PStrString(g.path) ||
        f.creator != g.creator || f.type != g.type)
      return false;
    if (std::memcmp(&a.grids[i], &b.grids[i], sizeof a.grids[i]) != 0) return false;
  }
  return true;
}

// Two grids in use with distinctive nodes, settings and file references.
std::unique_ptr<GridPar> SampleRecord() {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), 3000, 2000, 4, 3, 1, 3, 1, 1);
  r->head.w[kGpCount] = 2;
  r->head.w[kGpSelection] = 1;
  r->head.w[kGpTool] = 4;
  r->head.w[14] = 7;
  Init_GridInfo(&r->grids[1], 1, 1, 6, 5, 3);
  r->grids[0].node[kGaOut + kGaX][5] = -1234;
  r->grids[0].node[kGaHandles + 3][7] = 55555;
  r->grids[0].node[kGaSelected][2] = 1;
  r->grids[0].extra[2][7] = 9;
  r->grids[0].extraWord = -4;
  r->grids[1].w[kGiMorph] = 40;
  r->grids[1].node[kGaOut + kGaY][48] = 123;
  CToPStrCopy(r->files[0].name, "first.tif");
  CToPStrCopy(r->files[1].path, "Disk:Pictures:");
  return r;
}

TEST(GridRecord, DefaultsOfHeadGridsAndRegularLattice) {
  auto r = NewGrid(3, 2);
  const int32_t head[16] = {HostOrderFlag(), 3, 640, 480, 1, 0, 1, 128, 0, 0, 1, 0, 1, 1, 2, 0};
  EXPECT_EQ(0, std::memcmp(r->head.w, head, sizeof head));
  const int32_t grid[23] = {HostOrderFlag(), 3, 1, 0, 255, 0, 0, 0, 100, 0, 0, 0,
                            100000, 100000, 0, 0, 0, 100000, 100000, 1, 1, 3, 2};
  for (const GridInfo& g : r->grids) EXPECT_EQ(0, std::memcmp(g.w, grid, sizeof grid));
  const GridInfo& g = r->grids[15];
  for (int32_t set : {0, static_cast<int>(kGaOut)}) {
    // Single-precision quotient, plus a half, truncated; row 0 on top.
    EXPECT_EQ(g.node[set + kGaX][1], 33333);
    EXPECT_EQ(g.node[set + kGaX][2], 66667);
    EXPECT_EQ(g.node[set + kGaX][3], 100000);
    EXPECT_EQ(g.node[set + kGaY][3], 100000);
    EXPECT_EQ(g.node[set + kGaY][4], 50000);
    EXPECT_EQ(g.node[set + kGaY][11], 0);
  }

  // Counts are held to 1..127; nodes 2 leaves the in grid; the extra arrays are cleared.
  GridInfo& h = r->grids[3];
  h.node[kGaX][5] = 77;
  h.extra[1][1] = 3;
  Init_GridInfo(&h, 1, 0, 200, 0, 2);
  EXPECT_EQ(h.w[kGiColumns], 127);
  EXPECT_EQ(h.w[kGiRows], 1);
  EXPECT_EQ(h.node[kGaX][5], 77);
  EXPECT_EQ(h.node[kGaOut + kGaX][127], 100000);
  EXPECT_EQ(h.node[kGaOut + kGaY][128], 0);
  EXPECT_EQ(h.extra[1][1], 0);
}

TEST(GridRecord, CopiesMoveOnlyTheGridsAndNodesInUse) {
  auto s = NewGrid(3, 3);
  s->head.w[kGpCount] = 2;
  s->grids[1].node[0][5] = 1234;
  s->grids[2].node[0][0] = 99;   // not in use
  s->grids[0].node[0][15] = 15;  // last of the (3 + 1)^2 nodes
  s->grids[0].node[0][16] = 55;  // beyond them
  CToPStrCopy(s->files[1].name, "b");
  CToPStrCopy(s->files[2].name, "c");
  auto d = std::make_unique<GridPar>();
  Copy_GridPar(s.get(), d.get());
  EXPECT_EQ(0, std::memcmp(d->head.w, s->head.w, sizeof d->head.w));
  EXPECT_EQ(d->grids[1].node[0][5], 1234);
  EXPECT_EQ(d->grids[0].node[0][15], 15);
  EXPECT_EQ(d->grids[0].node[0][16], 0);
  EXPECT_EQ(d->grids[2].node[0][0], 0);
  EXPECT_EQ(PStrString(d->files[1].name), "b");
  EXPECT_EQ(PStrString(d->files[2].name), "");

  // In to out and back, selection flags included; the heads stay.
  GridInfo& g = s->grids[0];
  g.node[kGaSelected][3] = 1;
  g.node[kGaHandles][2] = -8;
  g.w[kGiMorph] = 12;
  Copy_GridInfoInOut(&g, &g, 1);
  for (int32_t a = 0; a < kGaOut; ++a)
    EXPECT_EQ(0, std::memcmp(g.node[a], g.node[a + kGaOut], 16 * sizeof(int32_t))) << a;
  EXPECT_EQ(g.node[kGaOut + kGaSelected][3], 1);
  g.node[kGaOut + kGaX][1] = 5;
  Copy_GridInfoInOut(&g, &g, 0);
  EXPECT_EQ(g.node[kGaX][1], 5);
  EXPECT_EQ(g.w[kGiMorph], 12);
}

TEST(GridRecord, ConversionTouchesTheHeadAndTheGridsInUse) {
  auto r = NewGrid(2, 2);
  r->grids[1].node[0][1] = 0x01020304;  // beyond the count: never converted

  // A big-endian host turns every word of the head and of grid 0.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  SwapGridPar(r.get(), 1, 0);
  EXPECT_EQ(r->head.w[0], 1);
  EXPECT_EQ(r->head.w[kGpWidth], static_cast<int32_t>(plat::bytes::swap32(640)));
  EXPECT_EQ(r->grids[0].node[kGaX][1], static_cast<int32_t>(plat::bytes::swap32(50000)));
  EXPECT_EQ(r->grids[1].node[0][1], 0x01020304);
  SwapGridPar(r.get(), 0, 0);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(r->head.w[kGpWidth], 640);
  EXPECT_EQ(r->grids[0].node[kGaX][1], 50000);
  EXPECT_EQ(r->head.w[0], 0);  // the big-endian host's flag

  // A forced reversal on this host reads the count in the other order.
  r = NewGrid(2, 2);
  for (int32_t k = 1; k < 16; ++k) r->head.w[k] = static_cast<int32_t>(plat::bytes::swap32(r->head.w[k]));
  r->head.w[kGpCount] = static_cast<int32_t>(plat::bytes::swap32(2));
  SwapGridPar(r.get(), 1, 1);
  EXPECT_EQ(r->grids[1].node[kGaY][0], static_cast<int32_t>(plat::bytes::swap32(100000)));
  EXPECT_EQ(r->grids[2].node[kGaY][0], 100000);
  EXPECT_EQ(r->head.w[kGpCount], 2);
  EXPECT_EQ(r->head.w[kGpWidth], 640);
  EXPECT_EQ(r->head.w[0], 1);
}

TEST(GridRecord, DeletingGrids) {
  // The only grid: none left, every slot a regular grid of the former size.
  auto r = NewGrid(3, 2);
  r->grids[0].node[kGaX][1] = 1;
  DelGrd_GridPar(r.get(), 0);
  EXPECT_EQ(r->head.w[kGpCount], 0);
  EXPECT_EQ(r->head.w[kGpCurrent], 0);
  EXPECT_EQ(r->grids[0].node[kGaX][1], 33333);
  EXPECT_EQ(r->grids[0].w[kGiColumns], 3);

  // Grid 1 of 3: grid 0 stays, grid 2 moves down, grid 0 becomes current.
  r = NewGrid(3, 2);
  r->head.w[kGpCount] = 3;
  r->head.w[kGpCurrent] = 2;
  r->head.w[7] = 99;
  Init_GridInfo(&r->grids[2], 1, 1, 5, 4, 3);
  for (int i = 0; i < 3; ++i) {
    r->grids[i].node[kGaOut + kGaX][0] = 10 + i;
    r->grids[i].w[kGiMorph] = 20 + i;
    CToPStrCopy(r->files[i].name, std::string(1, static_cast<char>('a' + i)).c_str());
  }
  DelGrd_GridPar(r.get(), 1);
  EXPECT_EQ(r->head.w[kGpCount], 2);
  EXPECT_EQ(r->head.w[kGpCurrent], 0);
  EXPECT_EQ(r->head.w[7], 99);
  EXPECT_EQ(r->head.w[kGpWidth], 640);
  EXPECT_EQ(r->grids[0].node[kGaOut + kGaX][0], 10);
  EXPECT_EQ(r->grids[1].node[kGaOut + kGaX][0], 12);
  EXPECT_EQ(r->grids[1].w[kGiMorph], 22);
  EXPECT_EQ(r->grids[1].w[kGiColumns], 5);
  EXPECT_EQ(PStrString(r->files[0].name), "a");
  EXPECT_EQ(PStrString(r->files[1].name), "c");
  // The free slots are regular grids of the current grid's size.
  EXPECT_EQ(r->grids[7].w[kGiColumns], 5);
  EXPECT_EQ(r->grids[7].node[kGaX][1], 20000);

  // An index outside the grids in use changes nothing.
  auto before = Clone(*r);
  DelGrd_GridPar(r.get(), 2);
  DelGrd_GridPar(r.get(), -1);
  EXPECT_TRUE(Same(*r, *before));
}

// The stored block scripts keep for grid-warp operations: 4096 bytes beyond the fields.
TEST(GridRecord, ScriptBlockLayout) {
  auto r = SampleRecord();
  EXPECT_EQ(GridPar::kStoredSize, 23159808);
  EXPECT_EQ(vmkrec::StoredSize(*r), 23159808u);
  EXPECT_EQ(vmkrec::StoredSize(*r), 64u + 4096u + 16u * 540u + 16u * 4u * kGridInfoWords + 4096u);
  const std::vector<uint8_t> b = vmkrec::StoreRecord(*r);
  ASSERT_EQ(b.size(), 23159808u);
  EXPECT_EQ(loadLE32(&b[0]), 1u);
  EXPECT_EQ(loadLE32(&b[4 * kGpWidth]), 3000u);
  EXPECT_EQ(loadLE32(&b[4 * kGpCount]), 2u);
  EXPECT_EQ(loadLE32(&b[4 * 14]), 7u);
  EXPECT_TRUE(std::all_of(b.begin() + 64, b.begin() + 4160, [](uint8_t v) { return v == 0; }));
  EXPECT_EQ(b[4160 + 6], 9);  // the first reference's name, as it stands
  EXPECT_EQ(b[4160 + 7], 'f');
  EXPECT_EQ(b[4160 + 538], 0);
  EXPECT_EQ(b[4160 + 540 + 262], 14);  // the second reference's path
  const size_t g0 = 12800, g1 = g0 + 4 * kGridInfoWords, g2 = g1 + 4 * kGridInfoWords;
  EXPECT_EQ(loadLE32(&b[g0]), 1u);
  EXPECT_EQ(loadLE32(&b[g0 + 4 * kGiColumns]), 4u);
  EXPECT_EQ(loadLE32(&b[g0 + 4 * (kGridHeadWords + kGaOut * kGridNodes + 5)]), static_cast<uint32_t>(-1234));
  EXPECT_EQ(loadLE32(&b[g0 + 4 * (kGridHeadWords + kGridArrays * kGridNodes + 1 + 2 * 28 + 7)]), 9u);
  EXPECT_EQ(loadLE32(&b[g1 + 4 * kGiMorph]), 40u);
  EXPECT_TRUE(std::all_of(b.begin() + g2 - 4096, b.begin() + g2, [](uint8_t v) { return v == 0; }));
  EXPECT_TRUE(std::all_of(b.begin() + g2, b.end(), [](uint8_t v) { return v == 0; }));

  auto back = NewGrid();
  ASSERT_TRUE(vmkrec::LoadRecord(b.data(), b.size(), *back));
  auto expect = NewGrid();
  Copy_GridPar(r.get(), expect.get());
  EXPECT_TRUE(Same(*back, *expect));

  // The same block from a big-endian writer: every number turned, each word 0 zero.
  std::vector<uint8_t> big = b;
  auto turn = [&big](size_t from, size_t to) {
    for (size_t i = from; i < to; i += 4) std::reverse(big.begin() + i, big.begin() + i + 4);
  };
  turn(0, 64);
  turn(g0, g0 + 4 * (kGridInfoWords - kGridReservedWords));
  turn(g1, g1 + 4 * (kGridInfoWords - kGridReservedWords));
  std::fill(big.begin(), big.begin() + 4, 0);
  std::fill(big.begin() + g0, big.begin() + g0 + 4, 0);
  std::fill(big.begin() + g1, big.begin() + g1 + 4, 0);
  auto fromBig = NewGrid();
  ASSERT_TRUE(vmkrec::LoadRecord(big.data(), big.size(), *fromBig));
  EXPECT_TRUE(Same(*fromBig, *expect));

  // A grid's own word 0 decides nothing: the record's word says little-endian for all.
  std::vector<uint8_t> innerZero = b;
  std::fill(innerZero.begin() + g1, innerZero.begin() + g1 + 4, 0);
  auto fromInner = NewGrid();
  ASSERT_TRUE(vmkrec::LoadRecord(innerZero.data(), innerZero.size(), *fromInner));
  EXPECT_TRUE(Same(*fromInner, *expect));

  // More grids than slots, or a grid of more than 127 cells, is refused.
  std::vector<uint8_t> bad = b;
  bad[4 * kGpCount] = 17;
  auto refused = NewGrid();
  EXPECT_FALSE(vmkrec::LoadRecord(bad.data(), bad.size(), *refused));
  bad = b;
  bad[g1 + 4 * kGiRows] = 128;
  EXPECT_FALSE(vmkrec::LoadRecord(bad.data(), bad.size(), *refused));
}

class GridFile : public vmktest::PresetFileTest {
 protected:
  static constexpr int32_t kW = 8, kH = 6;
  GridFile() {
    for (int32_t y = 2; y < 4; ++y)
      for (int32_t x = 3; x < 6; ++x) plane_[y * kW + x] = static_cast<uint8_t>(200 + x);
  }
  std::string Save(const GridPar& r, const std::string& name) {
    const std::string path = dir_.file(name);
    EXPECT_EQ(Do_AGrid_file(3, vmktest::SpecForPath(path), const_cast<GridPar*>(&r), 1, kW, kH,
                            plane_),
              0);
    return path;
  }
  uint8_t plane_[kW * kH] = {};
};

TEST_F(GridFile, RoundTripKeepsThePictureSize) {
  auto r = SampleRecord();
  const std::string path = Save(*r, "g.hxgr");
  const std::vector<uint8_t> b = vmktest::ReadBytes(path);

  // Layout: head, reserved, two references, two coded grids, the plane, its box.
  ASSERT_GT(b.size(), 4160u + 2 * 538u);
  EXPECT_EQ(loadLE32(&b[0]), 1u);
  EXPECT_EQ(loadLE32(&b[4]), 3u);
  EXPECT_EQ(loadLE32(&b[16]), 2u);
  EXPECT_TRUE(std::all_of(b.begin() + 64, b.begin() + 4160, [](uint8_t v) { return v == 0; }));
  EXPECT_EQ(b[4160 + 6], 9);
  size_t at = 4160 + 2 * 538;
  for (int i = 0; i < 2; ++i) {
    const uint32_t length = loadLE32(&b[at]);
    EXPECT_EQ(length % 2, 0u);
    EXPECT_EQ(loadLE32(&b[at + 8]), 1u) << "word 0 of grid " << i;
    at += 4 + 4 * length;
  }
  EXPECT_EQ(loadLE32(&b[at]), static_cast<uint32_t>(kW));
  EXPECT_EQ(loadLE32(&b[at + 4]), static_cast<uint32_t>(kH));
  const uint32_t m = loadLE32(&b[at + 8]);
  at += 12 + 4 * m;
  ASSERT_EQ(b.size(), at + 16);
  // The selection switch is set: the plane's box with one sample of margin.
  EXPECT_EQ(loadLE32(&b[at]), 2u);
  EXPECT_EQ(loadLE32(&b[at + 4]), 1u);
  EXPECT_EQ(loadLE32(&b[at + 8]), 6u);
  EXPECT_EQ(loadLE32(&b[at + 12]), 4u);

  auto loaded = NewGrid(9, 9);
  uint8_t plane[kW * kH];
  std::fill(plane, plane + kW * kH, 1);
  ASSERT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(path), loaded.get(), 1, kW, kH, plane), 0);
  EXPECT_EQ(0, std::memcmp(plane, plane_, sizeof plane));
  auto expect = NewGrid(9, 9);
  Copy_GridPar(r.get(), expect.get());
  expect->head.w[kGpWidth] = 640;
  expect->head.w[kGpHeight] = 480;
  EXPECT_TRUE(Same(*loaded, *expect));

  // Saved again from what was read, over the same picture: the same bytes.
  loaded->head.w[kGpWidth] = 3000;
  loaded->head.w[kGpHeight] = 2000;
  EXPECT_EQ(vmktest::ReadBytes(Save(*loaded, "again.hxgr")), b);

  // Without the switch the box is the whole plane.
  r->head.w[kGpSelection] = 0;
  const std::vector<uint8_t> plain = vmktest::ReadBytes(Save(*r, "plain.hxgr"));
  const size_t box = plain.size() - 16;
  EXPECT_EQ(loadLE32(&plain[box]), 0u);
  EXPECT_EQ(loadLE32(&plain[box + 4]), 0u);
  EXPECT_EQ(loadLE32(&plain[box + 8]), static_cast<uint32_t>(kW));
  EXPECT_EQ(loadLE32(&plain[box + 12]), static_cast<uint32_t>(kH));
}

TEST_F(GridFile, SelectionIsResampledOrIgnored) {
  auto r = SampleRecord();
  const std::string path = Save(*r, "g.hxgr");
  auto loaded = NewGrid();
  std::vector<uint8_t> twice(2 * kW * 2 * kH, 1);
  ASSERT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(path), loaded.get(), 1, 2 * kW, 2 * kH,
                          twice.data()),
            0);
  for (int32_t y = 0; y < 2 * kH; ++y)
    for (int32_t x = 0; x < 2 * kW; ++x)
      ASSERT_EQ(twice[y * 2 * kW + x], plane_[(y / 2) * kW + x / 2]) << x << "," << y;

  uint8_t untouched[kW * kH];
  std::fill(untouched, untouched + kW * kH, 7);
  ASSERT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(path), loaded.get(), 0, kW, kH, untouched), 0);
  EXPECT_TRUE(std::all_of(untouched, untouched + kW * kH, [](uint8_t v) { return v == 7; }));

  // The selection section is not even read without the flag: a file cut inside it loads.
  std::vector<uint8_t> b = vmktest::ReadBytes(path);
  b.resize(b.size() - 20);
  vmktest::WriteBytes(dir_.file("cut.hxgr"), b);
  EXPECT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(dir_.file("cut.hxgr")), loaded.get(), 0, kW, kH,
                          untouched),
            0);
  EXPECT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(dir_.file("cut.hxgr")), loaded.get(), 1, kW, kH,
                          untouched),
            -1);
}

TEST_F(GridFile, BigEndianTwinLoadsTheSame) {
  auto r = SampleRecord();
  const std::string path = Save(*r, "g.hxgr");
  std::vector<uint8_t> b = vmktest::ReadBytes(path);
  // Every number turned: the head, then everything after the two references (their
  // creator and type are 0 here, so they read the same in both orders).
  for (size_t i = 0; i < 64; i += 4) std::reverse(b.begin() + i, b.begin() + i + 4);
  for (size_t i = 4160 + 2 * 538; i < b.size(); i += 4) std::reverse(b.begin() + i, b.begin() + i + 4);
  std::fill(b.begin(), b.begin() + 4, 0);
  vmktest::WriteBytes(dir_.file("big.hxgr"), b);

  auto little = NewGrid();
  auto big = NewGrid();
  uint8_t p1[kW * kH] = {}, p2[kW * kH] = {};
  ASSERT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(path), little.get(), 1, kW, kH, p1), 0);
  ASSERT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(dir_.file("big.hxgr")), big.get(), 1, kW, kH, p2), 0);
  EXPECT_TRUE(Same(*little, *big));
  EXPECT_EQ(0, std::memcmp(p1, p2, sizeof p1));
  EXPECT_EQ(big->grids[0].node[kGaOut + kGaX][5], -1234);
}

TEST_F(GridFile, DamagedFilesLeaveRecordAndPlane) {
  auto r = SampleRecord();
  const std::string path = Save(*r, "g.hxgr");
  const std::vector<uint8_t> good = vmktest::ReadBytes(path);
  const size_t firstGrid = 4160 + 2 * 538;

  auto target = NewGrid(5, 5);
  target->grids[0].node[kGaX][0] = -77;
  auto before = Clone(*target);
  uint8_t plane[kW * kH];
  std::fill(plane, plane + kW * kH, 3);

  auto refused = [&](std::vector<uint8_t> bytes, const char* what) {
    const std::string bad = dir_.file("bad.hxgr");
    vmktest::WriteBytes(bad, bytes);
    EXPECT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(bad), target.get(), 1, kW, kH, plane), -1)
        << what;
    EXPECT_TRUE(Same(*target, *before)) << what;
    EXPECT_TRUE(std::all_of(plane, plane + kW * kH, [](uint8_t v) { return v == 3; })) << what;
  };

  std::vector<uint8_t> b = good;
  b[16] = 17;
  refused(b, "seventeen grids");
  b = good;
  b[16] = 0xFF;
  b[19] = 0xFF;
  refused(b, "a negative count");
  b = good;
  plat::bytes::storeLE32(&b[firstGrid + 4], 400000);  // the first run outgrows the grid
  refused(b, "a stream longer than the grid");
  b = good;
  plat::bytes::storeLE32(&b[firstGrid], 0x00100000);
  refused(b, "a stream longer than the file");
  b = good;
  b.resize(firstGrid + 4);
  refused(b, "a file cut in the grids");
  b = std::vector<uint8_t>(good.begin(), good.begin() + 100);
  refused(b, "a file shorter than its head");

  // Runs of the selection beyond W x H.
  size_t at = firstGrid;
  for (int i = 0; i < 2; ++i) at += 4 + 4 * loadLE32(&good[at]);
  b = good;
  plat::bytes::storeLE32(&b[at + 12], kW * kH + 1);
  refused(b, "selection runs beyond the plane");
  // A stored plane of 40000 x 40000 in one run: checked and sampled, never unpacked.
  b = std::vector<uint8_t>(good.begin(), good.begin() + at);
  for (uint32_t v : {40000u, 40000u, 2u, 1600000000u, 5u, 0u, 0u, 40000u, 40000u}) {
    b.resize(b.size() + 4);
    plat::bytes::storeLE32(&b[b.size() - 4], v);
  }
  vmktest::WriteBytes(dir_.file("vast.hxgr"), b);
  auto vast = Clone(*before);
  EXPECT_EQ(Do_AGrid_file(2, vmktest::SpecForPath(dir_.file("vast.hxgr")), vast.get(), 1, kW, kH,
                          plane),
            0);
  EXPECT_TRUE(std::all_of(plane, plane + kW * kH, [](uint8_t v) { return v == 5; }));
  std::fill(plane, plane + kW * kH, 3);

  // A grid of more than 127 cells across is refused too.
  auto wide = SampleRecord();
  wide->grids[1].w[kGiColumns] = 200;
  target = Clone(*before);
  refused(vmktest::ReadBytes(Save(*wide, "wide.hxgr")), "200 columns");
}

TEST_F(GridFile, WriteFailuresAndOtherModes) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  auto r = SampleRecord();
  const std::string path = Save(*r, "g.hxgr");
  const std::vector<uint8_t> good = vmktest::ReadBytes(path);
  r->head.w[kGpCount] = 17;
  uint8_t plane[kW * kH] = {};
  EXPECT_EQ(Do_AGrid_file(3, vmktest::SpecForPath(path), r.get(), 1, kW, kH, plane), -1);
  EXPECT_EQ(vmktest::ReadBytes(path), good);
  EXPECT_EQ(Do_AGrid_file(4, vmktest::SpecForPath(path), r.get(), 1, kW, kH, plane), 0);
  ui.AnswerSaveFile(std::nullopt);
  EXPECT_EQ(Do_AGrid_file(1, FSSpec{}, r.get(), 1, kW, kH, plane), -1);

  // The open dialog asks for grids with the family's prompt.
  ui.AnswerOpenFile(path);
  auto loaded = NewGrid();
  ASSERT_EQ(Do_AGrid_file(0, FSSpec{}, loaded.get(), 0, kW, kH, plane), 0);
  EXPECT_EQ(ui.openRequests.back().prompt, "Load a New Grid...");
  EXPECT_EQ(ui.openRequests.back().types, std::vector<OSType>{FourCC("hXgr")});
  EXPECT_EQ(loaded->head.w[kGpCount], 2);
}

}  // namespace
