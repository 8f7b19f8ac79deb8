#include "script/misc_render.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "engines/records/engine_frame.h"
#include "engines/records/param_record.h"
#include "engines/records/session_defaults.h"
#include "paths/path_list.h"
#include "raster/plane_copy.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/render_reach.h"
#include "script/script_file.h"
#include "script/script_record_file.h"

namespace {

CurrentDocumentSource gDocumentSource = nullptr;

}  // namespace

void CopyDocData(const DocData* s, DocData* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  ScriptFile* script = d->script;
  Laye* layer = d->layer;
  *d = *s;
  d->script = script;
  d->layer = layer;
  // The names are C strings: whatever follows their zero is not the document's.
  d->firstName[sizeof d->firstName - 1] = 0;
  d->secondName[sizeof d->secondName - 1] = 0;
}

void SetCurrentDocumentSource(CurrentDocumentSource source) { gDocumentSource = source; }

DocData* CurrentDocData() { return gDocumentSource != nullptr ? gDocumentSource() : nullptr; }

MiscRender::MiscRender() {
  kept = static_cast<uint8_t**>(vmkrec::NewScratch(sizeof(uint8_t*) * kKeptPlanes));
}

MiscRender::~MiscRender() {
  if (kept == nullptr) return;
  for (int32_t n = 0; n < kKeptPlanes; ++n) vmkrec::DeleteScratch(kept[n]);
  vmkrec::DeleteScratch(kept);
}

void MiscRender::SetFich(const fichier* f, ScriptFile* s, int16_t m, int16_t rm, int16_t l) {
  script = s;
  mode = m;
  renderMode = rm;
  limit = l;
  if ((m == 2 || m == 3) && f != nullptr) Copy_FicStruct(f, &file);
}

ScriptFile* MiscRender::MakeScript(int32_t areaWidth, int32_t areaHeight, int32_t planeWidth,
                                   int32_t planeHeight) {
  auto s = std::make_unique<ScriptFile>();
  const float resolution = gPer != nullptr ? gPer->resolution : 72.0f;
  if (s->I_ScriptFile(3, SessionPhotoWidth(), SessionPhotoHeight(), resolution, planeWidth,
                      planeHeight, 0, 0, areaWidth - 1, areaHeight - 1) != 0)
    return nullptr;
  s->NewLimSize(0, 0, planeWidth, planeHeight, 1.0f, 1.0f);
  return s.release();
}

// Loads the file source of modes 2 and 3 into the script.
int32_t MiscRender::LoadSource(ScriptFile* s, CPathList* paths) {
  s->SetBuf(s->ChannelPlane(3, 0), s->ChannelPlane(4, 0), s->ChannelPlane(5, 0), nullptr,
            s->ChannelPlane(6, 0), nullptr);
  if (mode == 2) {
    File_kern f(&file);
    int32_t value = 0;
    if (s->RecallCombiLay(&f, 2, &value, nullptr) != 0) return -1;
  } else if (mode == 3) {
    Laye* layer = s->GetStack(0) != nullptr ? s->GetStack(0)->GetLaye(1) : nullptr;
    if (layer == nullptr) return -1;
    File_kern f(&file);
    std::unique_ptr<char[]> preview(new char[scriptrecord::kScriptPreviewSize]);
    char text[scriptrecord::kScriptTextSize] = {};
    int16_t v1 = 0, v2 = 0;
    if (s->RecallScript(0, &layer->oprnCount, &layer->firstOprn, &f, 0, preview.get(), &v1, &v2,
                        nullptr, text, 1.0f, 1.0f, 1) != 0)
      return -1;
    if (paths != nullptr && layer->paths != nullptr) paths->CopyPathList(layer->paths);
  }
  return 0;
}

// Loads the file source of modes 2 and 3 into the script and renders stack 0.
int32_t MiscRender::RenderSource(ScriptFile* s, CPathList* paths, uint8_t* fourth) {
  if (LoadSource(s, paths) != 0) return -1;
  return s->Render(0, 0, 0, nullptr, fourth, nullptr, renderMode, limit);
}

int32_t MiscRender::SourceReach(int32_t w, int32_t h) {
  if ((mode != 2 && mode != 3) || w <= 0 || h <= 0) return kReachesWhole;
  const bool whole = wholeWidth > 0 && wholeHeight > 0;
  std::unique_ptr<ScriptFile> s(MakeScript(whole ? wholeWidth : w, whole ? wholeHeight : h, w, h));
  if (s == nullptr) return kReachesWhole;
  s->fittedPreview = fittedPreview;
  if (LoadSource(s.get(), nullptr) != 0) return kReachesWhole;
  return StackReach(*s, 0);
}

void MiscRender::KeepPlanes(ScriptFile* s, int32_t planeWidth, int32_t planeHeight) {
  const size_t n = static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight);
  for (int32_t c = 6; c < kKeptPlanes; ++c) {
    vmkrec::DeleteScratch(kept[c]);
    kept[c] = nullptr;
    const char* plane = s->planes != nullptr ? s->planes->GetBuf(c, 0) : nullptr;
    if (plane == nullptr) continue;
    kept[c] = static_cast<uint8_t*>(vmkrec::NewScratch(n));
    if (kept[c] != nullptr) ChBufToChBuf(planeWidth, planeHeight, reinterpret_cast<const uint8_t*>(plane), kept[c]);
  }
}

int32_t MiscRender::FillBuf(int16_t, int16_t blendMode, int16_t opacity, int16_t source,
                            int16_t apply, CPathList* paths, int32_t left, int32_t top,
                            int32_t right, int32_t bottom, int32_t photoLeft, int32_t photoTop,
                            int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                            int32_t w, int32_t h, uint8_t* red, uint8_t* green, uint8_t* blue,
                            uint8_t* fourth, uint8_t* mask) {
  if (kept == nullptr || mode < 0 || mode > 3 || w <= 0 || h <= 0 || red == nullptr ||
      green == nullptr || blue == nullptr || fourth == nullptr)
    return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, w, h, false);
  width = w;
  height = h;
  const int32_t areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);

  ScriptFile* s = nullptr;
  std::unique_ptr<ScriptFile> own;
  if (mode == 0 || mode == 1) {
    DocData* doc = mode == 0 ? CurrentDocData() : nullptr;
    s = mode == 0 ? (doc != nullptr ? doc->script : nullptr) : script;
    // A script renders at its own plane size only.
    if (s == nullptr || s->planeWidth != w || s->planeHeight != h || areaWidth <= 0 ||
        areaHeight <= 0)
      return -1;
    s->SetDrwVal(0.0f, 0.0f, static_cast<float>(SessionPhotoWidth()) / static_cast<float>(areaWidth),
                 static_cast<float>(SessionPhotoHeight()) / static_cast<float>(areaHeight), 0.0f, 0.0f);
  } else {
    if (areaWidth <= 0 || areaHeight <= 0) return -1;
    const bool whole = wholeWidth > 0 && wholeHeight > 0;
    own.reset(MakeScript(whole ? wholeWidth : areaWidth, whole ? wholeHeight : areaHeight, w, h));
    s = own.get();
    if (s == nullptr) return -1;
    s->fittedPreview = fittedPreview;
  }
  for (int32_t c = 3; c <= 6; ++c)
    if (s->planes == nullptr || s->planes->CreBuf(c) == nullptr) return -1;

  if (source == 1 || source == 3) {
    const vmkrec::SourceRequest request =
        vmkrec::MakeSourceRequest(w, h, areaWidth, areaHeight, photoLeft, photoTop, photoRight,
                                  photoBottom, scaleX, scaleY, red, green, blue, fourth);
    vmkrec::PrepareEngineSource(source, 3, 255, request);
  }
  uint8_t* callers[4] = {red, green, blue, fourth};
  for (int32_t c = 0; c < 4; ++c)
    std::memcpy(s->planes->GetBuf(3 + c, 0), callers[c], n);

  failure.reset();
  if (apply == 1 && RenderSource(s, paths, fourth) != 0) {
    failure = s->Failure();
    return -1;
  }
  for (int32_t c = 0; c < 3; ++c)
    vmkrec::BlendEffect(callers[c], reinterpret_cast<const uint8_t*>(s->planes->GetBuf(3 + c, 0)),
                        mask, w, area, blendMode, opacity);
  KeepPlanes(s, w, h);
  return 0;
}

// The source is read straight into the script's planes, as FillBuf reads it into the caller's
// and copies it over; at mode 0 and full opacity FillBuf's blend back gives the caller the
// render's samples, and its fourth plane stays as read, which is read again once the render
// is kept (the render's own plane 6 goes to the kept planes first).
int32_t MiscRender::RenderPhoto(int16_t apply, int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                                int32_t photoBottom, float scaleX, float scaleY, int32_t w, int32_t h,
                                const std::function<void(uint8_t* const planes[4])>& take) {
  if (kept == nullptr || (mode != 2 && mode != 3) || w <= 0 || h <= 0) return -1;
  width = w;
  height = h;
  const bool whole = wholeWidth > 0 && wholeHeight > 0;
  const std::unique_ptr<ScriptFile> s(MakeScript(whole ? wholeWidth : w, whole ? wholeHeight : h, w, h));
  if (s == nullptr) return -1;
  s->fittedPreview = fittedPreview;
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  uint8_t* planes[4] = {};
  for (int32_t c = 0; c < 4; ++c) {
    planes[c] = s->planes != nullptr ? reinterpret_cast<uint8_t*>(s->planes->CreBuf(3 + c)) : nullptr;
    if (planes[c] == nullptr) return -1;
    std::memset(planes[c], 0, n);
  }
  const auto read = [&](uint8_t* red, uint8_t* green, uint8_t* blue) {
    vmkrec::PrepareEngineSource(3, 3, 255,
                                vmkrec::MakeSourceRequest(w, h, w, h, photoLeft, photoTop, photoRight, photoBottom,
                                                          scaleX, scaleY, red, green, blue, planes[3]));
  };
  read(planes[0], planes[1], planes[2]);
  failure.reset();
  if (apply == 1 && RenderSource(s.get(), nullptr, planes[3]) != 0) {
    failure = s->Failure();
    return -1;
  }
  KeepPlanes(s.get(), w, h);
  if (apply == 1) {
    std::memset(planes[3], 0, n);
    read(nullptr, nullptr, nullptr);
  }
  take(planes);
  return 0;
}

void MiscRender::CollectChans(int32_t w, int32_t h, unsigned char** table) {
  if (table == nullptr || kept == nullptr || w <= 0 || h <= 0) return;
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  for (int32_t c = 6; c < kKeptPlanes; ++c) {
    if (kept[c] == nullptr) continue;
    auto* copy = static_cast<uint8_t*>(vmkrec::NewScratch(n));
    if (copy == nullptr) continue;
    if (w == width && h == height)
      ChBufToChBuf(w, h, kept[c], copy);
    else
      BufToBufChar_andR(0, width, height, kept[c], w, h, copy, 0, 0, width, height, 0, 0, w, h);
    table[c] = copy;
  }
}

int32_t MiscRender::ScriptToRendFile(const fichier* f, ScriptFile* s, int16_t m, int32_t W,
                                     int32_t H, int16_t rm, int16_t l) {
  SetFich(f, s, m, rm, l);
  fichier target;
  const bool named = RenderFileRecord(&target);
  const DocData* doc = CurrentDocData();
  int32_t result = -1;
  if (doc != nullptr && doc->width > 0 && doc->height > 0 && W > 0 && H > 0) {
    const int32_t w = doc->width, h = doc->height;
    // Fitted into W x H; a very thin picture still keeps one row or column.
    int32_t R = W, B = H;
    if (w > h)
      B = static_cast<int32_t>(int64_t{h} * H / w);
    else
      R = static_cast<int32_t>(int64_t{w} * W / h);
    R = std::max(R, 1);
    B = std::max(B, 1);
    const float sx = static_cast<float>(w) / static_cast<float>(R);
    const float sy = static_cast<float>(h) / static_cast<float>(B);
    const size_t n = static_cast<size_t>(W) * static_cast<size_t>(H);
    vmkrec::ScratchBytes planes[4] = {vmkrec::ScratchBytes(n), vmkrec::ScratchBytes(n),
                                      vmkrec::ScratchBytes(n), vmkrec::ScratchBytes(n)};
    if (std::all_of(std::begin(planes), std::end(planes), [](const auto& p) { return p.valid(); }) &&
        FillBuf(3, 0, 255, 3, 1, nullptr, 0, 0, R, B, 0, 0, w - 1, h - 1, std::max(sx, sy),
                std::max(sx, sy), W, H, planes[0].data(), planes[1].data(), planes[2].data(),
                planes[3].data(), nullptr) == 0)
      result = ReadWriteRendFile(0, W, H, planes[0].data(), planes[1].data(), planes[2].data(),
                                 planes[3].data(), R, B);
  }
  // An engine must never take a render of an earlier state for this one.
  if (result != 0 && named) S_delete(&target);
  return result;
}
