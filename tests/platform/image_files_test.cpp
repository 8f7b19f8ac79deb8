// Files as other programs write them (tests/fixtures/images, made by
// scripts/make-image-fixtures): every one decodes on every road to the
// pixels stored beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/imageio/image_io.h"
#include "support/image_fixtures.h"

namespace io = plat::imageio;
namespace fs = std::filesystem;

namespace {

struct Decoded {
  uint32_t width = 0, height = 0;
  int bytes = 1;
  std::vector<uint8_t> data;
  io::ImageInfo info;
};

int Read(const std::string& path, int bytes, bool straight, Decoded* out) {
  io::TargetFactory f = [&](const io::ImageInfo& i, io::PixelTarget* t) {
    out->width = i.width;
    out->height = i.height;
    out->bytes = bytes;
    out->data.assign(size_t{i.width} * i.height * 4u * static_cast<size_t>(bytes), 0);
    t->base = out->data.data();
    t->rowBytes = size_t{i.width} * 4u * static_cast<size_t>(bytes);
    t->bytesPerComponent = bytes;
    return true;
  };
  return io::ReadImage(path, f, &out->info, straight);
}

// Component i of a decoded image at 8 bits, rounded as the readers round.
int At8(const Decoded& d, size_t i) {
  if (d.bytes == 1) return d.data[i];
  uint16_t v;
  std::memcpy(&v, &d.data[2 * i], 2);
  return static_cast<int>((uint32_t{v} * 255u + 32767u) / 65535u);
}

// Lab without a named white is D50-relative (Adobe's reading of TIFF Lab,
// and libtiff's); libvips takes its own D65. Both give white and neutral
// greys alike, saturated colours part: only near-neutral pixels compare.
bool NeutralOnly(const std::string& name) { return name.find("lab") != std::string::npos; }

// Colours stored multiplied by a small alpha hold few levels: they compare
// multiplied again, as they were stored.
bool Associated(const std::string& name) { return name.find("associated") != std::string::npos; }

// A colour component against the expected one, by the file's kind.
int Diff(const std::string& name, int got, int want, int alpha) {
  if (Associated(name)) return std::abs((got * alpha + 127) / 255 - (want * alpha + 127) / 255) - 1;
  return std::abs(got - want);
}

bool Skipped(const std::string& name, const std::vector<uint8_t>& want, size_t p) {
  if (!NeutralOnly(name)) return false;
  const int lo = std::min({want[p], want[p + 1], want[p + 2]});
  const int hi = std::max({want[p], want[p + 1], want[p + 2]});
  return hi - lo > 6;
}

std::vector<fs::path> Fixtures() {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(std::string(VMK_FIXTURES_DIR) + "/images"))
    if (e.path().extension() != ".rgba") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(ImageFiles, EveryFixtureDecodesAsExpectedOnEveryRoad) {
  const std::vector<fs::path> files = Fixtures();
  ASSERT_GE(files.size(), 30u);
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    fs::path dump = file;
    dump.replace_extension(".rgba");
    const std::vector<uint8_t> want = vmktest::ReadBytes(dump.string());
    const int tol = NeutralOnly(name) ? 4 : 0;

    // The importer's road: alpha, red, green, blue, straight.
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> argb;
    ASSERT_EQ(io::DecodeARGB(file.string(), &w, &h, &argb), io::kOk);
    ASSERT_EQ(want.size(), size_t{w} * h * 4u);
    int worst = 0;
    for (size_t p = 0; p < want.size(); p += 4) {
      if (Skipped(name, want, p)) continue;
      for (int c = 0; c < 4; ++c)
        worst = std::max(worst, Diff(name, argb[p + (c + 1) % 4], want[p + c], want[p + 3]));
    }
    EXPECT_LE(worst, tol) << "DecodeARGB";

    // The session's road at 8 bits (drawn over black) and 16 bits (straight).
    Decoded d8, d16;
    ASSERT_EQ(Read(file.string(), 1, false, &d8), io::kOk);
    ASSERT_EQ(Read(file.string(), 2, true, &d16), io::kOk);
    int worst8 = 0, worst16 = 0;
    for (size_t p = 0; p < want.size(); p += 4) {
      if (Skipped(name, want, p)) continue;
      const int a = want[p + 3];
      for (int c = 0; c < 3; ++c) {
        const int over = (want[p + c] * a + 127) / 255;
        // Drawn over black from the file's own depth: one level of rounding.
        worst8 = std::max(worst8, std::abs(At8(d8, p + c) - over) - (a == 255 ? 0 : 1));
        worst16 = std::max(worst16, Diff(name, At8(d16, p + c), want[p + c], a));
      }
      worst16 = std::max(worst16, std::abs(At8(d16, p + 3) - a));
    }
    EXPECT_LE(worst8, tol) << "8 bits";
    EXPECT_LE(worst16, tol) << "16 bits";
  }
}

TEST(ImageFiles, OrientationAndCameraTagsAreReportedAsTheFilesSay) {
  const std::string dir = std::string(VMK_FIXTURES_DIR) + "/images/";
  for (const char* name : {"t-rgb8-orientation3.tif", "t-palette8-orientation3.tif",
                           "t-rgb8-exif.tif", "p-rgb8-exif-pil.png", "j-orientation6.jpg"}) {
    SCOPED_TRACE(name);
    io::ImageInfo info;
    ASSERT_EQ(io::ReadInfo(dir + name, &info), io::kOk);
    const bool three = std::string(name).find("orientation3") != std::string::npos;
    EXPECT_EQ(info.properties.orientation, three ? 3 : 6);
    if (!three) {
      const std::string exif(info.properties.exif.begin(), info.properties.exif.end());
      EXPECT_NE(exif.find("TestMake"), std::string::npos);
      EXPECT_NE(exif.find("TestModel"), std::string::npos);
    }
  }
  io::ImageInfo info;
  ASSERT_EQ(io::ReadInfo(dir + "j-icc-im.jpg", &info), io::kOk);
  EXPECT_GT(info.properties.iccProfile.size(), 128u);
}
