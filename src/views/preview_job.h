// One preview render taken out of its image box, so that it can run away
// from the window's thread.
//
// On the window's thread the box lays the preview out, takes the job's work
// planes and a copy of its record (the box's own copy changes with the next
// setter), and hands the job to its runner. Run() then calls the engine over
// the job's planes on whichever thread the runner likes; it reads the
// picture and the job, never the box. Back on the window's thread the box
// shows the result (FinishPreview) unless a newer preview was asked for in
// the meantime: the last complete preview stays on screen until its
// replacement is complete, and a stale one is never shown.
//
// A box without a runner runs its jobs at once, as it always did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/core/file_records.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "views/preview_engines.h"

class VMKimabox;

namespace vmkviews {

// The engine's passes over one call: over the call's planes, or, for a part
// shown at the picture's own pixels (PreviewCall::part), over planes of the
// part and the margin its result reads (PartMargin), taken at the first pass
// and kept for the next, which works over them; each pass then ends with the
// call's planes enlarged from them. A call without an engine leaves its
// planes as they are (a part's, cleared, enlarged into them).
class EngineRun {
 public:
  // 0 when the engine ran (or there is none).
  int32_t Pass(PreviewEngine engine, const PreviewCall& call);

 private:
  bool TakePart(const PreviewCall& call);
  void Enlarge(const PreviewCall& call) const;

  PreviewCall part_;
  plat::Block<uint8_t> planes_[4];  // red, green, blue, mask
  int32_t x0_ = 0, y0_ = 0;         // the part planes' first picture pixel
  bool taken_ = false;
};

// The picture pixels around a part that a preview's result there reads: the
// colour corrections' reach (ColCorReach), 0 for the others.
int32_t PartMargin(const PreviewCall& call);

class PreviewJob;
// What is done with a preview rendered aside (VMKimabox::RenderAside).
using PreviewDone = std::function<void(const PreviewJob&)>;

class PreviewJob {
 public:
  PreviewJob(VMKimabox* box, uint64_t generation) : box_(box), generation_(generation) {}
  // A job of a dialog's own that is queued beside the box's previews, in
  // the box's place in line (a dialog that renders its preview itself):
  // `work` runs on the runner's thread and answers whether it completed;
  // `show` runs on the window's thread, through the box's FinishPreview,
  // when it did and the job is not stale.
  // Made when the dialog asks for it: the box's view logs the asking, as
  // for a preview of its own. `why` (may be null) gives, on the window's
  // thread, the words the box shows when the work did not complete and the
  // job is not stale.
  PreviewJob(VMKimabox* box, std::function<bool()> work, std::function<void()> show,
             std::function<std::string()> why = nullptr);
  PreviewJob(const PreviewJob&) = delete;
  PreviewJob& operator=(const PreviewJob&) = delete;

  // Window's thread: the call as laid out and its one pass of leading
  // shorts (after 3, 0). A job that will run away from the box (`detach`)
  // keeps its own copy of the record's `recordBytes` and of the render file;
  // one that runs at once reads the box's. False when the planes or the
  // record copy cannot be had (nothing to run). A content-aware record's
  // masks are copied with it.
  bool Prepare(const PreviewCall& call, const int16_t* shorts, int16_t count, int16_t maskOk,
               size_t recordBytes, bool detach);
  // Window's thread, after Prepare: a second pass with its own leading
  // shorts, run over the planes the first left, so that a preview of two
  // passes is one job and shows once, complete.
  void AddPass(const int16_t* shorts, int16_t count, int16_t maskOk);
  // Any thread: the engine over the cleared planes, under the job's cancel
  // flag. Sets ok() when the engine answered 0 and the job was not cancelled.
  void Run();

  // Window's thread, after Prepare: the job renders aside; `done` takes the
  // finished job instead of the box's display.
  void SetAside(PreviewDone done) { aside_ = std::move(done); }
  bool aside() const { return static_cast<bool>(aside_); }
  const PreviewDone& asideDone() const { return aside_; }
  // Any thread: the result is no longer wanted.
  void MarkStale() { cancel_.Cancel(); }
  bool stale() const { return cancel_.cancelled(); }
  bool ok() const { return ok_ && !stale(); }

  VMKimabox* box() const { return box_; }
  uint64_t generation() const { return generation_; }
  const PreviewCall& call() const { return call_; }
  int16_t maskOk() const { return maskOk_; }
  uint8_t* plane(int k) const { return planes_[k].get(); }
  // The dialog's own job: shows its result; false for an engine preview.
  bool ShowOwn() const;
  // Window's thread: what a preview that did not complete says of itself.
  std::string FailureWords() const;

 private:
  bool CopyYoxelMasks();

  VMKimabox* box_;
  uint64_t generation_;
  PreviewCall call_;
  int16_t maskOk_ = 1;
  int16_t second_[8] = {};
  int16_t secondCount_ = -1;  // -1: one pass
  int16_t secondMaskOk_ = 1;
  plat::Block<uint8_t> planes_[4];  // red, green, blue, mask
  plat::Block<uint8_t> record_;
  // A content-aware record's two masks, copied with it: the box's holder
  // rewrites (or remakes) its own while the job runs.
  plat::Block<int16_t> masks_[2];
  fichier renderFile_{};
  PreviewDone aside_;
  plat::CancelFlag cancel_;
  bool ok_ = false;
  std::function<bool()> work_;
  std::function<void()> show_;
  std::function<std::string()> why_;
};

// Where a box's preview jobs run. Submit runs job->Run() somewhere and then,
// on the window's thread, job->box()->FinishPreview(*job).
class PreviewRunner {
 public:
  virtual ~PreviewRunner() = default;
  virtual void Submit(std::shared_ptr<PreviewJob> job) = 0;
};

}  // namespace vmkviews
