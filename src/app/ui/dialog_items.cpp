#include "app/ui/dialog_items.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/core/text_helpers.h"
#include "platform/draw/port.h"
#include "platform/imageio/image_io.h"
#include "platform/resources/resource_file.h"

namespace tb = plat::tb;
namespace draw = plat::draw;

namespace {

constexpr OSType kColourIconType = FourCC("cicn");
constexpr OSType kPictureType = FourCC("PICT");

// Straight 8-bit RGBA rows, row 0 at the top as the caller gave them.
struct RgbaBlock {
  std::vector<uint8_t> bytes;
  int32_t width = 0;
  int32_t height = 0;
};

// Draws the block into `r` of the port. The drawing context puts an
// image's row 0 at the bottom of its rectangle, so the rows are handed over
// bottom-up, premultiplied as it expects.
void DrawBlock(draw::Port* port, const Rect& r, RgbaBlock& block) {
  const size_t rowBytes = static_cast<size_t>(block.width) * 4;
  std::vector<uint8_t> flipped(block.bytes.size());
  for (int32_t y = 0; y < block.height; ++y) {
    const uint8_t* src = block.bytes.data() + static_cast<size_t>(y) * rowBytes;
    uint8_t* dst = flipped.data() + static_cast<size_t>(block.height - 1 - y) * rowBytes;
    for (size_t i = 0; i < rowBytes; i += 4) {
      const unsigned a = src[i + 3];
      for (size_t k = 0; k < 3; ++k) dst[i + k] = static_cast<uint8_t>((src[i + k] * a + 127) / 255);
      dst[i + 3] = static_cast<uint8_t>(a);
    }
  }
  draw::Context ctx{port, 0, 0, port->clipRect};
  const CGRect where{{static_cast<float>(r.left), static_cast<float>(r.top)},
                     {static_cast<float>(r.right - r.left), static_cast<float>(r.bottom - r.top)}};
  draw::DrawImage(ctx, where, draw::ImageRef{flipped.data(), block.width, block.height,
                                             static_cast<int32_t>(rowBytes)},
                  false);
}

bool Drawable(const Rect* r) { return r != nullptr && r->left < r->right && r->top < r->bottom; }

// Plots resource `id` (or the next one for a selected state) of a picture
// type into the current port.
OSErr PlotResource(OSType type, const Rect* r, int16_t id, int16_t selected) {
  draw::Port* port = draw::GetPort();
  if (port == nullptr || !Drawable(r)) return -1;
  const auto path = plat::res::GetResourcePath(type, selected != 0 ? static_cast<int16_t>(id + 1) : id);
  if (!path) return -1;
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> argb;
  if (plat::imageio::DecodeARGB(*path, &width, &height, &argb) != 0 || width == 0 || height == 0) return -1;
  RgbaBlock block{std::vector<uint8_t>(argb.size()), static_cast<int32_t>(width), static_cast<int32_t>(height)};
  for (size_t i = 0; i + 3 < argb.size(); i += 4) {
    block.bytes[i] = argb[i + 1];
    block.bytes[i + 1] = argb[i + 2];
    block.bytes[i + 2] = argb[i + 3];
    block.bytes[i + 3] = argb[i];
  }
  DrawBlock(port, *r, block);
  return noErr;
}

// The text of an edit-text item as a C string; "" for any other item.
std::string EditText(DialogRef dialog, int16_t item) {
  unsigned char text[256] = {0};
  GetDlgString(dialog, item, text);
  return PStrString(text);
}

}  // namespace

tb::ControlRef DialogItem(DialogRef dialog, int16_t item) {
  return dialog.window != nullptr ? tb::FindControl(dialog.window, dialog.signature, item) : nullptr;
}

// ---- texts and numbers ----

void PutDlgString(DialogRef dialog, int16_t item, const unsigned char* text) {
  tb::ControlRef c = DialogItem(dialog, item);
  if (c == nullptr || text == nullptr) return;
  tb::SetControlText(c, PStrString(text));
  tb::SetControlNeedsDisplay(c);
}

int16_t GetDlgString(DialogRef dialog, int16_t item, unsigned char* text) {
  if (text == nullptr) return 0;
  tb::ControlRef c = DialogItem(dialog, item);
  if (tb::IsEditText(c)) SetPStr(text, tb::GetControlText(c));
  return 1;
}

void PutDlgLong(DialogRef dialog, int16_t item, int32_t value) {
  Str255 text;
  VMK_NumToString(value, text);
  PutDlgString(dialog, item, text);
}

void PutDlgWord(DialogRef dialog, int16_t item, int16_t value) { PutDlgLong(dialog, item, value); }

void GetDlgLong(DialogRef dialog, int16_t item, int32_t* value) {
  if (value == nullptr) return;
  *value = 0;
  VMK_StringToNum(EditText(dialog, item).c_str(), value);
}

void GetDlgWord(DialogRef dialog, int16_t item, int16_t* value) {
  if (value == nullptr) return;
  int32_t v = 0;
  GetDlgLong(dialog, item, &v);
  *value = static_cast<int16_t>(v);
}

void PutDlgFloat(DialogRef dialog, int16_t item, float value) {
  char text[64];
  FloatToStr(text, value, 3);
  Str255 p;
  CToPStrCopy(p, text);
  PutDlgString(dialog, item, p);
}

void GetDlgFloat(DialogRef dialog, int16_t item, float* value) {
  if (value == nullptr) return;
  *value = 0.0f;
  float v = 0.0f;
  if (std::sscanf(EditText(dialog, item).c_str(), "%f", &v) == 1) *value = v;
}

// ---- check boxes, radio buttons, sliders, panels ----

void PutDlgChkRadio(DialogRef dialog, int16_t item, int16_t value) {
  if (tb::ControlRef c = DialogItem(dialog, item)) tb::SetControl32BitValue(c, value != 0 ? 1 : 0);
}

int16_t GetDlgChkRadio(DialogRef dialog, int16_t item) {
  tb::ControlRef c = DialogItem(dialog, item);
  return c != nullptr && tb::GetControl32BitValue(c) != 0 ? 1 : 0;
}

void SetSliderText(DialogRef dialog, int16_t item, int32_t value) {
  PutDlgLong(dialog, static_cast<int16_t>(item + 1), value);
}

void SetSliderAndValue(DialogRef dialog, int16_t item, int32_t value, int16_t withText) {
  tb::ControlRef c = DialogItem(dialog, item);
  if (c == nullptr) return;
  const int32_t lo = tb::GetControl32BitMinimum(c), hi = tb::GetControl32BitMaximum(c);
  if (lo <= hi) value = std::clamp(value, lo, hi);
  tb::SetControl32BitValue(c, value);
  if (withText != 0) SetSliderText(dialog, item, value);
}

void GetDlgPanel(DialogRef dialog, int16_t item) {
  if (tb::ControlRef c = DialogItem(dialog, item)) tb::HideControl(c);
}

// ---- editing ----

int16_t TextSelected(DialogRef dialog) {
  if (dialog.window == nullptr) return 0;
  tb::ControlRef c = tb::GetKeyboardFocus(dialog.window);
  if (!tb::IsEditText(c) || tb::GetControlID(c).signature != dialog.signature) return 0;
  int32_t start = 0, end = 0;
  tb::GetEditTextSelection(c, &start, &end);
  return start == end ? 0 : static_cast<int16_t>(tb::GetControlID(c).id + 1);
}

// None of the codes changes the answer, so none is read: walking them would
// start the list after a 16-bit count, which the language leaves undefined
// (the count is promoted on the way in).
int16_t CanPaste(int16_t, ...) { return 0; }

// ---- drawing ----

void FrameDefault(DialogRef dialog, int16_t item) {
  tb::ControlRef c = DialogItem(dialog, item);
  draw::Port* port = dialog.window != nullptr ? tb::GetWindowPort(dialog.window) : nullptr;
  if (c == nullptr || port == nullptr) return;
  draw::Port* saved = draw::GetPort();
  draw::SetPort(port);
  draw::PenState pen;
  draw::GetPenState(&pen);
  RGBColor fore;
  draw::GetForeColor(&fore);
  Rect r = tb::GetControlBounds(c);
  r.left = static_cast<int16_t>(r.left - 4);
  r.top = static_cast<int16_t>(r.top - 4);
  r.right = static_cast<int16_t>(r.right + 4);
  r.bottom = static_cast<int16_t>(r.bottom + 4);
  draw::PenNormal();
  draw::PenSize(3, 3);
  draw::RGBForeColor(RGBColor{0, 0, 0});
  draw::FrameRoundRect(r, 16, 16);
  draw::RGBForeColor(fore);
  draw::SetPenState(pen);
  draw::SetPort(saved);
}

OSErr DrawIcon(const Rect* r, int16_t id, int16_t selected) { return PlotResource(kColourIconType, r, id, selected); }

OSErr DrawPic(const Rect* r, int16_t id, int16_t selected) { return PlotResource(kPictureType, r, id, selected); }

OSErr PutDlgIma(DialogRef dialog, const Rect* r, const uint32_t* pixels, int32_t width, int32_t height) {
  draw::Port* port = dialog.window != nullptr ? tb::GetWindowPort(dialog.window) : nullptr;
  if (port == nullptr || pixels == nullptr || width <= 0 || height <= 0 || !Drawable(r)) return -1;
  // The offscreen copy of the block, opaque whatever its fourth byte holds.
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  RgbaBlock block{std::vector<uint8_t>(count * 4), width, height};
  const auto* src = reinterpret_cast<const uint8_t*>(pixels);
  for (size_t i = 0; i < count * 4; i += 4) {
    std::memcpy(&block.bytes[i], src + i, 3);
    block.bytes[i + 3] = 255;
  }
  DrawBlock(port, *r, block);
  return noErr;
}
