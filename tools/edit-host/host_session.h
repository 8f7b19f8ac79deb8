// The host's side of an edit session: its edit manager and API manager,
// the plug-in module, and the editable copies of the user's images.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/files/file_io.h"
#include "platform/hostapi/host_api.h"

class HostEditManager : public plat::hostapi::ApertureEditManager {
 public:
  enum class Outcome { kOpen, kEnded, kCancelled };

  void AddVersion(const std::string& path) { paths_.push_back(path); }
  std::vector<plat::hostapi::VersionId> selectedVersionIds() override;
  std::vector<plat::hostapi::VersionDictionary> editableVersionsOfVersions(
      const std::vector<plat::hostapi::VersionId>& versions, int32_t requestedFormat,
      bool stackWithOriginal) override;
  void endEditSession() override;
  void cancelEditSession() override;
  void PerformOnMainThread(std::function<void()> call, bool waitUntilDone) override;
  Outcome outcome() const { return outcome_; }

 private:
  std::vector<std::string> paths_;
  // Atomic: a stop signal's handler reads it.
  std::atomic<Outcome> outcome_{Outcome::kOpen};
};

class HostApiManager : public plat::hostapi::ApertureApiManager {
 public:
  explicit HostApiManager(HostEditManager* edit) : edit_(edit) {}
  plat::hostapi::ApertureEditManager* apiForProtocol(const std::string& protocol) override;

 private:
  HostEditManager* edit_;
};

// The plug-in's shared module, loaded from its bundle folder.
class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;
  bool Load(const std::string& bundle, std::string* why);
  plat::hostapi::ApertureEditPlugin* Create(plat::hostapi::ApertureApiManager* api);
  // The module's scripted-run hook; -1 when the module has none.
  int RenderLayers(plat::hostapi::ApertureEditPlugin* plugin, const std::string& layerFile);
  // Previews the plug-in's views have shown so far; 0 when the module does
  // not say.
  long PreviewsShown(plat::hostapi::ApertureEditPlugin* plugin);
  // Gives the module the watch of its temporary files, when it takes one.
  void WatchTemporaries(const plat::files::TemporaryWatch* watch);

 private:
  void* handle_ = nullptr;
  plat::hostapi::PluginFactory factory_ = nullptr;
};

// Copies `image` as a TIFF into `folder` (made when missing) under a name
// not yet taken, at 16 bits when the image has more than 8, with its alpha
// when it has one; false with the reason when the image cannot be read or
// the copy written. The name is claimed as it is chosen, so two starts at
// once never take the same one; the claim, and the copy that takes its
// place, are recorded for a stop (stop_signals.h).
bool MakeEditableVersion(const std::string& image, const std::string& folder, std::string* copy,
                         std::string* why);

// The editable copies one start of the host makes, and the folders it makes
// for them. Unless the session ended confirmed (Keep), they are taken away
// again: a cancelled or failed start leaves the versions folder as it found
// it. Only what this start made goes (a version the plug-in wrote over a
// copy too); files that were there, or that were put in a copy's place
// since, stay untouched.
class EditableCopies {
 public:
  EditableCopies() = default;
  // A way out that did not say what became of the copies removes them.
  ~EditableCopies();
  EditableCopies(const EditableCopies&) = delete;
  EditableCopies& operator=(const EditableCopies&) = delete;

  // MakeEditableVersion, recording any folder made for the copy.
  bool Make(const std::string& image, const std::string& folder, std::string* copy, std::string* why);
  // Copies were made (and handed to the plug-in).
  bool made() const { return made_ > 0; }
  // The session ended confirmed: the copies hold the user's edits.
  void Keep() { kept_ = true; }
  // Unless kept, removes what this start made: the copies, each only while
  // its name still holds the file made or written back, any temporary file
  // left half-written, and then the folders made for the copies, where they
  // are empty. Called once the run's outcome is settled, or a stop has begun
  // (stop_signals.h).
  void Remove();
  // What Remove could not take away, each with the system's reason ("the
  // editable copy PATH: why").
  const std::vector<std::string>& NotRemoved() const { return notRemoved_; }

 private:
  std::vector<std::string> notRemoved_;
  int made_ = 0;
  bool kept_ = false;
};

