#include "support/colour_model_fixture.h"

#include <cstring>

namespace vmktest {

namespace {

int CellValue(int i) { return i * 8 > 255 ? 255 : i * 8; }

void FillDisplay(unsigned char* r, unsigned char* g, unsigned char* b) {
  for (int y = 0; y < 65; ++y) {
    for (int m = 0; m < 65; ++m) {
      for (int c = 0; c < 65; ++c) {
        const int i = y * 4096 + m * 64 + c;
        if (i >= kDisplayPlaneSize) continue;
        auto comp = [](int v) { return static_cast<unsigned char>(v * 4 > 255 ? 0 : 255 - v * 4); };
        r[i] = comp(c);
        g[i] = comp(m);
        b[i] = comp(y);
      }
    }
  }
}

}  // namespace

std::unique_ptr<ModTemplate> MakeComplementModel() {
  auto model = std::make_unique<ModTemplate>();
  std::memset(model->bytes, 0, sizeof(model->bytes));
  unsigned char* toYmc = model->bytes + kModRgbToYmc;
  unsigned char* toRgb = model->bytes + kModYmcToRgb;
  for (int a = 0; a < 33; ++a) {
    for (int b = 0; b < 33; ++b) {
      for (int c = 0; c < 33; ++c) {
        unsigned char* p = toYmc + (a * 1089 + b * 33 + c) * 3;
        // (r, g, b) -> (Y, M, C)
        p[0] = static_cast<unsigned char>(255 - CellValue(c));
        p[1] = static_cast<unsigned char>(255 - CellValue(b));
        p[2] = static_cast<unsigned char>(255 - CellValue(a));
        unsigned char* q = toRgb + (a * 1089 + b * 33 + c) * 3;
        // (y, m, c) -> (R, G, B)
        q[0] = static_cast<unsigned char>(255 - CellValue(c));
        q[1] = static_cast<unsigned char>(255 - CellValue(b));
        q[2] = static_cast<unsigned char>(255 - CellValue(a));
      }
    }
  }
  unsigned char* w = model->bytes + kModWeights;
  for (int group = 0; group < 512; ++group) {
    const int fa = (group >> 6) & 7, fb = (group >> 3) & 7, fc = group & 7;
    for (int corner = 0; corner < 8; ++corner) {
      const int d1 = (corner >> 2) & 1, d2 = (corner >> 1) & 1, d3 = corner & 1;
      const int weight = (d1 ? fa : 8 - fa) * (d2 ? fb : 8 - fb) * (d3 ? fc : 8 - fc);
      w[(group * 8 + corner) * 2] = static_cast<unsigned char>(weight & 0xFF);
      w[(group * 8 + corner) * 2 + 1] = static_cast<unsigned char>(weight >> 8);
    }
  }
  FillDisplay(model->bytes + kModDisplayR, model->bytes + kModDisplayG, model->bytes + kModDisplayB);
  for (int k = 0; k < 256; ++k) {
    const unsigned v = 255u - static_cast<unsigned>(k);
    unsigned char* p = model->bytes + kModBlack + k * 4;
    p[0] = static_cast<unsigned char>(v);
    p[1] = p[2] = p[3] = 0;
  }
  return model;
}

std::unique_ptr<PhoModTemplate> MakeComplementPreviewModel() {
  auto model = std::make_unique<PhoModTemplate>();
  std::memset(model->bytes, 0, sizeof(model->bytes));
  FillDisplay(model->bytes, model->bytes + kDisplayPlaneSize, model->bytes + 2 * kDisplayPlaneSize);
  for (int k = 0; k < 256; ++k) model->bytes[kPhoBlack + k] = static_cast<unsigned char>(255 - k);
  return model;
}

}  // namespace vmktest
