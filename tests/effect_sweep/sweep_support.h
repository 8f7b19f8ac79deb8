// What the effect sweep shares between its tests and its main: the flags given on the command
// line, the golden table of render hashes and the thumbnails of the contact sheet.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sweep {

struct Options {
  bool updateGolden = false;  // rewrite the golden table from this build's renders
  bool contactSheet = false;  // write one PNG per effect and the contact sheet
};
Options& Flags();

// Effect number -> hash of the three-plane render.
using GoldenTable = std::map<int32_t, uint64_t>;
std::string GoldenPath();
GoldenTable ReadGolden(const std::string& path);
bool WriteGolden(const std::string& path, const GoldenTable& table);
// The hashes this run rendered, for the update mode.
GoldenTable& Rendered();

// A three-plane picture kept for the contact sheet.
struct Thumb {
  int32_t effect = 0;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // planes 3, 4, 5 interleaved
};
std::vector<Thumb>& Thumbs();
std::string ArtefactsDir();
// One PNG per effect is written as it renders; the sheet puts them together with their
// numbers and names.
void WriteEffectPng(const Thumb& t);
void WriteContactSheet(const std::vector<Thumb>& thumbs);
// The operation an effect number runs, as a short name for the sheet.
const char* EffectName(int32_t effect);

}  // namespace sweep
