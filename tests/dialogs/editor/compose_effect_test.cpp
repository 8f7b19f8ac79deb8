// The compose-effect chooser on the test driver: slot 0 stays the caller's, names and the
// browser fill slots 1 to 3, hovering previews a slot and closing restores it, the slots
// persist in their temporary file (damaged ones read as empty, a file the folder will not
// take never brings older slots back), and nothing it does changes the document.
#include "dialogs/editor/compose_effect.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "browser_fixture.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_io.h"
#include "platform/toolbox/toolbox.h"

// After the project's headers: Qt's keyword macros would rename their members.
#include <QDir>
#include <QPixmap>
#include <QWidget>

// Qt's keyword macro; the choosers name their preview slots so.
#undef slots

namespace {

using vmktest::BrowserTest;
namespace tb = plat::tb;

constexpr OSType kCeff = FourCC("Ceff");
constexpr OSType kLeff = FourCC("Leff");
constexpr int32_t kOk = 1, kCancel = 2, kCategory = 15, kName = 16, kUpdate = 17, kBrowser = 18,
                  kLoadFile = 19;

// The middle of slot view k after the chooser's layout (window coordinates, v then h).
Point SlotPoint(int k) {
  return Point{static_cast<int16_t>(k < 2 ? 200 : 480), static_cast<int16_t>(k % 2 == 0 ? 200 : 600)};
}

class ComposeTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    Store(3, "Warm");
    Store(2, "Cold", 4);
    // The current layer's own operations, saved as the main window saves them.
    DocData* doc = Doc();
    doc->script->SetEffect(0, 1, 1, 9, 0, 0, 0, 0);
    Laye* layer = doc->script->GetStack(0)->GetLaye(1);
    ASSERT_TRUE(SetFicFromPosix(&scratch_, bundle_.makersFile("com.vellmarkstead.chan")));
    scratch_.type = FourCC("aCha");
    scratch_.creator = FourCC("vMkC");
    File_kern file(&scratch_);
    ASSERT_EQ(doc->script->SaveScript(layer->oprnCount, layer->firstOprn, &file, nullptr, 0, 0,
                                      doc->secondName, 0),
              0);
  }
  plat::tb::test::Driver& Click(int k) {
    return driver_.Drag({SlotPoint(k), SlotPoint(k)}).Advance(0.6);
  }
  std::string SlotName(VMKcompeff& c, int k) { return PStrString(c.slots[k]->file.name); }
  std::string SlotFile() const { return bundle_.makersFile("tmpvmkcompeff"); }

  fichier scratch_;
};

TEST_F(ComposeTest, OkWithSlotZeroAnswersTheCallersFile) {
  const std::vector<uint8_t> before = LayerBytes();
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(chooser.currentSlot, 1);
        EXPECT_EQ(chooser.slots[0]->filled, 1);
        EXPECT_EQ(tb::GetControlText(chooser.slotLabels[0]), "Current");
        // No temporary file yet: slots 1 to 3 are empty and show nothing.
        EXPECT_EQ(chooser.slots[1]->filled, 0);
        EXPECT_TRUE(tb::GetControlText(chooser.slotLabels[1]).empty());
      });
  Click(0).Do([&](tb::WindowRef) { EXPECT_EQ(chooser.currentSlot, 0); }).Press(kCeff, kOk);
  ASSERT_EQ(chooser.Do_CompEffDlg(117, nullptr), 1);
  fichier chosen;
  chooser.GetSelecFich(&chosen);
  EXPECT_EQ(FicToPosix(chosen), FicToPosix(scratch_));
  EXPECT_EQ(LayerBytes(), before);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, NamesFillSlotsOneToThreeButNeverSlotZero) {
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  driver_.Advance(0.1).Choose(kCeff, kName, 2);
  driver_.Do([&](tb::WindowRef) {
    EXPECT_EQ(SlotName(chooser, 1), "e02.ach1");
    EXPECT_EQ(chooser.slots[1]->filled, 1);
    EXPECT_EQ(chooser.list->firstVisible, 1);
  });
  Click(0).Choose(kCeff, kName, 3).Hover(kCeff, kName, {4, 5});
  driver_.Do([&](tb::WindowRef) {
    EXPECT_EQ(chooser.currentSlot, 0);
    EXPECT_EQ(FicToPosix(chooser.slots[0]->file), FicToPosix(scratch_));
    EXPECT_EQ(SlotName(chooser, 1), "e02.ach1");
    EXPECT_EQ(chooser.slots[2]->filled, 0);
  });
  driver_.Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, HoverPreviewsTheSlotAndClosingRestoresIt) {
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  std::vector<uint8_t> own;
  driver_.Advance(0.1);
  Click(2).Choose(kCeff, kName, 1).Do([&](tb::WindowRef) {
    ASSERT_EQ(SlotName(chooser, 2), "e01.ach1");
    own.assign(chooser.slotPlanes[0][2], chooser.slotPlanes[0][2] + chooser.viewWidth * chooser.viewHeight);
  });
  driver_.Hover(kCeff, kName, {4}).Do([&](tb::WindowRef) {
    EXPECT_EQ(SlotName(chooser, 2), "e01.ach1");
    EXPECT_EQ(std::vector<uint8_t>(chooser.slotPlanes[0][2],
                                   chooser.slotPlanes[0][2] + chooser.viewWidth * chooser.viewHeight),
              own);
    EXPECT_EQ(tb::GetControlText(chooser.slotLabels[2]), "e01");
  });
  driver_.Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A slot clicked and a name chosen at once, before the chooser's next tick:
// the name goes into the slot clicked, not into the one current before.
TEST_F(ComposeTest, ANameChosenJustAfterAClickGoesIntoTheSlotClicked) {
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  driver_.Advance(0.6).Drag({SlotPoint(3), SlotPoint(3)}).Choose(kCeff, kName, 2);
  driver_.Do([&](tb::WindowRef) {
    EXPECT_EQ(chooser.currentSlot, 3);
    EXPECT_EQ(SlotName(chooser, 3), "e02.ach1");
    EXPECT_EQ(chooser.slots[1]->file.name[0], 0);
  });
  driver_.Press(kCeff, kOk);
  ASSERT_EQ(chooser.Do_CompEffDlg(117, nullptr), 1);
  fichier chosen;
  chooser.GetSelecFich(&chosen);
  EXPECT_EQ(PStrString(chosen.name), "e02.ach1");
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, SlotsOneToThreePersistBetweenRuns) {
  {
    VMKcompeff chooser;
    chooser.SetSelecFich(&scratch_);
    driver_.Advance(0.1).Choose(kCeff, kName, 3);
    Click(2).Choose(kCeff, kName, 1);
    Click(3).Choose(kCeff, kCategory, 3).Choose(kCeff, kName, 2).Press(kCeff, kCancel);
    EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  }
  EXPECT_EQ(vmktest::ReadBytes(SlotFile()).size(), 3u * kFicStoredSize);
  VMKcompeff again;
  again.SetSelecFich(&scratch_);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(SlotName(again, 1), "e03.ach1");
        EXPECT_EQ(SlotName(again, 2), "e01.ach1");
        EXPECT_EQ(SlotName(again, 3), "e05.ach1");
        for (int k = 0; k < 4; ++k) EXPECT_EQ(again.slots[k]->filled, 1) << k;
        EXPECT_EQ(FicToPosix(again.slots[0]->file), FicToPosix(scratch_));
      })
      .Press(kCeff, kCancel);
  EXPECT_EQ(again.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, UpdateSelectsAllAndSlotOne) {
  VMKcompeff chooser;
  driver_.Advance(0.1).Choose(kCeff, kCategory, 2);
  Click(3).Press(kCeff, kUpdate).Do([&](tb::WindowRef) {
    EXPECT_EQ(chooser.list->selectedCategory, 1);
    EXPECT_EQ(chooser.currentSlot, 1);
    EXPECT_EQ(chooser.list->firstVisible, 1);
    EXPECT_EQ(tb::GetControl32BitValue(chooser.categoryPopup), 1);
  });
  driver_.Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, BrowsingThenCancelLeavesTheDocument) {
  const std::vector<uint8_t> before = LayerBytes();
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  driver_.Advance(0.1)
      .Press(kCeff, kBrowser)
      .Advance(0.1)
      .Choose(kLeff, 24, 4)
      .Press(kLeff, kOk)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(SlotName(chooser, 1), "e04.ach1");
        EXPECT_EQ(chooser.slots[1]->filled, 1);
        EXPECT_EQ(LayerBytes(), before);
      })
      .Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_EQ(LayerBytes(), before);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, ALoadedFileGoesIntoTheCurrentSlot) {
  const std::string other = stored_->Effect("other", "Warm", FourCC("aCH1"), 17, 9, 130, 100, 40, "Else");
  VMKcompeff chooser;
  driver_.ui().AnswerOpenFile(other);
  driver_.Advance(0.1).Press(kCeff, kLoadFile).Advance(0.6).Do([&](tb::WindowRef) {
    EXPECT_EQ(FicToPosix(chooser.slots[1]->file), other);
    EXPECT_EQ(chooser.slots[1]->filled, 1);
  });
  driver_.Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A folder that will not take the slot file when the name menu opens (full, read-only):
// closing the menu keeps the slots the user has, neither an older file's nor the hovered
// entry, and a name chosen meanwhile goes into its slot alone.
TEST_F(ComposeTest, ASlotFileTheFolderWillNotTakeKeepsTheSlotsAcrossTheNameMenu) {
  const auto names = [&](VMKcompeff& c) {
    return std::vector<std::string>{SlotName(c, 1), SlotName(c, 2), SlotName(c, 3)};
  };
  const auto failWrites = [this](int error) {
    return [this, error](tb::WindowRef) {
      plat::files::FailWritesForTesting(error != 0 ? bundle_.makersFile("") : "", error);
    };
  };
  {
    // An older slot file, from an earlier use.
    VMKcompeff chooser;
    chooser.SetSelecFich(&scratch_);
    driver_.Advance(0.1).Choose(kCeff, kName, 3);
    Click(2).Choose(kCeff, kName, 1);
    Click(3).Choose(kCeff, kName, 5).Press(kCeff, kCancel);
    EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  }
  const std::vector<uint8_t> older = vmktest::ReadBytes(SlotFile());
  ASSERT_EQ(older.size(), 3u * kFicStoredSize);
  for (const int error : {ENOSPC, EROFS}) {
    VMKcompeff chooser;
    chooser.SetSelecFich(&scratch_);
    driver_.Advance(0.1);
    // Slot 1 takes a new name while the folder still takes the file, whose slots stay the
    // older ones until the next opening.
    Click(1).Choose(kCeff, kName, 2).Do([&](tb::WindowRef) {
      EXPECT_EQ(names(chooser), (std::vector<std::string>{"e02.ach1", "e01.ach1", "e05.ach1"}));
      vmktest::WriteBytes(SlotFile(), older);
    });
    driver_.Do(failWrites(error)).Hover(kCeff, kName, {4, 5}).Do([&](tb::WindowRef) {
      EXPECT_EQ(names(chooser), (std::vector<std::string>{"e02.ach1", "e01.ach1", "e05.ach1"}))
          << error;
      EXPECT_EQ(vmktest::ReadBytes(SlotFile()), older);
    });
    Click(2).Choose(kCeff, kName, 4).Do([&](tb::WindowRef) {
      EXPECT_EQ(names(chooser), (std::vector<std::string>{"e02.ach1", "e04.ach1", "e05.ach1"}))
          << error;
      EXPECT_EQ(chooser.currentSlot, 2);
    });
    driver_.Do(failWrites(0)).Press(kCeff, kCancel);
    EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
    EXPECT_EQ(names(chooser), (std::vector<std::string>{"e02.ach1", "e04.ach1", "e05.ach1"}));
    // The folder takes them again at the close: the next use finds them.
    VMKcompeff again;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(names(again), (std::vector<std::string>{"e02.ach1", "e04.ach1", "e05.ach1"}));
        })
        .Press(kCeff, kCancel);
    EXPECT_EQ(again.Do_CompEffDlg(117, nullptr), 0);
    vmktest::WriteBytes(SlotFile(), older);
  }
  // No slot file at all and none can be made: the hovered entry does not stay in the slot.
  std::filesystem::remove(SlotFile());
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  driver_.Advance(0.1).Do(failWrites(EROFS)).Choose(kCeff, kName, 2).Hover(kCeff, kName, {3, 4});
  driver_.Do([&](tb::WindowRef) {
    EXPECT_EQ(names(chooser), (std::vector<std::string>{"e02.ach1", "", ""}));
    EXPECT_FALSE(std::filesystem::exists(SlotFile()));
  });
  driver_.Do(failWrites(0)).Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, DamagedSlotFilesLeaveSlotsEmpty) {
  // A good first record, then 462 bytes of noise: slot 1 reads, slots 2 and 3 stay empty.
  fichier first;
  MakeEffListRecord(PStrString(gPer->makersFolder.path) + PStrString(gPer->makersFolder.name) +
                        ":Effects:",
                    "e02.ach1", &first);
  plat::bytes::Writer w(plat::bytes::Order::Little);
  Write_FicStruct(w, first);
  std::vector<uint8_t> bytes = w.take();
  for (int i = 0; bytes.size() < 1000; ++i) bytes.push_back(static_cast<uint8_t>(i * 37 + 11));
  vmktest::WriteBytes(SlotFile(), bytes);
  {
    VMKcompeff chooser;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(SlotName(chooser, 1), "e02.ach1");
          EXPECT_EQ(chooser.slots[1]->filled, 1);
          EXPECT_EQ(chooser.slots[2]->filled, 0);
          EXPECT_EQ(chooser.slots[3]->filled, 0);
        })
        .Press(kCeff, kCancel);
    EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  }
  // Names and paths longer than a stored effect's leave their slot empty.
  bytes.resize(3 * kFicStoredSize);
  std::copy(bytes.begin(), bytes.begin() + kFicStoredSize, bytes.begin() + kFicStoredSize);
  std::copy(bytes.begin(), bytes.begin() + kFicStoredSize, bytes.begin() + 2 * kFicStoredSize);
  bytes[6] = 200;                      // slot 1: a name of 200 characters
  bytes[kFicStoredSize + 262] = 255;   // slot 2: a path of 255
  vmktest::WriteBytes(SlotFile(), bytes);
  VMKcompeff chooser;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(chooser.slots[1]->file.name[0], 0);
        EXPECT_EQ(chooser.slots[2]->file.name[0], 0);
        EXPECT_EQ(SlotName(chooser, 3), "e02.ach1");
        EXPECT_EQ(chooser.slots[3]->filled, 1);
      })
      .Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ComposeTest, ADamagedEffectLeavesItsSlotAsItWas) {
  VMKcompeff chooser;
  driver_.Advance(0.1).Choose(kCeff, kName, 1).Do([&](tb::WindowRef) {
    ASSERT_EQ(chooser.slots[1]->filled, 1);
    vmktest::WriteBytes(bundle_.makersFile("Effects/e02.ach1"), {0, 0, 1});
  });
  driver_.Choose(kCeff, kName, 2).Do([&](tb::WindowRef) {
    // An entry whose file does not read is not taken: the slot keeps its effect and image.
    EXPECT_EQ(SlotName(chooser, 1), "e01.ach1");
    EXPECT_EQ(chooser.slots[1]->filled, 1);
    EXPECT_TRUE(driver_.ui().alertRequests.empty());
  });
  driver_.Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Both browsers after their first previews over the generated effects, kept under the
// build tree for a person to look at; never compared.
TEST_F(ComposeTest, ScreenshotsOfTheBrowsers) {
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  auto shoot = [&](const char* name) {
    return [&, name](tb::WindowRef w) {
      const QPixmap shot = tb::QtWidgetOf(w)->grab();
      EXPECT_TRUE(shot.save(folder + "/" + name + ".png")) << name;
    };
  };
  {
    VMKloadeff browser;
    driver_.Advance(0.6).Do(shoot("LoadEff")).Press(kLeff, kCancel);
    EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  }
  VMKcompeff chooser;
  chooser.SetSelecFich(&scratch_);
  driver_.Advance(0.1).Choose(kCeff, kName, 2);
  Click(2).Choose(kCeff, kName, 3);
  Click(3).Choose(kCeff, kName, 4);
  Click(1).Do(shoot("CompEff")).Press(kCeff, kCancel);
  EXPECT_EQ(chooser.Do_CompEffDlg(117, nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
