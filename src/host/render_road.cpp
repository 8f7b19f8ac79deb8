// The render road: the layers that a confirmed effect left in the session's
// layer scratch file are rendered over the source image, written back into
// the destination and mixed by opacity and blend mode.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "app/plane_readers.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/preview_render.h"
#include "dialogs/frame/ok_render.h"
#include "host/edit_session.h"
#include "host/main_window.h"
#include "host/render_progress.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "host/session/kept_file.h"
#include "paths/path_list.h"
#include "platform/files/file_io.h"
#include "platform/files/file_types.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace {

// The resource file's alert of a file that could not be written.
constexpr int16_t kFileAlert = 129;

// Where reading the image's planes ends and the render ends in the progress window's whole.
// A 6000 x 4000 photo at a load of ~29: reading 0.15-0.2 s, writing back 0.1-0.7 s, the mix
// next to nothing; the renders that keep the window up take from about a second (the wind at
// its defaults renders in 0.3 s) to a minute (a fractal of many iterations).
constexpr double kReadShare = 0.08, kRenderedShare = 0.85;
// Where writing back ends in the last part, the opacity mix taking the rest.
constexpr double kWrittenBack = 0.9;

// Reads the combined layers of the scratch file into the script and renders
// them onto its planes; 0, or negative when the file cannot be read or the
// render fails.
int32_t RenderScratchLayers(ScriptFile* script, uint8_t* mask, int32_t width, int32_t height) {
  File_kern file(&gPer->layerScratch);
  int32_t value = 0;
  if (script->RecallCombiLay(&file, 2, &value, nullptr) != 0) return -1;
  LayerFile* stack = script->GetStack(0);
  Laye* first = stack != nullptr ? stack->GetLaye(1) : nullptr;
  if (first != nullptr && first->paths != nullptr)
    first->paths->SetDrwVal(0, width, 0, height, 0.0f, 0.0f, 0, 1.0f, 1.0f, 0.0f, 0.0f);
  return script->Render(0, 0, 0, nullptr, mask, nullptr, 0, 0);
}

// The main editing window on the family; 1 when the user pressed OK, the
// combined layer file then being in the layer scratch file.
int16_t RunLayeredEditor(int16_t family) {
  auto* editor = new VMKpinmainUI();
  const int16_t answer = editor->Do_PinmainDlg(family);
  delete editor;
  return answer;
}

bool IsConfirmedDialogEffect(int16_t effect) {
  switch (effect) {
    case 92: case 100: case 102: case 103: case 104: case 105: case 106: case 113: case 118:
      return true;
    default:
      return false;
  }
}

// The single-effect dialogs and the basic road of 41, 42 and 58: the effects whose confirmed
// layer file holds that effect as operation 1 of the current layer.
bool IsLaunchedEffect(int16_t effect) {
  return IsConfirmedDialogEffect(effect) || effect == 41 || effect == 42 || effect == 58;
}

// What a stored layer file needs from the session before it is rendered on its own: the
// effect it was confirmed for, which the render reads (the fourth plane starts clear for the
// combination). A picture one of its steps cannot read fails that step in the render, which
// names it as every road does. Empty `why` when the file can be rendered.
struct InstalledLayers {
  int16_t effect = 0;
  std::string why;
};

InstalledLayers ReadInstalledLayers() {
  InstalledLayers out;
  ScriptFile script;
  File_kern file(&gPer->layerScratch);
  int32_t value = 0;
  // Planes of one sample: only the operations and their records are looked at.
  if (script.I_ScriptFile(3, 1, 1, 72.0f, 1, 1, 0, 0, 0, 0) != 0 ||
      script.RecallCombiLay(&file, 2, &value, nullptr) != 0) {
    out.why = "the layer file cannot be read";
    return out;
  }
  const Oprn* first = script.GetOprn(0, 1, 1);
  if (first != nullptr && IsLaunchedEffect(first->Effect)) out.effect = first->Effect;
  return out;
}

// Copies the file at `from` over the layer scratch file `to` through a
// replacement, so that a full or read-only folder leaves the old scratch
// whole and no torn copy. Empty, or the system's own words for what failed.
std::string InstallLayerFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return std::strerror(errno);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::strerror(EIO);
  plat::files::AtomicReplace out(to);
  if (!out.ok() || !out.write(bytes.data(), bytes.size()) || !out.commit())
    return std::strerror(out.error() != 0 ? out.error() : EIO);
  return {};
}

// The second line of a render's alert: the step that failed, when one did, and that the
// picture is as it was.
std::string NotAppliedWords(const std::string& step) {
  std::string words = step;
  if (!words.empty()) {
    words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
    words += ". ";
  }
  return words + "It was not applied: the picture is as it was.";
}

// A confirmed effect whose render ran out of memory: the picture is as it
// was, and the user must not believe otherwise.
void TellNoMemory(const std::string& step) {
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  alert.params = {"There is not enough memory to apply the effect to this picture.",
                  NotAppliedWords(step)};
  plat::ui::Alert(alert);
}

}  // namespace

void CarbonEditPlugin::UIFilter(int16_t effect) {
  if (app == nullptr) return;
  VMKdoc* doc = app->appData.documents[app->appData.currentDocument];
  if (doc != nullptr) doc->Initialize();
  source = destination;
  // A dialog's preview may write the layer scratch file, and every further
  // version is rendered from it on OK: an effect that is not confirmed must
  // leave it as it found it.
  const KeptFile kept(gPer->layerScratch);
  // The window renders on its OK, while it is still open: a failure leaves
  // it open with the user's work in it, and only an applied effect closes it.
  bool applied = false;
  const auto renderOnOk = [this, &applied](int16_t launched) {
    return [this, &applied, launched] { return applied = ApplyConfirmed(launched); };
  };
  int16_t confirmed = 0;
  if (IsConfirmedDialogEffect(effect)) {
    gPer->currentEffect = effect;
    const OkRenderOffer offer(renderOnOk(effect));
    confirmed = app->LaunchEffect(effect);
  } else if (effect >= 114 && effect <= 117) {
    gPer->currentEffect = effect;
    const OkRenderOffer offer(renderOnOk(0));
    confirmed = RunLayeredEditor(effect);
  } else if (effect == 41 || effect == 42 || effect == 58) {
    if (app->Do_BasAdvDlog(effect) == 1) {
      gPer->currentEffect = effect;
      const OkRenderOffer offer(renderOnOk(effect));
      confirmed = app->LaunchEffect(effect);
    } else {
      // The advanced road (and a choice window that cannot be made) is the
      // layered editor, which leaves the session's current effect alone.
      const OkRenderOffer offer(renderOnOk(0));
      confirmed = RunLayeredEditor(effect);
    }
  }
  if (applied) return;
  // Only a confirmed dialog renders: rendering after a cancel would apply
  // the previous effect's layers a second time.
  if (confirmed != 1) {
    kept.Restore();
    // Confirmed, but the layer file would not take it: the picture stays as
    // it was, and the user must not believe otherwise.
    if (confirmed == kEffectNotStored) TellEffectNotStored();
    return;
  }
  // Confirmed by a window that did not render on its OK.
  (void)RenderConfirmed();
}

bool CarbonEditPlugin::ApplyConfirmed(int16_t launched) {
  if (app == nullptr) return false;
  if (app->StoreConfirmed(launched) != 1) {
    TellEffectNotStored();
    return false;
  }
  return RenderConfirmed();
}

bool CarbonEditPlugin::RenderConfirmed() {
  // A render that fails leaves the picture as it was: the user confirmed
  // the effect and must be told it is not there (a render the user stopped
  // needs no word).
  const int32_t rendered = DoFilter();
  if (rendered == kRenderNoMemory) {
    TellNoMemory(failedStep);
  } else if (rendered != 0 && rendered != kRenderCancelled) {
    TellEffectNotRendered();
  }
  return rendered == 0;
}

void CarbonEditPlugin::TellEffectNotRendered() {
  lastError = "the effect could not be rendered and was not applied";
  if (!failedStep.empty()) lastError += ": " + failedStep;
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  alert.params = {"The effect could not be rendered.", NotAppliedWords(failedStep)};
  plat::ui::Alert(alert);
}

void CarbonEditPlugin::TellEffectNotStored() {
  const std::string file = FicToPosix(gPer->layerScratch);
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  if (file.empty()) {
    // No support folder was found to hold the scratch file: naming an
    // empty file name would tell the user nothing.
    lastError = "the effect could not be saved (no support folder was found) and was not applied";
    alert.params = {"The effect could not be saved: no support folder was found (set HOME or VMK_SUPPORT_DIR).",
                    "It was not applied: the picture is as it was."};
  } else {
    lastError = "the effect could not be saved as " + file + " and was not applied";
    alert.params = {"The effect could not be saved as \"" + file + "\".",
                    "It was not applied: the picture is as it was."};
  }
  plat::ui::Alert(alert);
}

int32_t CarbonEditPlugin::DoFilter() {
  failedStep.clear();
  FilterRecord* r = gFilterRecord;
  if (r == nullptr || gPer == nullptr) return -1;
  const PixelBuffer before = destination;
  const PixelBuffer spareBefore = spare;
  spare = destination;
  const int32_t width = std::min<int32_t>(r->imageRect.right - r->imageRect.left, r->imageWidth);
  const int32_t height = std::min<int32_t>(r->imageRect.bottom - r->imageRect.top, r->imageHeight);
  if (width <= 0 || height <= 0) return -1;
  gPer->previewWidth = width;
  gPer->previewHeight = height;
  ScriptFile script;
  if (script.I_ScriptFile(r->imageMode, width, height, gPer->resolution, width, height, 0, 0, width,
                          height) != 0 ||
      script.planes == nullptr)
    return -1;
  script.SetDrwVal(0, 0, 1.0f, 1.0f, 0, 0);
  script.NewLimSize(0, 0, width, height, 1.0f, 1.0f);
  auto* red = reinterpret_cast<uint8_t*>(script.planes->CreBuf(3));
  auto* green = reinterpret_cast<uint8_t*>(script.planes->CreBuf(4));
  auto* blue = reinterpret_cast<uint8_t*>(script.planes->CreBuf(5));
  auto* mask = reinterpret_cast<uint8_t*>(script.planes->CreBuf(6));
  if (red == nullptr || green == nullptr || blue == nullptr || mask == nullptr) {
    // The picture's own planes cannot be had: nothing was rendered.
    lastError = "not enough memory to render the effect";
    return kRenderNoMemory;
  }
  const size_t area = static_cast<size_t>(width) * static_cast<size_t>(height);
  const PixelBuffer sourceBefore = source;
  const PixelBuffer filteredBefore = filtered;
  // Everything that walks the whole image (reading the planes, the render,
  // writing back and the opacity mix) runs beside the event loop, so that
  // the windows stay drawn and the render can be stopped; the main window
  // touches none of these images while a render runs. An unreadable layer
  // file, a failed or a stopped render leaves the image as it was.
  // The shares of the whole in the progress window: reading, the render and writing back
  // with the mix, as they divide the time of a render a user waits on.
  const int32_t rendered = RunRenderWithProgress([&]() -> int32_t {
    {
      const plat::ProgressStage reading(0.0, kReadShare);
      std::memset(mask, 255, area);
      for (int32_t y = 0; y < height; ++y) {
        if (plat::Cancelled()) return -1;
        const size_t row = static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width);
        ReadOneLineBuffromPho(static_cast<int16_t>(gPer->planeMode), width, height, red + row,
                              green + row, blue + row, nullptr, mask + row, nullptr,
                              r->imageRect.left, r->imageRect.top + y, r->imageRect.right,
                              r->imageRect.top + y + 1);
        plat::ReportProgress(y + 1, height);
      }
    }
    script.SetBuf(red, green, blue, nullptr, mask, nullptr);
    {
      const plat::ProgressStage rendering(kReadShare, kRenderedShare);
      const int32_t result = RenderScratchLayers(&script, mask, width, height);
      if (result < 0 || plat::Cancelled()) return result;
    }
    const plat::ProgressStage writing(kRenderedShare, 1.0);
    {
      const plat::ProgressStage back(0.0, kWrittenBack);
      if (WriteBackPlanes(red, green, blue, width, height) != 0) return -1;
    }
    source = filtered;
    filtered = destination;
    const plat::ProgressStage mixing(kWrittenBack, 1.0);
    OpaModAPEimage(0, 0, static_cast<int32_t>(destination.width()),
                   static_cast<int32_t>(destination.height()), opacity, blendMode);
    return 0;
  });
  if (rendered == 0) return 0;
  // Stepping back still shows what it showed before.
  destination = before;
  spare = spareBefore;
  source = sourceBefore;
  filtered = filteredBefore;
  if (rendered == kRenderCancelled) {
    lastError = "the render was cancelled";
    return kRenderCancelled;
  }
  // The step that stopped the render, for the user: which it was and why.
  const std::optional<RenderFailure>& failure = script.Failure();
  if (failure.has_value()) failedStep = RenderFailureWords(*failure);
  if (rendered == kRenderNoMemory || (failure.has_value() && failure->memoryRefused())) {
    lastError = "not enough memory to render the effect";
    if (!failedStep.empty()) lastError += ": " + failedStep;
    return kRenderNoMemory;
  }
  return -1;
}

int32_t CarbonEditPlugin::RenderLayerFile(const std::string& path) {
  if (gPer == nullptr) return -1;
  const std::string lay = FicToPosix(gPer->layerScratch);
  std::error_code ec;
  if (lay.empty() || !std::filesystem::is_regular_file(path, ec)) return -1;
  const std::string why = InstallLayerFile(path, lay);
  if (!why.empty()) {
    lastError = "cannot install " + path + " as the layer file: " + why;
    return -1;
  }
  plat::files::SetTypeCreator(lay, gPer->layerScratch.type, gPer->layerScratch.creator);
  const InstalledLayers layers = ReadInstalledLayers();
  if (!layers.why.empty()) {
    lastError = "the layers of " + path + " cannot be rendered: " + layers.why;
    return -1;
  }
  // Rendered as the confirmed effect was, which leaves it the session's current effect.
  if (layers.effect != 0) gPer->currentEffect = layers.effect;
  source = destination;
  const int32_t rendered = DoFilter();
  if (rendered != 0) {
    if (rendered == kRenderNoMemory)
      lastError = "the layers of " + path + " could not be rendered: " + lastError;
    else if (rendered != kRenderCancelled)
      lastError = "the layers of " + path + " could not be rendered" +
                  (failedStep.empty() ? std::string() : ": " + failedStep);
    return -1;
  }
  if (mainWindow != nullptr && mainWindow->window != nullptr) mainWindow->DrawWindowContent(mainWindow->window);
  return 0;
}

int32_t CarbonEditPlugin::WriteBackPlanes(const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                                          int32_t width, int32_t height) {
  FilterRecord* r = gFilterRecord;
  if (r == nullptr) return -1;
  const uint32_t bytes = destination.bytesPerComponent();
  if (bytes != 1 && bytes != 2 && bytes != 4) return -1;
  // The span writer takes three values per pixel and leaves the fourth
  // component (the picture's alpha) as it was.
  constexpr int32_t p = 3;
  std::vector<uint8_t> row(static_cast<size_t>(p) * static_cast<size_t>(width) * bytes);
  // Every colour of every row is written over. A destination shared with
  // the images kept for stepping back would be copied whole on its first
  // write only to be overwritten (a second picture's worth of memory and
  // time at once): it takes a fresh body instead, into which only the alpha
  // of the old one is carried, row by row as the write-back reaches it.
  // Memory that cannot be had is std::bad_alloc, as a copy's would be.
  PixelBuffer old;
  const uint32_t w = destination.width(), h = destination.height();
  const bool whole = destination.componentsPerPixel() == 4 && r->imageRect.left == 0 &&
                     r->imageRect.top == 0 && r->imageRect.right == static_cast<int32_t>(w) &&
                     r->imageRect.bottom == static_cast<int32_t>(h) && width == static_cast<int32_t>(w) &&
                     height == static_cast<int32_t>(h);
  if (whole) destination.TakeFreshBodyIfShared(&old);
  r->inRect = r->imageRect;
  r->inRect.bottom = static_cast<int16_t>(r->inRect.top + 1);
  r->outRect = r->inRect;
  for (int32_t y = 0; y < height && r->outRect.bottom <= r->imageRect.bottom; ++y) {
    // Stopped, the road puts the images it kept back: the rest of the rows need not be written.
    if (plat::Cancelled()) return -1;
    const size_t plane = static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t v[3] = {red[plane + x], green[plane + x], blue[plane + x]};
      for (int32_t k = 0; k < p; ++k) {
        const size_t at = static_cast<size_t>(x) * p + k;
        if (bytes == 1) {
          row[at] = v[k];
        } else if (bytes == 2) {
          // An 8-bit result fills the 16-bit range: v x 257 keeps white at
          // 65535.
          const auto s = static_cast<uint16_t>(v[k] * 257);
          std::memcpy(&row[at * 2], &s, 2);
        } else {
          // Float buffers take the 8-bit values; the span writes v / 255.
          const uint32_t s = v[k];
          std::memcpy(&row[at * 4], &s, 4);
        }
      }
    }
    if (old.width() != 0) {
      const uint8_t* from = std::as_const(old).rowPtr(static_cast<uint32_t>(y));
      uint8_t* to = destination.rowPtr(static_cast<uint32_t>(y));
      for (uint32_t x = 0; x < w; ++x) {
        const size_t alpha = (static_cast<size_t>(x) * 4 + 3) * bytes;
        std::memcpy(to + alpha, from + alpha, bytes);
      }
    }
    r->inRect = r->outRect;
    if (WriteAPEimage(width, row.data(), nullptr, static_cast<int16_t>(p), r->outRect.left,
                      r->outRect.top, r->outRect.right, r->outRect.bottom) != 0)
      return -1;
    ++r->outRect.top;
    ++r->outRect.bottom;
    plat::ReportProgress(y + 1, height);
  }
  r->maskRect = Rect{};
  r->outRect = Rect{};
  r->inRect = Rect{};
  return 0;
}
