// The render loop and the frames of its two dispatches: which planes an operation reads and
// writes, the mask it acts through, and the case that its effect number runs.
#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "paths/path_list.h"
#include "platform/parallel/cancel.h"
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

}  // namespace

uint8_t* ScriptFile::PreparedPlane(int32_t channel) {
  if (uint8_t* p = ChannelPlane(channel, 0)) return p;
  uint8_t* p = ChannelPlane(channel, 1);
  if (p != nullptr)
    std::memset(p, 0, static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight));
  return p;
}

// --- The operation mask --------------------------------------------------------------------

int32_t ScriptFile::OperationMask(const Oprn* op, plat::Block<uint8_t>* mask,
                                 bool selectColours) {
  const int64_t n = static_cast<int64_t>(planeWidth) * planeHeight;
  plat::Block<uint8_t> k(n, WorkSource());
  if (!k) return -1;
  // A mask channel beyond the manager's slots is treated as a missing plane: full effect.
  const uint8_t* plane =
      op->MChannel > 2 && op->MChannel <= kLastChannel ? ChannelPlane(op->MChannel, 0) : nullptr;
  if (plane != nullptr && op->IntExt == 1) {
    std::memcpy(k.get(), plane, static_cast<size_t>(n));
  } else if (plane != nullptr && op->IntExt == 2) {
    for (int64_t i = 0; i < n; ++i) k[i] = static_cast<uint8_t>(255 - plane[i]);
  } else {
    std::memset(k.get(), 255, static_cast<size_t>(n));
  }
  if (selectColours && SelectColours(op, k.get()) != 0) return -1;
  *mask = std::move(k);
  return 0;
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
  const auto level = static_cast<int16_t>(static_cast<int32_t>(ext->SelLevel[0] * 2.55 + 0.5));
  Effects::ColorCirc(0, level, mask, planeHeight, planeWidth, 0, 0, areaWidth, areaHeight, 1,
                     nullptr, tables.data(), 0, static_cast<int16_t>(ext->SelValueC[0]),
                     static_cast<int16_t>(ext->SelValueD[0]),
                     static_cast<int16_t>(ext->SelValueB[0]), 1, 20);
  if (ext->SelFlag[0] == 1) {
    const int64_t n = static_cast<int64_t>(planeWidth) * planeHeight;
    for (int64_t i = 0; i < n; ++i) mask[i] = static_cast<uint8_t>(255 - mask[i]);
  }
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
    if (CollectSource(0, &s, &mean) != 0) return -1;
    call.source = s;
    call.compositeSource = true;
  } else {
    call.source = PreparedPlane(op->FromChannel);
  }
  if (call.source == nullptr) return -1;
  plat::Block<uint8_t> mask;
  if (OperationMask(op, &mask) != 0) return -1;
  call.mask = mask.get();

  const RenderCase run = FindRenderCase(op->Effect);
  if (run == nullptr || EffectRowOf(op->Effect).group != CaseGroup::kTwoPlane) return 0;
  return run(call);
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
  if (OperationMask(op, &mask) != 0) return -1;
  call.mask = mask.get();
  call.planeCount = op->ToChannel != 2 ? 1 : (colourModel == 0 ? 4 : 3);

  const RenderCase run = FindRenderCase(op->Effect);
  if (run == nullptr || !OnePlaneCase(op->Effect)) return 0;
  return run(call);
}

// --- The loop ----------------------------------------------------------------------------------

void ScriptFile::LoadImagePlanes(int16_t fill, const uint8_t* pixels, const uint8_t* extra6,
                                 const uint8_t* extra89) {
  if (planeCount < 3 || planeCount > 5) PrepAllImaBuf(nullptr, 8);
  const size_t n = static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight);
  const bool cmyk = colourModel == 0;
  // Byte k of each pixel goes to plane 3, 4, 5 and (CMYK) 2.
  const int32_t channels[4] = {3, 4, 5, 2};
  for (int32_t k = 0; k < (cmyk ? 4 : 3); ++k) {
    uint8_t* p = ChannelPlane(channels[k], 0);
    if (p == nullptr) continue;
    if (pixels != nullptr) {
      for (size_t i = 0; i < n; ++i) p[i] = pixels[4 * i + k];
    } else if (fill == 1) {
      // White: full components in RGB, no ink in CMYK.
      std::memset(p, cmyk ? 0 : 255, n);
    }
  }
  // The caller's planes 6 and 89 are taken only when absent; an earlier render's stay.
  const std::pair<int32_t, const uint8_t*> extras[2] = {{6, extra6}, {89, extra89}};
  for (const auto& [channel, bytes] : extras) {
    if (bytes == nullptr || ChannelPlane(channel, 0) != nullptr) continue;
    if (uint8_t* p = ChannelPlane(channel, 1)) std::memcpy(p, bytes, n);
  }
}

void ScriptFile::RenderLayer(int16_t stack, int16_t k, Laye* layer, int16_t mode, int16_t upto) {
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
    if (route == EffectRoute::kTwoPlane) {
      PerformFromToEffect(op);
    } else if (route == EffectRoute::kOnePlane) {
      PerformToEffect(op);
    } else if (route == EffectRoute::kRenderStep) {
      RenderCall call;
      call.script = this;
      call.op = op;
      call.stack = stack;
      call.layer = k;
      FindRenderCase(op->Effect)(call);
    }
  }
}

int32_t ScriptFile::Render(int16_t, int16_t fill, int16_t stack, const uint8_t* pixels,
                           const uint8_t* extra6, const uint8_t* extra89, int16_t mode,
                           int16_t upto) {
  RegisterScriptRenderCases();
  missingCases_.clear();
  // Swap files and scratch planes 7 to 36 belong to one render; working planes 37 to 88 carry
  // over from the last one, for scripts that build on what an earlier render left.
  Effects::BufFile(3, 0, nullptr, nullptr, nullptr, 0, 0, 0);
  FreeAllChanBuf(kFirstScratch);
  LoadImagePlanes(fill, pixels, extra6, extra89);

  const LayerFile* layers = GetStack(stack);
  int16_t k = 1;
  for (Laye* layer = layers != nullptr ? layers->firstLaye : nullptr; layer != nullptr;
       layer = layer->next, ++k) {
    if (plat::Cancelled()) break;
    if (layer->active == 1) RenderLayer(stack, k, layer, mode, upto);
    // Scratch planes live for one layer, active or not; the last layer leaves them.
    if (layer->next == nullptr) continue;
    for (int32_t c = kFirstScratch; c <= kLastScratch; ++c)
      if (uint8_t* p = ChannelPlane(c, 0))
        std::memset(p, 0, static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight));
  }
  delete currentPaths;
  currentPaths = nullptr;
  return 0;
}
