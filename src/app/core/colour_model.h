// The YMCK colour model: one block of tables through which RGB and YMCK
// colours are converted, and the smaller preview model of three display
// planes that the YMCK previews draw through.
//
// The model is a data format; only the byte offsets below are read. Sixteen-
// and 32-bit entries are little-endian. Nothing in the system builds a model
// (the application keeps a null one), so every conversion copes with a null
// model by returning -1 and leaving its outputs alone.
//
// Pixel layouts: an RGB(K) pixel holds (z, r, g, b) in bytes 0..3, a YMCK
// pixel (y, m, c, k).
#pragma once

#include <cstdint>

// Byte offsets inside the colour model.
inline constexpr int32_t kModRgbToYmc = 1620;       // 33^3 cells of (Y, M, C)
inline constexpr int32_t kModYmcToRgb = 109431;     // 33^3 cells of (R, G, B)
inline constexpr int32_t kModTableSize = 107811;
inline constexpr int32_t kModWeights = 660096;      // 512 groups of 8 x u16
inline constexpr int32_t kModDisplayR = 772224;     // 65^3 bytes each
inline constexpr int32_t kModDisplayG = 1046849;
inline constexpr int32_t kModDisplayB = 1321474;
inline constexpr int32_t kModBlack = 1596100;       // 256 x u32 by K
inline constexpr int32_t kModTemplateSize = kModBlack + 1024;
inline constexpr int32_t kDisplayPlaneSize = 274625;

struct ModTemplate {
  unsigned char bytes[kModTemplateSize];
};

// Preview model: display planes R, G, B, then 256 black-factor bytes.
inline constexpr int32_t kPhoBlack = 3 * kDisplayPlaneSize;
inline constexpr int32_t kPhoModTemplateSize = kPhoBlack + 256;

struct PhoModTemplate {
  unsigned char bytes[kPhoModTemplateSize];
};

// Index of a YMC triple into a display plane.
inline int32_t DisplayIndex(int32_t y, int32_t m, int32_t c) {
  return (y >> 2) * 4096 + (m >> 2) * 64 + (c >> 2);
}

// Table conversions of `count` four-byte pixels; `table` is a 33^3 cell
// table, `weights` the 512 weight groups. Return 0.
int32_t XCAR_convert_rgbk_ymck(const unsigned char* in, unsigned char* out, int32_t count,
                               const unsigned char* table, const unsigned char* weights);
int32_t XCAR_convert_ymck_rgbk(const unsigned char* in, unsigned char* out, int32_t count,
                               const unsigned char* table, const unsigned char* weights);

// One colour, 8-bit in. 0 on success; -1 without a model (outputs unchanged).
int32_t RGB_to_YMCK(int32_t r, int32_t g, int32_t b, int16_t* y, int16_t* m, int16_t* c,
                    int16_t* k, const ModTemplate* model);
// Gives 16-bit components (value * 256).
int32_t YMCK_to_RGB(int32_t y, int32_t m, int32_t c, int32_t k, uint16_t* r, uint16_t* g,
                    uint16_t* b, const ModTemplate* model);

// Little-endian accessors of the model's wider entries.
uint16_t ModWeight(const unsigned char* weights, int32_t group, int32_t corner);
uint32_t ModBlackFactor(const ModTemplate& model, int32_t k);
