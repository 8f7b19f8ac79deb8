#include "app/core/file_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/core/app_data.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_spec.h"
#include "support/session.h"

namespace {

using plat::bytes::Order;
using plat::bytes::Reader;
using plat::bytes::Writer;

fichier sample() {
  fichier f;
  SetPStr(f.name, "Warm tones.hvig");
  SetPStr(f.path, "home:ann:Vellmarkstead:Presets:");
  f.reserved = 0x1234;
  f.creator = FourCC("vMkC");
  f.type = FourCC("hVig");
  f.spare[0] = 11;
  f.spare[1] = -12;
  f.spare[2] = 0x0A0B0C0D;
  return f;
}

TEST(FileRecordStorage, StoredFormIs538BytesAtFixedOffsets) {
  fichier f = sample();
  f.volume = -1;
  f.parent = 4242;
  Writer w;
  Write_FicStruct(w, f);
  ASSERT_EQ(w.size(), kFicStoredSize);
  const auto& b = w.bytes();
  // Volume and folder numbers are written as 0.
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[6], 15);
  EXPECT_EQ(std::memcmp(&b[7], "Warm tones.hvig", 15), 0);
  EXPECT_EQ(b[262], 31);
  EXPECT_EQ(std::memcmp(&b[263], "home:ann:", 9), 0);
  EXPECT_EQ(b[518], 0x34);
  EXPECT_EQ(b[519], 0x12);
  // Host order (little-endian) words: 'vMkC' reads "CkMv".
  EXPECT_EQ(std::memcmp(&b[520], "CkMv", 4), 0);
  EXPECT_EQ(std::memcmp(&b[524], "giVh", 4), 0);
  EXPECT_EQ(b[528], 11);
  EXPECT_EQ(b[532], 0xF4);
  EXPECT_EQ(b[536], 0x0D);
  EXPECT_EQ(b[537], 0x0C);
}

TEST(FileRecordStorage, ReadBackComparesEqualInItsStoredBytes) {
  const fichier f = sample();
  Writer w;
  Write_FicStruct(w, f);
  Write_FicStruct(w, f);  // one record every 538 bytes
  Reader r(w.bytes());
  fichier g;
  g.spare[2] = 0x7FFF0000;
  ASSERT_TRUE(Read_FicStruct(r, &g));
  fichier h;
  ASSERT_TRUE(Read_FicStruct(r, &h));
  EXPECT_EQ(r.remaining(), 0u);
  // Stored again, both give the same 538 bytes.
  Writer again;
  Write_FicStruct(again, g);
  Write_FicStruct(again, h);
  EXPECT_EQ(again.bytes(), w.bytes());
  EXPECT_EQ(g.reserved, f.reserved);
  EXPECT_EQ(g.spare[1], f.spare[1]);
  // The last two bytes of the final word are not stored: they stay.
  EXPECT_EQ(g.spare[2], 0x7FFF0C0D);
}

TEST(FileRecordStorage, BigEndianRecordsAndShortInput) {
  const fichier f = sample();
  Writer w(Order::Big);
  Write_FicStruct(w, f);
  EXPECT_EQ(std::memcmp(&w.bytes()[520], "vMkC", 4), 0);
  Reader r(w.bytes(), Order::Big);
  fichier g;
  ASSERT_TRUE(Read_FicStruct(r, &g));
  EXPECT_EQ(g.creator, FourCC("vMkC"));
  EXPECT_EQ(g.type, FourCC("hVig"));
  EXPECT_EQ(PStrView(g.path), "home:ann:Vellmarkstead:Presets:");

  // A short record leaves the caller's record as it was.
  Reader shortInput(w.bytes().data(), kFicStoredSize - 1);
  fichier h = sample();
  h.volume = 5;
  EXPECT_FALSE(Read_FicStruct(shortInput, &h));
  EXPECT_EQ(h.volume, 5);
  EXPECT_EQ(std::memcmp(&h.name, &f.name, 256), 0);
}

TEST(FileRecordHelpers, InitAndCopyKeepWhatTheyShould) {
  fichier f = sample();
  Init_FicStruct(&f);
  EXPECT_EQ(f.name[0], 0);
  EXPECT_EQ(f.path[0], 0);
  EXPECT_EQ(f.creator, FourCC("vMkC"));
  EXPECT_EQ(f.type, FourCC("hVig"));

  // Names and paths of 128 to 255 characters are copied whole.
  fichier g;
  SetPStr(g.name, std::string(200, 'n'));
  SetPStr(g.path, "v:" + std::string(253, 'p'));
  g.volume = -1;
  g.parent = 99;
  g.spare[1] = 7;
  fichier h;
  Copy_FicStruct(&g, &h);
  EXPECT_EQ(h.name[0], 200);
  EXPECT_EQ(h.path[0], 255);
  EXPECT_EQ(PStrView(h.path), PStrView(g.path));
  EXPECT_EQ(h.parent, 99);
  EXPECT_EQ(h.spare[1], 7);

  fichier k = sample();
  Copy_FSSpeStruct(&g, &k);
  EXPECT_EQ(PStrView(k.name), PStrView(g.name));
  EXPECT_EQ(PStrView(k.path), "home:ann:Vellmarkstead:Presets:");
}

TEST(FileRecordPaths, BuildVNameGivesTheFolderPathWithColons) {
  fichier f;
  unsigned char name[256];
  SetPStr(name, "Disk:Top.tif");
  FSMakeFSSpec(0, 0, name, &f);
  BuildVName(&f, f.path, &f.parent, 1);
  EXPECT_EQ(PStrView(f.path), "Disk:");
  EXPECT_EQ(PStrView(f.name), "Top.tif");

  SetPStr(name, "Disk:A:B:Inner.tif");
  FSMakeFSSpec(0, 0, name, &f);
  BuildVName(&f, f.path, &f.parent, 1);
  EXPECT_EQ(PStrView(f.path), "Disk:A:B:");
  EXPECT_EQ(FicToPosix(f), "/Disk/A/B/Inner.tif");

  FSSpec bare;
  EXPECT_EQ(FSMakeFSSpec(0, 0, name, &bare), plat::files::kFolderNotFound);
  fichier viaSpec;
  Copy_FSSpeStruct(&bare, &viaSpec);
  EXPECT_EQ(FicToPosix(viaSpec), "/Disk/A/B/Inner.tif");

  // Mode 3 climbs one folder; mode 2 leaves the path alone on failure.
  int32_t up = f.parent;
  BuildVName(&f, f.path, &up, 3);
  unsigned char p[256];
  BuildVName(&f, p, &up, 1);
  EXPECT_EQ(PStrView(p), "Disk:A:");
  fichier lost;
  lost.parent = 123456789;
  SetPStr(lost.path, "kept:");
  BuildVName(&lost, lost.path, &lost.parent, 2);
  EXPECT_EQ(PStrView(lost.path), "kept:");
  BuildVName(&lost, lost.path, &lost.parent, 1);
  EXPECT_EQ(PStrView(lost.path), ":");
}

TEST(FileRecordPaths, RecordsReadFromFilesResolveByTheirPath) {
  fichier f;
  SetPStr(f.path, "srv:content:Tiles:");
  SetPStr(f.name, "brick.png");
  EXPECT_EQ(FicToPosix(f), "/srv/content/Tiles/brick.png");
  BuildVName(&f, f.path, &f.parent, 1);
  EXPECT_EQ(PStrView(f.path), "srv:content:Tiles:");
  EXPECT_NE(f.parent, 0);
  EXPECT_EQ(FicToPosix(f), "/srv/content/Tiles/brick.png");

  fichier relative;
  SetPStr(relative.path, ":Tiles:");
  SetPStr(relative.name, "brick.png");
  EXPECT_EQ(FicToPosix(relative), "");
}

TEST(FileRecordPaths, PosixPathsAndScratchNames) {
  vmktest::TempDir dir;
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, dir.file("x.tif")));
  EXPECT_EQ(PStrView(f.name), "x.tif");
  EXPECT_EQ(PStrView(f.path), plat::files::PosixToColon(dir.path().string(), true));
  EXPECT_EQ(FicToPosix(f), dir.file("x.tif"));
  EXPECT_FALSE(SetFicFromPosix(&f, "relative/x"));
  EXPECT_FALSE(SetFicFromPosix(&f, "/v/" + std::string(300, 'a')));

  fichier untouched;
  SetPStr(untouched.name, "kept");
  Mak_fictmp(3, &untouched);  // no application data: nothing to name
  EXPECT_EQ(PStrView(untouched.name), "kept");
  EXPECT_EQ(untouched.path[0], 0);

  vmktest::ScopedAppData app;
  ASSERT_TRUE(SetFicFromPosix(&app.data().folder, dir.path().string() + "/"));
  // The folder record names the folder itself: its own path, no name.
  SetPStr(app.data().folder.path, plat::files::PosixToColon(dir.path().string(), true));
  app.data().folder.name[0] = 0;
  fichier t;
  Mak_fictmp(7, &t);
  EXPECT_EQ(PStrView(t.name), "tmpVLM7");
  EXPECT_EQ(FicToPosix(t), dir.file("tmpVLM7"));
}

TEST(FileRecordPaths, ASpecificationRepointsARecordOnlyWhenItsFolderHasAPath) {
  vmktest::TempDir dir;
  FSSpec s;
  ASSERT_EQ(plat::files::MakeSpecFromPosix(dir.file("y.tif"), &s), plat::files::kFileNotFound);
  fichier f = sample();
  ASSERT_TRUE(SetFicFromSpec(&f, s));
  EXPECT_EQ(PStrView(f.name), "y.tif");
  EXPECT_EQ(PStrView(f.path), plat::files::PosixToColon(dir.path().string(), true));
  EXPECT_EQ(f.creator, FourCC("vMkC"));
  EXPECT_EQ(f.type, FourCC("hVig"));

  FSSpec lost = s;
  lost.parID = 123456789;
  SetPStr(lost.name, "z.tif");
  EXPECT_FALSE(SetFicFromSpec(&f, lost));
  EXPECT_EQ(PStrView(f.name), "y.tif");
  EXPECT_EQ(f.parent, s.parID);
}

}  // namespace
