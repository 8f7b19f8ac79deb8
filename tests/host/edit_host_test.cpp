// The stand-in host end to end: edit-host offscreen on images the test
// makes, pressing OK or Cancel once the window shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/ApePlugInUtilities/image_files.h"
#include "platform/imageio/image_io.h"
#include "engines/families/effect_families.h"
#include "host/host_fixture.h"
#include "paths/draw_par.h"
#include "support/session.h"

#ifdef VMK_EDIT_HOST

namespace {

namespace fs = std::filesystem;
using vmktest::Sample;

// A file limit that a small version takes and a layer file does not.
constexpr int kSmallBlocks = 8;
constexpr size_t kSmallFile = 512 * kSmallBlocks;

class EditHostTest : public ::testing::Test {
 protected:
  // Runs edit-host; its exit status. `fileBlocks` > 0 lets it write no
  // file larger than that many 512-byte blocks, as a disk that fills would
  // (the write fails, the process lives on).
  // `environment` goes before the others ("NAME='value' ").
  int Run(const std::string& arguments, int fileBlocks = 0, const std::string& environment = {}) {
    const std::string limit =
        fileBlocks > 0 ? "trap '' XFSZ; ulimit -f " + std::to_string(fileBlocks) + "; " : std::string();
    const std::string command = limit + environment + "QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" + dir_.file("support") +
                                "' XDG_DATA_HOME='" + dir_.file("data") + "' exec '" VMK_EDIT_HOST "' " +
                                arguments + " >'" + dir_.file("out.txt") + "' 2>&1";
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Versions() const { return dir_.file("versions"); }
  void EveryButtonsWindowPreviews(uint32_t w, uint32_t h);
  // Replacements left behind in the maker's folder.
  int Temporaries() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_.file("support/Vellmarkstead")))
      n += e.path().filename().string().rfind(".~", 0) == 0;
    return n;
  }
  PixelBuffer Read(const std::string& path) {
    PixelBuffer b;
    EXPECT_EQ(readSourceImage(path, nullptr, nullptr, 0, true, b), 0) << path;
    return b;
  }

  vmktest::TempDir dir_;
};

TEST_F(EditHostTest, OkWritesTheRenderedLayersRowForRow) {
  const vmktest::RawImage image = vmktest::PatternImage(7, 5, 1);
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, image);
  vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
  ASSERT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("bright.lay") + "' --auto ok '" +
                png + "'"),
            0)
      << vmktest::ReadText(dir_.file("out.txt"));
  const PixelBuffer v = Read(Versions() + "/picture.tif");
  ASSERT_EQ(v.width(), 7u);
  ASSERT_EQ(v.height(), 5u);
  for (uint32_t y = 0; y < 5; ++y)
    for (uint32_t x = 0; x < 7; ++x)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(Sample(v, x, y, k), std::min<uint32_t>(image.row(y)[x * 4 + k] + 10, 255)) << x << "," << y;
  EXPECT_NE(vmktest::ReadText(dir_.file("out.txt")).find(Versions()), std::string::npos);
}

TEST_F(EditHostTest, SixteenBitWhiteStaysFullScale) {
  vmktest::RawImage image = vmktest::PatternImage(4, 3, 2);
  for (size_t i = 0; i < image.data.size(); ++i) image.data[i] = 0xFF;
  const std::string tif = dir_.file("white.tif");
  vmktest::WriteImageFile(tif, plat::imageio::kTypeTIFF, image);
  vmktest::WriteBrightnessLayers(dir_.file("identity.lay"), 0);
  ASSERT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("identity.lay") + "' --auto ok '" +
                tif + "'"),
            0)
      << vmktest::ReadText(dir_.file("out.txt"));
  const PixelBuffer v = Read(Versions() + "/white.tif");
  ASSERT_EQ(v.bytesPerComponent(), 2u);
  EXPECT_EQ(Sample(v, 3, 2, 0), 65535u);
  EXPECT_EQ(Sample(v, 0, 0, 2), 65535u);
}

TEST_F(EditHostTest, TheVersionIsMadeUprightWithOrientationOne) {
  // Stored 3 wide and 2 high, to be shown turned a quarter clockwise
  // (orientation 6): the stored first column becomes the upright first row,
  // read from the bottom up.
  const vmktest::RawImage image = vmktest::PatternImage(3, 2, 1);
  const std::string tif = dir_.file("phone.tif");
  plat::imageio::Properties props;
  props.orientation = 6;
  vmktest::WriteImageFile(tif, plat::imageio::kTypeTIFF, image, props);
  ASSERT_EQ(Run("--versions '" + Versions() + "' --auto ok '" + tif + "'"), 0)
      << vmktest::ReadText(dir_.file("out.txt"));
  const PixelBuffer v = Read(Versions() + "/phone.tif");
  ASSERT_EQ(v.width(), 2u);
  ASSERT_EQ(v.height(), 3u);
  for (uint32_t y = 0; y < 3; ++y)
    for (uint32_t x = 0; x < 2; ++x)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(Sample(v, x, y, k), image.row(1 - x)[y * 4 + k]) << x << "," << y;
  plat::imageio::ImageInfo info;
  ASSERT_EQ(plat::imageio::ReadInfo(Versions() + "/phone.tif", &info), plat::imageio::kOk);
  EXPECT_EQ(info.properties.orientation, 1);
}

// Every file under `folder` with its bytes (the empty map when it is not there).
std::map<std::string, std::vector<uint8_t>> FolderFiles(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> out;
  std::error_code ec;
  if (!fs::exists(folder, ec)) return out;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    out[fs::relative(e.path(), folder).string()] =
        e.is_regular_file() ? vmktest::ReadBytes(e.path().string()) : std::vector<uint8_t>{};
  return out;
}

TEST_F(EditHostTest, CancelledAndFailedSessionsLeaveTheVersionsFolderAsItWas) {
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(6, 6, 1));
  // What a confirmed session left, and a file of the user's own.
  ASSERT_EQ(Run("--versions '" + Versions() + "' --auto ok '" + png + "'"), 0);
  vmktest::WriteText(Versions() + "/notes.txt", "mine");
  const auto before = FolderFiles(Versions());
  ASSERT_EQ(before.size(), 2u);

  // Cancelled after an effect was rendered into the session's picture.
  vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
  ASSERT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("bright.lay") + "' --auto cancel '" +
                png + "'"),
            0)
      << vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(vmktest::ReadText(dir_.file("out.txt")).find("Edit cancelled"), std::string::npos);
  EXPECT_EQ(FolderFiles(Versions()), before);

  // Failed: the second image unreadable, once its first copy was made.
  vmktest::WriteText(dir_.file("bad.png"), "not a picture");
  EXPECT_EQ(Run("--versions '" + Versions() + "' --auto ok '" + png + "' '" + dir_.file("bad.png") + "'"), 1);
  EXPECT_EQ(FolderFiles(Versions()), before);
  // Failed once the plug-in had the copy: no bundle, and layers it cannot render.
  EXPECT_EQ(Run("--bundle '" + dir_.file("nowhere") + "' --versions '" + Versions() + "' '" + png + "'"), 1);
  EXPECT_EQ(FolderFiles(Versions()), before);
  vmktest::WriteText(dir_.file("bad.lay"), "not layers");
  EXPECT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("bad.lay") + "' --auto ok '" + png + "'"),
            1);
  EXPECT_EQ(FolderFiles(Versions()), before);

  // A versions folder that was not there is not there afterwards, nor the
  // folders made to hold it; the one that was there stays.
  fs::create_directories(dir_.file("outer"));
  const std::string fresh = dir_.file("outer/new/versions");
  ASSERT_EQ(Run("--versions '" + fresh + "' --auto cancel '" + png + "'"), 0);
  EXPECT_FALSE(fs::exists(dir_.file("outer/new")));
  EXPECT_TRUE(fs::is_directory(dir_.file("outer")));
  EXPECT_EQ(Run("--versions '" + fresh + "' --auto ok '" + png + "' '" + dir_.file("bad.png") + "'"), 1);
  EXPECT_FALSE(fs::exists(dir_.file("outer/new")));

  // A confirmed session keeps its copy beside what was there.
  ASSERT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("bright.lay") + "' --auto ok '" + png + "'"),
            0);
  auto after = FolderFiles(Versions());
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after.count("picture-1.tif"), 1u);
  after.erase("picture-1.tif");
  EXPECT_EQ(after, before);
}

// Stopped from outside before OK (a closed terminal, SIGTERM): the copy goes
// as after a Cancel, and the status tells the signal.
TEST_F(EditHostTest, AStopSignalRemovesTheCopiesOfAnUnconfirmedSession) {
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(6, 6, 1));
  fs::create_directories(Versions());
  vmktest::WriteText(Versions() + "/notes.txt", "mine");
  const auto before = FolderFiles(Versions());
  fs::create_directories(dir_.file("support/Vellmarkstead"));
  for (const auto& [name, number] : {std::pair<const char*, int>{"TERM", SIGTERM}, {"HUP", SIGHUP}}) {
    // The copy is made before the window shows; the loop then takes the
    // signal (sent while the loop is held, and taken once it goes on).
    const std::string held = dir_.file("held");
    const std::string command =
        "QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" + dir_.file("support") + "' XDG_DATA_HOME='" +
        dir_.file("data") + "' VMK_TEST_HOLD='turn:" + held + "' '" VMK_EDIT_HOST "' --versions '" + Versions() +
        "' '" + png + "' >'" + dir_.file("out.txt") + "' 2>&1 & pid=$!; i=0; while [ ! -e '" + held +
        "' ] && kill -0 $pid 2>/dev/null && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; kill -" + name +
        " $pid; rm -f '" + held + "'; wait $pid";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << name;
    EXPECT_EQ(WEXITSTATUS(status), 128 + number) << name << ": " << vmktest::ReadText(dir_.file("out.txt"));
    EXPECT_NE(vmktest::ReadText(dir_.file("out.txt")).find("Edit stopped"), std::string::npos) << name;
    EXPECT_EQ(FolderFiles(Versions()), before) << name;
  }
}

// A stop signal sent once the copy's name is claimed, while its pixels are
// still to be written through its temporary file (held there): the claim
// and the temporary file go too.
TEST_F(EditHostTest, AStopSignalWhileTheCopyIsWrittenLeavesNothingOfIt) {
  const std::string png = dir_.file("large.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(1500, 1500, 1));
  fs::create_directories(Versions());
  vmktest::WriteText(Versions() + "/notes.txt", "mine");
  const auto before = FolderFiles(Versions());
  fs::create_directories(dir_.file("support/Vellmarkstead"));
  for (int trial = 0; trial < 3; ++trial) {
    const std::string held = dir_.file("held");
    const std::string command =
        "QT_QPA_PLATFORM=offscreen VMK_SUPPORT_DIR='" + dir_.file("support") + "' XDG_DATA_HOME='" +
        dir_.file("data") + "' VMK_TEST_HOLD='copy:" + held + "' '" VMK_EDIT_HOST "' --versions '" + Versions() +
        "' '" + png + "' >'" + dir_.file("out.txt") + "' 2>&1 & pid=$!; i=0; while [ ! -e '" + held +
        "' ] && kill -0 $pid 2>/dev/null && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; kill -TERM $pid; "
        "wait $pid; s=$?; rm -f '" + held + "'; exit $s";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << trial;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << vmktest::ReadText(dir_.file("out.txt"));
    // Said by the host's own stop, which the status of death by the signal
    // itself would not tell apart.
    EXPECT_NE(vmktest::ReadText(dir_.file("out.txt"))
                  .find("Edit stopped; the editable copies it made in " + Versions() + " are removed"),
              std::string::npos)
        << vmktest::ReadText(dir_.file("out.txt"));
    EXPECT_EQ(FolderFiles(Versions()), before) << trial;
  }
}

// A picture with an alpha channel: the copy and the confirmed version keep
// it sample for sample, and the effect edits the colours only.
TEST_F(EditHostTest, AnAlphaChannelPassesThroughTheCopyAndTheVersion) {
  namespace io = plat::imageio;
  for (int bytes : {1, 2}) {
    SCOPED_TRACE(bytes);
    vmktest::RawImage image = vmktest::PatternImage(9, 7, bytes);
    // Alpha from clear to opaque, and colours under a clear pixel too.
    for (uint32_t y = 0; y < image.height; ++y)
      for (uint32_t x = 0; x < image.width; ++x) {
        const uint32_t a = (x * 7 + y * 3) % 16 == 0 ? 0 : (x * 37 + y * 11) % 256;
        if (bytes == 1)
          image.row(y)[x * 4 + 3] = static_cast<uint8_t>(a);
        else
          reinterpret_cast<uint16_t*>(image.row(y))[x * 4 + 3] = static_cast<uint16_t>(a * 251 + y);
      }
    io::Properties alpha;
    alpha.hasAlpha = true;
    const std::string stem = "clear" + std::to_string(bytes);
    const std::string png = dir_.file(stem + ".png");
    vmktest::WriteImageFile(png, io::kTypePNG, image, alpha);
    vmktest::WriteBrightnessLayers(dir_.file("bright.lay"), 10);
    ASSERT_EQ(Run("--versions '" + Versions() + "' --auto ok '" + png + "'"), 0)
        << vmktest::ReadText(dir_.file("out.txt"));
    ASSERT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("bright.lay") + "' --auto ok '" +
                  png + "'"),
              0)
        << vmktest::ReadText(dir_.file("out.txt"));
    for (const char* name : {"", "-1"}) {
      const std::string version = Versions() + "/" + stem + name + ".tif";
      SCOPED_TRACE(version);
      io::ImageInfo info;
      std::vector<uint8_t> got(image.data.size());
      const io::TargetFactory target = [&](const io::ImageInfo& i, io::PixelTarget* t) {
        if (i.width != image.width || i.height != image.height) return false;
        t->base = got.data();
        t->rowBytes = image.rowBytes();
        t->bytesPerComponent = bytes;
        return true;
      };
      ASSERT_EQ(io::ReadImage(version, target, &info, true), io::kOk);
      EXPECT_TRUE(info.hasAlpha);
      EXPECT_EQ(info.bitsPerComponent, 8 * bytes);
      const bool edited = name[0] != 0;
      for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
          for (int k = 0; k < 4; ++k) {
            const size_t at = (static_cast<size_t>(y) * image.width + x) * 4 + k;
            uint32_t want = bytes == 1 ? image.data[at] : reinterpret_cast<const uint16_t*>(image.data.data())[at];
            uint32_t have = bytes == 1 ? got[at] : reinterpret_cast<const uint16_t*>(got.data())[at];
            // The colours brightened as the 8-bit planes hold them (16-bit
            // samples by their high byte, written back times 257).
            if (edited && k < 3)
              want = bytes == 1 ? std::min<uint32_t>(want + 10, 255) : std::min<uint32_t>((want >> 8) + 10, 255) * 257;
            ASSERT_EQ(have, want) << x << "," << y << " component " << k;
          }
    }
  }
}

TEST_F(EditHostTest, AnEffectsDialogIsAnsweredAfterItsFirstPreview) {
  vmktest::RawImage image = vmktest::PatternImage(64, 48, 1);
  for (size_t i = 3; i < image.data.size(); i += 4) image.data[i] = 255;
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, image);
  ASSERT_EQ(Run("--versions '" + Versions() + "' --auto ok '" + png + "'"), 0);
  const std::vector<uint8_t> plain = vmktest::ReadBytes(Versions() + "/picture.tif");
  // A cancelled noise reduction writes what OK alone writes.
  ASSERT_EQ(Run("--versions '" + Versions() + "' --effect 103 --dialog cancel --auto ok '" + png + "'"), 0)
      << vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_EQ(vmktest::ReadBytes(Versions() + "/picture-1.tif"), plain);
  // A confirmed one renders its defaults into the version.
  ASSERT_EQ(Run("--versions '" + Versions() + "' --effect 103 --dialog ok --auto ok '" + png + "'"), 0)
      << vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(vmktest::ReadBytes(Versions() + "/picture-2.tif"), plain);
  // The grid warp asks on closing: the question is answered too, and the
  // default grids leave the picture as it was.
  ASSERT_EQ(Run("--versions '" + Versions() + "' --effect 102 --dialog ok --auto ok '" + png + "'"), 0)
      << vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_TRUE(fs::exists(Versions() + "/picture-3.tif"));
  // A dialog answer needs an effect, and the effect a button.
  EXPECT_EQ(Run("--versions '" + Versions() + "' --dialog ok --auto ok '" + png + "'"), 2);
  EXPECT_EQ(Run("--versions '" + Versions() + "' --effect 27 --auto ok '" + png + "'"), 2);
}

TEST_F(EditHostTest, AConfirmedEffectThatCannotBeStoredEndsTheRunSayingSo) {
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(8, 6, 1));
  ASSERT_EQ(Run("--versions '" + Versions() + "' --auto ok '" + png + "'"), 0);
  const std::vector<uint8_t> plain = vmktest::ReadBytes(Versions() + "/picture.tif");
  ASSERT_LT(plain.size(), kSmallFile);
  const std::string lay = dir_.file("support/Vellmarkstead/com.vellmarkstead.lay");
  // The version fits under the limit; the noise reduction's layers do not.
  EXPECT_EQ(Run("--versions '" + Versions() + "' --effect 103 --dialog ok --auto ok '" + png + "'", kSmallBlocks), 1);
  const std::string out = vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(out.find("The effect could not be saved as \"" + lay + "\"."), std::string::npos) << out;
  EXPECT_NE(out.find("It was not applied"), std::string::npos) << out;
  EXPECT_EQ(out.find("Edited versions are in"), std::string::npos) << out;
  // The failed run takes its copy away: only the first run's version is there.
  EXPECT_FALSE(fs::exists(Versions() + "/picture-1.tif"));
  EXPECT_EQ(vmktest::ReadBytes(Versions() + "/picture.tif"), plain);
  // The session emptied the layer file as it started (if there was one);
  // it stays so, and no temporary is left beside it.
  EXPECT_FALSE(fs::exists(lay) && fs::file_size(lay) > 0);
  EXPECT_EQ(Temporaries(), 0);
}

TEST_F(EditHostTest, TheLiveLogSaysWhatAnAlertSaid) {
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(8, 6, 1));
  const std::string log = dir_.file("live.log");
  // A folder where the layer file should be: the noise reduction's layers
  // cannot be stored, and the run ends on the alert, answered at once as
  // scripted runs answer it.
  fs::create_directories(dir_.file("support/Vellmarkstead/com.vellmarkstead.lay/inside"));
  EXPECT_EQ(Run("--versions '" + Versions() + "' --effect 103 --dialog ok --auto ok '" + png + "'", 0,
                "VMK_LIVE_LOG='" + log + "' "),
            1);
  const std::string text = vmktest::ReadText(log);
  std::vector<std::string> alerts;
  for (size_t at = 0, end = 0; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    const std::string line = text.substr(at, end - at);
    if (line.find(" alert {") != std::string::npos) alerts.push_back(line);
  }
  // One line, its text's own line breaks kept inside it, with its one button.
  ASSERT_EQ(alerts.size(), 1u) << text;
  EXPECT_NE(alerts[0].find("The effect could not be saved as"), std::string::npos) << alerts[0];
  EXPECT_NE(alerts[0].find("It was not applied"), std::string::npos) << alerts[0];
  EXPECT_NE(alerts[0].find("\"buttons\":\"OK\""), std::string::npos) << alerts[0];
}

TEST_F(EditHostTest, ALayerFileTheFolderCannotTakeIsRefusedInTheSystemsWords) {
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(8, 6, 1));
  // Layers larger than the limit: brightness with a long run of padding
  // after the file's end, which the reader does not look at.
  vmktest::WriteBrightnessLayers(dir_.file("big.lay"), 10);
  std::vector<uint8_t> big = vmktest::ReadBytes(dir_.file("big.lay"));
  big.resize(kSmallFile + 4096, 0);
  vmktest::WriteBytes(dir_.file("big.lay"), big);
  const std::string lay = dir_.file("support/Vellmarkstead/com.vellmarkstead.lay");
  EXPECT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("big.lay") + "' --auto ok '" + png + "'",
                kSmallBlocks),
            1);
  std::string out = vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(out.find("as the layer file: " + std::string(std::strerror(EFBIG))), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(lay) && fs::file_size(lay) > 0) << "no torn copy";
  EXPECT_EQ(Temporaries(), 0);
  // A folder where the layer file should be.
  fs::remove(lay);
  fs::create_directories(lay + "/inside");
  EXPECT_EQ(Run("--versions '" + Versions() + "' --layers '" + dir_.file("big.lay") + "' --auto ok '" + png + "'"),
            1);
  out = vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(out.find("as the layer file: " + std::string(std::strerror(EISDIR))), std::string::npos) << out;
  EXPECT_TRUE(fs::is_directory(lay + "/inside"));
}

// Each run waits for the window's first preview, then answers it and the main window with OK:
// a window that shows none ends the run with 1. One test per shape, as the thirteen windows
// take minutes for each on a loaded machine.
void EditHostTest::EveryButtonsWindowPreviews(uint32_t w, uint32_t h) {
  vmktest::RawImage image = vmktest::PatternImage(w, h, 1);
  for (size_t i = 3; i < image.data.size(); i += 4) image.data[i] = 255;
  const std::string name = "thin" + std::to_string(w) + "x" + std::to_string(h);
  const std::string png = dir_.file(name + ".png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, image);
  // The library run.sh installs: the border's first tiles are its pictures, and a border whose
  // pictures are not there is told, not rendered.
  ASSERT_TRUE(vmktest::MakeContentLibrary(dir_.file("support/Vellmarkstead")));
  for (int effect : {92, 100, 102, 103, 104, 105, 106, 113, 114, 115, 116, 117, 118}) {
    EXPECT_EQ(Run("--versions '" + Versions() + "' --effect " + std::to_string(effect) + " --dialog ok --auto ok '" +
                  png + "'"),
              0)
        << w << " x " << h << ", effect " << effect << ": " << vmktest::ReadText(dir_.file("out.txt"));
  }
}

TEST_F(EditHostTest, EveryButtonsWindowPreviewsAOnePixelPicture) { EveryButtonsWindowPreviews(1, 1); }

TEST_F(EditHostTest, EveryButtonsWindowPreviewsAPictureOnePixelWide) { EveryButtonsWindowPreviews(1, 30000); }

TEST_F(EditHostTest, EveryButtonsWindowPreviewsAPictureOnePixelHigh) { EveryButtonsWindowPreviews(30000, 1); }

TEST_F(EditHostTest, NoVersionOrNoWindowExitsWithTheReason) {
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(4, 4, 1));
  // The versions folder cannot be made below a plain file.
  vmktest::WriteText(dir_.file("plain"), "x");
  EXPECT_NE(Run("--versions '" + dir_.file("plain") + "/versions' --auto ok '" + png + "'"), 0);
  EXPECT_NE(vmktest::ReadText(dir_.file("out.txt")).find("edit-host:"), std::string::npos);
  vmktest::WriteText(dir_.file("bad.png"), "not a picture");
  EXPECT_NE(Run("--versions '" + Versions() + "' --auto ok '" + dir_.file("bad.png") + "'"), 0);
  EXPECT_NE(Run("--bundle '" + dir_.file("nowhere") + "' --versions '" + Versions() + "' '" + png + "'"), 0);
  EXPECT_NE(vmktest::ReadText(dir_.file("out.txt")).find("cannot load"), std::string::npos);
  vmktest::WriteText(dir_.file("bad.lay"), "not layers");
  EXPECT_NE(Run("--versions '" + Versions() + "' --layers '" + dir_.file("bad.lay") + "' --auto ok '" + png + "'"),
            0);
}

// The transform with every slider of the image tools at its largest (scaled ten times each
// way, turned 359 degrees) on a camera's 6000 x 4000 picture, through OK: its box is a
// hundred pictures' samples, of which the render works out only the window that lands on the
// picture. The version is the picture transformed, sample for sample what the script renders
// over the planes the host reads (bottom row first, the picture's alpha as plane 6).
TEST_F(EditHostTest, TheTransformAtItsLargestWritesAPhotoTransformed) {
  constexpr uint32_t W = 6000, H = 4000;
  // A session of the test's own, to write the layer file.
  RegisterEffectFamilies();
  const vmktest::ScopedSession session;
  const vmktest::ScopedAppData app;
  DrawPar drawPar;
  Init_DrawPar(&drawPar);
  gPer->drawPar = &drawPar;
  const std::string tif = dir_.file("photo.tif");
  {
    const vmktest::RawImage image = vmktest::PatternImage(W, H, 1);
    vmktest::WriteImageFile(tif, plat::imageio::kTypeTIFF, image);
  }
  const std::string lay = dir_.file("transform-largest.lay");
  {
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
    s.SetEffect(0, 1, 1, 53, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetFromChannel(0, 1, 1, 0);
    s.SetToChannel(0, 1, 1, 2);
    s.SetMode(0, 1, 1, 0);
    s.SetOpa(0, 1, 1, 255);
    s.SetMChannel(0, 1, 1, 0);
    s.SetIntExt(0, 1, 1, 1);
    s.SetParam3(0, 1, 1, 1000);
    s.SetParam4(0, 1, 1, 1000);
    s.SetParam5(0, 1, 1, 359);
    vmktest::SaveLayerFile(s, lay);
  }
  ASSERT_EQ(Run("--versions '" + Versions() + "' --layers '" + lay + "' --auto ok '" + tif + "'"), 0)
      << vmktest::ReadText(dir_.file("out.txt"));
  const PixelBuffer version = Read(Versions() + "/photo.tif");
  ASSERT_EQ(version.width(), W);
  ASSERT_EQ(version.height(), H);

  // What the layers render over the picture, as the host renders them.
  gPer->previewWidth = W;
  gPer->previewHeight = H;
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, W, H, 72.0f, W, H, 0, 0, W, H), 0);
  s.SetDrwVal(0, 0, 1.0f, 1.0f, 0, 0);
  s.NewLimSize(0, 0, W, H, 1.0f, 1.0f);
  const PixelBuffer picture = Read(tif);
  uint8_t* planes[3] = {};
  for (int k = 0; k < 3; ++k) planes[k] = s.ChannelPlane(3 + k, 1);
  uint8_t* alpha = s.ChannelPlane(6, 1);
  ASSERT_TRUE(planes[0] != nullptr && planes[1] != nullptr && planes[2] != nullptr && alpha != nullptr);
  std::fill(alpha, alpha + size_t{W} * H, uint8_t{255});
  for (uint32_t y = 0; y < H; ++y)
    for (uint32_t x = 0; x < W; ++x)
      for (int k = 0; k < 3; ++k) planes[k][size_t{H - 1 - y} * W + x] = static_cast<uint8_t>(Sample(picture, x, y, k));
  s.SetBuf(planes[0], planes[1], planes[2], nullptr, alpha, nullptr);
  {
    fichier f;
    ASSERT_TRUE(SetFicFromPosix(&f, lay));
    File_kern file(&f);
    int32_t value = 0;
    ASSERT_EQ(s.RecallCombiLay(&file, 2, &value, nullptr), 0);
  }
  ASSERT_EQ(s.Render(0, 0, 0, nullptr, alpha, nullptr, 0, 0), 0);
  size_t changed = 0;
  for (uint32_t y = 0; y < H; ++y)
    for (uint32_t x = 0; x < W; ++x)
      for (int k = 0; k < 3; ++k) {
        const uint32_t v = Sample(version, x, y, k);
        ASSERT_EQ(v, planes[k][size_t{H - 1 - y} * W + x]) << x << "," << y << "," << k;
        changed += v != Sample(picture, x, y, k);
      }
  EXPECT_GT(changed, size_t{W} * H * 3 * 9 / 10);
}

// A step that cannot do its work ends a scripted run: the image file that the first step loads
// is not there, so the run exits with status 1 saying which step failed and why, and leaves no
// version.
TEST_F(EditHostTest, AStepThatCannotReadItsFileEndsTheRunNamingIt) {
  // A session of the test's own, to write the layer file.
  RegisterEffectFamilies();
  const vmktest::ScopedSession session;
  const vmktest::ScopedAppData app;
  DrawPar drawPar;
  Init_DrawPar(&drawPar);
  gPer->drawPar = &drawPar;
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(8, 6, 1));
  const std::string lay = dir_.file("image.lay");
  {
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
    s.SetEffect(0, 1, 1, 24, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetFromChannel(0, 1, 1, 0);
    s.SetToChannel(0, 1, 1, 2);
    fichier missing;
    ASSERT_TRUE(SetFicFromPosix(&missing, dir_.file("gone.tif")));
    s.SetFileOprn(0, 1, 1, &missing);
    vmktest::SaveLayerFile(s, lay);
  }
  EXPECT_EQ(Run("--versions '" + Versions() + "' --layers '" + lay + "' --auto ok '" + png + "'"), 1);
  const std::string out = vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(out.find("could not be rendered: operation 1 (Image file) of layer 1 could not read its file"),
            std::string::npos)
      << out;
  EXPECT_FALSE(fs::exists(Versions() + "/picture.tif"));
}

// The border's first tiles are the library's pictures: a layer of the border at its defaults,
// without the library, ends the run naming the picture it could not read and writes no
// version; with the library the border is written.
TEST_F(EditHostTest, TheBorderWithoutTheLibraryIsToldWhichPictureItLacks) {
  RegisterEffectFamilies();
  const vmktest::ScopedSession session;
  const vmktest::ScopedAppData app;
  const std::string png = dir_.file("picture.png");
  vmktest::WriteImageFile(png, plat::imageio::kTypePNG, vmktest::PatternImage(60, 40, 1));
  const std::string lay = dir_.file("border.lay");
  {
    // The defaults name the pictures where edit-host's session keeps its library.
    fs::create_directories(dir_.file("support/Vellmarkstead"));
    ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, dir_.file("support/Vellmarkstead")));
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, 60, 40, 72.0f, 60, 40, 0, 0, 59, 39), 0);
    s.SetEffect(0, 1, 1, 106, 0, 0, 60, 40);
    s.SetAct(0, 1, 1, 1);
    s.SetToChannel(0, 1, 1, 2);
    s.SetOpa(0, 1, 1, 255);
    vmktest::SaveLayerFile(s, lay);
  }
  const std::string border = "--versions '" + Versions() + "' --layers '" + lay + "' --auto ok '" + png + "'";
  EXPECT_EQ(Run(border), 1);
  const std::string out = vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_NE(out.find("operation 1 (Borders) of layer 1 could not read its file \""), std::string::npos) << out;
  EXPECT_NE(out.find("mirvder_rose.tif\""), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(Versions() + "/picture.tif"));
  ASSERT_TRUE(vmktest::MakeContentLibrary(dir_.file("support/Vellmarkstead")));
  EXPECT_EQ(Run(border), 0) << vmktest::ReadText(dir_.file("out.txt"));
  EXPECT_TRUE(fs::exists(Versions() + "/picture.tif"));
}

}  // namespace

#endif
