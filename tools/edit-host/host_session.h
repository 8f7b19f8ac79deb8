// The host's side of an edit session: its edit manager and API manager,
// the plug-in module, and the editable copies of the user's images.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

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

 private:
  void* handle_ = nullptr;
  plat::hostapi::PluginFactory factory_ = nullptr;
};

// Which file a path named when it was looked at: the same path may later
// name another.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
};

// Copies `image` as a TIFF into `folder` (made when missing) under a name
// not yet taken, at 16 bits when the image has more than 8, with its alpha
// when it has one; false with the reason when the image cannot be read or
// the copy written. The name is claimed as it is chosen, so two starts at
// once never take the same one; `identity` (when given) says which file the
// copy is.
bool MakeEditableVersion(const std::string& image, const std::string& folder, std::string* copy,
                         std::string* why, FileIdentity* identity = nullptr);

// The editable copies one start of the host makes, and the folders it makes
// for them. Unless the session ended confirmed (Keep), they are taken away
// again: a cancelled or failed start leaves the versions folder as it found
// it. Only what this start made goes; files that were there stay untouched.
class EditableCopies {
 public:
  EditableCopies() = default;
  ~EditableCopies() { Remove(); }
  EditableCopies(const EditableCopies&) = delete;
  EditableCopies& operator=(const EditableCopies&) = delete;

  // MakeEditableVersion, remembering the copy and any folder made for it.
  bool Make(const std::string& image, const std::string& folder, std::string* copy, std::string* why);
  // The session ended confirmed: the copies hold the user's edits.
  void Keep() { kept_ = true; }
  // Removes the copies made, each only while its name still holds the file
  // made, and then the folders made for them, where they are empty; nothing
  // once kept.
  void Remove();
  // The copies Remove could not take away, each with the system's reason.
  const std::vector<std::string>& NotRemoved() const { return notRemoved_; }

 private:
  std::vector<std::string> notRemoved_;
  std::vector<std::pair<std::string, FileIdentity>> copies_;
  std::vector<std::string> folders_;  // outermost first
  bool kept_ = false;
};

// For tests of what a stop does at a given moment: with
// VMK_TEST_HOLD=POINT:FILE in the environment, the run holds at POINT
// ("claim": a copy's name just claimed, before its pixels are written;
// "copies": every copy made, before the plug-in is loaded; "exit": main
// has returned) until FILE, which it makes there, is removed, for at most
// a minute. Anywhere else, and without the variable, it does nothing.
void HoldForTest(const char* point);
