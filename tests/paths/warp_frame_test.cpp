// The warp frame: laying it out, its saved state, drawing, warp files and
// the warp-file menus.
#include <bit>
#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/app_data.h"
#include "app/core/session_state.h"
#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/warp_frame.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_types.h"
#include "platform/memory/memory.h"
#include "platform/toolbox/api/plain_menus.h"

using pathtest::OpenPath;
using vmktest::ReadBytes;
using vmktest::WriteBytes;

namespace {

class WarpFrameTest : public pathtest::InteractivePathTest {
 protected:
  FSSpec SpecOf(const std::string& posix) {
    fichier f;
    Init_FicStruct(&f);
    EXPECT_TRUE(SetFicFromPosix(&f, posix));
    return ::SpecOf(f);
  }

  vmktest::ScopedAppData appData_;
  vmktest::TempDir dir_;
};

TEST_F(WarpFrameTest, ResetLaysARectangularFrame) {
  CWarpPath f;
  f.Reset(nullptr);
  // Each edge at 0, 1/8, 3/8, 1/2, 5/8, 7/8 and the whole of 10..110.
  const float along[7] = {10, 22.5f, 47.5f, 60, 72.5f, 97.5f, 110};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(f.X[i], 10.0f);
    EXPECT_EQ(f.Y[i], along[i]);
    EXPECT_EQ(f.X[7 + i], along[i]);
    EXPECT_EQ(f.Y[7 + i], 110.0f);
    EXPECT_EQ(f.X[14 + i], 110.0f);
    EXPECT_EQ(f.Y[14 + i], along[6 - i]);
    EXPECT_EQ(f.X[21 + i], along[6 - i]);
    EXPECT_EQ(f.Y[21 + i], 10.0f);
  }
  EXPECT_EQ(f.centreX, 60.0f);

  CPathList empty(0);
  f.Reset(&empty);
  for (int i = 0; i < CWarpPath::kPoints; ++i) {
    EXPECT_EQ(f.X[i], 0.0f);
    EXPECT_EQ(f.Y[i], 0.0f);
  }

  // No active path: all are activated and framed together.
  CPathList l(0);
  l.first = OpenPath({{20, 30}, {40, 35}});
  l.first->next = OpenPath({{50, 60}, {45, 90}});
  l.count = 2;
  l.first->active = 0;
  l.first->next->active = 0;
  f.Reset(&l);
  EXPECT_EQ(l.first->active, 1);
  EXPECT_EQ(l.first->next->active, 1);
  EXPECT_EQ(f.X[0], 20.0f);
  EXPECT_EQ(f.Y[0], 30.0f);
  EXPECT_EQ(f.X[14], 50.0f);
  EXPECT_EQ(f.Y[14], 90.0f);
}

TEST_F(WarpFrameTest, BackTableKeepsOneState) {
  CWarpPath f;
  f.Reset(nullptr);
  f.kind = 3;
  f.BackTable(0);
  f.MoveFrame(5, 5);
  f.kind = 33;
  f.BackTable(1);
  EXPECT_EQ(f.X[0], 10.0f);
  EXPECT_EQ(f.kind, 3);
}

TEST_F(WarpFrameTest, DrawingTwiceInXorLeavesThePort) {
  CWarpPath f;
  f.Reset(nullptr);
  const RGBColor black{0, 0, 0};
  for (int16_t kind : {2, 3, 20, 30}) {
    f.DisplayFrame2(0, black, kind, f.X, f.Y);
    EXPECT_FALSE(PortIsWhite()) << kind;
    f.DisplayFrame2(0, black, kind, f.X, f.Y);
    EXPECT_TRUE(PortIsWhite()) << kind;
  }
  f.DisplayFrame(0, black, f.X, f.Y);
  EXPECT_FALSE(PortIsWhite());
  f.DisplayFrame(0, black, f.X, f.Y);
  EXPECT_TRUE(PortIsWhite());
  // Kind 33 belongs to DisplayFrame: DisplayFrame2 draws nothing for it.
  f.DisplayFrame2(0, black, 33, f.X, f.Y);
  f.DisplayFrame2(0, black, 7, f.X, f.Y);
  EXPECT_TRUE(PortIsWhite());
  // A colour draws over the port: the corner handle is painted in it.
  f.DisplayFrame2(1, RGBColor{0xFFFF, 0, 0}, 2, f.X, f.Y);
  EXPECT_EQ(port_.surface().pixels()[10 * 300 + 10], 0xFFFF0000u);
}

TEST_F(WarpFrameTest, WarpFileLayoutAndScaling) {
  CWarpPath f;
  f.Reset(nullptr);
  ui_.AnswerSaveFile(dir_.file("frame"));
  ASSERT_EQ(f.Do_A_file(3, 1, FSSpec{}, 1000, 800, f.X, f.Y), 0);
  ASSERT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(ui_.saveRequests[0].type, FourCC("Sw03"));
  const std::vector<uint8_t> b = ReadBytes(dir_.file("frame.sw03"));
  ASSERT_EQ(b.size(), 232u);
  EXPECT_EQ(plat::bytes::loadLE32(&b[0]), 1000u);
  EXPECT_EQ(plat::bytes::loadLE32(&b[4]), 800u);
  EXPECT_EQ(plat::bytes::loadLE32(&b[8]), std::bit_cast<uint32_t>(10.0f));
  EXPECT_EQ(plat::bytes::loadLE32(&b[8 + 4 * 13]), std::bit_cast<uint32_t>(110.0f));
  EXPECT_EQ(plat::bytes::loadLE32(&b[120 + 4 * 1]), std::bit_cast<uint32_t>(22.5f));
  EXPECT_EQ(plat::bytes::loadLE32(&b[228]), std::bit_cast<uint32_t>(10.0f));
  // Type and creator also go to the file's attributes where the file system
  // keeps them.
  OSType type = 0, creator = 0;
  if (plat::files::GetTypeCreator(dir_.file("frame.sw03"), &type, &creator)) {
    EXPECT_EQ(type, FourCC("Sw03"));
    EXPECT_EQ(creator, FourCC("vMkC"));
  }
  EXPECT_EQ(plat::files::TypeForExtension(".sw03"), FourCC("Sw03"));

  // Read for an image half as wide: X halves, Y keeps.
  float xs[28], ys[28];
  ASSERT_EQ(f.Do_A_file(3, 2, SpecOf(dir_.file("frame.sw03")), 500, 800, xs, ys), 0);
  EXPECT_EQ(xs[13], 55.0f);
  EXPECT_EQ(ys[6], 110.0f);

  // The open dialog lists the kind's type under its prompt; cancelled, 0.
  ASSERT_EQ(f.Do_A_file(20, 0, FSSpec{}, 500, 800, xs, ys), 0);
  ASSERT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(ui_.openRequests[0].prompt, "Load a New Warp...");
  EXPECT_EQ(ui_.openRequests[0].types, std::vector<OSType>{FourCC("Sw20")});
  EXPECT_EQ(xs[13], 55.0f);
}

TEST_F(WarpFrameTest, WarpFileFromABigEndianHostAndDamagedFiles) {
  CWarpPath f;
  std::vector<uint8_t> b(232);
  plat::bytes::storeBE32(&b[0], 200);
  plat::bytes::storeBE32(&b[4], 0);  // no reference height: Y kept as stored
  for (int i = 0; i < 28; ++i) {
    plat::bytes::storeBE32(&b[8 + 4 * i], std::bit_cast<uint32_t>(static_cast<float>(i)));
    plat::bytes::storeBE32(&b[120 + 4 * i], std::bit_cast<uint32_t>(-static_cast<float>(i)));
  }
  WriteBytes(dir_.file("old.sw33"), b);
  float xs[28] = {}, ys[28] = {};
  ASSERT_EQ(f.Do_A_file(33, 2, SpecOf(dir_.file("old.sw33")), 400, 300, xs, ys), 0);
  EXPECT_EQ(xs[27], 54.0f);
  EXPECT_EQ(ys[27], -27.0f);

  // Short files and missing files fail and keep the caller's points.
  b.resize(231);
  WriteBytes(dir_.file("short.sw33"), b);
  EXPECT_EQ(f.Do_A_file(33, 2, SpecOf(dir_.file("short.sw33")), 400, 300, xs, ys), -1);
  EXPECT_EQ(f.Do_A_file(33, 2, SpecOf(dir_.file("gone.sw33")), 400, 300, xs, ys), -1);
  EXPECT_EQ(xs[27], 54.0f);
  EXPECT_EQ(ys[27], -27.0f);

  // A kind without a file type saves nothing and asks nothing.
  EXPECT_EQ(f.Do_A_file(5, 1, FSSpec{}, 400, 300, xs, ys), -1);
  EXPECT_TRUE(ui_.saveRequests.empty());
  // An unknown mode does nothing.
  EXPECT_EQ(f.Do_A_file(33, 7, FSSpec{}, 400, 300, xs, ys), 0);
}

TEST_F(WarpFrameTest, MenusListTheWarpsFolder) {
  namespace fs = std::filesystem;
  const fs::path warps = dir_.path() / "Vellmarkstead" / "Warps";
  vmktest::Touch(warps / "arch.sw02");
  vmktest::Touch(warps / "bulge.sw02");
  vmktest::Touch(warps / "flag.sw33");
  // The maker's folder as a folder: its own path with the colon, no name.
  ASSERT_TRUE(SetFicFromPosix(&appData_.data().folder, warps.string()));
  appData_.data().folder.name[0] = 0;

  {
    CWarpPath f;
    ASSERT_EQ(f.PrepareMenus(), 0);
    EXPECT_EQ(ui_.menuIds, (std::vector<int16_t>{16190, 16191, 16192, 16193, 16194}));
    EXPECT_EQ(f.menus[0]->title, "warp");
    ASSERT_EQ(plat::ui::CountMenuItems(f.menus[0]), 2);
    EXPECT_EQ(plat::ui::GetMenuItemText(f.menus[0], 2), "2 bulge");
    EXPECT_EQ(PStrString(f.fileTables[0][1].name), "bulge.sw02");
    EXPECT_EQ(plat::ui::CountMenuItems(f.menus[1]), 0);
    EXPECT_EQ(plat::ui::GetMenuItemText(f.menus[4], 1), "1 flag");
    // A second call replaces the menus.
    ASSERT_EQ(f.PrepareMenus(), 0);
    EXPECT_EQ(ui_.menusAlive, 5);
  }
  EXPECT_EQ(ui_.menusAlive, 0);

  // A refused menu stops the build; what was made is freed with the frame.
  const int64_t blocks = plat::LiveBlockCount();
  {
    CWarpPath f;
    ui_.AcceptMenus(2);
    EXPECT_EQ(f.PrepareMenus(), -1);
    EXPECT_EQ(ui_.menusAlive, 2);
    EXPECT_EQ(f.menus[2], nullptr);
  }
  EXPECT_EQ(ui_.menusAlive, 0);
  EXPECT_EQ(plat::LiveBlockCount(), blocks);
}

TEST_F(WarpFrameTest, RefreshDialogShowsTheWholeImageAndPutsTheMappingsBack) {
  gPer->previewWidth = 400;
  gPer->previewHeight = 200;
  drawPar_.scaleX = 3.0f;
  drawPar_.viewOffsetX = 7.0f;
  CWarpPath f;
  f.kind = 2;
  f.Reset(nullptr);
  for (int i = 0; i < CWarpPath::kPoints; ++i) {
    f.X[i] *= 3.0f;  // the frame spans 30..330 by 10..110 of the image
  }
  f.drawPar.originX = 99.0f;
  // r = 100..200 by 50..100 shows the image at a quarter: 30 -> 107, 10 -> 52.
  Rect r;
  r.left = 100;
  r.top = 50;
  r.right = 200;
  r.bottom = 100;
  f.Refresh_Dialog(1, RGBColor{0, 0, 0}, 2, r);
  const auto& px = port_.surface().pixels();
  EXPECT_EQ(px[52 * 300 + 107], 0xFF000000u);
  EXPECT_EQ(px[5 * 300 + 5], 0xFFFFFFFFu);
  EXPECT_EQ(f.drawPar.originX, 99.0f);
  EXPECT_EQ(f.drawPar.scaleX, 1.0f);
  EXPECT_EQ(drawPar_.scaleX, 3.0f);
  EXPECT_EQ(drawPar_.viewOffsetX, 7.0f);
}

}  // namespace
