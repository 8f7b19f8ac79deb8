#include "platform/imageio/image_io.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/image_fixtures.h"
#include "support/session.h"

namespace io = plat::imageio;
using vmktest::RawImage;

namespace {

// Reads a file into a contiguous four-component image at `bytes` per
// component (0: the file's own depth).
int Load(const std::string& path, int bytes, RawImage* out, io::ImageInfo* info = nullptr,
         bool straight = false, bool* factoryCalled = nullptr) {
  io::ImageInfo local;
  io::TargetFactory f = [&](const io::ImageInfo& i, io::PixelTarget* t) {
    if (factoryCalled != nullptr) *factoryCalled = true;
    out->width = i.width;
    out->height = i.height;
    out->bytes = bytes != 0 ? bytes : (i.bitsPerComponent / 8);
    out->data.assign(out->rowBytes() * i.height, 0xEE);
    t->base = out->data.data();
    t->rowBytes = out->rowBytes();
    t->bytesPerComponent = out->bytes;
    return true;
  };
  const int st = io::ReadImage(path, f, info != nullptr ? info : &local, straight);
  return st;
}

template <typename T>
T At(const RawImage& im, uint32_t x, uint32_t y, int c) {
  T v;
  std::memcpy(&v, im.row(y) + (x * 4u + static_cast<uint32_t>(c)) * sizeof(T), sizeof(T));
  return v;
}

// Colour components of two images equal exactly; the fourth is opaque.
template <typename T>
void ExpectSameColours(const RawImage& a, const RawImage& b, T opaque) {
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  for (uint32_t y = 0; y < a.height; ++y)
    for (uint32_t x = 0; x < a.width; ++x) {
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(At<T>(a, x, y, c), At<T>(b, x, y, c)) << x << "," << y << " c" << c;
      ASSERT_EQ(At<T>(b, x, y, 3), opaque);
    }
}

void WriteTiffWith(const std::string& path, uint32_t w, uint32_t h, uint16_t spp, uint16_t bps,
                   uint16_t photometric, uint16_t planar, bool tiled, uint16_t compression,
                   const std::function<uint32_t(uint32_t x, uint32_t y, uint16_t s)>& sample,
                   const uint16_t* colormap = nullptr, uint16_t extraSample = 0) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  if (extraSample != 0) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extraSample);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spp);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bps);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (colormap != nullptr)
    TIFFSetField(t, TIFFTAG_COLORMAP, colormap, colormap + 256, colormap + 512);
  const int bytes = bps / 8;
  auto put = [&](uint8_t* dst, uint32_t v) {
    if (bytes == 1) {
      *dst = static_cast<uint8_t>(v);
    } else {
      const auto s = static_cast<uint16_t>(v);
      std::memcpy(dst, &s, 2);
    }
  };
  const uint16_t planes = planar == PLANARCONFIG_SEPARATE ? spp : 1;
  const uint32_t per = planar == PLANARCONFIG_SEPARATE ? 1 : spp;
  if (tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    std::vector<uint8_t> tile(16 * 16 * per * static_cast<uint32_t>(bytes), 0);
    for (uint16_t p = 0; p < planes; ++p)
      for (uint32_t ty = 0; ty < h; ty += 16)
        for (uint32_t tx = 0; tx < w; tx += 16) {
          std::fill(tile.begin(), tile.end(), 0);
          for (uint32_t y = ty; y < std::min(h, ty + 16); ++y)
            for (uint32_t x = tx; x < std::min(w, tx + 16); ++x)
              for (uint32_t s = 0; s < per; ++s)
                put(&tile[(((y - ty) * 16 + (x - tx)) * per + s) * static_cast<uint32_t>(bytes)],
                    sample(x, y, static_cast<uint16_t>(planes > 1 ? p : s)));
          ASSERT_GE(TIFFWriteTile(t, tile.data(), tx, ty, 0, p), 0);
        }
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 3);
    std::vector<uint8_t> row(w * per * static_cast<uint32_t>(bytes));
    for (uint16_t p = 0; p < planes; ++p)
      for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x)
          for (uint32_t s = 0; s < per; ++s)
            put(&row[(x * per + s) * static_cast<uint32_t>(bytes)],
                sample(x, y, static_cast<uint16_t>(planes > 1 ? p : s)));
        ASSERT_EQ(TIFFWriteScanline(t, row.data(), y, p), 1);
      }
  }
  TIFFClose(t);
}

class ImageIo : public ::testing::Test {
 protected:
  vmktest::TempDir dir_;
};

}  // namespace

// --- Round trips ---------------------------------------------------------

TEST_F(ImageIo, TiffAndPngKeepEveryDepthExactly) {
  struct Case {
    const char* type;
    int bytes;
  } cases[] = {{io::kTypeTIFF, 1}, {io::kTypeTIFF, 2}, {io::kTypeTIFF, 4},
               {io::kTypePNG, 1},  {io::kTypePNG, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.bytes));
    const RawImage src = vmktest::PatternImage(37, 11, c.bytes);
    const std::string path = dir_.file("round");
    vmktest::WriteImageFile(path, c.type, src);
    RawImage back;
    io::ImageInfo info;
    ASSERT_EQ(Load(path, 0, &back, &info), io::kOk);
    EXPECT_EQ(info.type, c.type);
    EXPECT_EQ(info.bitsPerComponent, c.bytes * 8);
    EXPECT_EQ(info.isFloat, c.bytes == 4);
    EXPECT_FALSE(info.hasAlpha);  // written without alpha
    if (c.bytes == 1) ExpectSameColours<uint8_t>(src, back, 255);
    if (c.bytes == 2) ExpectSameColours<uint16_t>(src, back, 65535);
    if (c.bytes == 4) ExpectSameColours<float>(src, back, 1.0f);
  }
}

// Written files hold several rows a strip; images of many strips, the last
// one short, read back exactly, with as many strips as their rows need (the
// last case runs past the megabyte after which the writer asks the disk to
// start on what it has).
TEST_F(ImageIo, TiffOfManyStripsKeepsEverySample) {
  struct Case {
    uint32_t w, h;
    int bytes;
  } cases[] = {{3000, 30, 2}, {1000, 300, 1}, {700, 50, 4}, {901, 333, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " " + std::to_string(c.bytes));
    const RawImage src = vmktest::PatternImage(c.w, c.h, c.bytes);
    const std::string path = dir_.file("strips.tif");
    vmktest::WriteImageFile(path, io::kTypeTIFF, src);
    TIFF* t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    const uint32_t strips = TIFFNumberOfStrips(t);
    TIFFClose(t);
    EXPECT_GT(strips, 1u);
    EXPECT_LT(strips, c.h);
    RawImage back;
    ASSERT_EQ(Load(path, 0, &back), io::kOk);
    if (c.bytes == 1) ExpectSameColours<uint8_t>(src, back, 255);
    if (c.bytes == 2) ExpectSameColours<uint16_t>(src, back, 65535);
    if (c.bytes == 4) ExpectSameColours<float>(src, back, 1.0f);
  }
}

TEST_F(ImageIo, DepthChangesRoundToNearest) {
  RawImage src = vmktest::PatternImage(4, 1, 2);
  const uint16_t values[4] = {0, 128, 32896, 65535};  // 8-bit 0, 0 (128/257 < .5), 128, 255
  for (uint32_t x = 0; x < 4; ++x)
    for (int c = 0; c < 3; ++c) std::memcpy(src.row(0) + (x * 4 + c) * 2, &values[x], 2);
  const std::string path = dir_.file("d.tif");
  vmktest::WriteImageFile(path, io::kTypeTIFF, src);
  RawImage b8, bf;
  ASSERT_EQ(Load(path, 1, &b8), io::kOk);
  EXPECT_EQ(At<uint8_t>(b8, 0, 0, 0), 0);
  EXPECT_EQ(At<uint8_t>(b8, 1, 0, 0), 0);
  EXPECT_EQ(At<uint8_t>(b8, 2, 0, 0), 128);
  EXPECT_EQ(At<uint8_t>(b8, 3, 0, 1), 255);
  ASSERT_EQ(Load(path, 4, &bf), io::kOk);
  EXPECT_FLOAT_EQ(At<float>(bf, 3, 0, 2), 1.0f);
  // An 8-bit source into 16 bits is v x 257, so white stays white.
  const RawImage w8 = vmktest::SolidImage(2, 2, 255, 1, 0);
  vmktest::WriteImageFile(path, io::kTypePNG, w8);
  RawImage b16;
  ASSERT_EQ(Load(path, 2, &b16), io::kOk);
  EXPECT_EQ(At<uint16_t>(b16, 1, 1, 0), 65535);
  EXPECT_EQ(At<uint16_t>(b16, 1, 1, 1), 257);
}

std::string ExifValue(const std::vector<uint8_t>& b, uint16_t tag, bool sub);

TEST_F(ImageIo, PropertiesSurviveAWriteInEveryFormat) {
  io::Properties props;
  props.hasResolution = true;
  props.resolutionX = 300.0;
  props.resolutionY = 150.0;
  props.iccProfile = vmktest::TestIccProfile();
  props.exif = vmktest::TestExif();
  for (const char* type : {io::kTypeTIFF, io::kTypePNG, io::kTypeJPEG}) {
    SCOPED_TRACE(type);
    const std::string path = dir_.file("props");
    vmktest::WriteImageFile(path, type, vmktest::SolidImage(20, 10, 200, 100, 50), props);
    io::ImageInfo info;
    ASSERT_EQ(io::ReadInfo(path, &info), io::kOk);
    EXPECT_EQ(info.width, 20u);
    EXPECT_EQ(info.height, 10u);
    ASSERT_TRUE(info.properties.hasResolution);
    EXPECT_NEAR(info.properties.resolutionX, 300.0, 0.01);
    EXPECT_NEAR(info.properties.resolutionY, 150.0, 0.02);  // PNG keeps whole pixels per metre
    EXPECT_EQ(info.properties.iccProfile, props.iccProfile);
    // A TIFF rebuilds the block from its directories, with its orientation.
    if (std::string(type) != io::kTypeTIFF) {
      EXPECT_EQ(info.properties.exif, props.exif);
    }
    EXPECT_EQ(ExifValue(info.properties.exif, 0x0131, false), ExifValue(props.exif, 0x0131, false));
  }
}

TEST_F(ImageIo, JpegReadsBackCloseToWhatWasWritten) {
  const std::string path = dir_.file("j.jpg");
  vmktest::WriteImageFile(path, io::kTypeJPEG, vmktest::SolidImage(16, 16, 200, 100, 50));
  RawImage back;
  io::ImageInfo info;
  ASSERT_EQ(Load(path, 0, &back, &info), io::kOk);
  EXPECT_EQ(info.type, io::kTypeJPEG);
  EXPECT_EQ(info.bitsPerComponent, 8);
  EXPECT_NEAR(At<uint8_t>(back, 5, 5, 0), 200, 3);
  EXPECT_NEAR(At<uint8_t>(back, 5, 5, 1), 100, 3);
  EXPECT_NEAR(At<uint8_t>(back, 5, 5, 2), 50, 3);
  EXPECT_EQ(At<uint8_t>(back, 5, 5, 3), 255);
}

TEST_F(ImageIo, JpegWriteBackKeepsTheSourcesColourSampling) {
  // Saturated red and blue columns: at 4:2:0 their chroma is averaged away.
  RawImage stripes = vmktest::SolidImage(16, 16, 255, 0, 0);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 1; x < 16; x += 2) {
      stripes.row(y)[4 * x] = 0;
      stripes.row(y)[4 * x + 2] = 255;
    }
  const std::string path = dir_.file("s.jpg");
  for (const int sampling : {0, 1}) {
    io::Properties props;
    props.jpegSamplingH = props.jpegSamplingV = sampling;
    vmktest::WriteImageFile(path, io::kTypeJPEG, stripes, props);
    RawImage back;
    io::ImageInfo info;
    ASSERT_EQ(Load(path, 1, &back, &info), io::kOk);
    EXPECT_EQ(info.properties.jpegSamplingH, sampling == 0 ? 2 : 1);
    EXPECT_EQ(info.properties.jpegSamplingV, sampling == 0 ? 2 : 1);
    int worst = 0;
    for (uint32_t x = 0; x < 16; ++x)
      worst = std::max(worst, std::abs(At<uint8_t>(back, x, 8, 0) - stripes.row(8)[4 * x]));
    EXPECT_EQ(worst < 40, sampling == 1) << worst;
  }
}

// 8-bit pixels go to and come from libjpeg four samples a pixel; deeper ones
// through packed RGB rows. Both roads give the same file and the same samples.
TEST_F(ImageIo, JpegRoadsOfEveryDepthGiveTheSameFileAndSamples) {
  std::vector<char> files[2];
  for (const int sampling : {0, 1}) {
    io::Properties props;
    props.jpegSamplingH = props.jpegSamplingV = sampling;
    const RawImage eight = vmktest::PatternImage(37, 19, 1);
    RawImage sixteen = eight;
    sixteen.bytes = 2;
    sixteen.data.assign(sixteen.rowBytes() * sixteen.height, 0);
    for (size_t i = 0; i < eight.data.size(); ++i) {
      const auto v = static_cast<uint16_t>(eight.data[i] * 257);
      std::memcpy(&sixteen.data[2 * i], &v, 2);
    }
    for (int k = 0; k < 2; ++k) {
      const std::string path = dir_.file(k == 0 ? "e.jpg" : "s.jpg");
      vmktest::WriteImageFile(path, io::kTypeJPEG, k == 0 ? eight : sixteen, props);
      std::ifstream in(path, std::ios::binary);
      files[k].assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_FALSE(files[0].empty());
    EXPECT_EQ(files[0], files[1]) << "sampling " << sampling;
    RawImage back8, back16;
    ASSERT_EQ(Load(dir_.file("e.jpg"), 1, &back8), io::kOk);
    ASSERT_EQ(Load(dir_.file("e.jpg"), 2, &back16), io::kOk);
    for (uint32_t y = 0; y < back8.height; ++y)
      for (uint32_t x = 0; x < back8.width; ++x) {
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(At<uint16_t>(back16, x, y, c), At<uint8_t>(back8, x, y, c) * 257)
              << x << "," << y << " c" << c;
        ASSERT_EQ(At<uint8_t>(back8, x, y, 3), 255);
      }
  }
}

// --- Layouts the writers do not make ------------------------------------

TEST_F(ImageIo, GreyAndAlphaAreSpreadAndDrawnOverBlack) {
  const std::string path = dir_.file("ga.png");
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = 2;
  img.height = 1;
  img.format = PNG_FORMAT_GA;
  const uint8_t ga[4] = {200, 128, 10, 255};
  ASSERT_NE(png_image_write_to_file(&img, path.c_str(), 0, ga, 0, nullptr), 0);

  RawImage over, straight;
  io::ImageInfo info;
  ASSERT_EQ(Load(path, 1, &over, &info), io::kOk);
  EXPECT_TRUE(info.hasAlpha);
  // 200 x 128 / 255 = 100.4 -> 100, then opaque.
  for (int c = 0; c < 3; ++c) EXPECT_EQ(At<uint8_t>(over, 0, 0, c), 100);
  EXPECT_EQ(At<uint8_t>(over, 0, 0, 3), 255);
  EXPECT_EQ(At<uint8_t>(over, 1, 0, 2), 10);
  ASSERT_EQ(Load(path, 1, &straight, nullptr, true), io::kOk);
  EXPECT_EQ(At<uint8_t>(straight, 0, 0, 1), 200);
  EXPECT_EQ(At<uint8_t>(straight, 0, 0, 3), 128);

  uint32_t w = 0, h = 0;
  std::vector<uint8_t> argb;
  ASSERT_EQ(io::DecodeARGB(path, &w, &h, &argb), io::kOk);
  EXPECT_EQ(w, 2u);
  EXPECT_EQ(h, 1u);
  EXPECT_EQ(argb, (std::vector<uint8_t>{128, 200, 200, 200, 255, 10, 10, 10}));
}

TEST_F(ImageIo, TiffStripsTilesPlanesAndWhiteIsZeroAllRead) {
  auto rgb16 = [](uint32_t x, uint32_t y, uint16_t s) { return x * 1000 + y * 10 + s; };
  struct Case {
    const char* name;
    uint16_t planar;
    bool tiled;
    uint16_t compression;
  } cases[] = {{"strips-separate-lzw", PLANARCONFIG_SEPARATE, false, COMPRESSION_LZW},
               {"tiles-contig", PLANARCONFIG_CONTIG, true, COMPRESSION_NONE},
               {"tiles-separate-deflate", PLANARCONFIG_SEPARATE, true, COMPRESSION_ADOBE_DEFLATE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.file(std::string(c.name) + ".tif");
    WriteTiffWith(path, 21, 19, 3, 16, PHOTOMETRIC_RGB, c.planar, c.tiled, c.compression, rgb16);
    RawImage im;
    ASSERT_EQ(Load(path, 2, &im), io::kOk);
    for (uint32_t y = 0; y < 19; ++y)
      for (uint32_t x = 0; x < 21; ++x)
        for (uint16_t s = 0; s < 3; ++s) ASSERT_EQ(At<uint16_t>(im, x, y, s), rgb16(x, y, s));
  }
  const std::string white = dir_.file("white.tif");
  WriteTiffWith(white, 3, 2, 1, 8, PHOTOMETRIC_MINISWHITE, PLANARCONFIG_CONTIG, false,
                COMPRESSION_NONE, [](uint32_t x, uint32_t, uint16_t) { return x * 100; });
  RawImage g;
  ASSERT_EQ(Load(white, 1, &g), io::kOk);
  EXPECT_EQ(At<uint8_t>(g, 0, 1, 0), 255);
  EXPECT_EQ(At<uint8_t>(g, 2, 1, 2), 55);

  uint16_t map[768] = {};
  map[5] = 65535;          // red of entry 5
  map[256 + 5] = 0;        // green
  map[512 + 5] = 32896;    // blue
  const std::string pal = dir_.file("pal.tif");
  WriteTiffWith(pal, 4, 4, 1, 8, PHOTOMETRIC_PALETTE, PLANARCONFIG_CONTIG, false,
                COMPRESSION_NONE, [](uint32_t, uint32_t, uint16_t) { return 5u; }, map);
  RawImage p;
  io::ImageInfo info;
  ASSERT_EQ(Load(pal, 0, &p, &info), io::kOk);
  EXPECT_EQ(info.bitsPerComponent, 8);
  EXPECT_EQ(At<uint8_t>(p, 3, 3, 0), 255);
  EXPECT_EQ(At<uint8_t>(p, 3, 3, 1), 0);
  EXPECT_EQ(At<uint8_t>(p, 3, 3, 2), 128);
}

// --- Damaged, truncated and oversized files ------------------------------

TEST_F(ImageIo, DamagedAndTruncatedFilesGiveClearErrors) {
  const RawImage src = vmktest::PatternImage(64, 64, 1);
  for (const char* type : {io::kTypeTIFF, io::kTypePNG, io::kTypeJPEG}) {
    SCOPED_TRACE(type);
    const std::string good = dir_.file("good");
    vmktest::WriteImageFile(good, type, src);
    const std::vector<uint8_t> bytes = vmktest::ReadBytes(good);

    // Cut in the middle of the pixel data, and just after the magic number.
    for (size_t keep : {bytes.size() / 2, size_t{12}}) {
      const std::string cut = dir_.file("cut");
      vmktest::WriteBytes(cut, {bytes.begin(), bytes.begin() + static_cast<long>(keep)});
      RawImage im;
      std::string msg;
      io::ImageInfo info;
      io::TargetFactory f = [&](const io::ImageInfo& i, io::PixelTarget* t) {
        im.width = i.width;
        im.height = i.height;
        im.data.assign(im.rowBytes() * i.height, 0);
        t->base = im.data.data();
        t->rowBytes = im.rowBytes();
        return true;
      };
      EXPECT_EQ(io::ReadImage(cut, f, &info, false, &msg), io::kErrDamaged) << keep;
      EXPECT_FALSE(msg.empty());
    }
    // Scrambled data after a valid start.
    std::vector<uint8_t> scrambled = bytes;
    for (size_t i = 16; i < scrambled.size(); i += 3) scrambled[i] ^= 0x5A;
    const std::string bad = dir_.file("bad");
    vmktest::WriteBytes(bad, scrambled);
    RawImage im;
    const int st = Load(bad, 1, &im);
    EXPECT_TRUE(st == io::kErrDamaged || st == io::kErrTooLarge || st == io::kErrUnsupported)
        << st;
  }
  const std::string junk = dir_.file("junk.png");
  vmktest::WriteBytes(junk, {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  RawImage im;
  EXPECT_EQ(Load(junk, 1, &im), io::kErrFormat);
  vmktest::WriteBytes(junk, {});
  EXPECT_EQ(Load(junk, 1, &im), io::kErrFormat);
  EXPECT_EQ(Load(dir_.file("missing.png"), 1, &im), io::kErrOpen);
}

TEST_F(ImageIo, HugeDeclaredSizesAreRefusedBeforeAllocation) {
  // PNG: a lone header claiming 100000 x 100000 and one of 60000 x 60000.
  for (uint32_t side : {100000u, 60000u}) {
    std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13};
    std::vector<uint8_t> ihdr = {'I', 'H', 'D', 'R'};
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(side >> s));
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(side >> s));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    const uint32_t crc = vmktest::Crc32(ihdr.data(), ihdr.size());
    f.insert(f.end(), ihdr.begin(), ihdr.end());
    for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(crc >> s));
    // An empty data chunk, so the header is read to its end.
    f.insert(f.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E});
    const std::string path = dir_.file("bomb.png");
    vmktest::WriteBytes(path, f);
    RawImage im;
    bool called = false;
    EXPECT_EQ(Load(path, 1, &im, nullptr, false, &called), io::kErrTooLarge) << side;
    EXPECT_FALSE(called);
  }
  // JPEG: a good file whose frame header is patched to 65000 x 65000.
  const std::string jpg = dir_.file("bomb.jpg");
  vmktest::WriteImageFile(jpg, io::kTypeJPEG, vmktest::SolidImage(8, 8, 1, 2, 3));
  std::vector<uint8_t> j = vmktest::ReadBytes(jpg);
  for (size_t i = 2; i + 9 < j.size(); ++i)
    if (j[i] == 0xFF && j[i + 1] == 0xC0) {
      j[i + 5] = j[i + 7] = 0xFD;
      j[i + 6] = j[i + 8] = 0xE8;
      break;
    }
  vmktest::WriteBytes(jpg, j);
  RawImage im;
  bool called = false;
  EXPECT_EQ(Load(jpg, 1, &im, nullptr, false, &called), io::kErrTooLarge);
  EXPECT_FALSE(called);
  // TIFF: a directory that declares 60000 x 60000 and holds one strip.
  const std::string tif = dir_.file("bomb.tif");
  TIFF* t = TIFFOpen(tif.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 60000u);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 60000u);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1);
  std::vector<uint8_t> row(60000 * 3, 0);
  TIFFWriteScanline(t, row.data(), 0, 0);
  TIFFClose(t);
  called = false;
  EXPECT_EQ(Load(tif, 1, &im, nullptr, false, &called), io::kErrTooLarge);
  EXPECT_FALSE(called);
}

TEST_F(ImageIo, ShortFilesDeclaringLargeImagesAreRefusedBeforeTheirMemoryIsTaken) {
  // 16384 x 16384 is within the limits (2^28 pixels); the files hold no
  // data for it. Each read used to take gigabytes before calling the file
  // damaged.
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"float.tif", vmktest::HeaderOnlyTiff(16384, 16384, 32)},
      {"eight.tif", vmktest::HeaderOnlyTiff(16384, 16384, 8)},
      {"rgb.png", vmktest::HeaderOnlyPng(16384, 16384)},
      {"rgb.jpg", vmktest::HeaderOnlyJpeg(dir_.file("scratch.jpg"), 16384, 16384)}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    ASSERT_LT(bytes.size(), 1024u);
    const std::string path = dir_.file(name);
    vmktest::WriteBytes(path, bytes);
    RawImage im;
    bool called = false;
    EXPECT_EQ(Load(path, 4, &im, nullptr, false, &called), io::kErrDamaged);
    EXPECT_FALSE(called);
    io::ImageInfo info;
    std::string msg;
    EXPECT_EQ(io::ReadInfo(path, &info, &msg), io::kErrDamaged);
    EXPECT_NE(msg.find("cannot hold"), std::string::npos) << msg;
    const uint64_t grown = vmktest::PeakGrowth([&] {
      RawImage again;
      (void)Load(path, 4, &again);
      uint32_t w = 0, h = 0;
      std::vector<uint8_t> argb;
      (void)io::DecodeARGB(path, &w, &h, &argb);
    });
    EXPECT_LT(grown, uint64_t{64} << 20);
  }
  // A metadata chunk that declares 1.7 GB after a good header: libpng only
  // warns that it is over the chunk limit, then takes all of it.
  const std::string exif = dir_.file("exif.png");
  vmktest::WriteImageFile(exif, io::kTypePNG, vmktest::SolidImage(4, 4, 1, 2, 3));
  std::vector<uint8_t> b = vmktest::ReadBytes(exif);
  const uint8_t chunk[8] = {0x69, 0x43, 0x43, 0x50, 'e', 'X', 'I', 'f'};
  b.insert(b.begin() + 33, chunk, chunk + 8);
  vmktest::WriteBytes(exif, b);
  io::ImageInfo info;
  std::string msg;
  EXPECT_EQ(io::ReadInfo(exif, &info, &msg), io::kErrDamaged);
  EXPECT_NE(msg.find("too large"), std::string::npos) << msg;
  EXPECT_LT(vmktest::PeakGrowth([&] { (void)io::ReadInfo(exif, &info); }), uint64_t{64} << 20);
}

TEST_F(ImageIo, HighlyCompressedImagesStillFitTheirCodingsBounds) {
  // A flat picture compresses about as far as each coding goes; it is read.
  const uint32_t w = 1500, h = 1200;
  for (uint16_t compression : {COMPRESSION_PACKBITS, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
    const std::string path = dir_.file("flat.tif");
    WriteTiffWith(path, w, h, 1, 8, PHOTOMETRIC_MINISBLACK, PLANARCONFIG_CONTIG, false, compression,
                  [](uint32_t, uint32_t, uint16_t) { return 0u; });
    RawImage im;
    EXPECT_EQ(Load(path, 1, &im), io::kOk) << compression;
  }
  const std::string png = dir_.file("flat.png");
  vmktest::WriteImageFile(png, io::kTypePNG, vmktest::SolidImage(3000, 2000, 0, 0, 0));
  RawImage im;
  EXPECT_EQ(Load(png, 1, &im), io::kOk);
  const std::string jpg = dir_.file("flat.jpg");
  vmktest::WriteImageFile(jpg, io::kTypeJPEG, vmktest::SolidImage(3000, 2000, 0, 0, 0));
  EXPECT_EQ(Load(jpg, 1, &im), io::kOk);
}

TEST_F(ImageIo, TheColourDecoderReadsBandByBandInTheStoredGrid) {
  // Palette images go through libtiff's RGBA decoder, a strip or tile band
  // at a time; whatever the Orientation tag says, the rows and columns come
  // as stored (as on every other road) and the orientation is reported.
  uint16_t map[768];
  for (int i = 0; i < 256; ++i) {
    map[i] = static_cast<uint16_t>(i * 257);
    map[256 + i] = static_cast<uint16_t>((255 - i) * 257);
    map[512 + i] = static_cast<uint16_t>((i * 7 % 256) * 257);
  }
  for (const bool tiled : {false, true}) {
    const uint32_t w = 37, h = 29;
    const std::string path = dir_.file("palette.tif");
    WriteTiffWith(path, w, h, 1, 8, PHOTOMETRIC_PALETTE, PLANARCONFIG_CONTIG, tiled,
                  COMPRESSION_NONE, [](uint32_t x, uint32_t y, uint16_t) { return x * 5 + y * 3; },
                  map);
    TIFF* t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    std::vector<uint32_t> whole(w * h);
    ASSERT_EQ(TIFFReadRGBAImageOriented(t, w, h, whole.data(), ORIENTATION_TOPLEFT, 1), 1);
    TIFFClose(t);
    for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
      SCOPED_TRACE(std::to_string(tiled) + " " + std::to_string(orientation));
      t = TIFFOpen(path.c_str(), "r+");
      ASSERT_NE(t, nullptr);
      TIFFSetField(t, TIFFTAG_ORIENTATION, orientation);
      TIFFRewriteDirectory(t);
      TIFFClose(t);
      RawImage im;
      io::ImageInfo info;
      ASSERT_EQ(Load(path, 1, &im, &info), io::kOk);
      EXPECT_EQ(info.properties.orientation, orientation);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
          const uint32_t p = whole[y * w + x];
          ASSERT_EQ(At<uint8_t>(im, x, y, 0), TIFFGetR(p)) << x << "," << y;
          ASSERT_EQ(At<uint8_t>(im, x, y, 1), TIFFGetG(p)) << x << "," << y;
          ASSERT_EQ(At<uint8_t>(im, x, y, 2), TIFFGetB(p)) << x << "," << y;
        }
    }
  }
  // A strip that does not decode ends the read as damaged (the whole-image
  // decode went past it and handed out what it had).
  const std::string path = dir_.file("broken.tif");
  WriteTiffWith(path, 37, 29, 1, 8, PHOTOMETRIC_PALETTE, PLANARCONFIG_CONTIG, false,
                COMPRESSION_LZW, [](uint32_t x, uint32_t y, uint16_t) { return x * 5 + y * 3; },
                map);
  TIFF* t = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(t, nullptr);
  const uint64_t at = TIFFGetStrileOffset(t, 4);
  TIFFClose(t);
  std::vector<uint8_t> bytes = vmktest::ReadBytes(path);
  for (size_t i = at; i < at + 8; ++i) bytes[i] = 0xFF;
  vmktest::WriteBytes(path, bytes);
  RawImage im;
  EXPECT_EQ(Load(path, 1, &im), io::kErrDamaged);
}

TEST_F(ImageIo, CmykOfEveryDepthKeepsItsAlphaOnTheGenericRoad) {
  for (const uint16_t bps : {uint16_t{8}, uint16_t{16}})
    for (const bool alpha : {false, true})
      for (const uint16_t planar : {uint16_t{PLANARCONFIG_CONTIG}, uint16_t{PLANARCONFIG_SEPARATE}}) {
        SCOPED_TRACE(std::to_string(bps) + " " + std::to_string(alpha) + " " +
                     std::to_string(planar));
        const uint32_t mx = bps == 8 ? 255 : 65535, w = 11, h = 7;
        auto sample = [mx](uint32_t x, uint32_t y, uint16_t s) {
          return (x * 37 + y * 91 + s * 53) * 613 % (mx + 1);
        };
        const std::string path = dir_.file("cmyk.tif");
        WriteTiffWith(path, w, h, alpha ? 5 : 4, bps, PHOTOMETRIC_SEPARATED, planar, false,
                      COMPRESSION_LZW, sample, nullptr, alpha ? EXTRASAMPLE_UNASSALPHA : 0);
        RawImage im;
        io::ImageInfo info;
        ASSERT_EQ(Load(path, 0, &im, &info, true), io::kOk);
        EXPECT_EQ(info.bitsPerComponent, bps);
        EXPECT_EQ(info.hasAlpha, alpha);
        for (uint32_t y = 0; y < h; ++y)
          for (uint32_t x = 0; x < w; ++x)
            for (uint16_t c = 0; c < 4; ++c) {
              const uint64_t want = c < 3 ? uint64_t{mx - sample(x, y, c)} *
                                                (mx - sample(x, y, 3)) / mx
                                          : (alpha ? sample(x, y, 4) : mx);
              const uint32_t got =
                  bps == 8 ? At<uint8_t>(im, x, y, c) : At<uint16_t>(im, x, y, c);
              ASSERT_EQ(got, want) << x << "," << y << " c" << c;
            }
        if (bps == 8 && alpha) {
          uint32_t aw = 0, ah = 0;
          std::vector<uint8_t> argb;
          ASSERT_EQ(io::DecodeARGB(path, &aw, &ah, &argb), io::kOk);
          EXPECT_EQ(argb[0], sample(0, 0, 4));
          EXPECT_EQ(argb[4 * 5 + 0], sample(5, 0, 4));
        }
      }
}

TEST_F(ImageIo, AssociatedAlphaGivesStraightColoursWhenAsked) {
  // A ramp of alpha with colours stored multiplied by it.
  const std::string path = dir_.file("assoc.tif");
  auto straight = [](uint32_t x, uint32_t y, uint16_t s) -> uint32_t {
    return s == 0 ? 200 : (s == 1 ? 100 + y * 10 : 17 * x % 256);
  };
  auto alphaAt = [](uint32_t x, uint32_t) { return x * 16 + 15; };
  WriteTiffWith(path, 16, 4, 4, 8, PHOTOMETRIC_RGB, PLANARCONFIG_CONTIG, false, COMPRESSION_NONE,
                [&](uint32_t x, uint32_t y, uint16_t s) -> uint32_t {
                  const uint32_t a = alphaAt(x, y);
                  return s == 3 ? a : (straight(x, y, s) * a + 127) / 255;
                },
                nullptr, EXTRASAMPLE_ASSOCALPHA);
  RawImage drawn, free;
  ASSERT_EQ(Load(path, 1, &drawn), io::kOk);
  ASSERT_EQ(Load(path, 1, &free, nullptr, true), io::kOk);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 16; ++x) {
      const uint32_t a = alphaAt(x, y);
      EXPECT_EQ(At<uint8_t>(free, x, y, 3), a);
      for (uint16_t c = 0; c < 3; ++c) {
        const uint32_t stored = (straight(x, y, c) * a + 127) / 255;
        EXPECT_EQ(At<uint8_t>(drawn, x, y, c), stored);
        // Undone to within the rounding the multiplication lost.
        EXPECT_NEAR(At<uint8_t>(free, x, y, c), straight(x, y, c), 255.0 / a / 2 + 0.5)
            << x << "," << y << " c" << c;
      }
    }
}

TEST_F(ImageIo, RgbaTiffKeepsStraightColoursAndAlphaExactly) {
  // Colours under every alpha, transparent pixels included: a generator's
  // tile must come back exactly through the straight road and the importer.
  RawImage im;
  im.width = 16;
  im.height = 5;
  im.data.resize(im.rowBytes() * im.height);
  for (uint32_t y = 0; y < im.height; ++y)
    for (uint32_t x = 0; x < im.width; ++x) {
      uint8_t* p = im.row(y) + x * 4u;
      p[0] = static_cast<uint8_t>(x * 16 + y);
      p[1] = static_cast<uint8_t>(250 - x * 7);
      p[2] = static_cast<uint8_t>(y * 50);
      p[3] = static_cast<uint8_t>(x * 17);  // 0 .. 255
    }
  const std::string path = dir_.file("rgba.tif");
  ASSERT_EQ(io::WriteRgbaTiff(path, im.source()), io::kOk);
  RawImage back;
  io::ImageInfo info;
  ASSERT_EQ(Load(path, 1, &back, &info, true), io::kOk);
  EXPECT_TRUE(info.hasAlpha);
  EXPECT_EQ(back.data, im.data);
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> argb;
  ASSERT_EQ(io::DecodeARGB(path, &w, &h, &argb), io::kOk);
  ASSERT_EQ(argb.size(), im.data.size());
  for (size_t i = 0; i < argb.size(); i += 4) {
    EXPECT_EQ(argb[i], im.data[i + 3]);
    EXPECT_EQ(argb[i + 1], im.data[i]);
  }
  // Deeper samples are refused and the file stays as written.
  const std::vector<uint8_t> before = vmktest::ReadBytes(path);
  EXPECT_EQ(io::WriteRgbaTiff(path, vmktest::PatternImage(4, 4, 2).source()), io::kErrArgument);
  EXPECT_EQ(io::WriteRgbaTiff(path, io::PixelSource{}), io::kErrArgument);
  EXPECT_EQ(vmktest::ReadBytes(path), before);
}

// Pixels whose properties say they carry an alpha: TIFF (every depth) and
// PNG (8 and 16 bits) write the fourth component as straight alpha and a
// straight read gives back every sample, colours under a clear pixel too;
// the properties read back say so. A read drawn over black says not, so its
// opaque pixels are written without alpha as before; JPEG has no alpha.
TEST_F(ImageIo, KeptAlphaIsWrittenAndReadBackExactly) {
  struct Case {
    const char* type;
    int bytes;
  } cases[] = {{io::kTypeTIFF, 1}, {io::kTypeTIFF, 2}, {io::kTypeTIFF, 4},
               {io::kTypePNG, 1},  {io::kTypePNG, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.bytes));
    RawImage src = vmktest::PatternImage(37, 11, c.bytes);
    // A clear column: its colours are kept as they are, not blackened.
    for (uint32_t y = 0; y < src.height; ++y) std::memset(src.row(y) + 3 * 4 * c.bytes + 3 * c.bytes, 0, c.bytes);
    io::Properties props;
    props.hasAlpha = true;
    props.iccProfile = vmktest::TestIccProfile();
    const std::string path = dir_.file("alpha");
    vmktest::WriteImageFile(path, c.type, src, props);
    RawImage back;
    io::ImageInfo info;
    ASSERT_EQ(Load(path, 0, &back, &info, true), io::kOk);
    EXPECT_TRUE(info.hasAlpha);
    EXPECT_TRUE(info.properties.hasAlpha);
    EXPECT_EQ(info.properties.iccProfile, props.iccProfile);
    EXPECT_EQ(info.bitsPerComponent, c.bytes * 8);
    ASSERT_EQ(back.data, src.data);
    // Written again from what was read: the same samples.
    const std::string again = dir_.file("again");
    vmktest::WriteImageFile(again, c.type, back, info.properties);
    RawImage twice;
    ASSERT_EQ(Load(again, 0, &twice, nullptr, true), io::kOk);
    EXPECT_EQ(twice.data, src.data);
    // Drawn over black: opaque pixels, properties without alpha, and so an
    // opaque file when written back.
    io::ImageInfo over;
    ASSERT_EQ(Load(path, 0, &back, &over, false), io::kOk);
    EXPECT_TRUE(over.hasAlpha);
    EXPECT_FALSE(over.properties.hasAlpha);
    vmktest::WriteImageFile(again, c.type, back, over.properties);
    ASSERT_EQ(io::ReadInfo(again, &info), io::kOk);
    EXPECT_FALSE(info.hasAlpha);
  }
  io::Properties props;
  props.hasAlpha = true;
  const std::string jpeg = dir_.file("alpha.jpg");
  vmktest::WriteImageFile(jpeg, io::kTypeJPEG, vmktest::PatternImage(8, 8, 1), props);
  io::ImageInfo info;
  ASSERT_EQ(io::ReadInfo(jpeg, &info), io::kOk);
  EXPECT_FALSE(info.hasAlpha);
}

TEST_F(ImageIo, LabIsAdaptedToSrgbWhite) {
  for (const uint16_t bps : {uint16_t{8}, uint16_t{16}}) {
    SCOPED_TRACE(bps);
    const uint32_t mx = bps == 8 ? 255 : 65535;
    // Lightness across, neutral; the last column is a saturated red.
    const std::string path = dir_.file("lab.tif");
    WriteTiffWith(path, 5, 2, 3, bps, PHOTOMETRIC_CIELAB, PLANARCONFIG_CONTIG, false,
                  COMPRESSION_NONE, [mx, bps](uint32_t x, uint32_t, uint16_t s) -> uint32_t {
                    if (x == 4) return s == 0 ? mx / 2 : (s == 1 ? (bps == 8 ? 70u : 70u * 256u) : 0u);
                    return s == 0 ? mx * x / 3 : 0u;
                  });
    RawImage im;
    ASSERT_EQ(Load(path, 1, &im), io::kOk);
    for (uint16_t c = 0; c < 3; ++c) {
      EXPECT_EQ(At<uint8_t>(im, 3, 0, c), 255);  // paper white is white
      EXPECT_EQ(At<uint8_t>(im, 0, 0, c), 0);
      EXPECT_NEAR(At<uint8_t>(im, 1, 1, c), At<uint8_t>(im, 1, 1, 0), 1);  // greys stay grey
    }
    EXPECT_GT(At<uint8_t>(im, 4, 0, 0), 200);
    EXPECT_LT(At<uint8_t>(im, 4, 0, 1), 60);
  }
}

TEST(ImageIoOrientation, EveryOrientationTurnsTheStoredGridUpright) {
  // Stored 3 x 2, pixels numbered 0..5 row by row; the upright grids as the
  // eight orientations show them.
  const std::vector<std::vector<uint8_t>> upright = {
      {0, 1, 2, 3, 4, 5}, {2, 1, 0, 5, 4, 3}, {5, 4, 3, 2, 1, 0}, {3, 4, 5, 0, 1, 2},
      {0, 3, 1, 4, 2, 5}, {3, 0, 4, 1, 5, 2}, {5, 2, 4, 1, 3, 0}, {2, 5, 1, 4, 0, 3}};
  std::vector<uint8_t> stored(6 * 4);
  for (uint8_t i = 0; i < 6; ++i) stored[4u * i] = i;
  io::PixelSource src{stored.data(), 12, 3, 2, 1};
  for (int o = 1; o <= 8; ++o) {
    std::vector<uint8_t> out;
    uint32_t w = 0, h = 0;
    ASSERT_EQ(io::OrientPixels(src, o, &out, &w, &h), io::kOk);
    EXPECT_EQ(w, o >= 5 ? 2u : 3u);
    EXPECT_EQ(h, o >= 5 ? 3u : 2u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(out[4 * i], upright[o - 1][i]) << o << " @" << i;
  }
}

// --- Writes never destroy the old file -----------------------------------

TEST_F(ImageIo, AFailedWriteKeepsTheOldFileAndLeavesNoScraps) {
  const std::string path = dir_.file("keep.tif");
  vmktest::WriteImageFile(path, io::kTypeTIFF, vmktest::SolidImage(4, 4, 9, 9, 9));
  const std::vector<uint8_t> before = vmktest::ReadBytes(path);

  // A file-size limit makes the write fail half way.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string msg;
  const RawImage big = vmktest::PatternImage(200, 200, 2);
  const int st = io::WriteImage(path, io::kTypeTIFF, {}, big.source(), &msg);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(st, io::kErrWrite);
  EXPECT_FALSE(msg.empty());
  EXPECT_EQ(vmktest::ReadBytes(path), before);

  EXPECT_EQ(io::WriteImage(dir_.file("no/such/folder.png"), io::kTypePNG, {}, big.source()),
            io::kErrWrite);
  EXPECT_EQ(io::WriteImage(path, "public.gif", {}, big.source()), io::kErrArgument);
  EXPECT_EQ(io::WriteImage(path, io::kTypePNG, {}, io::PixelSource{}), io::kErrArgument);
  EXPECT_EQ(vmktest::ReadBytes(path), before);
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

TEST(ImageIoFormats, TypesAreKnownByContentAndExtensionsListed) {
  vmktest::TempDir dir;
  const std::string p = dir.file("looks-like.jpg");  // the name does not decide
  vmktest::WriteImageFile(p, io::kTypePNG, vmktest::SolidImage(1, 1, 0, 0, 0));
  EXPECT_EQ(io::SniffType(p), io::kTypePNG);
  uint32_t w = 0, h = 0;
  EXPECT_EQ(io::NaturalSize(p, &w, &h), io::kOk);
  EXPECT_EQ(w, 1u);
  EXPECT_EQ(io::ReadableExtensions(),
            (std::vector<std::string>{".tif", ".tiff", ".png", ".jpg", ".jpeg"}));
}

// An EXIF block as cameras write it, in either byte order: Make, Model and
// Orientation in the first directory, which points at the sub-directory
// with the exposure (1/250) and the date taken.
std::vector<uint8_t> CameraExif(bool le, uint16_t orientation) {
  std::vector<uint8_t> b;
  auto u16 = [&](uint32_t v) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * (le ? i : 1 - i))));
  };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * (le ? i : 3 - i))));
  };
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    u16(tag), u16(type), u32(count);
    if (type == 3 && count == 1) u16(value), u16(0);
    else u32(value);
  };
  b = {le ? uint8_t{'I'} : uint8_t{'M'}, le ? uint8_t{'I'} : uint8_t{'M'}};
  u16(42), u32(8);
  // First directory at 8: four entries, 54 bytes; "Canon\0" at 62, "EOS 5D\0" at 68.
  u16(4);
  entry(0x010F, 2, 6, 62);
  entry(0x0110, 2, 7, 68);
  entry(0x0112, 3, 1, orientation);
  entry(0x8769, 4, 1, 76);
  u32(0);
  for (const char c : std::string("Canon", 6)) b.push_back(static_cast<uint8_t>(c));
  for (const char c : std::string("EOS 5D", 7)) b.push_back(static_cast<uint8_t>(c));
  b.push_back(0);
  // Sub-directory at 76: two entries, 30 bytes; the rational at 106, the date at 114.
  u16(2);
  entry(0x829A, 5, 1, 106);
  entry(0x9003, 2, 20, 114);
  u32(0);
  u32(1), u32(250);
  for (const char c : std::string("2024:01:02 03:04:05", 20)) b.push_back(static_cast<uint8_t>(c));
  return b;
}

// A plain walk of a block: the value bytes of `tag` in the first directory
// (sub = false) or the EXIF sub-directory, texts without their terminator.
std::string ExifValue(const std::vector<uint8_t>& b, uint16_t tag, bool sub) {
  if (b.size() < 8) return "<no block>";
  const bool le = b[0] == 'I';
  auto g16 = [&](size_t o) { return le ? b[o] | b[o + 1] << 8 : b[o] << 8 | b[o + 1]; };
  auto g32 = [&](size_t o) {
    return le ? uint32_t(g16(o)) | uint32_t(g16(o + 2)) << 16
              : uint32_t(g16(o)) << 16 | uint32_t(g16(o + 2));
  };
  auto find = [&](size_t ifd, uint16_t t) -> size_t {
    for (int i = 0; ifd + 2 <= b.size() && i < g16(ifd); ++i)
      if (g16(ifd + 2 + 12 * i) == t) return ifd + 2 + 12 * i;
    return 0;
  };
  size_t ifd = g32(4);
  if (sub) {
    const size_t e = find(ifd, 0x8769);
    if (e == 0) return "<no sub-directory>";
    ifd = g32(e + 8);
  }
  const size_t e = find(ifd, tag);
  if (e == 0) return "<missing>";
  if (g16(e + 2) == 3) return std::to_string(g16(e + 8));
  const uint32_t n = g32(e + 4);
  const size_t at = n > 4 ? g32(e + 8) : e + 8;
  if (at + n > b.size()) return "<dangling>";
  return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n))
      .c_str();
}

TEST_F(ImageIo, ExifHasOneShapeOnEveryRoadAndSurvivesWriteBack) {
  const std::vector<uint8_t> icc = vmktest::TestIccProfile();
  for (const bool le : {true, false}) {
    SCOPED_TRACE(le ? "II" : "MM");
    io::Properties props;
    props.exif = CameraExif(le, 6);
    props.orientation = 6;
    props.iccProfile = icc;
    // Each format in turn, written from what the one before read back.
    std::string from = "start";
    for (const char* type : {io::kTypeJPEG, io::kTypeTIFF, io::kTypeJPEG, io::kTypePNG,
                             io::kTypeTIFF, io::kTypePNG, io::kTypeTIFF}) {
      SCOPED_TRACE(from + " -> " + type);
      const std::string path = dir_.file("exif.img");
      vmktest::WriteImageFile(path, type, vmktest::PatternImage(9, 7, 1), props);
      io::ImageInfo info;
      ASSERT_EQ(io::ReadInfo(path, &info), io::kOk);
      const std::vector<uint8_t>& got = info.properties.exif;
      EXPECT_EQ(info.properties.orientation, 6);
      EXPECT_EQ(info.properties.iccProfile, icc);
      EXPECT_EQ(ExifValue(got, 0x010F, false), "Canon");
      EXPECT_EQ(ExifValue(got, 0x0110, false), "EOS 5D");
      EXPECT_EQ(ExifValue(got, 0x0112, false), "6");
      EXPECT_EQ(ExifValue(got, 0x9003, true), "2024:01:02 03:04:05");
      EXPECT_EQ(ExifValue(got, 0x9003, false), "<missing>");
      props = info.properties;
      from = type;
    }
    // What libtiff itself sees in the last TIFF.
    const std::string path = dir_.file("exif.img");
    TIFF* t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    char* make = nullptr;
    uint16_t orientation = 0;
    ASSERT_EQ(TIFFGetField(t, TIFFTAG_MAKE, &make), 1);
    EXPECT_STREQ(make, "Canon");
    ASSERT_EQ(TIFFGetField(t, TIFFTAG_ORIENTATION, &orientation), 1);
    EXPECT_EQ(orientation, 6);
    uint64_t off = 0;
    ASSERT_EQ(TIFFGetField(t, TIFFTAG_EXIFIFD, &off), 1);
    ASSERT_EQ(TIFFReadEXIFDirectory(t, off), 1);
    char* date = nullptr;
    ASSERT_EQ(TIFFGetField(t, EXIFTAG_DATETIMEORIGINAL, &date), 1);
    EXPECT_STREQ(date, "2024:01:02 03:04:05");
    TIFFClose(t);
    // Turned upright by the host, the picture is written with orientation 1
    // in every place that says it.
    props.orientation = 1;
    for (const char* type : {io::kTypeTIFF, io::kTypeJPEG, io::kTypePNG}) {
      vmktest::WriteImageFile(path, type, vmktest::PatternImage(7, 9, 1), props);
      io::ImageInfo info;
      ASSERT_EQ(io::ReadInfo(path, &info), io::kOk);
      EXPECT_EQ(info.properties.orientation, 1) << type;
      EXPECT_EQ(ExifValue(info.properties.exif, 0x0112, false), "1") << type;
    }
  }
  // The image itself is intact after the appended directory, and a block
  // that is not TIFF-structured is left out of a TIFF rather than written broken.
  io::Properties props;
  props.exif = CameraExif(false, 1);
  const std::string path = dir_.file("exif.tif");
  vmktest::WriteImageFile(path, io::kTypeTIFF, vmktest::PatternImage(9, 7, 2), props);
  RawImage back;
  ASSERT_EQ(Load(path, 2, &back), io::kOk);
  ExpectSameColours<uint16_t>(vmktest::PatternImage(9, 7, 2), back, 65535);
  props.exif = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  vmktest::WriteImageFile(path, io::kTypeTIFF, vmktest::PatternImage(2, 2, 1), props);
  io::ImageInfo info;
  ASSERT_EQ(io::ReadInfo(path, &info), io::kOk);
  EXPECT_TRUE(info.properties.exif.empty());
}

TEST_F(ImageIo, EveryReaderSurvivesASweepOfDamagedFiles) {
  // Each format, each damaged in many places and cut at many lengths: the
  // readers answer with a status and stay inside their buffers.
  const std::string lzw = dir_.file("lzw.tif");
  WriteTiffWith(lzw, 40, 30, 3, 8, PHOTOMETRIC_RGB, PLANARCONFIG_CONTIG, false, COMPRESSION_LZW,
                [](uint32_t x, uint32_t y, uint16_t s) { return x * 3 + y * 5 + s; });
  const std::string png = dir_.file("p.png"), jpg = dir_.file("p.jpg");
  vmktest::WriteImageFile(png, io::kTypePNG, vmktest::PatternImage(40, 30, 2));
  vmktest::WriteImageFile(jpg, io::kTypeJPEG, vmktest::PatternImage(40, 30, 1));
  int damaged = 0;
  for (const std::string& good : {lzw, png, jpg}) {
    const std::vector<uint8_t> bytes = vmktest::ReadBytes(good);
    const std::string bad = dir_.file("sweep");
    for (size_t k = 0; k < 120; ++k) {
      std::vector<uint8_t> b = bytes;
      if (k % 3 == 2) {
        b.resize(b.size() * (k % 40) / 40);
      } else {
        const size_t at = (k * 7919 + 13) % b.size();
        b[at] = static_cast<uint8_t>(b[at] ^ (0x55 + k));
        b[(at * 31 + 5) % b.size()] = 0xFF;
      }
      vmktest::WriteBytes(bad, b);
      RawImage im;
      for (int bytesPer : {1, 2, 4}) {
        const int st = Load(bad, bytesPer, &im);
        ASSERT_TRUE(st == io::kOk || st == io::kErrDamaged || st == io::kErrFormat ||
                    st == io::kErrTooLarge || st == io::kErrUnsupported ||
                    st == io::kErrNoMemory)
            << good << " case " << k << " status " << st;
        if (st != io::kOk) ++damaged;
      }
      uint32_t w = 0, h = 0;
      std::vector<uint8_t> argb;
      io::DecodeARGB(bad, &w, &h, &argb);
    }
  }
  EXPECT_GT(damaged, 0);
}
