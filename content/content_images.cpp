#include "content_images.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/imageio/image_io.h"
#include "platform/random/random.h"

namespace content {

namespace {

namespace fs = std::filesystem;

constexpr float kPi = 3.14159265f;

uint8_t Byte(float v) { return static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f); }
float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }
float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
float Mix(float a, float b, float t) { return a + (b - a) * t; }

// Value noise on a square lattice that repeats every `period` cells, so a
// picture that spans whole periods wraps without a seam.
class Noise {
 public:
  Noise(uint32_t seed, int period) : period_(period), values_(static_cast<size_t>(period) * period) {
    plat::SeedRandom(seed);
    for (float& v : values_) v = static_cast<float>(plat::Random() & 0xFFFF) / 65535.0f;
  }
  // u, v in 0..1 across the picture.
  float At(float u, float v) const {
    const float x = u * static_cast<float>(period_), y = v * static_cast<float>(period_);
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = Smooth(x - static_cast<float>(x0)), fy = Smooth(y - static_cast<float>(y0));
    const float a = Cell(x0, y0), b = Cell(x0 + 1, y0);
    const float c = Cell(x0, y0 + 1), d = Cell(x0 + 1, y0 + 1);
    return Mix(Mix(a, b, fx), Mix(c, d, fx), fy);
  }

 private:
  float Cell(int x, int y) const {
    const int px = ((x % period_) + period_) % period_, py = ((y % period_) + period_) % period_;
    return values_[static_cast<size_t>(py) * period_ + px];
  }
  int period_;
  std::vector<float> values_;
};

// Octaves of noise, each twice as fine and half as strong; 0..1.
class Fractal {
 public:
  Fractal(uint32_t seed, int basePeriod, int octaves) {
    for (int k = 0; k < octaves; ++k) octaves_.emplace_back(seed + 7919u * static_cast<uint32_t>(k), basePeriod << k);
  }
  float At(float u, float v) const {
    float sum = 0.0f, weight = 0.0f, amp = 1.0f;
    for (const Noise& n : octaves_) {
      sum += amp * n.At(u, v);
      weight += amp;
      amp *= 0.5f;
    }
    return sum / weight;
  }

 private:
  std::vector<Noise> octaves_;
};

template <typename F>
Picture Draw(uint32_t w, uint32_t h, F f) {
  Picture p(w, h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(w);
      const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(h);
      float r = 0, g = 0, b = 0;
      f(x, y, u, v, &r, &g, &b);
      p.Set(x, y, Byte(r), Byte(g), Byte(b));
    }
  return p;
}

template <typename F>
Picture DrawGrey(uint32_t w, uint32_t h, F f) {
  return Draw(w, h, [&](uint32_t x, uint32_t y, float u, float v, float* r, float* g, float* b) {
    *r = *g = *b = 255.0f * Clamp01(f(x, y, u, v));
  });
}

// ---- tiles ----

Picture Brick() {
  const Fractal grain(11, 8, 3);
  return Draw(128, 128, [&](uint32_t x, uint32_t y, float u, float v, float* r, float* g, float* b) {
    const uint32_t row = y / 16, shift = (row % 2) * 16;
    const uint32_t bx = (x + shift) % 32, by = y % 16;
    const float n = grain.At(u, v);
    if (bx < 2 || by < 2) {
      *r = *g = *b = 170 + 40 * n;
      return;
    }
    const float tone = 0.8f + 0.4f * n + 0.05f * static_cast<float>(((x + shift) / 32 + row * 3) % 4);
    *r = 150 * tone;
    *g = 62 * tone;
    *b = 40 * tone;
  });
}

Picture Checker() {
  const Fractal grain(12, 16, 2);
  return Draw(128, 128, [&](uint32_t x, uint32_t y, float u, float v, float* r, float* g, float* b) {
    const bool dark = ((x / 16) + (y / 16)) % 2 == 1;
    const float n = 0.9f + 0.2f * grain.At(u, v);
    *r = (dark ? 90 : 230) * n;
    *g = (dark ? 60 : 215) * n;
    *b = (dark ? 40 : 180) * n;
  });
}

// Dark and light pixels in turn: the weave editor's import reads each pixel
// as one cell, so this comes in as the plain weave (32 x 32, the smallest
// picture of the library).
Picture WeaveImport() {
  return Draw(32, 32, [](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    const bool dark = (x + y) % 2 == 0;
    *r = dark ? 40 : 225;
    *g = dark ? 35 : 220;
    *b = dark ? 30 : 210;
  });
}

Picture Marble() {
  const Fractal turb(13, 4, 4);
  return Draw(128, 128, [&](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float vein = 0.5f + 0.5f * std::sin(2 * kPi * (2 * u + v) + 6.0f * turb.At(u, v));
    const float t = std::pow(vein, 0.4f);
    *r = Mix(90, 240, t);
    *g = Mix(95, 236, t);
    *b = Mix(110, 228, t);
  });
}

Picture Weave() {
  return Draw(128, 128, [](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    const uint32_t cx = x / 16, cy = y / 16;
    const bool warpOver = (cx + cy) % 2 == 0;
    const float across = warpOver ? static_cast<float>(x % 16) : static_cast<float>(y % 16);
    const float shade = 0.55f + 0.45f * std::sin(kPi * (across + 0.5f) / 16.0f);
    if (warpOver) {
      *r = 60 * shade, *g = 110 * shade, *b = 170 * shade;
    } else {
      *r = 210 * shade, *g = 180 * shade, *b = 90 * shade;
    }
  });
}

Picture Hexagons() {
  return Draw(128, 128, [](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    // Cells around the centres of a staggered lattice (every 16 pixels, odd
    // rows shifted by 8), which repeats every 128 pixels both ways; the
    // border lies where the two nearest centres are equally far.
    const float px = static_cast<float>(x), py = static_cast<float>(y);
    float best = 1e9f, second = 1e9f;
    for (int j = -1; j <= 8; ++j)
      for (int i = -1; i <= 8; ++i) {
        const float cx = static_cast<float>(i * 16 + ((j + 2) % 2 == 1 ? 8 : 0));
        const float d = std::hypot(px - cx, py - static_cast<float>(j * 16));
        if (d < best) {
          second = best;
          best = d;
        } else if (d < second) {
          second = d;
        }
      }
    const float edge = Clamp01((second - best) / 3.0f);
    *r = Mix(40, 200, edge);
    *g = Mix(40, 150, edge);
    *b = Mix(50, 90, edge);
  });
}

// ---- displacement maps and lights (grey) ----

Picture Ripple() {
  return DrawGrey(128, 128, [](uint32_t, uint32_t, float u, float v) {
    return 0.5f + 0.5f * std::sin(2 * kPi * 4 * u) * std::sin(2 * kPi * 4 * v);
  });
}

Picture Bumps() {
  const Fractal n(21, 4, 4);
  return DrawGrey(128, 128, [&](uint32_t, uint32_t, float u, float v) { return n.At(u, v); });
}

// Two-channel displacement maps: red moves along x, green along y, 128 moves nothing
// (blue stays 128).
template <typename F>
Picture DrawShift(uint32_t w, uint32_t h, F shift) {
  return Draw(w, h, [&](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    float dx = 0, dy = 0;
    shift(u - 0.5f, v - 0.5f, &dx, &dy);
    *r = 128.0f + 127.0f * std::clamp(dx, -1.0f, 1.0f);
    *g = 128.0f + 127.0f * std::clamp(dy, -1.0f, 1.0f);
    *b = 128.0f;
  });
}

// A turn about the centre, strongest half way out and gone at the rim.
Picture Swirl() {
  return DrawShift(128, 128, [](float x, float y, float* dx, float* dy) {
    const float d = std::hypot(x, y) / 0.5f;
    const float s = d < 1.0f ? std::sin(kPi * d) : 0.0f;
    *dx = -y * 2.0f * s;
    *dy = x * 2.0f * s;
  });
}

// A bulge: points pushed out from the centre, most at mid radius.
Picture Lens() {
  return DrawShift(128, 128, [](float x, float y, float* dx, float* dy) {
    const float d = std::hypot(x, y) / 0.5f;
    const float s = d < 1.0f ? 1.0f - d : 0.0f;
    *dx = x * 3.0f * s;
    *dy = y * 3.0f * s;
  });
}

Picture Spot() {
  return DrawGrey(128, 128, [](uint32_t, uint32_t, float u, float v) {
    const float d = std::hypot(u - 0.5f, v - 0.5f) / 0.5f;
    const float t = Clamp01(1.0f - d);
    return t * t;
  });
}

Picture WindowLight() {
  return DrawGrey(128, 128, [](uint32_t x, uint32_t y, float u, float v) {
    const bool bar = (x % 64) < 6 || (y % 64) < 6;
    const float fall = Clamp01(1.2f - 1.6f * std::hypot(u - 0.5f, v - 0.5f));
    return bar ? 0.08f : fall;
  });
}

// ---- sprays ----

Picture SoftDot() {
  return DrawGrey(64, 64, [](uint32_t, uint32_t, float u, float v) {
    const float d = std::hypot(u - 0.5f, v - 0.5f) / 0.45f;
    return Smooth(Clamp01(1.0f - d));
  });
}

Picture Splat() {
  const Fractal n(31, 4, 3);
  return DrawGrey(64, 64, [&](uint32_t, uint32_t, float u, float v) {
    const float d = std::hypot(u - 0.5f, v - 0.5f) / 0.45f + 0.5f * (n.At(u, v) - 0.5f);
    return d < 0.8f ? 1.0f : Clamp01((1.0f - d) * 5.0f);
  });
}

// ---- painter brushes (grey: white lays full paint, black none) ----

Picture RoundSoftBrush() {
  return DrawGrey(64, 64, [](uint32_t, uint32_t, float u, float v) {
    const float d = std::hypot(u - 0.5f, v - 0.5f) / 0.46f;
    return Smooth(Clamp01((1.0f - d) * 1.6f));
  });
}

// A flat brush dragged left to right: bristle streaks across its height, the paint thinning
// toward the tail and the edges.
Picture FlatBristleBrush() {
  const Noise bristles(131, 24);
  return DrawGrey(96, 48, [&](uint32_t, uint32_t, float u, float v) {
    const float across = Clamp01(1.0f - std::fabs(v - 0.5f) / 0.42f);
    const float along = Smooth(Clamp01(u / 0.12f)) * Smooth(Clamp01((1.0f - u) / 0.35f));
    const float streak = 0.55f + 0.45f * bristles.At(0.02f * u, v);
    return Smooth(Clamp01(across * 3.0f)) * along * streak;
  });
}

// A dry brush: broken streaks where the paint ran out.
Picture DryBrush() {
  const Fractal grain(141, 8, 3);
  const Noise streaks(151, 32);
  return DrawGrey(64, 64, [&](uint32_t, uint32_t, float u, float v) {
    const float d = std::hypot((u - 0.5f) / 0.48f, (v - 0.5f) / 0.34f);
    const float body = Clamp01((1.0f - d) * 4.0f);
    const float broken = streaks.At(0.05f * u, v) + 0.6f * grain.At(u, v) - 0.75f;
    return body * Clamp01(broken * 4.0f);
  });
}

// ---- images ----

Picture Generic() {
  return Draw(128, 128, [](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float dx = u - 0.5f, dy = v - 0.5f;
    const float a = std::atan2(dy, dx), d = std::hypot(dx, dy);
    const float petal = 0.3f + 0.12f * std::cos(6 * a);
    if (d < petal) {
      const float t = d / petal;
      *r = Mix(250, 200, t), *g = Mix(220, 60, t), *b = Mix(60, 90, t);
    } else {
      const float diag = 0.5f + 0.5f * std::sin(2 * kPi * 2 * (u + v));
      *r = Mix(30, 60, diag), *g = Mix(90, 140, diag), *b = Mix(120, 170, diag);
    }
  });
}

Picture RoseColours() {
  return Draw(128, 128, [](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float dx = u - 0.5f, dy = v - 0.5f;
    const float a = std::atan2(dy, dx), d = std::hypot(dx, dy) / 0.45f;
    const float rose = std::fabs(std::cos(2.5f * a));
    const float inside = Clamp01((rose - d) * 8.0f);
    const float ring = Clamp01(1.0f - std::fabs(d - 1.0f) * 12.0f);
    *r = Mix(245, 190, inside) * (1 - ring) + 120 * ring;
    *g = Mix(238, 40, inside) * (1 - ring) + 90 * ring;
    *b = Mix(225, 70, inside) * (1 - ring) + 40 * ring;
  });
}

// The border's default tile: the rose and its ring keep their alpha, the ground around the
// flower is see-through, so a border that merges by the tile's alpha shows the flower alone.
Picture Rose() {
  Picture p = RoseColours();
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(p.width);
      const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(p.height);
      const float dx = u - 0.5f, dy = v - 0.5f;
      const float a = std::atan2(dy, dx), d = std::hypot(dx, dy) / 0.45f;
      const float inside = Clamp01((std::fabs(std::cos(2.5f * a)) - d) * 8.0f);
      const float ring = Clamp01(1.0f - std::fabs(d - 1.0f) * 12.0f);
      p.SetAlpha(x, y, Byte(255.0f * std::max(inside, ring)));
    }
  return p;
}

Picture Sunset() {
  const Fractal hills(41, 4, 3);
  return Draw(256, 192, [&](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float horizon = 0.62f + 0.12f * (hills.At(u, 0.3f) - 0.5f);
    if (v > horizon) {
      const float t = Clamp01((v - horizon) / (1 - horizon));
      *r = Mix(60, 20, t), *g = Mix(50, 30, t), *b = Mix(70, 30, t);
      return;
    }
    const float t = v / horizon;
    const float sun = Clamp01(1.0f - std::hypot(u - 0.65f, v - 0.5f) / 0.08f);
    *r = Mix(70, 250, t) + 200 * sun;
    *g = Mix(80, 140, t) + 200 * sun;
    *b = Mix(160, 80, t) + 120 * sun;
  });
}

// ---- edges (grey masks: white keeps, black removes) ----

constexpr uint32_t kEdgeW = 200, kEdgeH = 150;

// Distance from the picture's border in units of its smaller side.
float Border(uint32_t x, uint32_t y) {
  const float dx = static_cast<float>(std::min(x, kEdgeW - 1 - x));
  const float dy = static_cast<float>(std::min(y, kEdgeH - 1 - y));
  return std::min(dx, dy) / static_cast<float>(std::min(kEdgeW, kEdgeH));
}

Picture SoftEdge() {
  return DrawGrey(kEdgeW, kEdgeH, [](uint32_t x, uint32_t y, float, float) {
    return Smooth(Clamp01(Border(x, y) / 0.15f));
  });
}

Picture TornEdge() {
  const Fractal n(51, 8, 4);
  return DrawGrey(kEdgeW, kEdgeH, [&](uint32_t x, uint32_t y, float u, float v) {
    return Border(x, y) > 0.04f + 0.08f * n.At(u, v) ? 1.0f : 0.0f;
  });
}

Picture WavyEdge() {
  return DrawGrey(kEdgeW, kEdgeH, [](uint32_t x, uint32_t y, float u, float v) {
    const float wave = 0.06f + 0.03f * std::sin(2 * kPi * 8 * (u + v));
    return Clamp01((Border(x, y) - wave) * 60.0f);
  });
}

Picture RoundedEdge() {
  return DrawGrey(kEdgeW, kEdgeH, [](uint32_t x, uint32_t y, float, float) {
    const float inset = 12.0f, radius = 24.0f;
    const float px = static_cast<float>(x), py = static_cast<float>(y);
    const float cx = std::clamp(px, inset + radius, static_cast<float>(kEdgeW) - inset - radius);
    const float cy = std::clamp(py, inset + radius, static_cast<float>(kEdgeH) - inset - radius);
    return Clamp01(radius - std::hypot(px - cx, py - cy) + 0.5f);
  });
}

Picture DeckleEdge() {
  const Fractal n(61, 32, 2);
  return DrawGrey(kEdgeW, kEdgeH, [&](uint32_t x, uint32_t y, float u, float v) {
    return Clamp01((Border(x, y) - 0.03f - 0.05f * n.At(u, v)) * 40.0f);
  });
}

Picture Vignette() {
  return DrawGrey(kEdgeW, kEdgeH, [](uint32_t, uint32_t, float u, float v) {
    const float d = std::hypot((u - 0.5f) / 0.5f, (v - 0.5f) / 0.5f);
    return Smooth(Clamp01((1.0f - d) / 0.35f));
  });
}

// ---- mouldings: strips whose height is the profile across the frame ----

Picture Gilt() {
  return Draw(256, 32, [](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    const float across = (static_cast<float>(y) + 0.5f) / 32.0f;
    const float profile = 0.55f + 0.45f * std::sin(kPi * across * 2.0f);
    const float bead = (y > 10 && y < 20) ? 0.8f + 0.2f * std::cos(2 * kPi * static_cast<float>(x % 16) / 16.0f) : 1.0f;
    const float t = profile * bead;
    *r = 230 * t, *g = 185 * t, *b = 80 * t;
  });
}

Picture Walnut() {
  const Fractal n(71, 4, 3);
  return Draw(256, 32, [&](uint32_t, uint32_t y, float u, float v, float* r, float* g, float* b) {
    const float grain = 0.5f + 0.5f * std::sin(2 * kPi * (6 * v + 2.0f * n.At(u, v)));
    const float bevel = y < 4 ? 1.25f : (y > 27 ? 0.7f : 1.0f);
    const float t = (0.7f + 0.3f * grain) * bevel;
    *r = 110 * t, *g = 70 * t, *b = 40 * t;
  });
}

// ---- backdrops ----

Picture Clouds() {
  const Fractal n(81, 4, 5);
  return Draw(256, 192, [&](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float c = Clamp01((n.At(u, v) - 0.45f) * 3.0f);
    *r = Mix(Mix(70, 140, v), 245, c);
    *g = Mix(Mix(120, 180, v), 245, c);
    *b = Mix(Mix(200, 230, v), 250, c);
  });
}

Picture Studio() {
  return Draw(256, 192, [](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float d = Clamp01(std::hypot(u - 0.5f, (v - 0.4f) * 0.75f) / 0.7f);
    *r = Mix(150, 30, d), *g = Mix(160, 35, d), *b = Mix(175, 50, d);
  });
}

// ---- textures and surfaces ----

Picture Canvas() {
  const Fractal n(91, 16, 2);
  return Draw(128, 128, [&](uint32_t x, uint32_t y, float u, float v, float* r, float* g, float* b) {
    const float thread = 0.5f * (std::sin(kPi * static_cast<float>(x % 4) / 2.0f) +
                                 std::sin(kPi * static_cast<float>(y % 4) / 2.0f));
    const float t = 0.85f + 0.08f * thread + 0.1f * (n.At(u, v) - 0.5f);
    *r = 225 * t, *g = 215 * t, *b = 190 * t;
  });
}

// Laid paper: fine ribs across, chain lines down every 32 pixels, a faint mottle.
Picture LaidPaper() {
  const Fractal mottle(161, 8, 3);
  return Draw(128, 128, [&](uint32_t x, uint32_t y, float u, float v, float* r, float* g, float* b) {
    const float rib = 0.5f + 0.5f * std::sin(2 * kPi * static_cast<float>(y) / 3.0f);
    const float chain = (x % 32) < 2 ? 0.93f : 1.0f;
    const float t = (0.88f + 0.05f * rib + 0.12f * (mottle.At(u, v) - 0.5f)) * chain;
    *r = 240 * t, *g = 232 * t, *b = 212 * t;
  });
}

Picture Slats() {
  return Draw(128, 128, [](uint32_t, uint32_t y, float, float, float* r, float* g, float* b) {
    const float across = static_cast<float>(y % 16) / 16.0f;
    const float t = across < 0.1f ? 0.25f : 0.6f + 0.4f * std::sin(kPi * (across - 0.1f) / 0.9f);
    *r = 235 * t, *g = 230 * t, *b = 215 * t;
  });
}

Picture Stone() {
  const Fractal n(101, 4, 5);
  return Draw(128, 128, [&](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float t = 0.6f + 0.6f * n.At(u, v);
    *r = 140 * t, *g = 130 * t, *b = 115 * t;
  });
}

Picture Sand() {
  const Fractal n(111, 32, 2);
  return Draw(128, 128, [&](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float t = 0.85f + 0.3f * (n.At(u, v) - 0.5f);
    *r = 220 * t, *g = 190 * t, *b = 140 * t;
  });
}

Picture CeramicTiles() {
  return Draw(128, 128, [](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    const uint32_t tx = x % 32, ty = y % 32;
    if (tx < 2 || ty < 2) {
      *r = *g = *b = 200;
      return;
    }
    const float glaze = 1.0f - 0.15f * static_cast<float>(tx + ty) / 62.0f;
    const bool blue = ((x / 32) + (y / 32)) % 2 == 0;
    *r = (blue ? 70 : 235) * glaze, *g = (blue ? 110 : 235) * glaze, *b = (blue ? 170 : 225) * glaze;
  });
}

// Frame bands round a see-through middle: a border merging by the tile's alpha keeps the
// picture inside the bands.
Picture FrameBands() {
  Picture p = Draw(128, 128, [](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    const uint32_t d = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
    const uint32_t band = d / 8;
    const float t = 0.75f + 0.25f * std::cos(kPi * static_cast<float>(d % 8) / 8.0f);
    if (band % 2 == 0) {
      *r = 120 * t, *g = 40 * t, *b = 30 * t;
    } else {
      *r = 220 * t, *g = 190 * t, *b = 120 * t;
    }
  });
  for (uint32_t y = 0; y < 128; ++y)
    for (uint32_t x = 0; x < 128; ++x) {
      const uint32_t d = std::min(std::min(x, 127 - x), std::min(y, 127 - y));
      p.SetAlpha(x, y, Byte(255.0f * Clamp01(static_cast<float>(40 - static_cast<int>(d)) / 8.0f)));
    }
  return p;
}

// A twisted rope across the middle, the gaps between its strands and the rows above and
// below it see-through.
Picture Rope() {
  const auto twist = [](uint32_t x, uint32_t y) {
    return 0.5f + 0.5f * std::sin(2 * kPi * static_cast<float>(x + y) / 16.0f);
  };
  Picture p = Draw(128, 128, [&](uint32_t x, uint32_t y, float, float, float* r, float* g, float* b) {
    const float t = 0.5f + 0.5f * twist(x, y);
    *r = 200 * t, *g = 170 * t, *b = 110 * t;
  });
  for (uint32_t y = 0; y < 128; ++y)
    for (uint32_t x = 0; x < 128; ++x) {
      const float across = Clamp01((40.0f - std::fabs(static_cast<float>(y) - 63.5f)) / 4.0f);
      p.SetAlpha(x, y, Byte(255.0f * across * Clamp01((twist(x, y) - 0.15f) * 4.0f)));
    }
  return p;
}

// Four glass beads on nothing: round alpha with a soft rim.
Picture Beads() {
  Picture p = Draw(128, 128, [](uint32_t, uint32_t, float u, float v, float* r, float* g, float* b) {
    const float cu = std::floor(u * 2.0f) / 2.0f + 0.25f, cv = std::floor(v * 2.0f) / 2.0f + 0.25f;
    const float light = Clamp01(1.0f - std::hypot(u - cu + 0.07f, v - cv + 0.07f) / 0.2f);
    *r = 40 + 200 * light, *g = 90 + 160 * light, *b = 150 + 100 * light;
  });
  for (uint32_t y = 0; y < 128; ++y)
    for (uint32_t x = 0; x < 128; ++x) {
      const float px = static_cast<float>(x % 64) - 31.5f, py = static_cast<float>(y % 64) - 31.5f;
      p.SetAlpha(x, y, Byte(255.0f * Clamp01(28.0f - std::hypot(px, py))));
    }
  return p;
}

// The screen's one cell image: a dark round dot on white, which the screen brightens by how
// dark the picture is under each cell.
Picture ScreenDot() {
  return DrawGrey(64, 64, [](uint32_t, uint32_t, float u, float v) {
    return Clamp01((std::hypot(u - 0.5f, v - 0.5f) - 0.3f) * 24.0f);
  });
}

// One image of the screen's level series: a black dot on white whose area grows with the
// level (255 minus the grey under a cell), from none at level 0 to all black at 255.
template <int Level>
Picture ScreenLevel() {
  const float radius = std::sqrt(static_cast<float>(Level) / 255.0f / kPi);
  return DrawGrey(32, 32, [radius](uint32_t, uint32_t, float u, float v) {
    if (Level == 255) return 0.0f;
    return Clamp01((std::hypot(u - 0.5f, v - 0.5f) - radius) * 32.0f + 0.5f);
  });
}

const char* TypeOf(const std::string& path) {
  const std::string ext = fs::path(path).extension().string();
  return ext == ".jpg" ? plat::imageio::kTypeJPEG : plat::imageio::kTypeTIFF;
}

}  // namespace

const std::vector<std::string>& ContentFolders() {
  static const std::vector<std::string> folders = {
      "Tiles",  "Tiles1",      "Tiles1/Displace", "Tiles1/Lights", "Sprays",       "Images",
      "Edges",  "Edges1",      "Edges2",          "Edges3",        "Edges4",       "Images/Edges",
      "Mouldings", "BackDrops", "HaldenF",        "Blinds",        "SurfaceTiles", "GenericTiles",
      "Bord"};
  return folders;
}

const std::vector<Item>& Library() {
  static const std::vector<Item> items = {
      {"Tiles/brick.tif", Brick},
      {"Tiles/checker.tif", Checker},
      {"Tiles/weave_import.tif", WeaveImport},
      {"Tiles/marble.jpg", Marble},
      {"Tiles1/weave.tif", Weave},
      {"Tiles1/hexagons.tif", Hexagons},
      {"Tiles1/Displace/ripple.tif", Ripple},
      {"Tiles1/Displace/bumps.tif", Bumps},
      {"Tiles1/Displace/swirl.tif", Swirl},
      {"Tiles1/Displace/lens.tif", Lens},
      {"Tiles1/Lights/spot.tif", Spot},
      {"Tiles1/Lights/window.tif", WindowLight},
      {"Sprays/softdot.tif", SoftDot},
      {"Sprays/splat.tif", Splat},
      {"Sprays/brush_round_soft.tif", RoundSoftBrush},
      {"Sprays/brush_flat_bristle.tif", FlatBristleBrush},
      {"Sprays/brush_dry.tif", DryBrush},
      {"Images/generic.tif", Generic},
      {"Images/mirvder_rose.tif", Rose, true},
      {"Images/sunset.jpg", Sunset},
      {"Edges/soft.tif", SoftEdge},
      {"Edges1/torn.tif", TornEdge},
      {"Edges2/wavy.tif", WavyEdge},
      {"Edges3/rounded.tif", RoundedEdge},
      {"Edges4/deckle.tif", DeckleEdge},
      {"Images/Edges/vignette.tif", Vignette},
      {"Mouldings/gilt.tif", Gilt},
      {"Mouldings/walnut.tif", Walnut},
      {"BackDrops/clouds.jpg", Clouds},
      {"BackDrops/studio.jpg", Studio},
      {"HaldenF/canvas.tif", Canvas},
      {"HaldenF/laid_paper.tif", LaidPaper},
      {"Blinds/slats.tif", Slats},
      {"SurfaceTiles/stone.tif", Stone},
      {"SurfaceTiles/sand.tif", Sand},
      {"GenericTiles/ceramic.tif", CeramicTiles},
      {"Bord/bands.tif", FrameBands, true},
      {"Bord/rope.tif", Rope, true},
      {"Bord/beads.tif", Beads, true},
      {"Tiles/screen_dot.tif", ScreenDot},
      // The screen's level series (image mode 1), every seventeenth level.
      {"Tiles1/screen_level_000.tif", ScreenLevel<0>},
      {"Tiles1/screen_level_017.tif", ScreenLevel<17>},
      {"Tiles1/screen_level_034.tif", ScreenLevel<34>},
      {"Tiles1/screen_level_051.tif", ScreenLevel<51>},
      {"Tiles1/screen_level_068.tif", ScreenLevel<68>},
      {"Tiles1/screen_level_085.tif", ScreenLevel<85>},
      {"Tiles1/screen_level_102.tif", ScreenLevel<102>},
      {"Tiles1/screen_level_119.tif", ScreenLevel<119>},
      {"Tiles1/screen_level_136.tif", ScreenLevel<136>},
      {"Tiles1/screen_level_153.tif", ScreenLevel<153>},
      {"Tiles1/screen_level_170.tif", ScreenLevel<170>},
      {"Tiles1/screen_level_187.tif", ScreenLevel<187>},
      {"Tiles1/screen_level_204.tif", ScreenLevel<204>},
      {"Tiles1/screen_level_221.tif", ScreenLevel<221>},
      {"Tiles1/screen_level_238.tif", ScreenLevel<238>},
      {"Tiles1/screen_level_255.tif", ScreenLevel<255>},
  };
  return items;
}

bool MakeLibrary(const std::string& makersFolder, std::string* message) {
  std::error_code ec;
  for (const std::string& folder : ContentFolders()) {
    fs::create_directories(fs::path(makersFolder) / folder, ec);
    if (ec) {
      if (message != nullptr) *message = "cannot make " + folder + ": " + ec.message();
      return false;
    }
  }
  plat::imageio::Properties props;
  props.hasResolution = true;
  for (const Item& item : Library()) {
    const Picture pic = item.draw();
    plat::imageio::PixelSource src;
    src.base = pic.pixels.data();
    src.rowBytes = size_t{pic.width} * 4;
    src.width = pic.width;
    src.height = pic.height;
    src.bytesPerComponent = 1;
    const std::string path = (fs::path(makersFolder) / item.path).string();
    std::string why;
    const int st = item.alpha ? plat::imageio::WriteRgbaTiff(path, src, &why)
                              : plat::imageio::WriteImage(path, TypeOf(path), props, src, &why);
    if (st != plat::imageio::kOk) {
      if (message != nullptr) *message = "cannot write " + item.path + ": " + why;
      return false;
    }
  }
  return true;
}

}  // namespace content
