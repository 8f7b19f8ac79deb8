#include "host/plugin_entry.h"

#include "host/edit_session.h"

ApertureVMK_UIEditPlugin* ApertureVMK_UIEditPlugin::initWithAPIManager(
    plat::hostapi::ApertureApiManager* apiManager) {
  if (apiManager == nullptr) return nullptr;
  plat::hostapi::ApertureEditManager* edit =
      apiManager->apiForProtocol(plat::hostapi::kApertureEditManagerProtocol);
  if (edit == nullptr) return nullptr;
  auto* plugin = new ApertureVMK_UIEditPlugin();
  plugin->_apiManager = apiManager;
  plugin->_editManager = edit;
  return plugin;
}

ApertureVMK_UIEditPlugin::~ApertureVMK_UIEditPlugin() {
  delete _carbonEditPlugin;
  _carbonEditPlugin = nullptr;
}

void ApertureVMK_UIEditPlugin::beginEditSession() {
  if (_carbonEditPlugin != nullptr) return;  // one session at a time
  _carbonEditPlugin = new CarbonEditPlugin(_apiManager, "ApertureVMK_UIEditPlugin", _editManager);
}

void* ApertureVMK_UIEditPlugin::editWindow() {
  if (_editWindow == nullptr && _carbonEditPlugin != nullptr)
    _editWindow = _carbonEditPlugin->editWindow();
  return _editWindow;
}

std::string ApertureVMK_UIEditPlugin::lastErrorMessage() const {
  if (_carbonEditPlugin == nullptr) return "no edit session";
  if (!_carbonEditPlugin->lastError.empty()) return _carbonEditPlugin->lastError;
  if (_editWindow != nullptr) return "";
  if (_carbonEditPlugin->destinationBuffer().width() == 0) return "the image could not be read";
  return "the main window could not be built from the nib";
}
