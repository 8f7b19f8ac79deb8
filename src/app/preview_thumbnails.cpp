#include "app/preview_thumbnails.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/image_import.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_io.h"
#include "platform/resources/resource_file.h"

namespace {

constexpr int64_t kPreviewBytes = int64_t{kPreviewSide} * kPreviewSide * 4;

int16_t StoreBlock(int16_t id, int64_t size, const uint8_t* bytes) {
  const std::string& root = plat::res::ResourceFolder();
  if (root.empty()) return -1;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path dir = fs::path(root) / plat::res::TypeFolderName(kImageBlockType);
  fs::create_directories(dir, ec);
  if (ec) return -1;
  int16_t ref = 0;
  const std::string path = (dir / (std::to_string(id) + ".bin")).string();
  if (plat::files::OpenReplacement(path, 0, 0, &ref) != noErr) return -1;
  int32_t count = static_cast<int32_t>(size);
  const OSErr wrote = plat::files::WriteFile(ref, bytes, &count);
  const OSErr closed = plat::files::CloseFile(ref);
  return wrote == noErr && closed == noErr && count == size ? 0 : -1;
}

// The thumbnail an effect file carries: 130 x 130 pixels, or nothing.
bool ReadThumbnail(const fichier& file, std::vector<uint8_t>* pixels) {
  int16_t ref = 0;
  if (plat::files::OpenFile(FicToPosix(file), &ref) != noErr) return false;
  std::vector<uint8_t> head(kPreviewPixelsAt + kPreviewBytes);
  int32_t count = static_cast<int32_t>(head.size());
  const OSErr read = plat::files::ReadFile(ref, head.data(), &count);
  plat::files::CloseFile(ref);
  if (read != noErr || count != static_cast<int32_t>(head.size())) return false;
  if (plat::bytes::loadLE16(head.data() + kPreviewFlagAt) != 1) return false;
  pixels->assign(head.begin() + kPreviewPixelsAt, head.end());
  return true;
}

void Show(plat::draw::Port* port, const Rect& area, const uint8_t* pixels, int32_t w, int32_t h) {
  const plat::draw::Context ctx{port, 0, 0, Rect{area.top, area.left, static_cast<int16_t>(area.top + kPreviewSide),
                                                 static_cast<int16_t>(area.left + kPreviewSide)}};
  const CGRect where{{static_cast<float>(area.left + (kPreviewSide - w) / 2),
                      static_cast<float>(area.top + (kPreviewSide - h) / 2)},
                     {static_cast<float>(w), static_cast<float>(h)}};
  plat::draw::DrawImage(ctx, where, plat::draw::ImageRef{pixels, w, h, kPreviewSide * 4}, false);
}

}  // namespace

int16_t LoadImaRsrc(int16_t mode, int16_t id, int32_t width, int32_t height, uint8_t* bytes) {
  if (bytes == nullptr || width <= 0 || height <= 0) return -1;
  const int64_t size = static_cast<int64_t>(width) * height;
  if (size > INT32_MAX) return -1;
  if (mode == 2) return StoreBlock(id, size, bytes);
  if (mode != 0) return -1;
  const auto block = plat::res::GetResource(kImageBlockType, id);
  if (!block || static_cast<int64_t>(block->size()) < size) return -1;
  std::copy(block->begin(), block->begin() + size, bytes);
  return 0;
}

int16_t showPreview(fichier* file, plat::draw::Port* port, const Rect& area) {
  if (file == nullptr || port == nullptr) return -1;
  std::vector<uint8_t> pixels(static_cast<size_t>(kPreviewBytes), 0);
  int32_t w = 0;
  int32_t h = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(file, &w, &h, &unused) == 0 && w > 0 && h > 0) {
    const int32_t dw = w >= h ? kPreviewSide : std::max(2, static_cast<int32_t>(int64_t{kPreviewSide} * w / h));
    const int32_t dh = w >= h ? std::max(2, static_cast<int32_t>(int64_t{kPreviewSide} * h / w)) : kPreviewSide;
    if (AS_GetResizedImage(file, 1, 0, 0, 0, 0, kPreviewSide, kPreviewSide, 0, 0, dw - 1, dh - 1, 1,
                           pixels.data(), nullptr, nullptr, nullptr) != 0) {
      return -1;
    }
    for (size_t k = 3; k < pixels.size(); k += 4) pixels[k] = 255;
    Show(port, area, pixels.data(), dw, dh);
    return 0;
  }
  if (!ReadThumbnail(*file, &pixels)) return -1;
  for (size_t k = 3; k < pixels.size(); k += 4) pixels[k] = 255;
  Show(port, area, pixels.data(), kPreviewSide, kPreviewSide);
  return 0;
}
