// The entry point of the plug-in module ApeVMKPlugin.so. The module carries
// its own copy of everything below the host floor, so it exports its
// factory and the few hooks the host looks up by name, nothing else; the
// bundle's resources sit beside it.
#include <dlfcn.h>

#include <filesystem>

#include "host/edit_session.h"
#include "host/plugin_entry.h"
#include "host/session/app_object.h"
#include "platform/files/file_io.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"

extern "C" __attribute__((visibility("default"))) plat::hostapi::ApertureEditPlugin*
ApertureVMK_UIEditPluginCreate(plat::hostapi::ApertureApiManager* apiManager) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ApertureVMK_UIEditPluginCreate), &info) != 0 &&
      info.dli_fname != nullptr)
    SetBundleFolder(std::filesystem::path(info.dli_fname).parent_path().string());
  // The host runs the Qt application; the plug-in's windows need the live
  // mouse, cursor and alert services on it.
  static bool servicesInstalled = false;
  if (!servicesInstalled) {
    plat::tb::InstallLiveServices();
    servicesInstalled = true;
  }
  return ApertureVMK_UIEditPlugin::initWithAPIManager(apiManager);
}

extern "C" __attribute__((visibility("default"))) void ApertureVMK_UIEditPluginWatchTemporaries(
    const plat::files::TemporaryWatch* watch) {
  plat::files::WatchTemporaries(watch);
}

extern "C" __attribute__((visibility("default"))) int ApertureVMK_UIEditPluginRenderLayers(
    plat::hostapi::ApertureEditPlugin* plugin, const char* layerFile) {
  auto* entry = dynamic_cast<ApertureVMK_UIEditPlugin*>(plugin);
  if (entry == nullptr || entry->_carbonEditPlugin == nullptr || layerFile == nullptr) return -1;
  return entry->_carbonEditPlugin->RenderLayerFile(layerFile);
}

extern "C" __attribute__((visibility("default"))) long ApertureVMK_UIEditPluginPreviewsShown(
    plat::hostapi::ApertureEditPlugin* plugin) {
  auto* entry = dynamic_cast<ApertureVMK_UIEditPlugin*>(plugin);
  if (entry == nullptr || entry->_carbonEditPlugin == nullptr || gVMKapp == nullptr) return 0;
  long shown = 0;
  for (int i = 0; i < kCustomViewCount; ++i)
    if (const VMKimabox* box = gVMKapp->ImageView(i)) shown += static_cast<long>(box->previewsShown());
  return shown;
}
