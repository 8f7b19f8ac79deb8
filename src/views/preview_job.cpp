#include "views/preview_job.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/core/memory_manager.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "platform/memory/memory.h"
#include "views/image_box.h"

namespace vmkviews {

namespace {

// The entries of a content-aware mask that the engine takes over from the
// record (width x height); 0 for none, or for an array too small to hold
// them (the engine then goes without that mask rather than read past it).
int64_t MaskEntries(const int16_t* mask, int32_t width, int32_t height) {
  if (mask == nullptr || width <= 0 || height <= 0) return 0;
  const int64_t n = static_cast<int64_t>(width) * height;
  const int64_t bytes = plat::GetPtrSize(mask);
  return bytes >= 0 && bytes / 2 < n ? 0 : n;
}

}  // namespace

// The copied record points at the job's own copies of its masks (or at none).
bool PreviewJob::CopyYoxelMasks() {
  auto* par = reinterpret_cast<YoxelPar*>(record_.get());
  int16_t** masks[2] = {&par->protectMask, &par->removeMask};
  for (int k = 0; k < 2; ++k) {
    const int64_t n = MaskEntries(*masks[k], par->maskWidth, par->maskHeight);
    if (n <= 0) {
      *masks[k] = nullptr;
      continue;
    }
    masks_[k] = plat::Block<int16_t>(n, WorkSource());
    if (!masks_[k]) return false;
    std::memcpy(masks_[k].get(), *masks[k], static_cast<size_t>(n) * sizeof(int16_t));
    *masks[k] = masks_[k].get();
  }
  return true;
}

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
    // A grid record is 23 MB, mostly slots no grid uses: the job copies what
    // its grids use (all the engine reads), so the window's thread neither
    // copies nor touches the rest.
    if (call.routine == kPreviewGrid && recordBytes >= sizeof(GridPar))
      Copy_GridPar(static_cast<const GridPar*>(call.record), reinterpret_cast<GridPar*>(record_.get()));
    // A border record is 17 MB for up to 128 layers, most of them unused;
    // the render reads the head and the layers in use only.
    else if (call.routine == kPreviewEffect && call.code == 106 && recordBytes >= sizeof(BordPar))
      CopyBordParInUse(static_cast<const BordPar*>(call.record), reinterpret_cast<BordPar*>(record_.get()));
    else
      std::memcpy(record_.get(), call.record, recordBytes);
    call_.record = record_.get();
    if (call.routine == kPreviewYoxel && recordBytes >= sizeof(YoxelPar) && !CopyYoxelMasks()) return false;
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

void PreviewJob::AddPass(const int16_t* shorts, int16_t count, int16_t maskOk) {
  secondCount_ = std::min<int16_t>(count, 8);
  std::copy(shorts, shorts + secondCount_, second_);
  secondMaskOk_ = maskOk;
}

void PreviewJob::Run() {
  if (stale()) return;
  const plat::CancelScope scope(&cancel_);
  if (work_) {
    ok_ = work_();
    return;
  }
  const PreviewEngine engine = FindPreviewEngine(call_.routine, call_.code);
  // A failed engine leaves the view as it was.
  ok_ = engine == nullptr || engine(call_) == 0;
  if (!ok_ || secondCount_ < 0 || stale()) return;
  // The second pass works over what the first left in the planes.
  std::copy(second_, second_ + secondCount_, call_.shorts + 2);
  call_.shortCount = static_cast<int16_t>(2 + secondCount_);
  maskOk_ = secondMaskOk_;
  ok_ = engine == nullptr || engine(call_) == 0;
}

PreviewJob::PreviewJob(VMKimabox* box, std::function<bool()> work, std::function<void()> show,
                       std::function<std::string()> why)
    : box_(box), generation_(0), work_(std::move(work)), show_(std::move(show)), why_(std::move(why)) {
  if (box_ != nullptr) box_->OwnPreviewAsked();
}

bool PreviewJob::ShowOwn() const {
  if (!show_) return false;
  if (ok()) show_();
  return true;
}

std::string PreviewJob::FailureWords() const {
  if (why_) {
    std::string words = why_();
    if (!words.empty()) return words;
  }
  return "The preview could not be rendered.";
}

}  // namespace vmkviews
