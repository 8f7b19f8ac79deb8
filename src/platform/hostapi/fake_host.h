// A host for tests: versions named by their image paths, editable copies
// that are the paths themselves, and main-thread calls queued until the test
// runs them, so that a test sees exactly what the plug-in asked for and when.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/hostapi/host_api.h"

namespace plat::hostapi {

class FakeEditManager : public ApertureEditManager {
 public:
  explicit FakeEditManager(std::vector<std::string> paths) : paths_(std::move(paths)) {}

  std::vector<VersionId> selectedVersionIds() override { return paths_; }
  std::vector<VersionDictionary> editableVersionsOfVersions(const std::vector<VersionId>& versions,
                                                            int32_t requestedFormat,
                                                            bool stackWithOriginal) override;
  void endEditSession() override { ++ended; }
  void cancelEditSession() override { ++cancelled; }
  void PerformOnMainThread(std::function<void()> call, bool waitUntilDone) override;

  // Runs the queued main-thread calls; returns how many ran.
  int RunPosted();
  size_t posted() const { return posted_.size(); }

  int ended = 0;
  int cancelled = 0;
  std::vector<int32_t> requestedFormats;

 private:
  std::vector<std::string> paths_;
  std::deque<std::function<void()>> posted_;
};

class FakeApiManager : public ApertureApiManager {
 public:
  explicit FakeApiManager(ApertureEditManager* editManager) : editManager_(editManager) {}
  ApertureEditManager* apiForProtocol(const std::string& protocol) override {
    return protocol == kApertureEditManagerProtocol ? editManager_ : nullptr;
  }

 private:
  ApertureEditManager* editManager_;
};

}  // namespace plat::hostapi
