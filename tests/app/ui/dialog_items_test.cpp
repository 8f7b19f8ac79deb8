#include "app/ui/dialog_items.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "platform/draw/port.h"
#include "platform/resources/resource_file.h"
#include "support/image_fixtures.h"
#include "support/qt/nib_window_fixture.h"
#include "support/session.h"

namespace {

using namespace plat::tb;
namespace draw = plat::draw;

constexpr OSType kDemo = FourCC("Demo");

class DialogItems : public vmktest::NibWindowTest {
 protected:
  DialogRef OpenDemo() {
    WindowRef w = Open("Demo");
    EXPECT_NE(w, nullptr);
    return DialogRef{w, kDemo};
  }
  std::string Text(DialogRef d, int16_t item) { return GetControlText(DialogItem(d, item)); }
};

TEST_F(DialogItems, NumbersAndTextsBothWays) {
  DialogRef d = OpenDemo();
  PutDlgFloat(d, 3, 1.05f);
  EXPECT_EQ(Text(d, 3), "1.0500");
  float f = -1.0f;
  GetDlgFloat(d, 3, &f);
  EXPECT_FLOAT_EQ(f, 1.05f);

  PutDlgLong(d, 4, -70000);
  int32_t l = 0;
  GetDlgLong(d, 4, &l);
  EXPECT_EQ(l, -70000);
  int16_t w = 0;
  GetDlgWord(d, 4, &w);  // the low 16 bits of the number
  EXPECT_EQ(w, static_cast<int16_t>(-70000));
  PutDlgWord(d, 4, -12);
  EXPECT_EQ(Text(d, 4), "-12");

  // An empty item, text without a number and a button all read 0.
  SetControlText(DialogItem(d, 3), "");
  l = 99;
  f = 9.0f;
  GetDlgLong(d, 3, &l);
  GetDlgFloat(d, 3, &f);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(f, 0.0f);
  SetControlText(DialogItem(d, 3), "abc");
  w = 5;
  GetDlgWord(d, 3, &w);
  EXPECT_EQ(w, 0);
  l = 7;
  GetDlgLong(d, 1, &l);  // the OK button: not an edit field
  EXPECT_EQ(l, 0);
  GetDlgLong(d, 77, &l);  // no such item
  EXPECT_EQ(l, 0);

  // Strings: only edit fields are read; the getter answers for a destination.
  Str255 s;
  SetPStr(s, "kept");
  EXPECT_EQ(GetDlgString(d, 1, s), 1);
  EXPECT_EQ(PStrString(s), "kept");
  SetPStr(s, "Sunset");
  PutDlgString(d, 4, s);
  Str255 back;
  EXPECT_EQ(GetDlgString(d, 4, back), 1);
  EXPECT_EQ(PStrString(back), "Sunset");
  EXPECT_EQ(GetDlgString(d, 4, nullptr), 0);
  // Another signature reaches none of the items.
  PutDlgLong(DialogRef{d.window, FourCC("Othr")}, 4, 5);
  EXPECT_EQ(Text(d, 4), "Sunset");
}

TEST_F(DialogItems, ChecksSlidersPanelsAndSelection) {
  DialogRef d = OpenDemo();
  PutDlgChkRadio(d, 8, 7);
  EXPECT_EQ(GetControl32BitValue(DialogItem(d, 8)), 1);
  EXPECT_EQ(GetDlgChkRadio(d, 8), 1);
  PutDlgChkRadio(d, 8, 0);
  EXPECT_EQ(GetDlgChkRadio(d, 8), 0);
  PutDlgChkRadio(d, 9, -3);  // a radio group: its first button
  EXPECT_EQ(GetControl32BitValue(DialogItem(d, 9)), 1);
  EXPECT_EQ(GetDlgChkRadio(d, 9), 1);

  // The slider (0..255) is held to its range, and so is the text after it.
  SetSliderAndValue(d, 5, 400, 1);
  EXPECT_EQ(GetControl32BitValue(DialogItem(d, 5)), 255);
  EXPECT_EQ(Text(d, 6), "255");
  SetSliderAndValue(d, 5, -9, 0);
  EXPECT_EQ(GetControl32BitValue(DialogItem(d, 5)), 0);
  EXPECT_EQ(Text(d, 6), "255");
  SetSliderText(d, 5, 42);
  EXPECT_EQ(Text(d, 6), "42");

  ShowWindow(d.window);
  GetDlgPanel(d, 4);
  EXPECT_FALSE(IsControlVisible(DialogItem(d, 4)));

  PutDlgLong(d, 3, 12345);
  SetKeyboardFocus(d.window, DialogItem(d, 3));
  driver_.Pump();
  SetEditTextSelection(DialogItem(d, 3), 1, 3);
  EXPECT_EQ(TextSelected(d), 4);
  SetEditTextSelection(DialogItem(d, 3), 2, 2);
  EXPECT_EQ(TextSelected(d), 0);
  EXPECT_EQ(CanPaste(2, FourCC("TEXT"), FourCC("PICT")), 0);
}

TEST_F(DialogItems, DefaultRingAndPictures) {
  DialogRef d = OpenDemo();
  draw::Port* port = GetWindowPort(d.window);
  ASSERT_NE(port, nullptr);
  std::vector<std::string> log;
  port->RecordTo(&log);
  draw::Port other(10, 10);
  draw::SetPort(&other);
  draw::PenSize(2, 2);
  draw::RGBForeColor(RGBColor{65535, 0, 0});
  FrameDefault(d, 1);  // OK at (300, 260) 80 x 28
  port->RecordTo(nullptr);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "FrameRoundRect 296 256 384 292 mode 8");
  EXPECT_EQ(port->surface().pixel(340, 256), 0xFF000000u);  // the pen is 3 deep
  EXPECT_EQ(port->surface().pixel(340, 258), 0xFF000000u);
  EXPECT_EQ(port->surface().pixel(340, 259), 0xFFFFFFFFu);
  // The caller's port, pen and colour are back.
  EXPECT_EQ(draw::GetPort(), &other);
  draw::PenState pen;
  draw::GetPenState(&pen);
  EXPECT_EQ(pen.pnSize.h, 2);
  RGBColor fore;
  draw::GetForeColor(&fore);
  EXPECT_EQ(fore.red, 65535);

  // A 2 x 1 block doubled into a 4 x 2 rectangle: R, G, B bytes in order.
  const uint8_t block[8] = {255, 0, 0, 0, 0, 0, 255, 0};
  uint32_t pixels[2];
  std::memcpy(pixels, block, sizeof block);
  const Rect r{10, 20, 12, 24};  // top, left, bottom, right
  EXPECT_EQ(PutDlgIma(d, &r, pixels, 2, 1), noErr);
  EXPECT_EQ(port->surface().pixel(20, 10), 0xFFFF0000u);
  EXPECT_EQ(port->surface().pixel(21, 11), 0xFFFF0000u);
  EXPECT_EQ(port->surface().pixel(22, 10), 0xFF0000FFu);
  EXPECT_EQ(port->surface().pixel(23, 11), 0xFF0000FFu);
  EXPECT_EQ(port->surface().pixel(24, 10), 0xFFFFFFFFu);
  EXPECT_EQ(PutDlgIma(d, &r, pixels, 0, 1), -1);

  // Icons and pictures from the resource folder; the selected state is the
  // next number.
  vmktest::TempDir dir;
  std::filesystem::create_directories(dir.path() / "cicn");
  vmktest::WriteImageFile(dir.file("cicn/200.png"), plat::imageio::kTypePNG, vmktest::SolidImage(2, 2, 0, 255, 0));
  vmktest::WriteImageFile(dir.file("cicn/201.png"), plat::imageio::kTypePNG, vmktest::SolidImage(2, 2, 0, 0, 255));
  const std::string savedFolder = plat::res::ResourceFolder();
  plat::res::SetResourceFolder(dir.path().string());
  draw::SetPort(port);
  const Rect icon{40, 40, 48, 48};
  EXPECT_EQ(DrawIcon(&icon, 200, 0), noErr);
  EXPECT_EQ(port->surface().pixel(44, 44), 0xFF00FF00u);
  EXPECT_EQ(DrawIcon(&icon, 200, 1), noErr);
  EXPECT_EQ(port->surface().pixel(47, 47), 0xFF0000FFu);
  EXPECT_EQ(DrawPic(&icon, 200, 0), -1);  // no picture of that number
  EXPECT_EQ(DrawIcon(&icon, 300, 0), -1);
  plat::res::SetResourceFolder(savedFolder);
  draw::SetPort(nullptr);
}

}  // namespace
