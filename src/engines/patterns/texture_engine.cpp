#include "engines/patterns/texture_engine.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "engines/records/engine_frame.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"

namespace {

constexpr float kEps = 1.1920929e-07f;
constexpr float kMaxBelowOne = 0.99999988f;
constexpr float kTwoPi = 6.283185308f;

float Limit(float v, float lo, float hi) { return std::min(std::max(v, lo), hi); }

// Amounts arrive in percent; eight is the strongest a component may be.
float Amount(float percent) { return Limit(percent / 12.5f, -8.0f, 8.0f); }
float Octaves(float percent) { return Limit(percent / 100.0f, 0.0f, 1.0f) * 8.0f + kEps; }

void DeriveKnots(const float* in, float* out) {
  for (int32_t k = 1; k <= 4; ++k) out[k] = Limit(in[k], 0.0f, 1.0f);
  out[0] = 2.0f * out[1] - out[2];
  out[5] = 2.0f * out[4] - out[3];
}

// A NaN (an infinite particle centre times a zero factor) counts as 0, and everything else
// is held to the ramp so no index leaves it.
int32_t RampIndex(float value) {
  if (!(value == value)) return 0;
  const float x = value * 255.0f;
  if (x <= 0.0f) return 0;
  if (x >= 255.0f) return 255;
  return static_cast<int32_t>(x);
}

int32_t Wrap(int32_t v, int32_t size) {
  const int32_t r = v % size;
  return r < 0 ? r + size : r;
}

float Shape(float value, float bias, float gain) {
  value = value / ((1.0f / bias - 2.0f) * (1.0f - value) + 1.0f);
  const float q = (1.0f / gain - 2.0f) * (1.0f - 2.0f * value);
  return value < 0.5f ? value / (q + 1.0f) : (q - value) / (q - 1.0f);
}

}  // namespace

TextureTables& SharedTextureTables() {
  static TextureTables tables;
  return tables;
}

void ResetTextureTables() { SharedTextureTables() = TextureTables{}; }

MiscTextu::~MiscTextu() {
  horizTable.reset();
  vertTable.reset();
}

void MiscTextu::SetTextuPar(const TextuPar* record) { Copy_TextuPar(record, &par); }
void MiscTextu::SetPictureSize(int32_t width, int32_t height) {
  pictureWidth_ = std::max(width, 0);
  pictureHeight_ = std::max(height, 0);
}
void MiscTextu::GetTextuPar(TextuPar* record) const { Copy_TextuPar(&par, record); }

void MiscTextu::DeriveWork(float scaleX, float scaleY) {
  work.warp = par.warp / 100.0f;
  if (work.warp <= -1.0f) work.warp = -0.99f;
  if (work.warp >= 1.0f) work.warp = 0.99f;
  work.turbulence = Amount(par.turbulence);
  work.vertAmount = Amount(par.vertAmount);
  work.horizAmount = Amount(par.horizAmount);
  work.particleAmount = Amount(par.particleAmount);
  work.vertShape = par.vertShape;
  work.horizShape = par.horizShape;
  work.particleFalloff = par.particleFalloff;
  work.seed = par.seed;
  work.vertFrequency = par.vertFrequency;
  work.horizFrequency = par.horizFrequency;
  work.combineMode = par.combineMode;
  work.hueShift = par.hueShift;
  work.saturationShift = par.saturationShift;
  work.lightnessShift = par.lightnessShift;
  work.turbulenceDetail = Octaves(par.turbulenceDetail);
  work.vertDetail = Octaves(par.vertDetail);
  work.horizDetail = Octaves(par.horizDetail);
  work.particleCount = std::clamp(par.particleCount, 0, 2048);
  const float scale = scaleY > scaleX ? scaleY : scaleX;
  int32_t radius = static_cast<int32_t>(static_cast<float>(par.particleSize / 10) * scale);
  radius = std::max(radius, 1);
  radius = std::min(radius, work.reserved2 / 2);
  work.particleSize = std::min(radius, work.reserved3 / 2);
  work.distortion = par.distortion / 100.0f;
  work.bias = Limit(par.bias / 100.0f, kEps, kMaxBelowOne);
  work.gain = 1.0f - Limit(par.gain / 100.0f, kEps, kMaxBelowOne);
  Copy_LutVign(&par.ramp, &work.ramp);
  DeriveKnots(par.redKnots, work.redKnots);
  DeriveKnots(par.greenKnots, work.greenKnots);
  DeriveKnots(par.blueKnots, work.blueKnots);
}

void MiscTextu::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                        float scaleX, float scaleY, int32_t width, int32_t height,
                        uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                        const uint8_t* mask) {
  if (!vmkrec::PlanesGiven(width, height, planeCount != 1, plane0, plane1, plane2)) return;
  // The generator's own preview and the image tools' can render at once on their workers:
  // one's colour curves would land under the other's pixels, and two first textures would
  // build the noise tables together.
  static std::mutex oneAtATime;
  const std::lock_guard<std::mutex> hold(oneAtATime);
  work.reserved2 = width;
  work.reserved3 = height;
  vmkrec::PreparePlaneSource(source, planeCount, width, height, plane0, plane1, plane2);

  DeriveWork(scaleX, scaleY);
  MakeColours();
  const int64_t count = static_cast<int64_t>(width) * height;
  plat::Block<float> texture(count, WorkSource());
  if (texture && MakeTexture(texture.get())) {
    HSLadjust_LutVign(&work.ramp, static_cast<int16_t>(work.hueShift),
                      static_cast<int16_t>(work.saturationShift),
                      static_cast<int16_t>(work.lightnessShift));
    const TextureTables& t = SharedTextureTables();
    uint8_t* planes[3] = {plane0, plane1, plane2};
    const int32_t n = planeCount == 1 ? 1 : 3;
    const float* tex = texture.get();
    // Each pixel from its own texture value: runs of samples on the shared threads.
    plat::ForEachByteRun(count, [&](int64_t first, int64_t last) {
      for (int64_t i = first; i < last; ++i) {
        const int32_t idx = RampIndex(tex[i]);
        const int32_t a = mask != nullptr ? mask[i] * opacity / 255 : opacity;
        const int32_t w = a * work.ramp.opacity[idx] / 255;
        for (int32_t p = 0; p < n; ++p) {
          const uint8_t c = work.ramp.colour[p][t.colours[idx][p]];
          unsigned char b = planes[p][i];  // a mode without a case keeps the pixel
          X_optionRPart(&b, static_cast<uint32_t>(blendMode + 1), planes[p][i], c);
          planes[p][i] = static_cast<uint8_t>(((255 - w) * planes[p][i] + w * b) / 255);
        }
      }
    });
  }
  HorizPattern(0, 1);
  VertPattern(0, 1);
}

void MiscTextu::MakeColours() {
  TextureTables& t = SharedTextureTables();
  const float* curves[3] = {work.redKnots, work.greenKnots, work.blueKnots};
  for (int32_t i = 0; i < 256; ++i) {
    for (int32_t p = 0; p < 3; ++p) {
      const float v = Spline(static_cast<float>(i) / 255.0f, curves[p], 6) * 255.0f;
      t.colours[i][p] = v < 0.0f ? 0 : v > 255.0f ? 255 : static_cast<uint8_t>(v);
    }
  }
}

float MiscTextu::Spline(float x, const float* knots, int32_t count) {
  if (count > 64 || count < 4) return 0.0f;
  const int32_t spans = count - 3;
  x = Limit(x, 0.0f, 1.0f) * static_cast<float>(spans);
  int32_t span = static_cast<int32_t>(x);
  if (span >= spans) span = count - 4;
  const float t = x - static_cast<float>(span);
  const float k0 = knots[span], k1 = knots[span + 1], k2 = knots[span + 2],
              k3 = knots[span + 3];
  const float c3 = -0.5f * k0 + 1.5f * k1 - 1.5f * k2 + 0.5f * k3;
  const float c2 = k0 - 2.5f * k1 + 2.0f * k2 - 0.5f * k3;
  const float c1 = -0.5f * k0 + 0.5f * k2;
  return ((c3 * t + c2) * t + c1) * t + k1;
}

float MiscTextu::Noise(float x, float y) {
  TextureTables& tb = SharedTextureTables();
  if (!tb.noiseReady) {
    plat::SeedRandom(static_cast<uint32_t>(work.seed));
    for (int32_t i = 0; i < 16; ++i) {
      const float angle =
          static_cast<float>(static_cast<double>(plat::Random()) * 6.283185308 / 2147483647.0);
      tb.gx[i] = std::sin(angle);
      tb.gy[i] = std::cos(angle);
      tb.perm[i] = i;
    }
    // The exchanges start at entry 16, still 0 here, so the table is not a strict
    // permutation; stored noise looks depend on exactly this shuffle.
    for (int32_t k = 16; k >= 2; k -= 2) {
      const int32_t j = plat::Random() % 16;
      std::swap(tb.perm[k], tb.perm[j]);
    }
    for (int32_t i = 0; i < 18; ++i) {
      tb.perm[16 + i] = tb.perm[i];
      tb.gx[16 + i] = tb.gx[i];
      tb.gy[16 + i] = tb.gy[i];
    }
    tb.noiseReady = true;
  }
  const float fxAll = x + 10000.0f, fyAll = y + 10000.0f;
  const int32_t ix = static_cast<int32_t>(fxAll), iy = static_cast<int32_t>(fyAll);
  const float fx = fxAll - static_cast<float>(ix), fy = fyAll - static_cast<float>(iy);
  const int32_t bx = ix & 15, by = iy & 15, bx1 = (bx + 1) & 15, by1 = (by + 1) & 15;
  auto corner = [&](int32_t a, int32_t b, float dx, float dy) {
    const int32_t g = tb.perm[b + tb.perm[a]];
    return dx * tb.gx[g] + dy * tb.gy[g];
  };
  const float e00 = corner(bx, by, fx, fy);
  const float e01 = corner(bx, by1, fx, fy - 1.0f);
  const float e10 = corner(bx1, by, fx - 1.0f, fy);
  const float e11 = corner(bx1, by1, fx - 1.0f, fy - 1.0f);
  const float sx = fx * fx * (3.0f - 2.0f * fx), sy = fy * fy * (3.0f - 2.0f * fy);
  const float a = e00 + sx * (e10 - e00);
  const float b = e01 + sx * (e11 - e01);
  return 1.5f * (a + sy * (b - a));
}

float MiscTextu::Turbulence(float x, float y, float octaves, float h) {
  TextureTables& tb = SharedTextureTables();
  if (!tb.exponentsReady) {
    // Fixed by the first call of the run; later values of h are not seen.
    float f = 1.0f;
    for (int32_t k = 0; k < 9; ++k, f *= 2.0f) tb.exponents[k] = std::pow(f, -h);
    tb.exponentsReady = true;
  }
  if (octaves < 0.0f || octaves > 8.0f) octaves = 8.0f;
  float value = 0.0f;
  int32_t i = 0;
  for (; static_cast<float>(i) < octaves; ++i) {
    value += Noise(x, y) * tb.exponents[i];
    x *= 2.0f;
    y *= 2.0f;
  }
  const float r = octaves - static_cast<float>(static_cast<int32_t>(octaves));
  if (r > kEps && i < 9) value += r * Noise(x, y) * tb.exponents[i];
  return value;
}

float MiscTextu::ShapeSample(float t, int32_t shape) {
  switch (shape) {
    case kShapeCosine: return std::cos(kTwoPi * t);
    case kShapeSawtooth: return 2.0f * std::fmod(t, 1.0f) - 1.0f;
    case kShapeTriangle: return 4.0f * std::fabs(std::fmod(t, 1.0f) - 0.5f) - 1.0f;
    case kShapeSquare: return std::fmod(t, 1.0f) > 0.5f ? 1.0f : -1.0f;
    default: return 0.0f;
  }
}

float MiscTextu::WavePattern(plat::Block<float>& table, int32_t size, int32_t picture, int32_t frequency,
                             float detail, int32_t shape, float t, int16_t release) {
  if (release == 1) {
    table.reset();
    return 0.0f;
  }
  if (size <= 0) return 0.0f;
  if (!table) {
    table = plat::Block<float>(size, WorkSource());
    if (!table) return 0.0f;
    // A preview's planes standing for a larger picture take the picture's
    // cycles; an octave of more than one cycle in two plane samples would
    // only alias, and comes to its mean, 0, in the picture scaled down.
    const bool preview = picture > 0 && picture != size;
    for (int32_t i = 0; i < size; ++i) {
      float entry = 0.0f;
      int32_t freq = static_cast<int32_t>(static_cast<double>(preview ? picture : size) * frequency / 200.0);
      float amplitude = 1.0f;
      for (int32_t k = 0; static_cast<float>(k) < detail; ++k) {
        if (preview && freq > size / 2) break;
        entry += amplitude * ShapeSample(static_cast<float>(freq) * static_cast<float>(i) /
                                             static_cast<float>(size),
                                         shape);
        freq *= 2;
        if (freq > size / 2) break;
        amplitude *= 0.707f;
      }
      table[i] = entry;
    }
  }
  float f = std::fmod(t, 1.0f);
  if (f < 0.0f) f += 1.0f;
  const float pos = f * static_cast<float>(size);
  const int32_t whole = static_cast<int32_t>(pos);
  const int32_t i = whole % size;
  return table[i] + (pos - static_cast<float>(whole)) * (table[(i + 1) % size] - table[i]);
}

float MiscTextu::VertPattern(float t, int16_t release) {
  return WavePattern(vertTable, work.reserved3, pictureHeight_, work.vertFrequency, work.vertDetail,
                     work.vertShape, t, release);
}

float MiscTextu::HorizPattern(float t, int16_t release) {
  return WavePattern(horizTable, work.reserved2, pictureWidth_, work.horizFrequency, work.horizDetail,
                     work.horizShape, t, release);
}

plat::Block<float> MiscTextu::MakeParticles() {
  const int32_t width = work.reserved2, height = work.reserved3;
  plat::Block<float> buffer(static_cast<int64_t>(width) * height, WorkSource());
  if (!buffer) return buffer;
  buffer.Clear();
  plat::SeedRandom(static_cast<uint32_t>(work.seed));
  const int32_t r = work.particleSize;
  const float r2 = static_cast<float>(r) * static_cast<float>(r);
  // A preview's planes place each particle where it falls on the picture.
  const bool picture = pictureWidth_ > 0 && pictureHeight_ > 0 && (pictureWidth_ != width || pictureHeight_ != height);
  for (int32_t n = 0; n < work.particleCount; ++n) {
    const int32_t cx = picture ? width + static_cast<int32_t>(int64_t{plat::Random() % pictureWidth_} * width / pictureWidth_)
                               : width + plat::Random() % width;
    const int32_t cy = picture
                           ? height + static_cast<int32_t>(int64_t{plat::Random() % pictureHeight_} * height / pictureHeight_)
                           : height + plat::Random() % height;
    for (int32_t dy = -r; dy < r; ++dy) {
      for (int32_t dx = -r; dx < r; ++dx) {
        const float d2 = static_cast<float>(dx * dx + dy * dy);
        if (d2 > r2) continue;
        float& v = buffer[static_cast<int64_t>((cy + dy) % height) * width + (cx + dx) % width];
        switch (work.particleFalloff) {
          case 0: v += 1.0f; break;
          case 1: v += 1.0f / (2.0f * d2 / r2 + 1.0f); break;
          case 2: v += 1.0f / (16.0f * d2 / r2); break;  // infinite at the centre
          case 3: v += (1.0f - v) * d2 / r2; break;
          default: break;
        }
      }
    }
  }
  return buffer;
}

float MiscTextu::Sample(const float* particles, int32_t x, int32_t y) {
  const int32_t width = work.reserved2, height = work.reserved3;
  const float u = static_cast<float>(x) / static_cast<float>(width);
  const float v = static_cast<float>(y) / static_cast<float>(height);
  const float T = work.turbulence > kEps
                      ? work.turbulence * Turbulence(16.0f * u, 16.0f * v, work.turbulenceDetail, 0.5f)
                      : 0.0f;
  const float V = work.vertFrequency != 0 && std::fabs(work.vertAmount) > kEps
                      ? work.vertAmount * VertPattern(v + work.distortion * (T + HorizPattern(u)))
                      : 0.0f;
  const float H = work.horizFrequency != 0 && std::fabs(work.horizAmount) > kEps
                      ? work.horizAmount * HorizPattern(u + work.distortion * (T + VertPattern(v)))
                      : 0.0f;
  float P = 0.0f;
  if (work.particleAmount != 0.0f && particles != nullptr) {
    const int32_t px = Wrap(static_cast<int32_t>(work.distortion * (T + V) * static_cast<float>(width) +
                                                 static_cast<float>(x) + 0.5f),
                            width);
    const int32_t py = Wrap(static_cast<int32_t>(work.distortion * (T + H) * static_cast<float>(height) +
                                                 static_cast<float>(y) + 0.5f),
                            height);
    P = 2.0f * work.particleAmount * particles[static_cast<int64_t>(py) * width + px] - 1.0f;
  }
  auto factor = [](float amount, float c) {
    return std::fabs(amount) > kEps ? (1.0f - std::fabs(amount)) + c : 1.0f;
  };
  const float fT = factor(work.turbulence, T), fV = factor(work.vertAmount, V);
  const float fH = factor(work.horizAmount, H), fP = factor(work.particleAmount, P);
  float s = 0.0f;
  switch (work.combineMode) {
    case 0: s = T + V + H + P; break;
    case 1: s = fT * fV * fH * fP; break;
    case 2: s = (V + H + P) * fT; break;
    case 3: s = (T + V + H) * fP; break;
    case 4: s = (V + H) * fT * fP; break;
    case 5: s = fV * fH + T + P; break;
    default: s = 0.0f; break;
  }
  float value = (s + 1.0f) * 0.5f;
  if (!(value == value)) value = 0.0f;  // an infinite centre times a zero factor
  value = Limit(value, 0.0f, 1.0f);
  return Shape(value, work.bias, work.gain);
}

bool MiscTextu::MakeTexture(float* texture) {
  plat::Block<float> particles;
  if (work.particleCount > 0) {
    particles = MakeParticles();
    if (!particles) return false;
  }
  const int32_t width = work.reserved2, height = work.reserved3;
  // The first sample sets up what every sample reads (the noise and exponent tables, the
  // wave tables), as the walk's first pixel always has; the others then only read them and
  // go to the shared threads in bands of rows. A wave table refused by the registry is asked
  // for again at every sample, so then the one walk stays.
  if (width > 0 && height > 0) texture[0] = Sample(particles.get(), 0, 0);
  const bool waves = (work.vertFrequency != 0 && std::fabs(work.vertAmount) > kEps) ||
                     (work.horizFrequency != 0 && std::fabs(work.horizAmount) > kEps);
  const bool tablesMissing = waves && ((height > 0 && !vertTable) || (width > 0 && !horizTable));
  const float* grains = particles.get();
  auto rows = [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y)
      for (int32_t x = y == 0 ? 1 : 0; x < width; ++x)
        texture[static_cast<int64_t>(y) * width + x] = Sample(grains, x, y);
  };
  if (tablesMissing)
    rows(0, height);
  else
    plat::ParallelFor(0, height, 8, rows);
  particles.reset();
  if (std::fabs(work.warp) > kEps) Smear(texture);
  HorizPattern(0, 1);
  VertPattern(0, 1);
  return true;
}

void MiscTextu::Smear(float* texture) const {
  const int32_t width = work.reserved2, height = work.reserved3;
  const bool picture = pictureWidth_ > 0 && pictureWidth_ != width;
  const float shrink = picture ? static_cast<float>(width) / static_cast<float>(pictureWidth_) : 1.0f;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const float v = texture[i];
      // The shift is in the picture's pixels: a preview's planes take it at their scale.
      const int32_t off = picture ? static_cast<int32_t>(work.warp * 32.0f * v * shrink + 0.5f)
                                  : static_cast<int32_t>(work.warp * 32.0f * v + 0.5f);
      // A negative shift reaches back into the previous row, and before the first row to
      // index 0: textures saved with a warp look that way.
      const int32_t c = (x + off) % width;
      int64_t j = static_cast<int64_t>(y) * width + c;
      if (j <= 0) j = 0;
      texture[i] = 0.5f * v + 0.5f * texture[j];
    }
  }
}
