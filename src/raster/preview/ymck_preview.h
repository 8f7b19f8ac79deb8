// The preview side of the YMCK model: fast conversion of YMCK pixels through
// the display planes, the preview model's file, the channel views and the
// drawing of RGB and YMCK long buffers into a drawing port.
//
// Display pixels are 32-bit with byte 0 alpha (left as it is) and bytes 1, 2,
// 3 red, green and blue. Rectangles are inclusive and clipped to the buffer.
#pragma once

#include <cstdint>

#include "app/core/colour_model.h"
#include "platform/types/mac_types.h"

namespace plat::draw {
class Port;
}

// Colour laid over masked pixels of a preview.
struct TColMsk {
  int32_t unused;
  int32_t red;
  int32_t green;
  int32_t blue;
  int32_t opacity;
};

// YMCK pixels of four bytes to RGB triples of three bytes through the fast
// display planes. 0, or -1 without a model.
int32_t X_conv_YMCK_RGB(const unsigned char* src, unsigned char* dst, int32_t count,
                        const ModTemplate* model);

// Mode 0 reads the preview model's three display planes from the file
// ":VMKphop" in the maker's folder, any other mode writes them there.
// 0, or -1 when the file cannot be opened for reading, is short, or a read
// or write fails (a failed read leaves the model as it was).
int32_t LoadPhoMod(int16_t mode, PhoModTemplate* model);
// Builds nothing: the preview model has no generator of its own.
int32_t CreatePhoMod(PhoModTemplate* model);

// Display bytes 1..3 of one pixel for a channel view (bits 1, 2, 4 = a, b, c);
// `single` 1 shows each channel in its own colour. Views 0 and above 7 leave
// the pixel alone.
void HiQ_RGBConvert(int16_t view, unsigned char* pixel, int16_t single, int32_t a, int32_t b,
                    int32_t c);

// Draws a (width rounded up to 4) x height block of display pixels, of which
// width x height are used, into (x, y, x + w, y + h) of the port.
void S_write_image(const Rect& bounds, plat::draw::Port* port, const uint32_t* data,
                   int32_t width, int32_t height, int32_t x, int32_t y, int32_t w, int32_t h);

// Draws the rectangle of an RGB long buffer at (x, y) of the port, scaled by
// zoom. View -1 paints white; with a colour mask the mask plane's nonzero
// samples get the mask colour laid over.
void X_RGBecho_UG(plat::draw::Port* port, int32_t height, int32_t width, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y, int16_t view,
                  const TColMsk* colourMask, int16_t single, int16_t invert,
                  const uint32_t* buffer, const unsigned char* mask, float zoom);
// The same for a YMCK buffer through the preview model (nothing is drawn
// without one). The four view settings are not used.
void X_YMCKecho_UG(plat::draw::Port* port, int32_t height, int32_t width, int32_t left,
                   int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y, float zoom,
                   int16_t view1, int16_t view2, int16_t view3, int16_t view4,
                   const uint32_t* buffer, const PhoModTemplate* model);
// Converts the rectangle straight into an offscreen port's pixels, its
// top-left corner at (destLeft, destTop): mode 15 through the preview model,
// any other mode copying bytes 0, 1, 2 as red, green, blue.
void X_echo_OFFSCREEN(const uint32_t* buffer, plat::draw::Port* offscreen, int16_t view,
                      int16_t mode, int32_t height, int32_t width, int32_t left, int32_t top,
                      int32_t right, int32_t bottom, int32_t destLeft, int32_t destTop,
                      int32_t destRight, int32_t destBottom, const PhoModTemplate* model);
