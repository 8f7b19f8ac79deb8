// Pen modes applied to covered pixels, and the pattern list resource.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/draw/coverage.h"
#include "platform/resources/resource_file.h"

namespace plat::draw {
namespace {

uint32_t MaxChannels(uint32_t a, uint32_t b) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    out |= std::max((a >> shift) & 0xFFu, (b >> shift) & 0xFFu) << shift;
  }
  return out;
}

}  // namespace

namespace {

// One pixel under the pen: its pattern bit at (x, y), then the mode.
inline void Ink(uint32_t& px, bool bit, uint32_t ink, uint32_t back, int16_t mode) {
  switch (mode) {
    case patXor:
      if (bit) px ^= 0x00FFFFFFu;
      break;
    case patOr:
      if (bit) px = ink;
      break;
    case addMax:
      px = MaxChannels(px, bit ? ink : back);
      break;
    default:  // copy
      px = bit ? ink : back;
      break;
  }
}

// The port's surface in port pixels: its device size over the backing scale.
int PortWidth(const Port& port) { return port.surface().width() / port.backingScale(); }
int PortHeight(const Port& port) { return port.surface().height() / port.backingScale(); }

// One port pixel under the pen: a block of k x k device pixels, all with the
// pattern bit of the port pixel, so patterns and XOR keep their port-pixel
// meaning at any density.
inline void InkBlock(Surface& s, int k, int x, int y, bool bit, uint32_t ink, uint32_t back, int16_t mode) {
  if (mode == patXor || mode == addMax) {
    for (int dy = 0; dy < k; ++dy) {
      uint32_t* row = s.row(y * k + dy) + x * k;
      for (int dx = 0; dx < k; ++dx) Ink(row[dx], bit, ink, back, mode);
    }
    return;
  }
  // Copy and or give every pixel of the block the same value (or leave it).
  if (mode == patOr && !bit) return;
  const uint32_t value = bit ? ink : back;
  for (int dy = 0; dy < k; ++dy) std::fill_n(s.row(y * k + dy) + x * k, k, value);
}

}  // namespace

void ApplyInk(Port& port, const Coverage& cov, uint32_t ink, int16_t mode, const Pattern& pattern) {
  Surface& s = port.surface();
  const int k = port.backingScale();
  int l = std::max({cov.left(), 0, static_cast<int>(port.portRect.left), static_cast<int>(port.clipRect.left)});
  int t = std::max({cov.top(), 0, static_cast<int>(port.portRect.top), static_cast<int>(port.clipRect.top)});
  int r = std::min({cov.right(), PortWidth(port), static_cast<int>(port.portRect.right),
                    static_cast<int>(port.clipRect.right)});
  int b = std::min({cov.bottom(), PortHeight(port), static_cast<int>(port.portRect.bottom),
                    static_cast<int>(port.clipRect.bottom)});
  if (l >= r || t >= b) return;
  uint32_t back = PixelOf(port.backColor);
  for (int y = t; y < b; ++y) {
    uint8_t patRow = pattern.pat[y & 7];
    if (k == 1) {
      uint32_t* row = s.row(y);
      for (int x = l; x < r; ++x) {
        if (!cov.get(x, y)) continue;
        Ink(row[x], ((patRow >> (7 - (x & 7))) & 1) != 0, ink, back, mode);
      }
      continue;
    }
    for (int x = l; x < r; ++x)
      if (cov.get(x, y)) InkBlock(s, k, x, y, ((patRow >> (7 - (x & 7))) & 1) != 0, ink, back, mode);
  }
  if (port.onChanged) {
    port.onChanged(Rect{static_cast<int16_t>(t), static_cast<int16_t>(l), static_cast<int16_t>(b),
                        static_cast<int16_t>(r)});
  }
}

void ApplyDeviceInk(Port& port, const Coverage& cov, uint32_t ink, int16_t mode, const Pattern& pattern) {
  Surface& s = port.surface();
  const int k = port.backingScale();
  const int l = std::max({cov.left(), 0, port.portRect.left * k, port.clipRect.left * k});
  const int t = std::max({cov.top(), 0, port.portRect.top * k, port.clipRect.top * k});
  const int r = std::min({cov.right(), s.width(), port.portRect.right * k, port.clipRect.right * k});
  const int b = std::min({cov.bottom(), s.height(), port.portRect.bottom * k, port.clipRect.bottom * k});
  if (l >= r || t >= b) return;
  const uint32_t back = PixelOf(port.backColor);
  for (int y = t; y < b; ++y) {
    uint32_t* row = s.row(y);
    const uint8_t patRow = pattern.pat[(y / k) & 7];
    for (int x = l; x < r; ++x) {
      if (!cov.get(x, y)) continue;
      Ink(row[x], ((patRow >> (7 - ((x / k) & 7))) & 1) != 0, ink, back, mode);
    }
  }
  if (port.onChanged) {
    port.onChanged(Rect{static_cast<int16_t>(t / k), static_cast<int16_t>(l / k),
                        static_cast<int16_t>((b + k - 1) / k), static_cast<int16_t>((r + k - 1) / k)});
  }
}

void ApplyThinLine(Port& port, int x0, int y0, int x1, int y1) {
  Surface& s = port.surface();
  const int k = port.backingScale();
  const int l = std::max({std::min(x0, x1), 0, static_cast<int>(port.portRect.left), static_cast<int>(port.clipRect.left)});
  const int t = std::max({std::min(y0, y1), 0, static_cast<int>(port.portRect.top), static_cast<int>(port.clipRect.top)});
  const int r = std::min({std::max(x0, x1) + 1, PortWidth(port), static_cast<int>(port.portRect.right),
                          static_cast<int>(port.clipRect.right)});
  const int b = std::min({std::max(y0, y1) + 1, PortHeight(port), static_cast<int>(port.portRect.bottom),
                          static_cast<int>(port.clipRect.bottom)});
  if (l >= r || t >= b) return;
  const uint32_t ink = PixelOf(port.foreColor), back = PixelOf(port.backColor);
  const int16_t mode = port.pen.pnMode;
  const Pattern& pattern = port.pen.pnPat;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    if (x0 >= l && x0 < r && y0 >= t && y0 < b) {
      const bool bit = ((pattern.pat[y0 & 7] >> (7 - (x0 & 7))) & 1) != 0;
      if (k == 1) Ink(s.row(y0)[x0], bit, ink, back, mode);
      else InkBlock(s, k, x0, y0, bit, ink, back, mode);
    }
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  if (port.onChanged) {
    port.onChanged(Rect{static_cast<int16_t>(t), static_cast<int16_t>(l), static_cast<int16_t>(b),
                        static_cast<int16_t>(r)});
  }
}

void ApplyPen(Port& port, const Coverage& cov) {
  ApplyInk(port, cov, PixelOf(port.foreColor), port.pen.pnMode, port.pen.pnPat);
}

std::vector<Pattern> LoadPatternList(int16_t listId) {
  // Parsed lists are kept: the crawling outline asks for a pattern at every
  // mouse step.
  static std::map<std::pair<std::string, int16_t>, std::vector<Pattern>> cache;
  auto key = std::make_pair(res::ResourceFolder(), listId);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  std::vector<Pattern> list;
  auto text = res::GetResourceText(FourCC("PAT#"), listId);
  if (text) {
    std::istringstream in(*text);
    std::string line;
    while (std::getline(in, line)) {
      std::string hex;
      for (char c : line) {
        if (c == '#') break;
        if (!std::isspace(static_cast<unsigned char>(c))) hex.push_back(c);
      }
      if (hex.empty()) continue;
      if (hex.size() != 16 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        list.clear();  // a damaged list is no list
        break;
      }
      Pattern p;
      for (int i = 0; i < 8; ++i) p.pat[i] = static_cast<uint8_t>(std::stoul(hex.substr(i * 2, 2), nullptr, 16));
      list.push_back(p);
    }
  }
  cache[key] = list;
  return list;
}

}  // namespace plat::draw
