#include "script/script_file.h"

#include <cstring>
#include <new>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "paths/path_list.h"
#include "platform/parallel/byte_passes.h"

ScriptFile::ScriptFile() {
  // The colour model starts as RGB, so a script that never learns its image mode (or learns
  // one that names no model) loads and renders three planes.
  for (LayerFile*& stack : stacks) {
    stack = new LayerFile;
    stack->AddLaye(1, new Laye);
  }
}

ScriptFile::~ScriptFile() {
  delete currentPaths;
  currentPaths = nullptr;
  for (LayerFile*& stack : stacks) {
    delete stack;
    stack = nullptr;
  }
  DeleteRecordBlock(drawPar);
  drawPar = nullptr;
  delete planes;
  planes = nullptr;
}

int32_t ScriptFile::I_ScriptFile(int16_t mode, int32_t w, int32_t h, float res, int32_t pw,
                                 int32_t ph, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  // Both blocks are had before anything changes, so a refusal leaves the script as it was.
  auto* manager = new (std::nothrow) VMKMemMan;
  void* drawBlock = NewRecordBlock(sizeof(DrawPar));
  if (manager == nullptr || drawBlock == nullptr) {
    delete manager;
    DeleteRecordBlock(drawBlock);
    return -1;
  }
  manager->IniVMKMemMan(pw, ph, 8);
  delete planes;
  planes = manager;

  if (mode == 4) colourModel = 0;
  if (mode == 3 || mode == 11) colourModel = 1;
  width = w;
  height = h;
  resolution = res;
  planeWidth = pw;
  planeHeight = ph;
  areaX0 = x0;
  areaY0 = y0;
  areaX1 = x1;
  areaY1 = y1;
  // Corners from far apart wrap rather than overflow.
  areaWidth = static_cast<int32_t>(int64_t{x1} - x0 + 1);
  areaHeight = static_cast<int32_t>(int64_t{y1} - y0 + 1);

  const float previewW = gPer != nullptr ? static_cast<float>(gPer->previewWidth) : 0.0f;
  const float previewH = gPer != nullptr ? static_cast<float>(gPer->previewHeight) : 0.0f;
  const float sx = previewW / static_cast<float>(areaWidth);
  const float sy = previewH / static_cast<float>(areaHeight);
  previewScaleX = previewScaleY = sx > sy ? sx : sy;
  renderScaleX = renderScaleY = 1.0f;

  DeleteRecordBlock(drawPar);
  drawPar = new (drawBlock) DrawPar;
  Init_DrawPar(drawPar);
  drawPar->viewOffsetX = drawPar->viewOffsetY = 0.0f;
  drawPar->originX = drawPar->originY = 0.0f;
  // Each axis keeps its own scale here, where the preview scales take the larger of the two.
  drawPar->scaleX = sx;
  drawPar->scaleY = sy;
  return 0;
}

int32_t ScriptFile::SetTotLength(int32_t w, int32_t h) {
  width = w;
  height = h;
  return 0;
}

int32_t ScriptFile::SetBuf(uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t* alpha, uint8_t*) {
  const uint8_t extra = alpha != nullptr ? 1 : 0;
  if (colourModel == 1) planeCount = 3 + extra;
  if (colourModel == 0) planeCount = 4 + extra;
  return 0;
}

void ScriptFile::SetDrw(GrafPtr port, const DrawPar* source) {
  if (drawPar == nullptr) return;
  if (source != nullptr) Copy_DrawPar(source, drawPar);
  drawPar->port = port;
}

void ScriptFile::SetDrwVal(float a, float b, float c, float d, float e, float f) {
  if (drawPar == nullptr) return;
  drawPar->viewOffsetX = a;
  drawPar->viewOffsetY = b;
  drawPar->scaleX = c;
  drawPar->scaleY = d;
  drawPar->originX = e;
  drawPar->originY = f;
}

void ScriptFile::NewLimSize(int32_t x0, int32_t y0, int32_t x1, int32_t y1, float scaleX,
                            float scaleY) {
  areaX0 = x0;
  areaY0 = y0;
  areaX1 = x1;
  areaY1 = y1;
  renderScaleX = scaleX;
  renderScaleY = scaleY;
}

uint8_t* ScriptFile::ChannelPlane(int32_t channel, int16_t create) {
  if (planes == nullptr || channel < 0 || channel >= kPlaneSlots) return nullptr;
  return reinterpret_cast<uint8_t*>(planes->GetBuf(channel, create));
}

int32_t ScriptFile::PrepAllImaBuf(const uint8_t* pixels, int16_t depth) {
  if (depth != 8) return 0;
  const bool cmyk = colourModel == 0;
  uint8_t* target[4] = {ChannelPlane(3, 1), ChannelPlane(4, 1), ChannelPlane(5, 1),
                        cmyk ? ChannelPlane(2, 1) : nullptr};
  const int count = cmyk ? 4 : 3;
  for (int c = 0; c < count; ++c)
    if (target[c] == nullptr) return -1;
  const size_t n = static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight);
  for (int c = 0; c < count; ++c) {
    if (pixels == nullptr) {
      plat::FillBytes(target[c], static_cast<int64_t>(n), 0);
      continue;
    }
    for (size_t i = 0; i < n; ++i) target[c][i] = pixels[4 * i + c];
  }
  return 0;
}

void ScriptFile::PrepareSmallBuf(uint32_t*) {}

void ScriptFile::FreeAllChanBuf(int16_t first) {
  if (planes == nullptr) return;
  for (int32_t n = first < 0 ? 0 : first; n <= 36; ++n) planes->DelBuf(n);
}
