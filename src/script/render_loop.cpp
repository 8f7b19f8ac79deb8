// The render loop and the frames of its two dispatches: which planes an operation reads and
// writes, the mask it acts through, and the case that its effect number runs.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "app/core/memory_manager.h"
#include "app/core/percent.h"
#include "operations/effects.h"
#include "operations/swap_slots.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "platform/memory/memory.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"
#include "script/effect_table.h"
#include "script/render_cases.h"
#include "script/script_file.h"

namespace {

// The plane manager has 90 slots; a channel number beyond them names no plane.
constexpr int32_t kLastChannel = ScriptFile::kPlaneSlots - 1;
constexpr int32_t kFirstScratch = 7;
constexpr int32_t kLastScratch = 36;

bool RoutedTwoPlane(EffectCode effect) {
  const EffectRoute r = EffectRowOf(effect).route;
  return r == EffectRoute::kTwoPlane || r == EffectRoute::kTwoPlaneNotRouted;
}

bool OnePlaneCase(EffectCode effect) {
  const EffectRow& row = EffectRowOf(effect);
  return row.group != CaseGroup::kNoCase && (row.route == EffectRoute::kOnePlane ||
                                             row.route == EffectRoute::kOnePlaneNotRouted);
}

// A mask plane of 255 everywhere weighs each sample mask * opacity / 255 = opacity, which is
// what these numbers' operations take for a null mask; when nothing narrows an operation's
// mask the frame hands them none, saving the plane's fill and a read of it per sample. Each is
// checked by rendering through a full mask plane against rendering without one.
constexpr EffectCode kNullMaskIsFull[] = {2,  3,  4,  5,  6,  7,  8,  9,  10,  13,  14,
                                          15, 16, 17, 18, 60, 63, 68, 71, 86, 121, 122};

// Checked the same way at mode 0 and opacity 255, where the relief's filter takes the mask's
// 255 as the whole filtered value, and the blur mixes nothing back (its box passes through a
// mask of 255 are the unmasked ones, and its blend at full weight is the blur). Above 255 a
// blur through a mask mixes back at the opacity, where one without stores the blur: it is
// listed for replacement only.
constexpr EffectCode kNullMaskIsFullWhenReplacing[] = {11, 12};

// Two-plane numbers that read the composite's own planes, never the mean, when the destination
// is the composite too; a single destination plane always takes the mean as its source.
constexpr EffectCode kCompositeOwnPlanes[] = {2, 3, 4, 5, 6, 23, 33, 34, 47, 48, 86};

bool Listed(const EffectCode* first, const EffectCode* last, EffectCode effect) {
  return std::find(first, last, effect) != last;
}

}  // namespace

bool FullMaskPassedAsNull(EffectCode effect) {
  return Listed(std::begin(kNullMaskIsFull), std::end(kNullMaskIsFull), effect);
}

bool FullMaskPassedAsNullWhenReplacing(EffectCode effect) {
  return Listed(std::begin(kNullMaskIsFullWhenReplacing), std::end(kNullMaskIsFullWhenReplacing),
                effect);
}

uint8_t* ScriptFile::PreparedPlane(int32_t channel) {
  if (uint8_t* p = ChannelPlane(channel, 0)) return p;
  uint8_t* p = ChannelPlane(channel, 1);
  if (p != nullptr) plat::FillBytes(p, static_cast<int64_t>(planeWidth) * planeHeight, 0);
  return p;
}

plat::Block<uint8_t> ScriptFile::PlaneBlock(plat::Block<uint8_t>& spare) {
  const int64_t n = static_cast<int64_t>(planeWidth) * planeHeight;
  if (spare && spare.size() == n) return std::move(spare);
  spare.reset();
  return plat::Block<uint8_t>(n, WorkSource());
}

void ScriptFile::KeepSpare(plat::Block<uint8_t>& spare, plat::Block<uint8_t>&& block) {
  if (rendering_ > 0 && block) spare = std::move(block);
  block.reset();
}

// --- The operation mask --------------------------------------------------------------------

int32_t ScriptFile::OperationMask(const Oprn* op, plat::Block<uint8_t>* mask,
                                 bool selectColours) {
  const int64_t n = static_cast<int64_t>(planeWidth) * planeHeight;
  plat::Block<uint8_t> k = PlaneBlock(spareMask_);
  if (!k) return -1;
  // A mask channel beyond the manager's slots is treated as a missing plane: full effect.
  const uint8_t* plane =
      op->MChannel > 2 && op->MChannel <= kLastChannel ? ChannelPlane(op->MChannel, 0) : nullptr;
  if (plane != nullptr && op->IntExt == 1) {
    plat::CopyBytes(k.get(), plane, n);
  } else if (plane != nullptr && op->IntExt == 2) {
    plat::ComplementBytes(k.get(), plane, n);
  } else {
    plat::FillBytes(k.get(), n, 255);
  }
  if (selectColours && SelectColours(op, k.get()) != 0) return -1;
  *mask = std::move(k);
  return 0;
}

// The mask a dispatch hands its case: none when it would be 255 everywhere and the number takes
// no mask as full weight.
int32_t ScriptFile::DispatchMask(const Oprn* op, plat::Block<uint8_t>* mask) {
  const bool channel = op->MChannel > 2 && op->MChannel <= kLastChannel &&
                       (op->IntExt == 1 || op->IntExt == 2) &&
                       ChannelPlane(op->MChannel, 0) != nullptr;
  const bool selection = op->SelOprnExt != nullptr && op->SelOprnExt->SelFlag[0] != 0;
  const bool replacing = op->Mode == 0 && op->Opa == 255;
  if (!channel && !selection &&
      (FullMaskPassedAsNull(op->Effect) ||
       (replacing && FullMaskPassedAsNullWhenReplacing(op->Effect)))) {
    mask->reset();
    return 0;
  }
  return OperationMask(op, mask);
}

// Narrows the mask by the colour selection of the operation's extension, entry 0: a ramp
// that paints 0 at full opacity, drawn over the mask by ColorCirc.
int32_t ScriptFile::SelectColours(const Oprn* op, uint8_t* mask) {
  const OprnExt* ext = op->SelOprnExt;
  if (ext == nullptr || ext->SelFlag[0] == 0) return 0;
  plat::Block<LutVign> ramp(1, WorkSource());
  if (!ramp) return -1;
  ramp.Clear();
  std::memset(ramp[0].opacity, 255, sizeof ramp[0].opacity);
  const RampTables tables = RampTablesOf(ramp[0]);
  ramp.reset();
  const auto level = static_cast<int16_t>(PercentTo255(ext->SelLevel[0]));
  // The gradient reports its rows as an operation's: here it only narrows the mask, and must
  // leave the operation's share of the progress to the operation.
  const plat::ProgressStage none(0.0, 0.0);
  // A selection that cannot be drawn would leave the operation acting everywhere.
  if (Effects::ColorCirc(0, level, mask, planeHeight, planeWidth, 0, 0, areaWidth, areaHeight, 1,
                         nullptr, tables.data(), 0, static_cast<int16_t>(ext->SelValueC[0]),
                         static_cast<int16_t>(ext->SelValueD[0]),
                         static_cast<int16_t>(ext->SelValueB[0]), 1, 20) < 0)
    return -1;
  if (ext->SelFlag[0] == 1)
    plat::ComplementBytes(mask, mask, static_cast<int64_t>(planeWidth) * planeHeight);
  return 0;
}

// --- The dispatches --------------------------------------------------------------------------

int32_t ScriptFile::PerformFromToEffect(Oprn* op) {
  if (op == nullptr || planes == nullptr) return 0;
  // Channels beyond the manager's slots name no plane: the operation does nothing.
  if (op->FromChannel < 2 || op->ToChannel < 2 || op->FromChannel > kLastChannel ||
      op->ToChannel > kLastChannel)
    return 0;
  if (op->ToChannel == 2 && !RoutedTwoPlane(op->Effect)) return 0;

  RenderCall call;
  call.script = this;
  call.op = op;
  if (op->ToChannel > 2) {
    call.plane = PreparedPlane(op->ToChannel);
    if (call.plane == nullptr) return -1;
  }
  call.planeCount = op->ToChannel > 2 ? 1 : (colourModel == 0 ? 4 : 3);
  plat::Block<uint8_t> mean;
  if (op->FromChannel == 2) {
    uint8_t* s = nullptr;
    const bool ownPlanes =
        op->ToChannel == 2 && Listed(std::begin(kCompositeOwnPlanes),
                                     std::end(kCompositeOwnPlanes), op->Effect);
    if (ownPlanes) {
      // Such a case has no use for the mean; it still needs the planes the mean is made of.
      if (ChannelPlane(3, 0) == nullptr || ChannelPlane(4, 0) == nullptr ||
          ChannelPlane(5, 0) == nullptr)
        return -1;
    } else {
      if (CollectSource(0, &s, &mean) != 0) return -1;
      if (s == nullptr) return -1;
    }
    call.source = s;
    call.compositeSource = true;
  } else {
    call.source = PreparedPlane(op->FromChannel);
    if (call.source == nullptr) return -1;
  }
  plat::Block<uint8_t> mask;
  if (DispatchMask(op, &mask) != 0) return -1;
  call.mask = mask.get();

  const RenderCase run = FindRenderCase(op->Effect);
  const int32_t result =
      run == nullptr || EffectRowOf(op->Effect).group != CaseGroup::kTwoPlane ? 0 : run(call);
  stepFailure_ = call.failure;
  stepFile_ = std::move(call.file);
  KeepSpare(spareMask_, std::move(mask));
  KeepSpare(spareMean_, std::move(mean));
  return result;
}

int32_t ScriptFile::PerformToEffect(Oprn* op) {
  if (op == nullptr || planes == nullptr) return 0;
  if (op->ToChannel <= 1 || op->ToChannel > kLastChannel) return 0;
  RenderCall call;
  call.script = this;
  call.op = op;
  if (op->ToChannel != 2) {
    call.plane = PreparedPlane(op->ToChannel);
    if (call.plane == nullptr) return -1;
  }
  plat::Block<uint8_t> mask;
  if (DispatchMask(op, &mask) != 0) return -1;
  call.mask = mask.get();
  call.planeCount = op->ToChannel != 2 ? 1 : (colourModel == 0 ? 4 : 3);

  const RenderCase run = FindRenderCase(op->Effect);
  const int32_t result = run == nullptr || !OnePlaneCase(op->Effect) ? 0 : run(call);
  stepFailure_ = call.failure;
  stepFile_ = std::move(call.file);
  KeepSpare(spareMask_, std::move(mask));
  return result;
}

// --- The loop ----------------------------------------------------------------------------------


void ScriptFile::LoadImagePlanes(int16_t fill, const uint8_t* pixels, const uint8_t* extra6,
                                 const uint8_t* extra89) {
  const int64_t n = static_cast<int64_t>(planeWidth) * planeHeight;
  const bool cmyk = colourModel == 0;
  // Byte k of each pixel goes to plane 3, 4, 5 and (CMYK) 2.
  const int32_t channels[4] = {3, 4, 5, 2};
  if (planeCount < 3 || planeCount > 5) {
    // The picture's pixels or the white fill below write every sample of the planes: they
    // need only be there. Otherwise the planes start black.
    if (pixels != nullptr || fill == 1) {
      for (int32_t k = 0; k < (cmyk ? 4 : 3); ++k) ChannelPlane(channels[k], 1);
    } else {
      PrepAllImaBuf(nullptr, 8);
    }
  }
  uint8_t* to[4] = {};
  for (int32_t k = 0; k < (cmyk ? 4 : 3); ++k) to[k] = ChannelPlane(channels[k], 0);
  if (pixels != nullptr) {
    plat::SplitPixelBytes(pixels, to, n);
  } else if (fill == 1) {
    // White: full components in RGB, no ink in CMYK.
    for (uint8_t* p : to)
      if (p != nullptr) plat::FillBytes(p, n, cmyk ? 0 : 255);
  }
  // The caller's planes 6 and 89 are taken only when absent; an earlier render's stay.
  const std::pair<int32_t, const uint8_t*> extras[2] = {{6, extra6}, {89, extra89}};
  for (const auto& [channel, bytes] : extras) {
    if (bytes == nullptr || ChannelPlane(channel, 0) != nullptr) continue;
    if (uint8_t* p = ChannelPlane(channel, 1)) plat::CopyBytes(p, bytes, n);
  }
}

int32_t ScriptFile::RenderLayer(int16_t stack, int16_t k, Laye* layer, int16_t mode, int16_t upto) {
  delete currentPaths;
  currentPaths = new CPathList(0);
  if (layer->paths != nullptr) layer->paths->CopyPathList(currentPaths);
  int16_t i = 1;
  for (Oprn* op = layer->firstOprn; op != nullptr; op = op->NextOprn, ++i) {
    // A stopped render runs no further operation; its owner drops the planes.
    if (plat::Cancelled()) break;
    if (mode == 1 ? i >= upto : mode != 0) continue;
    if (op->Act == 0) continue;
    const EffectRoute route = EffectRowOf(op->Effect).route;
    if (EffectExpectsCase(op->Effect) && FindRenderCase(op->Effect) == nullptr) {
      // Nothing runs for it, so no plane is made or changed on its behalf.
      missingCases_.push_back({k, i, op->Effect});
      continue;
    }
    // Each operation's even share of the render's progress; the operation's own loops
    // report through it.
    const int32_t at = progressStarted_++;
    const plat::ProgressStage stage(static_cast<double>(at) / std::max(progressOps_, 1),
                                    static_cast<double>(at + 1) / std::max(progressOps_, 1));
    // Blocks refused to the render while the step runs, on this thread or in its loops' bands
    // on the shared threads (never another render's, whose bands this thread may run while it
    // waits): a step that fails meanwhile failed for want of memory. One that answers success
    // all the same went round the refusal, and most that do give less than the step asked (a
    // tile never shrunk, a band left unwarped, a plane uncorrected): it is taken as failed for
    // want of memory, never passed off as done.
    const int64_t refused = plat::RefusedBlockCount();
    stepFailure_ = StepFailure::kFailed;
    stepFile_.clear();
    int32_t result = 0;
    bool noMemory = false;
    try {
      if (route == EffectRoute::kTwoPlane) {
        result = PerformFromToEffect(op);
      } else if (route == EffectRoute::kOnePlane) {
        result = PerformToEffect(op);
      } else if (route == EffectRoute::kRenderStep) {
        RenderCall call;
        call.script = this;
        call.op = op;
        call.stack = stack;
        call.layer = k;
        result = FindRenderCase(op->Effect)(call);
        stepFailure_ = call.failure;
        stepFile_ = std::move(call.file);
      }
    } catch (const std::bad_alloc&) {
      // Memory a step's own containers could not have: the step failed, the render stops.
      result = -1;
      noMemory = true;
    }
    const bool refusedMemory = plat::RefusedBlockCount() != refused;
    if (result >= 0 && !refusedMemory) continue;
    // A step the user stopped is no failure: the render ends and its owner sees the stop.
    if (plat::Cancelled()) break;
    noMemory = noMemory || refusedMemory;
    failure_ = RenderFailure{k, i, op->Effect, noMemory ? StepFailure::kNoMemory : stepFailure_};
    if (!noMemory) failure_->file = stepFile_;
    return -1;
  }
  return 0;
}

int32_t ScriptFile::Render(int16_t, int16_t fill, int16_t stack, const uint8_t* pixels,
                           const uint8_t* extra6, const uint8_t* extra89, int16_t mode,
                           int16_t upto) {
  // Once per process: two windows' first renders start at once, and the tables are written
  // on registration.
  static std::once_flag casesRegistered;
  std::call_once(casesRegistered, RegisterScriptRenderCases);
  // The render's paths map and draw through a record of its own, never the one the interface
  // thread lends its views and ports (a render inside an operation keeps its caller's).
  const RenderDrawingScope ownDrawPar;
  // Its random numbers are its own too: an effect that seeds draws what follows its seed
  // whatever a render beside it draws meanwhile.
  const plat::RenderRandomScope ownNumbers;
  // So are the blocks it is refused, wherever its bands run; a render inside an operation
  // counts its refusals for that operation's step too.
  const plat::RefusalScope ownRefusals;
  missingCases_.clear();
  failure_.reset();
  // The spare mask and mean live for this render only.
  struct Rendering {
    ScriptFile& s;
    explicit Rendering(ScriptFile& script) : s(script) { ++s.rendering_; }
    ~Rendering() {
      if (--s.rendering_ == 0) {
        s.spareMask_.reset();
        s.spareMean_.reset();
      }
    }
    Rendering(const Rendering&) = delete;
    Rendering& operator=(const Rendering&) = delete;
  } rendering(*this);
  // Swap slots and scratch planes 7 to 36 belong to one render; working planes 37 to 88 carry
  // over from the last one, for scripts that build on what an earlier render left. The slots
  // are this render's own (or, inside an operation, its caller's), gone when it ends.
  const swap_slots::RenderSlots slots;
  Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 0);
  FreeAllChanBuf(kFirstScratch);
  {
    // Loading the planes is a small fixed part of the render's progress, so that its loops do
    // not fill the part of the operations after it.
    const plat::ProgressStage loading(0.0, kProgressLoadingShare);
    LoadImagePlanes(fill, pixels, extra6, extra89);
  }

  const LayerFile* layers = GetStack(stack);
  // The operations this render will run, as RenderLayer picks them (a render inside an
  // operation counts its own, inside that operation's share).
  const int32_t outerOps = std::exchange(progressOps_, 0);
  const int32_t outerStarted = std::exchange(progressStarted_, 0);
  for (const Laye* layer = layers != nullptr ? layers->firstLaye : nullptr; layer != nullptr;
       layer = layer->next) {
    if (layer->active != 1) continue;
    int16_t i = 1;
    for (const Oprn* op = layer->firstOprn; op != nullptr; op = op->NextOprn, ++i)
      if (!(mode == 1 ? i >= upto : mode != 0) && op->Act != 0) ++progressOps_;
  }
  const plat::ProgressStage operations(kProgressLoadingShare, 1.0);
  int32_t result = 0;
  int16_t k = 1;
  for (Laye* layer = layers != nullptr ? layers->firstLaye : nullptr; layer != nullptr;
       layer = layer->next, ++k) {
    if (plat::Cancelled()) break;
    // A step that could not do its work stops the render: no later step builds on it.
    if (layer->active == 1 && RenderLayer(stack, k, layer, mode, upto) != 0) {
      result = -1;
      break;
    }
    // Scratch planes live for one layer, active or not; the last layer leaves them. Clearing
    // them takes no share of the progress: it holds where the operations before left it.
    if (layer->next == nullptr) continue;
    const double done = static_cast<double>(progressStarted_) / std::max(progressOps_, 1);
    const plat::ProgressStage held(done, done);
    for (int32_t c = kFirstScratch; c <= kLastScratch; ++c)
      if (uint8_t* p = ChannelPlane(c, 0))
        plat::FillBytes(p, static_cast<int64_t>(planeWidth) * planeHeight, 0);
  }
  delete currentPaths;
  currentPaths = nullptr;
  progressOps_ = outerOps;
  progressStarted_ = outerStarted;
  return result;
}
