#include "host/edit_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

#include "app/core/colour_spaces.h"
#include "app/core/file_records.h"
#include "app/core/percent.h"
#include "app/core/session_state.h"
#include "app/folder_scans.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "dialogs/editor/effect_launch.h"
#include "dialogs/editor/preview_render.h"
#include "host/effect_dialogs.h"
#include "host/main_window.h"
#include "host/render_progress.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "host/session/small_dialogs.h"
#include "engines/families/effect_families.h"
#include "operations/swap_slots.h"
#include "platform/files/file_io.h"
#include "platform/files/file_types.h"
#include "platform/files/private_copy.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "platform/toolbox/api/ui_services.h"

CarbonEditPlugin* gCarbonEditPlugin = nullptr;

namespace {

// Set once the user was told that the maker's folder cannot be held fully.
std::atomic_flag gSupportFolderWarned = ATOMIC_FLAG_INIT;

void TellUser(const std::string& what, const std::string& why) {
  plat::ui::Alert(plat::ui::AlertRequest{129, "", {what, why}});
}

}  // namespace

void ForgetSupportFolderWarningForTesting() { gSupportFolderWarned.clear(); }

void EmptyLayerScratch(const std::string& lay, OSType type, OSType creator) {
  if (lay.empty()) return;
  // Looked at, not followed: a link in the scratch's place names some other
  // file of the user's, which emptying in place would truncate. An empty
  // file renamed over the name takes the place of the link instead, as
  // every other support file is replaced.
  struct stat st {};
  if (::lstat(lay.c_str(), &st) != 0) return;
  if (S_ISREG(st.st_mode) && st.st_size == 0) return;
  plat::files::AtomicReplace empty(lay);
  if (empty.commit()) plat::files::SetTypeCreator(lay, type, creator);
}

CarbonEditPlugin::CarbonEditPlugin(plat::hostapi::ApertureApiManager* api, const char* cls,
                                   plat::hostapi::ApertureEditManager* edit)
    : apiManager(api), pluginClass(cls), editManager(edit) {
  if (editManager == nullptr) return;
  const std::vector<plat::hostapi::VersionId> ids = editManager->selectedVersionIds();
  versionCount = static_cast<int32_t>(ids.size());
  versions.assign(ids.size(), EditVersion{});
  for (size_t i = 0; i < ids.size(); ++i) {
    const auto answer = editManager->editableVersionsOfVersions({ids[i]}, 2, true);
    if (answer.empty()) continue;
    const auto it = answer[0].find(plat::hostapi::kExportKeyReferencedMasterPath);
    if (it != answer[0].end()) versions[i].path = it->second;
  }
  if (!versions.empty()) firstPath = versions[0].path;
  leopard = true;
  // Everything below reaches the process's records, which another session
  // of this process may be using: a session turned away must not have
  // touched them.
  fichier makers{};
  LocateMakersFolder(&makers);
  if (!HoldMakersFolder(makers)) return;
  filterRecord_ = new FilterRecord();
  gFilterRecord = filterRecord_;
  if (!versions.empty())
    infoSourceImage(firstPath, &versions[0].type, &versions[0].properties, 0, leopard, gFilterRecord,
                    &lastError);
  if (VMKAlloc(makers) != 0) {
    if (lastError.empty()) lastError = "the plug-in's windows could not be loaded";
    return;
  }
  if (!versions.empty() &&
      readSourceImage(firstPath, &versions[0].type, &versions[0].properties, 0, leopard, source,
                      &lastError) == 0)
    ShareBuffers();
  mainWindow = new VMKapemainUI();
  opacity = 100;
  blendMode = 1;
  gCarbonEditPlugin = this;
  PublishSpans();
}

CarbonEditPlugin::~CarbonEditPlugin() {
  delete mainWindow;
  mainWindow = nullptr;
  window = nullptr;
  VMKDeAlloc();
  if (gCarbonEditPlugin == this) gCarbonEditPlugin = nullptr;
  if (spansPublished_) SetSessionSpanImages(nullptr, nullptr);
}

bool CarbonEditPlugin::HoldMakersFolder(const fichier& makers) {
  // The scratch and settings files of the maker's folder are one per
  // folder: a second session would empty the layer scratch under this
  // one's render. One session holds the folder, from before it touches them
  // until it ends; another is turned away at once rather than left waiting
  // on an edit that may stay open for hours.
  const std::string folder = FicToPosix(makers);
  const auto held = folder.empty() ? plat::files::FolderLock::Result::kUnavailable
                                   : supportFolderHold.Take(folder);
  if (held == plat::files::FolderLock::Result::kInUse) {
    lastError = "another edit is using the support folder " + folder + ": finish or cancel it, then start again";
    return false;
  }
  // The records of the process are one session's: a second session of this
  // process, where the folder could not be held, would replace them under
  // the first one's next effect.
  if (gPer != nullptr || gFilterRecord != nullptr) {
    supportFolderHold.Release();
    lastError = "another edit is open in this program: finish or cancel it, then start again";
    return false;
  }
  if (held == plat::files::FolderLock::Result::kNoLock || held == plat::files::FolderLock::Result::kHeldHere) {
    // Used all the same, as before there were holds; said once in the
    // program's life, not at every edit.
    if (!gSupportFolderWarned.test_and_set()) {
      if (held == plat::files::FolderLock::Result::kNoLock)
        std::fprintf(stderr,
                     "warning: the support folder %s cannot be locked (%s): it is used unlocked, so "
                     "another edit started meanwhile could change its files under this one\n",
                     folder.c_str(), supportFolderHold.why().c_str());
      else
        std::fprintf(stderr,
                     "warning: the support folder %s is held against other edits on this machine only (%s): "
                     "an edit started on another machine that shares it could change its files under this one\n",
                     folder.c_str(), supportFolderHold.why().c_str());
    }
  }
  return true;
}

void CarbonEditPlugin::ShareBuffers() {
  destination = source;
  spare = destination;
  filtered = spare;
}

void CarbonEditPlugin::PublishSpans() {
  SetSessionSpanImages(&source, &destination);
  spansPublished_ = true;
}

void* CarbonEditPlugin::editWindow() {
  if (window == nullptr && destination.width() != 0 && mainWindow != nullptr) {
    plat::tb::WindowRef w = mainWindow->Do_ApemainDlg(0, this);
    if (w != nullptr) window = plat::tb::QtWidgetOf(w);
  }
  return window;
}

int32_t CarbonEditPlugin::VMKAlloc(const fichier& makers) {
  // The render cases and record kinds of every effect family; registering
  // again changes nothing.
  RegisterEffectFamilies();
  // The dialog of every effect number the main window and the operation-list
  // editor can open.
  RegisterEffectDialogs();
  per_ = new TPermanent();
  gPer = per_;
  Copy_FicStruct(&makers, &gPer->makersFolder);
  app = new VMKapp();
  app->effectLauncher = LaunchTuneEffect;
  // A session whose drawing records could not be had cannot run an effect.
  if (app->initStatus != 0) return -1;
  if (app->InitNibRef(1) != 0) return -1;
  app->appData.documents[0] = new VMKdoc();
  app->appData.currentDocument = 0;
  // An earlier session's layers must not come back with this one's first
  // render: the scratch file starts empty.
  EmptyLayerScratch(FicToPosix(gPer->layerScratch), gPer->layerScratch.type,
                    gPer->layerScratch.creator);
  // Nor stays what a render that a crash or a kill ended left: its saved planes and its copy
  // of the layers. A live render's are locked, so none that a render elsewhere still uses goes.
  swap_slots::RemoveLeftSlots();
  (void)plat::files::SweepPrivateCopies(FicToPosix(gPer->layerScratch), kRenderCopyTag);
  return 0;
}

void CarbonEditPlugin::VMKDeAlloc() {
  delete app;
  app = nullptr;
  if (gPer == per_) gPer = nullptr;
  delete per_;
  per_ = nullptr;
  if (gFilterRecord == filterRecord_) gFilterRecord = nullptr;
  delete filterRecord_;
  filterRecord_ = nullptr;
  supportFolderHold.Release();
}

int32_t CarbonEditPlugin::ReadAPEimage(int32_t count, uint8_t* rgb, uint8_t* alpha, int16_t planes,
                                       int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return ReadAPEspan(source, count, rgb, alpha, planes, left, top, right, bottom);
}

int32_t CarbonEditPlugin::WriteAPEimage(int32_t count, const void* rgb, const uint8_t* alpha,
                                        int16_t planes, int32_t left, int32_t top, int32_t right,
                                        int32_t bottom) {
  return WriteAPEspan(destination, count, rgb, alpha, planes, left, top, right, bottom);
}

// ---- images ----

void CarbonEditPlugin::doOpaMod(int16_t newOpacity, int16_t mode) {
  opacity = newOpacity;
  blendMode = mode;
  // The mix needs a picture's worth of memory of its own; without it the
  // picture stays as it was (nothing is written before the memory is had).
  try {
    OpaModAPEimage(0, 0, static_cast<int32_t>(destination.width()),
                   static_cast<int32_t>(destination.height()), opacity, blendMode);
  } catch (const std::bad_alloc&) {
    TellUser("There is not enough memory to mix the effect at this opacity.",
             "The picture is as it was.");
  }
}

void CarbonEditPlugin::OpaModAPEimage(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                      int16_t opa, int16_t mode) {
  // Full opacity in the plain mode shows the render as it is; spare keeps
  // the image before it, so that stepping back toggles between the two.
  if (opa == 100 && mode == 1) {
    destination = filtered;
    return;
  }
  spare = filtered;
  // The opacity is a percentage: anything outside would weigh the colours
  // beyond their range.
  opa = static_cast<int16_t>(std::clamp<int32_t>(opa, 0, 100));
  const int32_t w = static_cast<int32_t>(std::min(source.width(), spare.width()));
  const int32_t h = static_cast<int32_t>(std::min(source.height(), spare.height()));
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min({right, static_cast<int32_t>(destination.width()), w});
  bottom = std::min({bottom, static_cast<int32_t>(destination.height()), h});
  const auto a = static_cast<int32_t>(PercentTo255(opa));
  const int32_t ia = 255 - a;
  const uint32_t bytes = destination.bytesPerComponent();
  if (source.bytesPerComponent() != bytes || spare.bytesPerComponent() != bytes) return;
  // Every component of every pixel is written over: a destination shared
  // with the render or the images kept for stepping back takes a fresh body
  // rather than a whole copy of pixels that would all be overwritten.
  const uint32_t dw = destination.width(), dh = destination.height();
  if (left == 0 && top == 0 && right == static_cast<int32_t>(dw) && bottom == static_cast<int32_t>(dh) &&
      destination.componentsPerPixel() == 4)
    destination.TakeFreshBodyIfShared();
  // Every (source, render) pair of 8-bit values mixes the same way: one
  // table of 256 x 256 results gives the same bytes as a blend per sample
  // and, measured on 2048 x 1536 at -O2, takes 20 ms instead of 77 (8 bits)
  // and 27 instead of 112 (16 bits).
  std::vector<uint8_t> table(256 * 256);
  for (int32_t s = 0; s < 256; ++s)
    for (int32_t f = 0; f < 256; ++f) {
      unsigned char c = static_cast<unsigned char>(f);
      X_optionRPart(&c, static_cast<uint32_t>(mode), s, f);
      table[static_cast<size_t>(s) * 256 + static_cast<size_t>(f)] = static_cast<uint8_t>((s * ia + a * c) / 255);
    }
  auto mix = [&table](int32_t s, int32_t f) { return table[static_cast<size_t>(s) * 256 + static_cast<size_t>(f)]; };
  for (int32_t y = top; y < bottom; ++y) {
    // Only the render road's mix runs under a cancel flag; stopped, the road puts back the
    // images it kept, so the rest of the rows need not be mixed.
    if (plat::Cancelled()) return;
    // Writing separates the destination from a body it shares; the source
    // and spare are only read, through their const forms, so they stay
    // shared.
    uint8_t* d = destination.rowPtr(static_cast<uint32_t>(y));
    const uint8_t* s = std::as_const(source).rowPtr(static_cast<uint32_t>(y));
    const uint8_t* f = std::as_const(spare).rowPtr(static_cast<uint32_t>(y));
    for (int32_t x = left; x < right; ++x) {
      if (bytes == 1) {
        const uint8_t* sp = s + x * 4;
        const uint8_t* fp = f + x * 4;
        uint8_t* dp = d + x * 4;
        for (int k = 0; k < 3; ++k) dp[k] = static_cast<uint8_t>(mix(sp[k], fp[k]));
        dp[3] = sp[3];
      } else if (bytes == 2) {
        // The mix is made on the 8-bit scale and scaled up by 257, so white
        // stays 65535.
        const auto* sp = reinterpret_cast<const uint16_t*>(s) + x * 4;
        const auto* fp = reinterpret_cast<const uint16_t*>(f) + x * 4;
        auto* dp = reinterpret_cast<uint16_t*>(d) + x * 4;
        for (int k = 0; k < 3; ++k) dp[k] = static_cast<uint16_t>(mix(sp[k] >> 8, fp[k] >> 8) * 257);
        dp[3] = sp[3];
      } else if (bytes == 4) {
        const auto* sp = reinterpret_cast<const float*>(s) + x * 4;
        const auto* fp = reinterpret_cast<const float*>(f) + x * 4;
        auto* dp = reinterpret_cast<float*>(d) + x * 4;
        auto to8 = [](float v) {
          return static_cast<int32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
        };
        for (int k = 0; k < 3; ++k)
          dp[k] = static_cast<float>(mix(to8(sp[k]), to8(fp[k]))) / 255.0f;
        dp[3] = sp[3];
      }
    }
    plat::ReportProgress(int64_t{y} - top + 1, int64_t{bottom} - top);
  }
}

void CarbonEditPlugin::doBack() {
  source = destination;
  destination = spare;
  spare = source;
}

void CarbonEditPlugin::doRevert() {
  if (versions.empty()) return;
  PixelBuffer fresh;
  if (readSourceImage(versions[0].path, &versions[0].type, &versions[0].properties, 0, leopard,
                      fresh) != 0)
    return;
  source = fresh;
  spare = destination;
  destination = source;
  source = spare;
}

int32_t CarbonEditPlugin::LoadVersion(size_t i) {
  EditVersion& v = versions[i];
  if (infoSourceImage(v.path, &v.type, &v.properties, 0, leopard, gFilterRecord, &lastError) != 0)
    return -1;
  PixelBuffer fresh;
  if (readSourceImage(v.path, &v.type, &v.properties, 0, leopard, fresh, &lastError) != 0) return -1;
  source = fresh;
  ShareBuffers();
  return 0;
}

int32_t CarbonEditPlugin::doOK() {
  if (versionCount > 1) {
    VMKlibr library;
    // Cancelling the question about the other versions writes nothing.
    if (library.Do_AlertDlg(2) == 0) return -1;
  }
  if (versions.empty()) return -1;
  // Every version is rendered before any is written: a render the user stops
  // then leaves every file as it was, and the session open on the image it
  // showed.
  std::vector<std::pair<size_t, PixelBuffer>> results{{0, destination}};
  std::string notRendered;
  // With no effect applied the other versions stay as the host made them.
  if (versions.size() > 1 && gFilterRecord != nullptr && LayersToRender()) {
    const PixelBuffer shown[4] = {source, filtered, destination, spare};
    const FilterRecord record = *gFilterRecord;
    const int32_t previewWidth = gPer->previewWidth, previewHeight = gPer->previewHeight;
    int32_t rendered = 0;
    for (size_t i = 1; i < versions.size() && rendered != kRenderCancelled; ++i) {
      rendered = LoadVersion(i) != 0 ? -1 : DoFilter();
      if (rendered == 0) {
        results.emplace_back(i, destination);
      } else if (rendered != kRenderCancelled) {
        notRendered += "\n" + versions[i].path;
      }
    }
    source = shown[0];
    filtered = shown[1];
    destination = shown[2];
    spare = shown[3];
    *gFilterRecord = record;
    gPer->previewWidth = previewWidth;
    gPer->previewHeight = previewHeight;
    if (rendered == kRenderCancelled) return -1;
  }
  std::string why;
  for (const auto& [i, image] : results) {
    if (writeDestinationImage(versions[i].path, versions[i].type, versions[i].properties, image,
                              &why) != 0) {
      lastError = why;
      TellUser("The edited image could not be written: " + versions[i].path, why);
      return -1;
    }
  }
  // The end is asked for before the alert below: while it is shown, the
  // written versions are already the user's, and a stop of the host then
  // keeps them.
  auto* manager = editManager;
  manager->PerformOnMainThread([manager] { manager->endEditSession(); }, false);
  if (!notRendered.empty())
    TellUser("These versions could not be rendered and were left as they were:", notRendered);
  return 0;
}

bool CarbonEditPlugin::LayersToRender() const {
  if (gPer == nullptr) return false;
  const std::string lay = FicToPosix(gPer->layerScratch);
  std::error_code ec;
  return !lay.empty() && std::filesystem::file_size(lay, ec) > 0 && !ec;
}

void CarbonEditPlugin::doCancel() {
  auto* manager = editManager;
  manager->PerformOnMainThread([manager] { manager->cancelEditSession(); }, false);
}
