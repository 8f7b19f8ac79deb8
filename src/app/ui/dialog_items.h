// The classic dialog-item helpers: reading and writing a dialog's items by
// number. An item is the control of that number under the dialog's
// signature, so `{window, 'Popt'}` and item 3 reach the control ('Popt', 3).
// A number with no control behind it is ignored by the setters and reads as
// nothing (0, empty) through the getters.
//
// Icons ('cicn') and pictures ('PICT') come from the resource folder as
// picture files; they and the default ring draw into the current port.
#pragma once

#include <cstdint>

#include "platform/toolbox/toolbox.h"

// A dialog as these helpers see it: its window and the signature its items
// carry.
struct DialogRef {
  plat::tb::WindowRef window = nullptr;
  OSType signature = 0;
};

// The control behind an item, or null.
plat::tb::ControlRef DialogItem(DialogRef dialog, int16_t item);

// ---- texts and numbers ----

// Sets an item's text (length-prefixed) and asks for its redraw.
void PutDlgString(DialogRef dialog, int16_t item, const unsigned char* text);
// Reads an edit-text item's text into `text` (length-prefixed, cut at 255
// characters); other kinds leave `text` as it was. 1 when given a
// destination, else 0.
int16_t GetDlgString(DialogRef dialog, int16_t item, unsigned char* text);
void PutDlgLong(DialogRef dialog, int16_t item, int32_t value);
void PutDlgWord(DialogRef dialog, int16_t item, int16_t value);
// The getters store 0 first, so an empty item, a text that does not begin
// with a number and an item that is not an edit field all read 0.
void GetDlgLong(DialogRef dialog, int16_t item, int32_t* value);
void GetDlgWord(DialogRef dialog, int16_t item, int16_t* value);
// Four fraction digits: 1.05 shows "1.0500".
void PutDlgFloat(DialogRef dialog, int16_t item, float value);
void GetDlgFloat(DialogRef dialog, int16_t item, float* value);

// ---- check boxes, radio buttons, sliders, panels ----

// On (1) for a non-zero value, else off (0).
void PutDlgChkRadio(DialogRef dialog, int16_t item, int16_t value);
// 1 when the item is on, else 0.
int16_t GetDlgChkRadio(DialogRef dialog, int16_t item);
// Writes the number into the item that follows the slider.
void SetSliderText(DialogRef dialog, int16_t item, int32_t value);
// Sets the slider to the value held to its minimum..maximum and, when
// `withText` is not 0, shows that value in the item that follows it.
void SetSliderAndValue(DialogRef dialog, int16_t item, int32_t value, int16_t withText);
// Hides an item.
void GetDlgPanel(DialogRef dialog, int16_t item);

// ---- editing ----

// 0 when the focused item is not an edit field of the dialog or has nothing
// selected, else the focused item's number plus 1 (so that item 0 with a
// selection still answers non-zero).
int16_t TextSelected(DialogRef dialog);
// `count` scrap-type codes follow; nothing here pastes from the scrap, so
// the answer is always 0.
int16_t CanPaste(int16_t count, ...);

// ---- drawing ----

// The default-button ring around an item: its rectangle grown by 4 on every
// side, pen 3 by 3, corners 16, black; drawn into the dialog's port with the
// port, pen and colour put back afterwards.
void FrameDefault(DialogRef dialog, int16_t item);
// Colour icon 'cicn' `id` (`id` + 1 when `selected` is not 0) scaled into
// `r` of the current port; noErr, or -1 when the resource is missing or
// unreadable (nothing is drawn).
OSErr DrawIcon(const Rect* r, int16_t id, int16_t selected);
// The same for picture 'PICT' `id`.
OSErr DrawPic(const Rect* r, int16_t id, int16_t selected);
// Copies width x height 32-bit pixels (bytes R, G, B, unused in memory
// order, rows packed) into the dialog's port, scaled to `r`; -1 for a
// missing dialog, empty rectangle or empty block.
OSErr PutDlgIma(DialogRef dialog, const Rect* r, const uint32_t* pixels, int32_t width, int32_t height);
