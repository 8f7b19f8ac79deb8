// The photo host's plug-in interface, as the plug-in and the stand-in host
// both see it: the API manager that hands out protocols, the edit manager
// that names the user's selected versions and makes editable copies of them,
// and the plug-in's own entry class that the host drives.
//
// Everything is called on the host's main thread. A plug-in that wants the
// session to end asks for it through PerformOnMainThread without waiting, so
// its own handler returns before the host tears the session down.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace plat::files {
struct TemporaryWatch;
}

namespace plat::hostapi {

// The key under which an editable version's dictionary gives the path of
// its image file.
inline constexpr const char* kExportKeyReferencedMasterPath = "kExportKeyReferencedMasterPath";
// The key of the image type identifier ("public.tiff", ...), when known.
inline constexpr const char* kExportKeyImageType = "kExportKeyImageType";
// The protocol name the plug-in asks the API manager for.
inline constexpr const char* kApertureEditManagerProtocol = "ApertureEditManager";

using VersionId = std::string;
using VersionDictionary = std::map<std::string, std::string>;

class ApertureEditManager {
 public:
  virtual ~ApertureEditManager() = default;
  // The versions the user selected, in the host's order.
  virtual std::vector<VersionId> selectedVersionIds() = 0;
  // One dictionary per version asked for: an editable copy of it in the
  // requested format, stacked with its original when asked. An empty answer
  // when the copy cannot be made.
  virtual std::vector<VersionDictionary> editableVersionsOfVersions(
      const std::vector<VersionId>& versions, int32_t requestedFormat, bool stackWithOriginal) = 0;
  // The edited versions are final; the host ends the session.
  virtual void endEditSession() = 0;
  // The edit is dropped; the host ends the session.
  virtual void cancelEditSession() = 0;
  // Runs `call` on the host's main thread. Without waiting it is posted to
  // the event loop and runs after the caller has returned.
  virtual void PerformOnMainThread(std::function<void()> call, bool waitUntilDone) = 0;
};

class ApertureApiManager {
 public:
  virtual ~ApertureApiManager() = default;
  // The object that implements the named protocol, or null.
  virtual ApertureEditManager* apiForProtocol(const std::string& protocol) = 0;
};

// The plug-in's entry class as the host sees it.
class ApertureEditPlugin {
 public:
  virtual ~ApertureEditPlugin() = default;
  virtual void beginEditSession() = 0;
  // The window the host shows for the session: a top-level QWidget*, kept
  // opaque so that this interface stays free of Qt. Null when the session
  // has no window to show.
  virtual void* editWindow() = 0;
  virtual void editManagerDidImportImageAtPath(ApertureEditManager* manager, const std::string& path,
                                               const std::string& versionUniqueId) = 0;
  virtual void editManagerDidNotImportImageAtPath(ApertureEditManager* manager,
                                                  const std::string& path,
                                                  const std::string& error) = 0;
  // Why the session has no window or could not write, in words for the
  // user; empty when nothing went wrong.
  virtual std::string lastErrorMessage() const { return std::string(); }
};

// The one symbol a plug-in module exports: creates its entry class over the
// host's API manager (initWithAPIManager:), or returns null when the API
// manager offers no edit manager. The host deletes the object it gets. The
// module finds its bundle folder from where it was loaded.
inline constexpr const char* kPluginFactorySymbol = "ApertureVMK_UIEditPluginCreate";
using PluginFactory = ApertureEditPlugin* (*)(ApertureApiManager* apiManager);

// For scripted runs of the stand-in host: installs a combined-layer file as
// the session's layer scratch file and renders it as a confirmed effect
// would. 0, or -1 with the session's image unchanged.
inline constexpr const char* kPluginRenderLayersSymbol = "ApertureVMK_UIEditPluginRenderLayers";
using PluginRenderLayers = int (*)(ApertureEditPlugin* plugin, const char* layerFile);

// For scripted runs: how many previews the plug-in's image views have shown
// so far, so that the host answers a dialog only once it shows one.
inline constexpr const char* kPluginPreviewsShownSymbol = "ApertureVMK_UIEditPluginPreviewsShown";
using PluginPreviewsShown = long (*)(ApertureEditPlugin* plugin);

// For a host that takes away what a stopped run half wrote: gives the
// module the watch that its replacements tell of their temporary files
// (plat::files::WatchTemporaries in the module's own copy of the file
// layer); null for none.
inline constexpr const char* kPluginWatchTemporariesSymbol = "ApertureVMK_UIEditPluginWatchTemporaries";
using PluginWatchTemporaries = void (*)(const plat::files::TemporaryWatch* watch);

}  // namespace plat::hostapi
