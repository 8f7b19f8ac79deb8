#include "platform/hostapi/fake_host.h"

namespace plat::hostapi {

std::vector<VersionDictionary> FakeEditManager::editableVersionsOfVersions(
    const std::vector<VersionId>& versions, int32_t requestedFormat, bool) {
  requestedFormats.push_back(requestedFormat);
  std::vector<VersionDictionary> out;
  for (const VersionId& v : versions) out.push_back({{kExportKeyReferencedMasterPath, v}});
  return out;
}

void FakeEditManager::PerformOnMainThread(std::function<void()> call, bool waitUntilDone) {
  if (waitUntilDone) {
    call();
    return;
  }
  posted_.push_back(std::move(call));
}

int FakeEditManager::RunPosted() {
  int n = 0;
  while (!posted_.empty()) {
    auto call = std::move(posted_.front());
    posted_.pop_front();
    call();
    ++n;
  }
  return n;
}

}  // namespace plat::hostapi
