// Moving the session's images between the host's image files and pixel
// buffers, and the image-info record that describes the session's image.
//
// The record keeps its sizes and rectangles in 16 bits. Rather than let a
// wider image wrap around in it, the readers refuse an image of 32768 pixels
// or more on either side: they print why on standard output and leave the
// buffer and the record as they were, so the session shows no image.
#pragma once

#include <cstdint>
#include <string>

#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "platform/imageio/image_io.h"
#include "platform/types/mac_types.h"

// Image-info record (one per session, allocated by the edit session).
struct FilterRecord {
  int16_t planeCount = 0;
  Rect imageRect;
  int16_t imageMode = 0;     // 3, 11 or 16 for 1, 2 or 4 bytes per component
  int32_t resolutionH = 0;   // 16.16 fixed
  int32_t resolutionV = 0;
  int16_t imageHeight = 0;
  int16_t imageWidth = 0;
  Rect inRect;
  int16_t inFirstPlane = 0;
  int16_t inLastPlane = 0;
  Rect outRect;
  int16_t outFirstPlane = 0;
  int16_t outLastPlane = 0;
  int16_t maskFromSource = 0;
  Rect maskRect;
  int16_t transparencyKind = 0;
  int16_t alphaIndex = 0;
};

extern FilterRecord* gFilterRecord;

// Largest side the record can describe.
inline constexpr uint32_t kMaxRecordSide = plat::imageio::kMaxSessionSide;

using ImageProperties = plat::imageio::Properties;

// True for 8 bits; for 16 only when running on Leopard or later.
bool validSourceFormat(int bitsPerComponent, bool runningOnLeopardOrLater);

// Reads image 0 of the file into `buffer` (4 components; 1 byte, 2 bytes or
// floats as the depth asks; 0 takes the image's own). The colours are read
// straight; the fourth component holds the file's alpha (opaque when it has
// none), and the properties' hasAlpha says it has one. The file's type and
// properties go to the outputs. On failure the buffer is left untouched and
// a negative status returned, with the reason in `message` when given.
int readSourceImage(const std::string& path, std::string* type, ImageProperties* properties,
                    int bitsPerComponent, bool runningOnLeopardOrLater, PixelBuffer& buffer,
                    std::string* message = nullptr);

// Fills the record from image 0 of the file; leaves it unchanged on failure.
int infoSourceImage(const std::string& path, std::string* type, ImageProperties* properties,
                    int bitsPerComponent, bool runningOnLeopardOrLater, FilterRecord* record,
                    std::string* message = nullptr);

// Writes the buffer as image 0 of a new file of the given type, at the
// buffer's depth where the format has it, with the fourth component as the
// alpha when the properties have it (TIFF and PNG), else without alpha. 0, or a negative
// status (the old file is kept) with the reason in `message`. An empty
// buffer writes nothing and returns 0.
int writeDestinationImage(const std::string& path, const std::string& type,
                          const ImageProperties& properties, const PixelBuffer& buffer,
                          std::string* message = nullptr);
