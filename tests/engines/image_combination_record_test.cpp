// The image-combination record: defaults, list operations and its preset file.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engines/patterns/image_combination_record.h"
#include "record_file_helpers.h"

namespace {

using vmktest::LittleWord;

// A record with `count` entries whose blur radius and image name tell them apart.
std::unique_ptr<CombImaPar> Listed(int count) {
  auto r = std::make_unique<CombImaPar>();
  Init_CombImaPar(r.get(), 1);
  for (int i = 0; i < count; ++i) {
    fichier f;
    SetPStr(f.name, "img" + std::to_string(i));
    AddCombIma(r.get(), static_cast<int16_t>(i), &f);
    r->infos[i].blur = i;
    SetPStr(r->textures[i].name, "tex" + std::to_string(i));
  }
  return r;
}

std::vector<int> Order(const CombImaPar& r) {
  std::vector<int> o;
  for (int i = 0; i < r.head.count; ++i) {
    EXPECT_EQ(PStrString(r.images[i].name), "img" + std::to_string(r.infos[i].blur));
    EXPECT_EQ(PStrString(r.textures[i].name), "tex" + std::to_string(r.infos[i].blur));
    o.push_back(r.infos[i].blur);
  }
  return o;
}

class CombImaList : public vmktest::SessionTest {};

TEST_F(CombImaList, DefaultsFollowTheSessionPhoto) {
  gPer->previewWidth = 640;
  gPer->previewHeight = 480;
  auto r = std::make_unique<CombImaPar>();
  SetPStr(r->images[5].name, "kept.tif");
  Init_CombImaPar(r.get(), 0);
  EXPECT_EQ(r->head.byteOrder, 1);
  EXPECT_EQ(r->head.version, 1);
  EXPECT_EQ(r->head.imageWidth, 640);
  EXPECT_EQ(r->head.imageHeight, 480);
  EXPECT_EQ(r->head.count, 0);
  EXPECT_EQ(PStrString(r->images[5].name), "kept.tif");
  const CombImaInfo& e = r->infos[127];
  EXPECT_EQ(e.active, 1);
  EXPECT_EQ(e.opacity, 100);
  EXPECT_EQ(e.cornerX[1], 100);
  EXPECT_EQ(e.cornerX[3], 0);
  EXPECT_EQ(e.cornerY[2], 100);
  EXPECT_EQ(e.ramp.colour[0][17], 255);  // preset 5 in white
  EXPECT_EQ(e.ramp.opacity[127], 255);
  EXPECT_EQ(e.ramp.opacity[255], 0);
  Init_CombImaPar(r.get(), 1);
  EXPECT_EQ(r->images[5].name[0], 0);
}

TEST_F(CombImaList, AddMoveAndDeleteAtTheirBounds) {
  auto r = Listed(3);
  EXPECT_EQ(Order(*r), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(r->head.current, 2);

  // Adding at 0 shifts every entry up; the new one has fresh settings and the given image.
  r->infos[0].opacity = 40;
  fichier f;
  SetPStr(f.name, "new");
  AddCombIma(r.get(), 0, &f);
  EXPECT_EQ(r->head.count, 4);
  EXPECT_EQ(r->head.current, 0);
  EXPECT_EQ(PStrString(r->images[0].name), "new");
  EXPECT_EQ(r->infos[0].opacity, 100);
  EXPECT_EQ(r->infos[0].blur, 0);
  EXPECT_EQ(PStrString(r->textures[0].name), "tex0");  // the slot's texture stays
  EXPECT_EQ(r->infos[1].opacity, 40);
  EXPECT_EQ(PStrString(r->images[3].name), "img2");

  // A negative index is 0; an index past the end appends, with no image when none is given.
  r = Listed(3);
  AddCombIma(r.get(), 50, nullptr);
  EXPECT_EQ(r->head.count, 4);
  EXPECT_EQ(r->head.current, 3);
  EXPECT_EQ(r->images[3].name[0], 0);
  AddCombIma(r.get(), -4, &f);
  EXPECT_EQ(r->head.current, 0);
  EXPECT_EQ(PStrString(r->images[0].name), "new");

  // A full list takes nothing.
  r = Listed(127);
  r->head.current = 9;
  const auto full = std::make_unique<CombImaPar>(*r);
  AddCombIma(r.get(), 0, &f);
  AddCombIma(r.get(), 127, &f);
  EXPECT_EQ(r->head.count, 127);
  EXPECT_EQ(r->head.current, 9);
  EXPECT_EQ(PStrString(r->images[0].name), "img0");
  EXPECT_EQ(PStrString(r->images[127].name), PStrString(full->images[127].name));

  // Moves.
  r = Listed(5);
  MovCombIma(r.get(), 3, 0);
  EXPECT_EQ(Order(*r), (std::vector<int>{0, 3, 1, 2, 4}));
  r = Listed(5);
  MovCombIma(r.get(), 1, 3);
  EXPECT_EQ(Order(*r), (std::vector<int>{0, 2, 3, 1, 4}));
  r->head.current = 2;
  for (auto [s, t] : {std::pair{2, 1}, std::pair{1, 5}, std::pair{5, 1}, std::pair{2, 2}})
    MovCombIma(r.get(), static_cast<int16_t>(s), static_cast<int16_t>(t));
  EXPECT_EQ(Order(*r), (std::vector<int>{0, 2, 3, 1, 4}));
  MovCombIma(r.get(), 4, -1);  // after entry 0
  EXPECT_EQ(Order(*r), (std::vector<int>{0, 4, 2, 3, 1}));
  EXPECT_EQ(r->head.current, 2);
  EXPECT_EQ(r->head.count, 5);

  // Deletes.
  r = Listed(3);
  r->head.current = 0;
  DelCombIma(r.get(), 2);
  EXPECT_EQ(r->head.count, 2);
  EXPECT_EQ(r->head.current, 1);
  r = Listed(3);
  r->head.current = 1;
  DelCombIma(r.get(), 0);
  EXPECT_EQ(Order(*r), (std::vector<int>{1, 2}));
  EXPECT_EQ(r->head.current, 1);
  r = Listed(4);  // current 3, the last
  DelCombIma(r.get(), -2);
  EXPECT_EQ(Order(*r), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(r->head.current, 2);  // steps back onto the new last entry
  // An index at or past the count takes nothing away.
  DelCombIma(r.get(), 3);
  DelCombIma(r.get(), 40);
  EXPECT_EQ(Order(*r), (std::vector<int>{1, 2, 3}));
  r = Listed(1);
  DelCombIma(r.get(), 1);
  EXPECT_EQ(r->head.count, 1);
  DelCombIma(r.get(), 0);
  EXPECT_EQ(r->head.count, 0);
  DelCombIma(r.get(), 0);
  EXPECT_EQ(r->head.count, 0);
}

class CombImaFile : public vmktest::RecordFileTest {};

TEST_F(CombImaFile, LayoutRoundTripAndDamagedCounts) {
  auto r = Listed(4);
  r->head.imageWidth = 800;
  SetPStr(r->images[3].path, "Vol:Pictures:");
  r->infos[3].emboss = -12;
  r->infos[3].cornerY[3] = 77;
  r->infos[127].carried68 = 5;
  r->infos[2].ramp.values[2] = 0x0304;
  EXPECT_EQ(vmkrec::StoredSize(*r), 909336u);

  const auto b = vmktest::SaveByDialog(ui_, Do_ACombIma_file, r.get(), dir_.file("c"), FourCC("hCim"));
  ASSERT_EQ(b.size(), 909336u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 8), 0);  // the image size is not copied for a save
  EXPECT_EQ(LittleWord(b, 16), 4);
  EXPECT_EQ(LittleWord(b, 20), 3);
  EXPECT_TRUE(vmktest::AllZero(b, 24, 4096));
  const size_t image3 = 4120 + 538 * 3, texture2 = 72984 + 538 * 2;
  EXPECT_EQ(0, std::memcmp(&b[image3 + 6], "img3", 5));  // zero-terminated
  EXPECT_EQ(0, std::memcmp(&b[image3 + 262], "Vol:Pictures:", 14));
  EXPECT_EQ(0, std::memcmp(&b[texture2 + 6], "tex2", 5));
  const size_t info3 = 141848 + 5996 * 3;
  EXPECT_EQ(LittleWord(b, info3), 1);
  EXPECT_EQ(LittleWord(b, info3 + 20), 3);  // blur tells the entry
  EXPECT_EQ(LittleWord(b, info3 + 24), -12);
  EXPECT_EQ(LittleWord(b, info3 + 100), 77);
  EXPECT_EQ(LittleWord(b, 141848 + 5996 * 127 + 68), 5);
  EXPECT_EQ(b[141848 + 5996 * 2 + 104 + 6], 0x04);
  EXPECT_TRUE(vmktest::AllZero(b, info3 + 1898, 4098));

  gPer->previewWidth = 333;
  auto back = std::make_unique<CombImaPar>();
  Init_CombImaPar(back.get(), 1);
  ui_.AnswerOpenFile(dir_.file("c.hcim"));
  ASSERT_EQ(Do_ACombIma_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Combi...");
  EXPECT_EQ(back->head.imageWidth, 333);  // the record keeps its own image size
  EXPECT_EQ(Order(*back), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(PStrString(back->images[3].path), "Vol:Pictures:");
  EXPECT_EQ(back->infos[3].cornerY[3], 77);
  EXPECT_EQ(back->infos[2].ramp.values[2], 0x0304);
  EXPECT_EQ(back->infos[127].carried68, 5);

  const vmkrec::PresetFormat format{FourCC("hCim"), "", vmkrec::PresetLayout::RecordOnly, 0, false};
  const std::string other = dir_.file("other.hcim");
  vmktest::WriteBytes(other, vmktest::BigEndianImage(format, *r));
  auto fromBig = std::make_unique<CombImaPar>();
  ASSERT_EQ(Do_ACombIma_file(2, vmktest::SpecForPath(other), fromBig.get()), 0);
  EXPECT_EQ(Order(*fromBig), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(fromBig->infos[3].emboss, -12);
  EXPECT_EQ(fromBig->infos[2].ramp.values[2], 0x0304);

  // Counts from a damaged file are brought into the list.
  std::vector<uint8_t> bad = b;
  bad[16] = 0xF4;  // 500
  bad[17] = 0x01;
  bad[20] = 0xC8;  // 200
  vmktest::WriteBytes(other, bad);
  ASSERT_EQ(Do_ACombIma_file(2, vmktest::SpecForPath(other), back.get()), 0);
  EXPECT_EQ(back->head.count, 127);
  EXPECT_EQ(back->head.current, 126);
  bad[19] = 0x80;  // a negative count
  vmktest::WriteBytes(other, bad);
  ASSERT_EQ(Do_ACombIma_file(2, vmktest::SpecForPath(other), back.get()), 0);
  EXPECT_EQ(back->head.count, 0);
  EXPECT_EQ(back->head.current, 0);

  // An unterminated name stops at its field; a truncated file leaves the record.
  bad = b;
  std::memset(&bad[image3 + 6], 'n', 256);
  vmktest::WriteBytes(other, bad);
  ASSERT_EQ(Do_ACombIma_file(2, vmktest::SpecForPath(other), back.get()), 0);
  EXPECT_EQ(back->images[3].name[0], 255);
  EXPECT_EQ(PStrString(back->images[3].path), "Vol:Pictures:");
  vmktest::WriteBytes(other, std::vector<uint8_t>(b.begin(), b.end() - 100));
  back->infos[0].blur = 99;
  EXPECT_EQ(Do_ACombIma_file(2, vmktest::SpecForPath(other), back.get()), -1);
  EXPECT_EQ(back->infos[0].blur, 99);
  EXPECT_EQ(back->head.count, 4);
  EXPECT_EQ(Do_ACombIma_file(3, vmktest::SpecForPath(other), back.get()), 0);
}

}  // namespace
