#include "views/preview_job.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "app/core/memory_manager.h"
#include "engines/correction/colour_correction_engine.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "platform/memory/memory.h"
#include "platform/parallel/cancel.h"
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
  EngineRun run;
  // A failed engine leaves the view as it was.
  ok_ = run.Pass(engine, call_) == 0;
  if (!ok_ || secondCount_ < 0 || stale()) return;
  // The second pass works over what the first left in the planes.
  std::copy(second_, second_ + secondCount_, call_.shorts + 2);
  call_.shortCount = static_cast<int16_t>(2 + secondCount_);
  maskOk_ = secondMaskOk_;
  ok_ = run.Pass(engine, call_) == 0;
}

// ---- parts at the picture's own pixels ----

int32_t PartMargin(const PreviewCall& call) {
  if (call.routine == kPreviewColCor && call.record != nullptr) return ColCorReach(*call.recordAs<ColCorPar>());
  return 0;
}

// The part and its margin where the picture has them, on the whole
// picture's grid of eight: from a column that is a multiple of eight, and to
// a row that many rows above the picture's last (the render's planes run from
// its bottom row up), as the pyramid blur pairs its samples.
bool EngineRun::TakePart(const PreviewCall& call) {
  const int32_t w = call.srcWidth, h = call.srcHeight;
  if (w <= 0 || h <= 0 || call.partWidth <= 0 || call.partHeight <= 0) return false;
  const int64_t margin = std::max(PartMargin(call), 0);
  x0_ = static_cast<int32_t>(std::max<int64_t>(call.partLeft - margin, 0) & ~int64_t{7});
  y0_ = static_cast<int32_t>(std::max<int64_t>(call.partTop - margin, 0));
  const auto x1 = static_cast<int32_t>(std::min<int64_t>(int64_t{call.partLeft} + call.partWidth + margin, w));
  auto y1 = static_cast<int32_t>(std::min<int64_t>(int64_t{call.partTop} + call.partHeight + margin, h));
  y1 = h - (h - y1) / 8 * 8;
  const int32_t pw = x1 - x0_, ph = y1 - y0_;
  if (pw <= 0 || ph <= 0) return false;
  const int64_t size = static_cast<int64_t>(pw) * ph;
  for (plat::Block<uint8_t>& p : planes_) {
    p = plat::Block<uint8_t>(size, WorkSource());
    if (!p) return false;
    p.Clear();
  }
  part_ = call;
  part_.part = false;
  part_.viewWidth = part_.effWidth = pw;
  part_.viewHeight = part_.effHeight = ph;
  part_.srcRect[0] = x0_;
  part_.srcRect[1] = y0_;
  part_.srcRect[2] = x1 - 1;
  part_.srcRect[3] = y1 - 1;
  part_.scale = 1.0f;
  part_.backing = 1;
  const bool seven = call.planeCount == 7;
  std::fill(part_.planes, part_.planes + 7, nullptr);
  for (int k = 0; k < 3; ++k) part_.planes[k] = planes_[k].get();
  part_.planes[seven ? 5 : 3] = planes_[3].get();
  taken_ = true;
  return true;
}

// Each view sample of the effect rectangle the part's pixel under its middle.
// Rows run from the bottom in both: the effect rectangle's last row is the
// planes' first.
void EngineRun::Enlarge(const PreviewCall& call) const {
  const int32_t pw = part_.viewWidth, ph = part_.viewHeight;
  const int32_t ew = std::min(call.effWidth, call.viewWidth), eh = std::min(call.effHeight, call.viewHeight);
  const bool seven = call.planeCount == 7;
  uint8_t* const view[4] = {call.planes[0], call.planes[1], call.planes[2], call.planes[seven ? 5 : 3]};
  std::vector<int32_t> columns(static_cast<size_t>(std::max(ew, 0)));
  for (int32_t x = 0; x < ew; ++x) {
    const auto px = call.partLeft + static_cast<int64_t>(std::floor((x + 0.5) * call.partStep));
    columns[static_cast<size_t>(x)] = static_cast<int32_t>(std::clamp<int64_t>(px - x0_, 0, pw - 1));
  }
  for (int32_t y = 0; y < eh; ++y) {
    const auto py = call.partTop + static_cast<int64_t>(std::floor((y + 0.5) * call.partStep));
    const int64_t from = ph - 1 - std::clamp<int64_t>(py - y0_, 0, ph - 1);
    const int64_t to = eh - 1 - y;
    for (int k = 0; k < 4; ++k) {
      if (view[k] == nullptr) continue;
      const uint8_t* src = planes_[k].get() + from * pw;
      uint8_t* dst = view[k] + to * call.viewWidth;
      for (int32_t x = 0; x < ew; ++x) dst[x] = src[columns[static_cast<size_t>(x)]];
    }
  }
}

int32_t EngineRun::Pass(PreviewEngine engine, const PreviewCall& call) {
  if (!call.part) return engine != nullptr ? engine(call) : 0;
  if (!taken_ && !TakePart(call)) return -1;
  std::copy(call.shorts, call.shorts + 10, part_.shorts);
  part_.shortCount = call.shortCount;
  if (engine != nullptr && engine(part_) != 0) return -1;
  if (plat::Cancelled()) return -1;
  Enlarge(call);
  return 0;
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
