// The class the host creates when it loads the plug-in: it asks the host
// for its edit manager, starts the edit session and hands the host the
// session's window.
#pragma once

#include <string>

#include "platform/hostapi/host_api.h"

class CarbonEditPlugin;

class ApertureVMK_UIEditPlugin : public plat::hostapi::ApertureEditPlugin {
 public:
  // Null when the API manager has no edit manager.
  static ApertureVMK_UIEditPlugin* initWithAPIManager(plat::hostapi::ApertureApiManager* apiManager);
  // dealloc: ends the session.
  ~ApertureVMK_UIEditPlugin() override;
  ApertureVMK_UIEditPlugin(const ApertureVMK_UIEditPlugin&) = delete;
  ApertureVMK_UIEditPlugin& operator=(const ApertureVMK_UIEditPlugin&) = delete;

  void beginEditSession() override;
  void* editWindow() override;
  void editManagerDidImportImageAtPath(plat::hostapi::ApertureEditManager*, const std::string&,
                                       const std::string&) override {}
  void editManagerDidNotImportImageAtPath(plat::hostapi::ApertureEditManager*, const std::string&,
                                          const std::string&) override {}
  std::string lastErrorMessage() const override;

  plat::hostapi::ApertureApiManager* _apiManager = nullptr;
  plat::hostapi::ApertureEditManager* _editManager = nullptr;
  void* _editWindow = nullptr;
  CarbonEditPlugin* _carbonEditPlugin = nullptr;

 private:
  ApertureVMK_UIEditPlugin() = default;
};
