// A plug-in bundle for tests: the project's window files and resource file
// linked into a temporary bundle folder, and a temporary Application Support
// folder holding an empty maker's folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "host/session/app_object.h"
#include "support/session.h"

namespace vmktest {

class TestBundle {
 public:
  TestBundle() {
    namespace fs = std::filesystem;
    const fs::path resources = dir_.path() / "ApeVMKPlugin.bundle" / "Resources";
    fs::create_directories(resources);
    fs::create_directory_symlink(fs::path(VMK_SOURCE_DIR) / "resources" / "nib",
                                 resources / "VMKmain_pin.nib");
    fs::create_directory_symlink(fs::path(VMK_SOURCE_DIR) / "resources" / "rsrc",
                                 resources / "ApeVMKPlugin.rsrc");
    fs::create_directories(dir_.path() / "support" / "Vellmarkstead");
    previous_ = BundleFolder();
    SetBundleFolder((dir_.path() / "ApeVMKPlugin.bundle").string());
    env_ = std::make_unique<ScopedEnv>("VMK_SUPPORT_DIR", (dir_.path() / "support").c_str());
  }
  ~TestBundle() { SetBundleFolder(previous_); }
  TestBundle(const TestBundle&) = delete;
  TestBundle& operator=(const TestBundle&) = delete;

  std::string makersFile(const std::string& name) const {
    return (dir_.path() / "support" / "Vellmarkstead" / name).string();
  }
  std::string file(const std::string& name) const { return dir_.file(name); }

 private:
  TempDir dir_;
  std::string previous_;
  std::unique_ptr<ScopedEnv> env_;
};

}  // namespace vmktest
