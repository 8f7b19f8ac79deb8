#include "dialogs/frame/fine_bitmap.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

#include "views/image_box.h"

void ShowFineBitmap(VMKimabox* box, int32_t w, int32_t h, const BitmapDraw& draw, uint8_t* bitmap) {
  if (box == nullptr || !draw || w <= 0 || h <= 0) return;
  const ImaboxState& st = box->state();
  const int32_t vw = st.viewWidth, vh = st.viewHeight;
  int32_t k = std::max<int32_t>(box->backingScale(), 1);
  // A port rectangle has 16-bit edges: a picture too large for one at the
  // screen's density is drawn at the view's size.
  constexpr int32_t kEdge = std::numeric_limits<int16_t>::max();
  if (static_cast<int64_t>(std::max(w, h)) * k > kEdge || vw <= 0 || vh <= 0) k = 1;
  if (k == 1) {
    if (w > kEdge || h > kEdge) return;
    std::vector<uint8_t> own;
    if (bitmap == nullptr) {
      own.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
      bitmap = own.data();
    }
    const Rect r{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
    if (!draw(1, r, bitmap)) return;
    box->SetBuf(0, w, h, reinterpret_cast<char*>(bitmap), w, h, 255);
    return;
  }
  const int32_t pw = w * k, ph = h * k;
  std::vector<uint8_t> fine(static_cast<size_t>(pw) * static_cast<size_t>(ph) * 4);
  const Rect r{0, 0, static_cast<int16_t>(ph), static_cast<int16_t>(pw)};
  if (!draw(k, r, fine.data())) return;
  // Planes of the whole display at the device pixels: the picture in its
  // corner, black beyond it.
  const int32_t dw = vw * k, dh = vh * k;
  const size_t n = static_cast<size_t>(dw) * static_cast<size_t>(dh);
  std::vector<uint8_t> planes(3 * n, 0);
  uint8_t* const at[3] = {planes.data(), planes.data() + n, planes.data() + 2 * n};
  const int32_t cw = std::min(pw, dw), ch = std::min(ph, dh);
  for (int32_t y = 0; y < ch; ++y) {
    const uint8_t* from = fine.data() + static_cast<size_t>(y) * static_cast<size_t>(pw) * 4;
    const size_t row = static_cast<size_t>(y) * static_cast<size_t>(dw);
    for (int32_t x = 0; x < cw; ++x, from += 4)
      for (int c = 0; c < 3; ++c) at[c][row + static_cast<size_t>(x)] = from[c];
  }
  box->SetFineBufRGB(k, 0, 0, vw, vh, vw, vh, at[0], at[1], at[2], nullptr, 255, 0);
}
