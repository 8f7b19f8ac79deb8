// The effect sweep's main: takes its own flags off the command line before GoogleTest sees
// them, runs the tests, and then writes what the flags asked for.
//   --update-golden   rewrite tests/fixtures/effect_render_golden.txt from this build
//   --contact-sheet   one PNG per effect and a contact sheet under the build tree
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/draw/port.h"
#include "support/image_fixtures.h"
#include "sweep_support.h"

namespace sweep {

Options& Flags() {
  static Options o;
  return o;
}

GoldenTable& Rendered() {
  static GoldenTable t;
  return t;
}

std::vector<Thumb>& Thumbs() {
  static std::vector<Thumb> t;
  return t;
}

std::string GoldenPath() { return std::string(VMK_FIXTURES_DIR) + "/effect_render_golden.txt"; }

std::string ArtefactsDir() { return VMK_ARTEFACTS_DIR; }

GoldenTable ReadGolden(const std::string& path) {
  GoldenTable t;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int32_t effect = 0;
    std::string hex;
    if (fields >> effect >> hex) t[effect] = std::stoull(hex, nullptr, 16);
  }
  return t;
}

bool WriteGolden(const std::string& path, const GoldenTable& table) {
  std::ofstream out(path, std::ios::trunc);
  out << "# Effect number and the FNV-1a hash of planes 3, 4, 5 after rendering the effect at its\n"
         "# defaults on the sweep's 257 x 193 picture. Made by scripts/update-render-golden.\n";
  for (const auto& [effect, hash] : table)
    out << effect << ' ' << std::hex << std::setw(16) << std::setfill('0') << hash << std::dec
        << '\n';
  return static_cast<bool>(out);
}

void WriteEffectPng(const Thumb& t) {
  vmktest::RawImage im = vmktest::SolidImage(static_cast<uint32_t>(t.width),
                                             static_cast<uint32_t>(t.height), 0, 0, 0);
  for (int32_t i = 0; i < t.width * t.height; ++i)
    for (int32_t c = 0; c < 3; ++c) im.data[4 * i + c] = t.rgb[3 * i + c];
  std::filesystem::create_directories(ArtefactsDir());
  vmktest::WriteImageFile(ArtefactsDir() + "/effect_" + std::to_string(t.effect) + ".png",
                          plat::imageio::kTypePNG, im);
}

void WriteContactSheet(const std::vector<Thumb>& thumbs) {
  if (thumbs.empty()) return;
  constexpr int kColumns = 10, kScale = 2, kLabel = 30, kGap = 6;
  const int tw = thumbs[0].width / kScale, th = thumbs[0].height / kScale;
  const int cellW = tw + kGap, cellH = th + kLabel;
  const int rows = (static_cast<int>(thumbs.size()) + kColumns - 1) / kColumns;
  plat::draw::Port port(kColumns * cellW + kGap, rows * cellH + kGap);
  plat::draw::Port* old = plat::draw::GetPort();
  plat::draw::SetPort(&port);
  plat::draw::TextSize(10);
  for (size_t k = 0; k < thumbs.size(); ++k) {
    const Thumb& t = thumbs[k];
    const int x0 = kGap + static_cast<int>(k % kColumns) * cellW;
    const int y0 = kGap + static_cast<int>(k / kColumns) * cellH;
    for (int y = 0; y < th; ++y)
      for (int x = 0; x < tw; ++x) {
        const uint8_t* p = &t.rgb[3 * ((y * kScale) * t.width + x * kScale)];
        port.surface().row(y0 + y)[x0 + x] = 0xFF000000u | (uint32_t{p[0]} << 16) |
                                             (uint32_t{p[1]} << 8) | uint32_t{p[2]};
      }
    plat::draw::MoveTo(static_cast<int16_t>(x0), static_cast<int16_t>(y0 + th + 11));
    plat::draw::DrawString(std::to_string(t.effect));
    plat::draw::MoveTo(static_cast<int16_t>(x0), static_cast<int16_t>(y0 + th + 23));
    plat::draw::DrawString(EffectName(t.effect));
  }
  plat::draw::SetPort(old);
  const plat::draw::Surface& s = port.surface();
  vmktest::RawImage im = vmktest::SolidImage(static_cast<uint32_t>(s.width()),
                                             static_cast<uint32_t>(s.height()), 0, 0, 0);
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) {
      const uint32_t v = s.row(y)[x];
      uint8_t* d = im.row(static_cast<uint32_t>(y)) + 4 * x;
      d[0] = static_cast<uint8_t>(v >> 16);
      d[1] = static_cast<uint8_t>(v >> 8);
      d[2] = static_cast<uint8_t>(v);
    }
  std::filesystem::create_directories(ArtefactsDir());
  vmktest::WriteImageFile(ArtefactsDir() + "/contact_sheet.png", plat::imageio::kTypePNG, im);
  std::cout << "contact sheet: " << ArtefactsDir() << "/contact_sheet.png\n";
}

}  // namespace sweep

int main(int argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--update-golden") == 0) {
      sweep::Flags().updateGolden = true;
    } else if (std::strcmp(argv[i], "--contact-sheet") == 0) {
      sweep::Flags().contactSheet = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (sweep::Flags().updateGolden) {
    if (!sweep::WriteGolden(sweep::GoldenPath(), sweep::Rendered())) return 1;
    std::cout << "golden table: " << sweep::Rendered().size() << " effects written to "
              << sweep::GoldenPath() << '\n';
  }
  if (sweep::Flags().contactSheet) sweep::WriteContactSheet(sweep::Thumbs());
  return result;
}
