// Writes that a full or read-only maker's folder refuses, through the whole
// session: a confirmed effect that cannot be stored, a combined-layer file
// that cannot be installed and a preset that cannot be saved are each told
// to the user, never taken for done, and every old file stays byte for byte.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/editor/main_editor.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "platform/files/file_io.h"
#include "platform/files/file_types.h"
#include "platform/files/folder_lock.h"
#include "script/document_data.h"

namespace {

namespace fs = std::filesystem;
namespace tb = plat::tb;

constexpr int32_t kDenoiseButton = 43, kTextureButton = 51;
constexpr OSType kDnoi = FourCC("Dnoi"), kMain = FourCC("Main");
constexpr int32_t kDialogOk = 101, kDialogCancel = 102, kEditorOk = 1, kEditorCancel = 2;
constexpr uint32_t kWidth = 240, kHeight = 160;

// Every write into the folder fails with `error` while it lives.
class RefusingFolder {
 public:
  RefusingFolder(const std::string& folder, int error) { plat::files::FailWritesForTesting(folder, error); }
  ~RefusingFolder() { plat::files::FailWritesForTesting("", 0); }
  RefusingFolder(const RefusingFolder&) = delete;
  RefusingFolder& operator=(const RefusingFolder&) = delete;
};

vmktest::RawImage Grainy(uint32_t w, uint32_t h) {
  vmktest::RawImage im;
  im.width = w;
  im.height = h;
  im.data.assign(im.rowBytes() * h, 255);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = im.row(y) + 4 * x;
      p[0] = static_cast<uint8_t>((x * 7919u + y * 104729u) % 200u);
      p[1] = static_cast<uint8_t>(x * 255 / w);
      p[2] = static_cast<uint8_t>(y * 255 / h);
    }
  return im;
}

bool SameImage(const PixelBuffer& a, const PixelBuffer& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (uint32_t y = 0; y < a.height(); ++y)
    if (std::memcmp(a.rowPtr(y), b.rowPtr(y), 4u * a.width() * a.bytesPerComponent()) != 0) return false;
  return true;
}

// What the session wrote in `folder`: its entries but the hold's lock file.
size_t EntriesIn(const std::string& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder))
    n += e.path().filename() != plat::files::FolderLock::kLockFileName ? 1 : 0;
  return n;
}

class WriteFailuresTest : public vmktest::HostTest {
 protected:
  tb::WindowRef Open() {
    CarbonEditPlugin* s = Start({Version("v0.tif", Grainy(kWidth, kHeight))});
    if (s->editWindow() == nullptr) return nullptr;
    return s->mainWindow->window;
  }
  std::string Makers() const { return bundle_.makersFile(""); }
  std::string LayerPath() const { return bundle_.makersFile("com.vellmarkstead.lay"); }
  // The layers an earlier confirmed effect left: brightness 90, which a
  // wrong render would put on the picture a second time.
  std::vector<uint8_t> EarlierLayers() {
    vmktest::WriteBrightnessLayers(LayerPath(), 90);
    return vmktest::ReadBytes(LayerPath());
  }
  // The one alert shown: its two texts.
  std::vector<std::string> OnlyAlert() {
    const auto& alerts = driver_.ui().alertRequests;
    EXPECT_EQ(alerts.size(), 1u);
    if (alerts.empty()) return {"", ""};
    EXPECT_EQ(alerts.back().alertId, 129);
    std::vector<std::string> texts = alerts.back().params;
    texts.resize(2);
    return texts;
  }
};

TEST_F(WriteFailuresTest, AConfirmedEffectTheFolderCannotStoreIsToldAndNotApplied) {
  for (int error : {ENOSPC, EROFS}) {
    tb::WindowRef w = Open();
    ASSERT_NE(w, nullptr);
    const PixelBuffer before = session_->destination;
    const std::vector<uint8_t> layers = EarlierLayers();
    driver_.ui().alertRequests.clear();
    {
      RefusingFolder full(Makers(), error);
      // The dialog stays open after the alert, with the user's values; its Cancel leaves.
      driver_.Press(kApemainSig, kDenoiseButton)
          .Advance(0.1)
          .Advance(1.1)
          .Press(kDnoi, kDialogOk)
          .Do([&](tb::WindowRef d) { EXPECT_EQ(tb::GetWindowName(d), "DeNoise") << error; })
          .Press(kDnoi, kDialogCancel);
      driver_.RunSteps(w);
    }
    EXPECT_TRUE(SameImage(session_->destination, before)) << error;
    EXPECT_EQ(vmktest::ReadBytes(LayerPath()), layers) << error;
    const std::vector<std::string> alert = OnlyAlert();
    EXPECT_EQ(alert[0], "The effect could not be saved as \"" + LayerPath() + "\".");
    EXPECT_EQ(alert[1], "It was not applied: the picture is as it was.");
    EXPECT_NE(session_->lastError.find("was not applied"), std::string::npos);
    // The main window's OK then writes the picture as it was.
    driver_.Press(kApemainSig, 1);
    driver_.RunSteps(w);
    EXPECT_TRUE(SameImage(Read(session_->versions[0].path), before)) << error;
    EXPECT_EQ(EntriesIn(Makers()), 1u) << "only the layer file, no temporary";
    EXPECT_TRUE(driver_.errors().empty());
    session_.reset();
    driver_.Pump();
  }
}

TEST_F(WriteFailuresTest, TheLayeredEditorsOkThatCannotBeStoredRendersNoEarlierLayers) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  const std::vector<uint8_t> layers = EarlierLayers();
  driver_.ui().alertRequests.clear();
  driver_.Press(kApemainSig, kTextureButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(gVMKpinmain, nullptr);
        plat::files::FailWritesForTesting(Makers(), ENOSPC);
      })
      .Press(kMain, kEditorOk)
      // Still open after the alert, the layers as the user left them; Cancel leaves.
      .Do([&](tb::WindowRef e) {
        EXPECT_EQ(tb::GetWindowName(e), "PinMain");
        EXPECT_NE(gVMKpinmain, nullptr);
      })
      .Press(kMain, kEditorCancel);
  driver_.RunSteps(w);
  plat::files::FailWritesForTesting("", 0);
  EXPECT_EQ(gVMKpinmain, nullptr);
  // Rendering the scratch file as it stands would have brightened the
  // picture by the earlier effect's 90 once more.
  EXPECT_TRUE(SameImage(session_->destination, before));
  EXPECT_EQ(vmktest::ReadBytes(LayerPath()), layers);
  EXPECT_EQ(OnlyAlert()[0], "The effect could not be saved as \"" + LayerPath() + "\".");
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WriteFailuresTest, ALayerFileThatCannotBeInstalledSaysWhyAndKeepsTheOldOne) {
  ASSERT_NE(Open(), nullptr);
  const PixelBuffer before = session_->destination;
  const std::vector<uint8_t> layers = EarlierLayers();
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  for (int error : {ENOSPC, EROFS, EDQUOT}) {
    RefusingFolder full(Makers(), error);
    EXPECT_EQ(session_->RenderLayerFile(bundle_.file("bright.lay")), -1);
    EXPECT_EQ(session_->lastError,
              "cannot install " + bundle_.file("bright.lay") + " as the layer file: " + std::strerror(error));
    EXPECT_EQ(vmktest::ReadBytes(LayerPath()), layers);
    EXPECT_EQ(EntriesIn(Makers()), 1u);
    EXPECT_TRUE(SameImage(session_->destination, before));
  }
  // A folder where the scratch file should be is refused in the system's
  // words too, and stays a folder.
  fs::remove(LayerPath());
  fs::create_directories(LayerPath() + "/inside");
  EXPECT_EQ(session_->RenderLayerFile(bundle_.file("bright.lay")), -1);
  EXPECT_NE(session_->lastError.find(std::strerror(EISDIR)), std::string::npos) << session_->lastError;
  EXPECT_TRUE(fs::is_directory(LayerPath() + "/inside"));
  fs::remove_all(LayerPath());
  // Once the folder takes it, it renders.
  EXPECT_EQ(session_->RenderLayerFile(bundle_.file("bright.lay")), 0);
  EXPECT_EQ(vmktest::ReadBytes(LayerPath()), vmktest::ReadBytes(bundle_.file("bright.lay")));
  EXPECT_FALSE(SameImage(session_->destination, before));
}

// ---- Save... of each dialog a main-window button opens ----

struct SaveCase {
  const char* name;
  int32_t button;     // of the main window
  OSType sig;         // of the dialog
  int32_t save, cancel;
  const char* extension;
  OSType alertSig;    // a question on closing, answered with its first choice; 0: none
  OSType askSig = 0;  // a question on opening (the image library's rebuild), declined
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class PresetSaveTest : public WriteFailuresTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(PresetSaveTest, OpensInThePresetFolderAndNamesAFileItCouldNotWrite) {
  const SaveCase& c = GetParam();
  const std::string folder = bundle_.makersFile("Presets/Mine");
  fs::create_directories(folder);
  const std::string old = folder + "/Old." + c.extension;
  const std::string fresh = folder + "/New." + c.extension;
  vmktest::WriteText(old, "an older preset, kept byte for byte");
  const std::vector<uint8_t> oldBytes = vmktest::ReadBytes(old);
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  driver_.ui().alertRequests.clear();
  driver_.ui().AnswerSaveFile(old, true);
  driver_.ui().AnswerSaveFile(fresh, false);
  driver_.ui().AnswerSaveFile(std::nullopt);
  driver_.Press(kApemainSig, c.button);
  if (c.askSig != 0) driver_.Press(c.askSig, 2);
  driver_.Advance(0.2)
      .Do([&](tb::WindowRef) { plat::files::FailWritesForTesting(bundle_.makersFile(""), ENOSPC); })
      .Press(c.sig, c.save)
      .Press(c.sig, c.save)
      .Press(c.sig, c.save)
      .Do([&](tb::WindowRef) { plat::files::FailWritesForTesting("", 0); })
      .Press(c.sig, c.cancel);
  if (c.alertSig != 0) driver_.Press(c.alertSig, 1);
  driver_.RunSteps(w);
  plat::files::FailWritesForTesting("", 0);
  // Where the dialog opened: beside the presets the popup lists.
  const auto& asked = driver_.ui().saveRequests;
  ASSERT_EQ(asked.size(), 3u) << (driver_.errors().empty() ? "" : driver_.errors().front());
  for (const plat::ui::SaveRequest& r : asked) EXPECT_EQ(r.folder, folder);
  // The overwrite and the new name are each named; the cancel says nothing.
  const auto& alerts = driver_.ui().alertRequests;
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].params[0], "The preset could not be saved as \"" + old + "\".");
  EXPECT_EQ(alerts[0].params[1], "The file was left as it was.");
  EXPECT_EQ(alerts[1].params[0], "The preset could not be saved as \"" + fresh + "\".");
  EXPECT_EQ(alerts[1].params[1], "No file was made.");
  EXPECT_EQ(vmktest::ReadBytes(old), oldBytes);
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(EntriesIn(folder), 1u);
  EXPECT_TRUE(driver_.errors().empty()) << driver_.errors().front();
}

// Load... opens where Save... does, beside the presets the popup lists (it opened in the folder
// the program was started from). Each dialog's Load... is the button before its Save....
TEST_P(PresetSaveTest, LoadOpensInThePresetFolder) {
  const SaveCase& c = GetParam();
  const std::string folder = bundle_.makersFile("Presets/Mine");
  fs::create_directories(folder);
  vmktest::WriteText(folder + "/Old." + c.extension, "a preset");
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  driver_.ui().AnswerOpenFile(std::nullopt);
  driver_.Press(kApemainSig, c.button);
  if (c.askSig != 0) driver_.Press(c.askSig, 2);
  driver_.Advance(0.2).Press(c.sig, c.save - 1).Press(c.sig, c.cancel);
  if (c.alertSig != 0) driver_.Press(c.alertSig, 1);
  driver_.RunSteps(w);
  const auto& asked = driver_.ui().openRequests;
  ASSERT_EQ(asked.size(), 1u) << (driver_.errors().empty() ? "" : driver_.errors().front());
  EXPECT_EQ(asked[0].folder, folder);
  EXPECT_EQ(asked[0].types, (std::vector<OSType>{plat::files::TypeForExtension(c.extension)}));
  EXPECT_TRUE(driver_.errors().empty()) << driver_.errors().front();
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, PresetSaveTest,
    ::testing::Values(SaveCase{"combination", 40, FourCC("Cima"), 82, 2, "hcim", 0, FourCC("Updt")},
                      SaveCase{"fractal", 41, FourCC("Orlf"), 105, 102, "hfra", 0},
                      SaveCase{"grid", 42, FourCC("Grid"), 105, 102, "hxgr", FourCC("Aler")},
                      SaveCase{"noise", 43, kDnoi, 105, 102, "sse4", 0},
                      SaveCase{"smoothing", 44, FourCC("Glim"), 105, 102, "sse5", 0},
                      SaveCase{"focus", 45, FourCC("Kfoc"), 105, 102, "sse3", 0},
                      SaveCase{"border", 46, FourCC("Cbor"), 5, 3, "hbor", 0},
                      SaveCase{"lens", 47, FourCC("Zond"), 105, 102, "hznd", 0}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

}  // namespace
