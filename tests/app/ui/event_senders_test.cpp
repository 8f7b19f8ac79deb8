#include "app/ui/event_senders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/ui/document_launch.h"
#include "support/qt/nib_window_fixture.h"
#include "support/session.h"

namespace {

using namespace plat::tb;

class EventSenders : public vmktest::NibWindowTest {};

TEST_F(EventSenders, EventsReachTheirTargetsAtOnce) {
  WindowRef w = Open("Demo");
  ASSERT_NE(w, nullptr);
  std::vector<std::pair<OSType, uint32_t>> seen;
  uint32_t command = 0;
  const EventHandlerProc record = [&](EventHandlerCallRef, EventRef e, void*) {
    seen.emplace_back(e->eventClass, e->kind);
    if (e->eventClass == kEventClassCommand) command = e->command;
    return static_cast<OSStatus>(noErr);
  };
  InstallWindowEventHandler(w, record, {{kEventClassCommand, 1}, {kEventClassWindow, 72}, {kEventClassControl, 1}},
                            nullptr);
  HICommand c;
  c.commandID = FourCC("Bxyz");
  EXPECT_EQ(SendWindowCommandEvent(w, &c), noErr);
  EXPECT_EQ(command, FourCC("Bxyz"));
  EXPECT_EQ(SendWindowCloseEvent(w), noErr);
  EXPECT_EQ(SendControlEventHit(FindControl(w, FourCC("Demo"), 1)), noErr);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1], (std::pair<OSType, uint32_t>{kEventClassWindow, 72}));
  EXPECT_EQ(seen[2], (std::pair<OSType, uint32_t>{kEventClassControl, 1}));
  EXPECT_EQ(SendWindowCloseEvent(nullptr), paramErr);
}

TEST(DocumentLaunch, CreatorHooksAndMissingFiles) {
  EXPECT_EQ(MyNavigCreator(FourCC("TEXT"), FourCC("ttxt")), FourCC("MOSS"));
  EXPECT_EQ(MyExplorCreator(FourCC("TEXT"), FourCC("ttxt")), FourCC("MSIE"));
  EXPECT_EQ(MyPhotoshopCreator(FourCC("8BPS"), 0), FourCC("8BIM"));
  EXPECT_EQ(MyPhotoshopCreator(FourCC("TEXT"), FourCC("ttxt")), FourCC("ttxt"));

  vmktest::TempDir dir;
  std::vector<std::string> opened;
  SetDocumentOpener([&](const std::string& p) {
    opened.push_back(p);
    return opened.size() > 1;  // the first application refuses
  });
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, dir.file("help.htm")));
  EXPECT_EQ(LaunchTheDocument(&f, 0, MyNavigCreator), -43);  // no such file
  EXPECT_TRUE(opened.empty());
  vmktest::WriteText(dir.file("help.htm"), "<html/>");
  f.type = FourCC("TEXT");
  EXPECT_EQ(DoLaunch(3, &f), 0);  // navigator refuses, explorer opens it
  EXPECT_EQ(opened, (std::vector<std::string>{dir.file("help.htm"), dir.file("help.htm")}));
  EXPECT_EQ(DoLaunch(9, &f), 0);
  EXPECT_EQ(opened.size(), 2u);
  SetDocumentOpener({});
}

}  // namespace
