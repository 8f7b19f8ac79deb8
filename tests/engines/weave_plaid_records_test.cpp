// Weave and plaid records: pattern copies, palettes and the two preset files.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "engines/patterns/weave_plaid_record.h"
#include "platform/random/random.h"
#include "record_file_helpers.h"

namespace {

using vmktest::LittleWord;

class WeaveFile : public vmktest::RecordFileTest {};

// A pattern whose cell [r][c] tells its place: 10 r + c.
std::unique_ptr<WeaveInfo> Numbered(int16_t columns, int16_t rows) {
  auto w = std::make_unique<WeaveInfo>();
  Init_WeaveInfo(w.get(), columns, rows);
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) w->cells[r][c] = static_cast<uint8_t>(10 * r + c);
  return w;
}

TEST(WeaveRecord, DefaultsAndPatternCopies) {
  auto d = std::make_unique<WeaveInfo>();
  // The default pattern is pinned by the golden table of default records.
  Init_WeaveInfo(d.get(), 8, 6);
  EXPECT_EQ(d->rows, 6);

  // Transpose of a 3 x 5 pattern (3 columns, 5 rows).
  auto s = Numbered(3, 5);
  Copy_WeaveInfo(s.get(), d.get(), 6);
  EXPECT_EQ(d->columns, 5);
  EXPECT_EQ(d->rows, 3);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d->cells[c][r], s->cells[r][c]);

  // Mirrors within the source's size.
  Copy_WeaveInfo(s.get(), d.get(), 4);
  EXPECT_EQ(d->columns, 3);
  EXPECT_EQ(d->cells[2][0], 22);
  EXPECT_EQ(d->cells[2][2], 20);
  EXPECT_EQ(d->cells[100][1], s->cells[100][1]);
  Copy_WeaveInfo(s.get(), d.get(), 5);
  EXPECT_EQ(d->cells[0][1], 41);
  EXPECT_EQ(d->cells[4][1], 1);

  // Cells holding 1 (or 0) take the source pattern repeated.
  Init_WeaveInfo(d.get(), 8, 8);
  Copy_WeaveInfo(s.get(), d.get(), 1);
  EXPECT_EQ(d->cells[6][4], s->cells[1][1]);  // 6 mod 5, 4 mod 3
  EXPECT_EQ(d->cells[6][5], 0);
  EXPECT_EQ(d->columns, 8);
  Init_WeaveInfo(d.get(), 8, 8);
  Copy_WeaveInfo(s.get(), d.get(), 2);
  EXPECT_EQ(d->cells[6][5], s->cells[1][2]);
  EXPECT_EQ(d->cells[6][4], 1);

  // Resize: the destination's old size scales the lookup, then takes the source's size.
  Init_WeaveInfo(d.get(), 6, 10);
  Copy_WeaveInfo(s.get(), d.get(), 3);
  EXPECT_EQ(d->columns, 3);
  EXPECT_EQ(d->rows, 5);
  EXPECT_EQ(d->cells[1][1], s->cells[2][2]);  // [1 x 10 / 5][1 x 6 / 3]
  EXPECT_EQ(d->cells[4][2], s->cells[8][4]);

  // Any other value copies only the head bytes; sizes outside 1..128 change no cell.
  s->version = 1;
  Init_WeaveInfo(d.get(), 8, 8);
  Copy_WeaveInfo(s.get(), d.get(), 9);
  EXPECT_EQ(d->version, 1);
  EXPECT_EQ(d->cells[0][1], 0);
  s->rows = 0;
  Copy_WeaveInfo(s.get(), d.get(), 1);
  s->rows = 300;
  Copy_WeaveInfo(s.get(), d.get(), 3);
  Copy_WeaveInfo(s.get(), d.get(), 5);
  EXPECT_EQ(d->cells[0][0], 1);
  EXPECT_EQ(d->cells[0][1], 0);

  // A pattern mirrored onto itself reads from the pattern as it was.
  auto self = Numbered(4, 4);
  Copy_WeaveInfo(self.get(), self.get(), 4);
  EXPECT_EQ(self->cells[0][0], 3);
  EXPECT_EQ(self->cells[0][3], 0);
}

int32_t gNext = 0;
int32_t Counting() { return gNext++; }

TEST(PlaidRecord, DefaultsAndPalettes) {
  auto p = std::make_unique<PlaidPar>();
  // The defaults are pinned by the golden table of default records.
  Init_PlaidPar(p.get(), 0);

  // Exchanging palette A with B of the same record twice restores both.
  auto q = std::make_unique<PlaidPar>(*p);
  Copy_ColPlaidPar(5, p.get(), p.get());
  EXPECT_EQ(p->paletteA[0][0], 255);
  EXPECT_EQ(p->paletteB[0][0], 0);
  Copy_ColPlaidPar(5, p.get(), p.get());
  EXPECT_EQ(0, std::memcmp(p->paletteA, q->paletteA, sizeof p->paletteA));
  EXPECT_EQ(0, std::memcmp(p->paletteB, q->paletteB, sizeof p->paletteB));
  Copy_ColPlaidPar(3, q.get(), p.get());
  EXPECT_EQ(0, std::memcmp(p->paletteB, q->paletteA, sizeof p->paletteB));
  Copy_ColPlaidPar(4, q.get(), p.get());
  EXPECT_EQ(0, std::memcmp(p->paletteA, q->paletteB, sizeof p->paletteA));

  // Random colours: palette B first, entry by entry red, green, blue; never 255.
  gNext = 250;
  plat::SetRandomFunctions(Counting, nullptr);
  Rand_ColPlaidPar(p.get(), 3);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(p->paletteB[0][0], 250);
  EXPECT_EQ(p->paletteB[2][0], 252);
  EXPECT_EQ(p->paletteB[1][1], 254);
  EXPECT_EQ(p->paletteB[2][1], 0);  // 255 wraps to 0
  EXPECT_EQ(p->paletteA[0][0], (250 + 48) % 255);
  EXPECT_EQ(p->paletteA[4][0], q->paletteB[4][0]);  // further bytes untouched

  // Lightness 100 whitens palette B only; palette A shifted by nothing stays.
  Init_PlaidPar(p.get(), 0);
  AdjHSV_ColPlaidPar(p.get(), 0, 0, 100, 0, 0, 0);
  for (int i = 0; i < kPlaidColours; ++i) {
    EXPECT_EQ(p->paletteB[0][i], 255) << i;
    EXPECT_EQ(p->paletteA[1][i], q->paletteA[1][i]) << i;
  }
}

TEST_F(WeaveFile, WeaveLayoutAndRoundTrip) {
  auto w = Numbered(5, 7);
  w->word10 = -3;
  const auto b = vmktest::SaveByDialog(ui_, Do_AWeaveInfo_file, w.get(), dir_.file("w"), FourCC("hWea"));
  ASSERT_EQ(b.size(), 17720u);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 2);
  EXPECT_EQ(b[2], 1);  // the value at 2, little-endian
  EXPECT_EQ(b[4], 5);
  EXPECT_EQ(b[6], 7);
  EXPECT_EQ(b[8], 100);
  EXPECT_EQ(b[10], 0);  // not copied for a save, so written as zero
  EXPECT_EQ(b[14 + 128 * 3 + 4], 34);
  EXPECT_TRUE(vmktest::AllZero(b, 16398, 1322));

  auto back = std::make_unique<WeaveInfo>();
  ui_.AnswerOpenFile(dir_.file("w.hwea"));
  ASSERT_EQ(Do_AWeaveInfo_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Weave...");
  EXPECT_EQ(back->rows, 7);
  EXPECT_EQ(0, std::memcmp(back->cells, w->cells, sizeof w->cells));

  const vmkrec::PresetFormat format{FourCC("hWea"), "", vmkrec::PresetLayout::RecordOnly, 0, false};
  const std::string big = dir_.file("big.hwea");
  vmktest::WriteBytes(big, vmktest::BigEndianImage(format, *w));
  auto fromBig = std::make_unique<WeaveInfo>();
  ASSERT_EQ(Do_AWeaveInfo_file(2, vmktest::SpecForPath(big), fromBig.get()), 0);
  EXPECT_EQ(fromBig->byteOrder, 1);
  EXPECT_EQ(fromBig->columns, 5);
  EXPECT_EQ(fromBig->word8, 100);

  vmktest::WriteBytes(big, std::vector<uint8_t>(b.begin(), b.begin() + 16000));
  EXPECT_EQ(Do_AWeaveInfo_file(2, vmktest::SpecForPath(big), fromBig.get()), -1);
  EXPECT_EQ(fromBig->columns, 5);
  EXPECT_EQ(Do_AWeaveInfo_file(3, vmktest::SpecForPath(big), fromBig.get()), 0);
}

TEST_F(WeaveFile, PlaidSectionsRoundTripAndOldFiles) {
  auto p = std::make_unique<PlaidPar>();
  Init_PlaidPar(p.get(), 0);
  EXPECT_EQ(vmkrec::StoredSize(*p), 72830u);
  p->freeMode = 3;
  p->colRepeats = -9;
  SetPStr(p->file1.name, "thread.tif");
  SetPStr(p->file2.path, "Vol:Threads:");
  p->ramp2.values[1] = 0x0102;
  p->shade2 = 55;
  p->paletteB[2][15] = 42;
  std::strcpy(p->formula1, "A4B2C8");
  p->weave1.cells[127][127] = 3;
  p->weave2.columns = 12;
  p->weave2.cells[0][1] = 2;
  p->free1.stripColour[0] = 15;
  p->free2.stripWidth[255] = 1234;

  const auto b = vmktest::SaveByDialog(ui_, Do_APlaidPar_file, p.get(), dir_.file("p"), FourCC("hPld"));
  ASSERT_EQ(b.size(), 72824u);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 3);
  EXPECT_EQ(b[16], 3);                     // freeMode
  EXPECT_EQ(b[28], 0xF7);                  // colRepeats -9, little-endian
  EXPECT_EQ(b[30 + 6], 10);                // file1's name, length-prefixed
  EXPECT_EQ(0, std::memcmp(&b[568 + 262 + 1], "Vol:Threads:", 12));
  EXPECT_EQ(b[2900 + 4], 0x02);            // ramp2 values[1], little-endian
  EXPECT_EQ(LittleWord(b, 4698), 55);
  EXPECT_EQ(b[4694 + 8 + 80 + 32 + 15], 42);  // palette B's blue
  EXPECT_EQ(0, std::memcmp(&b[4694 + 168], "A4B2C8", 7));
  EXPECT_EQ(b[5374 + 14 + 128 * 127 + 127], 3);
  EXPECT_EQ(b[23088 + 4], 12);
  EXPECT_EQ(b[23088 + 14 + 1], 2);
  EXPECT_EQ(LittleWord(b, 40808 + 2068), 15);
  EXPECT_EQ(LittleWord(b, 56816 + 1044 + 4 * 255), 1234);

  auto back = std::make_unique<PlaidPar>();
  Init_PlaidPar(back.get(), 0);
  ASSERT_EQ(Do_APlaidPar_file(2, vmktest::SpecForPath(dir_.file("p.hpld")), back.get()), 0);
  EXPECT_EQ(back->colRepeats, -9);
  EXPECT_EQ(PStrString(back->file1.name), "thread.tif");
  EXPECT_EQ(back->ramp2.values[1], 0x0102);
  EXPECT_STREQ(back->formula1, "A4B2C8");
  EXPECT_EQ(back->weave1.cells[127][127], 3);
  EXPECT_EQ(back->weave2.cells[0][1], 2);
  EXPECT_EQ(back->free2.stripWidth[255], 1234);
  // Mode 3 writes the given file, byte for byte the same.
  const std::string given = dir_.file("given.hpld");
  ASSERT_EQ(Do_APlaidPar_file(3, vmktest::SpecForPath(given), back.get()), 0);
  EXPECT_EQ(vmktest::ReadBytes(given), b);

  // A file from before the second weave, with an unterminated formula.
  std::vector<uint8_t> old = b;
  old[23088 + 1] = 1;
  std::memset(&old[4694 + 168 + 256], 'x', 256);
  vmktest::WriteBytes(given, old);
  ASSERT_EQ(Do_APlaidPar_file(2, vmktest::SpecForPath(given), back.get()), 0);
  EXPECT_EQ(back->weave2.columns, back->weave1.columns);
  EXPECT_EQ(0, std::memcmp(back->weave2.cells, back->weave1.cells, sizeof back->weave1.cells));
  EXPECT_EQ(std::strlen(back->formula2), 255u);

  // Big-endian numbers read the same; a truncated file leaves the record.
  const vmkrec::PresetFormat format{FourCC("hPld"), "", vmkrec::PresetLayout::RecordOnly, 0, true};
  PlaidParFile form;
  Copy_PlaidPar(p.get(), &form.plaid);
  vmktest::WriteBytes(given, vmktest::BigEndianImage(format, form));
  auto fromBig = std::make_unique<PlaidPar>();
  ASSERT_EQ(Do_APlaidPar_file(2, vmktest::SpecForPath(given), fromBig.get()), 0);
  EXPECT_EQ(fromBig->byteOrder, 1);
  EXPECT_EQ(fromBig->colRepeats, -9);
  EXPECT_EQ(fromBig->ramp2.values[1], 0x0102);
  EXPECT_EQ(fromBig->free2.stripWidth[255], 1234);
  EXPECT_EQ(fromBig->weave2.columns, 12);
  vmktest::WriteBytes(given, std::vector<uint8_t>(b.begin(), b.end() - 4));
  EXPECT_EQ(Do_APlaidPar_file(2, vmktest::SpecForPath(given), fromBig.get()), -1);
  EXPECT_EQ(fromBig->free2.stripWidth[255], 1234);
}

TEST(PlaidRecord, ConversionTurnsEveryNumberAndItsFlags) {
  auto p = std::make_unique<PlaidPar>();
  Init_PlaidPar(p.get(), 0);
  p->rowAngle = 0x0102;
  SwapPlaidPar(p.get(), 1, 1);
  EXPECT_EQ(p->rowAngle, 0x0201);
  EXPECT_EQ(p->weave1.columns, 0x0800);
  EXPECT_EQ(p->free2.stripWidth[3], 0x0A000000);
  EXPECT_EQ(p->shade1, 0x46000000);
  EXPECT_EQ(p->paletteA[0][1], 17);
  SwapPlaidPar(p.get(), 1, 1);
  EXPECT_EQ(p->rowAngle, 0x0102);
  EXPECT_EQ(p->free2.stripWidth[3], 10);
  EXPECT_EQ(p->weave1.byteOrder, 1);
}

}  // namespace
