#include "engines/patterns/border_record.h"

#include <cstring>
#include <memory>

#include "engines/records/preset_file.h"
#include "engines/records/session_defaults.h"

namespace {

constexpr vmkrec::PresetFormat kBorderFile{FourCC("hBor"), "Load a New Border...",
                                           vmkrec::PresetLayout::RecordOnly, 0, true};

constexpr const char* kDefaultTile = ":Vellmarkstead:Images:mirvder_rose.tif";

// Colours of ramps 1 to 11 of a fresh layer (preset 6, opaque).
constexpr uint8_t kRampColours[11][3] = {
    {255, 0, 0},   {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255},  {255, 0, 255},
    {128, 128, 128}, {128, 0, 0}, {0, 128, 0}, {0, 0, 128},   {128, 128, 0}};

// `picture`, when given, goes into all sixteen file references.
void InitLayer(BordLay* l, const fichier* picture, int16_t tiles, int16_t ramps, int16_t kind) {
  l->byteOrder = HostOrderFlag();
  l->second = 1;
  Init_BordInfo(&l->info, kind);
  for (BordTile& t : l->tiles) Init_BordTile(&t, tiles);
  const int32_t turned[4] = {180, 270, 0, 90}, diagonal[4] = {45, 135, 225, 315};
  for (int c = 0; c < 4; ++c) {
    if (kind == 0) {
      l->tiles[c].angle = turned[c];
      l->tiles[c].mirror = 2;
    } else {
      l->tiles[c].angle = diagonal[c];
    }
  }
  if (picture != nullptr)
    for (fichier& f : l->files) Copy_FicStruct(picture, &f);
  if (ramps == 1) {
    Init_LutVign(0, &l->ramps[0], 255, 255, 255, 0);
    for (int k = 0; k < 11; ++k)
      Init_LutVign(6, &l->ramps[1 + k], kRampColours[k][0], kRampColours[k][1],
                   kRampColours[k][2], 0);
  }
}

// The default tile picture; its lookup runs once per record, not once per reference.
std::unique_ptr<fichier> DefaultPicture(int16_t files) {
  if (files != 1) return nullptr;
  auto f = std::make_unique<fichier>();
  SetContentPicture(f.get(), kDefaultTile);
  return f;
}

// Everything of a layer that its stored section holds.
void TakeStoredLayer(const BordLay& from, BordLay* to) {
  const int32_t flag = to->byteOrder, second = to->second;
  Copy_BordLay(&from, to);
  to->byteOrder = flag;
  to->second = second;
}

template <class V>
void VisitWholeLayer(V& v, BordLay& l) {
  v.innerFlag(l.byteOrder);
  v.i32(l.second);
  VisitRecord(v, l);
}

}  // namespace

void Init_BordTile(BordTile* t, int16_t withQuad) {
  if (t == nullptr) return;
  t->byteOrder = HostOrderFlag();
  t->second = 1;
  t->enabled = 1;
  t->image = 0;
  t->blendMode = 0;
  t->opacity = 100;
  t->maskKind = 1;
  t->angle = 0;
  t->mirror = 0;
  t->scale = 100;
  t->value = 100;
  t->angleJitter = t->scaleJitter = 0;
  t->hue = t->saturation = t->lightness = 0;
  t->extra[0] = t->extra[1] = 0;
  if (withQuad == 1) {
    const int32_t x[4] = {0, 1000, 1000, 0}, y[4] = {0, 0, 1000, 1000};
    std::copy_n(x, 4, t->quadX);
    std::copy_n(y, 4, t->quadY);
  }
}

void Init_BordInfo(BordInfo* info, int16_t kind) {
  if (info == nullptr) return;
  *info = BordInfo{};
  info->byteOrder = HostOrderFlag();
  info->second = 1;
  info->kind = kind;
  info->shown = 1;
  std::fill_n(info->sideOn, 4, 1);
  std::fill_n(info->cells, 4, 4);
  std::fill_n(info->thickness, 4, 20);
  std::fill_n(info->cornerOn, 4, 1);
  std::fill_n(info->cornerHeight, 4, 20);
  std::fill_n(info->cornerWidth, 4, 20);
}

void Init_BordInfo1(BordInfo1* head, int32_t width, int32_t height) {
  if (head == nullptr) return;
  head->byteOrder = HostOrderFlag();
  head->second = 1;
  head->width = width;
  head->height = height;
  head->layerCount = 1;
  head->current = 0;
  head->more[0] = 0;
  head->more[1] = 100;
  head->more[2] = 0;
}

void Init_BordLay(BordLay* layer, int16_t files, int16_t tiles, int16_t ramps, int16_t kind) {
  if (layer == nullptr) return;
  const std::unique_ptr<fichier> picture = DefaultPicture(files);
  InitLayer(layer, picture.get(), tiles, ramps, kind);
}

void Init_BordPar(BordPar* r, int32_t width, int32_t height, int16_t files, int16_t tiles,
                  int16_t ramps, int16_t kind) {
  if (r == nullptr) return;
  r->byteOrder = HostOrderFlag();
  r->second = 1;
  Init_BordInfo1(&r->head, width, height);
  const std::unique_ptr<fichier> picture = DefaultPicture(files);
  for (BordLay& l : r->layers) InitLayer(&l, picture.get(), tiles, ramps, kind);
}

void Copy_BordTile(const BordTile* source, BordTile* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}

void Copy_BordInfo(const BordInfo* source, BordInfo* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}

void Copy_BordInfo1(const BordInfo1* source, BordInfo1* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}

void Copy_BordLay(const BordLay* s, BordLay* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->byteOrder = s->byteOrder;
  d->second = s->second;
  Copy_BordInfo(&s->info, &d->info);
  for (int i = 0; i < kBordTiles; ++i) Copy_BordTile(&s->tiles[i], &d->tiles[i]);
  for (int i = 0; i < kBordFiles; ++i) {
    Copy_FicStruct(&s->files[i], &d->files[i]);
    Copy_LutVign(&s->ramps[i], &d->ramps[i]);
  }
}

void Copy_BordPar(const BordPar* s, BordPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->byteOrder = s->byteOrder;
  d->second = s->second;
  Copy_BordInfo1(&s->head, &d->head);
  for (int i = 0; i < kBordLayers; ++i) Copy_BordLay(&s->layers[i], &d->layers[i]);
}

void UpdateBordPar(const BordPar* s, BordPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->byteOrder = s->byteOrder;
  d->second = s->second;
  Copy_BordInfo1(&s->head, &d->head);
  for (int i = 0; i < kBordLayers; ++i)
    if (std::memcmp(&s->layers[i], &d->layers[i], sizeof(BordLay)) != 0) Copy_BordLay(&s->layers[i], &d->layers[i]);
}

void CopyBordParInUse(const BordPar* s, BordPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->byteOrder = s->byteOrder;
  d->second = s->second;
  Copy_BordInfo1(&s->head, &d->head);
  const int32_t n = BordLayerCount(s->head.layerCount);
  for (int32_t i = 0; i < n; ++i) Copy_BordLay(&s->layers[i], &d->layers[i]);
}

void SwapBordTile(BordTile* tile, int16_t direction, int16_t force) {
  if (tile != nullptr) vmkrec::SwapRecord(*tile, direction, force);
}

void SwapBordInfo(BordInfo* info, int16_t direction, int16_t force) {
  if (info != nullptr) vmkrec::SwapRecord(*info, direction, force);
}

void SwapBordInfo1(BordInfo1* head, int16_t direction, int16_t force) {
  if (head != nullptr) vmkrec::SwapRecord(*head, direction, force);
}

void SwapBordLay(BordLay* layer, int16_t direction, int16_t force) {
  if (layer == nullptr) return;
  vmkrec::SwapVisitor v(direction, force);
  VisitWholeLayer(v, *layer);
}

void SwapBordPar(BordPar* r, int16_t direction, int16_t force) {
  if (r == nullptr) return;
  // Every layer, in use or not, so that a record converted one way and back is whole.
  vmkrec::SwapVisitor v(direction, force);
  v.flag(r->byteOrder);
  v.i32(r->second);
  VisitBordHead(v, r->head);
  for (BordLay& l : r->layers) VisitWholeLayer(v, l);
}

void DelBor_BordPar(BordPar* r, int16_t index) {
  if (r == nullptr) return;
  const int32_t n = BordLayerCount(r->head.layerCount);
  if (index < 0 || index >= n) return;
  vmkrec::ScratchRecord<BordPar> kept;
  if (!kept.valid()) return;
  Copy_BordPar(r, kept.get());
  Init_BordPar(r, r->head.width, r->head.height, 1, 1, 1, 1);
  Copy_BordInfo1(&kept->head, &r->head);
  r->head.current = 0;
  r->head.layerCount = n - 1;
  for (int32_t j = 0; j < n - 1; ++j)
    Copy_BordLay(&kept->layers[j < index ? j : j + 1], &r->layers[j]);
}

int16_t Do_ABordPar_file(int16_t mode, FSSpec spec, BordPar* record) {
  auto copyForFile = [](const BordPar* s, BordPar* d) {
    Copy_BordPar(s, d);
    // The stored count is the number of sections that follow.
    d->head.layerCount = BordLayerCount(d->head.layerCount);
  };
  auto take = [](const BordPar& loaded, BordPar* r) {
    r->byteOrder = loaded.byteOrder;
    r->second = loaded.second;
    Copy_BordInfo1(&loaded.head, &r->head);
    const int32_t n = BordLayerCount(loaded.head.layerCount);
    r->head.layerCount = n;
    r->head.current = std::clamp(r->head.current, int32_t{0}, std::max(n - 1, 0));
    for (int32_t i = 0; i < n; ++i) TakeStoredLayer(loaded.layers[i], &r->layers[i]);
  };
  return vmkrec::DoPresetFile(mode, spec, record, kBorderFile, copyForFile, take);
}
