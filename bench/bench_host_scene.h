// What the benchmarks that open an edit session share: a bundle of the
// project's window files and a maker's folder in a temporary folder for the
// whole run, and, for those that open the host on a photo, that photo
// written there as the host's editable version.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "host/session/app_object.h"
#include "platform/imageio/image_io.h"

namespace benchscene {

class HostScene {
 public:
  explicit HostScene(const std::string& tag)
      : root_(std::filesystem::temp_directory_path() / ("vmk-bench-" + tag + "-" + std::to_string(::getpid()))) {
    namespace fs = std::filesystem;
    const fs::path resources = root_ / "ApeVMKPlugin.bundle" / "Resources";
    fs::create_directories(resources);
    fs::create_directories(root_ / "support" / "Vellmarkstead");
    std::error_code ec;
    fs::create_directory_symlink(fs::path(VMK_SOURCE_DIR) / "resources" / "nib", resources / "VMKmain_pin.nib", ec);
    fs::create_directory_symlink(fs::path(VMK_SOURCE_DIR) / "resources" / "rsrc", resources / "ApeVMKPlugin.rsrc",
                                 ec);
    SetBundleFolder((root_ / "ApeVMKPlugin.bundle").string());
    ::setenv("VMK_SUPPORT_DIR", (root_ / "support").c_str(), 1);
  }
  HostScene(const std::string& tag, PixelBuffer& photo) : HostScene(tag) {
    version_ = (root_ / "photo.tif").string();
    plat::imageio::PixelSource source{photo.rowPtr(0), photo.rowBytes(), photo.width(), photo.height(), 1};
    plat::imageio::WriteImage(version_, plat::imageio::kTypeTIFF, plat::imageio::Properties{}, source, nullptr);
  }
  ~HostScene() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  HostScene(const HostScene&) = delete;
  HostScene& operator=(const HostScene&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // The photo's path, empty when the scene was made without one.
  const std::string& version() const { return version_; }

 private:
  std::filesystem::path root_;
  std::string version_;
};

}  // namespace benchscene
