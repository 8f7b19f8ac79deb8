// Trilinear table conversions between RGB and YMCK through the colour model.
//
// Each component picks a cell of the 33 x 33 x 33 table by its top five bits
// and a weight group by its low three bits; the eight corners of the cell are
// summed with weights that add up to 512.
#include "app/core/colour_model.h"

#include "app/core/sample_clamp.h"

namespace {

// Corners in the order (0,0,0), (0,0,1), (0,1,0), ... (1,1,1) of the first,
// second and third component, against weights 0..7.
inline void Interpolate(const unsigned char* table, const unsigned char* weights, int32_t a,
                        int32_t b, int32_t c, int32_t sums[3]) {
  const int32_t base = ((a >> 3) * 1089 + (b >> 3) * 33 + (c >> 3)) * 3;
  const int32_t group = ((a & 7) << 6) + ((b & 7) << 3) + (c & 7);
  sums[0] = sums[1] = sums[2] = 0;
  for (int32_t corner = 0; corner < 8; ++corner) {
    const int32_t d1 = (corner >> 2) & 1, d2 = (corner >> 1) & 1, d3 = corner & 1;
    const unsigned char* cell = table + base + (d1 * 1089 + d2 * 33 + d3) * 3;
    const int32_t w = ModWeight(weights, group, corner);
    sums[0] += w * cell[0];
    sums[1] += w * cell[1];
    sums[2] += w * cell[2];
  }
}

}  // namespace

uint16_t ModWeight(const unsigned char* weights, int32_t group, int32_t corner) {
  const unsigned char* p = weights + (group * 8 + corner) * 2;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ModBlackFactor(const ModTemplate& model, int32_t k) {
  const unsigned char* p = model.bytes + kModBlack + (k & 0xFF) * 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t XCAR_convert_rgbk_ymck(const unsigned char* in, unsigned char* out, int32_t count,
                               const unsigned char* table, const unsigned char* weights) {
  if (in == nullptr || out == nullptr || table == nullptr || weights == nullptr) return 0;
  for (int32_t i = 0; i < count; ++i, in += 4, out += 4) {
    const int32_t z = in[0];
    int32_t v[3] = {in[1], in[2], in[3]};
    if (z < 255) {
      // Undo the darkening that the black took away.
      for (int32_t& comp : v) {
        const int32_t s = comp == 0 ? 1 : comp;
        comp = s * 255 / (255 - z);
        if (comp > 255) comp = 255;
      }
    }
    int32_t sums[3];
    Interpolate(table, weights, v[0], v[1], v[2], sums);
    out[0] = static_cast<unsigned char>(sums[0] >> 9);
    out[1] = static_cast<unsigned char>(sums[1] >> 9);
    out[2] = static_cast<unsigned char>(sums[2] >> 9);
    out[3] = static_cast<unsigned char>(z);
  }
  return 0;
}

int32_t XCAR_convert_ymck_rgbk(const unsigned char* in, unsigned char* out, int32_t count,
                               const unsigned char* table, const unsigned char* weights) {
  if (in == nullptr || out == nullptr || table == nullptr || weights == nullptr) return 0;
  for (int32_t i = 0; i < count; ++i, in += 4, out += 4) {
    const int32_t k = in[3];
    int32_t sums[3];
    Interpolate(table, weights, in[0], in[1], in[2], sums);
    out[0] = static_cast<unsigned char>(k);
    out[1] = static_cast<unsigned char>((sums[0] * (255 - k)) >> 17);
    out[2] = static_cast<unsigned char>((sums[1] * (255 - k)) >> 17);
    out[3] = static_cast<unsigned char>((sums[2] * (255 - k)) >> 17);
  }
  return 0;
}

int32_t RGB_to_YMCK(int32_t r, int32_t g, int32_t b, int16_t* y, int16_t* m, int16_t* c,
                    int16_t* k, const ModTemplate* model) {
  if (model == nullptr || y == nullptr || m == nullptr || c == nullptr || k == nullptr) return -1;
  r = Clamp255(r);
  g = Clamp255(g);
  b = Clamp255(b);
  int32_t mx = r > g ? r : g;
  mx = mx > b ? mx : b;
  const float V = static_cast<float>(mx) / 255.0f;
  if (V == 0.0f) {
    *y = *m = *c = 0;
    *k = 255;
    return 0;
  }
  const int32_t z = static_cast<int32_t>((1.0f - V) * 128.0f);
  const unsigned char in[4] = {static_cast<unsigned char>(z), static_cast<unsigned char>(r),
                               static_cast<unsigned char>(g), static_cast<unsigned char>(b)};
  unsigned char out[4];
  XCAR_convert_rgbk_ymck(in, out, 1, model->bytes + kModRgbToYmc, model->bytes + kModWeights);
  *y = out[0];
  *m = out[1];
  *c = out[2];
  *k = static_cast<int16_t>(z);
  return 0;
}

int32_t YMCK_to_RGB(int32_t y, int32_t m, int32_t c, int32_t k, uint16_t* r, uint16_t* g,
                    uint16_t* b, const ModTemplate* model) {
  if (model == nullptr || r == nullptr || g == nullptr || b == nullptr) return -1;
  const unsigned char in[4] = {static_cast<unsigned char>(y), static_cast<unsigned char>(m),
                               static_cast<unsigned char>(c), static_cast<unsigned char>(k)};
  unsigned char out[4];
  XCAR_convert_ymck_rgbk(in, out, 1, model->bytes + kModYmcToRgb, model->bytes + kModWeights);
  *r = static_cast<uint16_t>(out[1] << 8);
  *g = static_cast<uint16_t>(out[2] << 8);
  *b = static_cast<uint16_t>(out[3] << 8);
  return 0;
}
