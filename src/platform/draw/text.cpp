// Text for the few labels drawn into ports: one sans-serif face through
// FreeType, rendered as one-bit glyphs so that results are the same on every
// machine with the same font file and XOR text can be erased exactly.
#include <string>

#include "platform/draw/coverage.h"
#include "platform/draw/font_face.h"

namespace plat::draw {
namespace {

FT_Face TheFace(int size) {
  FT_Face face = SharedFace();
  if (face == nullptr) return nullptr;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size > 0 ? size : 12)) != 0) return nullptr;
  return face;
}

// Walks the glyphs of `text` from the pen location; `coverage` may be null
// when only the advance is wanted.
int Layout(const std::string& text, int size, int penH, int penV, Coverage* coverage) {
  const std::lock_guard<std::mutex> hold(SharedFaceLock());
  FT_Face face = TheFace(size);
  if (face == nullptr) return 0;
  int x = 0;
  for (unsigned char ch : text) {
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    if (coverage != nullptr && g->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
      int ox = penH + x + g->bitmap_left, oy = penV - g->bitmap_top;
      for (unsigned row = 0; row < g->bitmap.rows; ++row) {
        const unsigned char* bits = g->bitmap.buffer + static_cast<long>(row) * g->bitmap.pitch;
        for (unsigned col = 0; col < g->bitmap.width; ++col)
          if ((bits[col >> 3] >> (7 - (col & 7))) & 1) coverage->set(ox + static_cast<int>(col), oy + static_cast<int>(row));
      }
    }
    x += static_cast<int>(g->advance.x >> 6);
  }
  return x;
}

}  // namespace

void TextSize(int16_t size) {
  if (GetPort() != nullptr) GetPort()->textSize = size;
}

int16_t StringWidth(const std::string& text) {
  int size = GetPort() != nullptr ? GetPort()->textSize : 12;
  return static_cast<int16_t>(Layout(text, size, 0, 0, nullptr));
}

void DrawString(const std::string& text) {
  Port* p = GetPort();
  if (p == nullptr) return;
  if (p->recording()) p->record("DrawString " + text);
  int width = Layout(text, p->textSize, 0, 0, nullptr);
  int size = p->textSize > 0 ? p->textSize : 12;
  int16_t mode = p->pen.pnMode == patXor ? patXor : patOr;
  const int k = p->backingScale();
  if (k == 1) {
    Coverage cov(p->pen.pnLoc.h - size, p->pen.pnLoc.v - 2 * size, p->pen.pnLoc.h + width + size,
                 p->pen.pnLoc.v + size);
    Layout(text, p->textSize, p->pen.pnLoc.h, p->pen.pnLoc.v, &cov);
    ApplyInk(*p, cov, PixelOf(p->foreColor), mode, kBlackPattern);
  } else {
    // On a denser port the glyphs are set at the device size, so labels stay
    // sharp; the pen still moves by the text's width in port pixels.
    const int penH = p->pen.pnLoc.h * k, penV = p->pen.pnLoc.v * k;
    const int deviceWidth = Layout(text, size * k, 0, 0, nullptr);
    Coverage cov(penH - size * k, penV - 2 * size * k, penH + deviceWidth + size * k, penV + size * k);
    Layout(text, size * k, penH, penV, &cov);
    ApplyDeviceInk(*p, cov, PixelOf(p->foreColor), mode, kBlackPattern);
  }
  p->pen.pnLoc.h = static_cast<int16_t>(p->pen.pnLoc.h + width);
}

}  // namespace plat::draw
