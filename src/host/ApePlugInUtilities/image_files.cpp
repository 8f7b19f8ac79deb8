// Image files of the edit session on the platform's image layer.
#include "host/ApePlugInUtilities/image_files.h"

#include <cstdio>
#include <iostream>

FilterRecord* gFilterRecord = nullptr;

namespace {

namespace io = plat::imageio;

void ReportInvalidFormat(int bitsPerComponent, bool leopard) {
  if (bitsPerComponent != 0 && !validSourceFormat(bitsPerComponent, leopard))
    std::cout << "Invalid format in readSourceImage. bitsPerComponent = " << bitsPerComponent
              << " runningOnLeopardOrLater = " << (leopard ? "true" : "false") << std::endl;
}

// Bytes per component of the buffer for a requested depth (0: the image's).
uint32_t BufferBytes(int bitsPerComponent, const io::ImageInfo& info, bool leopard) {
  const int b = (bitsPerComponent != 0 ? bitsPerComponent : info.bitsPerComponent) / 8;
  if (b == 2 && leopard) return 2;
  if (b < 2) return 1;
  return 4;
}

bool RefuseTooLarge(const io::ImageInfo& info, const std::string& path, std::string* message) {
  if (info.width <= kMaxRecordSide && info.height <= kMaxRecordSide) return false;
  const std::string text = "Image too large in readSourceImage: " + std::to_string(info.width) +
                           " x " + std::to_string(info.height) + " pixels in " + path +
                           "; at most " + std::to_string(kMaxRecordSide) +
                           " pixels per side are supported.";
  std::cout << text << std::endl;
  if (message != nullptr) *message = text;
  return true;
}

}  // namespace

bool validSourceFormat(int bitsPerComponent, bool runningOnLeopardOrLater) {
  if (bitsPerComponent == 8) return true;
  return bitsPerComponent == 16 && runningOnLeopardOrLater;
}

int readSourceImage(const std::string& path, std::string* type, ImageProperties* properties,
                    int bitsPerComponent, bool leopard, PixelBuffer& buffer,
                    std::string* message) {
  ReportInvalidFormat(bitsPerComponent, leopard);
  PixelBuffer fresh;
  bool refused = false;
  io::TargetFactory factory = [&](const io::ImageInfo& info, io::PixelTarget* t) {
    if (RefuseTooLarge(info, path, message)) {
      refused = true;
      return false;
    }
    const uint32_t b = BufferBytes(bitsPerComponent, info, leopard);
    PixelBuffer made(info.width, info.height, b, 4);
    if (made.width() != info.width || made.height() != info.height) return false;
    fresh.swap(made);
    t->base = fresh.rowPtr(0);
    t->rowBytes = fresh.rowBytes();
    t->bytesPerComponent = static_cast<int>(b);
    return true;
  };
  io::ImageInfo info;
  std::string why;
  // Straight colours, the alpha in the fourth component: the effects edit
  // the colour planes only, so a picture with an alpha channel keeps it
  // through the session, and the properties say so to the write-back. A
  // picture without one reads the same either way, opaque.
  const int st = io::ReadImage(path, factory, &info, true, &why);
  if (refused) return io::kErrTooLarge;
  if (st != io::kOk) {
    if (message != nullptr) *message = why;
    return st;
  }
  if (type != nullptr) *type = info.type;
  if (properties != nullptr) *properties = info.properties;
  buffer.swap(fresh);
  return 0;
}

int infoSourceImage(const std::string& path, std::string* /*type*/,
                    ImageProperties* /*properties*/, int bitsPerComponent, bool leopard,
                    FilterRecord* record, std::string* message) {
  ReportInvalidFormat(bitsPerComponent, leopard);
  io::ImageInfo info;
  const int st = io::ReadInfo(path, &info, message);
  if (st != io::kOk) return st;
  if (RefuseTooLarge(info, path, message)) return io::kErrTooLarge;
  if (record == nullptr) return io::kErrArgument;
  const auto w = static_cast<int16_t>(info.width);
  const auto h = static_cast<int16_t>(info.height);
  const Rect whole{0, 0, h, w};
  record->planeCount = 3;
  record->imageRect = whole;
  switch (BufferBytes(bitsPerComponent, info, leopard)) {
    case 1: record->imageMode = 3; break;
    case 2: record->imageMode = 11; break;
    case 4: record->imageMode = 16; break;
    default: break;
  }
  record->resolutionH = 0x00480000;
  record->resolutionV = 0x00480000;
  record->imageHeight = h;
  record->imageWidth = w;
  record->inRect = whole;
  record->inFirstPlane = 0;
  record->inLastPlane = 2;
  record->outRect = whole;
  record->outFirstPlane = 0;
  record->outLastPlane = 2;
  record->maskFromSource = 0;
  record->maskRect = whole;
  record->transparencyKind = 1;
  record->alphaIndex = 3;
  return 0;
}

int writeDestinationImage(const std::string& path, const std::string& type,
                          const ImageProperties& properties, const PixelBuffer& buffer,
                          std::string* message) {
  if (buffer.width() == 0 || buffer.height() == 0) return 0;
  io::PixelSource px;
  px.base = buffer.rowPtr(0);
  px.rowBytes = buffer.rowBytes();
  px.width = buffer.width();
  px.height = buffer.height();
  px.bytesPerComponent = static_cast<int>(buffer.bytesPerComponent());
  return io::WriteImage(path, type, properties, px, message);
}
