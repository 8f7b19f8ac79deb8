// The border record: defaults, layer deletion and the sectioned preset file.
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "engines/patterns/border_record.h"
#include "record_file_helpers.h"

namespace {

using vmktest::LittleWord;

class BorderTest : public vmktest::PresetFileTest {
 protected:
  void TearDown() override { plat::bytes::setHostOrderForTesting(std::nullopt); }

  std::unique_ptr<BordPar> Fresh(int16_t kind = 1) {
    auto r = std::make_unique<BordPar>();
    Init_BordPar(r.get(), 640, 480, 1, 1, 1, kind);
    return r;
  }

  // Layers 0..n-1 told apart by their side-0 cell count and tile 7's angle.
  std::unique_ptr<BordPar> Layered(int n) {
    auto r = Fresh();
    r->head.layerCount = n;
    for (int i = 0; i < n; ++i) {
      r->layers[i].info.cells[0] = 10 + i;
      r->layers[i].tiles[7].angle = 100 + i;
    }
    return r;
  }

  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices scoped_{&ui_};
};

TEST_F(BorderTest, DefaultsOfLayersTilesRampsAndFiles) {
  const auto images = dir_.path() / "Maker" / "Vellmarkstead" / "Images";
  std::filesystem::create_directories(images);
  ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, (dir_.path() / "Maker").string()));
  auto r = Fresh(0);
  EXPECT_EQ(r->byteOrder, 1);
  EXPECT_EQ(r->head.width, 640);
  EXPECT_EQ(r->head.layerCount, 1);
  EXPECT_EQ(r->head.more[1], 100);
  const BordLay& l = r->layers[127];
  EXPECT_EQ(l.info.kind, 0);
  EXPECT_EQ(l.info.shown, 1);
  EXPECT_EQ(l.info.cells[3], 4);
  EXPECT_EQ(l.info.thickness[2], 20);
  EXPECT_EQ(l.info.cornerWidth[1], 20);
  EXPECT_EQ(l.info.inset[0], 0);
  const int32_t turned[4] = {180, 270, 0, 90};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(l.tiles[c].angle, turned[c]);
    EXPECT_EQ(l.tiles[c].mirror, 2);
  }
  const BordTile& t = l.tiles[259];
  EXPECT_EQ(t.enabled, 1);
  EXPECT_EQ(t.opacity, 100);
  EXPECT_EQ(t.maskKind, 1);
  EXPECT_EQ(t.scale, 100);
  EXPECT_EQ(t.mirror, 0);
  EXPECT_EQ(t.quadX[1], 1000);
  EXPECT_EQ(t.quadY[2], 1000);
  EXPECT_EQ(t.quadY[1], 0);
  for (int k = 0; k < kBordFiles; ++k) {
    EXPECT_EQ(FicToPosix(l.files[k]), (images / "mirvder_rose.tif").string()) << k;
    EXPECT_EQ(l.files[k].type, FourCC("TIFF"));
  }
  EXPECT_EQ(l.ramps[0].colour[0][3], 3);  // preset 0: identity colours
  EXPECT_EQ(l.ramps[0].opacity[3], 255);
  EXPECT_EQ(l.ramps[1].colour[0][40], 255);
  EXPECT_EQ(l.ramps[1].colour[1][40], 0);
  EXPECT_EQ(l.ramps[7].colour[2][9], 128);
  EXPECT_EQ(l.ramps[11].colour[0][0], 128);
  EXPECT_EQ(l.ramps[11].colour[1][0], 128);
  EXPECT_EQ(l.ramps[11].colour[2][0], 0);

  // Kind 1: diagonal corners, no mirror; ramps 12-15 and the quads stay when not asked for.
  auto layer = std::make_unique<BordLay>(l);
  layer->ramps[13].opacity[0] = 7;
  layer->tiles[9].quadX[1] = 5;
  Init_BordLay(layer.get(), 0, 0, 1, 1);
  const int32_t diagonal[4] = {45, 135, 225, 315};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(layer->tiles[c].angle, diagonal[c]);
    EXPECT_EQ(layer->tiles[c].mirror, 0);
  }
  EXPECT_EQ(layer->info.kind, 1);
  EXPECT_EQ(layer->ramps[13].opacity[0], 7);
  EXPECT_EQ(layer->tiles[9].quadX[1], 5);
  EXPECT_EQ(FicToPosix(layer->files[2]), (images / "mirvder_rose.tif").string());
}

TEST_F(BorderTest, DeletingLayers) {
  auto r = Layered(3);
  r->head.current = 2;
  r->layers[1].files[4].type = FourCC("PNGf");
  DelBor_BordPar(r.get(), 0);
  EXPECT_EQ(r->head.layerCount, 2);
  EXPECT_EQ(r->head.current, 0);
  EXPECT_EQ(r->head.width, 640);
  EXPECT_EQ(r->layers[0].info.cells[0], 11);
  EXPECT_EQ(r->layers[0].files[4].type, FourCC("PNGf"));
  EXPECT_EQ(r->layers[1].info.cells[0], 12);
  EXPECT_EQ(r->layers[2].info.cells[0], 4);  // the freed slot has the defaults
  EXPECT_EQ(r->layers[2].tiles[7].angle, 0);

  r = Layered(3);
  DelBor_BordPar(r.get(), 1);
  EXPECT_EQ(r->layers[0].tiles[7].angle, 100);
  EXPECT_EQ(r->layers[1].tiles[7].angle, 102);

  // The only layer: nothing left to render. Past the count: nothing happens.
  r = Layered(1);
  DelBor_BordPar(r.get(), 0);
  EXPECT_EQ(r->head.layerCount, 0);
  r = Layered(2);
  r->head.current = 1;
  DelBor_BordPar(r.get(), 2);
  DelBor_BordPar(r.get(), -1);
  EXPECT_EQ(r->head.layerCount, 2);
  EXPECT_EQ(r->head.current, 1);
  EXPECT_EQ(r->layers[1].tiles[7].angle, 101);
}

TEST_F(BorderTest, FileLayoutAndRoundTrip) {
  auto r = Layered(3);
  EXPECT_EQ(vmkrec::StoredSize(*r), 400464u);
  r->second = 6;
  r->head.more[2] = -1;
  r->layers[2].info.last = 9;
  SetPStr(r->layers[2].files[15].name, "edge.png");
  r->layers[2].ramps[15].colour[3][1] = 66;
  r->layers[2].ramps[0].values[0] = 0x0506;
  r->layers[2].tiles[259].lightness = -20;
  r->layers[2].tiles[259].quadY[3] = 1000;
  r->layers[0].tiles[0].word6 = 3;

  const auto b = vmktest::SaveByDialog(ui_, Do_ABordPar_file, r.get(), dir_.file("b"), FourCC("hBor"));
  ASSERT_EQ(b.size(), 400464u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 4), 6);
  EXPECT_EQ(LittleWord(b, 8), 1);
  EXPECT_EQ(LittleWord(b, 16), 640);
  EXPECT_EQ(LittleWord(b, 24), 3);
  EXPECT_EQ(LittleWord(b, 40), -1);
  EXPECT_TRUE(vmktest::AllZero(b, 44, 1024));
  const size_t layer2 = 1068 + 133132 * 2;
  EXPECT_EQ(LittleWord(b, layer2 + 40), 12);  // side 0's cells
  EXPECT_EQ(LittleWord(b, layer2 + 152), 9);
  EXPECT_TRUE(vmktest::AllZero(b, layer2 + 156, 1024));
  EXPECT_EQ(b[layer2 + 1180 + 538 * 15 + 6], 8);  // length-prefixed, as it is
  EXPECT_EQ(0, std::memcmp(&b[layer2 + 1180 + 538 * 15 + 7], "edge.png", 8));
  EXPECT_EQ(b[layer2 + 9788 + 2], 0x06);
  EXPECT_EQ(b[layer2 + 9788 + 1794 * 15 + 1538 + 1], 66);
  const size_t tile259 = layer2 + 38492 + 364 * 259;
  EXPECT_EQ(LittleWord(b, tile259 + 64), -20);
  EXPECT_EQ(LittleWord(b, tile259 + 104), 1000);
  EXPECT_TRUE(vmktest::AllZero(b, tile259 + 108, 256));
  EXPECT_EQ(LittleWord(b, 1068 + 38492 + 24), 3);  // layer 0, tile 0's carried word
  EXPECT_EQ(LittleWord(b, 1068 + 38492 + 32), 45);

  auto back = Fresh();
  back->layers[2].second = 77;
  back->layers[3].info.cells[0] = 33;
  ui_.AnswerOpenFile(dir_.file("b.hbor"));
  ASSERT_EQ(Do_ABordPar_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Border...");
  EXPECT_EQ(back->second, 6);
  EXPECT_EQ(back->head.layerCount, 3);
  EXPECT_EQ(back->head.more[2], -1);
  EXPECT_EQ(back->layers[1].info.cells[0], 11);
  EXPECT_EQ(back->layers[2].info.last, 9);
  EXPECT_EQ(PStrString(back->layers[2].files[15].name), "edge.png");
  EXPECT_EQ(back->layers[2].ramps[15].colour[3][1], 66);
  EXPECT_EQ(back->layers[2].ramps[0].values[0], 0x0506);
  EXPECT_EQ(back->layers[2].tiles[259].lightness, -20);
  EXPECT_EQ(back->layers[0].tiles[0].word6, 3);
  EXPECT_EQ(back->layers[2].second, 77);          // not stored, so kept
  EXPECT_EQ(back->layers[3].info.cells[0], 33);   // beyond the stored layers: kept
  // Mode 3 writes the given file byte for byte the same.
  const std::string given = dir_.file("given.hbor");
  ASSERT_EQ(Do_ABordPar_file(3, vmktest::SpecForPath(given), back.get()), 0);
  EXPECT_EQ(vmktest::ReadBytes(given), b);

  // One layer, and a big-endian file whose layer count is read big-endian.
  r = Layered(1);
  EXPECT_EQ(vmktest::SaveByDialog(ui_, Do_ABordPar_file, r.get(), dir_.file("one"), FourCC("hBor")).size(), 134200u);
  r = Layered(2);
  r->layers[1].tiles[100].hue = -5;
  const vmkrec::PresetFormat format{FourCC("hBor"), "", vmkrec::PresetLayout::RecordOnly, 0, true};
  const std::vector<uint8_t> big = vmktest::BigEndianImage(format, *r);
  ASSERT_EQ(big.size(), 1068u + 2 * 133132u);
  EXPECT_EQ(big[27], 2);
  vmktest::WriteBytes(given, big);
  auto fromBig = Fresh();
  ASSERT_EQ(Do_ABordPar_file(2, vmktest::SpecForPath(given), fromBig.get()), 0);
  EXPECT_EQ(fromBig->byteOrder, 1);
  EXPECT_EQ(fromBig->head.layerCount, 2);
  EXPECT_EQ(fromBig->layers[1].info.cells[0], 11);
  EXPECT_EQ(fromBig->layers[1].tiles[100].hue, -5);
  EXPECT_EQ(fromBig->layers[1].tiles[0].angle, 45);
}

TEST_F(BorderTest, DamagedFilesLeaveTheRecord) {
  auto r = Layered(2);
  r->head.current = 1;
  const auto b = vmktest::SaveByDialog(ui_, Do_ABordPar_file, r.get(), dir_.file("b"), FourCC("hBor"));
  ASSERT_EQ(b.size(), 1068u + 2 * 133132u);
  const std::string path = dir_.file("d.hbor");
  auto keep = Layered(1);
  keep->layers[0].tiles[3].scale = 55;

  // Cut inside the second layer; a count promising more layers than the file holds.
  vmktest::WriteBytes(path, std::vector<uint8_t>(b.begin(), b.end() - 1));
  EXPECT_EQ(Do_ABordPar_file(2, vmktest::SpecForPath(path), keep.get()), -1);
  std::vector<uint8_t> bad = b;
  bad[24] = 3;
  vmktest::WriteBytes(path, bad);
  EXPECT_EQ(Do_ABordPar_file(2, vmktest::SpecForPath(path), keep.get()), -1);
  bad[24] = 0x2C;  // 300, more than the record holds: taken as 128, which the file lacks
  bad[25] = 0x01;
  vmktest::WriteBytes(path, bad);
  EXPECT_EQ(Do_ABordPar_file(2, vmktest::SpecForPath(path), keep.get()), -1);
  EXPECT_EQ(keep->head.layerCount, 1);
  EXPECT_EQ(keep->layers[0].tiles[3].scale, 55);
  EXPECT_EQ(keep->layers[0].info.cells[0], 10);

  // A negative count reads as a border without layers.
  bad = std::vector<uint8_t>(b.begin(), b.begin() + 1068);
  bad[27] = 0xFF;
  vmktest::WriteBytes(path, bad);
  ASSERT_EQ(Do_ABordPar_file(2, vmktest::SpecForPath(path), keep.get()), 0);
  EXPECT_EQ(keep->head.layerCount, 0);
  EXPECT_EQ(keep->head.current, 0);
  EXPECT_EQ(keep->layers[0].tiles[3].scale, 55);
}

TEST_F(BorderTest, FullBorderWithAnOverlargeCountReadsEveryLayer) {
  auto r = Layered(128);
  r->layers[127].tiles[259].hue = 17;
  const auto b = vmktest::SaveByDialog(ui_, Do_ABordPar_file, r.get(), dir_.file("b"), FourCC("hBor"));
  ASSERT_EQ(b.size(), static_cast<size_t>(BordPar::kMaxStoredSize));
  std::vector<uint8_t> bad = b;
  bad[24] = 0x2C;  // 300
  bad[25] = 0x01;
  const std::string path = dir_.file("full.hbor");
  vmktest::WriteBytes(path, bad);
  auto back = Fresh();
  ASSERT_EQ(Do_ABordPar_file(2, vmktest::SpecForPath(path), back.get()), 0);
  EXPECT_EQ(back->head.layerCount, 128);
  EXPECT_EQ(back->layers[127].tiles[259].hue, 17);
  EXPECT_EQ(back->layers[127].info.cells[0], 137);

  // Converted one way and back, every layer, in use or not, comes back.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  back->head.layerCount = 1;
  SwapBordPar(back.get(), 1, 0);
  EXPECT_EQ(back->byteOrder, 1);
  EXPECT_EQ(back->layers[127].tiles[259].hue, 17 << 24);
  SwapBordPar(back.get(), 0, 0);
  EXPECT_EQ(back->byteOrder, 0);
  EXPECT_EQ(back->layers[127].tiles[259].byteOrder, 0);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(back->layers[127].tiles[259].hue, 17);
  EXPECT_EQ(back->head.layerCount, 1);
}

}  // namespace
