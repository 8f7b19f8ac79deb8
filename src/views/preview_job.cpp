#include "views/preview_job.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"

namespace vmkviews {

bool PreviewJob::Prepare(const PreviewCall& call, const int16_t* shorts, int16_t count,
                         int16_t maskOk, size_t recordBytes, bool detach) {
  call_ = call;
  maskOk_ = maskOk;
  const int64_t size = static_cast<int64_t>(call.viewWidth) * call.viewHeight;
  for (plat::Block<uint8_t>& p : planes_) {
    p = plat::Block<uint8_t>(size, WorkSource());
    if (!p) return false;
    // A preview without an engine shows these as they are: cleared, not
    // whatever the memory held.
    p.Clear();
  }
  if (detach && call.record != nullptr) {
    record_ = plat::Block<uint8_t>(static_cast<int64_t>(recordBytes), WorkSource());
    if (!record_) return false;
    std::memcpy(record_.get(), call.record, recordBytes);
    call_.record = record_.get();
  }
  if (detach && call.renderFile != nullptr) {
    renderFile_ = *call.renderFile;
    call_.renderFile = &renderFile_;
  }
  call_.order = FillOrderOf(call.routine, call.code);
  const bool seven = call.routine == kPreviewYoxel || call.routine == kPreviewZondrac;
  std::fill(call_.planes, call_.planes + 7, nullptr);
  call_.planes[0] = planes_[0].get();
  call_.planes[1] = planes_[1].get();
  call_.planes[2] = planes_[2].get();
  call_.planes[seven ? 5 : 3] = planes_[3].get();
  call_.planeCount = seven ? 7 : 5;
  call_.shorts[0] = 3;
  call_.shorts[1] = 0;
  std::copy(shorts, shorts + count, call_.shorts + 2);
  call_.shortCount = static_cast<int16_t>(2 + count);
  return true;
}

void PreviewJob::Run() {
  if (stale()) return;
  const plat::CancelScope scope(&cancel_);
  const PreviewEngine engine = FindPreviewEngine(call_.routine, call_.code);
  // A failed engine leaves the view as it was.
  ok_ = engine == nullptr || engine(call_) == 0;
}

}  // namespace vmkviews
